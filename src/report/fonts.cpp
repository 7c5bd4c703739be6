#include "fonts.h"

#include <QFont>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace report {

void initFonts() {
    static const bool done = [] {
        const QStringList song{u"AR PL UMing CN"_s, u"WenQuanYi Micro Hei"_s};
        QFont::insertSubstitutions(u"SimSun"_s, song);
        QFont::insertSubstitutions(u"宋体"_s, song);
        return true;
    }();
    (void)done;
}

} // namespace report
