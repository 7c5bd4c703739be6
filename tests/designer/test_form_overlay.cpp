// What printing onto pre-printed forms needs: boxed characters ("one character per cell") of the
// example template docs/examples/boxed-receipt.frf, where every character lands in the exported
// PDF and how too many characters are reported instead of cut; boxes reaching into a printer's
// unprintable margins; a scanned form fitted at true scale by two points; the autosaved copy of
// a designer that was killed, offered back when the designer opens again.

#include "designer/autosave.h"
#include "designer/designerwindow.h"
#include "designer/designvalues.h"
#include "designer/fieldcatalog.h"
#include "designer/scanfit.h"
#include "designer/templatedocument.h"
#include "report/layout.h"
#include "report/previewwindow.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <numbers>

using namespace zelk;

namespace {

const QString kExample = QStringLiteral(ZELK_TEST_SOURCE_DIR "/docs/examples/boxed-receipt.frf");

designer::DesignValues values(const QString& field, const QString& value) {
    designer::DesignValues v;
    v.data.columns =
        QStringList{QStringLiteral("kpdate2"), QStringLiteral("fphm"), QStringLiteral("fkfmc"),
                    QStringLiteral("jedx"),    QStringLiteral("jexx"), QStringLiteral("jym"),
                    QStringLiteral("skfmc"),   QStringLiteral("kpr")};
    QStringList row(v.data.columns.size());
    row[v.data.columns.indexOf(field)] = value;
    v.data.rows.append(row);
    v.variables.insert(QStringLiteral("V0"), QString());
    return v;
}

} // namespace

class TestFormOverlay : public QObject {
    Q_OBJECT

private slots:
    void charactersSitInTheirCells_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("printed"); // one character per cell, in order
        QTest::addColumn<int>("firstCell");   // -1: too many characters, nothing printed
        const QString digits = QStringLiteral("123456789");
        for (int n = 1; n <= 9; ++n) { // amounts of 1 to 9 digits, point dropped, ￥ in front
            QString amount = digits.left(n);
            if (n > 2)
                amount.insert(n - 2, u'.');
            QTest::addRow("amount of %d digits", n)
                << QStringLiteral("jexx") << QStringLiteral(" %1 ").arg(amount)
                << QStringLiteral("￥") + digits.left(n) << 9 - n;
        }
        QTest::newRow("ten digits fill every cell, no room for ￥")
            << QStringLiteral("jexx") << QStringLiteral("12345678.90")
            << QStringLiteral("1234567890") << 0;
        QTest::newRow("eleven digits: nothing printed")
            << QStringLiteral("jexx") << QStringLiteral("123456789.01") << QString() << -1;
        QTest::newRow("no amount: no lone ￥")
            << QStringLiteral("jexx") << QStringLiteral("  ") << QString() << 0;
        QTest::newRow("check code from the left")
            << QStringLiteral("jym") << QStringLiteral("12345678901234567890")
            << QStringLiteral("12345678901234567890") << 0;
    }

    void charactersSitInTheirCells() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, printed);
        QFETCH(int, firstCell);
        const report::Template tpl = report::loadTemplate(kExample);
        const designer::DesignValues v = values(field, value);
        const report::PreparedReport prepared = report::layoutReport(tpl, v.data, v.variables);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("boxed.pdf"));
        report::exportPdf(prepared, pdf);
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        QVERIFY2(p.waitForFinished() && p.exitCode() == 0, "pdftotext (poppler-utils) failed");
        const QString html = QString::fromUtf8(p.readAll());

        const report::TextItem* item = nullptr;
        for (const report::TextItem& t : tpl.page.texts)
            if (t.source == u'[' + field + u']')
                item = &t;
        QVERIFY(item && item->cells.count > 0);
        // Every word extracted inside the row of cells (pt to mm), left to right.
        const QRectF row = item->rect.adjusted(-2, -2, 2, 2);
        QString got;
        QList<QPointF> centres;
        static const QRegularExpression word(
            QStringLiteral("xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                           "yMax=\"([\\d.]+)\">([^<]*)<"));
        for (auto it = word.globalMatch(html); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QPointF c = QPointF(m.captured(1).toDouble() + m.captured(3).toDouble(),
                                      m.captured(2).toDouble() + m.captured(4).toDouble()) *
                              (25.4 / 72 / 2);
            if (row.contains(c)) {
                got += m.captured(5);
                centres.append(c);
            }
        }
        QCOMPARE(got, printed); // also: each word one character, so one per cell
        for (qsizetype k = 0; k < centres.size(); ++k) {
            const QPointF cell(item->rect.x() + item->cells.pitch * (firstCell + k + 0.5),
                               item->rect.center().y());
            QVERIFY2(QLineF(centres.at(k), cell).length() <= 0.3,
                     qPrintable(QStringLiteral("“%1” at %2, %3 mm; its cell's centre %4, %5")
                                    .arg(printed.at(k))
                                    .arg(centres.at(k).x())
                                    .arg(centres.at(k).y())
                                    .arg(cell.x())
                                    .arg(cell.y())));
        }
        // Too many characters: a red box and a warning in the preview, an error in the designer.
        report::PreviewWindow preview(prepared);
        QCOMPARE(preview.statusText().contains(QStringLiteral("字符多于格子数")), firstCell < 0);
        designer::TemplateDocument doc;
        doc.load(kExample);
        QCOMPARE(doc.validate(&v).message.contains(QStringLiteral("多于 10 个格子")),
                 firstCell < 0);
    }

    void boxesInTheUnprintableMarginsAreFlagged_data() {
        QTest::addColumn<QMarginsF>("margins");  // left, top, right, bottom (mm)
        QTest::addColumn<QList<int>>("flagged"); // items of the shipped template (band from 13)
        QTest::newRow("none") << QMarginsF() << QList<int>{};
        QTest::newRow("dot-matrix: 12.7 mm at the foot")
            << QMarginsF(6.35, 4.23, 6.35, 12.7) << QList<int>{12};
        QTest::newRow("15 mm at the head") << QMarginsF(0, 15, 0, 0) << QList<int>{0, 1, 2};
        QTest::newRow("12 mm on the right")
            << QMarginsF(0, 0, 12, 0) << QList<int>{2, 5, 6, 7, 9, 11, 12, 18};
    }

    void boxesInTheUnprintableMarginsAreFlagged() {
        QFETCH(QMarginsF, margins);
        QFETCH(QList<int>, flagged);
        designer::TemplateDocument doc;
        doc.load(QStringLiteral(ZELK_TEST_BINARY_DIR "/report/fp3.frf"));
        const report::PrintableArea area(doc.pageSize(), margins);
        QVERIFY(designer::DesignState::sameIndexes(doc.itemsReaching(area), flagged));
        // The preview names the fields that print something there.
        const designer::DesignValues v = designer::sampleValues();
        report::PreviewWindow preview(report::layoutReport(doc.toTemplate(), v.data, v.variables));
        preview.setPrintableArea(area);
        QCOMPARE(preview.statusText().contains(QStringLiteral("印不到的页边")), !flagged.isEmpty());
    }

    void twoPointFitPutsAScanAtTrueScale() {
        // A scan at 200 dpi, turned 1° and shifted: form point F lies at pixel scan(F).
        const double pxPerMm = 200 / 25.4, turn = std::numbers::pi / 180;
        const auto scan = [&](const QPointF& f) {
            return QPointF(f.x() * std::cos(turn) - f.y() * std::sin(turn),
                           f.x() * std::sin(turn) + f.y() * std::cos(turn)) *
                       pxPerMm +
                   QPointF(90, 40);
        };
        QTemporaryDir dir;
        QImage image(2100, 950, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter(&image).drawPolygon(
            QPolygonF{scan({10, 20}), scan({231, 20}), scan({231, 76}), scan({10, 76})});
        QVERIFY(image.save(dir.filePath(QStringLiteral("scan.png"))));
        QVERIFY(QFile::copy(kExample, dir.filePath(QStringLiteral("t.frf"))));
        QVERIFY(QFile::copy(
            QStringLiteral(ZELK_TEST_SOURCE_DIR "/docs/examples/boxed-receipt-blank.png"),
            dir.filePath(QStringLiteral("boxed-receipt-blank.png"))));
        designer::TemplateDocument doc;
        doc.load(dir.filePath(QStringLiteral("t.frf")));
        doc.setBackground(dir.filePath(QStringLiteral("scan.png")), doc.pageSize());

        // The clerk clicks the frame's top corners (to the pixel), types 221 mm and says the
        // first corner lies 10 mm from the paper's left edge and 20 mm from its top.
        const QPointF a = scan({10, 20}).toPoint(), b = scan({231, 20}).toPoint();
        const QPointF onPaper(10, 20);
        const designer::Placement fitted = designer::fitByTwoPoints(
            doc.backgroundPlacement(), image.size(), a, b, 221, designer::FitTurn::Level, &onPaper);
        QVERIFY(designer::fitResidual(fitted, image.size(), a, b) < 0.01);
        doc.setBackgroundPlacement(fitted);
        // As stored in the template and read back by the engine.
        const report::Template tpl = doc.toTemplate();
        const QRectF box = tpl.backgroundRect;
        const QTransform placed = designer::placementTransform(
            {box.x(), box.y(), box.width(), box.height(), tpl.backgroundRotation}, image.size());
        // Every point of the form lands where it lies on the paper: place, scale and angle.
        for (const QPointF& f : {QPointF(10, 20), QPointF(231, 20), QPointF(231, 76),
                                 QPointF(10, 76), QPointF(120, 50)}) {
            const QPointF got = placed.map(scan(f)), want = f;
            QVERIFY2(QLineF(got, want).length() <= 0.2,
                     qPrintable(QStringLiteral("form point %1, %2 lands at %3, %4 on the paper")
                                    .arg(f.x())
                                    .arg(f.y())
                                    .arg(got.x())
                                    .arg(got.y())));
        }
    }

    void killedDesignerIsOfferedItsChangesBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fp3.frf"));
        for (const QString& name : {QStringLiteral("fp3.frf"), QStringLiteral("fp3-blank.png")})
            QVERIFY(QFile::copy(QStringLiteral(ZELK_TEST_BINARY_DIR "/report/") + name,
                                dir.filePath(name)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZELK_DESIGNER_CHILD"), path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY2(child.waitForStarted(), "the designer child did not start");
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(designer::Autosave::pathFor(path)) && !timer.hasExpired(30000) &&
               child.state() == QProcess::Running)
            QTest::qWait(50);
        {
            // A second designer while the first is alive: not offered, and its no removes nothing.
            test::MessageRecorder asked;
            asked.setAnswer(false);
            designer::DesignerWindow second(path, {});
            QVERIFY(!second.offerRecovery());
            QVERIFY(asked.texts().isEmpty());
            second.reject();
            QVERIFY(QFile::exists(designer::Autosave::pathFor(path)));
        }
        child.kill(); // as a crash would end it: no close, no clean-up
        child.waitForFinished();
        QVERIFY2(QFile::exists(designer::Autosave::pathFor(path)),
                 qPrintable(QStringLiteral("the designer wrote no autosave copy: ") +
                            QString::fromLocal8Bit(child.readAllStandardError())));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before); // the template itself untouched

        test::MessageRecorder boxes;
        designer::DesignerWindow window(path, {});
        const int items = window.document()->itemCount();
        boxes.setNextAnswer(ui::MessageBox::Answer::Yes);
        QVERIFY(window.offerRecovery());
        QVERIFY(boxes.texts().value(0).contains(QStringLiteral("是否恢复")));
        QCOMPARE(window.document()->itemCount(), items + 1);
        QVERIFY(window.document()->isModified());
        window.document()->undoStack()->undo(); // the restored change is one undo step
        QCOMPARE(window.document()->itemCount(), items);
        // Closed without saving: nothing is offered any more.
        boxes.setAnswer(ui::MessageBox::Answer::No);
        window.reject();
        QVERIFY(!QFile::exists(designer::Autosave::pathFor(path)));
        QVERIFY(!designer::DesignerWindow(path, {}).offerRecovery());
    }
};

// Started with ZELK_DESIGNER_CHILD=<template>, the program is a designer with one unsaved change
// and a fast autosave, waiting to be killed.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (const QString path = qEnvironmentVariable("ZELK_DESIGNER_CHILD"); !path.isEmpty()) {
        designer::DesignerWindow window(path, {});
        window.autosave()->setInterval(50);
        window.document()->addText(QPointF(50, 50));
        return app.exec();
    }
    TestFormOverlay test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_form_overlay.moc"
