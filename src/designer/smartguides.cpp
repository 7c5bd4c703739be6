#include "designer/smartguides.h"

#include <array>
#include <cmath>

namespace zelk::designer {

namespace {

// The best shift of one direction: the moving box's three lines against every other box's.
void snapOne(const std::array<double, 3>& mine, const QList<std::array<double, 3>>& theirs,
             double tolerance, bool vertical, double* shift, QList<Guide>* guides) {
    double best = tolerance + 1e-9;
    for (const auto& other : theirs)
        for (double target : other)
            for (double line : mine)
                if (std::abs(target - line) < best)
                    best = std::abs(target - line), *shift = target - line;
    if (best > tolerance)
        return;
    // Every line that meets after the shift gets its guide.
    for (const auto& other : theirs)
        for (double target : other)
            for (double line : mine)
                if (std::abs(target - (line + *shift)) < 1e-6) {
                    const Guide guide{vertical, target};
                    if (!guides->contains(guide))
                        guides->append(guide);
                }
}

} // namespace

GuideSnap snapToOthers(const QRectF& moving, const QList<QRectF>& others, double tolerance) {
    QList<std::array<double, 3>> across, down;
    for (const QRectF& r : others) {
        across.append({r.left(), r.center().x(), r.right()});
        down.append({r.top(), r.center().y(), r.bottom()});
    }
    GuideSnap snap;
    double dx = 0, dy = 0;
    snapOne({moving.left(), moving.center().x(), moving.right()}, across, tolerance, true, &dx,
            &snap.guides);
    snapOne({moving.top(), moving.center().y(), moving.bottom()}, down, tolerance, false, &dy,
            &snap.guides);
    snap.shift = QPointF(dx, dy);
    return snap;
}

} // namespace zelk::designer
