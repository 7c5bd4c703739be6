#include "legacy/jettext.h"

namespace zelk::legacy {

QString decodeJet4Text(QByteArrayView stored) {
    const auto byteAt = [&](qsizetype i) { return static_cast<unsigned char>(stored[i]); };
    const qsizetype size = stored.size();
    QString text;
    text.reserve(size / 2 + 1);
    qsizetype i = 0;
    bool oneByte = false;
    if (size >= 2 && byteAt(0) == 0xff && byteAt(1) == 0xfe) {
        oneByte = true;
        i = 2;
    }
    const bool compressed = oneByte;
    while (i < size) {
        if (compressed && byteAt(i) == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            text.append(QChar(char16_t(byteAt(i))));
            ++i;
        } else if (i + 1 < size) {
            text.append(QChar(char16_t(byteAt(i) | (byteAt(i + 1) << 8))));
            i += 2;
        } else {
            break; // an odd trailing byte is no character
        }
    }
    return text;
}

} // namespace zelk::legacy
