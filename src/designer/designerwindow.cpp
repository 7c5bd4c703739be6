#include "designer/designerwindow.h"

#include "designer/autosave.h"
#include "designer/designcanvas.h"
#include "designer/fieldguard.h"
#include "designer/propertypanel.h"
#include "designer/ruler.h"
#include "designer/templatedocument.h"
#include "designer/templaterescue.h"
#include "report/layout.h"
#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "report/screenscale.h"
#include "settings/help.h"
#include "ui/filedialog.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineF>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
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
    setWindowTitle(QStringLiteral("票据模板设计 - %1[*]").arg(QFileInfo(templatePath).fileName()));
    setModal(true);
    createActions();
    createLayout();
    // The whole window on the screen, also a 1366 × 768 one.
    const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, 1366, 768);
    resize(std::min(1200, room.width() - 20), std::min(760, room.height() - 40));
    loadValues(QString());
    connect(autosave_, &Autosave::failed, this,
            [this](const QString& message) { status_->setText(message); });
    if (const QString warning = readOnlyWarning(); !warning.isEmpty())
        status_->setText(warning);
}

QString DesignerWindow::readOnlyWarning() const {
    const QFileInfo file(doc_->path());
    const QFileInfo folder(file.absolutePath());
    if (folder.isWritable() && (!file.exists() || file.isWritable()))
        return {};
    return QStringLiteral("模板 %1 所在的文件夹或文件不能写入：修改无法保存到这里，也不会自动保存。"
                          "请用“另存为…”把模板存到可以写入的地方。")
        .arg(QDir::toNativeSeparators(doc_->path()));
}

bool DesignerWindow::saveAs() {
    QString path = ui::FileDialog::saveFile(this, QStringLiteral("模板另存为"), doc_->path(),
                                            QStringLiteral("报表模板 (*.frf)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".frf");
    QString error;
    if (!doc_->saveAs(path, &error, &values_)) {
        showMessage(error, true);
        return false;
    }
    autosave_->followTemplate();
    setWindowTitle(QStringLiteral("票据模板设计 - %1[*]").arg(QFileInfo(path).fileName()));
    status_->setText(QStringLiteral("已另存为 %1。").arg(QDir::toNativeSeparators(path)));
    return true;
}

DesignerWindow::~DesignerWindow() {
    // The undo stack goes with the document after this window's own part is gone, and tells
    // on its way that it is clean again: nobody here is left to hear it.
    disconnect(doc_->undoStack(), nullptr, this, nullptr);
}

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
    make(QStringLiteral("saveAsAction"), QStringLiteral("另存为…"), QKeySequence::SaveAs,
         [this] { saveAs(); });
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
        {AlignMode::Left, "左对齐"},        {AlignMode::Right, "右对齐"},
        {AlignMode::Top, "顶端对齐"},       {AlignMode::Bottom, "底端对齐"},
        {AlignMode::SameWidth, "同宽"},     {AlignMode::SameHeight, "同高"},
        {AlignMode::SameSize, "同大小"},    {AlignMode::CentreAcross, "左右居中"},
        {AlignMode::CentreDown, "上下居中"}};
    int n = 0;
    for (const auto& [mode, text] : aligns)
        make(QStringLiteral("alignAction%1").arg(n++), QString::fromUtf8(text), {},
             [this, mode = mode] { doc_->align(mode); });
    make(QStringLiteral("distributeAcrossAction"), QStringLiteral("水平等距"), {},
         [this] { doc_->distribute(true); });
    make(QStringLiteral("distributeDownAction"), QStringLiteral("垂直等距"), {},
         [this] { doc_->distribute(false); });
    make(QStringLiteral("backgroundAction"), QStringLiteral("载入背景图…"), {}, [this] {
        if (auto* button = panel_->findChild<QPushButton*>(QStringLiteral("backgroundButton")))
            button->click();
    });
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
    make(QStringLiteral("helpAction"), QStringLiteral("帮助"), QKeySequence::HelpContents, [this] {
        if (help_)
            help_();
        else
            settings::openHelp(this, QCoreApplication::applicationFilePath());
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
    // Aligning and distributing share one 对齐 button, so the first row fits a 1366-pixel screen
    // with 载入背景图… and 两点校正背景 on it.
    auto* alignButton = new QToolButton(this);
    alignButton->setObjectName(QStringLiteral("alignButton"));
    alignButton->setText(QStringLiteral("对齐"));
    alignButton->setPopupMode(QToolButton::InstantPopup);
    auto* alignMenu = new QMenu(alignButton);
    alignButton->setMenu(alignMenu);
    QToolBar* bar = toolBar;
    for (QAction* a : std::as_const(actions_)) {
        const QString name = a ? a->objectName() : QString();
        if (name == QLatin1String("fitAction"))
            bar = viewBar;
        if (name.startsWith(QLatin1String("align")) ||
            name.startsWith(QLatin1String("distribute"))) {
            if (alignMenu->isEmpty())
                toolBar->addWidget(alignButton);
            alignMenu->addAction(a);
        } else if (a) {
            bar->addAction(a);
        } else {
            bar->addSeparator();
        }
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
    // Right-click on an item: the editing commands, on what is selected.
    canvas_->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QAction* a : std::as_const(actions_)) {
        const QString name = a ? a->objectName() : QString();
        if (!a) {
            auto* separator = new QAction(canvas_);
            separator->setSeparator(true);
            canvas_->addAction(separator);
        } else if (name.startsWith(QLatin1String("align")) ||
                   name.startsWith(QLatin1String("distribute")) ||
                   name == QLatin1String("copyAction") || name == QLatin1String("pasteAction") ||
                   name == QLatin1String("deleteAction")) {
            canvas_->addAction(a);
        }
    }
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
    cursorLabel_ = new QLabel(this);
    cursorLabel_->setObjectName(QStringLiteral("cursorLabel"));
    cursorLabel_->setContentsMargins(6, 2, 6, 2);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(cursorLabel_);
    layout->addLayout(statusRow);

    for (QScrollBar* bar : {scroll_->horizontalScrollBar(), scroll_->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, &DesignerWindow::updateRulers);
    connect(canvas_, &DesignCanvas::zoomChanged, this, &DesignerWindow::updateRulers);
    connect(canvas_, &DesignCanvas::zoomStepRequested, this, &DesignerWindow::zoomAt);
    connect(canvas_, &DesignCanvas::cursorMoved, this, [this](const QPointF& mm) {
        cursorLabel_->setText(QStringLiteral("光标：左 %1 mm，上 %2 mm")
                                  .arg(mm.x(), 0, 'f', 1)
                                  .arg(mm.y(), 0, 'f', 1));
    });
    connect(doc_, &TemplateDocument::changed, this, &DesignerWindow::updateRulers);
    connect(doc_, &TemplateDocument::changed, this, &DesignerWindow::updatePrintableArea);
    // The unsaved mark (* in the title and the status line) follows undo back to the saved state.
    connect(doc_->undoStack(), &QUndoStack::cleanChanged, this, [this](bool clean) {
        setWindowModified(!clean);
        const QString unsaved = QStringLiteral("模板已修改，尚未保存。");
        if (!clean)
            status_->setText(unsaved);
        else if (status_->text() == unsaved)
            status_->setText(QStringLiteral("模板与保存的一致。"));
    });
    // A click on the grey desk beside the paper clears the selection, as one on the paper does.
    scroll_->viewport()->installEventFilter(this);
    updateRulers();
    updatePrintableArea();
    // No default button: Enter in a field only confirms the field.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    auto* guard = new FieldGuard([this] { doc_->undoStack()->undo(); },
                                 [this] { doc_->undoStack()->redo(); }, this);
    guard->guard(this);
}

bool DesignerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::MouseButtonPress)
        doc_->setSelection({});
    return QDialog::eventFilter(watched, event);
}

void DesignerWindow::keyPressEvent(QKeyEvent* event) {
    // Enter never presses a button of the window (a field has taken its value by then).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
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
    // One question for all: the distance, the turn, and where the first point lies on the
    // paper (pre-filled with where it was clicked), so place, scale and angle are all set.
    QDialog ask(this);
    ask.setObjectName(QStringLiteral("scanFitDialog"));
    ask.setWindowTitle(QStringLiteral("两点校正背景"));
    auto* form = new QFormLayout(&ask);
    const auto number = [&ask](double value, double min, double max) {
        auto* box = new QDoubleSpinBox(&ask);
        box->setRange(min, max);
        box->setDecimals(2);
        box->setValue(value);
        return box;
    };
    QDoubleSpinBox* distance = number(QLineF(firstMm, secondMm).length(), 1, 2000);
    distance->setObjectName(QStringLiteral("fitDistanceBox"));
    auto* turn = new QComboBox(&ask);
    turn->setObjectName(QStringLiteral("fitTurnBox"));
    turn->addItems({QStringLiteral("转正：两点在同一水平线上"),
                    QStringLiteral("转正：两点在同一竖直线上"),
                    QStringLiteral("不转动，只改比例")});
    QDoubleSpinBox* firstX = number(roundMm(firstMm.x()), -1000, 2000);
    firstX->setObjectName(QStringLiteral("fitFirstXBox"));
    QDoubleSpinBox* firstY = number(roundMm(firstMm.y()), -1000, 2000);
    firstY->setObjectName(QStringLiteral("fitFirstYBox"));
    form->addRow(QStringLiteral("两点之间的实际距离 (mm)"), distance);
    form->addRow(QStringLiteral("背景图的方向"), turn);
    form->addRow(
        new QLabel(QStringLiteral("第一点在纸上的位置（量纸上该点到纸左边、上边的距离）："), &ask));
    form->addRow(QStringLiteral("距左边 (mm)"), firstX);
    form->addRow(QStringLiteral("距上边 (mm)"), firstY);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("校正"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    form->addRow(buttons);
    if ((fitAnswer_ ? fitAnswer_(ask) : ask.exec()) != QDialog::Accepted)
        return;
    const Placement now = doc_->backgroundPlacement();
    const QTransform toImage = placementTransform(now, size).inverted();
    const QPointF a = toImage.map(firstMm), b = toImage.map(secondMm);
    const QPointF onPaper(firstX->value(), firstY->value());
    const FitTurn how = turn->currentIndex() == 0   ? FitTurn::Level
                        : turn->currentIndex() == 1 ? FitTurn::Upright
                                                    : FitTurn::Keep;
    const Placement fitted = fitByTwoPoints(now, size, a, b, distance->value(), how, &onPaper);
    doc_->setBackgroundPlacement(fitted);
    status_->setText(QStringLiteral("背景图已按两点校正：第一点在纸上 %1, %2 mm，转角 %3°；"
                                    "按模板保存的精度，两点与应在的位置最多相差 %4 mm。")
                         .arg(onPaper.x(), 0, 'f', 2)
                         .arg(onPaper.y(), 0, 'f', 2)
                         .arg(roundedPlacement(fitted).rotation, 0, 'f', 3)
                         .arg(fitResidual(fitted, size, a, b), 0, 'f', 3));
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

void DesignerWindow::zoomAt(int steps, const QPointF& at) {
    const QPointF mm = canvas_->toMm(at);
    const QPointF inView = canvas_->mapTo(scroll_->viewport(), at);
    zoomBy(steps);
    const QPointF now = canvas_->toWidget(mm);
    scroll_->horizontalScrollBar()->setValue(int(std::lround(now.x() - inView.x())));
    scroll_->verticalScrollBar()->setValue(int(std::lround(now.y() - inView.y())));
}

QString DesignerWindow::statusText() const {
    return status_->text();
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
        status_->setText(QStringLiteral("已保存 %1，打开着的预览随即按它重新排版。")
                             .arg(QDir::toNativeSeparators(doc_->path())));
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
    if (autosave_->otherCopyEditing()) {
        // Its autosaved copy belongs to the copy still at work: neither offered nor removed.
        status_->setText(QStringLiteral("这个模板正在另一个设计窗口（本机的另一个程序窗口或另一台"
                                        "电脑）中修改；在这里保存会覆盖那边保存的修改。"));
        return false;
    }
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
    // 是 is the default: Enter keeps the work.
    if (!ui::MessageBox::question(this, text, true)) {
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
    QString kept;
    try {
        TemplateDocument probe;
        probe.load(templatePath);
    } catch (const report::ReportError& e) {
        const QList<RescueSource> sources = rescueSources(templatePath);
        if (sources.isEmpty()) {
            ui::MessageBox::error(parent, e.message());
            return;
        }
        QStringList captions, choices;
        for (const RescueSource& source : sources) {
            captions.append(source.caption);
            choices.append(QStringLiteral("用%1").arg(source.caption));
        }
        const int chosen = ui::MessageBox::choose(
            parent,
            QStringLiteral("%1\n\n可以改用%2重新开始设计。坏的模板不会删除，会改名保留在原处。")
                .arg(e.message(), captions.join(QStringLiteral("或"))),
            choices);
        if (chosen < 0 || chosen >= sources.size())
            return;
        try {
            kept = replaceBrokenTemplate(templatePath, sources.at(chosen).content);
        } catch (const report::ReportError& error) {
            ui::MessageBox::error(parent, error.message());
            return;
        }
    }
    try {
        DesignerWindow window(templatePath, std::move(loader), parent);
        if (!kept.isEmpty())
            window.status_->setText(
                QStringLiteral("坏的模板已保留为 %1。").arg(QDir::toNativeSeparators(kept)));
        if (const QString warning = window.readOnlyWarning(); !warning.isEmpty())
            ui::MessageBox::information(parent, warning);
        window.offerRecovery();
        window.exec();
    } catch (const report::ReportError& e) {
        ui::MessageBox::error(parent, e.message());
    }
}

} // namespace zelk::designer
