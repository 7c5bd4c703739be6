#include "designer/designcanvas.h"

#include "designer/designvalues.h"
#include "designer/fieldcatalog.h"
#include "designer/scanfit.h"
#include "designer/smartguides.h"
#include "designer/templatedocument.h"
#include "report/layout.h"
#include "report/preparedreport.h"
#include "report/screenscale.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>
#include <utility>

namespace zelk::designer {

namespace {

constexpr double kHandlePx = 6.0;

int nextDragKey() {
    static int key = 100;
    return ++key;
}

} // namespace

DesignCanvas::DesignCanvas(TemplateDocument* doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setObjectName(QStringLiteral("designCanvas"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Dark);
    connect(doc_, &TemplateDocument::changed, this, [this] {
        updateGeometry();
        resize(sizeHint());
        update();
    });
    connect(doc_, &TemplateDocument::selectionChanged, this, qOverload<>(&QWidget::update));
    resize(sizeHint());
}

void DesignCanvas::setZoom(double zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == zoom_)
        return;
    zoom_ = zoom;
    updateGeometry();
    resize(sizeHint());
    update();
    emit zoomChanged(zoom_);
}

void DesignCanvas::refreshScale() {
    updateGeometry();
    resize(sizeHint());
    update();
    emit zoomChanged(zoom_);
}

void DesignCanvas::setGrid(double mm) {
    grid_ = mm;
}

void DesignCanvas::setGridVisible(bool visible) {
    gridVisible_ = visible;
    update();
}

void DesignCanvas::setValues(const DesignValues* values) {
    values_ = values;
    update();
}

void DesignCanvas::setPrintableArea(const report::PrintableArea& area) {
    printable_ = area;
    update();
}

double DesignCanvas::scale() const {
    // The screen's resolution as calibrated by the clerk, so 100 % is the paper's real size.
    return zoom_ * logicalDpiX() * report::ScreenScale::factor(screen()) / 25.4;
}

QPointF DesignCanvas::toWidget(const QPointF& mm) const {
    return QPointF(kMargin, kMargin) + mm * scale();
}

QPointF DesignCanvas::toMm(const QPointF& widget) const {
    return (widget - QPointF(kMargin, kMargin)) / scale();
}

QRectF DesignCanvas::widgetRect(const QRectF& mm) const {
    return QRectF(toWidget(mm.topLeft()), mm.size() * scale());
}

QSize DesignCanvas::sizeHint() const {
    const QSizeF page = doc_->pageSize() * scale();
    return QSize(int(std::ceil(page.width())) + 2 * kMargin,
                 int(std::ceil(page.height())) + 2 * kMargin);
}

QList<QPointF> DesignCanvas::handles(const QRectF& mm) const {
    const QRectF r = widgetRect(mm);
    const QPointF c = r.center();
    return {r.topLeft(),     {c.x(), r.top()},    r.topRight(),   {r.right(), c.y()},
            r.bottomRight(), {c.x(), r.bottom()}, r.bottomLeft(), {r.left(), c.y()}};
}

int DesignCanvas::handleAt(const QPointF& widget) const {
    if (doc_->selection().size() != 1 || !doc_->isText(doc_->selection().first()))
        return -1;
    const QList<QPointF> hs = handles(doc_->itemRect(doc_->selection().first()));
    for (int h = 0; h < hs.size(); ++h)
        if (std::abs(hs[h].x() - widget.x()) <= kHandlePx &&
            std::abs(hs[h].y() - widget.y()) <= kHandlePx)
            return h;
    return -1;
}

void DesignCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF paper = widgetRect(QRectF(QPointF(0, 0), doc_->pageSize()));
    p.fillRect(paper, Qt::white);

    const QJsonObject bg = doc_->templateValue(QStringLiteral("background")).toObject();
    if (!bg.isEmpty()) {
        const QString file =
            QFileInfo(doc_->path()).dir().filePath(bg.value(QStringLiteral("image")).toString());
        if (file != backgroundFile_) {
            backgroundFile_ = file;
            background_.load(file);
        }
        if (!background_.isNull()) {
            // Image pixels to mm as placed (scaled and turned), then mm to this widget.
            p.save();
            p.translate(kMargin, kMargin);
            p.scale(scale(), scale());
            p.setTransform(placementTransform(doc_->backgroundPlacement(), background_.size()),
                           true);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QPointF(0, 0), background_);
            p.restore();
        }
    }

    if (gridVisible_ && grid_ > 0) {
        // Lines every 5 mm (every grid step would be a grey wash).
        p.setPen(QPen(QColor(0, 120, 215, 40), 0));
        const double step = 5.0;
        for (double x = step; x < doc_->pageSize().width(); x += step)
            p.drawLine(toWidget({x, 0}), toWidget({x, doc_->pageSize().height()}));
        for (double y = step; y < doc_->pageSize().height(); y += step)
            p.drawLine(toWidget({0, y}), toWidget({doc_->pageSize().width(), y}));
    }

    for (int i = 0; i < doc_->itemCount(); ++i) {
        if (doc_->item(i).section == Section::Band)
            for (int row = 1; row < doc_->bandRows(); ++row)
                paintItem(p, i, row * doc_->bandPitch(), row, true);
        paintItem(p, i, 0, 0, false);
    }

    for (const QRectF& strip : printable_.strips())
        p.fillRect(widgetRect(strip), QBrush(QColor(120, 120, 120, 110), Qt::BDiagPattern));
    for (int i : doc_->itemsReaching(printable_)) {
        p.setPen(QPen(QColor(230, 120, 0), 2, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(widgetRect(doc_->itemRect(i)));
    }

    for (int i : doc_->selection()) {
        p.setPen(QPen(QColor(0, 90, 255), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRect(widgetRect(doc_->itemRect(i)));
    }
    if (doc_->selection().size() == 1 && doc_->isText(doc_->selection().first())) {
        p.setBrush(QColor(0, 90, 255));
        for (const QPointF& h : handles(doc_->itemRect(doc_->selection().first())))
            p.drawRect(QRectF(h - QPointF(3, 3), QSizeF(6, 6)));
    }
    p.setPen(QPen(Qt::red, 1.5));
    // Smart guides: the edges and centres the dragged box lines up with.
    p.setPen(QPen(QColor(220, 0, 180), 1, Qt::DashLine));
    const QSizeF page = doc_->pageSize();
    for (const Guide& g : std::as_const(guides_))
        p.drawLine(g.vertical ? QLineF(toWidget({g.at, 0}), toWidget({g.at, page.height()}))
                              : QLineF(toWidget({0, g.at}), toWidget({page.width(), g.at})));
    for (const QPointF& mm : std::as_const(picked_)) {
        const QPointF w = toWidget(mm);
        p.drawLine(w - QPointF(8, 0), w + QPointF(8, 0));
        p.drawLine(w - QPointF(0, 8), w + QPointF(0, 8));
    }
    if (drag_ == Drag::Rubber) {
        p.setPen(QPen(QColor(0, 90, 255), 1, Qt::DashLine));
        p.setBrush(QColor(0, 90, 255, 30));
        p.drawRect(QRectF(toWidget(pressMm_), toWidget(rubberEnd_)).normalized());
    }
}

void DesignCanvas::paintItem(QPainter& p, int i, double yOffset, int row, bool faint) {
    const QRectF mm = doc_->itemRect(i).translated(0, yOffset);
    const QRectF r = widgetRect(mm);
    const QJsonObject& d = doc_->item(i).data;
    const QString type = d.value(QStringLiteral("type")).toString();
    p.setOpacity(faint ? 0.3 : 1.0);
    if (type == QLatin1String("line")) {
        p.setPen(QPen(Qt::black, d.value(QStringLiteral("lineWidth")).toDouble(0.2) * scale()));
        p.drawLine(toWidget({d.value(QStringLiteral("x1")).toDouble(),
                             mm.top() + (d.value(QStringLiteral("y1")).toDouble() >
                                                 d.value(QStringLiteral("y2")).toDouble()
                                             ? mm.height()
                                             : 0)}),
                   toWidget({d.value(QStringLiteral("x2")).toDouble(),
                             mm.top() + (d.value(QStringLiteral("y1")).toDouble() >
                                                 d.value(QStringLiteral("y2")).toDouble()
                                             ? 0
                                             : mm.height())}));
    } else {
        p.setPen(QPen(type == QLatin1String("rect") ? QColor(Qt::black) : QColor(0, 150, 200),
                      type == QLatin1String("rect") ? 1.0 : 0.8,
                      type == QLatin1String("rect") ? Qt::SolidLine : Qt::DashLine));
        p.setBrush(type == QLatin1String("rect") ? QColor(Qt::transparent)
                                                 : QColor(0, 150, 200, 18));
        p.drawRect(r);
    }
    if (type == QLatin1String("text")) {
        const QString shown = displayText(d.value(QStringLiteral("text")).toString(),
                                          values_ ? &values_->data : nullptr,
                                          values_ ? values_->variables : report::Variables(), row);
        report::PlacedText placed;
        const QJsonObject font = d.value(QStringLiteral("font")).toObject();
        const QJsonObject base = doc_->templateValue(QStringLiteral("font")).toObject();
        placed.family =
            font.value(QStringLiteral("family"))
                .toString(base.value(QStringLiteral("family")).toString(QStringLiteral("SimSun")));
        placed.templateSize = font.value(QStringLiteral("size"))
                                  .toDouble(base.value(QStringLiteral("size")).toDouble(10));
        placed.bold = font.value(QStringLiteral("bold"))
                          .toBool(base.value(QStringLiteral("bold")).toBool(false));
        const QString align = d.value(QStringLiteral("align")).toString();
        placed.halign = align == QLatin1String("center")  ? report::HAlign::Center
                        : align == QLatin1String("right") ? report::HAlign::Right
                                                          : report::HAlign::Left;
        const QString valign = d.value(QStringLiteral("valign")).toString();
        placed.valign = valign == QLatin1String("center")   ? report::VAlign::Center
                        : valign == QLatin1String("bottom") ? report::VAlign::Bottom
                                                            : report::VAlign::Top;
        placed.wrap = d.value(QStringLiteral("wrap")).toBool();
        placed.fontSize = placed.templateSize;
        if (d.value(QStringLiteral("shrink")).toBool()) {
            report::FontSpec spec{placed.family, placed.templateSize, placed.bold};
            placed.fontSize = report::fitFontSize(
                shown, mm.size(), spec, placed.wrap, placed.flags(),
                d.value(QStringLiteral("minSize")).toDouble(std::min(6.0, placed.templateSize)));
        }
        QFont f = placed.font();
        // Points on this widget: the paper's point size times the zoom keeps
        // the text at true scale.
        f.setPointSizeF(std::max(1.0, placed.fontSize * scale() * 25.4 / logicalDpiX()));
        p.setFont(f);
        const report::Cells cells = itemCells(d);
        if (cells.count > 0) {
            paintCells(p, mm, cells, shown);
        } else {
            p.setPen(values_ ? QColor(Qt::black) : QColor(0, 70, 140));
            p.drawText(r, placed.flags(), shown);
        }
    }
    p.setOpacity(1.0);
}

void DesignCanvas::paintCells(QPainter& p, const QRectF& mm, const report::Cells& cells,
                              const QString& shown) {
    p.setPen(QPen(QColor(0, 150, 200), 0.8, Qt::DotLine));
    for (int k = 1; k < cells.count; ++k)
        p.drawLine(toWidget({mm.x() + k * cells.pitch, mm.top()}),
                   toWidget({mm.x() + k * cells.pitch, mm.bottom()}));
    // Field names do not go into cells; only values (or literal text) do.
    if (!values_ && shown.contains(u'[')) {
        p.setPen(QColor(0, 70, 140));
        p.drawText(widgetRect(mm), Qt::AlignCenter, shown);
        return;
    }
    const report::CellText text = report::cellText(cells, shown);
    if (text.chars.size() > cells.count) {
        // Too many characters: nothing of it would print.
        p.setPen(QPen(Qt::red, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(widgetRect(mm));
        return;
    }
    p.setPen(values_ ? QColor(Qt::black) : QColor(0, 70, 140));
    for (int k = 0; k < text.chars.size(); ++k)
        p.drawText(widgetRect(QRectF(mm.x() + (text.firstCell + k) * cells.pitch, mm.y(),
                                     cells.pitch, mm.height())),
                   Qt::AlignCenter, text.chars.at(k));
}

void DesignCanvas::pickTwoPoints(std::function<void(const QPointF&, const QPointF&)> done) {
    pickDone_ = std::move(done);
    picked_.clear();
    setCursor(Qt::CrossCursor);
    setFocus();
    update();
}

void DesignCanvas::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() == Qt::RightButton && !pickDone_) {
        // The context menu acts on the item under the pointer.
        const int hit = doc_->itemAt(toMm(event->position()));
        if (hit >= 0 && !doc_->selection().contains(hit))
            doc_->setSelection({hit});
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF pos = event->position();
    if (pickDone_) {
        picked_.append(toMm(pos));
        update();
        if (picked_.size() == 2) {
            const auto done = std::exchange(pickDone_, {});
            const QList<QPointF> points = std::exchange(picked_, {});
            unsetCursor();
            update();
            done(points.at(0), points.at(1));
        }
        return;
    }
    pressMm_ = toMm(pos);
    handle_ = handleAt(pos);
    if (handle_ >= 0) {
        drag_ = Drag::Resize;
        startRect_ = doc_->itemRect(doc_->selection().first());
        dragKey_ = nextDragKey();
        return;
    }
    const int hit = doc_->itemAt(pressMm_);
    if (hit < 0) {
        if (!(event->modifiers() & Qt::ControlModifier))
            doc_->setSelection({});
        drag_ = Drag::Rubber;
        rubberEnd_ = pressMm_;
        return;
    }
    QList<int> sel = doc_->selection();
    if (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (sel.contains(hit))
            sel.removeAll(hit);
        else
            sel.append(hit);
        doc_->setSelection(sel);
        drag_ = Drag::None;
        return;
    }
    if (!sel.contains(hit))
        doc_->setSelection({hit});
    else if (sel.first() != hit) {
        sel.removeAll(hit);
        sel.prepend(hit);
        doc_->setSelection(sel);
    }
    drag_ = Drag::Move;
    startRect_ = doc_->itemRect(hit);
    dragKey_ = nextDragKey();
}

void DesignCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF mm = toMm(event->position());
    emit cursorMoved(mm);
    if (pickDone_)
        return;
    if (drag_ == Drag::None) {
        const int h = handleAt(event->position());
        setCursor(h == 0 || h == 4        ? Qt::SizeFDiagCursor
                  : h == 2 || h == 6      ? Qt::SizeBDiagCursor
                  : h == 1 || h == 5      ? Qt::SizeVerCursor
                  : h == 3 || h == 7      ? Qt::SizeHorCursor
                  : doc_->itemAt(mm) >= 0 ? Qt::SizeAllCursor
                                          : Qt::ArrowCursor);
        return;
    }
    const QPointF delta = mm - pressMm_;
    if (drag_ == Drag::Rubber) {
        rubberEnd_ = mm;
        update();
    } else if (drag_ == Drag::Move && !doc_->selection().isEmpty()) {
        // The primary item's corner follows the mouse onto the grid; the
        // others keep their distance to it.
        // Alt drags freely: no grid, no guides.
        const bool free = event->modifiers() & Qt::AltModifier;
        const double grid = free ? 0.0 : grid_;
        QPointF target(snap(startRect_.x() + delta.x(), grid),
                       snap(startRect_.y() + delta.y(), grid));
        guides_.clear();
        if (!free) {
            QList<QRectF> others;
            for (int i = 0; i < doc_->itemCount(); ++i)
                if (!doc_->selection().contains(i))
                    others.append(doc_->itemRect(i));
            const GuideSnap lined =
                snapToOthers(QRectF(target, startRect_.size()), others, kGuidePx / scale());
            target += lined.shift;
            guides_ = lined.guides;
        }
        const QPointF now = doc_->itemRect(doc_->selection().first()).topLeft();
        if (target != now)
            doc_->moveSelection(target.x() - now.x(), target.y() - now.y(), dragKey_);
    } else if (drag_ == Drag::Resize) {
        QRectF r = startRect_;
        const double minSize = 0.5;
        if (handle_ == 0 || handle_ == 6 || handle_ == 7)
            r.setLeft(std::min(snap(r.left() + delta.x(), grid_), r.right() - minSize));
        if (handle_ >= 2 && handle_ <= 4)
            r.setRight(std::max(snap(r.right() + delta.x(), grid_), r.left() + minSize));
        if (handle_ <= 2)
            r.setTop(std::min(snap(r.top() + delta.y(), grid_), r.bottom() - minSize));
        if (handle_ >= 4 && handle_ <= 6)
            r.setBottom(std::max(snap(r.bottom() + delta.y(), grid_), r.top() + minSize));
        doc_->setItemRect(doc_->selection().first(), r, dragKey_);
    }
}

void DesignCanvas::mouseReleaseEvent(QMouseEvent* event) {
    guides_.clear();
    if (drag_ == Drag::Rubber) {
        QList<int> sel =
            (event->modifiers() & Qt::ControlModifier) ? doc_->selection() : QList<int>();
        for (int i : doc_->itemsIn(QRectF(pressMm_, toMm(event->position()))))
            if (!sel.contains(i))
                sel.append(i);
        doc_->setSelection(sel);
    }
    drag_ = Drag::None;
    update();
}

void DesignCanvas::keyPressEvent(QKeyEvent* event) {
    if (pickDone_ && event->key() == Qt::Key_Escape) {
        pickDone_ = {};
        picked_.clear();
        unsetCursor();
        update();
        return;
    }
    const double step = (event->modifiers() & Qt::ShiftModifier) ? 1.0 : 0.1;
    switch (event->key()) {
    case Qt::Key_Left:
        doc_->moveSelection(-step, 0);
        break;
    case Qt::Key_Right:
        doc_->moveSelection(step, 0);
        break;
    case Qt::Key_Up:
        doc_->moveSelection(0, -step);
        break;
    case Qt::Key_Down:
        doc_->moveSelection(0, step);
        break;
    case Qt::Key_Delete:
        doc_->deleteSelection();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void DesignCanvas::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    emit zoomStepRequested(event->angleDelta().y() > 0 ? 1 : -1, event->position());
    event->accept();
}

} // namespace zelk::designer
