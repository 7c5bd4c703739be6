#include "report/fonts.h"

#include <QFont>
#include <QStringList>

namespace zelk::report {

void initFonts() {
    static const bool done = [] {
        const QStringList song{QStringLiteral("AR PL UMing CN"),
                               QStringLiteral("WenQuanYi Micro Hei")};
        QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
        QFont::insertSubstitutions(QStringLiteral("宋体"), song);
        return true;
    }();
    (void)done;
}

} // namespace zelk::report
