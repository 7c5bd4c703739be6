// The designer window: mouse drags and arrow-key nudges move items by the
// right number of millimetres, a moved and saved template prints the value at
// the new place (also from a preview that was open before), and closing with
// changes asks first.

#include "designer/designcanvas.h"
#include "designer/designerwindow.h"
#include "designer/fieldcatalog.h"
#include "designer/propertypanel.h"
#include "designer/templatedocument.h"
#include "report/layout.h"
#include "report/previewwindow.h"
#include "report/render.h"
#include "testsupport.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QJsonValue>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolBar>
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

void turnWheel(QWidget* w, int notches) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    for (int i = 0; i < notches; ++i) {
        QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &event);
    }
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

    // Enter in a field takes its value and presses no button (the image picker stays shut);
    // the wheel over a field without the focus changes nothing, with the focus it does;
    // Ctrl+Z and Ctrl+Y in a field undo and redo the template; typed moves are named 移动.
    void keysAndWheelChangeNothingByAccident() {
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        test::FileNames chooser; // answers Cancel, noting the chooser's caption
        doc()->setSelection({8});
        auto* width = window_->findChild<QDoubleSpinBox*>(QStringLiteral("widthBox"));
        width->setFocus();
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("51"));
        QTest::keyClick(width, Qt::Key_Return);
        QVERIFY(chooser.captions().isEmpty());
        QCOMPARE(doc()->itemRect(8).width(), 51.0);

        auto* paperWidth = window_->findChild<QDoubleSpinBox*>(QStringLiteral("paperWidthBox"));
        const double paper = paperWidth->value();
        const int steps = doc()->undoStack()->count();
        turnWheel(paperWidth, 3);
        QCOMPARE(paperWidth->value(), paper);
        QCOMPARE(doc()->undoStack()->count(), steps);
        paperWidth->setFocus();
        turnWheel(paperWidth, 1);
        QCOMPARE(doc()->templateValue(QStringLiteral("paper.width")).toDouble(), paper + 0.1);
        QTest::keyClick(paperWidth, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(doc()->templateValue(QStringLiteral("paper.width")).toDouble(), paper);
        QTest::keyClick(paperWidth, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(doc()->itemRect(8).width(), 107.0);
        QTest::keyClick(paperWidth, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(doc()->itemRect(8).width(), 51.0);

        window_->findChild<QDoubleSpinBox*>(QStringLiteral("yBox"))->setValue(70);
        QCOMPARE(doc()->itemRect(8).y(), 70.0);
        QCOMPARE(doc()->undoStack()->undoText(), QStringLiteral("移动"));
    }

    // Ctrl+wheel zooms about the pointer: the paper under it stays under it (across; the paper
    // is not tall enough to scroll much); the status line tells the pointer's place in mm.
    void zoomKeepsThePaperUnderThePointer() {
        designer::DesignCanvas* canvas = window_->canvas();
        QWidget* view = canvas->parentWidget();
        const QPointF mm(200, 46);
        const QPointF at = canvas->toWidget(mm);
        const QPointF inView = canvas->mapTo(view, at);
        QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
        QCOMPARE(canvas->zoom(), 1.5 * 1.25);
        QVERIFY(std::abs(canvas->mapTo(view, canvas->toWidget(mm)).x() - inView.x()) <= 1.0);
        const QPointF now = canvas->toWidget(mm);
        QMouseEvent move(QEvent::MouseMove, now, canvas->mapToGlobal(now), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("cursorLabel"))->text(),
                 QStringLiteral("光标：左 200.0 mm，上 46.0 mm"));
    }

    // Several items: the panel shows what they share, an edit applies to all in one step; the
    // text speaks captions; a negative width is refused, not flipped; the unsaved mark follows
    // undo; a click on the grey desk clears the selection.
    void panelEditsSeveralAndRefusesNonsense() {
        boxes_.clear();
        auto* x = window_->findChild<QDoubleSpinBox*>(QStringLiteral("xBox"));
        auto* size = window_->findChild<QDoubleSpinBox*>(QStringLiteral("sizeBox"));
        auto* width = window_->findChild<QDoubleSpinBox*>(QStringLiteral("widthBox"));
        doc()->setSelection({1});
        QCOMPARE(window_->findChild<QLineEdit*>(QStringLiteral("textEdit"))->text(),
                 QStringLiteral("[行业分类]"));
        doc()->setSelection({8, 9});
        QCOMPARE(x->text(), QStringLiteral("多个值"));
        size->setValue(12);
        QCOMPARE(doc()->itemValue(8, QStringLiteral("font.size")).toDouble(), 12.0);
        QCOMPARE(doc()->itemValue(9, QStringLiteral("font.size")).toDouble(), 12.0);
        QCOMPARE(doc()->undoStack()->count(), 1);
        x->setValue(30);
        QCOMPARE(doc()->itemRect(8).x() + doc()->itemRect(9).x(), 60.0);
        QCOMPARE(doc()->undoStack()->undoText(), QStringLiteral("移动"));
        width->setValue(-5);
        QCOMPARE(boxes_.texts(), QStringList{QStringLiteral("宽度和高度必须大于 0，未修改。")});
        QCOMPARE(doc()->itemRect(8).width(), 107.0);
        QCOMPARE(doc()->undoStack()->count(), 2);
        QVERIFY(window_->isWindowModified());
        doc()->undoStack()->undo();
        doc()->undoStack()->undo();
        QVERIFY(!window_->isWindowModified());
        sendMouse(window_->canvas()->parentWidget(), QEvent::MouseButtonPress, QPointF(2, 2));
        QVERIFY(doc()->selection().isEmpty());
    }

    // The window fits the screen; 载入背景图… and 帮助 are on its tool bars.
    void windowFitsAndHelps() {
        const QRect room = window_->screen()->availableGeometry();
        QVERIFY(window_->width() <= room.width() && window_->height() <= room.height());
        // On a 1366 × 768 screen 载入背景图… is on the bar, not behind its » overflow.
        window_->resize(1346, 688);
        QApplication::processEvents();
        for (const char* name : {"backgroundAction", "scanFitAction", "helpAction"}) {
            QAction* action = window_->findChild<QAction*>(QLatin1String(name));
            const QList<QToolBar*> bars = window_->findChildren<QToolBar*>();
            QVERIFY2(std::any_of(bars.begin(), bars.end(),
                                 [&](QToolBar* bar) {
                                     QWidget* w = bar->widgetForAction(action);
                                     return w && w->isVisible();
                                 }),
                     name);
        }
        bool helped = false;
        window_->setHelpHandler([&] { helped = true; });
        window_->findChild<QAction*>(QStringLiteral("helpAction"))->trigger();
        QVERIFY(helped);
        test::FileNames chooser; // answers Cancel, noting the chooser's caption
        window_->findChild<QAction*>(QStringLiteral("backgroundAction"))->trigger();
        QCOMPARE(chooser.captions(), QStringList{QStringLiteral("选择扫描的空白票据")});
    }

    // A template that cannot be read: the designer offers the shipped template (no .bak here),
    // keeps the broken file under a new name and opens on the template put in its place.
    void brokenTemplateStartsAgain() {
        window_.reset();
        QFile broken(path_);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("{\"paper\": ");
        broken.close();
        test::MessageRecorder boxes;
        boxes.setNextAnswer(ui::MessageBox::Answer::Yes); // the first (and only) choice
        int items = -1;
        QTimer::singleShot(0, [&items] {
            if (auto* w = qobject_cast<DesignerWindow*>(QApplication::activeModalWidget())) {
                items = w->document()->itemCount();
                w->reject();
            }
        });
        DesignerWindow::open(nullptr, path_, {});
        QCOMPARE(boxes.messages().value(0).kind, ui::MessageBox::Kind::Choice);
        QCOMPARE(boxes.messages().value(0).detail, QStringLiteral("用程序自带的模板"));
        QCOMPARE(items, 19);
        const QStringList kept =
            QDir(dir_.path()).entryList({QStringLiteral("fp3.frf.broken-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QFile keptFile(dir_.filePath(kept.first()));
        QVERIFY(keptFile.open(QIODevice::ReadOnly));
        QCOMPARE(keptFile.readAll(), QByteArray("{\"paper\": "));
    }

    // An image too large to load says why (a 10000 × 10000 scan), and changes nothing.
    void tooLargeImageSaysWhy() {
        const QString file = dir_.filePath(QStringLiteral("huge.pgm"));
        QFile huge(file);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        huge.write("P5\n10000 10000\n255\n");
        huge.close();
        QString error;
        const QByteArray before = doc()->toJson();
        QVERIFY(!window_->findChild<designer::PropertyPanel*>()->loadBackground(file, &error));
        QVERIFY2(error.contains(QStringLiteral("太大（10000 × 10000 像素）")), qPrintable(error));
        QCOMPARE(doc()->toJson(), before);
    }

    // Preview → 设计 → move the amount 10 mm → 保存 → close: the preview shows it and prints it
    // at the new place. A save by another copy (a new file renamed over the template) is seen
    // by the watch; a template that no longer lays out stops printing instead of printing the
    // old layout.
    void previewFollowsSavedTemplate() {
        window_.reset(); // the designer is opened from the preview here
        const QString word = QStringLiteral("壹仟贰佰叁拾肆元伍角整");
        const auto prepare = [this] {
            return report::layoutReport(report::loadTemplate(path_), designer::sampleDataSet(),
                                        designer::sampleVariables());
        };
        report::PreviewWindow preview(prepare());
        QString said;
        preview.setMessageHandler([&](const QString& text) { said = text; });
        preview.setTemplateSource(path_, prepare);
        preview.setDesignHandler([&] {
            DesignerWindow designer(path_, DesignerWindow::ValuesLoader(), &preview);
            designer.show();
            designer.document()->setSelection({8});
            designer.document()->moveSelection(10, 0);
            designer.save();
            designer.close();
        });
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        // 设计 stays on the bar at the preview's own size, not behind the » overflow.
        QVERIFY(preview.toolBar()
                    ->widgetForAction(preview.findChild<QAction*>(QStringLiteral("designAction")))
                    ->isVisible());
        const auto shownX = [&] {
            for (const report::PlacedText& t : preview.report().pages.at(0).texts)
                if (t.text == word)
                    return t.rect.x();
            return -1.0;
        };
        const auto printedX = [&](const QString& name) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir_.filePath(name));
            return preview.printTo(printer) ? wordInPdf(dir_.filePath(name), word).x() : -1.0;
        };
        const double shownBefore = shownX();
        const double printedBefore = printedX(QStringLiteral("before.pdf"));
        preview.findChild<QAction*>(QStringLiteral("designAction"))->trigger();
        QCOMPARE(shownX(), shownBefore + 10);
        QVERIFY(std::abs(printedX(QStringLiteral("after.pdf")) - printedBefore - 10) < 0.2);

        designer::TemplateDocument other;
        other.load(path_);
        other.setSelection({8});
        other.moveSelection(-10, 0);
        QString error;
        QVERIFY2(other.save(&error), qPrintable(error));
        QTRY_COMPARE(shownX(), shownBefore);

        QFile broken(path_);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("{\"paper\":");
        broken.close();
        QTRY_VERIFY(!preview.findChild<QAction*>(QStringLiteral("printAction"))->isEnabled());
        QCOMPARE(printedX(QStringLiteral("broken.pdf")), -1.0);
        QVERIFY(said.contains(QStringLiteral("不能打印")));
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
