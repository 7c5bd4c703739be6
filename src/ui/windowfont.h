#pragma once

#include <QFont>

namespace zelk::ui {

// The font of every window and dialog: 宋体 (SimSun) at 15 pixels, with the Song faces Debian
// ships standing in for it.
QFont windowFont();

} // namespace zelk::ui
