#pragma once

#include "designer/smartguides.h"
#include "report/printablearea.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <functional>

namespace zelk::report {
struct Cells;
} // namespace zelk::report

namespace zelk::designer {

class TemplateDocument;
struct DesignValues;

// The paper at true scale (zoom 1.0 is real size on a screen of the logical
// DPI) with the background form, the grid and every item as its box. It
// draws the document and turns mouse and keys into document edits.
class DesignCanvas : public QWidget {
    Q_OBJECT

public:
    explicit DesignCanvas(TemplateDocument* doc, QWidget* parent = nullptr);

    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    // Lays the canvas out again after the screen's calibration changed.
    void refreshScale();
    static constexpr double kMinZoom = 0.2;
    static constexpr double kMaxZoom = 8.0;

    // Snapping step of mouse moves and resizes, in mm; 0 turns snapping off.
    double grid() const { return grid_; }
    void setGrid(double mm);
    void setGridVisible(bool visible);
    // The values shown in the boxes; null shows each field by its Chinese name.
    void setValues(const DesignValues* values);

    // The margins the chosen printer cannot print: shaded, and items reaching into them
    // outlined in orange.
    void setPrintableArea(const report::PrintableArea& area);

    // The next two clicks on the paper are points of the two-point fit: they are marked and
    // handed to done (mm) after the second. Esc gives up.
    void pickTwoPoints(std::function<void(const QPointF&, const QPointF&)> done);

    // Pixels per millimetre at the current zoom.
    double scale() const;
    // Widget position of a point on the paper (mm), and back.
    QPointF toWidget(const QPointF& mm) const;
    QPointF toMm(const QPointF& widget) const;
    static constexpr int kMargin = 16; // px of desk around the paper

    QSize sizeHint() const override;

signals:
    void zoomChanged(double zoom);
    void zoomStepRequested(int steps, const QPointF& at); // Ctrl+wheel, at the pointer
    void cursorMoved(const QPointF& mm);                  // the pointer's place on the paper

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    enum class Drag { None, Move, Resize, Rubber };
    void paintItem(QPainter& p, int i, double yOffset, int row, bool faint);
    // A boxed text: the cell borders and one character centred in each cell, or a red
    // outline when the characters outnumber the cells.
    void paintCells(QPainter& p, const QRectF& mm, const report::Cells& cells,
                    const QString& shown);
    QRectF widgetRect(const QRectF& mm) const;
    // The handle (0..7, clockwise from top-left) under the point, or -1.
    int handleAt(const QPointF& widget) const;
    QList<QPointF> handles(const QRectF& mm) const;

    TemplateDocument* doc_;
    const DesignValues* values_ = nullptr;
    double zoom_ = 1.0;
    double grid_ = 0.5;
    bool gridVisible_ = true;

    Drag drag_ = Drag::None;
    int dragKey_ = 0;
    int handle_ = -1;
    QPointF pressMm_;
    QRectF startRect_; // the primary item's box when the drag began
    QPointF rubberEnd_;
    report::PrintableArea printable_;
    std::function<void(const QPointF&, const QPointF&)> pickDone_;
    QList<QPointF> picked_;
    QList<Guide> guides_;                   // shown while a drag lines up with other items
    static constexpr double kGuidePx = 5.0; // how near (screen pixels) a guide catches
    QString backgroundFile_;                // the image file background_ was read from
    QImage background_;
};

} // namespace zelk::designer
