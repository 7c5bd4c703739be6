#pragma once

#include <QDialog>

class QLabel;

namespace zelk::settings {

// 关于...: the program's name and version on a tooltip-coloured panel with the program icon.
// Fixed size, centred on the screen, closed only through the close box of its title bar.
class TFrmAboutUs : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAboutUs(QWidget* parent = nullptr);

    // The title shown in fuchsia bold, and the line under it.
    static QString titleText();
    static QString detailText();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createLayout();
    void centreOnScreen();
};

} // namespace zelk::settings
