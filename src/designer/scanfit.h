#pragma once

#include <QPointF>
#include <QSize>
#include <QTransform>

namespace zelk::designer {

// Where a scanned form lies on the page: the image stretched over the box (x, y, width,
// height, mm) and then turned by rotation degrees (clockwise on the page) about the box's
// centre. This is the template's "background" as the file writes it.
struct Placement {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    double rotation = 0.0;
};

// Maps a pixel of an image of imagePx pixels to its place on the page (mm).
QTransform placementTransform(const Placement& placement, const QSize& imagePx);

// What the two points should become once fitted.
enum class FitTurn {
    Keep,    // keep the present rotation
    Level,   // turn the scan so the two points lie on one horizontal line
    Upright, // turn the scan so the two points lie on one vertical line
};

// Fits a scan at true scale by two of its points (image pixels) whose real distance the clerk
// knows (distanceMm): the scan is scaled so that the points lie that far apart, turned as the
// turn asks (by the smallest angle that does it), and moved so the first point lands on
// firstOnPaper (mm on the page), or stays where it lay when that is null. Scans have square
// pixels, so one scale serves both directions. Returns the current placement unchanged for two
// points closer than a pixel or a distance not above 0.
Placement fitByTwoPoints(const Placement& current, const QSize& imagePx, const QPointF& first,
                         const QPointF& second, double distanceMm, FitTurn turn,
                         const QPointF* firstOnPaper = nullptr);

// How far (mm) either point lies from where the fit wanted it once the placement is kept as the
// template keeps it (lengths to 0.01 mm, the angle to 0.001 degree): what the clerk can expect
// of the fit.
double fitResidual(const Placement& fitted, const QSize& imagePx, const QPointF& first,
                   const QPointF& second);

// The placement as the template file keeps it.
Placement roundedPlacement(const Placement& placement);

} // namespace zelk::designer
