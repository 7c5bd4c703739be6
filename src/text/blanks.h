#pragma once

#include <QString>

namespace zelk::text {

// A blank is a space or a control character (everything up to U+0020). The program trims
// blanks from the ends of every value it reads back, rewrites or sums.
constexpr bool isBlank(char16_t c) {
    return c <= 0x20;
}

// `text` without the blanks at either end.
QString trimBlanks(const QString& text);

} // namespace zelk::text
