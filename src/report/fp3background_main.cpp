// Writes the background image of the shipped receipt template:
//   zelk_fp3_background resources/report/fp3-blank.png

#include "report/fp3form.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: zelk_fp3_background OUTPUT.png\n";
        return 2;
    }
    if (!zelk::report::drawFp3BlankForm(150).save(args.at(1), "PNG", 9)) {
        err << "cannot write " << args.at(1) << '\n';
        return 1;
    }
    return 0;
}
