#include "designer/designerwindow.h"

#include "designer/autosave.h"
#include "designer/designcanvas.h"
#include "designer/propertypanel.h"
#include "designer/ruler.h"
#include "designer/templatedocument.h"
#include "report/layout.h"
#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "report/screenscale.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLineF>
#include <QLocale>
#include <QMimeData>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QTransform>
#include <QVBoxLayout>

#include <cmath>
#include <stdexcept>

namespace zelk::designer {

namespace {

const QString kCopyMime = QStringLiteral("application/x-zelk-designer-items");

} // namespace

DesignerWindow::DesignerWindow(const QString& templatePath, ValuesLoader loader, QWidget* parent)
    : QDialog(parent), doc_(new TemplateDocument(this)), loader_(std::move(loader)) {
    setObjectName(QStringLiteral("designerWindow"));
    doc_->load(templatePath);
    autosave_ = new Autosave(doc_, this);
    setWindowTitle(QStringLiteral("票据模板设计 - %1").arg(QFileInfo(templatePath).fileName()));
    setModal(true);
    createActions();
    createLayout();
    resize(1200, 760);
    loadValues(QString());
}

DesignerWindow::~DesignerWindow() = default;

void DesignerWindow::createActions() {
    const auto make = [this](const QString& name, const QString& text, const QKeySequence& key,
                             auto slot) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        actions_.append(a);
        return a;
    };
    make(QStringLiteral("saveAction"), QStringLiteral("保存"), QKeySequence::Save,
         [this] { save(); });
    make(QStringLiteral("previewAction"), QStringLiteral("预览"), QKeySequence::Print,
         [this] { preview(); });
    actions_.append(nullptr);
    QAction* undo = doc_->undoStack()->createUndoAction(this, QStringLiteral("撤销"));
    undo->setObjectName(QStringLiteral("undoAction"));
    undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    QAction* redo = doc_->undoStack()->createRedoAction(this, QStringLiteral("重做"));
    redo->setObjectName(QStringLiteral("redoAction"));
    redo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    addAction(undo);
    addAction(redo);
    actions_.append(undo);
    actions_.append(redo);
    actions_.append(nullptr);
    make(QStringLiteral("addTextAction"), QStringLiteral("添加文字"), {}, [this] {
        const QPointF centre = canvas_->toMm(
            canvas_->mapFrom(scroll_->viewport(), scroll_->viewport()->rect().center()));
        doc_->addText(QPointF(snap(centre.x(), 1), snap(centre.y(), 1)));
        canvas_->setFocus();
    });
    make(QStringLiteral("copyAction"), QStringLiteral("复制"), QKeySequence::Copy, [this] {
        auto* mime = new QMimeData;
        mime->setData(kCopyMime, doc_->copySelection());
        QApplication::clipboard()->setMimeData(mime);
    });
    make(QStringLiteral("pasteAction"), QStringLiteral("粘贴"), QKeySequence::Paste, [this] {
        if (const QMimeData* mime = QApplication::clipboard()->mimeData())
            doc_->paste(mime->data(kCopyMime));
    });
    make(QStringLiteral("deleteAction"), QStringLiteral("删除"), {},
         [this] { doc_->deleteSelection(); });
    actions_.append(nullptr);
    const std::pair<AlignMode, const char*> aligns[] = {
        {AlignMode::Left, "左对齐"},    {AlignMode::Right, "右对齐"},
        {AlignMode::Top, "顶端对齐"},   {AlignMode::Bottom, "底端对齐"},
        {AlignMode::SameWidth, "同宽"}, {AlignMode::SameHeight, "同高"}};
    int n = 0;
    for (const auto& [mode, text] : aligns)
        make(QStringLiteral("alignAction%1").arg(n++), QString::fromUtf8(text), {},
             [this, mode = mode] { doc_->align(mode); });
    make(QStringLiteral("scanFitAction"), QStringLiteral("两点校正背景"), {},
         [this] { fitBackground(); });
    actions_.append(nullptr);
    make(QStringLiteral("fitAction"), QStringLiteral("适合窗口"), {}, [this] { fitToWindow(); });
    make(QStringLiteral("actualSizeAction"), QStringLiteral("100%"), {},
         [this] { canvas_->setZoom(1.0); });
    make(QStringLiteral("zoomOutAction"), QStringLiteral("缩小"), QKeySequence::ZoomOut,
         [this] { zoomBy(-1); });
    make(QStringLiteral("zoomInAction"), QStringLiteral("放大"), QKeySequence::ZoomIn,
         [this] { zoomBy(1); });
    make(QStringLiteral("screenCalibrationAction"), QStringLiteral("屏幕校准…"), {}, [this] {
        report::ScreenCalibrationDialog dialog(this);
        if (dialog.exec() == QDialog::Accepted)
            canvas_->refreshScale();
    });
    actions_.append(nullptr);
    QAction* grid = make(QStringLiteral("gridAction"), QStringLiteral("网格吸附"), {}, [] {});
    grid->setCheckable(true);
    grid->setChecked(true);
    grid->setToolTip(QStringLiteral("拖动时对齐到 0.5 mm 网格"));
    connect(grid, &QAction::toggled, this, [this](bool on) {
        canvas_->setGrid(on ? 0.5 : 0.0);
        canvas_->setGridVisible(on);
    });
    showValues_ = make(QStringLiteral("showValuesAction"), QStringLiteral("显示数据"), {}, [] {});
    showValues_->setCheckable(true);
    showValues_->setChecked(true);
    showValues_->setToolTip(QStringLiteral("框内显示票据数据；关闭时显示字段名"));
    connect(showValues_, &QAction::toggled, this,
            [this](bool on) { canvas_->setValues(on ? &values_ : nullptr); });
}

void DesignerWindow::createLayout() {
    // Editing commands on the first row; view and values on the second.
    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("designerToolBar"));
    auto* viewBar = new QToolBar(this);
    viewBar->setObjectName(QStringLiteral("designerViewBar"));
    QToolBar* bar = toolBar;
    for (QAction* a : std::as_const(actions_)) {
        if (a && a->objectName() == QLatin1String("fitAction"))
            bar = viewBar;
        if (a)
            bar->addAction(a);
        else
            bar->addSeparator();
    }
    for (QToolBar* b : {toolBar, viewBar})
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    zoomLabel_ = new QLabel(this);
    zoomLabel_->setObjectName(QStringLiteral("zoomLabel"));
    zoomLabel_->setMinimumWidth(48);
    zoomLabel_->setAlignment(Qt::AlignCenter);
    viewBar->insertWidget(viewBar->actions().value(3), zoomLabel_);
    viewBar->addSeparator();
    viewBar->addWidget(new QLabel(QStringLiteral("发票号码 "), this));
    receiptNumber_ = new QLineEdit(this);
    receiptNumber_->setObjectName(QStringLiteral("receiptNumberEdit"));
    receiptNumber_->setPlaceholderText(QStringLiteral("最近一张"));
    receiptNumber_->setToolTip(QStringLiteral("输入发票号码后按回车，框内显示该票据的数据"));
    receiptNumber_->setMaximumWidth(140);
    connect(receiptNumber_, &QLineEdit::returnPressed, this,
            [this] { loadValues(receiptNumber_->text().trimmed()); });
    viewBar->addWidget(receiptNumber_);
    viewBar->addSeparator();
    viewBar->addWidget(new QLabel(QStringLiteral("打印机 "), this));
    printerBox_ = new QComboBox(this);
    printerBox_->setObjectName(QStringLiteral("printerBox"));
    printerBox_->setToolTip(QStringLiteral("灰色斜线是这台打印机印不到的页边"));
    printerBox_->addItem(QStringLiteral("（不显示页边）"), QString());
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        printerBox_->addItem(name, name);
    printerBox_->setCurrentIndex(
        std::max(0, printerBox_->findData(QPrinterInfo::defaultPrinterName())));
    connect(printerBox_, &QComboBox::activated, this, &DesignerWindow::updatePrintableArea);
    viewBar->addWidget(printerBox_);

    canvas_ = new DesignCanvas(doc_, this);
    canvas_->setValues(&values_);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("canvasScrollArea"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setWidget(canvas_);
    hRuler_ = new Ruler(Qt::Horizontal, canvas_, this);
    vRuler_ = new Ruler(Qt::Vertical, canvas_, this);

    auto* paperArea = new QWidget(this);
    auto* grid = new QGridLayout(paperArea);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(hRuler_, 0, 1);
    grid->addWidget(vRuler_, 1, 0);
    grid->addWidget(scroll_, 1, 1);

    panel_ = new PropertyPanel(doc_, this);
    auto* panelScroll = new QScrollArea(this);
    panelScroll->setWidget(panel_);
    panelScroll->setWidgetResizable(true);
    panelScroll->setMinimumWidth(260);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(paperArea);
    splitter->addWidget(panelScroll);
    splitter->setStretchFactor(0, 1);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setContentsMargins(6, 2, 6, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(viewBar);
    layout->addWidget(splitter, 1);
    layout->addWidget(status_);

    for (QScrollBar* bar : {scroll_->horizontalScrollBar(), scroll_->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, &DesignerWindow::updateRulers);
    connect(canvas_, &DesignCanvas::zoomChanged, this, &DesignerWindow::updateRulers);
    connect(canvas_, &DesignCanvas::zoomStepRequested, this, &DesignerWindow::zoomBy);
    connect(doc_, &TemplateDocument::changed, this, &DesignerWindow::updateRulers);
    connect(doc_, &TemplateDocument::changed, this, &DesignerWindow::updatePrintableArea);
    connect(doc_->undoStack(), &QUndoStack::cleanChanged, this, [this](bool clean) {
        if (!clean)
            status_->setText(QStringLiteral("模板已修改，尚未保存。"));
    });
    updateRulers();
    updatePrintableArea();
}

void DesignerWindow::fitBackground() {
    if (!doc_->templateValue(QStringLiteral("background")).isObject()) {
        showMessage(QStringLiteral("请先载入背景图（扫描的空白票据）。"), true);
        return;
    }
    status_->setText(QStringLiteral("在背景图上先后点两个知道实际距离的点（如票据边框的两个角），"
                                    "按 Esc 取消。"));
    canvas_->pickTwoPoints([this](const QPointF& a, const QPointF& b) { finishFit(a, b); });
}

void DesignerWindow::finishFit(const QPointF& firstMm, const QPointF& secondMm) {
    const QString file =
        QFileInfo(doc_->path())
            .dir()
            .filePath(doc_->templateValue(QStringLiteral("background.image")).toString());
    const QSize size = QImageReader(file).size();
    if (size.isEmpty()) {
        showMessage(QStringLiteral("无法读取背景图 %1。").arg(file), true);
        return;
    }
    bool ok = false;
    const double distance = QInputDialog::getDouble(
        this, QStringLiteral("两点校正背景"), QStringLiteral("两点之间的实际距离（毫米）："),
        QLineF(firstMm, secondMm).length(), 1, 2000, 2, &ok);
    if (!ok)
        return;
    const QStringList turns{QStringLiteral("转正：两点在同一水平线上"),
                            QStringLiteral("转正：两点在同一竖直线上"),
                            QStringLiteral("不转动，只改比例")};
    const QString turn =
        QInputDialog::getItem(this, QStringLiteral("两点校正背景"),
                              QStringLiteral("背景图的方向："), turns, 0, false, &ok);
    if (!ok)
        return;
    const Placement now = doc_->backgroundPlacement();
    const QTransform toImage = placementTransform(now, size).inverted();
    doc_->setBackgroundPlacement(fitByTwoPoints(now, size, toImage.map(firstMm),
                                                toImage.map(secondMm), distance,
                                                turn == turns.at(0)   ? FitTurn::Level
                                                : turn == turns.at(1) ? FitTurn::Upright
                                                                      : FitTurn::Keep));
    status_->setText(QStringLiteral("背景图已按两点校正为实际尺寸。"));
}

void DesignerWindow::updatePrintableArea() {
    const QString printer = printerBox_->currentData().toString();
    const QPageLayout layout = doc_->pageLayout();
    const QString key = QStringLiteral("%1|%2|%3")
                            .arg(printer)
                            .arg(layout.fullRect().width())
                            .arg(layout.fullRect().height());
    if (key != areaKey_) {
        areaKey_ = key;
        printable_ = report::PrintableArea::ofPrinter(printer, layout);
        canvas_->setPrintableArea(printable_);
    }
    QStringList names;
    for (int i : doc_->itemsReaching(printable_))
        names.append(doc_->itemLabel(i));
    if (!names.isEmpty())
        status_->setText(QStringLiteral("%1伸入打印机“%2”印不到的页边，靠边的部分可能印不出来。")
                             .arg(names.join(QStringLiteral("、")), printer));
}

void DesignerWindow::updateRulers() {
    zoomLabel_->setText(QStringLiteral("%1%").arg(std::lround(canvas_->zoom() * 100)));
    hRuler_->update();
    vRuler_->update();
}

void DesignerWindow::zoomBy(int steps) {
    canvas_->setZoom(canvas_->zoom() * std::pow(1.25, steps));
}

void DesignerWindow::fitToWindow() {
    const QSize room =
        scroll_->viewport()->size() - QSize(2 * DesignCanvas::kMargin, 2 * DesignCanvas::kMargin);
    const QSizeF page = doc_->pageSize() * (canvas_->scale() / canvas_->zoom());
    if (page.isEmpty() || room.isEmpty())
        return;
    canvas_->setZoom(std::min(room.width() / page.width(), room.height() / page.height()));
}

void DesignerWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        fitToWindow();
        canvas_->setFocus();
    }
}

void DesignerWindow::showMessage(const QString& text, bool error) {
    if (error)
        ui::MessageBox::error(this, text);
    else
        ui::MessageBox::information(this, text);
}

void DesignerWindow::loadValues(const QString& number) {
    try {
        values_ = loader_ ? loader_(number) : sampleValues();
    } catch (const std::exception& e) {
        values_ = sampleValues();
        status_->setText(
            QStringLiteral("无法读取票据数据，显示示例数据：%1").arg(QString::fromUtf8(e.what())));
        canvas_->update();
        return;
    }
    if (!number.isEmpty() && values_.source == sampleValues().source)
        status_->setText(QStringLiteral("没有发票号码为 %1 的票据，显示示例数据。").arg(number));
    else
        status_->setText(QStringLiteral("框内显示：%1").arg(values_.source));
    canvas_->update();
}

bool DesignerWindow::save() {
    QString error;
    if (doc_->save(&error, &values_)) {
        autosave_->discard();
        status_->setText(QStringLiteral("已保存 %1，下次预览时生效。").arg(doc_->path()));
        return true;
    }
    showMessage(error, true);
    return false;
}

void DesignerWindow::setPreviewShower(std::function<void(const QByteArray&)> shower) {
    showPreview_ = std::move(shower);
}

void DesignerWindow::preview() {
    const TemplateDocument::Problem problem = doc_->validate(&values_);
    if (!problem.message.isEmpty()) {
        if (problem.item >= 0)
            doc_->setSelection({problem.item});
        showMessage(QStringLiteral("模板有误，无法预览。\n%1").arg(problem.message), true);
        return;
    }
    if (showPreview_) {
        showPreview_(doc_->toJson());
        return;
    }
    try {
        const report::PreparedReport prepared =
            report::layoutReport(doc_->toTemplate(), values_.data, values_.variables);
        report::PreviewWindow window(prepared, this);
        window.setPrintableArea(printable_); // the margins of the printer chosen here
        window.exec();
    } catch (const report::ReportError& e) {
        showMessage(e.message(), true);
    }
}

bool DesignerWindow::offerRecovery() {
    QDateTime written;
    const QByteArray copy = Autosave::leftOver(doc_->path(), &written);
    if (copy.isEmpty())
        return false;
    const QString text =
        QStringLiteral("上次设计这个模板时程序没有正常关闭，有 %1 自动保存的修改尚未保存。"
                       "是否恢复这些修改？")
            .arg(QLocale(QLocale::Chinese).toString(written, QStringLiteral("yyyy-MM-dd HH:mm")));
    try {
        report::parseTemplate(copy, doc_->path()); // a copy cut short is not offered
    } catch (const report::ReportError& e) {
        status_->setText(QStringLiteral("自动保存的修改已损坏，无法恢复：%1").arg(e.message()));
        return false;
    }
    if (!ui::MessageBox::question(this, text)) {
        autosave_->discard();
        return false;
    }
    doc_->replaceContent(copy);
    status_->setText(QStringLiteral("已恢复自动保存的修改，请检查后保存。"));
    return true;
}

void DesignerWindow::done(int result) {
    if (doc_->isModified()) {
        using Answer = ui::MessageBox::Answer;
        const Answer answer =
            ui::MessageBox::askToSave(this, QStringLiteral("模板已修改，是否保存？"));
        if (answer == Answer::Cancel || (answer == Answer::Yes && !save()))
            return;
    }
    // Saved, unchanged or dropped by the clerk: nothing is left to recover.
    autosave_->discard();
    QDialog::done(result);
}

void DesignerWindow::open(QWidget* parent, const QString& templatePath, ValuesLoader loader) {
    try {
        DesignerWindow window(templatePath, std::move(loader), parent);
        window.offerRecovery();
        window.exec();
    } catch (const report::ReportError& e) {
        ui::MessageBox::error(parent, e.message());
    }
}

} // namespace zelk::designer
