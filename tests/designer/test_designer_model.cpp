// The template designer's document: editing, undo, validation, saving and the
// round trip of the shipped template.

#include "data/connection.h"
#include "designer/autosave.h"
#include "designer/designvalues.h"
#include "designer/fieldcatalog.h"
#include "designer/smartguides.h"
#include "designer/templatedocument.h"
#include "designer/templaterescue.h"
#include "report/layout.h"
#include "report/reporterror.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelk;
using designer::AlignMode;
using designer::TemplateDocument;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

report::PreparedReport laidOut(const report::Template& tpl) {
    return report::layoutReport(tpl, designer::sampleDataSet(), designer::sampleVariables());
}

} // namespace

class TestDesignerModel : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;
    TemplateDocument doc_;

    // The shipped template: page items 0..12 (item 8 is [jedx] at 42, 67,
    // 107 × 6), band items 13..18.
    void loadShipped() {
        const QString shipped = QStringLiteral(ZELK_TEST_BINARY_DIR "/report/");
        path_ = dir_.filePath(QStringLiteral("fp3.frf"));
        QFile::remove(path_);
        QFile::remove(path_ + QStringLiteral(".bak"));
        QFile::remove(dir_.filePath(QStringLiteral("fp3-blank.png")));
        QVERIFY(QFile::copy(shipped + QStringLiteral("fp3.frf"), path_));
        QVERIFY(QFile::copy(shipped + QStringLiteral("fp3-blank.png"),
                            dir_.filePath(QStringLiteral("fp3-blank.png"))));
        doc_.load(path_);
    }

private slots:
    void init() { loadShipped(); }

    void shippedTemplateRoundTrips() {
        const report::Template original = report::loadTemplate(path_);
        QString error;
        QVERIFY2(doc_.save(&error), qPrintable(error));
        const report::Template saved = report::loadTemplate(path_);
        QCOMPARE(laidOut(saved), laidOut(original));
        QCOMPARE(saved.printerOffset, original.printerOffset);
        QCOMPARE(readAll(path_ + QStringLiteral(".bak")),
                 readAll(QStringLiteral(ZELK_TEST_BINARY_DIR "/report/fp3.frf")));
        // A second load and save writes the same bytes.
        const QByteArray first = readAll(path_);
        doc_.load(path_);
        QCOMPARE(doc_.toJson(), first);
    }

    void editsUndoAndRedo_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<QList<int>>("selection");
        QTest::addColumn<int>("checked");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("move") << 0 << QList<int>{8} << 8 << QRectF(43.5, 66.9, 107, 6);
        QTest::newRow("move band item") << 0 << QList<int>{13} << 13 << QRectF(12.5, 35.9, 28, 5);
        QTest::newRow("resize") << 1 << QList<int>{8} << 8 << QRectF(40, 60, 20.25, 3.5);
        QTest::newRow("align left") << 2 << QList<int>{8, 0} << 8 << QRectF(28, 67, 107, 6);
        QTest::newRow("align bottom") << 3 << QList<int>{0, 8} << 0 << QRectF(28, 68, 52, 5);
        QTest::newRow("same width") << 4 << QList<int>{0, 8} << 8 << QRectF(42, 67, 52, 6);
        QTest::newRow("paste") << 5 << QList<int>{8} << 19 << QRectF(44, 69, 107, 6);
        QTest::newRow("delete") << 6 << QList<int>{0, 8} << 7 << QRectF(167, 67, 63, 6);
    }
    void editsUndoAndRedo() {
        QFETCH(int, op);
        QFETCH(QList<int>, selection);
        QFETCH(int, checked);
        QFETCH(QRectF, expected);
        const designer::DesignState before = doc_.state();
        doc_.setSelection(selection);
        switch (op) {
        case 0:
            doc_.moveSelection(1.0, -0.05, 7);
            doc_.moveSelection(0.5, -0.05, 7); // one drag: merged into one step
            break;
        case 1:
            doc_.setItemRect(8, QRectF(40, 60, 20.251, 3.5));
            break;
        case 2:
            doc_.align(AlignMode::Left);
            break;
        case 3:
            doc_.align(AlignMode::Bottom);
            break;
        case 4:
            doc_.align(AlignMode::SameWidth);
            break;
        case 5:
            QVERIFY(doc_.paste(doc_.copySelection()));
            QCOMPARE(doc_.selection(), QList<int>{19});
            break;
        case 6:
            doc_.deleteSelection();
            QCOMPARE(doc_.itemCount(), 17);
            break;
        }
        QCOMPARE(doc_.itemRect(checked), expected);
        QVERIFY(doc_.isModified());
        QCOMPARE(doc_.undoStack()->count(), 1);
        const designer::DesignState after = doc_.state();
        doc_.undoStack()->undo();
        QCOMPARE(doc_.state().items, before.items);
        QVERIFY(!doc_.isModified());
        doc_.undoStack()->redo();
        QCOMPARE(doc_.state(), after);
        // The edited template is one the engine accepts.
        QCOMPARE(doc_.validate().message, QString());
        doc_.toTemplate();
    }

    void brokenItemIsRefused_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("zero width") << 9 << QStringLiteral("width") << QJsonValue(0)
                                    << QStringLiteral("宽度和高度必须大于 0");
        QTest::newRow("unknown field")
            << 14 << QStringLiteral("text") << QJsonValue(QStringLiteral("[kjl]"))
            << QStringLiteral("未知的字段 “[kjl]”");
        QTest::newRow("unclosed") << 2 << QStringLiteral("text")
                                  << QJsonValue(QStringLiteral("No. [fphm"))
                                  << QStringLiteral("没有对应的");
        QTest::newRow("off the paper")
            << 4 << QStringLiteral("x") << QJsonValue(300) << QStringLiteral("纸张之外");
        QTest::newRow("taller than the paper") << 3 << QStringLiteral("height") << QJsonValue(999)
                                               << QStringLiteral("比纸张（高 93.1 mm）还高");
        QTest::newRow("over the edge")
            << 4 << QStringLiteral("x") << QJsonValue(230) << QStringLiteral("框超出纸张边缘");
        QTest::newRow("min size over size") << 6 << QStringLiteral("minSize") << QJsonValue(20)
                                            << QStringLiteral("items[6].minSize");
    }
    void brokenItemIsRefused() {
        QFETCH(int, item);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(QString, reason);
        const QByteArray before = readAll(path_);
        doc_.setItemValue(item, key, value);
        QString error;
        QVERIFY(!doc_.save(&error));
        QVERIFY2(error.contains(QStringLiteral("第 %1 项").arg(item + 1)), qPrintable(error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(doc_.selection(), QList<int>{item});
        QCOMPARE(readAll(path_), before);
        QVERIFY(!QFile::exists(path_ + QStringLiteral(".bak")));
        QVERIFY(doc_.isModified());
    }

    // The panel's text with captions goes back to names; the confusable fields are told apart.
    void captionsAndNamesRoundTrip() {
        const QString source = QStringLiteral("No. [fphm] 于 [kpdate2]，[未知]");
        const QString shown = designer::displayText(source, nullptr, {}, 0);
        QCOMPARE(shown, QStringLiteral("No. [发票号码] 于 [开票日期]，[未知]"));
        QCOMPARE(designer::sourceText(shown), source);
        const auto label = [](const QString& name) {
            for (const designer::Field& f : designer::receiptFields())
                if (f.name == name)
                    return designer::fieldChoiceLabel(f);
            return QString();
        };
        QVERIFY(label(QStringLiteral("kpid")).contains(QStringLiteral("不是票面号码")));
        QVERIFY(label(QStringLiteral("fphm")).contains(QStringLiteral("印在票面上")));
    }

    // A dragged box lines up with the nearest edge or centre of another within the tolerance,
    // across and down on their own, and names the guides to draw.
    void smartGuidesSnap_data() {
        QTest::addColumn<QRectF>("moving");
        QTest::addColumn<QPointF>("shift");
        QTest::addColumn<int>("guides");
        // The other boxes: (10, 10, 20 × 5) and (50, 40, 30 × 10).
        QTest::newRow("left to left") << QRectF(10.4, 25, 8, 4) << QPointF(-0.4, 0) << 1;
        QTest::newRow("centre to centre, top to bottom")
            << QRectF(61.3, 15.2, 8, 4) << QPointF(-0.3, -0.2) << 2;
        QTest::newRow("right to left, nearer wins")
            << QRectF(41.5, 30, 8, 4) << QPointF(0.5, 0) << 1;
        QTest::newRow("too far") << QRectF(33, 25, 8, 4) << QPointF(0, 0) << 0;
    }
    void smartGuidesSnap() {
        QFETCH(QRectF, moving);
        QFETCH(QPointF, shift);
        QFETCH(int, guides);
        const designer::GuideSnap snap =
            designer::snapToOthers(moving, {QRectF(10, 10, 20, 5), QRectF(50, 40, 30, 10)}, 1.0);
        QVERIFY(QLineF(snap.shift, shift).length() < 1e-9);
        QCOMPARE(snap.guides.size(), guides);
    }

    // Equal gaps, centres and one size for several items, each one undo step.
    void distributeCentreAndSameSize() {
        doc_.setSelection({0, 8, 12});
        const QRectF a = doc_.itemRect(0), c = doc_.itemRect(12);
        doc_.distribute(false);
        QList<QRectF> r;
        for (int i : {0, 8, 12})
            r.append(doc_.itemRect(i));
        std::sort(r.begin(), r.end(),
                  [](const QRectF& p, const QRectF& q) { return p.top() < q.top(); });
        QVERIFY(std::abs((r[1].top() - r[0].bottom()) - (r[2].top() - r[1].bottom())) < 0.011);
        QCOMPARE(doc_.itemRect(0), a); // the outermost stay
        QCOMPARE(doc_.itemRect(12), c);
        doc_.align(AlignMode::CentreAcross);
        QVERIFY(std::abs(doc_.itemRect(8).center().x() - a.center().x()) < 0.011);
        doc_.align(AlignMode::SameSize);
        QCOMPARE(doc_.itemRect(12).size(), a.size());
        QCOMPARE(doc_.undoStack()->count(), 3);
    }

    // Fewer cells of an amount filled from the right keep its right edge over the form's box.
    void cellCountKeepsTheRightEdge() {
        const auto cells = [](int count) {
            return QJsonObject{{QStringLiteral("pitch"), 5},
                               {QStringLiteral("count"), count},
                               {QStringLiteral("fill"), QStringLiteral("right")}};
        };
        doc_.setItemCells(8, cells(10));
        const double right = doc_.itemRect(8).right();
        doc_.setItemCells(8, cells(8));
        QCOMPARE(doc_.itemRect(8).right(), right);
        QCOMPARE(doc_.itemRect(8).width(), 40.0);
    }

    // A template that cannot be read: the .bak, then the shipped template are offered, and the
    // broken file is kept under a new name each time, never overwritten.
    void brokenTemplateIsKeptAndReplaced() {
        doc_.setSelection({8});
        doc_.moveSelection(1, 0);
        QString error;
        QVERIFY2(doc_.save(&error), qPrintable(error));
        writeAll(path_, "{\"paper\": ");
        const QList<designer::RescueSource> sources = designer::rescueSources(path_);
        QCOMPARE(sources.size(), 2);
        QVERIFY(sources.at(0).caption.contains(QStringLiteral("fp3.frf.bak")));
        QCOMPARE(sources.at(1).caption, QStringLiteral("程序自带的模板"));
        QCOMPARE(sources.at(1).content,
                 readAll(QStringLiteral(ZELK_TEST_BINARY_DIR "/report/fp3.frf")));
        const QString kept = designer::replaceBrokenTemplate(path_, sources.at(0).content);
        QVERIFY(kept.startsWith(path_ + QStringLiteral(".broken-")));
        QCOMPARE(readAll(kept), QByteArray("{\"paper\": "));
        doc_.load(path_);
        QCOMPARE(doc_.itemRect(8).x(), 42.0); // the template before the last save
        writeAll(path_, "broken again");
        const QString second = designer::replaceBrokenTemplate(path_, sources.at(1).content);
        QVERIFY(second != kept);
        QCOMPARE(readAll(kept), QByteArray("{\"paper\": "));
        QCOMPARE(readAll(second), QByteArray("broken again"));
        QFile::remove(path_ + QStringLiteral(".bak"));
        QCOMPARE(designer::rescueSources(path_).size(), 1);
    }

    // Two designers on one template: the second neither writes nor removes the first one's
    // autosaved copy. A copy that cannot be written is said, not dropped silently.
    void autosaveBelongsToTheFirstCopy() {
        designer::Autosave first(&doc_);
        TemplateDocument other;
        other.load(path_);
        designer::Autosave second(&other);
        QVERIFY(!first.otherCopyEditing());
        QVERIFY(second.otherCopyEditing());
        doc_.addText(QPointF(50, 50));
        other.addText(QPointF(60, 60));
        QVERIFY(first.saveNow());
        QVERIFY(!second.saveNow());
        second.discard();
        QVERIFY(QFile::exists(designer::Autosave::pathFor(path_)));
        QVERIFY(!designer::Autosave::leftOver(path_, nullptr).isEmpty());
        first.discard();
        QVERIFY(!QFile::exists(designer::Autosave::pathFor(path_)));

        QVERIFY(QDir().mkpath(designer::Autosave::pathFor(path_))); // cannot be written as a file
        QSignalSpy failed(&first, &designer::Autosave::failed);
        doc_.addText(QPointF(70, 70));
        QVERIFY(!first.saveNow());
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.at(0).at(0).toString().startsWith(QStringLiteral("自动保存失败")));
        QDir(designer::Autosave::pathFor(path_)).removeRecursively();
    }
};

QTEST_MAIN(TestDesignerModel)
#include "test_designer_model.moc"
