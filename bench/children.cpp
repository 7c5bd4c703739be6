#include "children.h"

#include "measure.h"
#include "raw.h"

#include "app/tfrmqj.h"
#include "books/receiptexport.h"
#include "data/tdmtd.h"
#include "receipt/entrypage.h"
#include "receipt/historymodel.h"
#include "receipt/historysearch.h"
#include "store/fileschema.h"
#include "store/filestore.h"
#include "ui/windowfont.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sqlite3.h>

namespace bench {

namespace {

QString connectionString(const QString& path) {
    return QStringLiteral("Data Source=%1;Password=%2")
        .arg(path, QLatin1String(zelk::data::databaseKey));
}

// Quits at the first paint of a widget of `window`: the window is then on the screen.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* window) : window_(window) {}
    double at = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (at == 0 && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_) {
            at = nowMs();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    QWidget* window_;
};

// What main.cpp does, with the connection string pointed at the benchmark database.
int startup(const QString& db, double mainEntered, double appReady) {
    QApplication::setFont(zelk::ui::windowFont());
    auto window = std::make_unique<zelk::app::Tfrmqj>(QCoreApplication::applicationFilePath());
    window->setDatabasePath(db);
    const double built = nowMs();
    FirstPaint paint(window.get());
    qApp->installEventFilter(&paint);
    QTimer::singleShot(10000, qApp, &QCoreApplication::quit);
    window->showMaximized(); // FormShow runs here: open the database, load the defaults
    const double shown = nowMs();
    QApplication::exec();
    const bool defaultsLoaded =
        !window->entryPage()->entry().noticeLine.isEmpty() && window->isDatabaseOpen();
    std::printf("%.3f %.3f %.3f %.3f %.3f %d\n", mainEntered, appReady, built, shown, paint.at,
                defaultsLoaded ? 1 : 0);
    window.reset();
    return paint.at > 0 && defaultsLoaded ? 0 : 1;
}

// The floor: an empty main window and the same database work with the bare C API.
int startupFloor(const QString& db, double mainEntered, double appReady) {
    QMainWindow window;
    sqlite3* handle = raw::open(db);
    int loaded = 0;
    {
        raw::Stmt s(handle, "select SetValue from SysSet where SetId=?");
        for (int id = 27; id <= 30; ++id) {
            s.reset();
            s.bind(1, qint64(id));
            loaded += s.step() && s.readText(0) > 0;
        }
    }
    const double built = nowMs();
    FirstPaint paint(&window);
    qApp->installEventFilter(&paint);
    QTimer::singleShot(10000, qApp, &QCoreApplication::quit);
    window.showMaximized();
    const double shown = nowMs();
    QApplication::exec();
    raw::close(handle);
    std::printf("%.3f %.3f %.3f %.3f %.3f %d\n", mainEntered, appReady, built, shown, paint.at,
                loaded == 4 ? 1 : 0);
    return paint.at > 0 ? 0 : 1;
}

// The history grid listing every receipt (empty search text, no dates), read to the end.
int memory(const QString& db) {
    const double before = peakMemoryMiB();
    zelk::data::Connection connection;
    connection.setConnectionString(connectionString(db));
    connection.open();
    zelk::store::FileStore file(connection);
    zelk::receipt::HistoryModel model(file);
    QTableView view;
    view.setModel(&model);
    view.resize(1200, 700);
    view.show();
    QCoreApplication::processEvents();
    const double start = nowMs();
    model.search({});
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCoreApplication::processEvents();
    view.scrollToBottom();
    QCoreApplication::processEvents();
    const double elapsed = nowMs() - start;
    std::printf("%.3f %.3f %d %.3f\n", before, peakMemoryMiB(), model.rowCount(), elapsed);
    return 0;
}

// The floor: the same statement stepped to the end with the bare C API, nothing kept.
int memoryFloor(const QString& db) {
    const double before = peakMemoryMiB();
    sqlite3* handle = raw::open(db);
    zelk::data::Connection connection; // only to let the program build its statement text
    zelk::data::Query query(connection);
    zelk::receipt::prepareHistorySearch(query, {}, nullptr, -1);
    const double start = nowMs();
    raw::Stmt s(handle, query.text().toUtf8());
    s.bind(":pattern", QByteArray("%"));
    s.bind(":limit", qint64(-1));
    int rows = 0;
    while (s.step()) {
        for (int c = 0; c < s.columns(); ++c)
            s.readText(c);
        ++rows;
    }
    const double elapsed = nowMs() - start;
    std::printf("%.3f %.3f %d %.3f\n", before, peakMemoryMiB(), rows, elapsed);
    raw::close(handle);
    return 0;
}

// 导出… of every receipt (empty search text, no dates) to .xlsx: the search's ids, then every
// receipt read through the store and written in libxlsxwriter's constant-memory mode.
int exportAll(const QString& db) {
    const double before = peakMemoryMiB();
    zelk::data::Connection connection;
    connection.setConnectionString(connectionString(db));
    connection.open();
    zelk::store::FileStore store(connection);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("all.xlsx"));
    const double start = nowMs();
    const QList<qint64> ids = zelk::books::searchResultIds(store, {});
    const zelk::books::ExportResult result = zelk::books::exportReceipts(store, ids, path);
    const double elapsed = nowMs() - start;
    std::printf("%.3f %.3f %lld %lld %.3f %.3f\n", before, peakMemoryMiB(),
                static_cast<long long>(result.receipts), static_cast<long long>(result.lines),
                elapsed, double(QFileInfo(path).size()) / 1048576.0);
    return 0;
}

} // namespace

double peakMemoryMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

int runChild(int argc, char** argv) {
    const double mainEntered = nowMs();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double appReady = nowMs();
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString db = QString::fromLocal8Bit(argv[3]);
    try {
        if (mode == QLatin1String("startup"))
            return startup(db, mainEntered, appReady);
        if (mode == QLatin1String("startup-floor"))
            return startupFloor(db, mainEntered, appReady);
        if (mode == QLatin1String("memory"))
            return memory(db);
        if (mode == QLatin1String("memory-floor"))
            return memoryFloor(db);
        if (mode == QLatin1String("export"))
            return exportAll(db);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "child %s: %s\n", argv[2], error.what());
        return 2;
    }
    std::fprintf(stderr, "unknown child mode %s\n", argv[2]);
    return 2;
}

QList<double> spawnChild(const QString& mode, const QString& database, const QStringList& extra,
                         int timeoutMs) {
    QProcess child;
    // The offscreen platform's chatter stays out of the table; it is shown when a child fails.
    const double started = nowMs();
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--child"), mode, database} + extra);
    if (!child.waitForFinished(timeoutMs) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "%s", child.readAllStandardError().constData());
        throw raw::Error("child " + mode.toStdString() + " failed");
    }
    const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
    QList<double> numbers{started};
    for (const QByteArray& n : lines.last().split(' '))
        numbers.append(n.toDouble());
    return numbers; // the parent's start time first, then what the child printed
}

} // namespace bench
