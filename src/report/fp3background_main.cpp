// Writes the background image of a form drawn in code:
//   zelk_fp3_background resources/report/fp3-blank.png
//   zelk_fp3_background docs/examples/boxed-receipt-blank.png boxed

#include "report/fp3form.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    const bool boxed = args.size() == 3 && args.at(2) == QLatin1String("boxed");
    if (args.size() != 2 && !boxed) {
        err << "usage: zelk_fp3_background OUTPUT.png [boxed]\n";
        return 2;
    }
    const QImage image = boxed ? zelk::report::drawBlankForm(zelk::report::boxedReceiptForm(), 150)
                               : zelk::report::drawFp3BlankForm(150);
    if (!image.save(args.at(1), "PNG", 9)) {
        err << "cannot write " << args.at(1) << '\n';
        return 1;
    }
    return 0;
}
