#include "report/previewwindow.h"

#include "report/layout.h"
#include "report/printsetupdialog.h"
#include "report/render.h"
#include "report/reporterror.h"
#include "report/screenscale.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

namespace zelk::report {

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
        setObjectName(QStringLiteral("pageView"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void display(const PreparedReport* report, int page, double zoom, const QRectF& highlightMm,
                 const QList<QRectF>& cutMm, const QList<QRectF>& stripsMm) {
        report_ = report;
        cut_ = cutMm;
        strips_ = stripsMm;
        page_ = page;
        zoom_ = zoom;
        highlight_ = highlightMm;
        cache_ = QImage();
        const QSizeF mm = report->pageSize();
        resize(int(std::ceil(mm.width() * pxPerMm())) + 2 * kPaperMargin,
               int(std::ceil(mm.height() * pxPerMm())) + 2 * kPaperMargin);
        update();
    }

    // Logical pixels per millimetre at the current zoom.
    double pxPerMm() const { return zoom_ * baseDpi() / kMmPerInch; }
    // The screen's resolution as calibrated by the clerk, so 100 % is the paper's real size.
    double baseDpi() const { return logicalDpiX() * ScreenScale::factor(screen()); }

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
        if (!report_ || page_ < 0 || page_ >= report_->pages.size())
            return;
        const qreal dpr = devicePixelRatioF();
        const int dpi = std::max(1, int(std::lround(zoom_ * baseDpi() * dpr)));
        if (cache_.isNull() || cacheDpr_ != dpr) {
            cache_ = renderPageImage(*report_, page_, dpi, RenderTarget::Preview);
            cache_.setDevicePixelRatio(dpr);
            cacheDpr_ = dpr;
        }
        const QRectF paper = mapFromMm(QRectF(QPointF(0, 0), report_->pageSize()));
        p.fillRect(paper.translated(3, 3), QColor(0, 0, 0, 60));
        p.drawImage(paper.topLeft(), cache_);
        // What the printer cannot print: shaded on screen only.
        for (const QRectF& strip : std::as_const(strips_))
            p.fillRect(mapFromMm(strip), QBrush(QColor(120, 120, 120, 110), Qt::BDiagPattern));
        if (!highlight_.isNull()) {
            const QRectF h = mapFromMm(highlight_).adjusted(-1, -1, 1, 1);
            p.fillRect(h, QColor(255, 220, 0, 90));
            p.setPen(QPen(QColor(230, 120, 0), 1.5));
            p.drawRect(h);
        }
        // Boxes whose text is cut: outlined on screen only, never in the
        // rendered page, so they are neither printed nor exported.
        p.setPen(QPen(Qt::red, 1.5));
        p.setBrush(Qt::NoBrush);
        for (const QRectF& box : std::as_const(cut_))
            p.drawRect(mapFromMm(box));
    }

private:
    const PreparedReport* report_ = nullptr;
    int page_ = 0;
    double zoom_ = 1.0;
    QRectF highlight_;
    QList<QRectF> cut_;
    QList<QRectF> strips_;
    QImage cache_;
    qreal cacheDpr_ = 0;
};

namespace {

std::function<void(QWidget*)>& designHook() {
    static std::function<void(QWidget*)> hook;
    return hook;
}

} // namespace

PreviewWindow::PreviewWindow(const PreparedReport& report, QWidget* parent)
    : QDialog(parent), report_(report) {
    setObjectName(QStringLiteral("reportPreviewWindow"));
    setWindowTitle(QStringLiteral("打印预览"));
    setModal(true);
    createActions();
    createLayout();
    resize(1180, 720);
    setReport(report);
    if (designHook())
        setDesignHandler([this] { designHook()(this); });
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::setDesignHook(std::function<void(QWidget* preview)> hook) {
    designHook() = std::move(hook);
}

void PreviewWindow::setDesignHandler(std::function<void()> handler) {
    if (!designAction_) {
        designAction_ = new QAction(QStringLiteral("设计"), this);
        designAction_->setObjectName(QStringLiteral("designAction"));
        // Early in the bar, so a narrow window never hides it behind the » overflow.
        toolBar_->insertAction(printAction_, designAction_);
    }
    designAction_->disconnect();
    // The designer is modal: when it closes, the preview shows what was saved at once.
    connect(designAction_, &QAction::triggered, this, [this, handler = std::move(handler)] {
        handler();
        refreshFromTemplate();
    });
}

namespace {

QByteArray fileContent(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void PreviewWindow::setTemplateSource(const QString& templatePath, Preparer prepare) {
    templatePath_ = templatePath;
    prepare_ = std::move(prepare);
    templateSeen_ = fileContent(templatePath);
    stale_ = false;
    if (!watcher_) {
        watcher_ = new QFileSystemWatcher(this);
        refreshTimer_ = new QTimer(this);
        refreshTimer_->setSingleShot(true);
        refreshTimer_->setInterval(200); // a save is a write and a rename: one look after both
        connect(refreshTimer_, &QTimer::timeout, this, &PreviewWindow::refreshFromTemplate);
        connect(watcher_, &QFileSystemWatcher::fileChanged, refreshTimer_,
                qOverload<>(&QTimer::start));
        connect(watcher_, &QFileSystemWatcher::directoryChanged, refreshTimer_,
                qOverload<>(&QTimer::start));
    }
    if (!watcher_->files().isEmpty())
        watcher_->removePaths(watcher_->files());
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    // The folder too: a file saved by renaming a new one over it is a new file the watch on
    // the old one no longer sees.
    watcher_->addPath(QFileInfo(templatePath).absolutePath());
    if (QFileInfo::exists(templatePath))
        watcher_->addPath(templatePath);
}

bool PreviewWindow::refreshFromTemplate() {
    if (!prepare_)
        return true;
    if (QFileInfo::exists(templatePath_) && !watcher_->files().contains(templatePath_))
        watcher_->addPath(templatePath_);
    const QByteArray now = fileContent(templatePath_);
    if (now == templateSeen_)
        return !stale_;
    templateSeen_ = now;
    try {
        const PreparedReport fresh = prepare_();
        const int page = page_;
        setReport(fresh);
        setCurrentPage(page);
        stale_ = false;
        templateNote_ = QStringLiteral("模板已修改，预览已按新模板重新排版。");
    } catch (const std::exception& e) {
        // A template error, or the receipt's data could not be read again.
        const auto* report = dynamic_cast<const ReportError*>(&e);
        stale_ = true;
        templateNote_ =
            QStringLiteral("模板已修改，但无法按它排版：%1 预览显示的是修改前的样子，不能打印。")
                .arg(report ? report->message() : QString::fromUtf8(e.what()));
    }
    printAction_->setEnabled(!stale_);
    exportAction_->setEnabled(!stale_);
    updateStatus();
    return !stale_;
}

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
    zoomInAction_ = make(QStringLiteral("zoomInAction"), QStringLiteral("放大"),
                         QKeySequence::ZoomIn, &PreviewWindow::zoomIn);
    zoomOutAction_ = make(QStringLiteral("zoomOutAction"), QStringLiteral("缩小"),
                          QKeySequence::ZoomOut, &PreviewWindow::zoomOut);
    fitWidthAction_ = make(QStringLiteral("fitWidthAction"), QStringLiteral("适合宽度"), {},
                           &PreviewWindow::fitWidth);
    fitPageAction_ =
        make(QStringLiteral("fitPageAction"), QStringLiteral("整页"), {}, &PreviewWindow::fitPage);
    actualSizeAction_ = make(QStringLiteral("actualSizeAction"), QStringLiteral("100%"),
                             QKeySequence(QStringLiteral("Ctrl+0")), &PreviewWindow::actualSize);
    firstAction_ = make(QStringLiteral("firstPageAction"), QStringLiteral("首页"),
                        QKeySequence(QStringLiteral("Ctrl+Home")), &PreviewWindow::firstPage);
    prevAction_ = make(QStringLiteral("previousPageAction"), QStringLiteral("上一页"),
                       QKeySequence(Qt::Key_PageUp), &PreviewWindow::previousPage);
    nextAction_ = make(QStringLiteral("nextPageAction"), QStringLiteral("下一页"),
                       QKeySequence(Qt::Key_PageDown), &PreviewWindow::nextPage);
    lastAction_ = make(QStringLiteral("lastPageAction"), QStringLiteral("末页"),
                       QKeySequence(QStringLiteral("Ctrl+End")), &PreviewWindow::lastPage);
    openAction_ = make(QStringLiteral("openAction"), QStringLiteral("打开"), QKeySequence::Open,
                       &PreviewWindow::onOpen);
    saveAction_ = make(QStringLiteral("saveAction"), QStringLiteral("保存"), QKeySequence::Save,
                       &PreviewWindow::onSave);
    exportAction_ = make(QStringLiteral("exportPdfAction"), QStringLiteral("导出 PDF"), {},
                         &PreviewWindow::onExportPdf);
    printAction_ = make(QStringLiteral("printAction"), QStringLiteral("打印"), QKeySequence::Print,
                        &PreviewWindow::onPrint);
    pageSetupAction_ = make(QStringLiteral("pageSetupAction"), QStringLiteral("页面设置"), {},
                            &PreviewWindow::onPageSetup);
    findAction_ = make(QStringLiteral("findNextAction"), QStringLiteral("查找下一个"),
                       QKeySequence::FindNext, &PreviewWindow::onFind);
    helpAction_ = make(QStringLiteral("helpAction"), QStringLiteral("帮助"),
                       QKeySequence::HelpContents, &PreviewWindow::onHelp);
    closeAction_ =
        make(QStringLiteral("closeAction"), QStringLiteral("关闭"), {}, &QDialog::reject);
}

void PreviewWindow::createLayout() {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("previewToolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);

    pageSpin_ = new QSpinBox(this);
    pageSpin_->setObjectName(QStringLiteral("pageSpin"));
    pageSpin_->setToolTip(QStringLiteral("页码"));
    pageSpin_->setKeyboardTracking(false);
    connect(pageSpin_, &QSpinBox::valueChanged, this,
            [this](int value) { setCurrentPage(value - 1); });
    pageCountLabel_ = new QLabel(this);
    pageCountLabel_->setObjectName(QStringLiteral("pageCountLabel"));
    zoomLabel_ = new QLabel(this);
    zoomLabel_->setObjectName(QStringLiteral("zoomLabel"));
    zoomLabel_->setMinimumWidth(48);
    zoomLabel_->setAlignment(Qt::AlignCenter);
    findEdit_ = new QLineEdit(this);
    findEdit_->setObjectName(QStringLiteral("findEdit"));
    findEdit_->setPlaceholderText(QStringLiteral("查找文字"));
    findEdit_->setClearButtonEnabled(true);
    findEdit_->setMaximumWidth(160);
    connect(findEdit_, &QLineEdit::returnPressed, this, &PreviewWindow::onFind);
    auto* focusFind = new QAction(this);
    focusFind->setShortcut(QKeySequence::Find);
    connect(focusFind, &QAction::triggered, this, [this] {
        findEdit_->setFocus();
        findEdit_->selectAll();
    });
    addAction(focusFind);

    toolBar_->addAction(openAction_);
    toolBar_->addAction(saveAction_);
    toolBar_->addAction(exportAction_);
    toolBar_->addSeparator();
    toolBar_->addAction(printAction_);
    toolBar_->addAction(pageSetupAction_);
    toolBar_->addSeparator();
    toolBar_->addAction(zoomOutAction_);
    toolBar_->addWidget(zoomLabel_);
    toolBar_->addAction(zoomInAction_);
    toolBar_->addAction(actualSizeAction_);
    toolBar_->addAction(fitWidthAction_);
    toolBar_->addAction(fitPageAction_);
    toolBar_->addSeparator();
    toolBar_->addAction(firstAction_);
    toolBar_->addAction(prevAction_);
    toolBar_->addWidget(pageSpin_);
    toolBar_->addWidget(pageCountLabel_);
    toolBar_->addAction(nextAction_);
    toolBar_->addAction(lastAction_);
    toolBar_->addSeparator();
    toolBar_->addWidget(findEdit_);
    toolBar_->addAction(findAction_);
    toolBar_->addSeparator();
    toolBar_->addAction(helpAction_);
    toolBar_->addAction(closeAction_);

    view_ = new PageView(this);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("pageScrollArea"));
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setWidget(view_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(scroll_, 1);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("statusLine"));
    statusLabel_->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(statusLabel_);
}

void PreviewWindow::setStatusText(const QString& text) {
    note_ = text;
    updateStatus();
}

void PreviewWindow::setFieldNames(const QMap<QString, QString>& names) {
    fieldNames_ = names;
    updateStatus();
}

void PreviewWindow::updateStatus() {
    QStringList cutNames;
    QStringList cellNames; // boxed texts with more characters than cells
    for (const QPair<int, int>& at : std::as_const(cut_)) {
        const PlacedText& text = report_.pages.at(at.first).texts.at(at.second);
        const QString name = fieldNames_.value(
            text.field, text.field.isEmpty() ? QStringLiteral("文字") : text.field);
        QStringList& names = text.overflowsCells() ? cellNames : cutNames;
        if (!names.contains(name))
            names.append(name);
    }
    QStringList lines;
    if (!cutNames.isEmpty())
        lines.append(QStringLiteral("%1内容超出打印区域，超出部分不会打印。")
                         .arg(cutNames.join(QStringLiteral("、"))));
    if (!cellNames.isEmpty())
        lines.append(QStringLiteral("%1的字符多于格子数，这一项不会打印。")
                         .arg(cellNames.join(QStringLiteral("、"))));
    QStringList edgeNames; // texts reaching into what the printer cannot print
    for (const Page& page : report_.pages)
        for (int i : printable_.textsReaching(page)) {
            const QString& field = page.texts.at(i).field;
            const QString name =
                fieldNames_.value(field, field.isEmpty() ? page.texts.at(i).text : field);
            if (!edgeNames.contains(name))
                edgeNames.append(name);
        }
    if (!edgeNames.isEmpty())
        lines.append(
            QStringLiteral("%1伸入打印机印不到的页边（灰色斜线），靠边的部分可能印不出来。")
                .arg(edgeNames.join(QStringLiteral("、"))));
    if (!templateNote_.isEmpty())
        lines.append(templateNote_);
    if (!note_.isEmpty())
        lines.append(note_);
    statusLabel_->setText(lines.join(QStringLiteral("  ")));
}

QString PreviewWindow::statusText() const {
    return statusLabel_->text();
}

void PreviewWindow::setReport(const PreparedReport& report) {
    report_ = report;
    cut_.clear();
    for (int page = 0; page < pageCount(); ++page)
        for (int i = 0; i < report_.pages.at(page).texts.size(); ++i)
            if (textIsCut(report_.pages.at(page).texts.at(i)))
                cut_.append({page, i});
    // Another report may have another paper.
    if (printer_)
        printable_ = PrintableArea::ofPrinter(printer_->printerName(), report_.pageLayout());
    updateStatus();
    matchPage_ = -1;
    matchIndex_ = -1;
    page_ = 0;
    updateControls();
}

void PreviewWindow::setCurrentPage(int page) {
    if (report_.pages.isEmpty())
        return;
    page = std::clamp(page, 0, pageCount() - 1);
    if (page == page_)
        return;
    page_ = page;
    updateControls();
    emit currentPageChanged(page_);
}

void PreviewWindow::setZoom(double zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == zoom_)
        return;
    zoom_ = zoom;
    updateControls();
    emit zoomChanged(zoom_);
}

void PreviewWindow::zoomIn() {
    setZoom(zoom_ * kZoomStep);
}
void PreviewWindow::zoomOut() {
    setZoom(zoom_ / kZoomStep);
}
void PreviewWindow::actualSize() {
    setZoom(1.0);
}

void PreviewWindow::fitWidth() {
    const double avail = scroll_->viewport()->width() - 2.0 * kPaperMargin;
    const double paper = report_.pageSize().width() * view_->baseDpi() / kMmPerInch;
    if (avail > 0 && paper > 0)
        setZoom(avail / paper);
}

void PreviewWindow::fitPage() {
    const double availW = scroll_->viewport()->width() - 2.0 * kPaperMargin;
    const double availH = scroll_->viewport()->height() - 2.0 * kPaperMargin;
    const QSizeF mm = report_.pageSize();
    const double perMm = view_->baseDpi() / kMmPerInch;
    if (availW > 0 && availH > 0)
        setZoom(std::min(availW / (mm.width() * perMm), availH / (mm.height() * perMm)));
}

void PreviewWindow::firstPage() {
    setCurrentPage(0);
}
void PreviewWindow::previousPage() {
    setCurrentPage(page_ - 1);
}
void PreviewWindow::nextPage() {
    setCurrentPage(page_ + 1);
}
void PreviewWindow::lastPage() {
    setCurrentPage(pageCount() - 1);
}

void PreviewWindow::updateControls() {
    const int count = pageCount();
    {
        const QSignalBlocker block(pageSpin_);
        pageSpin_->setRange(count > 0 ? 1 : 0, count);
        pageSpin_->setValue(page_ + 1);
    }
    pageCountLabel_->setText(QStringLiteral(" / %1 ").arg(count));
    zoomLabel_->setText(QStringLiteral("%1%").arg(std::lround(zoom_ * 100)));
    firstAction_->setEnabled(page_ > 0);
    prevAction_->setEnabled(page_ > 0);
    nextAction_->setEnabled(page_ + 1 < count);
    lastAction_->setEnabled(page_ + 1 < count);
    zoomInAction_->setEnabled(zoom_ < kMaxZoom);
    zoomOutAction_->setEnabled(zoom_ > kMinZoom);
    QRectF highlight;
    if (matchPage_ == page_ && matchIndex_ >= 0)
        highlight = report_.pages.at(page_).texts.at(matchIndex_).rect;
    QList<QRectF> cut;
    for (const QPair<int, int>& at : std::as_const(cut_))
        if (at.first == page_)
            cut.append(report_.pages.at(page_).texts.at(at.second).rect);
    view_->display(&report_, page_, zoom_, highlight, cut, printable_.strips());
}

bool PreviewWindow::findNext(const QString& needle) {
    if (needle.isEmpty() || report_.pages.isEmpty())
        return false;
    // Every text in reading order, as (page, index); start after the current
    // match, or at the current page when there is none.
    QList<std::pair<int, int>> all;
    qsizetype start = -1;
    for (int p = 0; p < pageCount(); ++p) {
        if (p == page_ && matchPage_ < 0)
            start = all.size();
        for (int i = 0; i < report_.pages.at(p).texts.size(); ++i) {
            all.append({p, i});
            if (p == matchPage_ && i == matchIndex_)
                start = all.size();
        }
    }
    if (all.isEmpty())
        return false;
    if (start < 0)
        start = 0;
    for (qsizetype k = 0; k < all.size(); ++k) {
        const auto [p, i] = all.at((start + k) % all.size());
        if (report_.pages.at(p).texts.at(i).text.contains(needle, Qt::CaseInsensitive)) {
            matchPage_ = p;
            matchIndex_ = i;
            const bool pageChanged = p != page_;
            page_ = p;
            updateControls();
            if (pageChanged)
                emit currentPageChanged(page_);
            scrollToMatch();
            return true;
        }
    }
    return false;
}

void PreviewWindow::scrollToMatch() {
    if (matchPage_ < 0)
        return;
    const QRectF r = view_->mapFromMm(report_.pages.at(matchPage_).texts.at(matchIndex_).rect);
    scroll_->ensureVisible(int(r.center().x()), int(r.center().y()), int(r.width() / 2) + 40,
                           int(r.height() / 2) + 40);
}

void PreviewWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!fittedOnce_) {
        fittedOnce_ = true;
        fitWidth();
    }
}

void PreviewWindow::message(const QString& text) {
    if (showMessage_)
        showMessage_(text);
    else
        QMessageBox::information(this, QStringLiteral("提示"), text);
}

QString PreviewWindow::chooseFile(FileAction action, const QString& suggestedName) {
    if (chooseFile_)
        return chooseFile_(action, suggestedName);
    switch (action) {
    case FileAction::Open:
        return QFileDialog::getOpenFileName(this, QStringLiteral("打开预览文件"), QString(),
                                            QStringLiteral("预览文件 (*.zrp);;所有文件 (*)"));
    case FileAction::Save: {
        QString path =
            QFileDialog::getSaveFileName(this, QStringLiteral("保存预览文件"), suggestedName,
                                         QStringLiteral("预览文件 (*.zrp)"));
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".zrp");
        return path;
    }
    case FileAction::ExportPdf: {
        QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出 PDF"), suggestedName,
                                                    QStringLiteral("PDF 文件 (*.pdf)"));
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".pdf");
        return path;
    }
    }
    return QString();
}

QPrinter& PreviewWindow::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        try {
            applyPageSetup(*printer_, report_);
        } catch (const ReportError&) {
            // Said when printing; the printer can still be changed before that.
        }
    }
    return *printer_;
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
        savePreparedReport(report_, path);
        return true;
    } catch (const ReportError& e) {
        message(e.message());
        return false;
    }
}

bool PreviewWindow::exportPdfFile(const QString& path) {
    if (!refreshFromTemplate()) {
        message(templateNote_);
        return false;
    }
    try {
        exportPdf(report_, path);
        return true;
    } catch (const ReportError& e) {
        message(e.message());
        return false;
    }
}

bool PreviewWindow::printTo(QPrinter& target) {
    // A template saved since the report was shown: lay it out again first, so the forms get
    // what the template now says and the screen shows it too.
    if (!refreshFromTemplate()) {
        message(templateNote_);
        return false;
    }
    try {
        if (print_)
            print_(target, report_);
        else
            printReport(target, report_);
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
    const QString path = chooseFile(FileAction::Save, QStringLiteral("receipt.zrp"));
    if (!path.isEmpty())
        savePreparedFile(path);
}

void PreviewWindow::onExportPdf() {
    const QString path = chooseFile(FileAction::ExportPdf, QStringLiteral("receipt.pdf"));
    if (!path.isEmpty())
        exportPdfFile(path);
}

void PreviewWindow::onPrint() {
    if (printCheck_) {
        if (const QString problem = printCheck_(); !problem.isEmpty()) {
            message(problem);
            return;
        }
    }
    QPrinter& p = printer();
    QPrintDialog dialog(&p, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setMinMax(1, std::max(1, pageCount()));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dialog.exec() == QDialog::Accepted)
        printTo(p); // re-applies the report's paper, full page and offset
}

void PreviewWindow::onPageSetup() {
    const QString before = printer().printerName();
    PrintSetupDialog dialog(printer(), report_, this);
    dialog.exec();
    // A note about the printer chosen before (one that is gone) no longer holds.
    if (printer().printerName() != before)
        setStatusText(QString());
    refreshPrintableArea();
}

void PreviewWindow::setPrintableArea(const PrintableArea& area) {
    printable_ = area;
    updateStatus();
    updateControls();
}

void PreviewWindow::refreshPrintableArea() {
    setPrintableArea(PrintableArea::ofPrinter(printer().printerName(), report_.pageLayout()));
}

void PreviewWindow::onFind() {
    const QString needle = findEdit_->text();
    if (needle.isEmpty()) {
        findEdit_->setFocus();
        return;
    }
    if (!findNext(needle))
        message(QStringLiteral("未找到 “%1”").arg(needle));
}

void PreviewWindow::onHelp() {
    emit helpRequested();
    if (onHelp_)
        onHelp_();
}

} // namespace zelk::report
