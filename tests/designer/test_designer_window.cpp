// The designer window: mouse drags and arrow-key nudges move items by the
// right number of millimetres, a moved and saved template prints the value at
// the new place, and closing with changes asks first.

#include "designer/designcanvas.h"
#include "designer/designerwindow.h"
#include "designer/fieldcatalog.h"
#include "designer/templatedocument.h"
#include "report/layout.h"
#include "report/previewwindow.h"
#include "report/render.h"
#include "testsupport.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QJsonValue>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelk;
using designer::DesignerWindow;

namespace {

// Where pdftotext finds the word (mm from the page's top-left), or an
// invalid point.
QPointF wordInPdf(const QString& pdf, const QString& word) {
    QProcess proc;
    proc.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!proc.waitForFinished(60000) || proc.exitCode() != 0)
        qFatal("pdftotext (poppler-utils) did not run");
    const QRegularExpression re(
        QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>%1</word>)re")
            .arg(QRegularExpression::escape(word)));
    const auto m = re.match(QString::fromUtf8(proc.readAllStandardOutput()));
    constexpr double mmPerPt = 25.4 / 72;
    return m.hasMatch() ? QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()) * mmPerPt
                        : QPointF(-1, -1);
}

QPointF printedAt(const QString& templatePath, const QString& pdf, const QString& word) {
    report::exportPdf(report::layoutReport(report::loadTemplate(templatePath),
                                           designer::sampleDataSet(), designer::sampleVariables()),
                      pdf);
    return wordInPdf(pdf, word);
}

void sendMouse(QWidget* w, QEvent::Type type, const QPointF& at) {
    QMouseEvent event(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestDesignerWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;
    test::MessageRecorder boxes_; // outlives the window, which may ask on closing
    std::unique_ptr<DesignerWindow> window_;

    designer::TemplateDocument* doc() const { return window_->document(); }

private slots:
    void init() {
        path_ = dir_.filePath(QStringLiteral("fp3.frf"));
        for (const QString& name : {QStringLiteral("fp3.frf"), QStringLiteral("fp3-blank.png")}) {
            QFile::remove(dir_.filePath(name));
            QVERIFY(QFile::copy(QStringLiteral(ZELK_TEST_BINARY_DIR "/report/") + name,
                                dir_.filePath(name)));
        }
        QFile::remove(path_ + QStringLiteral(".bak"));
        window_ = std::make_unique<DesignerWindow>(path_, DesignerWindow::ValuesLoader());
        boxes_.setAnswer(ui::MessageBox::Answer::No); // closing at the end: 不保存
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->canvas()->setZoom(1.5);
    }
    void cleanup() { window_.reset(); }

    // The background button takes the scan the file chooser gives; a cancelled chooser changes
    // nothing.
    void backgroundComesFromTheFileChooser() {
        test::FileNames files;
        auto* button = window_->findChild<QPushButton*>(QStringLiteral("backgroundButton"));
        QVERIFY(button);
        const QJsonValue before = doc()->templateValue(QStringLiteral("background.image"));
        button->click(); // cancelled
        QCOMPARE(doc()->templateValue(QStringLiteral("background.image")), before);
        QImage scan(200, 100, QImage::Format_RGB32);
        scan.fill(Qt::white);
        const QString path = dir_.filePath(QStringLiteral("scan.png"));
        QVERIFY(scan.save(path));
        files.setNextName(path);
        button->click();
        QCOMPARE(doc()->templateValue(QStringLiteral("background.image")).toString(),
                 QStringLiteral("scan.png"));
        QCOMPARE(files.captions().size(), 2);
    }

    // Closing with changes asks through the one message-box hook: 取消 keeps the window and the
    // changes, 保存 writes the template and closes.
    void closingWithChangesAsksToSave() {
        boxes_.clear();
        doc()->addText(QPointF(50, 50));
        const QByteArray before = test::readFile(path_);
        boxes_.setNextAnswer(ui::MessageBox::Answer::Cancel);
        window_->reject();
        QVERIFY(window_->isVisible() && doc()->isModified());
        boxes_.setNextAnswer(ui::MessageBox::Answer::Yes);
        window_->reject();
        QVERIFY(!window_->isVisible() && !doc()->isModified());
        QVERIFY(test::readFile(path_) != before);
        QCOMPARE(boxes_.messages().size(), 2);
        QCOMPARE(boxes_.messages().last().kind, ui::MessageBox::Kind::SaveQuestion);
    }

    // Drags [jedx] (42, 67) by 10.1 mm × 5.2 mm: it lands on the 0.5 mm grid,
    // and the saved template prints the value moved by as much.
    void dragMovesItemAndPdfFollows() {
        designer::DesignCanvas* canvas = window_->canvas();
        const QPointF start = canvas->toWidget(doc()->itemRect(8).center());
        const QPointF end = start + QPointF(10.1, 5.2) * canvas->scale();
        sendMouse(canvas, QEvent::MouseButtonPress, start);
        sendMouse(canvas, QEvent::MouseMove, (start + end) / 2);
        sendMouse(canvas, QEvent::MouseMove, end);
        sendMouse(canvas, QEvent::MouseButtonRelease, end);
        QCOMPARE(doc()->itemRect(8), QRectF(52, 72, 107, 6));
        QCOMPARE(doc()->undoStack()->count(), 1); // the drag is one undo step

        const QString word = QStringLiteral("壹仟贰佰叁拾肆元伍角整");
        const QPointF before = printedAt(path_, dir_.filePath(QStringLiteral("a.pdf")), word);
        QVERIFY(window_->save());
        const QPointF after = printedAt(path_, dir_.filePath(QStringLiteral("b.pdf")), word);
        QVERIFY2(before.x() > 0 && after.x() > 0, "the amount is not in the PDF");
        QVERIFY2(QLineF(after - before, QPointF(10, 5)).length() < 0.2,
                 qPrintable(QStringLiteral("moved by %1, %2 mm")
                                .arg(after.x() - before.x())
                                .arg(after.y() - before.y())));
    }

    void arrowKeysNudge_data() {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QPointF>("expected");
        QTest::newRow("0.1 mm") << Qt::KeyboardModifiers() << QPointF(42.2, 67.1);
        QTest::newRow("1 mm with Shift")
            << Qt::KeyboardModifiers(Qt::ShiftModifier) << QPointF(44, 68);
    }
    void arrowKeysNudge() {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QPointF, expected);
        doc()->setSelection({8});
        for (Qt::Key key :
             {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right})
            QTest::keyClick(window_->canvas(), key, modifiers);
        QCOMPARE(doc()->itemRect(8).topLeft(), expected);
        QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(window_.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(doc()->itemRect(8).topLeft(), expected);
    }

    // The preview's "设计" button calls the program's hook with the preview.
    void previewDesignButtonCallsHook() {
        QString openedOver;
        report::PreviewWindow::setDesignHook([&](QWidget* preview) {
            openedOver = preview->metaObject()->className();
            preview->close();
        });
        QTimer::singleShot(0, [this] {
            auto* preview = window_->findChild<report::PreviewWindow*>();
            if (auto* design = preview
                                   ? preview->findChild<QAction*>(QStringLiteral("designAction"))
                                   : nullptr)
                design->trigger();
            else if (preview)
                preview->close();
        });
        report::PreviewWindow::showReport(report::layoutReport(doc()->toTemplate(),
                                                               designer::sampleDataSet(),
                                                               designer::sampleVariables()),
                                          window_.get());
        report::PreviewWindow::setDesignHook({});
        QCOMPARE(openedOver, QStringLiteral("zelk::report::PreviewWindow"));
    }
};

QTEST_MAIN(TestDesignerWindow)
#include "test_designer_window.moc"
