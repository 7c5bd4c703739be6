#include "store/searchtokens.h"

#include <vector>

namespace zelk::store::searchtokens {

namespace {

// The payload bits of a UTF-8 lead byte (0xC0..0xFF), as SQLite reads them.
quint32 leadPayload(quint8 lead) {
    if (lead < 0xE0)
        return lead & 0x1F;
    if (lead < 0xF0)
        return lead & 0x0F;
    if (lead < 0xF8)
        return lead & 0x07;
    if (lead < 0xFC)
        return lead & 0x03;
    if (lead < 0xFE)
        return lead & 0x01;
    return 0;
}

// Code points the way SQLite's LIKE reads text: a lead byte takes every continuation byte that
// follows; overlong forms, surrogates and U+FFFE/U+FFFF read as U+FFFD; a stray continuation
// byte reads as its own value. Matching the engine exactly keeps the index a superset even on
// text another program stored broken.
std::vector<quint32> codePoints(QByteArrayView utf8) {
    std::vector<quint32> out;
    out.reserve(std::size_t(utf8.size()));
    const auto* p = reinterpret_cast<const quint8*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        quint32 c = *p++;
        if (c >= 0xC0) {
            c = leadPayload(quint8(c));
            while (p < end && (*p & 0xC0) == 0x80)
                c = (c << 6) + (*p++ & 0x3F);
            if (c < 0x80 || (c & 0xFFFFF800) == 0xD800 || (c & 0xFFFFFFFE) == 0xFFFE)
                c = 0xFFFD;
        }
        out.push_back(c);
    }
    return out;
}

bool isAscii(quint32 c) {
    return c < 0x80;
}

void appendMapped(QByteArray& out, quint32 c) {
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (alnum) {
            out.append(char(c));
            return;
        }
        c += 0xE000;
    }
    if (c > 0x10FFFF)
        c = 0xFFFD; // not a character; a shared token only adds candidates, and the token text
                    // stays valid UTF-8 (it travels through QString)
    if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
    }
    out.append(char(0x80 | (c & 0x3F)));
}

void appendToken(QByteArray& out, const std::vector<quint32>& text, std::size_t i) {
    appendMapped(out, text[i]);
    if (isAscii(text[i]) && i + 1 < text.size() && isAscii(text[i + 1]))
        appendMapped(out, text[i + 1]);
}

// FTS4 reads a phrase's documents incrementally, in docid order, for up to four tokens. A longer
// text uses its first four: a second phrase that must match as well narrows little and, when
// its tokens are common (digits), costs more than it saves.
constexpr std::size_t tokensPerPhrase = 4;
constexpr std::size_t maxPhrases = 1;

} // namespace

QByteArray indexText(QByteArrayView joinedUtf8) {
    const std::vector<quint32> text = codePoints(joinedUtf8);
    QByteArray out;
    out.reserve(qsizetype(text.size()) * 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i)
            out.append(' ');
        appendToken(out, text, i);
    }
    return out;
}

QByteArray matchExpression(QByteArrayView searchUtf8) {
    // LIKE reads its pattern only up to a NUL character; so does the index.
    const qsizetype nul = searchUtf8.indexOf('\0');
    const std::vector<quint32> text = codePoints(nul < 0 ? searchUtf8 : searchUtf8.first(nul));
    std::size_t tokens = text.size();
    // The last character's token depends on the character after the match when it is ASCII.
    if (tokens && isAscii(text.back()))
        --tokens;
    tokens = std::min(tokens, tokensPerPhrase * maxPhrases);
    QByteArray out;
    for (std::size_t i = 0; i < tokens; ++i) {
        const bool opens = i % tokensPerPhrase == 0;
        if (opens)
            out.append(i ? " \"" : "\"");
        else
            out.append(' ');
        appendToken(out, text, i);
        if (i + 1 == tokens || (i + 1) % tokensPerPhrase == 0)
            out.append('"');
    }
    return out;
}

} // namespace zelk::store::searchtokens
