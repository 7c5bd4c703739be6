#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// Smart guides while dragging: a moving box snaps to the edges and centres of the other boxes.
namespace zelk::designer {

struct Guide {
    bool vertical = true; // a vertical line at x = at, else a horizontal one at y = at
    double at = 0.0;      // mm on the page
    bool operator==(const Guide&) const = default;
};

struct GuideSnap {
    QPointF shift; // what to add to the moving box (mm) so it lines up
    QList<Guide> guides;
};

// The nearest line-up of the moving box's left, centre or right with another box's left,
// centre or right (and the same for top, middle, bottom) within tolerance mm, across and down
// separately; no shift in a direction where nothing is that close.
GuideSnap snapToOthers(const QRectF& moving, const QList<QRectF>& others, double tolerance);

} // namespace zelk::designer
