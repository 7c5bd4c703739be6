#include "designer/propertypanel.h"

#include "designer/fieldcatalog.h"
#include "designer/templatedocument.h"
#include "ui/filedialog.h"
#include "ui/messagebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zelk::designer {

PropertyPanel::PropertyPanel(TemplateDocument* doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setObjectName(QStringLiteral("propertyPanel"));
    auto* layout = new QVBoxLayout(this);

    auto* item = new QGroupBox(QStringLiteral("选中的项目"), this);
    itemBox_ = item;
    auto* form = new QFormLayout(item);
    x_ = lengthBox(QStringLiteral("xBox"), -1000, 1000);
    y_ = lengthBox(QStringLiteral("yBox"), -1000, 1000);
    // Negative sizes can be typed, to be refused rather than silently turned positive.
    width_ = lengthBox(QStringLiteral("widthBox"), -1000, 1000);
    height_ = lengthBox(QStringLiteral("heightBox"), -1000, 1000);
    form->addRow(QStringLiteral("左 (mm)"), x_);
    form->addRow(QStringLiteral("上 (mm)"), y_);
    form->addRow(QStringLiteral("宽 (mm)"), width_);
    form->addRow(QStringLiteral("高 (mm)"), height_);
    // Every selected item to the typed edge.
    for (auto [box, across] : {std::pair{x_, true}, std::pair{y_, false}})
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, across](double v) {
            if (refreshing_ || doc_->selection().isEmpty())
                return;
            QList<QPair<int, QRectF>> rects;
            for (int i : doc_->selection()) {
                const QRectF r = doc_->itemRect(i);
                rects.append({i, across ? r.translated(v - r.x(), 0) : r.translated(0, v - r.y())});
            }
            doc_->setItemRects(rects);
        });
    for (auto [box, key] :
         {std::pair{width_, QStringLiteral("width")}, std::pair{height_, QStringLiteral("height")}})
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, key](double v) {
            if (refreshing_ || doc_->selection().isEmpty())
                return;
            if (v <= 0) {
                ui::MessageBox::error(this, QStringLiteral("宽度和高度必须大于 0，未修改。"));
                refresh();
                return;
            }
            QList<int> boxes; // a line has ends, not a size
            for (int i : doc_->selection())
                if (doc_->itemValue(i, QStringLiteral("type")).toString() != QLatin1String("line"))
                    boxes.append(i);
            doc_->setItemsValue(boxes, key, v);
        });

    text_ = new QLineEdit(item);
    text_->setObjectName(QStringLiteral("textEdit"));
    connect(text_, &QLineEdit::editingFinished, this, [this] {
        // Shown with the fields' Chinese names, written with their names.
        if (!refreshing_ && current() >= 0 &&
            sourceText(text_->text()) !=
                doc_->itemValue(current(), QStringLiteral("text")).toString())
            doc_->setItemValue(current(), QStringLiteral("text"), sourceText(text_->text()));
    });
    form->addRow(QStringLiteral("文字"), text_);
    field_ = new QComboBox(item);
    field_->setObjectName(QStringLiteral("fieldPicker"));
    field_->addItem(QStringLiteral("插入字段…"));
    for (const Field& f : receiptFields())
        field_->addItem(fieldChoiceLabel(f), f.caption);
    connect(field_, &QComboBox::activated, this, [this](int index) {
        if (index <= 0 || current() < 0)
            return;
        text_->insert(u'[' + field_->itemData(index).toString() + u']');
        field_->setCurrentIndex(0);
        doc_->setItemValue(current(), QStringLiteral("text"), sourceText(text_->text()));
    });
    form->addRow(QString(), field_);

    family_ = new QLineEdit(item);
    family_->setObjectName(QStringLiteral("familyEdit"));
    connect(family_, &QLineEdit::editingFinished, this, [this] {
        if (!refreshing_ && !texts().isEmpty() && !family_->text().trimmed().isEmpty())
            doc_->setItemsValue(texts(), QStringLiteral("font.family"), family_->text());
    });
    form->addRow(QStringLiteral("字体"), family_);
    size_ = lengthBox(QStringLiteral("sizeBox"), 1, 500);
    size_->setSingleStep(0.5);
    itemNumber(size_, QStringLiteral("font.size"));
    form->addRow(QStringLiteral("字号"), size_);
    bold_ = new QCheckBox(QStringLiteral("粗体"), item);
    itemCheck(bold_, QStringLiteral("font.bold"));
    form->addRow(QString(), bold_);

    align_ = new QComboBox(item);
    align_->setObjectName(QStringLiteral("alignBox"));
    align_->addItem(QStringLiteral("左对齐"), QStringLiteral("left"));
    align_->addItem(QStringLiteral("居中"), QStringLiteral("center"));
    align_->addItem(QStringLiteral("右对齐"), QStringLiteral("right"));
    valign_ = new QComboBox(item);
    valign_->setObjectName(QStringLiteral("valignBox"));
    valign_->addItem(QStringLiteral("靠上"), QStringLiteral("top"));
    valign_->addItem(QStringLiteral("垂直居中"), QStringLiteral("center"));
    valign_->addItem(QStringLiteral("靠下"), QStringLiteral("bottom"));
    for (auto [box, key] :
         {std::pair{align_, QStringLiteral("align")}, std::pair{valign_, QStringLiteral("valign")}})
        connect(box, &QComboBox::activated, this, [this, box, key](int) {
            if (!texts().isEmpty())
                doc_->setItemsValue(texts(), key, box->currentData().toString());
        });
    form->addRow(QStringLiteral("水平"), align_);
    form->addRow(QStringLiteral("垂直"), valign_);
    wrap_ = new QCheckBox(QStringLiteral("自动换行"), item);
    itemCheck(wrap_, QStringLiteral("wrap"));
    shrink_ = new QCheckBox(QStringLiteral("放不下时缩小字号"), item);
    itemCheck(shrink_, QStringLiteral("shrink"));
    minSize_ = lengthBox(QStringLiteral("minSizeBox"), 1, 500);
    minSize_->setSingleStep(0.5);
    itemNumber(minSize_, QStringLiteral("minSize"));
    form->addRow(QString(), wrap_);
    form->addRow(QString(), shrink_);
    form->addRow(QStringLiteral("最小字号"), minSize_);
    createCellControls(form, item);
    layout->addWidget(item);

    auto* paper = new QGroupBox(QStringLiteral("模板"), this);
    auto* pform = new QFormLayout(paper);
    paperWidth_ = lengthBox(QStringLiteral("paperWidthBox"), 10, 2000);
    paperHeight_ = lengthBox(QStringLiteral("paperHeightBox"), 10, 2000);
    templateNumber(paperWidth_, QStringLiteral("paper.width"));
    templateNumber(paperHeight_, QStringLiteral("paper.height"));
    orientation_ = new QComboBox(paper);
    orientation_->setObjectName(QStringLiteral("orientationBox"));
    orientation_->addItem(QStringLiteral("纵向"), QStringLiteral("portrait"));
    orientation_->addItem(QStringLiteral("横向"), QStringLiteral("landscape"));
    connect(orientation_, &QComboBox::activated, this, [this](int) {
        doc_->setTemplateValue(QStringLiteral("paper.orientation"),
                               orientation_->currentData().toString());
    });
    auto* presets = new QComboBox(paper);
    presets->setObjectName(QStringLiteral("paperPresetBox"));
    presets->addItem(QStringLiteral("常用连续纸…"));
    for (const QSizeF& size : TemplateDocument::continuousPaperPresets())
        presets->addItem(QStringLiteral("%1 × %2 mm").arg(size.width()).arg(size.height()), size);
    connect(presets, &QComboBox::activated, this, [this, presets](int index) {
        if (index > 0)
            doc_->setPaperSize(presets->itemData(index).toSizeF());
        presets->setCurrentIndex(0);
    });
    pform->addRow(QStringLiteral("纸张"), presets);
    pform->addRow(QStringLiteral("纸宽 (mm)"), paperWidth_);
    pform->addRow(QStringLiteral("纸高 (mm)"), paperHeight_);
    pform->addRow(QStringLiteral("方向"), orientation_);
    bandY_ = lengthBox(QStringLiteral("bandYBox"), -1000, 2000);
    bandPitch_ = lengthBox(QStringLiteral("bandPitchBox"), 0.1, 1000);
    templateNumber(bandY_, QStringLiteral("band.y"));
    templateNumber(bandPitch_, QStringLiteral("band.pitch"));
    bandRows_ = new QSpinBox(paper);
    bandRows_->setObjectName(QStringLiteral("bandRowsBox"));
    bandRows_->setRange(1, 10000);
    bandRows_->setKeyboardTracking(false);
    connect(bandRows_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!refreshing_)
            doc_->setTemplateValue(QStringLiteral("band.rowsPerPage"), v);
    });
    pform->addRow(QStringLiteral("明细起点 (mm)"), bandY_);
    pform->addRow(QStringLiteral("行距 (mm)"), bandPitch_);
    pform->addRow(QStringLiteral("每页行数"), bandRows_);
    background_ = new QPushButton(QStringLiteral("载入背景图…"), paper);
    background_->setObjectName(QStringLiteral("backgroundButton"));
    connect(background_, &QPushButton::clicked, this, [this] {
        const QString file =
            ui::FileDialog::openFile(this, QStringLiteral("选择扫描的空白票据"), QString(),
                                     QStringLiteral("图片 (*.png *.jpg *.jpeg)"));
        QString error;
        if (!file.isEmpty() && !loadBackground(file, &error))
            ui::MessageBox::error(this, error);
    });
    bgWidth_ = lengthBox(QStringLiteral("backgroundWidthBox"), 1, 2000);
    bgHeight_ = lengthBox(QStringLiteral("backgroundHeightBox"), 1, 2000);
    templateNumber(bgWidth_, QStringLiteral("background.width"));
    templateNumber(bgHeight_, QStringLiteral("background.height"));
    pform->addRow(QStringLiteral("背景"), background_);
    bgX_ = lengthBox(QStringLiteral("backgroundXBox"), -1000, 2000);
    bgY_ = lengthBox(QStringLiteral("backgroundYBox"), -1000, 2000);
    bgRotation_ = lengthBox(QStringLiteral("backgroundRotationBox"), -360, 360);
    bgRotation_->setDecimals(3);
    templateNumber(bgX_, QStringLiteral("background.x"));
    templateNumber(bgY_, QStringLiteral("background.y"));
    connect(bgRotation_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (!refreshing_) {
            Placement p = doc_->backgroundPlacement();
            p.rotation = v;
            doc_->setBackgroundPlacement(p);
        }
    });
    pform->addRow(QStringLiteral("背景左 (mm)"), bgX_);
    pform->addRow(QStringLiteral("背景上 (mm)"), bgY_);
    pform->addRow(QStringLiteral("背景宽 (mm)"), bgWidth_);
    pform->addRow(QStringLiteral("背景高 (mm)"), bgHeight_);
    pform->addRow(QStringLiteral("背景转角 (度)"), bgRotation_);
    layout->addWidget(paper);
    layout->addStretch();

    connect(doc_, &TemplateDocument::changed, this, &PropertyPanel::refresh);
    connect(doc_, &TemplateDocument::selectionChanged, this, &PropertyPanel::refresh);
    refresh();
}

QDoubleSpinBox* PropertyPanel::lengthBox(const QString& name, double min, double max) {
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(name);
    box->setRange(min, max);
    box->setDecimals(2);
    box->setSingleStep(0.1);
    box->setKeyboardTracking(false);
    return box;
}

void PropertyPanel::itemNumber(QDoubleSpinBox* box, const QString& key) {
    connect(box, &QDoubleSpinBox::valueChanged, this, [this, key](double v) {
        if (!refreshing_ && !texts().isEmpty())
            doc_->setItemsValue(texts(), key, v);
    });
}

void PropertyPanel::itemCheck(QCheckBox* box, const QString& key) {
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) {
        if (!refreshing_ && !texts().isEmpty())
            doc_->setItemsValue(texts(), key, on);
    });
}

QList<int> PropertyPanel::texts() const {
    QList<int> found;
    for (int i : doc_->selection())
        if (doc_->isText(i))
            found.append(i);
    return found;
}

void PropertyPanel::templateNumber(QDoubleSpinBox* box, const QString& key) {
    connect(box, &QDoubleSpinBox::valueChanged, this, [this, key](double v) {
        if (!refreshing_)
            doc_->setTemplateValue(key, roundMm(v));
    });
}

void PropertyPanel::createCellControls(QFormLayout* form, QWidget* parent) {
    cells_ = new QCheckBox(QStringLiteral("每格一个字符（方格金额、代码）"), parent);
    cells_->setObjectName(QStringLiteral("cellsCheck"));
    cellPitch_ = lengthBox(QStringLiteral("cellPitchBox"), 0.5, 100);
    cellCount_ = new QSpinBox(parent);
    cellCount_->setObjectName(QStringLiteral("cellCountBox"));
    cellCount_->setRange(1, report::kMaxCells);
    cellCount_->setKeyboardTracking(false);
    cellFill_ = new QComboBox(parent);
    cellFill_->setObjectName(QStringLiteral("cellFillBox"));
    cellFill_->addItem(QStringLiteral("从右填（金额，不印小数点）"), QStringLiteral("right"));
    cellFill_->addItem(QStringLiteral("从左填（代码）"), QStringLiteral("left"));
    cellSymbol_ = new QLineEdit(parent);
    cellSymbol_->setObjectName(QStringLiteral("cellSymbolEdit"));
    cellSymbol_->setMaxLength(1);
    cellSymbol_->setPlaceholderText(QStringLiteral("如 ￥，印在第一位数字前一格"));
    connect(cells_, &QCheckBox::toggled, this, [this](bool on) {
        if (refreshing_ || current() < 0)
            return;
        if (!on) {
            doc_->setItemCells(current(), QJsonValue::Undefined);
            return;
        }
        // A start the clerk then measures against the form: 5 mm cells filling the box.
        const double width = doc_->itemRect(current()).width();
        doc_->setItemCells(current(),
                           QJsonObject{{QStringLiteral("pitch"), 5},
                                       {QStringLiteral("count"), std::max(1, int(width / 5))},
                                       {QStringLiteral("fill"), QStringLiteral("right")}});
    });
    connect(cellPitch_, &QDoubleSpinBox::valueChanged, this, &PropertyPanel::storeCells);
    connect(cellCount_, &QSpinBox::valueChanged, this, &PropertyPanel::storeCells);
    connect(cellFill_, &QComboBox::activated, this, &PropertyPanel::storeCells);
    connect(cellSymbol_, &QLineEdit::editingFinished, this, &PropertyPanel::storeCells);
    form->addRow(QString(), cells_);
    form->addRow(QStringLiteral("格宽 (mm)"), cellPitch_);
    form->addRow(QStringLiteral("格数"), cellCount_);
    form->addRow(QStringLiteral("填法"), cellFill_);
    form->addRow(QStringLiteral("符号"), cellSymbol_);
}

void PropertyPanel::storeCells() {
    if (refreshing_ || current() < 0 || !cells_->isChecked())
        return;
    QJsonObject cells{{QStringLiteral("pitch"), roundMm(cellPitch_->value())},
                      {QStringLiteral("count"), cellCount_->value()},
                      {QStringLiteral("fill"), cellFill_->currentData().toString()}};
    // A symbol only goes before an amount, which is filled from the right.
    if (!cellSymbol_->text().isEmpty() && cellFill_->currentIndex() == 0)
        cells.insert(QStringLiteral("symbol"), cellSymbol_->text());
    if (QJsonValue(cells) != doc_->itemValue(current(), QStringLiteral("cells")))
        doc_->setItemCells(current(), cells);
}

int PropertyPanel::current() const {
    return doc_->selection().size() == 1 ? doc_->selection().first() : -1;
}

bool PropertyPanel::loadBackground(const QString& file, QString* error) {
    QImageReader reader(file);
    const QSize pixels = reader.size();
    // Qt refuses images above its allocation limit (in MB, 4 bytes a pixel); say so plainly.
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (pixels.isValid() && limit > 0 && qint64(pixels.width()) * pixels.height() * 4 > limit) {
        if (error)
            *error = QStringLiteral("图片 %1 太大（%2 × %3 像素），无法作为背景。"
                                    "请用 200 dpi 扫描，或把图片缩小到 %4 万像素以内。")
                         .arg(QDir::toNativeSeparators(file))
                         .arg(pixels.width())
                         .arg(pixels.height())
                         .arg(limit / 4 / 10000);
        return false;
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("无法读取图片 %1：%2")
                         .arg(QDir::toNativeSeparators(file), reader.errorString());
        return false;
    }
    // Qt reports 96 dpi for an image that states no resolution; a scan never
    // has exactly that, so it means "unknown" here.
    QSizeF size = doc_->pageSize();
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterX() != 3780)
        size = QSizeF(image.width() * 1000.0 / image.dotsPerMeterX(),
                      image.height() * 1000.0 / image.dotsPerMeterY());
    doc_->setBackground(file, size);
    return true;
}

void PropertyPanel::refresh() {
    refreshing_ = true;
    const QList<int> selected = doc_->selection();
    const int i = selected.isEmpty() ? -1 : selected.first();
    const bool several = selected.size() > 1;
    itemBox_->setEnabled(i >= 0);
    itemBox_->setTitle(
        several ? QStringLiteral("选中的 %1 个项目（修改对全部生效）").arg(selected.size())
                : QStringLiteral("选中的项目"));
    if (i >= 0) {
        // A value the selected items share is shown; one they do not share shows "多个值".
        const auto common = [&](QDoubleSpinBox* box, const std::function<double(int)>& of) {
            bool same = true;
            for (int k : selected)
                same = same && std::abs(of(k) - of(i)) < 0.005;
            box->setSpecialValueText(same ? QString() : QStringLiteral("多个值"));
            box->setValue(same ? of(i) : box->minimum());
        };
        common(x_, [this](int k) { return doc_->itemRect(k).x(); });
        common(y_, [this](int k) { return doc_->itemRect(k).y(); });
        common(width_, [this](int k) { return doc_->itemRect(k).width(); });
        common(height_, [this](int k) { return doc_->itemRect(k).height(); });
        const bool text = doc_->isText(i);
        const bool anyText = !texts().isEmpty();
        // A line has ends, not a box: it is moved, not sized, here.
        const bool boxed = several || doc_->itemValue(i, QStringLiteral("type")).toString() !=
                                          QLatin1String("line");
        width_->setEnabled(boxed);
        height_->setEnabled(boxed);
        for (QWidget* w : std::initializer_list<QWidget*>{family_, size_, bold_, align_, valign_,
                                                          wrap_, shrink_, minSize_})
            w->setEnabled(anyText);
        // The text and its cells belong to one item.
        text_->setEnabled(text && !several);
        field_->setEnabled(text && !several);
        const QJsonObject base = doc_->templateValue(QStringLiteral("font")).toObject();
        const int first = anyText ? texts().first() : i;
        const auto value = [&](const QString& key, int k) {
            const QJsonValue v = doc_->itemValue(k, key);
            return v.isUndefined() && key.startsWith(QLatin1String("font."))
                       ? base.value(key.mid(5))
                       : v;
        };
        text_->setText(
            several ? QString()
                    : displayText(value(QStringLiteral("text"), i).toString(), nullptr, {}, 0));
        family_->setText(
            value(QStringLiteral("font.family"), first).toString(QStringLiteral("SimSun")));
        const QList<int> textItems = anyText ? texts() : QList<int>{i};
        common(size_, [&](int k) {
            return textItems.contains(k) ? value(QStringLiteral("font.size"), k).toDouble(10)
                                         : value(QStringLiteral("font.size"), first).toDouble(10);
        });
        bold_->setChecked(value(QStringLiteral("font.bold"), first).toBool());
        align_->setCurrentIndex(
            std::max(0, align_->findData(value(QStringLiteral("align"), first).toString())));
        valign_->setCurrentIndex(
            std::max(0, valign_->findData(value(QStringLiteral("valign"), first).toString())));
        wrap_->setChecked(value(QStringLiteral("wrap"), first).toBool());
        shrink_->setChecked(value(QStringLiteral("shrink"), first).toBool());
        minSize_->setValue(
            value(QStringLiteral("minSize"), first)
                .toDouble(std::min(6.0, value(QStringLiteral("font.size"), first).toDouble(10))));
        const report::Cells cells = itemCells(doc_->item(i).data);
        cells_->setEnabled(text && !several);
        cells_->setChecked(cells.count > 0);
        for (QWidget* w : std::initializer_list<QWidget*>{cellPitch_, cellCount_, cellFill_})
            w->setEnabled(cells.count > 0 && !several);
        cellSymbol_->setEnabled(cells.count > 0 && cells.fromRight && !several);
        cellPitch_->setValue(cells.count > 0 ? cells.pitch : 5.0);
        cellCount_->setValue(std::max(1, cells.count));
        cellFill_->setCurrentIndex(cells.fromRight ? 0 : 1);
        cellSymbol_->setText(cells.symbol);
    }
    paperWidth_->setValue(doc_->templateValue(QStringLiteral("paper.width")).toDouble());
    paperHeight_->setValue(doc_->templateValue(QStringLiteral("paper.height")).toDouble());
    orientation_->setCurrentIndex(
        doc_->templateValue(QStringLiteral("paper.orientation")).toString() ==
                QLatin1String("landscape")
            ? 1
            : 0);
    for (QWidget* w : std::initializer_list<QWidget*>{bandY_, bandPitch_, bandRows_})
        w->setEnabled(doc_->hasBand());
    bandY_->setValue(doc_->bandY());
    bandPitch_->setValue(doc_->bandPitch());
    bandRows_->setValue(doc_->bandRows());
    const bool hasBackground = doc_->templateValue(QStringLiteral("background")).isObject();
    for (QWidget* w : std::initializer_list<QWidget*>{bgX_, bgY_, bgWidth_, bgHeight_, bgRotation_})
        w->setEnabled(hasBackground);
    const Placement placed = doc_->backgroundPlacement();
    bgX_->setValue(placed.x);
    bgY_->setValue(placed.y);
    bgRotation_->setValue(placed.rotation);
    bgWidth_->setValue(
        doc_->templateValue(QStringLiteral("background.width")).toDouble(doc_->pageSize().width()));
    bgHeight_->setValue(doc_->templateValue(QStringLiteral("background.height"))
                            .toDouble(doc_->pageSize().height()));
    refreshing_ = false;
}

} // namespace zelk::designer
