#include "appfont.h"

#include <QApplication>
#include <QFont>

namespace zelk::app {

void setUpApplicationFont() {
    const QString family = QStringLiteral("SimSun");
    QFont::insertSubstitutions(
        family, {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
    QFont font(family);
    font.setPixelSize(15);
    QApplication::setFont(font);
}

} // namespace zelk::app
