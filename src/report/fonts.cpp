#include "report/fonts.h"

#include <QFont>
#include <QStringList>

namespace zelk::report {

void initFonts() {
    static const bool done = [] {
        // HanaMinB (fonts-hanazono) last: the characters of CJK Extension B (𠀀 U+20000 on),
        // which neither of the others has.
        const QStringList song{QStringLiteral("AR PL UMing CN"),
                               QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("HanaMinB")};
        QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
        QFont::insertSubstitutions(QStringLiteral("宋体"), song);
        return true;
    }();
    (void)done;
}

} // namespace zelk::report
