// zelkctl: the program's command-line companion.
//   zelkctl init-db PATH      creates an empty receipt database (never overwrites)
//   zelkctl capitals AMOUNT   prints the amount in Chinese capital numerals
//   zelkctl pdf KPID FILE.pdf [--database PATH] [--template PATH]
//                             renders a stored receipt through the template into a PDF
//   zelkctl print KPID [--printer NAME] [--pages A-B] [--copies N] [--allow-other-paper]
//                 [--database PATH] [--template PATH]
//                             prints a stored receipt as the preview's print button does
//   zelkctl search TEXT [--from yyyy-mm-dd] [--to yyyy-mm-dd] [--limit N] [--database PATH]
//                             lists the receipts the history search finds, one per line
//   zelkctl import-legacy OLD.mdb [--database PATH] [--settings] [--again]
//                             imports the older program's Access receipt file
//   zelkctl copy-store --from PATH.mdb --to SERVER-URL   (or --from SERVER-URL --to PATH.mdb)
//                             copies receipts, lines and settings between the file and a server

#include "amount/capitals.h"
#include "data/databaseerror.h"
#include "data/schema.h"
#include "tools/copystorecommand.h"
#include "tools/legacycommand.h"
#include "tools/pdfcommand.h"
#include "tools/printcommand.h"
#include "tools/searchcommand.h"

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
             "                             均在 zelkctl 所在的文件夹中）\n"
             "  zelkctl print KPID [--printer NAME] [--pages A-B] [--copies N]\n"
             "                 [--allow-other-paper] [--database PATH] [--template PATH]\n"
             "                             把已保存的发票打印到打印机（默认为上次使用的打印机，\n"
             "                             其次系统默认打印机；使用该打印机保存的偏移），与预览\n"
             "                             窗口的打印相同；打印机接受作业后退出状态才为 0\n"
             "  zelkctl search TEXT [--from yyyy-mm-dd] [--to yyyy-mm-dd] [--limit N]\n"
             "                 [--database PATH]\n"
             "                             按历史查询的规则查找票据，每行一张：编号和表格的八列，\n"
             "                             以制表符分隔；找不到时退出状态为 1\n"
             "  zelkctl import-legacy OLD.mdb [--database PATH] [--settings] [--again]\n"
             "                             导入旧程序的 Access "
             "数据文件（Data\\zelk.mdb）中的收据和明细；\n"
             "                             --settings 同时导入基础信息（设置 27–30）；\n"
             "                             --again 同样的收据已导入过时仍再导入一遍\n"
             "  zelkctl copy-store --from PATH.mdb --to SERVER-URL\n"
             "  zelkctl copy-store --from SERVER-URL --to PATH.mdb\n"
             "                             在本机文件和数据库服务器之间复制全部票据、明细和设置\n"
             "                             （保留编号；目标中已有票据时拒绝复制）\n";
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
    // Only pdf and print draw text, and drawing needs the fonts of a GUI application. They never
    // show a window, so they run on the offscreen platform unless told otherwise and work
    // without a display; the other commands stay plain console programs.
    const bool pdf = argc > 1 && std::strcmp(argv[1], "pdf") == 0;
    const bool print = argc > 1 && std::strcmp(argv[1], "print") == 0;
    const bool drawing = pdf || print;
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
    else if (args.size() >= 2 && args.at(1) == QLatin1String("search"))
        status = zelk::tools::runSearchCommand(args.mid(2), QCoreApplication::applicationFilePath(),
                                               out(), err());
    else if (print)
        status = zelk::tools::runPrintCommand(args.mid(2), QCoreApplication::applicationFilePath(),
                                              out(), err());
    else if (args.size() > 1 && args.at(1) == QLatin1String("copy-store"))
        status = zelk::tools::runCopyStoreCommand(args.mid(2), out(), err());
    else if (args.size() > 1 && args.at(1) == QLatin1String("import-legacy"))
        status = zelk::tools::runImportLegacyCommand(
            args.mid(2), QCoreApplication::applicationFilePath(), out(), err());
    else if (pdf)
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
