#include "designer/ruler.h"

#include "designer/designcanvas.h"

#include <QPainter>

#include <cmath>

namespace zelk::designer {

namespace {
constexpr int kThickness = 22;
}

Ruler::Ruler(Qt::Orientation orientation, DesignCanvas* canvas, QWidget* parent)
    : QWidget(parent), orientation_(orientation), canvas_(canvas) {
    setObjectName(orientation == Qt::Horizontal ? QStringLiteral("horizontalRuler")
                                                : QStringLiteral("verticalRuler"));
    if (orientation == Qt::Horizontal)
        setFixedHeight(kThickness);
    else
        setFixedWidth(kThickness);
}

QSize Ruler::sizeHint() const {
    return {kThickness, kThickness};
}

void Ruler::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().windowText().color());
    QFont f = font();
    f.setPixelSize(9);
    p.setFont(f);
    const bool horizontal = orientation_ == Qt::Horizontal;
    // Where millimetre 0 of the paper lies in this ruler's coordinates.
    const QPointF origin = canvas_->mapTo(window(), canvas_->toWidget({0, 0})) -
                           QPointF(mapTo(window(), QPoint(0, 0)));
    const double zero = horizontal ? origin.x() : origin.y();
    const double scale = canvas_->scale();
    const int length = horizontal ? width() : height();
    // Ticks every mm when there is room, labels every 10 mm.
    const int tick = scale >= 3 ? 1 : scale >= 0.8 ? 5 : 10;
    const int first = int(std::floor(-zero / scale / tick)) * tick;
    for (int mm = first; zero + mm * scale <= length; mm += tick) {
        const double at = zero + mm * scale;
        const int len = mm % 10 == 0 ? kThickness - 4 : mm % 5 == 0 ? 8 : 4;
        if (horizontal)
            p.drawLine(QPointF(at, kThickness), QPointF(at, kThickness - len));
        else
            p.drawLine(QPointF(kThickness, at), QPointF(kThickness - len, at));
        if (mm % 10 == 0 && (mm % 50 == 0 || scale >= 1.5)) {
            if (horizontal) {
                p.drawText(QPointF(at + 2, 9), QString::number(mm));
            } else {
                p.save();
                p.translate(9, at + 2);
                p.rotate(90);
                p.drawText(QPointF(0, 0), QString::number(mm));
                p.restore();
            }
        }
    }
}

} // namespace zelk::designer
