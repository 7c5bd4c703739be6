#include "designer/templatedocument.h"

#include "designer/designvalues.h"
#include "designer/fieldcatalog.h"
#include "designer/templatewriter.h"
#include "report/reporterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace zelk::designer {

namespace {

// One undo step: the whole state before and after. A template holds a few
// dozen items, so a copy is cheap and every edit undoes the same way.
class StateCommand : public QUndoCommand {
public:
    StateCommand(TemplateDocument* doc, const QString& text, DesignState before, DesignState after,
                 int mergeKey)
        : QUndoCommand(text), doc_(doc), before_(std::move(before)), after_(std::move(after)),
          mergeKey_(mergeKey) {}

    void undo() override { doc_->restore(before_); }
    void redo() override { doc_->restore(after_); }
    int id() const override { return mergeKey_ ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const StateCommand*>(other);
        if (next->mergeKey_ != mergeKey_)
            return false;
        after_ = next->after_;
        return true;
    }

private:
    TemplateDocument* doc_;
    DesignState before_;
    DesignState after_;
    int mergeKey_;
};

const QString kCopyFormat = QStringLiteral("zelk-designer-items");

QJsonValue valueAt(const QJsonObject& obj, const QString& key) {
    const qsizetype dot = key.indexOf(u'.');
    if (dot < 0)
        return obj.value(key);
    return valueAt(obj.value(key.left(dot)).toObject(), key.mid(dot + 1));
}

void setValueAt(QJsonObject& obj, const QString& key, const QJsonValue& value) {
    const qsizetype dot = key.indexOf(u'.');
    if (dot < 0) {
        if (value.isUndefined())
            obj.remove(key);
        else
            obj.insert(key, value);
        return;
    }
    const QString head = key.left(dot);
    QJsonObject inner = obj.value(head).toObject();
    setValueAt(inner, key.mid(dot + 1), value);
    if (inner.isEmpty())
        obj.remove(head);
    else
        obj.insert(head, inner);
}

double num(const QJsonObject& obj, const QString& key) {
    return obj.value(key).toDouble();
}

bool isLine(const QJsonObject& item) {
    return item.value(QStringLiteral("type")).toString() == QLatin1String("line");
}

void shift(QJsonObject& item, double dx, double dy) {
    const auto add = [&item](const QString& key, double d) {
        item.insert(key, roundMm(num(item, key) + d));
    };
    if (isLine(item)) {
        add(QStringLiteral("x1"), dx);
        add(QStringLiteral("x2"), dx);
        add(QStringLiteral("y1"), dy);
        add(QStringLiteral("y2"), dy);
    } else {
        add(QStringLiteral("x"), dx);
        add(QStringLiteral("y"), dy);
    }
}

} // namespace

report::Cells itemCells(const QJsonObject& item) {
    const QJsonObject c = item.value(QStringLiteral("cells")).toObject();
    report::Cells cells;
    cells.pitch = c.value(QStringLiteral("pitch")).toDouble();
    cells.count = c.value(QStringLiteral("count")).toInt();
    cells.fromRight = c.value(QStringLiteral("fill")).toString() != QLatin1String("left");
    cells.symbol = c.value(QStringLiteral("symbol")).toString();
    if (cells.pitch <= 0)
        cells.count = 0;
    return cells;
}

double roundMm(double mm) {
    return std::round(mm * 100.0) / 100.0;
}

double snap(double value, double grid) {
    return grid > 0 ? roundMm(std::round(value / grid) * grid) : value;
}

TemplateDocument::TemplateDocument(QObject* parent) : QObject(parent) {}

void TemplateDocument::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw report::TemplateError(QStringLiteral("报表模板 %1 无法读取：%2")
                                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    loadContent(file.readAll(), path);
}

namespace {

DesignState stateOf(const QByteArray& content) {
    DesignState next;
    next.root = QJsonDocument::fromJson(content).object();
    for (const QJsonValue& v : next.root.take(QStringLiteral("items")).toArray())
        next.items.append({Section::Page, v.toObject()});
    if (next.root.contains(QStringLiteral("band"))) {
        QJsonObject band = next.root.value(QStringLiteral("band")).toObject();
        for (const QJsonValue& v : band.take(QStringLiteral("items")).toArray())
            next.items.append({Section::Band, v.toObject()});
        next.root.insert(QStringLiteral("band"), band);
    }
    return next;
}

} // namespace

void TemplateDocument::loadContent(const QByteArray& content, const QString& path) {
    report::parseTemplate(content, path); // refuses what the engine refuses
    const DesignState next = stateOf(content);
    path_ = path;
    undo_.clear();
    restore(next);
}

void TemplateDocument::replaceContent(const QByteArray& content) {
    report::parseTemplate(content, path_);
    apply(QStringLiteral("恢复自动保存的修改"), stateOf(content));
}

QByteArray TemplateDocument::toJson() const {
    QJsonArray page;
    QJsonArray band;
    for (const DesignItem& item : state_.items)
        (item.section == Section::Page ? page : band).append(item.data);
    return writeTemplateJson(state_.root, page, band);
}

report::Template TemplateDocument::toTemplate() const {
    return report::parseTemplate(toJson(), path_);
}

bool TemplateDocument::isText(int i) const {
    return item(i).data.value(QStringLiteral("type")).toString() == QLatin1String("text");
}

QRectF TemplateDocument::itemRect(int i) const {
    const QJsonObject& d = item(i).data;
    QRectF r;
    if (isLine(d))
        r = QRectF(QPointF(num(d, QStringLiteral("x1")), num(d, QStringLiteral("y1"))),
                   QPointF(num(d, QStringLiteral("x2")), num(d, QStringLiteral("y2"))))
                .normalized();
    else
        r = QRectF(num(d, QStringLiteral("x")), num(d, QStringLiteral("y")),
                   num(d, QStringLiteral("width")), num(d, QStringLiteral("height")));
    if (item(i).section == Section::Band)
        r.translate(0, bandY());
    return r;
}

int TemplateDocument::itemAt(const QPointF& mm) const {
    for (int i = itemCount() - 1; i >= 0; --i)
        if (itemRect(i).adjusted(-0.5, -0.5, 0.5, 0.5).contains(mm))
            return i;
    return -1;
}

QList<int> TemplateDocument::itemsIn(const QRectF& mm) const {
    QList<int> found;
    for (int i = 0; i < itemCount(); ++i)
        if (mm.normalized().contains(itemRect(i)))
            found.append(i);
    return found;
}

QString TemplateDocument::itemLabel(int i) const {
    const QString text = item(i).data.value(QStringLiteral("text")).toString();
    const QString where = item(i).section == Section::Band ? QStringLiteral("明细行") : QString();
    return QStringLiteral("%1第 %2 项“%3”")
        .arg(where)
        .arg(i + 1)
        .arg(text.isEmpty() ? item(i).data.value(QStringLiteral("type")).toString()
                            : displayText(text, nullptr, {}, 0));
}

QSizeF TemplateDocument::pageSize() const {
    const QJsonObject paper = state_.root.value(QStringLiteral("paper")).toObject();
    const QSizeF sheet(num(paper, QStringLiteral("width")), num(paper, QStringLiteral("height")));
    return paper.value(QStringLiteral("orientation")).toString() == QLatin1String("landscape")
               ? sheet.transposed()
               : sheet;
}

QPageLayout TemplateDocument::pageLayout() const {
    const QJsonObject paper = state_.root.value(QStringLiteral("paper")).toObject();
    const QPageSize size(
        QSizeF(num(paper, QStringLiteral("width")), num(paper, QStringLiteral("height"))),
        QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    QPageLayout layout(size,
                       paper.value(QStringLiteral("orientation")).toString() ==
                               QLatin1String("landscape")
                           ? QPageLayout::Landscape
                           : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

QList<int> TemplateDocument::itemsReaching(const report::PrintableArea& area) const {
    QList<int> found;
    for (int i = 0; i < itemCount(); ++i) {
        QRectF r = itemRect(i);
        if (item(i).section == Section::Band)
            r |= r.translated(0, (bandRows() - 1) * bandPitch());
        if (area.reaches(r))
            found.append(i);
    }
    return found;
}

double TemplateDocument::bandY() const {
    return templateValue(QStringLiteral("band.y")).toDouble();
}

double TemplateDocument::bandPitch() const {
    return templateValue(QStringLiteral("band.pitch")).toDouble();
}

int TemplateDocument::bandRows() const {
    return templateValue(QStringLiteral("band.rowsPerPage")).toInt();
}

bool TemplateDocument::hasBand() const {
    return state_.root.contains(QStringLiteral("band"));
}

void TemplateDocument::setSelection(QList<int> items) {
    items.removeIf([this](int i) { return i < 0 || i >= itemCount(); });
    items.erase(std::unique(items.begin(), items.end()), items.end());
    if (DesignState::sameIndexes(items, state_.selection))
        return;
    state_.selection = items;
    emit selectionChanged();
}

void TemplateDocument::apply(const QString& text, DesignState next, int mergeKey) {
    if (next == state_)
        return;
    undo_.push(new StateCommand(this, text, state_, std::move(next), mergeKey));
}

void TemplateDocument::restore(const DesignState& state) {
    const bool selectionMoved = !DesignState::sameIndexes(state.selection, state_.selection);
    state_ = state;
    emit changed();
    if (selectionMoved)
        emit selectionChanged();
}

void TemplateDocument::moveSelection(double dxMm, double dyMm, int mergeKey) {
    DesignState next = state_;
    for (int i : std::as_const(next.selection))
        shift(next.items[i].data, dxMm, dyMm);
    apply(QStringLiteral("移动"), std::move(next), mergeKey);
}

void TemplateDocument::setItemRect(int i, const QRectF& pageRectMm, int mergeKey) {
    setItemRects({{i, pageRectMm}}, mergeKey);
}

void TemplateDocument::setItemRects(const QList<QPair<int, QRectF>>& rects, int mergeKey) {
    DesignState next = state_;
    bool sameSize = true;
    for (const auto& [i, pageRectMm] : rects) {
        QJsonObject& d = next.items[i].data;
        const QRectF old = itemRect(i);
        if (isLine(d)) {
            shift(d, pageRectMm.x() - old.x(), pageRectMm.y() - old.y());
            continue;
        }
        const double top = pageRectMm.y() - (item(i).section == Section::Band ? bandY() : 0.0);
        d.insert(QStringLiteral("x"), roundMm(pageRectMm.x()));
        d.insert(QStringLiteral("y"), roundMm(top));
        d.insert(QStringLiteral("width"), roundMm(pageRectMm.width()));
        d.insert(QStringLiteral("height"), roundMm(pageRectMm.height()));
        sameSize = sameSize && std::abs(pageRectMm.width() - old.width()) < 0.005 &&
                   std::abs(pageRectMm.height() - old.height()) < 0.005;
    }
    apply(sameSize ? QStringLiteral("移动") : QStringLiteral("改变大小"), std::move(next),
          mergeKey);
}

void TemplateDocument::align(AlignMode mode) {
    const QList<int>& sel = state_.selection;
    if (sel.size() < 2)
        return;
    const QRectF first = itemRect(sel.first());
    double left = first.left(), right = first.right(), top = first.top(), bottom = first.bottom();
    for (int i : sel) {
        const QRectF r = itemRect(i);
        left = std::min(left, r.left());
        right = std::max(right, r.right());
        top = std::min(top, r.top());
        bottom = std::max(bottom, r.bottom());
    }
    DesignState next = state_;
    for (int i : sel) {
        const QRectF r = itemRect(i);
        QJsonObject& d = next.items[i].data;
        switch (mode) {
        case AlignMode::Left:
            shift(d, left - r.left(), 0);
            break;
        case AlignMode::Right:
            shift(d, right - r.right(), 0);
            break;
        case AlignMode::Top:
            shift(d, 0, top - r.top());
            break;
        case AlignMode::Bottom:
            shift(d, 0, bottom - r.bottom());
            break;
        case AlignMode::SameWidth:
            if (!isLine(d))
                d.insert(QStringLiteral("width"), roundMm(first.width()));
            break;
        case AlignMode::SameHeight:
            if (!isLine(d))
                d.insert(QStringLiteral("height"), roundMm(first.height()));
            break;
        case AlignMode::CentreAcross:
            shift(d, first.center().x() - r.center().x(), 0);
            break;
        case AlignMode::CentreDown:
            shift(d, 0, first.center().y() - r.center().y());
            break;
        case AlignMode::SameSize:
            if (!isLine(d)) {
                d.insert(QStringLiteral("width"), roundMm(first.width()));
                d.insert(QStringLiteral("height"), roundMm(first.height()));
            }
            break;
        }
    }
    apply(QStringLiteral("对齐"), std::move(next));
}

void TemplateDocument::distribute(bool across) {
    QList<int> sel = state_.selection;
    if (sel.size() < 3)
        return;
    const auto start = [&](int i) { return across ? itemRect(i).left() : itemRect(i).top(); };
    const auto length = [&](int i) { return across ? itemRect(i).width() : itemRect(i).height(); };
    std::sort(sel.begin(), sel.end(), [&](int a, int b) { return start(a) < start(b); });
    double used = 0;
    for (int i : sel)
        used += length(i);
    const double span = start(sel.last()) + length(sel.last()) - start(sel.first());
    const double gap = (span - used) / double(sel.size() - 1);
    DesignState next = state_;
    double at = start(sel.first());
    for (int i : std::as_const(sel)) {
        const double move = at - start(i);
        shift(next.items[i].data, across ? move : 0, across ? 0 : move);
        at += length(i) + gap;
    }
    apply(QStringLiteral("等距分布"), std::move(next));
}

QByteArray TemplateDocument::copySelection() const {
    QJsonArray items;
    for (int i : state_.selection)
        items.append(QJsonObject{{QStringLiteral("band"), item(i).section == Section::Band},
                                 {QStringLiteral("item"), item(i).data}});
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), kCopyFormat},
                                     {QStringLiteral("items"), items}})
        .toJson(QJsonDocument::Compact);
}

bool TemplateDocument::paste(const QByteArray& copied) {
    const QJsonObject obj = QJsonDocument::fromJson(copied).object();
    if (obj.value(QStringLiteral("format")).toString() != kCopyFormat)
        return false;
    DesignState next = state_;
    next.selection.clear();
    for (const QJsonValue& v : obj.value(QStringLiteral("items")).toArray()) {
        const bool band = v.toObject().value(QStringLiteral("band")).toBool() && hasBand();
        QJsonObject data = v.toObject().value(QStringLiteral("item")).toObject();
        shift(data, 2.0, 2.0);
        next.selection.append(int(next.items.size()));
        next.items.append({band ? Section::Band : Section::Page, data});
    }
    if (next.selection.isEmpty())
        return false;
    apply(QStringLiteral("粘贴"), std::move(next));
    return true;
}

void TemplateDocument::deleteSelection() {
    DesignState next = state_;
    QList<int> sel = next.selection;
    std::sort(sel.begin(), sel.end(), std::greater<int>());
    for (int i : sel)
        next.items.removeAt(i);
    next.selection.clear();
    apply(QStringLiteral("删除"), std::move(next));
}

int TemplateDocument::addText(const QPointF& atMm) {
    DesignState next = state_;
    next.items.append(
        {Section::Page, QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                    {QStringLiteral("x"), roundMm(atMm.x())},
                                    {QStringLiteral("y"), roundMm(atMm.y())},
                                    {QStringLiteral("width"), 30},
                                    {QStringLiteral("height"), 5},
                                    {QStringLiteral("text"), QStringLiteral("文字")},
                                    {QStringLiteral("valign"), QStringLiteral("center")}}});
    next.selection = {int(next.items.size() - 1)};
    apply(QStringLiteral("添加文字"), std::move(next));
    return itemCount() - 1;
}

QJsonValue TemplateDocument::itemValue(int i, const QString& key) const {
    return valueAt(item(i).data, key);
}

void TemplateDocument::setItemValue(int i, const QString& key, const QJsonValue& value) {
    DesignState next = state_;
    setValueAt(next.items[i].data, key,
               value.isDouble() ? QJsonValue(roundMm(value.toDouble())) : value);
    apply(QStringLiteral("修改属性"), std::move(next));
}

void TemplateDocument::setItemsValue(const QList<int>& items, const QString& key,
                                     const QJsonValue& value) {
    DesignState next = state_;
    for (int i : items)
        setValueAt(next.items[i].data, key,
                   value.isDouble() ? QJsonValue(roundMm(value.toDouble())) : value);
    apply(QStringLiteral("修改属性"), std::move(next));
}

void TemplateDocument::setItemCells(int i, const QJsonValue& cells) {
    DesignState next = state_;
    QJsonObject& d = next.items[i].data;
    if (cells.isObject()) {
        const report::Cells before = itemCells(d);
        const double right = num(d, QStringLiteral("x")) + num(d, QStringLiteral("width"));
        d.insert(QStringLiteral("cells"), cells);
        const report::Cells c = itemCells(d);
        if (c.count > 0)
            d.insert(QStringLiteral("width"), roundMm(c.pitch * c.count));
        // An amount fills from the right: its last cell stays over the form's last box.
        if (c.count > 0 && before.count > 0 && before.fromRight && c.fromRight)
            d.insert(QStringLiteral("x"), roundMm(right - c.pitch * c.count));
    } else {
        d.remove(QStringLiteral("cells"));
    }
    apply(QStringLiteral("逐格打印"), std::move(next));
}

QJsonValue TemplateDocument::templateValue(const QString& key) const {
    return valueAt(state_.root, key);
}

void TemplateDocument::setTemplateValue(const QString& key, const QJsonValue& value) {
    DesignState next = state_;
    setValueAt(next.root, key, value);
    apply(QStringLiteral("修改模板"), std::move(next));
}

void TemplateDocument::setPaperSize(const QSizeF& mm) {
    DesignState next = state_;
    QJsonObject paper = next.root.value(QStringLiteral("paper")).toObject();
    paper.insert(QStringLiteral("width"), roundMm(mm.width()));
    paper.insert(QStringLiteral("height"), roundMm(mm.height()));
    next.root.insert(QStringLiteral("paper"), paper);
    apply(QStringLiteral("纸张大小"), std::move(next));
}

void TemplateDocument::setBackground(const QString& imageFile, const QSizeF& sizeMm) {
    const QFileInfo image(imageFile);
    const QDir folder = QFileInfo(path_).dir();
    QString name = image.fileName();
    if (image.absoluteDir() != QDir(folder.absolutePath())) {
        // A copy beside the template, never over a file already there (an
        // undo must find the old background unchanged).
        for (int n = 1; QFileInfo::exists(folder.filePath(name)); ++n)
            name =
                QStringLiteral("%1-%2.%3").arg(image.completeBaseName()).arg(n).arg(image.suffix());
        QFile::copy(image.absoluteFilePath(), folder.filePath(name));
    }
    DesignState next = state_;
    next.root.insert(QStringLiteral("background"),
                     QJsonObject{{QStringLiteral("image"), name},
                                 {QStringLiteral("x"), 0},
                                 {QStringLiteral("y"), 0},
                                 {QStringLiteral("width"), roundMm(sizeMm.width())},
                                 {QStringLiteral("height"), roundMm(sizeMm.height())}});
    apply(QStringLiteral("背景图片"), std::move(next));
}

Placement TemplateDocument::backgroundPlacement() const {
    const QJsonObject bg = templateValue(QStringLiteral("background")).toObject();
    return {bg.value(QStringLiteral("x")).toDouble(), bg.value(QStringLiteral("y")).toDouble(),
            bg.value(QStringLiteral("width")).toDouble(pageSize().width()),
            bg.value(QStringLiteral("height")).toDouble(pageSize().height()),
            bg.value(QStringLiteral("rotation")).toDouble()};
}

void TemplateDocument::setBackgroundPlacement(const Placement& placement) {
    DesignState next = state_;
    QJsonObject bg = next.root.value(QStringLiteral("background")).toObject();
    if (bg.isEmpty())
        return;
    bg.insert(QStringLiteral("x"), roundMm(placement.x));
    bg.insert(QStringLiteral("y"), roundMm(placement.y));
    bg.insert(QStringLiteral("width"), roundMm(placement.width));
    bg.insert(QStringLiteral("height"), roundMm(placement.height));
    const double rotation = std::round(placement.rotation * 1000.0) / 1000.0;
    if (rotation != 0)
        bg.insert(QStringLiteral("rotation"), rotation);
    else
        bg.remove(QStringLiteral("rotation"));
    next.root.insert(QStringLiteral("background"), bg);
    apply(QStringLiteral("背景位置"), std::move(next));
}

TemplateDocument::Problem TemplateDocument::validate(const DesignValues* values) const {
    const QRectF paper(QPointF(0, 0), pageSize());
    for (int i = 0; i < itemCount(); ++i) {
        const auto problem = [&](const QString& what) {
            return Problem{i, QStringLiteral("%1：%2").arg(itemLabel(i), what)};
        };
        const QRectF r = itemRect(i);
        if (!isLine(item(i).data) && (r.width() <= 0 || r.height() <= 0))
            return problem(QStringLiteral("宽度和高度必须大于 0"));
        if (!paper.intersects(r.adjusted(-0.01, -0.01, 0.01, 0.01)))
            return problem(QStringLiteral("整个项目在纸张之外"));
        if (!isLine(item(i).data)) {
            // Every row of the band too: a box that leaves the paper prints cut or not at all.
            QRectF all = r;
            if (item(i).section == Section::Band)
                all |= r.translated(0, std::max(0, bandRows() - 1) * bandPitch());
            if (r.height() > paper.height() + 0.01)
                return problem(QStringLiteral("高 %1 mm，比纸张（高 %2 mm）还高，印不到纸上")
                                   .arg(r.height())
                                   .arg(paper.height()));
            if (r.width() > paper.width() + 0.01)
                return problem(QStringLiteral("宽 %1 mm，比纸张（宽 %2 mm）还宽，印不到纸上")
                                   .arg(r.width())
                                   .arg(paper.width()));
            if (!paper.adjusted(-0.01, -0.01, 0.01, 0.01).contains(all))
                return problem(QStringLiteral("框超出纸张边缘，超出的部分印不出来"));
        }
        if (!isText(i))
            continue;
        QList<report::TextPart> parts;
        QString error;
        if (!report::parseItemText(itemValue(i, QStringLiteral("text")).toString(), &parts, &error))
            return problem(error);
        for (const report::TextPart& part : std::as_const(parts))
            if (part.isReference && fieldCaption(part.text) == part.text)
                return problem(QStringLiteral("未知的字段 “[%1]”").arg(part.text));
        const report::Cells cells = itemCells(item(i).data);
        if (cells.count <= 0 || !values)
            continue;
        // Every row of the values, for an item of the band.
        const int rows = item(i).section == Section::Band ? int(values->data.rows.size()) : 1;
        for (int row = 0; row < rows; ++row) {
            const QString value = displayText(itemValue(i, QStringLiteral("text")).toString(),
                                              &values->data, values->variables, row);
            const report::CellText shown = report::cellText(cells, value);
            if (shown.chars.size() > cells.count)
                return problem(QStringLiteral("“%1”有 %2 个字符，多于 %3 个格子，不会打印")
                                   .arg(value.trimmed())
                                   .arg(shown.chars.size())
                                   .arg(cells.count));
        }
    }
    // Whatever else the engine refuses, with the item it names.
    try {
        toTemplate();
    } catch (const report::ReportError& e) {
        static const QRegularExpression where(QStringLiteral("“(band\\.)?items\\[(\\d+)\\]"));
        const QRegularExpressionMatch m = where.match(e.message());
        if (!m.hasMatch())
            return {-1, e.message()};
        int index = m.captured(2).toInt();
        if (m.capturedLength(1) > 0)
            index += int(
                std::count_if(state_.items.begin(), state_.items.end(),
                              [](const DesignItem& it) { return it.section == Section::Page; }));
        return {index, QStringLiteral("%1：%2").arg(itemLabel(index), e.message())};
    }
    return {};
}

bool TemplateDocument::save(QString* error, const DesignValues* values) {
    const Problem problem = validate(values);
    if (!problem.message.isEmpty()) {
        if (problem.item >= 0)
            setSelection({problem.item});
        *error = QStringLiteral("模板有误，未保存。\n%1").arg(problem.message);
        return false;
    }
    const QString shown = QDir::toNativeSeparators(path_);
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson()) < 0) {
        *error = QStringLiteral("模板 %1 无法写入：%2").arg(shown, file.errorString());
        return false;
    }
    // The previous template stays beside the new one until the next save.
    const QString backup = path_ + QStringLiteral(".bak");
    if (QFileInfo::exists(path_)) {
        QFile::remove(backup);
        if (!QFile::copy(path_, backup)) {
            file.cancelWriting();
            *error =
                QStringLiteral("无法保留旧模板 %1，未保存。").arg(QDir::toNativeSeparators(backup));
            return false;
        }
    }
    if (!file.commit()) {
        *error = QStringLiteral("模板 %1 无法写入：%2").arg(shown, file.errorString());
        return false;
    }
    undo_.setClean();
    return true;
}

bool TemplateDocument::saveAs(const QString& path, QString* error, const DesignValues* values) {
    const QString image = templateValue(QStringLiteral("background.image")).toString();
    const QDir from = QFileInfo(path_).dir(), to = QFileInfo(path).dir();
    if (!image.isEmpty() && QFileInfo::exists(from.filePath(image)) &&
        !QFileInfo::exists(to.filePath(image)) &&
        !QFile::copy(from.filePath(image), to.filePath(image))) {
        *error = QStringLiteral("背景图 %1 无法复制到 %2，未保存。")
                     .arg(image, QDir::toNativeSeparators(to.absolutePath()));
        return false;
    }
    const QString old = path_;
    path_ = path;
    if (save(error, values))
        return true;
    path_ = old;
    return false;
}

} // namespace zelk::designer
