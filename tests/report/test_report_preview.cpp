// The preview window, driven through its controls on the offscreen platform.

#include "report/layout.h"
#include "report/previewwindow.h"
#include "reporttestutil.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>

using namespace zelk::report;
using namespace reporttest;

class TestReportPreview : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensOnFirstPage();
    void pageNavigation();
    void pageNumberBox();
    void zoomActions();
    void findMovesToTheMatchingPage();
    void findIsCaseInsensitiveAndWraps();
    void findWithoutMatchTellsTheOperator();
    void helpCallsTheProgramsHandler();
    void saveAndOpenThroughTheToolbar();
    void openingABrokenFileShowsTheError();
    void escapeCloses();

private:
    QAction* action(const char* name) {
        auto* a = window_->findChild<QAction*>(QString::fromLatin1(name));
        if (!a)
            qFatal("no action %s", name);
        return a;
    }

    PreparedReport report_;
    std::unique_ptr<PreviewWindow> window_;
    QStringList messages_;
    QTemporaryDir dir_;
};

void TestReportPreview::init() {
    const Template t = loadTemplate(sourceDir() + QStringLiteral("/resources/report/fp3.frf"));
    DataSet data = fp3Sample(12); // three pages of five rows
    // One text only on the last page, in mixed case.
    data.rows[11][fp3Columns().indexOf(QStringLiteral("kjll"))] = QStringLiteral("Special Tea");
    report_ = layoutReport(t, data, fp3Variables());
    window_ = std::make_unique<PreviewWindow>(report_);
    messages_.clear();
    window_->setMessageHandler([this](const QString& text) { messages_.append(text); });
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void TestReportPreview::cleanup() {
    window_.reset();
}

void TestReportPreview::opensOnFirstPage() {
    QCOMPARE(window_->pageCount(), 3);
    QCOMPARE(window_->currentPage(), 0);
    QVERIFY(window_->isModal());
    auto* spin = window_->findChild<QSpinBox*>(QStringLiteral("pageSpin"));
    QVERIFY(spin);
    QCOMPARE(spin->value(), 1);
    QCOMPARE(spin->maximum(), 3);
    QVERIFY(window_->findChild<QLabel*>(QStringLiteral("pageCountLabel"))->text().contains(u'3'));
    QVERIFY(!action("previousPageAction")->isEnabled());
    QVERIFY(action("nextPageAction")->isEnabled());
}

void TestReportPreview::pageNavigation() {
    auto* spin = window_->findChild<QSpinBox*>(QStringLiteral("pageSpin"));
    QSignalSpy changed(window_.get(), &PreviewWindow::currentPageChanged);
    action("nextPageAction")->trigger();
    QCOMPARE(window_->currentPage(), 1);
    QCOMPARE(spin->value(), 2);
    action("lastPageAction")->trigger();
    QCOMPARE(window_->currentPage(), 2);
    QVERIFY(!action("nextPageAction")->isEnabled());
    QVERIFY(!action("lastPageAction")->isEnabled());
    action("nextPageAction")->trigger(); // disabled: stays on the last page
    QCOMPARE(window_->currentPage(), 2);
    action("previousPageAction")->trigger();
    QCOMPARE(window_->currentPage(), 1);
    action("firstPageAction")->trigger();
    QCOMPARE(window_->currentPage(), 0);
    QCOMPARE(spin->value(), 1);
    QCOMPARE(changed.count(), 4);
}

void TestReportPreview::pageNumberBox() {
    auto* spin = window_->findChild<QSpinBox*>(QStringLiteral("pageSpin"));
    spin->setValue(3);
    QCOMPARE(window_->currentPage(), 2);
    spin->setValue(2);
    QCOMPARE(window_->currentPage(), 1);
    spin->setValue(99); // clamped by the box's range
    QCOMPARE(window_->currentPage(), 2);
}

void TestReportPreview::zoomActions() {
    auto* label = window_->findChild<QLabel*>(QStringLiteral("zoomLabel"));
    auto* view = window_->findChild<QWidget*>(QStringLiteral("pageView"));
    auto* scroll = window_->findChild<QScrollArea*>(QStringLiteral("pageScrollArea"));
    QVERIFY(label && view && scroll);
    action("actualSizeAction")->trigger();
    QCOMPARE(window_->zoom(), 1.0);
    QCOMPARE(label->text(), QStringLiteral("100%"));
    const int width100 = view->width();
    // 241 mm at the screen's logical DPI, plus the grey border.
    QVERIFY(qAbs(width100 - (241 / 25.4 * view->logicalDpiX() + 24)) <= 2);

    action("zoomInAction")->trigger();
    QCOMPARE(window_->zoom(), 1.25);
    QCOMPARE(label->text(), QStringLiteral("125%"));
    QVERIFY(view->width() > width100);
    action("zoomOutAction")->trigger();
    action("zoomOutAction")->trigger();
    QCOMPARE(window_->zoom(), 0.8);
    QVERIFY(view->width() < width100);
    for (int i = 0; i < 40; ++i)
        action("zoomOutAction")->trigger();
    QCOMPARE(window_->zoom(), PreviewWindow::kMinZoom);
    QVERIFY(!action("zoomOutAction")->isEnabled());

    action("fitWidthAction")->trigger();
    QVERIFY(qAbs(view->width() - scroll->viewport()->width()) <= 2);
    action("fitPageAction")->trigger();
    QVERIFY(view->width() <= scroll->viewport()->width() + 1);
    QVERIFY(view->height() <= scroll->viewport()->height() + 1);
    QVERIFY(qAbs(view->width() - scroll->viewport()->width()) <= 2 ||
            qAbs(view->height() - scroll->viewport()->height()) <= 2);
}

void TestReportPreview::findMovesToTheMatchingPage() {
    action("zoomInAction")->trigger();
    action("zoomInAction")->trigger();
    action("zoomInAction")->trigger(); // the page is wider than the window
    auto* find = window_->findChild<QLineEdit*>(QStringLiteral("findEdit"));
    find->setText(QStringLiteral("special tea"));
    action("findNextAction")->trigger();
    QCOMPARE(window_->currentPage(), 2);
    QCOMPARE(window_->matchPage(), 2);
    QCOMPARE(report_.pages[2].texts[window_->matchIndex()].text, QStringLiteral("Special Tea"));
    QCOMPARE(window_->findChild<QSpinBox*>(QStringLiteral("pageSpin"))->value(), 3);
    QVERIFY(messages_.isEmpty());
    // The match (left part of the page) is scrolled into view.
    auto* scroll = window_->findChild<QScrollArea*>(QStringLiteral("pageScrollArea"));
    QVERIFY(scroll->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(scroll->horizontalScrollBar()->value(), 0);
    // An amount at the right edge scrolls the view to the right.
    find->setText(QStringLiteral("120.00"));
    QTest::keyClick(find, Qt::Key_Return);
    QCOMPARE(window_->currentPage(), 2);
    QVERIFY(scroll->horizontalScrollBar()->value() > 0);
}

void TestReportPreview::findIsCaseInsensitiveAndWraps() {
    window_->setCurrentPage(1);
    // Rows 1-5 are on page 1, 6-10 on page 2, 11-12 on page 3; the search
    // starts on the page shown.
    const auto matchText = [this] {
        return report_.pages[window_->matchPage()].texts[window_->matchIndex()].text;
    };
    const struct {
        int page;
        QString text;
    } expected[] = {{1, QStringLiteral("餐费10")},
                    {2, QStringLiteral("餐费11")},
                    {2, QStringLiteral("餐费12")},
                    {0, QStringLiteral("餐费1")},
                    {1, QStringLiteral("餐费10")}};
    for (const auto& e : expected) {
        QVERIFY(window_->findNext(QStringLiteral("餐费1")));
        QCOMPARE(window_->currentPage(), e.page);
        QCOMPARE(window_->matchPage(), e.page);
        QCOMPARE(matchText(), e.text);
    }
    QVERIFY(window_->findNext(QStringLiteral("SPECIAL")));
    QCOMPARE(window_->currentPage(), 2);
    QCOMPARE(matchText(), QStringLiteral("Special Tea"));
}

void TestReportPreview::findWithoutMatchTellsTheOperator() {
    auto* find = window_->findChild<QLineEdit*>(QStringLiteral("findEdit"));
    find->setText(QStringLiteral("不存在的文字"));
    action("findNextAction")->trigger();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_.first().contains(QStringLiteral("不存在的文字")));
    QCOMPARE(window_->currentPage(), 0);
    QCOMPARE(window_->matchPage(), -1);
}

void TestReportPreview::helpCallsTheProgramsHandler() {
    int calls = 0;
    window_->setHelpHandler([&calls] { ++calls; });
    QSignalSpy spy(window_.get(), &PreviewWindow::helpRequested);
    action("helpAction")->trigger();
    QCOMPARE(calls, 1);
    QCOMPARE(spy.count(), 1);
}

void TestReportPreview::saveAndOpenThroughTheToolbar() {
    const QString path = dir_.filePath(QStringLiteral("saved.zrp"));
    const QString pdf = dir_.filePath(QStringLiteral("saved.pdf"));
    QList<PreviewWindow::FileAction> asked;
    window_->setFileChooser([&](PreviewWindow::FileAction a, const QString&) {
        asked.append(a);
        return a == PreviewWindow::FileAction::ExportPdf ? pdf : path;
    });
    action("saveAction")->trigger();
    action("exportPdfAction")->trigger();
    QVERIFY(QFile::exists(path));
    QVERIFY(QFileInfo(pdf).size() > 0);

    // Open a different report, then the saved one again.
    PreparedReport other = report_;
    other.pages.resize(1);
    window_->setReport(other);
    QCOMPARE(window_->pageCount(), 1);
    action("openAction")->trigger();
    QCOMPARE(window_->pageCount(), 3);
    QVERIFY(window_->report() == report_);
    QCOMPARE(asked, (QList<PreviewWindow::FileAction>{PreviewWindow::FileAction::Save,
                                                      PreviewWindow::FileAction::ExportPdf,
                                                      PreviewWindow::FileAction::Open}));
    QVERIFY(messages_.isEmpty());
}

void TestReportPreview::openingABrokenFileShowsTheError() {
    const QString path = writeFile(dir_, QStringLiteral("broken.zrp"), "{ not json");
    window_->setFileChooser([&](PreviewWindow::FileAction, const QString&) { return path; });
    action("openAction")->trigger();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_.first().contains(QStringLiteral("broken.zrp")));
    QCOMPARE(window_->pageCount(), 3); // the shown report stays
    // Cancelling the file dialog does nothing.
    window_->setFileChooser([](PreviewWindow::FileAction, const QString&) { return QString(); });
    action("openAction")->trigger();
    QCOMPARE(messages_.size(), 1);
}

void TestReportPreview::escapeCloses() {
    window_->activateWindow();
    QVERIFY(window_->isVisible());
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QVERIFY(!window_->isVisible());
    QCOMPARE(window_->result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestReportPreview)
#include "test_report_preview.moc"
