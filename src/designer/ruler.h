#pragma once

#include <QWidget>

namespace zelk::designer {

class DesignCanvas;

// A millimetre ruler along the top or the left of the canvas's scroll area.
// It reads the canvas's position and zoom on every paint, so it follows
// scrolling and zooming once it is told to update.
class Ruler : public QWidget {
    Q_OBJECT

public:
    Ruler(Qt::Orientation orientation, DesignCanvas* canvas, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation orientation_;
    DesignCanvas* canvas_;
};

} // namespace zelk::designer
