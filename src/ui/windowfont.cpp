#include "ui/windowfont.h"

#include "report/fonts.h"

namespace zelk::ui {

QFont windowFont() {
    report::initFonts();
    QFont font(QStringLiteral("SimSun"));
    font.setPixelSize(15);
    return font;
}

} // namespace zelk::ui
