#include "prototypes.h"

#include "raw.h"
#include "receiptgen.h"

#include "data/connection.h"
#include "data/query.h"
#include "receipt/historymodel.h"
#include "receipt/historysearch.h"
#include "receipt/receiptentry.h"
#include "store/fileschema.h"
#include "store/filestore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cstdio>

#include <sqlite3.h>

namespace bench {

namespace {

// Raise when the prototype structures change.
constexpr int prototypeVersion = 2;

const char* const shownColumns =
    "m.kpid,coalesce(m.fphm,'') as fphm,coalesce(m.kpdate2,'') as kpdate2,coalesce(m.jdhm,'') as "
    "jdhm,coalesce(m.jym,'') as jym,coalesce(m.fkfmc,'') as fkfmc,coalesce(m.jexx,'') as jexx,"
    "coalesce(m.kpr,'') as kpr,substr(coalesce(m.bz2,''),1,100) as bz2";
const char* const joined = "coalesce(m.fphm,'')||coalesce(m.jdhm,'')||coalesce(m.fkfmc,'')||"
                           "coalesce(m.kpr,'')||coalesce(m.bz2,'')";

// The searched text with every character standing alone, so that FTS4's simple tokenizer
// makes each one a token: a phrase of those tokens then matches wherever the characters stand
// side by side, which is what LIKE '%text%' asks for (ASCII punctuation is no token, so the
// phrase may also match across it; the LIKE that follows removes those rows).
QString spaced(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (c.isHighSurrogate()) {
            out += c;
            continue;
        }
        out += c;
        out += QLatin1Char(' ');
    }
    return out;
}

// Whether every character of `text` is a token character of the simple tokenizer; only then
// can the index narrow the search (else the program's plain scan is used).
bool indexable(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c.unicode() < 128 && !c.isLetterOrNumber())
            return false;
    return true;
}

QString phrase(const QString& text) {
    return QLatin1Char('"') + spaced(text).trimmed() + QLatin1Char('"');
}

QString stampOf(const QString& path) {
    QFile f(path + QStringLiteral(".stamp"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeStamp(const QString& path, const QString& text) {
    QFile f(path + QStringLiteral(".stamp"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw raw::Error("cannot write stamp");
    f.write(text.toUtf8());
}

// A copy of the database with two extra structures, both filled from fpmain:
//   fpnarrow (kpid INTEGER PRIMARY KEY, kpdate INTEGER, txt TEXT): the five searched columns
//     joined, a narrow table that a scan reads far fewer pages of;
//   fplist: fpmain without the columns that are neither searched nor listed (hyfl, qssj, jcsj,
//     jedx, skfmc, bz1), as fpmain would be if those moved to a table of their own;
//   fpfts: contentless FTS4 over the same text, one token per character (docid = kpid).
QString prototypeDatabase(const BenchDatabase& db) {
    const QString path = cacheFolder() + QStringLiteral("/receipts-%1-proto.mdb").arg(db.receipts);
    const QString want = stampOf(db.path) + QStringLiteral(" proto%1").arg(prototypeVersion);
    if (QFile::exists(path) && stampOf(path) == want)
        return path;
    std::fprintf(stderr, "building %s ...\n", qPrintable(path));
    QElapsedTimer timer;
    timer.start();
    QFile::remove(path);
    if (!QFile::copy(db.path, path))
        throw raw::Error("cannot copy the database");
    sqlite3* h = raw::open(path);
    raw::exec(h,
              "PRAGMA synchronous = OFF; PRAGMA journal_mode = OFF; PRAGMA cache_size = -200000");
    raw::exec(h, "BEGIN");
    raw::exec(h, "CREATE TABLE fpnarrow (kpid INTEGER PRIMARY KEY, kpdate INTEGER, txt TEXT)");
    raw::exec(h, "CREATE INDEX fpnarrow_kpdate ON fpnarrow (kpdate)");
    raw::exec(h, "INSERT INTO fpnarrow SELECT kpid, kpdate, coalesce(fphm,'')||coalesce(jdhm,'')||"
                 "coalesce(fkfmc,'')||coalesce(kpr,'')||coalesce(bz2,'') FROM fpmain");
    raw::exec(h, "CREATE TABLE fplist (kpid INTEGER PRIMARY KEY AUTOINCREMENT, fphm TEXT, kpdate "
                 "INTEGER, kpdate2 TEXT, jdhm TEXT, jym TEXT, fkfmc TEXT, jexx TEXT, kpr TEXT, "
                 "bz2 TEXT)");
    raw::exec(h, "CREATE INDEX fplist_kpdate ON fplist (kpdate)");
    raw::exec(h, "INSERT INTO fplist SELECT kpid, fphm, kpdate, kpdate2, jdhm, jym, fkfmc, jexx, "
                 "kpr, bz2 FROM fpmain");
    raw::exec(h, "CREATE VIRTUAL TABLE fpfts USING fts4(content=\"\", txt)");
    {
        raw::Stmt read(h, "SELECT kpid, txt FROM fpnarrow");
        raw::Stmt write(h, "INSERT INTO fpfts (docid, txt) VALUES (?, ?)");
        while (read.step()) {
            write.reset();
            write.bind(1, read.integer(0));
            write.bind(2, spaced(read.text(1)).toUtf8());
            write.step();
        }
    }
    raw::exec(h, "INSERT INTO fpfts(fpfts) VALUES('optimize')");
    raw::exec(h, "COMMIT");
    raw::close(h);
    writeStamp(path, want);
    std::fprintf(stderr, "  done in %.1f s (%.0f MiB)\n", double(timer.elapsed()) / 1000.0,
                 double(QFileInfo(path).size()) / 1048576.0);
    return path;
}

// The same database re-encrypted with a larger page.
QString pageSizeDatabase(const BenchDatabase& db, int pageSize) {
    const QString path =
        cacheFolder() + QStringLiteral("/receipts-%1-p%2.mdb").arg(db.receipts).arg(pageSize);
    const QString want = stampOf(db.path) + QStringLiteral(" page%1").arg(pageSize);
    if (QFile::exists(path) && stampOf(path) == want)
        return path;
    std::fprintf(stderr, "building %s ...\n", qPrintable(path));
    QFile::remove(path);
    // Opened with the create flag, which ATTACH passes on to the new file.
    sqlite3* h = raw::open(db.path, true);
    const QByteArray attach = "ATTACH DATABASE '" + path.toUtf8() + "' AS p KEY '" +
                              QByteArray(zelk::data::databaseKey) + "'";
    raw::exec(h, attach.constData());
    raw::exec(
        h, QByteArray("PRAGMA p.cipher_page_size = " + QByteArray::number(pageSize)).constData());
    raw::exec(h, "SELECT sqlcipher_export('p')");
    raw::exec(h, "DETACH DATABASE p");
    raw::close(h);
    writeStamp(path, want);
    return path;
}

struct Statement {
    QByteArray sql;
    bool bindPhrase = false;
};

// Steps `sql` with the pattern (and phrase) for `text`, reading every column, up to `limit`
// rows (-1: all); returns the kpids found.
QList<qint64> run(sqlite3* h, const QByteArray& sql, const QString& text, int limit,
                  const QDate& from = {}, const QDate& to = {}) {
    raw::Stmt s(h, sql);
    s.bind(":pattern", zelk::receipt::historyLikePattern(text).toUtf8());
    if (sqlite3_bind_parameter_index(s.handle(), ":limit"))
        s.bind(":limit", qint64(-1));
    if (sqlite3_bind_parameter_index(s.handle(), ":phrase"))
        s.bind(":phrase", phrase(text).toUtf8());
    if (from.isValid())
        s.bind(":datefrom", zelk::receipt::searchableDate(from).toLongLong());
    if (to.isValid())
        s.bind(":dateto", zelk::receipt::searchableDate(to).toLongLong());
    QList<qint64> ids;
    while ((limit < 0 || ids.size() < limit) && s.step()) {
        for (int c = 1; c < s.columns(); ++c)
            s.readText(c);
        ids.append(s.integer(0));
    }
    return ids;
}

} // namespace

QList<PrototypeFigure> runPrototypes(const BenchDatabase& db) {
    QList<PrototypeFigure> out;
    const QString protoPath = prototypeDatabase(db);
    sqlite3* h = raw::open(protoPath);

    zelk::data::Connection none;
    zelk::data::Query program(none);
    zelk::receipt::prepareHistorySearch(program, {}, nullptr, -1);
    const QByteArray current = program.text().toUtf8();

    const QByteArray narrow = QByteArray("select ") + shownColumns +
                              " from fpnarrow s cross join fpmain m on m.kpid=s.kpid"
                              " where s.txt like :pattern escape '\\'";
    QByteArray listing = current;
    listing.replace(" from fpmain ", " from fplist ");
    const QByteArray fts = QByteArray("select ") + shownColumns +
                           " from fpfts f cross join fpmain m on m.kpid=f.docid"
                           " where f.txt match :phrase and " +
                           joined + " like :pattern escape '\\'";

    const int batch = zelk::receipt::HistoryModel::batchSize;
    const RunPolicy policy{5, 20, 2500, 1};
    struct Case {
        const char* label;
        QString text;
    };
    const Case cases[] = {{"rare text", rareText()},
                          {"common text", commonText()},
                          {"invoice number digits", QStringLiteral("10012345")},
                          {"one common character", QStringLiteral("公")}};
    struct Shape {
        const char* label;
        QByteArray sql;
        const char* note;
    };
    const Shape shapes[] = {
        {"program statement", current, "the program's statement on fpmain (scan)"},
        {"narrow table", narrow, "scan of fpnarrow(kpid, kpdate, txt) joined to fpmain by kpid"},
        {"listing table (fpmain minus 6 columns)", listing,
         "the program's statement on fplist: fpmain without hyfl, qssj, jcsj, jedx, skfmc, bz1"},
        {"FTS4 per-character phrase + LIKE", fts,
         "contentless FTS4, one token per character; phrase match narrows, the program's "
         "LIKE on fpmain decides"},
    };
    for (const Case& c : cases) {
        QSet<qint64> reference;
        for (const Shape& shape : shapes) {
            if (shape.sql == fts && !indexable(c.text))
                continue;
            // Every shape must find exactly the rows of the program's statement.
            const QList<qint64> all = run(h, shape.sql, c.text, -1);
            const QSet<qint64> found(all.begin(), all.end());
            if (shape.sql == current)
                reference = found;
            else if (found != reference)
                throw raw::Error(std::string("prototype ") + shape.label +
                                 " finds other rows for " + c.label);
            for (int walk = 0; walk < 2; ++walk) {
                PrototypeFigure f;
                f.size = db.receipts;
                f.name = QStringLiteral("%1: %2, %3")
                             .arg(QLatin1String(c.label), QLatin1String(shape.label),
                                  walk ? QStringLiteral("whole result")
                                       : QStringLiteral("first %1 rows").arg(batch));
                f.rows = int(all.size());
                f.note = QLatin1String(shape.note);
                f.samples = measure(policy, [&] { run(h, shape.sql, c.text, walk ? -1 : batch); });
                out.append(f);
                std::printf("  proto %-70s %9.3f %9.3f  (%d rows)\n", qPrintable(f.name),
                            f.samples.median(), f.samples.p95(), f.rows);
                std::fflush(stdout);
            }
        }
    }
    raw::close(h);

    // The program's statement on the same data with larger pages.
    for (int pageSize : {4096, 16384}) {
        const QString path = pageSize == 4096 ? db.path : pageSizeDatabase(db, pageSize);
        sqlite3* p = raw::open(path, false, pageSize);
        for (const Case& c : {cases[0], cases[1]}) {
            PrototypeFigure f;
            f.size = db.receipts;
            f.name = QStringLiteral("%1: program statement, page %2, whole result")
                         .arg(QLatin1String(c.label))
                         .arg(pageSize);
            f.note = QStringLiteral("cipher_page_size %1").arg(pageSize);
            f.samples = measure(policy, [&] { f.rows = int(run(p, current, c.text, -1).size()); });
            out.append(f);
            std::printf("  proto %-70s %9.3f %9.3f  (%d rows)\n", qPrintable(f.name),
                        f.samples.median(), f.samples.p95(), f.rows);
        }
        raw::close(p);
    }
    return out;
}

namespace {

// One save of a new five-line receipt with the statements the program runs, bare C API.
void saveNew(sqlite3* h, const zelk::receipt::ReceiptEntry& e) {
    raw::exec(h, "BEGIN IMMEDIATE");
    {
        raw::Stmt s(h, "insert into fpmain (fphm,kpdate,kpdate2,hyfl,jdhm,qssj,jcsj,jym,fkfmc,"
                       "jexx,jedx,skfmc,kpr,bz1,bz2) values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        const QStringList v = headerValues(e);
        for (int i = 0; i < 15; ++i)
            s.bind(i + 1, v[i].toUtf8());
        s.step();
    }
    const qint64 id = raw::scalar(h, "select max(kpid) from fpmain");
    for (const zelk::receipt::EntryLine& l : e.lines) {
        raw::Stmt s(h, "insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values(?,?,?,?,?,?,?)");
        s.bind(1, id);
        s.bind(2, l.item.toUtf8());
        s.bind(3, l.content.toUtf8());
        s.bind(4, l.unit.toUtf8());
        s.bind(5, l.quantity.toUtf8());
        s.bind(6, l.unitPrice.toUtf8());
        s.bind(7, l.amount.toUtf8());
        s.step();
    }
    raw::exec(h, "COMMIT");
}

} // namespace

QList<PrototypeFigure> runSavePrototypes(const BenchDatabase& db) {
    // On the prototype copy, so the cached database keeps its journal mode and rows.
    const QString path = prototypeDatabase(db);
    sqlite3* h = raw::open(path);
    const qint64 baseMax = raw::scalar(h, "select max(kpid) from fpmain");
    const ReceiptGenerator gen(db.receipts, db.today);
    QList<PrototypeFigure> out;
    qint64 seed = 1;
    zelk::receipt::ReceiptEntry entry;
    struct Mode {
        const char* label;
        const char* pragmas;
    };
    const Mode modes[] = {
        {"journal DELETE, synchronous FULL (program)",
         "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL"},
        {"journal TRUNCATE, synchronous FULL",
         "PRAGMA journal_mode=TRUNCATE; PRAGMA synchronous=FULL"},
        {"journal PERSIST, synchronous FULL",
         "PRAGMA journal_mode=PERSIST; PRAGMA synchronous=FULL"},
        {"WAL, synchronous FULL", "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL"},
        {"WAL, synchronous NORMAL", "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL"},
    };
    for (const Mode& m : modes) {
        raw::exec(h, m.pragmas);
        PrototypeFigure f;
        f.size = db.receipts;
        f.name = QStringLiteral("save new 5-line receipt: %1").arg(QLatin1String(m.label));
        f.note = QStringLiteral("bare C API, the program's statements in one transaction");
        f.samples = measure(
            RunPolicy{15, 40, 1500, 2}, [&] { saveNew(h, entry); },
            [&] { entry = gen.fiveLineReceipt(seed++); });
        out.append(f);
        std::printf("  proto %-70s %9.3f %9.3f\n", qPrintable(f.name), f.samples.median(),
                    f.samples.p95());
        std::fflush(stdout);
    }
    raw::exec(h, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL");
    raw::Stmt d1(h, "delete from fpdetail where kpid>?");
    d1.bind(1, baseMax);
    d1.step();
    raw::Stmt d2(h, "delete from fpmain where kpid>?");
    d2.bind(1, baseMax);
    d2.step();
    raw::close(h);
    return out;
}

QList<PrototypeFigure> runModelPrototypes(const BenchDatabase& db) {
    // What HistoryModel does while the grid walks a result, rebuilt piece by piece on the bare
    // C API: the program's batch statements one after another (each continuing after the last
    // row of the one before), then the same while packing each row's texts into blocks the way
    // the model keeps them, but copying the engine's UTF-8 bytes straight in, found by column
    // number, instead of turning each value into a QString by column name and back.
    QList<PrototypeFigure> out;
    sqlite3* h = raw::open(db.path);
    zelk::data::Connection none;
    const int batch = zelk::receipt::HistoryModel::batchSize;
    struct Case {
        const char* label;
        QString text;
    };
    for (const Case& c : {Case{"common text", commonText()}, Case{"empty text", QString()}}) {
        zelk::data::Connection connection;
        connection.setConnectionString(QStringLiteral("Data Source=%1;Password=%2")
                                           .arg(db.path, QLatin1String(zelk::data::databaseKey)));
        connection.open();
        zelk::store::FileStore file(connection);
        zelk::receipt::HistoryModel model(file);
        zelk::data::Query single(none);
        zelk::receipt::prepareHistorySearch(single, {c.text, {}, {}}, nullptr, -1);
        const QByteArray singleSql = single.text().toUtf8();
        const char* const labels[] = {"one statement, bare (the floor)",
                                      "the program's batches, bare",
                                      "batches + rows packed from raw bytes",
                                      "HistoryModel search + fetchMore (the program)"};
        for (int variant = 0; variant < 4; ++variant) {
            const int pack = variant == 2;
            int rows = 0;
            auto walk = [&] {
                if (variant == 0) {
                    raw::Stmt s(h, singleSql);
                    s.bind(":pattern", zelk::receipt::historyLikePattern(c.text).toUtf8());
                    s.bind(":limit", qint64(-1));
                    rows = 0;
                    while (s.step()) {
                        for (int col = 0; col < s.columns(); ++col)
                            s.readText(col);
                        ++rows;
                    }
                    return;
                }
                if (variant == 3) {
                    model.search({c.text, {}, {}});
                    while (model.canFetchMore({}))
                        model.fetchMore({});
                    rows = model.rowCount();
                    return;
                }
                std::vector<QByteArray> blocks;
                std::vector<std::pair<qint64, quint32>> index;
                zelk::receipt::HistoryPosition last;
                bool first = true;
                rows = 0;
                for (;;) {
                    zelk::data::Query q(none);
                    zelk::receipt::HistoryCriteria criteria{c.text, {}, {}};
                    zelk::receipt::prepareHistorySearch(q, criteria, first ? nullptr : &last,
                                                        batch + 1);
                    raw::Stmt s(h, q.text().toUtf8());
                    s.bind(":pattern", zelk::receipt::historyLikePattern(c.text).toUtf8());
                    s.bind(":limit", qint64(batch + 1));
                    if (!first)
                        s.bind(":afterid", last.kpid);
                    int n = 0;
                    bool more = false;
                    while (s.step()) {
                        if (n == batch) {
                            more = true;
                            break;
                        }
                        if (pack) {
                            if (blocks.empty() || blocks.back().size() > (1 << 20) - 2048) {
                                blocks.emplace_back();
                                blocks.back().reserve(1 << 20);
                            }
                            QByteArray& b = blocks.back();
                            index.emplace_back(s.integer(0), quint32(b.size()));
                            for (int col = 3; col < s.columns(); ++col) {
                                const auto* p = reinterpret_cast<const char*>(
                                    sqlite3_column_text(s.handle(), col));
                                const int len = sqlite3_column_bytes(s.handle(), col);
                                b.append(char(
                                    len &
                                    0x7f)); // one length byte: enough to time, not to read back
                                b.append(p, len);
                            }
                        } else {
                            for (int col = 0; col < s.columns(); ++col)
                                s.readText(col);
                        }
                        last.kpid = s.integer(0);
                        ++n;
                        ++rows;
                    }
                    first = false;
                    if (!more)
                        break;
                }
            };
            PrototypeFigure f;
            f.size = db.receipts;
            f.name = QStringLiteral("%1, dates unchecked: %2, whole result")
                         .arg(QLatin1String(c.label), QLatin1String(labels[variant]));
            f.note = QStringLiteral("batches of %1 rows, the program's statements").arg(batch);
            f.samples = measure(RunPolicy{3, 10, 4000, 1}, walk, [&] { model.clear(); });
            f.rows = rows;
            out.append(f);
            std::printf("  proto %-70s %9.3f %9.3f  (%d rows)\n", qPrintable(f.name),
                        f.samples.median(), f.samples.p95(), f.rows);
            std::fflush(stdout);
        }
    }
    raw::close(h);
    return out;
}

void printPrototypes(const QList<PrototypeFigure>& figures) {
    if (figures.isEmpty())
        return;
    std::printf("\nPrototypes (raw SQL; the same rows as the program's search)\n");
    std::printf("%8s  %-72s %10s %10s %8s\n", "receipts", "prototype", "median", "p95", "rows");
    for (const PrototypeFigure& f : figures)
        std::printf("%8lld  %-72s %10.3f %10.3f %8d\n", static_cast<long long>(f.size),
                    qPrintable(f.name), f.samples.median(), f.samples.p95(), f.rows);
}

} // namespace bench
