#pragma once

#include <QDialog>

namespace zelk::settings {

// 关于...: the program's name and version.
class TFrmAboutUs : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAboutUs(QWidget* parent = nullptr);
};

} // namespace zelk::settings
