#include "text/blanks.h"

namespace zelk::text {

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin).unicode()))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1).unicode()))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace zelk::text
