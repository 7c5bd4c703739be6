#include "benchdb.h"

#include "raw.h"
#include "receiptgen.h"

#include "data/tdmtd.h"
#include "receipt/receiptsaver.h"
#include "store/fileschema.h"
#include "store/filesearchindex.h"
#include "store/filestore.h"
#include "text/blanks.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

#include <sqlite3.h>

namespace bench {

namespace {

// Raise this when the generator's output changes, so cached databases are made again.
constexpr int generatorVersion = 2;

QString stampFor(qint64 receipts) {
    using zelk::store::schema::defaultSetting;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(zelk::store::schema::createStatements().join(QLatin1Char('\n')).toUtf8());
    for (int id = 27; id <= 30; ++id)
        hash.addData(defaultSetting(id).toUtf8());
    hash.addData(QByteArray::number(generatorVersion));
    hash.addData(QByteArray::number(receipts));
    return QString::fromLatin1(hash.result().toHex());
}

// Every row of both tables, each value with its storage class, as one text.
QString dump(sqlite3* db) {
    QString out;
    for (const char* table : {"fpmain", "fpdetail"}) {
        raw::Stmt s(db, QByteArray("select * from ") + table + " order by 1");
        while (s.step()) {
            for (int c = 0; c < s.columns(); ++c)
                out += QString::fromUtf8(sqlite3_column_decltype(s.handle(), c)) +
                       QLatin1Char(':') + QString::number(sqlite3_column_type(s.handle(), c)) +
                       QLatin1Char('=') + s.text(c) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
    }
    return out;
}

// The bulk loader must write what the program's saver writes.
void checkLoaderMatchesSaver(const QDate& today) {
    QTemporaryDir dir;
    const QString viaSaver = dir.filePath(QStringLiteral("saver.mdb"));
    const QString viaLoader = dir.filePath(QStringLiteral("loader.mdb"));
    zelk::store::schema::createDatabase(viaSaver);
    zelk::store::schema::createDatabase(viaLoader);
    constexpr qint64 count = 20;
    {
        zelk::data::Tdmtd dm;
        dm.Database3_ado.setConnectionString(
            QStringLiteral("Data Source=%1;Password=%2")
                .arg(viaSaver, QLatin1String(zelk::data::databaseKey)));
        dm.Database3_ado.open();
        zelk::store::FileStore file(dm.Database3_ado);
        zelk::receipt::ReceiptSaver saver(file);
        ReceiptGenerator gen(count, today);
        for (qint64 i = 0; i < count; ++i)
            saver.save(gen.receipt(i));
    }
    sqlite3* a = raw::open(viaSaver);
    sqlite3* b = raw::open(viaLoader);
    bulkInsert(b, count, count, today);
    const QString da = dump(a);
    const QString db = dump(b);
    raw::close(a);
    raw::close(b);
    if (da != db)
        throw raw::Error("the bulk loader does not write what ReceiptSaver writes");
}

} // namespace

QString cacheFolder() {
    const QString env = qEnvironmentVariable("ZELK_BENCH_CACHE");
    if (!env.isEmpty())
        return env;
    return QDir::homePath() + QStringLiteral("/.cache/zelk-bench");
}

void bulkInsert(sqlite3* db, qint64 count, qint64 total, const QDate& today) {
    ReceiptGenerator gen(total, today);
    raw::exec(db, "BEGIN IMMEDIATE");
    // The saver's two statements, with every value bound as text as the saver binds it (the
    // kpid of a line as an integer).
    raw::Stmt header(db, "insert into fpmain (fphm,kpdate,kpdate2,hyfl,jdhm,qssj,jcsj,jym,fkfmc,"
                         "jexx,jedx,skfmc,kpr,bz1,bz2) values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    raw::Stmt line(db, "insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values(?,?,?,?,?,?,?)");
    for (qint64 i = 0; i < count; ++i) {
        const zelk::receipt::ReceiptEntry e = gen.receipt(i);
        const QStringList values = headerValues(e);
        header.reset();
        for (int v = 0; v < 15; ++v)
            header.bind(v + 1, values[v].toUtf8());
        header.step();
        const qint64 kpid = sqlite3_last_insert_rowid(db);
        for (const zelk::receipt::EntryLine& l : e.lines) {
            if (zelk::text::trimBlanks(l.amount).isEmpty())
                continue;
            line.reset();
            line.bind(1, kpid);
            line.bind(2, l.item.toUtf8());
            line.bind(3, l.content.toUtf8());
            line.bind(4, l.unit.toUtf8());
            line.bind(5, l.quantity.toUtf8());
            line.bind(6, l.unitPrice.toUtf8());
            line.bind(7, l.amount.toUtf8());
            line.step();
        }
        if (total >= 100000 && (i + 1) % 100000 == 0) {
            std::fprintf(stderr, "  %lld / %lld\n", static_cast<long long>(i + 1),
                         static_cast<long long>(count));
        }
    }
    raw::exec(db, "COMMIT");
}

BenchDatabase ensureDatabase(qint64 receipts) {
    QDir().mkpath(cacheFolder());
    BenchDatabase result;
    result.receipts = receipts;
    result.path = cacheFolder() + QStringLiteral("/receipts-%1.mdb").arg(receipts);
    const QString stampPath = result.path + QStringLiteral(".stamp");
    const QString stamp = stampFor(receipts);

    QFile stampFile(stampPath);
    if (QFile::exists(result.path) && stampFile.open(QIODevice::ReadOnly)) {
        const QStringList parts = QString::fromUtf8(stampFile.readAll()).trimmed().split(u' ');
        if (parts.size() == 5 && parts.at(0) == stamp) {
            result.today = QDate::fromString(parts.at(1), Qt::ISODate);
            result.indexBuildSeconds = parts.at(2).toDouble();
            result.bytesWithoutIndex = parts.at(3).toLongLong();
            result.bytesWithIndex = parts.at(4).toLongLong();
            if (result.today.isValid())
                return result;
        }
    }
    stampFile.close();

    result.today = QDate::currentDate();
    std::fprintf(stderr, "generating %s ...\n", qPrintable(result.path));
    QElapsedTimer timer;
    timer.start();
    checkLoaderMatchesSaver(result.today);

    const QString part = result.path + QStringLiteral(".part");
    QFile::remove(part);
    QFile::remove(part + QStringLiteral("-journal"));
    zelk::store::schema::createDatabase(part);
    sqlite3* db = raw::open(part);
    // Loaded as a file of the version before the search index, which the program then indexes
    // as it does such a file at start-up: that build is timed and the file weighed before and
    // after it.
    raw::exec(db, "DROP TRIGGER fpsearch_fpmain_insert; DROP TRIGGER fpsearch_fpmain_update; "
                  "DROP TRIGGER fpsearch_fpmain_delete; DROP TABLE fpsearch; "
                  "DROP TABLE fpsearch_queue; DROP TABLE fpsearch_state");
    // Nothing here needs to survive a crash: a half-made file is thrown away.
    raw::exec(db,
              "PRAGMA synchronous = OFF; PRAGMA journal_mode = OFF; PRAGMA cache_size = -200000");
    bulkInsert(db, receipts, receipts, result.today);
    raw::close(db);
    result.bytesWithoutIndex = QFileInfo(part).size();
    {
        zelk::data::Connection connection;
        connection.setConnectionString(QStringLiteral("Data Source=%1;Password=%2")
                                           .arg(part, QLatin1String(zelk::data::databaseKey)));
        connection.open();
        QElapsedTimer build;
        build.start();
        zelk::store::searchindex::update(connection);
        result.indexBuildSeconds = double(build.elapsed()) / 1000.0;
    }
    result.bytesWithIndex = QFileInfo(part).size();
    std::fprintf(stderr, "  search index built in %.1f s\n", result.indexBuildSeconds);
    QFile::remove(result.path);
    QFile::remove(stampPath);
    if (!QFile::rename(part, result.path))
        throw raw::Error("cannot rename the generated database");
    QFile out(stampPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw raw::Error("cannot write the stamp file");
    out.write(QStringLiteral("%1 %2 %3 %4 %5")
                  .arg(stamp, result.today.toString(Qt::ISODate))
                  .arg(result.indexBuildSeconds)
                  .arg(result.bytesWithoutIndex)
                  .arg(result.bytesWithIndex)
                  .toUtf8());
    result.generatedSeconds = double(timer.elapsed()) / 1000.0;
    std::fprintf(stderr, "  done in %.1f s\n", result.generatedSeconds);
    return result;
}

} // namespace bench
