// Crash safety: a helper process saves receipts in a loop and is killed with SIGKILL at random
// moments. After every kill the database file must pass its integrity check, hold every
// receipt whole (header and exactly its lines, total equal to the exact sum of its stored
// amounts) and hold every receipt whose save had been reported.
//
// ZELK_CRASH_KILLS sets the number of kills (default 60), ZELK_CRASH_SEED the random seed
// (default: a new one, printed so that a failing run can be repeated).
#include "crashreceipt.h"

#include "amount/amounttext.h"
#include "data/tdmtd.h"
#include "testsupport.h"
#include "text/blanks.h"

#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

using namespace zelk;
using robust::CrashTag;

namespace {

const QChar sep(0x1f); // between the columns of one inspected row; no receipt text holds it

QString helperPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/robust_crashsaver");
}

struct Reported {
    qint64 id = 0;
    CrashTag tag;
};

QString headerRow(const receipt::ReceiptEntry& e, bool rewritten) {
    // A rewrite stores the header values trimmed; an insert stores them as typed.
    const auto v = [rewritten](const QString& s) {
        return rewritten ? zelk::text::trimBlanks(s) : s;
    };
    return QStringList{e.invoiceNumber,
                       receipt::searchableDate(e.issueDate),
                       receipt::displayedDate(e.issueDate),
                       v(e.category),
                       v(e.machineNumber),
                       v(e.periodStart),
                       v(e.periodEnd),
                       v(e.checkCode),
                       v(e.payerName),
                       v(e.totalFigures),
                       v(e.totalCapitals),
                       v(e.payeeName),
                       v(e.issuer),
                       v(e.noticeLine),
                       v(e.remarks)}
        .join(sep);
}

QStringList lineRows(const receipt::ReceiptEntry& e) {
    QStringList rows;
    for (const receipt::EntryLine& l : e.lines)
        if (!zelk::text::trimBlanks(l.amount).isEmpty())
            rows.append(
                QStringList{l.item, l.content, l.unit, l.quantity, l.unitPrice, l.amount}.join(
                    sep));
    return rows;
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

private slots:
    void killedWhileSaving();
};

void TestCrash::killedWhileSaving() {
    QVERIFY2(QFileInfo::exists(helperPath()), qPrintable(helperPath()));
    const int kills = qEnvironmentVariableIsSet("ZELK_CRASH_KILLS")
                          ? qEnvironmentVariableIntValue("ZELK_CRASH_KILLS")
                          : 60;
    const quint32 seed = qEnvironmentVariableIsSet("ZELK_CRASH_SEED")
                             ? quint32(qEnvironmentVariableIntValue("ZELK_CRASH_SEED"))
                             : QRandomGenerator::global()->generate();
    qInfo("kills: %d, ZELK_CRASH_SEED=%u", kills, seed);
    QRandomGenerator random(seed);

    test::TempDatabase db;
    const QString journal = db.path() + QStringLiteral("-journal");
    QList<Reported> reported;
    int killedMidTransaction = 0;

    for (int run = 1; run <= kills; ++run) {
        QProcess helper;
        helper.setProcessChannelMode(QProcess::SeparateChannels);
        helper.start(helperPath(), {db.folder(), QString::number(run)});
        QVERIFY2(helper.waitForStarted(30000), qPrintable(helper.errorString()));
        // The kill comes while receipts are being saved: after the database is open, then a
        // random wait of up to a quarter second.
        while (!helper.canReadLine() && helper.state() == QProcess::Running)
            helper.waitForReadyRead(30000);
        QCOMPARE(helper.readLine(), QByteArray("ready\n"));
        QThread::msleep(random.bounded(250));
        QVERIFY2(helper.state() == QProcess::Running,
                 qPrintable(QString::fromUtf8(helper.readAllStandardError())));
        if (QFileInfo(journal).size() > 0)
            ++killedMidTransaction; // a hot journal right before the kill: most likely mid-save
        helper.kill();              // SIGKILL
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);

        const QList<QByteArray> out = helper.readAllStandardOutput().split('\n');
        for (const QByteArray& line : out) {
            // Only whole lines count: a line cut by the kill was not yet reported.
            if (!line.startsWith("saved ") || &line == &out.last())
                continue;
            const QList<QByteArray> parts = line.split(' ');
            const auto tag =
                robust::tagFromPayer(QString::fromUtf8(line.mid(line.indexOf(' ', 6) + 1)));
            QVERIFY2(tag, line.constData());
            reported.append({parts.at(1).toLongLong(), *tag});
        }

        // 1. The file is sound (this separate connection also rolls back a hot journal).
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));

        // 2. Every stored receipt is whole.
        const QStringList headers = db.column(QStringLiteral(
            "select kpid||char(31)||fphm||char(31)||kpdate||char(31)||kpdate2||char(31)||hyfl||"
            "char(31)||jdhm||char(31)||qssj||char(31)||jcsj||char(31)||jym||char(31)||fkfmc||"
            "char(31)||jexx||char(31)||jedx||char(31)||skfmc||char(31)||kpr||char(31)||bz1||"
            "char(31)||bz2 from fpmain order by kpid"));
        QMap<qint64, QStringList> lines;
        const QStringList detail = db.column(QStringLiteral(
            "select kpid||char(31)||xm||char(31)||kjll||char(31)||dw||char(31)||sl||char(31)||"
            "dj||char(31)||je from fpdetail order by kpid, fpmxid"));
        for (const QString& row : detail) {
            const qsizetype cut = row.indexOf(sep);
            lines[row.left(cut).toLongLong()].append(row.mid(cut + 1));
        }
        QMap<qint64, CrashTag> stored;
        QMap<int, int> lastNumberOfRun;
        for (const QString& row : headers) {
            const QStringList cells = row.split(sep);
            QCOMPARE(cells.size(), 16);
            const qint64 id = cells.at(0).toLongLong();
            const auto tag = robust::tagFromPayer(cells.at(9));
            QVERIFY2(tag, qPrintable(row.left(200)));
            const receipt::ReceiptEntry expected = robust::crashReceipt(*tag);
            const QString header = cells.mid(1).join(sep);
            QVERIFY2(header == headerRow(expected, tag->version == 2),
                     qPrintable(QStringLiteral("receipt %1 header differs").arg(id)));
            QCOMPARE(lines.value(id), lineRows(expected));
            QStringList amounts;
            for (const QString& l : lines.value(id))
                amounts.append(l.split(sep).last());
            QCOMPARE(cells.at(10), amount::sumAmounts(amounts));
            stored.insert(id, *tag);
            // Receipts of one run are saved in order: no receipt is missing before the last.
            const int expectedNumber = lastNumberOfRun.value(tag->run) + 1;
            QVERIFY2(tag->number == expectedNumber,
                     qPrintable(QStringLiteral("run %1: receipt %2 stored after %3")
                                    .arg(tag->run)
                                    .arg(tag->number)
                                    .arg(expectedNumber - 1)));
            lastNumberOfRun[tag->run] = tag->number;
            lines.remove(id);
        }
        QVERIFY2(lines.isEmpty(), "fpdetail holds lines of a receipt that is not stored");

        // 3. Every reported save is there, in the version reported or a later one.
        for (const Reported& r : std::as_const(reported)) {
            QVERIFY2(stored.contains(r.id),
                     qPrintable(QStringLiteral("reported receipt %1 is missing").arg(r.id)));
            const CrashTag s = stored.value(r.id);
            QVERIFY(s.run == r.tag.run && s.number == r.tag.number);
            QVERIFY(s.version >= r.tag.version);
        }
    }
    qInfo("receipts reported saved: %lld, kills with a save in progress: %d of %d",
          qlonglong(reported.size()), killedMidTransaction, kills);
    QVERIFY(!reported.isEmpty());
}

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
