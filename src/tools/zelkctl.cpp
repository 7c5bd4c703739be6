// zelkctl: the program's command-line companion.
//   zelkctl init-db PATH      creates an empty receipt database (never overwrites)
//   zelkctl capitals AMOUNT   prints the amount in Chinese capital numerals
//   zelkctl pdf KPID FILE.pdf [--database PATH] [--template PATH]
//                             renders a stored receipt through the template into a PDF

#include "amount/capitals.h"
#include "data/databaseerror.h"
#include "data/schema.h"
#include "tools/pdfcommand.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int usage() {
    err() << "用法：\n"
             "  zelkctl init-db PATH       创建空的收据数据库文件（不会覆盖已有文件）\n"
             "  zelkctl capitals AMOUNT    输出金额的中文大写\n"
             "  zelkctl pdf KPID FILE.pdf [--database PATH] [--template PATH]\n"
             "                             把已保存的发票按报表模板输出为 PDF（备注取保存的内容；\n"
             "                             默认数据库 Data/zelk.mdb、模板 report/fp3.frf，\n"
             "                             均在 zelkctl 所在的文件夹中）\n";
    err().flush();
    return 2;
}

int initDb(const QString& path) {
    try {
        zelk::data::createDatabase(path);
    } catch (const zelk::data::DatabaseError& error) {
        // The sentence and, on its own line, the engine's text.
        err() << QString::fromUtf8(error.what()) << '\n';
        return 1;
    }
    out() << "已创建数据库：" << path << '\n';
    return 0;
}

int capitals(const QString& amount) {
    const zelk::amount::Capitals result = zelk::amount::toCapitals(amount);
    if (result.problem != zelk::amount::CapitalsProblem::None) {
        err() << zelk::amount::problemMessage(result.problem) << '\n';
        return 1;
    }
    out() << result.text << '\n';
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // Only pdf draws text, and drawing needs the fonts of a GUI application. It never shows a
    // window, so it runs on the offscreen platform unless told otherwise and works without a
    // display; the other commands stay plain console programs.
    const bool drawing = argc > 1 && std::strcmp(argv[1], "pdf") == 0;
    std::unique_ptr<QCoreApplication> app;
    if (drawing) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const QStringList args = QCoreApplication::arguments();
    int status = 2;
    if (args.size() == 3 && args.at(1) == QLatin1String("init-db"))
        status = initDb(args.at(2));
    else if (args.size() == 3 && args.at(1) == QLatin1String("capitals"))
        status = capitals(args.at(2));
    else if (drawing)
        status = zelk::tools::runPdfCommand(args.mid(2), QCoreApplication::applicationFilePath(),
                                            out(), err());
    else
        status = usage();
    if (drawing && status == 2)
        usage();
    out().flush();
    err().flush();
    return status;
}
