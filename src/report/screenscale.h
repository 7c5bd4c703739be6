#pragma once

#include <QDialog>
#include <QString>

class QScreen;
class QSlider;
class QLabel;

namespace zelk::report {

// True scale on screen. A screen's stated resolution is often not its real one, so "100 %"
// would not be the paper's size. The clerk calibrates each screen once by stretching a drawn
// 100 mm bar to the length a ruler held to the screen shows; the factor is kept per screen (its
// name and size) in the user's settings and multiplies the stated resolution everywhere the
// program shows paper (preview and designer).
class ScreenScale {
public:
    static constexpr double kMin = 0.5;
    static constexpr double kMax = 2.0;

    // The screen's key: its name and size in pixels (another monitor on the same port differs).
    static QString screenKey(const QScreen* screen);
    // The stored factor for the screen; 1 when it was never calibrated.
    static double factor(const QScreen* screen);
    // Stores the factor (kept within kMin..kMax); 1 removes it.
    static void setFactor(const QScreen* screen, double factor);
    // The factor from a bar drawn drawnPx long for 100 mm that the clerk stretched to
    // stretchedPx to match the ruler.
    static double fromBar(double drawnPx, double stretchedPx);
};

// "屏幕校准": a 100 mm bar with a slider that stretches it; OK stores the factor for the screen
// the dialog is on.
class ScreenCalibrationDialog : public QDialog {
    Q_OBJECT

public:
    explicit ScreenCalibrationDialog(QWidget* parent = nullptr);
    void accept() override;
    // The bar's length at the stated resolution, and as stretched now (logical pixels).
    double drawnPx() const;
    double stretchedPx() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* bar_ = nullptr;
    QSlider* slider_ = nullptr; // tenths of a percent of the drawn length
    QLabel* value_ = nullptr;
};

} // namespace zelk::report
