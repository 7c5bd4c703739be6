// Crash safety: a helper process saves receipts in a loop and is killed with SIGKILL at random
// moments. After every kill the database file must pass its integrity check, hold every
// receipt whole (header and exactly its lines, total equal to the exact sum of its stored
// amounts) and hold every receipt whose save had been reported.
//
// ZELK_CRASH_KILLS sets the number of kills (default 60), ZELK_CRASH_SEED the random seed
// (default: a new one, printed so that a failing run can be repeated).
#include "crashreceipt.h"

#include "data/connection.h"
#include "receipt/receiptloader.h"
#include "store/filestore.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

using namespace zelk;
using robust::CrashTag;

class TestCrash : public QObject {
    Q_OBJECT

private slots:
    void killedWhileSaving();
};

void TestCrash::killedWhileSaving() {
    const QString helperPath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/robust_crashsaver");
    QVERIFY2(QFileInfo::exists(helperPath), qPrintable(helperPath));
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
    QMap<qint64, CrashTag> reported;
    int killedMidTransaction = 0;

    for (int run = 1; run <= kills; ++run) {
        QProcess helper;
        helper.start(helperPath, {db.folder(), QString::number(run)});
        QVERIFY2(helper.waitForStarted(30000), qPrintable(helper.errorString()));
        // The kill comes while receipts are being saved: after the database is open, then a
        // random wait of up to a quarter second.
        while (!helper.canReadLine() && helper.state() == QProcess::Running)
            helper.waitForReadyRead(30000);
        QCOMPARE(helper.readLine(), QByteArray("ready\n"));
        QThread::msleep(random.bounded(250));
        QVERIFY2(helper.state() == QProcess::Running, helper.readAllStandardError().constData());
        if (QFileInfo(journal).size() > 0)
            ++killedMidTransaction; // a hot journal right before the kill: most likely mid-save
        helper.kill();              // SIGKILL
        QVERIFY(helper.waitForFinished(30000));

        // Only whole lines count: a line cut by the kill was not yet reported.
        const QList<QByteArray> out = helper.readAllStandardOutput().split('\n');
        for (qsizetype i = 0; i + 1 < out.size(); ++i) {
            const QList<QByteArray> parts = out[i].split(' '); // saved <id> crash <tag> v<n>
            const auto tag =
                robust::tagFromPayer(QString::fromUtf8(out[i].mid(6 + parts[1].size() + 1)));
            QVERIFY2(tag, out[i].constData());
            reported.insert(parts[1].toLongLong(), *tag);
        }

        // 1. The file is sound (this separate connection also rolls back a hot journal).
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(db.scalar(QStringLiteral(
                     "select count(*) from fpdetail where kpid not in (select kpid from fpmain)")),
                 QStringLiteral("0"));

        // 2. Every stored receipt is whole, and the receipts of one run are stored in order.
        data::Connection connection;
        connection.setConnectionString(db.connectionString());
        connection.open();
        store::FileStore file(connection);
        QMap<int, int> lastNumberOfRun;
        QMap<qint64, CrashTag> stored;
        for (const QString& row :
             db.column(QStringLiteral("select kpid||' '||jexx from fpmain order by kpid"))) {
            const qint64 id = row.section(u' ', 0, 0).toLongLong();
            receipt::ReceiptEntry entry = receipt::loadReceipt(file, id);
            const auto tag = robust::tagFromPayer(entry.payerName);
            QVERIFY2(tag, qPrintable(entry.payerName.left(100)));
            receipt::ReceiptEntry expected = robust::crashReceipt(*tag);
            for (receipt::EntryLine& line : expected.lines)
                if (line.amount.isEmpty())
                    line = {};
            expected.receiptId = QString::number(id);
            QVERIFY2(entry == expected, qPrintable(QStringLiteral("receipt %1 differs").arg(id)));
            QCOMPARE(row.section(u' ', 1), expected.totalFigures);
            QCOMPARE(tag->number, lastNumberOfRun.value(tag->run) + 1);
            lastNumberOfRun[tag->run] = tag->number;
            stored.insert(id, *tag);
        }

        // 3. Every reported save is there, in the version reported or a later one.
        for (auto it = reported.cbegin(); it != reported.cend(); ++it) {
            const CrashTag s = stored.value(it.key());
            QVERIFY2(s.run == it->run && s.number == it->number && s.version >= it->version,
                     qPrintable(QStringLiteral("reported receipt %1 is missing").arg(it.key())));
        }
    }
    qInfo("receipts reported saved: %lld, kills with a save in progress: %d of %d",
          qlonglong(reported.size()), killedMidTransaction, kills);
    QVERIFY(!reported.isEmpty());
}

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
