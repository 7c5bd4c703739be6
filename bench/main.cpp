// zelk_bench: times what the operator waits on, on generated databases of 10,000, 100,000 and
// 1,000,000 receipts, each beside its floor (the same SQL through the bare SQLCipher C API, or
// the bare widget for a keystroke), prints a table and writes the figures as JSON. See the
// "Benchmark" section of README.md.

#include "benchdb.h"
#include "children.h"
#include "cupsserver.h"
#include "measure.h"
#include "pgserver.h"
#include "prototypes.h"
#include "raw.h"
#include "receiptgen.h"

#include "backup/filebackup.h"
#include "books/receiptexport.h"
#include "data/tdmtd.h"
#include "printing/printjob.h"
#include "receipt/entrypage.h"
#include "receipt/historymodel.h"
#include "receipt/historysearch.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptpreview.h"
#include "receipt/receiptsaver.h"
#include "report/layout.h"
#include "report/render.h"
#include "report/template.h"
#include "store/copystore.h"
#include "store/fileschema.h"
#include "store/filesearchindex.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "store/schemaversion.h"
#include "text/blanks.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

#include <sqlite3.h>

using namespace bench;
namespace receipt = zelk::receipt;

namespace {

struct Figure {
    qint64 size = 0;
    QString name;
    Samples ours;
    Samples floor;
    QString unit = QStringLiteral("ms");
    double target = 0;        // upper bound for the median; 0: none
    bool ratioTarget = false; // the 1.2x-of-floor target applies
    QString note;
};

QList<Figure> figures;

void print(const Figure& f) {
    const double ratio = f.floor.count() ? f.ours.median() / std::max(f.floor.median(), 1e-6) : 0;
    QString verdict;
    if (f.target > 0)
        verdict = f.ours.median() < f.target ? QStringLiteral("met") : QStringLiteral("MISSED");
    if (f.ratioTarget && f.floor.count())
        verdict += ratio <= 1.2 ? QStringLiteral(" / ratio ok") : QStringLiteral(" / ratio >1.2");
    std::printf("%8lld  %-52s %4d %10.3f %10.3f %10.3f %10.3f %7.2f  %-7s %s\n",
                static_cast<long long>(f.size), qPrintable(f.name), f.ours.count(), f.ours.median(),
                f.ours.p95(), f.floor.median(), f.floor.p95(), ratio,
                f.target > 0 ? qPrintable(QStringLiteral("<%1").arg(f.target)) : "",
                qPrintable(verdict));
    std::fflush(stdout);
}

void header() {
    std::printf("%8s  %-52s %4s %10s %10s %10s %10s %7s  %-7s %s\n", "receipts", "measurement", "n",
                "median", "p95", "floor med", "floor p95", "ratio", "target", "verdict");
}

void add(Figure f) {
    print(f);
    figures.append(std::move(f));
}

QString connectionString(const QString& path) {
    return QStringLiteral("Data Source=%1;Password=%2")
        .arg(path, QLatin1String(zelk::data::databaseKey));
}

void typeKey(QWidget* w, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

// ---- start-up -------------------------------------------------------------------------------

void startup(const BenchDatabase& db, int runs) {
    Figure f;
    f.size = db.receipts;
    f.name = QStringLiteral("start-up (process to window shown)");
    f.target = 300;
    // Phases, from what each child printed: process start to main(), QApplication, window
    // and data module built, show (FormShow: database open, defaults), first paint.
    Samples phases[5];
    Samples floorPhases[5];
    auto split = [](const QList<double>& n, Samples* into) {
        for (int i = 0; i < 5; ++i)
            into[i].ms.push_back(n.at(i + 1) - n.at(i));
    };
    for (int i = 0; i < runs + 1; ++i) {
        const QList<double> ours = spawnChild(QStringLiteral("startup"), db.path);
        const QList<double> floor = spawnChild(QStringLiteral("startup-floor"), db.path);
        if (ours.value(6) != 1 || floor.value(6) != 1)
            throw raw::Error("start-up child did not load the defaults");
        if (i == 0)
            continue; // warm-up
        f.ours.ms.push_back(ours.at(5) - ours.at(0));
        f.floor.ms.push_back(floor.at(5) - floor.at(0));
        split(ours, phases);
        split(floor, floorPhases);
    }
    auto describe = [](const Samples* p) {
        return QStringLiteral("exec to main %1, QApplication %2, build %3, show %4, to first "
                              "paint %5 ms")
            .arg(p[0].median(), 0, 'f', 1)
            .arg(p[1].median(), 0, 'f', 1)
            .arg(p[2].median(), 0, 'f', 1)
            .arg(p[3].median(), 0, 'f', 1)
            .arg(p[4].median(), 0, 'f', 1);
    };
    f.note = QStringLiteral("child process: QApplication, font, Tfrmqj, showMaximized "
                            "(FormShow opens the database and loads the four defaults), until "
                            "the first paint [") +
             describe(phases) +
             QStringLiteral("]; floor: empty QMainWindow + bare open and reads [") +
             describe(floorPhases) + QStringLiteral("]");
    add(f);
    std::printf("          phases: %s\n          floor:  %s\n", qPrintable(describe(phases)),
                qPrintable(describe(floorPhases)));
}

// ---- amount changed -------------------------------------------------------------------------

void amountChanged(qint64 size) {
    receipt::ReceiptEntryPage page;
    page.show();
    for (int row = 0; row < 5; ++row)
        page.amountCell(row)->setText(QStringLiteral("1234.5%1").arg(row));
    QLineEdit* cell = page.amountCell(0);
    cell->setText(QStringLiteral("1234"));
    cell->setFocus();
    QApplication::processEvents();

    const QString before = page.entry().totalFigures;
    typeKey(cell, Qt::Key_5, QStringLiteral("5"));
    if (page.entry().totalFigures == before)
        throw raw::Error("a keystroke in the amount cell did not change the total");
    typeKey(cell, Qt::Key_Backspace, QString());

    QLineEdit bare;
    bare.setText(QStringLiteral("1234"));
    bare.show();
    QApplication::processEvents();

    bool digit = true;
    // A digit, then Backspace, and so on: the cell goes back and forth between two values.
    auto keystroke = [&](QWidget* w, bool& nextIsDigit) {
        if (nextIsDigit)
            typeKey(w, Qt::Key_5, QStringLiteral("5"));
        else
            typeKey(w, Qt::Key_Backspace, QString());
        nextIsDigit = !nextIsDigit;
    };
    const RunPolicy policy{200, 2000, 300, 20};
    Figure f;
    f.size = size;
    f.name = QStringLiteral("amount changed (one keystroke)");
    f.target = 1;
    f.note = QStringLiteral("key press+release on ReceiptEntryPage's amount cell of row 1 "
                            "(five amounts filled), both totals updated; floor: bare QLineEdit");
    bool bareDigit = true;
    std::tie(f.ours, f.floor) = measurePair(
        policy, [&] { keystroke(cell, digit); }, [&] { keystroke(&bare, bareDigit); });
    add(f);
}

// ---- save -----------------------------------------------------------------------------------

struct RawSaver {
    sqlite3* db;

    void insertHeader(const receipt::ReceiptEntry& e, bool rewrite, qint64 id) {
        const QStringList v = bench::headerValues(e);
        if (!rewrite) {
            raw::Stmt s(db, "insert into fpmain (fphm,kpdate,kpdate2,hyfl,jdhm,qssj,jcsj,jym,"
                            "fkfmc,jexx,jedx,skfmc,kpr,bz1,bz2) "
                            "values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
            for (int i = 0; i < 15; ++i)
                s.bind(i + 1, v[i].toUtf8());
            s.step();
            return;
        }
        raw::Stmt s(db, "update fpmain set kpdate=?,kpdate2=?,hyfl=?,jdhm=?,qssj=?,jcsj=?,jym=?,"
                        "fkfmc=?,jexx=?,jedx=?,skfmc=?,kpr=?,bz1=?,bz2=? where kpid=?");
        for (int i = 1; i < 15; ++i)
            s.bind(i, zelk::text::trimBlanks(v[i]).toUtf8());
        s.bind(15, id);
        s.step();
    }

    void save(const receipt::ReceiptEntry& e) {
        const bool rewrite = !e.receiptId.isEmpty();
        qint64 id = e.receiptId.toLongLong();
        raw::exec(db, "BEGIN IMMEDIATE");
        if (rewrite) {
            raw::Stmt c(db, "select count(*) from fpmain where kpid=?");
            c.bind(1, id);
            c.step();
        }
        insertHeader(e, rewrite, id);
        if (rewrite) {
            raw::Stmt d(db, "delete from fpdetail where kpid=?");
            d.bind(1, id);
            d.step();
        } else {
            id = raw::scalar(db, "select max(kpid) from fpmain");
        }
        for (const receipt::EntryLine& l : e.lines) {
            if (zelk::text::trimBlanks(l.amount).isEmpty())
                continue;
            raw::Stmt s(db,
                        "insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je) values(?,?,?,?,?,?,?)");
            s.bind(1, id);
            s.bind(2, l.item.toUtf8());
            s.bind(3, l.content.toUtf8());
            s.bind(4, l.unit.toUtf8());
            s.bind(5, l.quantity.toUtf8());
            s.bind(6, l.unitPrice.toUtf8());
            s.bind(7, l.amount.toUtf8());
            s.step();
        }
        raw::exec(db, "COMMIT");
    }
};

// Takes the receipts a measurement added out again, so the cached database stays as generated.
void removeReceiptsAfter(sqlite3* rawDb, qint64 kpid) {
    for (const char* sql :
         {"delete from fpdetail where kpid>?", "delete from fpmain where kpid>?"}) {
        raw::Stmt s(rawDb, sql);
        s.bind(1, kpid);
        s.step();
    }
}

void saves(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb) {
    const ReceiptGenerator gen(db.receipts, db.today);
    const qint64 baseMax = raw::scalar(rawDb, "select max(kpid) from fpmain");
    const RunPolicy policy{10, 40, 1500, 2};
    zelk::store::FileStore file(dm.Database3_ado);
    receipt::ReceiptSaver saver(file);
    RawSaver rawSaver{rawDb};
    qint64 seed = 1;
    receipt::ReceiptEntry entry;

    Figure insert;
    insert.size = db.receipts;
    insert.name = QStringLiteral("save: new receipt, 5 lines");
    insert.target = 20;
    insert.ratioTarget = true;
    insert.note = QStringLiteral("ReceiptSaver::save insert path, one transaction, "
                                 "synchronous=FULL; floor: the same statements, bare C API");
    auto next = [&] { entry = gen.fiveLineReceipt(seed++); };
    std::tie(insert.ours, insert.floor) = measurePair(
        policy, [&] { saver.save(entry); }, [&] { rawSaver.save(entry); }, next);
    add(insert);

    // Corrections of receipts already stored, spread over the file: one that leaves the
    // searched columns as they were (the added blank is trimmed away), one that changes the
    // remarks and so the receipt's search index entry.
    std::mt19937_64 rng(42);
    for (const bool changesText : {false, true}) {
        Figure rewrite;
        rewrite.size = db.receipts;
        rewrite.name = changesText ? QStringLiteral("save: correction of the remarks")
                                   : QStringLiteral("save: correction (rewrite)");
        rewrite.target = 20;
        rewrite.ratioTarget = true;
        rewrite.note = QStringLiteral("ReceiptSaver::save rewrite path of a reloaded receipt");
        auto pick = [&] {
            const qint64 id = std::uniform_int_distribution<qint64>(1, baseMax)(rng);
            entry = receipt::loadReceipt(file, id);
            entry.remarks += changesText ? QStringLiteral("改") : QStringLiteral(" ");
        };
        std::tie(rewrite.ours, rewrite.floor) = measurePair(
            policy, [&] { saver.save(entry); }, [&] { rawSaver.save(entry); }, pick);
        add(rewrite);
    }

    removeReceiptsAfter(rawDb, baseMax);
}

// ---- reload ---------------------------------------------------------------------------------

void reload(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb) {
    zelk::store::FileStore file(dm.Database3_ado);
    receipt::ReceiptEntryPage page;
    page.show();
    QApplication::processEvents();
    std::mt19937_64 rng(7);
    qint64 id = 1;
    auto pick = [&] { id = std::uniform_int_distribution<qint64>(1, db.receipts)(rng); };
    const RunPolicy policy{30, 1000, 700, 5};
    Figure f;
    f.size = db.receipts;
    f.name = QStringLiteral("reload into the form");
    f.target = 5;
    f.ratioTarget = true;
    f.note = QStringLiteral("loadReceipt + ReceiptEntryPage::showReceipt of a random receipt; "
                            "floor: the two selects, bare C API, every column read");
    std::tie(f.ours, f.floor) = measurePair(
        policy, [&] { page.showReceipt(receipt::loadReceipt(file, id)); },
        [&] {
            raw::Stmt h(rawDb, "select * from fpmain  where kpid=?");
            h.bind(1, id);
            while (h.step())
                for (int c = 0; c < h.columns(); ++c)
                    h.readText(c);
            raw::Stmt l(rawDb, "select * from fpdetail  where kpid=? order by fpmxid");
            l.bind(1, id);
            while (l.step())
                for (int c = 0; c < l.columns(); ++c)
                    l.readText(c);
        },
        pick);
    add(f);
}

// ---- search ---------------------------------------------------------------------------------

struct SearchCase {
    QString label;
    receipt::HistoryCriteria criteria;
};

// Steps the program's search statement with the bare C API, reading every column as text.
int rawSearch(sqlite3* db, const QByteArray& sql, const receipt::HistoryCriteria& c, int limit) {
    raw::Stmt s(db, sql);
    s.bind(":pattern", receipt::historyLikePattern(c.text).toUtf8());
    s.bind(":limit", qint64(-1));
    if (c.from.isValid())
        s.bind(":datefrom", receipt::searchableDate(c.from).toLongLong());
    if (c.to.isValid())
        s.bind(":dateto", receipt::searchableDate(c.to).toLongLong());
    int rows = 0;
    while ((limit < 0 || rows < limit) && s.step()) {
        for (int col = 0; col < s.columns(); ++col)
            s.readText(col);
        ++rows;
    }
    return rows;
}

// The searches timed on every store: texts with the dates unchecked, then the date ranges.
QList<SearchCase> searchCases(const QDate& today) {
    return {
        {QStringLiteral("rare text, dates unchecked"), {rareText(), {}, {}}},
        {QStringLiteral("common text, dates unchecked"), {commonText(), {}, {}}},
        {QStringLiteral("one common character, dates unchecked"), {QStringLiteral("公"), {}, {}}},
        {QStringLiteral("invoice-number digits, dates unchecked"),
         {QStringLiteral("0012"), {}, {}}},
        {QStringLiteral("ASCII word in other case, dates unchecked"),
         {QStringLiteral("ht2025"), {}, {}}},
        {QStringLiteral("rare text, default range"), {rareText(), today, today.addDays(30)}},
        {QStringLiteral("common text, default range"), {commonText(), today, today.addDays(30)}},
        {QStringLiteral("empty text, default range"), {QString(), today, today.addDays(30)}},
        {QStringLiteral("common text, last 30 days"), {commonText(), today.addDays(-30), today}},
        {QStringLiteral("empty text, last 30 days"), {QString(), today.addDays(-30), today}},
    };
}

void searches(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb, bool large) {
    const QList<SearchCase> cases = searchCases(db.today);
    zelk::store::FileStore file(dm.Database3_ado);
    receipt::HistoryModel model(file);
    const RunPolicy policy{large ? 5 : 10, 30, 2500, 1};
    for (const SearchCase& sc : cases) {
        // The floors: the program's first batch statement, and the same statement without a
        // limit stepped to the end (one statement, where the program reads batch after batch).
        zelk::data::Query text(dm.Database3_ado);
        receipt::prepareHistorySearch(text, sc.criteria, nullptr,
                                      receipt::HistoryModel::batchSize + 1);
        const QByteArray sql = text.text().toUtf8();
        const bool ranged = sc.criteria.from.isValid();

        int found = 0;
        Figure first;
        first.size = db.receipts;
        first.name = QStringLiteral("search first rows: ") + sc.label;
        // With the dates unchecked the search index answers: a rare text at once, a common one
        // (in a third of the receipts) nearly so, the other texts within 50 ms.
        first.target = ranged                             ? 30
                       : sc.criteria.text == rareText()   ? 5
                       : sc.criteria.text == commonText() ? 20
                                                          : 50;
        first.ratioTarget = true;
        first.note = QStringLiteral("HistoryModel::search (the first batch of %1 rows); floor: "
                                    "the same statement stepped to %1 rows, bare C API")
                         .arg(receipt::HistoryModel::batchSize);
        std::tie(first.ours, first.floor) = measurePair(
            policy, [&] { model.search(sc.criteria); },
            [&] { rawSearch(rawDb, sql, sc.criteria, receipt::HistoryModel::batchSize + 1); },
            [&] { model.clear(); });
        Figure walk;
        walk.size = db.receipts;
        walk.name = QStringLiteral("search whole result: ") + sc.label;
        walk.target = ranged || first.target == 50 ? 0 : 1000;
        walk.ratioTarget = true;
        std::tie(walk.ours, walk.floor) = measurePair(
            policy,
            [&] {
                model.search(sc.criteria);
                while (model.canFetchMore({}))
                    model.fetchMore({});
                found = model.rowCount();
            },
            [&] { rawSearch(rawDb, sql, sc.criteria, -1); }, [&] { model.clear(); });
        walk.note = QStringLiteral("search + fetchMore until done; %1 rows").arg(found);
        first.note += QStringLiteral("; %1 rows in all").arg(found);
        add(first);
        add(walk);
    }
    model.clear();
}

// ---- server store ---------------------------------------------------------------------------

// The same work on a private PostgreSQL server (own folder and socket, started here and removed
// afterwards) holding a copy of the file's receipts, through the program's store interface,
// with the file store's figure for the same work as the floor column.
void serverStore(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb) {
    zelk::test::PgServer server;
    if (!server.problem().isEmpty()) {
        std::fprintf(stderr, "server store skipped: %s\n", qPrintable(server.problem()));
        return;
    }
    zelk::store::PgStore pg(server.createDatabase(QStringLiteral("zelkbench")));
    zelk::store::FileStore file(dm.Database3_ado);
    // The peak is measured from here: writing 5 to clear_refs sets VmHWM to the current size.
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
    }
    const double before = peakMemoryMiB();
    const double copyStart = nowMs();
    zelk::store::copyStore(file, pg);
    Figure copy;
    copy.size = db.receipts;
    copy.name = QStringLiteral("server: copy-store from the file (s)");
    copy.unit = QStringLiteral("s");
    copy.ours.ms = {(nowMs() - copyStart) / 1000.0};
    copy.note = QStringLiteral("copyStore(file, server), one transaction, batches of 500 rows");
    add(copy);
    Figure copyMemory;
    copyMemory.size = db.receipts;
    copyMemory.name = QStringLiteral("server: copy-store peak memory growth (MiB)");
    copyMemory.unit = QStringLiteral("MiB");
    copyMemory.target = 200;
    copyMemory.ours.ms = {peakMemoryMiB() - before};
    copyMemory.note = QStringLiteral("VmHWM during copyStore(file, server) less the size before "
                                     "(%1 MiB)")
                          .arg(before, 0, 'f', 0);
    add(copyMemory);

    int groups = 0;
    Figure summary;
    summary.size = db.receipts;
    summary.name = QStringLiteral("server: summary by month, all dates");
    summary.target = 500;
    std::tie(summary.ours, summary.floor) = measurePair(
        {3, 10, 5000, 1},
        [&] { groups = int(pg.summarize(zelk::store::SummaryKey::Month, {}, {}).size()); },
        [&] { file.summarize(zelk::store::SummaryKey::Month, {}, {}); });
    summary.note = QStringLiteral("PgStore::summarize by month (the server groups and adds up "
                                  "the stored summaryamount), %1 groups; floor: the file store")
                       .arg(groups);
    add(summary);

    const qint64 baseMax = raw::scalar(rawDb, "select max(kpid) from fpmain");
    const ReceiptGenerator gen(db.receipts, db.today);
    const RunPolicy savePolicy{10, 40, 1500, 2};
    receipt::ReceiptSaver pgSaver(pg);
    receipt::ReceiptSaver fileSaver(file);
    qint64 seed = 1;
    receipt::ReceiptEntry entry;
    Figure save;
    save.size = db.receipts;
    save.name = QStringLiteral("server: save new receipt, 5 lines");
    save.target = 20;
    save.note = QStringLiteral("ReceiptSaver on the server store; floor: on the file store");
    std::tie(save.ours, save.floor) = measurePair(
        savePolicy, [&] { pgSaver.save(entry); }, [&] { fileSaver.save(entry); },
        [&] { entry = gen.fiveLineReceipt(seed++); });
    add(save);
    // Both stores go back to the same receipts, so that their searches find the same rows.
    removeReceiptsAfter(rawDb, baseMax);
    zelk::store::searchindex::update(dm.Database3_ado);
    for (const char* table : {"fpdetail", "fpmain"})
        server.exec(
            QStringLiteral("zelkbench"),
            QStringLiteral("delete from %1 where kpid>%2").arg(QLatin1String(table)).arg(baseMax));

    std::mt19937_64 rng(7);
    qint64 id = 1;
    Figure reload;
    reload.size = db.receipts;
    reload.name = QStringLiteral("server: reload a receipt");
    reload.note = QStringLiteral("loadReceipt from the server store; floor: from the file store");
    std::tie(reload.ours, reload.floor) = measurePair(
        {10, 500, 1500, 2}, [&] { receipt::loadReceipt(pg, id); },
        [&] { receipt::loadReceipt(file, id); },
        [&] { id = std::uniform_int_distribution<qint64>(1, baseMax)(rng); });
    add(reload);

    const QList<SearchCase> cases = searchCases(db.today);
    receipt::HistoryModel pgModel(pg);
    receipt::HistoryModel fileModel(file);
    const RunPolicy policy{db.receipts >= 1000000 ? 5 : 10, 30, 2500, 1};
    auto walk = [](receipt::HistoryModel& model, const receipt::HistoryCriteria& c) {
        model.search(c);
        while (model.canFetchMore({}))
            model.fetchMore({});
        return model.rowCount();
    };
    for (const SearchCase& sc : cases) {
        const bool unchecked = !sc.criteria.from.isValid();
        Figure first;
        first.size = db.receipts;
        first.name = QStringLiteral("server: search first rows: ") + sc.label;
        first.target = sc.criteria.text == rareText() && unchecked ? 5 : 0;
        first.note = QStringLiteral("HistoryModel::search on the server store; floor: file store");
        std::tie(first.ours, first.floor) = measurePair(
            policy, [&] { pgModel.search(sc.criteria); }, [&] { fileModel.search(sc.criteria); },
            [&] {
                pgModel.clear();
                fileModel.clear();
            });
        int rows = 0;
        Figure whole;
        whole.size = db.receipts;
        whole.name = QStringLiteral("server: search whole result: ") + sc.label;
        whole.target = sc.criteria.text == commonText() && unchecked ? 1000 : 0;
        std::tie(whole.ours, whole.floor) = measurePair(
            policy, [&] { rows = walk(pgModel, sc.criteria); },
            [&] {
                if (walk(fileModel, sc.criteria) != rows)
                    throw std::runtime_error("the stores found different rows");
            },
            [&] {
                pgModel.clear();
                fileModel.clear();
            });
        whole.note = QStringLiteral("search + fetchMore until done; %1 rows").arg(rows);
        add(first);
        add(whole);
    }
}

// ---- the shop's books -------------------------------------------------------------------------

// The file's summaries, also a part of their own ("summary").
void summaries(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb) {
    zelk::store::FileStore file(dm.Database3_ado);
    int groups = 0;
    Figure summary;
    summary.size = db.receipts;
    summary.name = QStringLiteral("books: summary by month, all dates");
    summary.target = 1000;
    std::tie(summary.ours, summary.floor) = measurePair(
        {3, 10, 5000, 1},
        [&] { groups = int(file.summarize(zelk::store::SummaryKey::Month, {}, {}).size()); },
        [&] {
            raw::Stmt s(rawDb, "select kpdate/100,count(*),total(jexx) from fpmain group by 1");
            while (s.step())
                s.readText(2);
        });
    summary.note = QStringLiteral("FileStore::summarize by month, %1 groups: kpdate and jexx of "
                                  "every receipt read from the summary index and added up in "
                                  "exact decimals; floor: SQLite's own group by with "
                                  "floating-point sums")
                       .arg(groups);
    add(summary);
}

void books(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb) {
    // The export in a child of its own, so that its peak memory is the export's alone.
    const QList<double> e = spawnChild(QStringLiteral("export"), db.path, {}, 4 * 3600 * 1000);
    Figure exportTime;
    exportTime.size = db.receipts;
    exportTime.name = QStringLiteral("books: export every receipt to .xlsx (s)");
    exportTime.unit = QStringLiteral("s");
    exportTime.ours.ms = {e.at(5) / 1000.0};
    exportTime.note = QStringLiteral("searchResultIds + exportReceipts in a child: %1 receipts, "
                                     "%2 lines, file %3 MiB")
                          .arg(qint64(e.at(3)))
                          .arg(qint64(e.at(4)))
                          .arg(e.at(6), 0, 'f', 1);
    add(exportTime);
    Figure exportMemory;
    exportMemory.size = db.receipts;
    exportMemory.name = QStringLiteral("books: export to .xlsx, peak memory (MiB)");
    exportMemory.unit = QStringLiteral("MiB");
    exportMemory.target = 300;
    exportMemory.ours.ms = {e.at(2)};
    exportMemory.note = QStringLiteral("VmHWM of the export child (%1 MiB before the export)")
                            .arg(e.at(1), 0, 'f', 1);
    add(exportMemory);
    summaries(db, dm, rawDb);

    // The automatic backup's copy (online backup, then opened and checked), into a folder on the
    // same disk as the database; floor: copying the file's bytes.
    const QString folder = QFileInfo(db.path).absolutePath() + QStringLiteral("/backup-bench");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QDateTime when = QDateTime::currentDateTime();
    Figure backup;
    backup.size = db.receipts;
    backup.name = QStringLiteral("books: automatic backup (s)");
    backup.unit = QStringLiteral("s");
    std::tie(backup.ours, backup.floor) = measurePair(
        {2, 3, 1, 0}, [&] { zelk::backup::makeBackup(db.path, folder, when = when.addSecs(60)); },
        [&] { QFile::copy(db.path, folder + QStringLiteral("/copy.mdb")); },
        [&] {
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
        });
    QDir(folder).removeRecursively();
    for (Samples* samples : {&backup.ours, &backup.floor})
        for (double& ms : samples->ms)
            ms /= 1000.0;
    backup.note = QStringLiteral("backup::makeBackup: SQLite's online backup of the open "
                                 "encrypted file, then the copy opened, integrity-checked and "
                                 "its rows counted; floor: QFile::copy of the file");
    add(backup);
}

// ---- preview --------------------------------------------------------------------------------

void preview(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb) {
    const QString templatePath =
        receipt::receiptTemplatePath(QCoreApplication::applicationFilePath());
    // A receipt with five lines.
    const qint64 id = raw::scalar(
        rawDb,
        "select kpid from fpdetail group by kpid having count(*)=5 order by kpid desc limit 1");
    zelk::store::FileStore file(dm.Database3_ado);
    const QString remarks = receipt::loadReceipt(file, id).remarks;
    const RunPolicy policy{10, 100, 1500, 2};
    auto floorQuery = [&] {
        raw::Stmt s(rawDb, "select a.*,b.fpmxid,b.xm,b.kjll,b.dw,b.sl,b.dj,b.je from fpmain a,"
                           "fpdetail b where a.kpid=b.kpid and a.kpid=?");
        s.bind(1, id);
        while (s.step())
            for (int c = 0; c < s.columns(); ++c)
                s.readText(c);
    };
    zelk::report::PreparedReport prepared;
    Figure f;
    f.size = db.receipts;
    f.name = QStringLiteral("preview first page");
    f.target = 100;
    f.note = QStringLiteral("prepareReceiptReport (join query, template load, layout) + "
                            "renderPageImage(page 1, 96 dpi, with the form background); floor: "
                            "the join query alone");
    std::tie(f.ours, f.floor) = measurePair(
        policy,
        [&] {
            prepared =
                receipt::prepareReceiptReport(file, QString::number(id), remarks, templatePath);
            const QImage image =
                zelk::report::renderPageImage(prepared, 0, 96, zelk::report::RenderTarget::Preview);
            if (image.isNull())
                throw raw::Error("empty preview image");
        },
        floorQuery);
    add(f);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("receipt.pdf"));
    Figure p;
    p.size = db.receipts;
    p.name = QStringLiteral("PDF export");
    p.note = QStringLiteral("exportPdf of the laid-out receipt (1200 dpi)");
    p.ours = measure(RunPolicy{5, 50, 1500, 1}, [&] { zelk::report::exportPdf(prepared, pdf); });
    add(p);
}

// ---- print ----------------------------------------------------------------------------------

// From 打印 to the job accepted by the print service: the queue asked, the pages drawn into a
// PDF, the job sent and followed until CUPS takes it (processing or done), on a cups-pdf queue
// of the private print service the tests use (root only; skipped otherwise).
void printing(const BenchDatabase& db, zelk::data::Tdmtd& dm, sqlite3* rawDb) {
    static zelk::test::CupsServer service;
    static const QString problem = [] {
        QString why = service.start();
        if (why.isEmpty())
            why = service.addQueue(QStringLiteral("zelk-bench"));
        return why;
    }();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "print: skipped (%s)\n", qPrintable(problem));
        return;
    }
    const qint64 id = raw::scalar(
        rawDb,
        "select kpid from fpdetail group by kpid having count(*)=5 order by kpid desc limit 1");
    zelk::store::FileStore file(dm.Database3_ado);
    const zelk::report::PreparedReport prepared = receipt::prepareReceiptReport(
        file, QString::number(id), QString(),
        receipt::receiptTemplatePath(QCoreApplication::applicationFilePath()));
    zelk::printing::PrintOptions options;
    options.printerName = QStringLiteral("zelk-bench");
    options.title = zelk::printing::receiptJobTitle(prepared);
    Figure f;
    f.size = db.receipts;
    f.name = QStringLiteral("print: button to job accepted by CUPS");
    f.note = QStringLiteral("printing::printReport of a five-line receipt on a private cups-pdf "
                            "queue: queue asked, PDF drawn, job sent and followed");
    f.ours = measure(RunPolicy{3, 10, 5000, 1},
                     [&] { zelk::printing::printReport(prepared, options, nullptr); });
    add(f);
    // The queue's PDFs are not kept.
    for (const QFileInfo& pdf : QDir(service.out()).entryInfoList(QDir::Files))
        QFile::remove(pdf.filePath());
}

// ---- memory ---------------------------------------------------------------------------------

void memory(const BenchDatabase& db) {
    const QList<double> ours = spawnChild(QStringLiteral("memory"), db.path);
    const QList<double> floor = spawnChild(QStringLiteral("memory-floor"), db.path);
    Figure f;
    f.size = db.receipts;
    f.name = QStringLiteral("peak memory, grid lists all (MiB)");
    f.unit = QStringLiteral("MiB");
    f.target = 200;
    f.ours.ms = {ours.at(2)};
    f.floor.ms = {floor.at(2)};
    f.note = QStringLiteral("VmHWM of a child: HistoryModel in a shown QTableView, empty text, "
                            "dates unchecked, fetched to the end (%1 rows, %2 ms, %3 MiB before "
                            "the search); floor: bare statement stepped to the end")
                 .arg(ours.at(3))
                 .arg(ours.at(4), 0, 'f', 0)
                 .arg(ours.at(1), 0, 'f', 1);
    add(f);
    Figure t;
    t.size = db.receipts;
    t.name = QStringLiteral("grid lists all (time)");
    t.ours.ms = {ours.at(4)};
    t.floor.ms = {floor.at(4)};
    t.ratioTarget = true;
    t.note = QStringLiteral("the same child run: search + fetchMore to the end with a view");
    add(t);
}

// ---- the file's layout -----------------------------------------------------------------------

// The first start of this version on a cached file of an earlier layout brings it up to date
// (at 1,000,000 receipts mostly the build of the summary index): timed and the file weighed
// before and after. A file already up to date gives no figures.
void upgradeFigures(const BenchDatabase& db) {
    zelk::data::Connection connection;
    connection.setConnectionString(connectionString(db.path));
    connection.open();
    const int from = zelk::store::fileVersion(connection);
    if (from >= zelk::store::fileSchemaVersion)
        return;
    const qint64 before = QFileInfo(db.path).size();
    const double start = nowMs();
    zelk::store::migrateFile(connection);
    Figure upgrade;
    upgrade.size = db.receipts;
    upgrade.name = QStringLiteral("file layout %1 to %2 at first start (s)")
                       .arg(from)
                       .arg(zelk::store::fileSchemaVersion);
    upgrade.unit = QStringLiteral("s");
    upgrade.ours.ms = {(nowMs() - start) / 1000.0};
    upgrade.note = QStringLiteral("migrateFile, one transaction");
    add(upgrade);
    const qint64 after = QFileInfo(db.path).size();
    Figure growth;
    growth.size = db.receipts;
    growth.name = QStringLiteral("file layout %1 to %2: file growth (%)")
                      .arg(from)
                      .arg(zelk::store::fileSchemaVersion);
    growth.unit = QStringLiteral("%");
    growth.ours.ms = {100.0 * double(after - before) / double(std::max<qint64>(before, 1))};
    growth.note = QStringLiteral("file %1 bytes before, %2 after").arg(before).arg(after);
    add(growth);
}

// ---- search index -------------------------------------------------------------------------

void indexFigures(const BenchDatabase& db) {
    Figure build;
    build.size = db.receipts;
    build.name = QStringLiteral("search index: build (s)");
    build.unit = QStringLiteral("s");
    build.target = 60;
    build.ours.ms = {db.indexBuildSeconds};
    build.note = QStringLiteral("searchindex::update on the freshly loaded file, as at the first "
                                "start of a file without the index");
    add(build);
    Figure growth;
    growth.size = db.receipts;
    growth.name = QStringLiteral("search index: file growth (%)");
    growth.unit = QStringLiteral("%");
    growth.target = 60;
    growth.ours.ms = {100.0 * double(db.bytesWithIndex - db.bytesWithoutIndex) /
                      double(std::max<qint64>(db.bytesWithoutIndex, 1))};
    growth.note = QStringLiteral("file %1 bytes without the index, %2 with it")
                      .arg(db.bytesWithoutIndex)
                      .arg(db.bytesWithIndex);
    add(growth);
}

QJsonObject toJson(const Figure& f) {
    auto samples = [](const Samples& s) {
        QJsonArray a;
        for (double v : s.ms)
            a.append(v);
        return a;
    };
    QJsonObject o{{QStringLiteral("receipts"), f.size},
                  {QStringLiteral("name"), f.name},
                  {QStringLiteral("unit"), f.unit},
                  {QStringLiteral("runs"), f.ours.count()},
                  {QStringLiteral("median"), f.ours.median()},
                  {QStringLiteral("p95"), f.ours.p95()},
                  {QStringLiteral("note"), f.note},
                  {QStringLiteral("samples"), samples(f.ours)}};
    if (f.floor.count()) {
        o.insert(QStringLiteral("floor_median"), f.floor.median());
        o.insert(QStringLiteral("floor_p95"), f.floor.p95());
        o.insert(QStringLiteral("ratio"), f.ours.median() / std::max(f.floor.median(), 1e-6));
    }
    if (f.target > 0) {
        o.insert(QStringLiteral("target"), f.target);
        o.insert(QStringLiteral("met"), f.ours.median() < f.target);
    }
    return o;
}

void writeJson(const QString& path, const QList<PrototypeFigure>& protos) {
    QJsonArray all;
    for (const Figure& f : figures)
        all.append(toJson(f));
    QJsonArray p;
    for (const PrototypeFigure& f : protos)
        p.append(QJsonObject{{QStringLiteral("receipts"), f.size},
                             {QStringLiteral("name"), f.name},
                             {QStringLiteral("median"), f.samples.median()},
                             {QStringLiteral("p95"), f.samples.p95()},
                             {QStringLiteral("runs"), f.samples.count()},
                             {QStringLiteral("rows"), f.rows},
                             {QStringLiteral("note"), f.note}});
    const QJsonObject root{
        {QStringLiteral("date"), QDateTime::currentDateTime().toString(Qt::ISODate)},
        {QStringLiteral("figures"), all},
        {QStringLiteral("prototypes"), p}};
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw raw::Error("cannot write " + path.toStdString());
    out.write(QJsonDocument(root).toJson());
}

// A private runtime folder (Qt wants one with mode 0700) for this process and its children.
QString runtimeDir() {
    const QString dir =
        QDir::tempPath() +
        QStringLiteral("/zelk-bench-runtime-%1").arg(QString::fromLocal8Bit(qgetenv("USER")));
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return dir;
}

void usage() {
    std::printf("usage: zelk_bench [--sizes 10000,100000,1000000] [--json FILE] [--quick]\n"
                "                  [--no-prototypes] [--only start-up|amount|save|reload|search|"
                "preview|print|memory|books|summary|server|prototypes]\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtimeDir().toUtf8());
    QApplication app(argc, argv);

    QList<qint64> sizes = {10000, 100000, 1000000};
    QString json = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-results.json");
    bool prototypes = true;
    QStringList only;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& s : args.at(++i).split(QLatin1Char(',')))
                sizes.append(s.toLongLong());
        } else if (a == QLatin1String("--json") && i + 1 < args.size()) {
            json = args.at(++i);
        } else if (a == QLatin1String("--quick")) {
            sizes = {10000};
        } else if (a == QLatin1String("--no-prototypes")) {
            prototypes = false;
        } else if (a == QLatin1String("--only") && i + 1 < args.size()) {
            only.append(args.at(++i));
        } else {
            usage();
            return 2;
        }
    }
    auto wanted = [&](const char* part) {
        return only.isEmpty() || only.contains(QLatin1String(part));
    };

    QList<PrototypeFigure> protos;
    try {
        std::printf("zelk_bench, %s; times in ms; median and p95 over n runs; floor = the same "
                    "work through the bare SQLCipher C API (or a bare widget)\n",
                    qPrintable(QDateTime::currentDateTime().toString(Qt::ISODate)));
        for (qint64 size : sizes) {
            const BenchDatabase db = ensureDatabase(size);
            std::printf("\n%s (%.0f MiB, newest receipt %s)\n", qPrintable(db.path),
                        double(QFileInfo(db.path).size()) / 1048576.0,
                        qPrintable(db.today.toString(Qt::ISODate)));
            header();
            indexFigures(db);
            upgradeFigures(db);
            zelk::data::Tdmtd dm;
            dm.Database3_ado.setConnectionString(connectionString(db.path));
            dm.Database3_ado.open();
            sqlite3* rawDb = raw::open(db.path);
            if (wanted("start-up"))
                startup(db, size >= 1000000 ? 10 : 10);
            if (wanted("amount"))
                amountChanged(size);
            if (wanted("save")) {
                saves(db, dm, rawDb);
                // The floor's saves and the clean-up went past the index (fpmain's triggers
                // queued them); bring it back in step as a start-up would.
                zelk::store::searchindex::update(dm.Database3_ado);
            }
            if (wanted("reload"))
                reload(db, dm, rawDb);
            if (wanted("search"))
                searches(db, dm, rawDb, size >= 1000000);
            if (wanted("preview"))
                preview(db, dm, rawDb);
            if (wanted("print"))
                printing(db, dm, rawDb);
            if (wanted("memory"))
                memory(db);
            if (wanted("books"))
                books(db, dm, rawDb);
            else if (only.contains(QLatin1String("summary")))
                summaries(db, dm, rawDb);
            if (wanted("server"))
                serverStore(db, dm, rawDb);
            raw::close(rawDb);
            if (only.contains(QLatin1String("model")))
                protos += runModelPrototypes(db);
            if (prototypes && wanted("prototypes") && size >= 1000000) {
                // A failing prototype costs its own figures only.
                try {
                    protos += runPrototypes(db);
                    protos += runSavePrototypes(db);
                    protos += runModelPrototypes(db);
                } catch (const std::exception& error) {
                    std::fprintf(stderr, "prototypes: %s\n", error.what());
                }
            }
        }
        std::printf("\nAll figures\n");
        header();
        for (const Figure& f : figures)
            print(f);
        printPrototypes(protos);
        writeJson(json, protos);
        std::printf("\nwritten %s\n", qPrintable(json));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zelk_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
