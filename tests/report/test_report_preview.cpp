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

using namespace Qt::StringLiterals;
using namespace report;
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
        auto* a = m_window->findChild<QAction*>(QString::fromLatin1(name));
        if (!a)
            qFatal("no action %s", name);
        return a;
    }

    PreparedReport m_report;
    std::unique_ptr<PreviewWindow> m_window;
    QStringList m_messages;
    QTemporaryDir m_dir;
};

void TestReportPreview::init() {
    const Template t = loadTemplate(sourceDir() + u"/resources/report/fp3.frf"_s);
    DataSet data = fp3Sample(12); // three pages of five rows
    // One text only on the last page, in mixed case.
    data.rows[11][fp3Columns().indexOf(u"kjll"_s)] = u"Special Tea"_s;
    m_report = layoutReport(t, data, fp3Variables());
    m_window = std::make_unique<PreviewWindow>(m_report);
    m_messages.clear();
    m_window->setMessageHandler([this](const QString& text) { m_messages.append(text); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestReportPreview::cleanup() {
    m_window.reset();
}

void TestReportPreview::opensOnFirstPage() {
    QCOMPARE(m_window->pageCount(), 3);
    QCOMPARE(m_window->currentPage(), 0);
    QVERIFY(m_window->isModal());
    auto* spin = m_window->findChild<QSpinBox*>(u"pageSpin"_s);
    QVERIFY(spin);
    QCOMPARE(spin->value(), 1);
    QCOMPARE(spin->maximum(), 3);
    QVERIFY(m_window->findChild<QLabel*>(u"pageCountLabel"_s)->text().contains(u'3'));
    QVERIFY(!action("previousPageAction")->isEnabled());
    QVERIFY(action("nextPageAction")->isEnabled());
}

void TestReportPreview::pageNavigation() {
    auto* spin = m_window->findChild<QSpinBox*>(u"pageSpin"_s);
    QSignalSpy changed(m_window.get(), &PreviewWindow::currentPageChanged);
    action("nextPageAction")->trigger();
    QCOMPARE(m_window->currentPage(), 1);
    QCOMPARE(spin->value(), 2);
    action("lastPageAction")->trigger();
    QCOMPARE(m_window->currentPage(), 2);
    QVERIFY(!action("nextPageAction")->isEnabled());
    QVERIFY(!action("lastPageAction")->isEnabled());
    action("nextPageAction")->trigger(); // disabled: stays on the last page
    QCOMPARE(m_window->currentPage(), 2);
    action("previousPageAction")->trigger();
    QCOMPARE(m_window->currentPage(), 1);
    action("firstPageAction")->trigger();
    QCOMPARE(m_window->currentPage(), 0);
    QCOMPARE(spin->value(), 1);
    QCOMPARE(changed.count(), 4);
}

void TestReportPreview::pageNumberBox() {
    auto* spin = m_window->findChild<QSpinBox*>(u"pageSpin"_s);
    spin->setValue(3);
    QCOMPARE(m_window->currentPage(), 2);
    spin->setValue(2);
    QCOMPARE(m_window->currentPage(), 1);
    spin->setValue(99); // clamped by the box's range
    QCOMPARE(m_window->currentPage(), 2);
}

void TestReportPreview::zoomActions() {
    auto* label = m_window->findChild<QLabel*>(u"zoomLabel"_s);
    auto* view = m_window->findChild<QWidget*>(u"pageView"_s);
    auto* scroll = m_window->findChild<QScrollArea*>(u"pageScrollArea"_s);
    QVERIFY(label && view && scroll);
    action("actualSizeAction")->trigger();
    QCOMPARE(m_window->zoom(), 1.0);
    QCOMPARE(label->text(), u"100%"_s);
    const int width100 = view->width();
    // 241 mm at the screen's logical DPI, plus the grey border.
    QVERIFY(qAbs(width100 - (241 / 25.4 * view->logicalDpiX() + 24)) <= 2);

    action("zoomInAction")->trigger();
    QCOMPARE(m_window->zoom(), 1.25);
    QCOMPARE(label->text(), u"125%"_s);
    QVERIFY(view->width() > width100);
    action("zoomOutAction")->trigger();
    action("zoomOutAction")->trigger();
    QCOMPARE(m_window->zoom(), 0.8);
    QVERIFY(view->width() < width100);
    for (int i = 0; i < 40; ++i)
        action("zoomOutAction")->trigger();
    QCOMPARE(m_window->zoom(), PreviewWindow::kMinZoom);
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
    auto* find = m_window->findChild<QLineEdit*>(u"findEdit"_s);
    find->setText(u"special tea"_s);
    action("findNextAction")->trigger();
    QCOMPARE(m_window->currentPage(), 2);
    QCOMPARE(m_window->matchPage(), 2);
    QCOMPARE(m_report.pages[2].texts[m_window->matchIndex()].text, u"Special Tea"_s);
    QCOMPARE(m_window->findChild<QSpinBox*>(u"pageSpin"_s)->value(), 3);
    QVERIFY(m_messages.isEmpty());
    // The match (left part of the page) is scrolled into view.
    auto* scroll = m_window->findChild<QScrollArea*>(u"pageScrollArea"_s);
    QVERIFY(scroll->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(scroll->horizontalScrollBar()->value(), 0);
    // An amount at the right edge scrolls the view to the right.
    find->setText(u"120.00"_s);
    QTest::keyClick(find, Qt::Key_Return);
    QCOMPARE(m_window->currentPage(), 2);
    QVERIFY(scroll->horizontalScrollBar()->value() > 0);
}

void TestReportPreview::findIsCaseInsensitiveAndWraps() {
    m_window->setCurrentPage(1);
    // Rows 1-5 are on page 1, 6-10 on page 2, 11-12 on page 3; the search
    // starts on the page shown.
    const auto matchText = [this] {
        return m_report.pages[m_window->matchPage()].texts[m_window->matchIndex()].text;
    };
    const struct {
        int page;
        QString text;
    } expected[] = {
        {1, u"餐费10"_s}, {2, u"餐费11"_s}, {2, u"餐费12"_s}, {0, u"餐费1"_s}, {1, u"餐费10"_s}};
    for (const auto& e : expected) {
        QVERIFY(m_window->findNext(u"餐费1"_s));
        QCOMPARE(m_window->currentPage(), e.page);
        QCOMPARE(m_window->matchPage(), e.page);
        QCOMPARE(matchText(), e.text);
    }
    QVERIFY(m_window->findNext(u"SPECIAL"_s));
    QCOMPARE(m_window->currentPage(), 2);
    QCOMPARE(matchText(), u"Special Tea"_s);
}

void TestReportPreview::findWithoutMatchTellsTheOperator() {
    auto* find = m_window->findChild<QLineEdit*>(u"findEdit"_s);
    find->setText(u"不存在的文字"_s);
    action("findNextAction")->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().contains(u"不存在的文字"_s));
    QCOMPARE(m_window->currentPage(), 0);
    QCOMPARE(m_window->matchPage(), -1);
}

void TestReportPreview::helpCallsTheProgramsHandler() {
    int calls = 0;
    m_window->setHelpHandler([&calls] { ++calls; });
    QSignalSpy spy(m_window.get(), &PreviewWindow::helpRequested);
    action("helpAction")->trigger();
    QCOMPARE(calls, 1);
    QCOMPARE(spy.count(), 1);
}

void TestReportPreview::saveAndOpenThroughTheToolbar() {
    const QString path = m_dir.filePath(u"saved.zrp"_s);
    const QString pdf = m_dir.filePath(u"saved.pdf"_s);
    QList<PreviewWindow::FileAction> asked;
    m_window->setFileChooser([&](PreviewWindow::FileAction a, const QString&) {
        asked.append(a);
        return a == PreviewWindow::FileAction::ExportPdf ? pdf : path;
    });
    action("saveAction")->trigger();
    action("exportPdfAction")->trigger();
    QVERIFY(QFile::exists(path));
    QVERIFY(QFileInfo(pdf).size() > 0);

    // Open a different report, then the saved one again.
    PreparedReport other = m_report;
    other.pages.resize(1);
    m_window->setReport(other);
    QCOMPARE(m_window->pageCount(), 1);
    action("openAction")->trigger();
    QCOMPARE(m_window->pageCount(), 3);
    QVERIFY(m_window->report() == m_report);
    QCOMPARE(asked, (QList<PreviewWindow::FileAction>{PreviewWindow::FileAction::Save,
                                                      PreviewWindow::FileAction::ExportPdf,
                                                      PreviewWindow::FileAction::Open}));
    QVERIFY(m_messages.isEmpty());
}

void TestReportPreview::openingABrokenFileShowsTheError() {
    const QString path = writeFile(m_dir, u"broken.zrp"_s, "{ not json");
    m_window->setFileChooser([&](PreviewWindow::FileAction, const QString&) { return path; });
    action("openAction")->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().contains(u"broken.zrp"_s));
    QCOMPARE(m_window->pageCount(), 3); // the shown report stays
    // Cancelling the file dialog does nothing.
    m_window->setFileChooser([](PreviewWindow::FileAction, const QString&) { return QString(); });
    action("openAction")->trigger();
    QCOMPARE(m_messages.size(), 1);
}

void TestReportPreview::escapeCloses() {
    m_window->activateWindow();
    QVERIFY(m_window->isVisible());
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_window->result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestReportPreview)
#include "test_report_preview.moc"
