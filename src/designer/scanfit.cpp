#include "designer/scanfit.h"

#include <QLineF>

#include <cmath>
#include <numbers>

namespace zelk::designer {

namespace {

// The angle in (-180, 180] nearest to zero among angle + k * step.
double nearestTurn(double angle, double step) {
    double a = std::remainder(angle, step);
    if (a <= -step / 2)
        a += step;
    return a;
}

} // namespace

QTransform placementTransform(const Placement& placement, const QSize& imagePx) {
    const QPointF centre(placement.x + placement.width / 2, placement.y + placement.height / 2);
    QTransform t; // the last step written here is the first applied to a point
    t.translate(centre.x(), centre.y());
    t.rotate(placement.rotation);
    t.translate(-centre.x(), -centre.y());
    t.translate(placement.x, placement.y);
    t.scale(placement.width / std::max(1, imagePx.width()),
            placement.height / std::max(1, imagePx.height()));
    return t;
}

Placement fitByTwoPoints(const Placement& current, const QSize& imagePx, const QPointF& first,
                         const QPointF& second, double distanceMm, FitTurn turn,
                         const QPointF* firstOnPaper) {
    const QLineF between(first, second);
    if (between.length() < 1.0 || !(distanceMm > 0) || imagePx.isEmpty())
        return current;
    const double mmPerPx = distanceMm / between.length();
    // Where the first point goes: where the clerk says, else where it lies now.
    const QPointF anchor =
        firstOnPaper ? *firstOnPaper : placementTransform(current, imagePx).map(first);

    Placement fitted = current;
    fitted.width = imagePx.width() * mmPerPx;
    fitted.height = imagePx.height() * mmPerPx;
    // The line's direction in the image, in degrees clockwise from the x axis (y points down).
    const double direction = std::atan2(between.dy(), between.dx()) * 180.0 / std::numbers::pi;
    if (turn == FitTurn::Level)
        fitted.rotation = nearestTurn(-direction, 180.0);
    else if (turn == FitTurn::Upright)
        fitted.rotation = nearestTurn(90.0 - direction, 180.0);
    // The first point relative to the box's centre, scaled and turned, fixes the box's corner.
    const QPointF half(fitted.width / 2, fitted.height / 2);
    QTransform turnOnly;
    turnOnly.rotate(fitted.rotation);
    const QPointF fromCentre = turnOnly.map(first * mmPerPx - half);
    const QPointF corner = anchor - half - fromCentre;
    fitted.x = corner.x();
    fitted.y = corner.y();
    return fitted;
}

Placement roundedPlacement(const Placement& p) {
    const auto mm = [](double v) { return std::round(v * 100.0) / 100.0; };
    return {mm(p.x), mm(p.y), mm(p.width), mm(p.height), std::round(p.rotation * 1000.0) / 1000.0};
}

double fitResidual(const Placement& fitted, const QSize& imagePx, const QPointF& first,
                   const QPointF& second) {
    const QTransform exact = placementTransform(fitted, imagePx);
    const QTransform kept = placementTransform(roundedPlacement(fitted), imagePx);
    return std::max(QLineF(exact.map(first), kept.map(first)).length(),
                    QLineF(exact.map(second), kept.map(second)).length());
}

} // namespace zelk::designer
