#include "aboutdialog.h"

namespace zelk::settings {

TFrmAboutUs::TFrmAboutUs(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于..."));
}

} // namespace zelk::settings
