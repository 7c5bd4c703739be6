// zelkctl: the program's command-line companion. The commands, their options and exit
// statuses are in usage() below, in the README and in the manual page zelkctl(1).

#include "amount/capitals.h"
#include "data/databaseerror.h"
#include "store/filestore.h"
#include "tools/backupcommand.h"
#include "tools/changescommand.h"
#include "tools/commandline.h"
#include "tools/copystorecommand.h"
#include "tools/exportcommand.h"
#include "tools/legacycommand.h"
#include "tools/pdfcommand.h"
#include "tools/printcommand.h"
#include "tools/searchcommand.h"
#include "tools/summarycommand.h"

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

QString usageText() {
    return QStringLiteral(
        "用法：\n"
        "  zelkctl init-db PATH       创建空的收据数据库文件（不会覆盖已有文件）\n"
        "  zelkctl capitals AMOUNT    输出金额的中文大写\n"
        "  zelkctl pdf KPID FILE.pdf [--database PATH] [--template PATH]\n"
        "                             把已保存的发票按报表模板输出为 PDF（备注取保存的内容）\n"
        "  zelkctl print KPID [--printer NAME] [--pages A-B] [--copies N]\n"
        "                [--allow-other-paper] [--database PATH] [--template PATH]\n"
        "                             把已保存的发票打印到打印机（默认为上次使用的打印机，\n"
        "                             其次系统默认打印机；使用该打印机保存的偏移），与预览\n"
        "                             窗口的打印相同；打印机接受作业后退出状态才为 0\n"
        "  zelkctl search TEXT [--from yyyy-mm-dd] [--to yyyy-mm-dd] [--limit N]\n"
        "                 [--database PATH]\n"
        "                             按历史查询的规则查找票据，每行一张：编号和表格的八列，\n"
        "                             以制表符分隔；找不到时退出状态为 1\n"
        "  zelkctl export TEXT [--from yyyy-mm-dd] [--to yyyy-mm-dd] --output FILE.xlsx|FILE.csv\n"
        "                 [--database PATH]\n"
        "                             把 search 对同样参数列出的票据导出为 Excel 表格（收据、明细\n"
        "                             两张工作表）或 CSV 文件（UTF-8，每行一张收据）\n"
        "  zelkctl summary --by day|month|category|payer|issuer [--from yyyy-mm-dd]\n"
        "                  [--to yyyy-mm-dd] [--database PATH]\n"
        "                             按日、月、行业分类、付款方或开票人统计张数和金额合计，\n"
        "                             每组一行：键、张数、合计（0.00），以制表符分隔\n"
        "  zelkctl changes KPID [--database PATH]\n"
        "                             列出票据的各个版本（修改前的版本在前，当前版本在最后）：\n"
        "                             保存时间、表头各值和明细，以制表符分隔\n"
        "  zelkctl import-legacy OLD.mdb [--database PATH] [--settings] [--again]\n"
        "                             导入旧程序的 Access 数据文件（Data\\zelk.mdb）中的收据和"
        "明细；\n"
        "                             --settings 同时导入基础信息（设置 27–30）；\n"
        "                             --again 同样的收据已导入过时仍再导入一遍\n"
        "  zelkctl copy-store --from PATH.mdb --to SERVER-URL\n"
        "  zelkctl copy-store --from SERVER-URL --to PATH.mdb\n"
        "                             在本机文件和数据库服务器之间复制全部票据、明细和设置\n"
        "                             （保留编号；目标中已有票据时拒绝复制）\n"
        "  zelkctl backup [--to DIR] [--database PATH]\n"
        "                             备份数据库（检查后才算完成），输出写入的文件；默认写入\n"
        "                             数据库旁的 backup 文件夹，只保留最新的十份\n"
        "  zelkctl restore BACKUP [--database PATH]\n"
        "                             用备份替换数据库，原文件改名为\n"
        "                             zelk.mdb.before-restore-<时间> 保留\n"
        "\n"
        "未给出 --database、--template 时，与程序使用同样的数据库和模板：zelkctl 所在的文件夹\n"
        "中有 Data/zelk.mdb 或该文件夹可写入时，用其中的 Data/zelk.mdb 和 report/fp3.frf；\n"
        "否则（已安装的程序）用本用户的 $XDG_DATA_HOME/zelk/（~/.local/share/zelk/）。\n"
        "以 - 开头的查询文字写在 -- 之后。\n"
        "退出状态：0 完成；1 失败（原因见标准错误输出）；2 参数有误。\n");
}

void usage() {
    err() << usageText();
}

// A command without options: exactly `count` words, taken as they are.
bool plainWords(const QStringList& words, qsizetype count, const QString& needed) {
    zelk::tools::CommandArguments arguments({});
    QString problem;
    if (arguments.parse(words, count, needed, &problem))
        return true;
    err() << problem << '\n';
    return false;
}

int initDb(const QStringList& words) {
    if (!plainWords(words, 1, QStringLiteral("需要一个数据库文件路径")))
        return 2;
    const QString path = words.first();
    try {
        zelk::store::FileStore::create(path);
    } catch (const zelk::data::DatabaseError& error) {
        // The sentence and, on its own line, the engine's text.
        err() << QString::fromUtf8(error.what()) << '\n';
        return 1;
    }
    out() << "已创建数据库：" << path << '\n';
    return 0;
}

int capitals(const QStringList& words) {
    if (!plainWords(words, 1, QStringLiteral("需要一个金额")))
        return 2;
    const QString amount = words.first();
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
    const QString command = args.value(1);
    const QStringList words = args.mid(2);
    const QString self = QCoreApplication::applicationFilePath();
    int status = 2;
    if (command == QLatin1String("init-db"))
        status = initDb(words);
    else if (command == QLatin1String("capitals"))
        status = capitals(words);
    else if (command == QLatin1String("search"))
        status = zelk::tools::runSearchCommand(words, self, out(), err());
    else if (print)
        status = zelk::tools::runPrintCommand(words, self, out(), err());
    else if (command == QLatin1String("copy-store"))
        status = zelk::tools::runCopyStoreCommand(words, out(), err());
    else if (command == QLatin1String("import-legacy"))
        status = zelk::tools::runImportLegacyCommand(words, self, out(), err());
    else if (command == QLatin1String("changes"))
        status = zelk::tools::runChangesCommand(words, self, out(), err());
    else if (command == QLatin1String("summary"))
        status = zelk::tools::runSummaryCommand(words, self, out(), err());
    else if (command == QLatin1String("export"))
        status = zelk::tools::runExportCommand(words, self, out(), err());
    else if (command == QLatin1String("backup"))
        status = zelk::tools::runBackupCommand(words, self, out(), err());
    else if (command == QLatin1String("restore"))
        status = zelk::tools::runRestoreCommand(words, self, out(), err());
    else if (pdf)
        status = zelk::tools::runPdfCommand(words, self, out(), err());
    else if (command == QLatin1String("help") || command == QLatin1String("--help") ||
             command == QLatin1String("-h")) {
        out() << usageText();
        status = 0;
    }
    // Wrong arguments or an unknown command: the reason, then how the commands are written
    // (copy-store's own reason already says how it is written).
    if (status == 2 && command != QLatin1String("copy-store"))
        usage();
    out().flush();
    err().flush();
    return status;
}
