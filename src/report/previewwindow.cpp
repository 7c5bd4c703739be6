#include "previewwindow.h"

#include "render.h"
#include "reporterror.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace report {

namespace {
constexpr double kMmPerInch = 25.4;
constexpr int kPaperMargin = 12; // grey border round the paper, logical pixels
constexpr double kZoomStep = 1.25;
} // namespace

// Paints one page of the report at the window's zoom, rendered at the screen's
// device pixel ratio so text stays sharp on high-DPI screens.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) {
        setObjectName(u"pageView"_s);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void display(const PreparedReport* report, int page, double zoom, const QRectF& highlightMm) {
        m_report = report;
        m_page = page;
        m_zoom = zoom;
        m_highlight = highlightMm;
        m_cache = QImage();
        const QSizeF mm = report->pageSize();
        resize(int(std::ceil(mm.width() * pxPerMm())) + 2 * kPaperMargin,
               int(std::ceil(mm.height() * pxPerMm())) + 2 * kPaperMargin);
        update();
    }

    // Logical pixels per millimetre at the current zoom.
    double pxPerMm() const { return m_zoom * baseDpi() / kMmPerInch; }
    double baseDpi() const { return logicalDpiX(); }

    // A rectangle on the paper (mm) in this widget's coordinates.
    QRectF mapFromMm(const QRectF& mm) const {
        const double s = pxPerMm();
        return QRectF(kPaperMargin + mm.x() * s, kPaperMargin + mm.y() * s, mm.width() * s,
                      mm.height() * s);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        if (!m_report || m_page < 0 || m_page >= m_report->pages.size())
            return;
        const qreal dpr = devicePixelRatioF();
        const int dpi = std::max(1, int(std::lround(m_zoom * baseDpi() * dpr)));
        if (m_cache.isNull() || m_cacheDpr != dpr) {
            m_cache = renderPageImage(*m_report, m_page, dpi, RenderTarget::Preview);
            m_cache.setDevicePixelRatio(dpr);
            m_cacheDpr = dpr;
        }
        const QRectF paper = mapFromMm(QRectF(QPointF(0, 0), m_report->pageSize()));
        p.fillRect(paper.translated(3, 3), QColor(0, 0, 0, 60));
        p.drawImage(paper.topLeft(), m_cache);
        if (!m_highlight.isNull()) {
            const QRectF h = mapFromMm(m_highlight).adjusted(-1, -1, 1, 1);
            p.fillRect(h, QColor(255, 220, 0, 90));
            p.setPen(QPen(QColor(230, 120, 0), 1.5));
            p.drawRect(h);
        }
    }

private:
    const PreparedReport* m_report = nullptr;
    int m_page = 0;
    double m_zoom = 1.0;
    QRectF m_highlight;
    QImage m_cache;
    qreal m_cacheDpr = 0;
};

PreviewWindow::PreviewWindow(const PreparedReport& report, QWidget* parent)
    : QDialog(parent), m_report(report) {
    setObjectName(u"reportPreviewWindow"_s);
    setWindowTitle(u"打印预览"_s);
    setModal(true);
    createActions();
    createLayout();
    resize(1180, 720);
    setReport(report);
}

PreviewWindow::~PreviewWindow() = default;

int PreviewWindow::showReport(const PreparedReport& report, QWidget* parent,
                              std::function<void()> onHelp) {
    PreviewWindow window(report, parent);
    window.setHelpHandler(std::move(onHelp));
    return window.exec();
}

void PreviewWindow::createActions() {
    auto make = [this](const QString& name, const QString& text, const QKeySequence& key,
                       auto slot) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_zoomInAction =
        make(u"zoomInAction"_s, u"放大"_s, QKeySequence::ZoomIn, &PreviewWindow::zoomIn);
    m_zoomOutAction =
        make(u"zoomOutAction"_s, u"缩小"_s, QKeySequence::ZoomOut, &PreviewWindow::zoomOut);
    m_fitWidthAction = make(u"fitWidthAction"_s, u"适合宽度"_s, {}, &PreviewWindow::fitWidth);
    m_fitPageAction = make(u"fitPageAction"_s, u"整页"_s, {}, &PreviewWindow::fitPage);
    m_actualSizeAction = make(u"actualSizeAction"_s, u"100%"_s, QKeySequence(u"Ctrl+0"_s),
                              &PreviewWindow::actualSize);
    m_firstAction = make(u"firstPageAction"_s, u"首页"_s, QKeySequence(u"Ctrl+Home"_s),
                         &PreviewWindow::firstPage);
    m_prevAction = make(u"previousPageAction"_s, u"上一页"_s, QKeySequence(Qt::Key_PageUp),
                        &PreviewWindow::previousPage);
    m_nextAction = make(u"nextPageAction"_s, u"下一页"_s, QKeySequence(Qt::Key_PageDown),
                        &PreviewWindow::nextPage);
    m_lastAction =
        make(u"lastPageAction"_s, u"末页"_s, QKeySequence(u"Ctrl+End"_s), &PreviewWindow::lastPage);
    m_openAction = make(u"openAction"_s, u"打开"_s, QKeySequence::Open, &PreviewWindow::onOpen);
    m_saveAction = make(u"saveAction"_s, u"保存"_s, QKeySequence::Save, &PreviewWindow::onSave);
    m_exportAction = make(u"exportPdfAction"_s, u"导出 PDF"_s, {}, &PreviewWindow::onExportPdf);
    m_printAction = make(u"printAction"_s, u"打印"_s, QKeySequence::Print, &PreviewWindow::onPrint);
    m_pageSetupAction = make(u"pageSetupAction"_s, u"页面设置"_s, {}, &PreviewWindow::onPageSetup);
    m_findAction =
        make(u"findNextAction"_s, u"查找下一个"_s, QKeySequence::FindNext, &PreviewWindow::onFind);
    m_helpAction =
        make(u"helpAction"_s, u"帮助"_s, QKeySequence::HelpContents, &PreviewWindow::onHelp);
    m_closeAction = make(u"closeAction"_s, u"关闭"_s, {}, &QDialog::reject);
}

void PreviewWindow::createLayout() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(u"previewToolBar"_s);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);

    m_pageSpin = new QSpinBox(this);
    m_pageSpin->setObjectName(u"pageSpin"_s);
    m_pageSpin->setToolTip(u"页码"_s);
    m_pageSpin->setKeyboardTracking(false);
    connect(m_pageSpin, &QSpinBox::valueChanged, this,
            [this](int value) { setCurrentPage(value - 1); });
    m_pageCountLabel = new QLabel(this);
    m_pageCountLabel->setObjectName(u"pageCountLabel"_s);
    m_zoomLabel = new QLabel(this);
    m_zoomLabel->setObjectName(u"zoomLabel"_s);
    m_zoomLabel->setMinimumWidth(48);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(u"findEdit"_s);
    m_findEdit->setPlaceholderText(u"查找文字"_s);
    m_findEdit->setClearButtonEnabled(true);
    m_findEdit->setMaximumWidth(160);
    connect(m_findEdit, &QLineEdit::returnPressed, this, &PreviewWindow::onFind);
    auto* focusFind = new QAction(this);
    focusFind->setShortcut(QKeySequence::Find);
    connect(focusFind, &QAction::triggered, this, [this] {
        m_findEdit->setFocus();
        m_findEdit->selectAll();
    });
    addAction(focusFind);

    m_toolBar->addAction(m_openAction);
    m_toolBar->addAction(m_saveAction);
    m_toolBar->addAction(m_exportAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_printAction);
    m_toolBar->addAction(m_pageSetupAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_zoomOutAction);
    m_toolBar->addWidget(m_zoomLabel);
    m_toolBar->addAction(m_zoomInAction);
    m_toolBar->addAction(m_actualSizeAction);
    m_toolBar->addAction(m_fitWidthAction);
    m_toolBar->addAction(m_fitPageAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_firstAction);
    m_toolBar->addAction(m_prevAction);
    m_toolBar->addWidget(m_pageSpin);
    m_toolBar->addWidget(m_pageCountLabel);
    m_toolBar->addAction(m_nextAction);
    m_toolBar->addAction(m_lastAction);
    m_toolBar->addSeparator();
    m_toolBar->addWidget(m_findEdit);
    m_toolBar->addAction(m_findAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_helpAction);
    m_toolBar->addAction(m_closeAction);

    m_view = new PageView(this);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(u"pageScrollArea"_s);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setWidget(m_view);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_scroll, 1);
}

void PreviewWindow::setReport(const PreparedReport& report) {
    m_report = report;
    m_matchPage = -1;
    m_matchIndex = -1;
    m_page = 0;
    updateControls();
}

void PreviewWindow::setCurrentPage(int page) {
    if (m_report.pages.isEmpty())
        return;
    page = std::clamp(page, 0, pageCount() - 1);
    if (page == m_page)
        return;
    m_page = page;
    updateControls();
    emit currentPageChanged(m_page);
}

void PreviewWindow::setZoom(double zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    updateControls();
    emit zoomChanged(m_zoom);
}

void PreviewWindow::zoomIn() {
    setZoom(m_zoom * kZoomStep);
}
void PreviewWindow::zoomOut() {
    setZoom(m_zoom / kZoomStep);
}
void PreviewWindow::actualSize() {
    setZoom(1.0);
}

void PreviewWindow::fitWidth() {
    const double avail = m_scroll->viewport()->width() - 2.0 * kPaperMargin;
    const double paper = m_report.pageSize().width() * m_view->baseDpi() / kMmPerInch;
    if (avail > 0 && paper > 0)
        setZoom(avail / paper);
}

void PreviewWindow::fitPage() {
    const double availW = m_scroll->viewport()->width() - 2.0 * kPaperMargin;
    const double availH = m_scroll->viewport()->height() - 2.0 * kPaperMargin;
    const QSizeF mm = m_report.pageSize();
    const double perMm = m_view->baseDpi() / kMmPerInch;
    if (availW > 0 && availH > 0)
        setZoom(std::min(availW / (mm.width() * perMm), availH / (mm.height() * perMm)));
}

void PreviewWindow::firstPage() {
    setCurrentPage(0);
}
void PreviewWindow::previousPage() {
    setCurrentPage(m_page - 1);
}
void PreviewWindow::nextPage() {
    setCurrentPage(m_page + 1);
}
void PreviewWindow::lastPage() {
    setCurrentPage(pageCount() - 1);
}

void PreviewWindow::updateControls() {
    const int count = pageCount();
    {
        const QSignalBlocker block(m_pageSpin);
        m_pageSpin->setRange(count > 0 ? 1 : 0, count);
        m_pageSpin->setValue(m_page + 1);
    }
    m_pageCountLabel->setText(u" / %1 "_s.arg(count));
    m_zoomLabel->setText(u"%1%"_s.arg(std::lround(m_zoom * 100)));
    m_firstAction->setEnabled(m_page > 0);
    m_prevAction->setEnabled(m_page > 0);
    m_nextAction->setEnabled(m_page + 1 < count);
    m_lastAction->setEnabled(m_page + 1 < count);
    m_zoomInAction->setEnabled(m_zoom < kMaxZoom);
    m_zoomOutAction->setEnabled(m_zoom > kMinZoom);
    QRectF highlight;
    if (m_matchPage == m_page && m_matchIndex >= 0)
        highlight = m_report.pages.at(m_page).texts.at(m_matchIndex).rect;
    m_view->display(&m_report, m_page, m_zoom, highlight);
}

bool PreviewWindow::findNext(const QString& needle) {
    if (needle.isEmpty() || m_report.pages.isEmpty())
        return false;
    // Every text in reading order, as (page, index); start after the current
    // match, or at the current page when there is none.
    QList<std::pair<int, int>> all;
    qsizetype start = -1;
    for (int p = 0; p < pageCount(); ++p) {
        if (p == m_page && m_matchPage < 0)
            start = all.size();
        for (int i = 0; i < m_report.pages.at(p).texts.size(); ++i) {
            all.append({p, i});
            if (p == m_matchPage && i == m_matchIndex)
                start = all.size();
        }
    }
    if (all.isEmpty())
        return false;
    if (start < 0)
        start = 0;
    for (qsizetype k = 0; k < all.size(); ++k) {
        const auto [p, i] = all.at((start + k) % all.size());
        if (m_report.pages.at(p).texts.at(i).text.contains(needle, Qt::CaseInsensitive)) {
            m_matchPage = p;
            m_matchIndex = i;
            const bool pageChanged = p != m_page;
            m_page = p;
            updateControls();
            if (pageChanged)
                emit currentPageChanged(m_page);
            scrollToMatch();
            return true;
        }
    }
    return false;
}

void PreviewWindow::scrollToMatch() {
    if (m_matchPage < 0)
        return;
    const QRectF r = m_view->mapFromMm(m_report.pages.at(m_matchPage).texts.at(m_matchIndex).rect);
    m_scroll->ensureVisible(int(r.center().x()), int(r.center().y()), int(r.width() / 2) + 40,
                            int(r.height() / 2) + 40);
}

void PreviewWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_fittedOnce) {
        m_fittedOnce = true;
        fitWidth();
    }
}

void PreviewWindow::message(const QString& text) {
    if (m_showMessage)
        m_showMessage(text);
    else
        QMessageBox::information(this, u"提示"_s, text);
}

QString PreviewWindow::chooseFile(FileAction action, const QString& suggestedName) {
    if (m_chooseFile)
        return m_chooseFile(action, suggestedName);
    switch (action) {
    case FileAction::Open:
        return QFileDialog::getOpenFileName(this, u"打开预览文件"_s, QString(),
                                            u"预览文件 (*.zrp);;所有文件 (*)"_s);
    case FileAction::Save: {
        QString path = QFileDialog::getSaveFileName(this, u"保存预览文件"_s, suggestedName,
                                                    u"预览文件 (*.zrp)"_s);
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += u".zrp"_s;
        return path;
    }
    case FileAction::ExportPdf: {
        QString path =
            QFileDialog::getSaveFileName(this, u"导出 PDF"_s, suggestedName, u"PDF 文件 (*.pdf)"_s);
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += u".pdf"_s;
        return path;
    }
    }
    return QString();
}

QPrinter& PreviewWindow::printer() {
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        applyPageSetup(*m_printer, m_report);
    }
    return *m_printer;
}

bool PreviewWindow::openPreparedFile(const QString& path) {
    try {
        setReport(loadPreparedReport(path));
        return true;
    } catch (const ReportError& e) {
        message(e.message());
        return false;
    }
}

bool PreviewWindow::savePreparedFile(const QString& path) {
    try {
        savePreparedReport(m_report, path);
        return true;
    } catch (const ReportError& e) {
        message(e.message());
        return false;
    }
}

bool PreviewWindow::exportPdfFile(const QString& path) {
    try {
        exportPdf(m_report, path);
        return true;
    } catch (const ReportError& e) {
        message(e.message());
        return false;
    }
}

bool PreviewWindow::printTo(QPrinter& target) {
    try {
        printReport(target, m_report);
        return true;
    } catch (const ReportError& e) {
        message(e.message());
        return false;
    }
}

void PreviewWindow::onOpen() {
    const QString path = chooseFile(FileAction::Open, QString());
    if (!path.isEmpty())
        openPreparedFile(path);
}

void PreviewWindow::onSave() {
    const QString path = chooseFile(FileAction::Save, u"receipt.zrp"_s);
    if (!path.isEmpty())
        savePreparedFile(path);
}

void PreviewWindow::onExportPdf() {
    const QString path = chooseFile(FileAction::ExportPdf, u"receipt.pdf"_s);
    if (!path.isEmpty())
        exportPdfFile(path);
}

void PreviewWindow::onPrint() {
    QPrinter& p = printer();
    applyPageSetup(p, m_report);
    QPrintDialog dialog(&p, this);
    dialog.setObjectName(u"printDialog"_s);
    if (dialog.exec() == QDialog::Accepted)
        printTo(p); // re-applies the report's paper, full page and offset
}

void PreviewWindow::onPageSetup() {
    QPrinter& p = printer();
    applyPageSetup(p, m_report);
    QPageSetupDialog dialog(&p, this);
    dialog.setObjectName(u"pageSetupDialog"_s);
    dialog.exec();
}

void PreviewWindow::onFind() {
    const QString needle = m_findEdit->text();
    if (needle.isEmpty()) {
        m_findEdit->setFocus();
        return;
    }
    if (!findNext(needle))
        message(u"未找到 “%1”"_s.arg(needle));
}

void PreviewWindow::onHelp() {
    emit helpRequested();
    if (m_onHelp)
        m_onHelp();
}

} // namespace report
