#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace zelk::store::searchtokens {

// The history search finds a text anywhere in five columns joined, character for character,
// ASCII letters in either case (SQLite's LIKE). The search index stores for every receipt the
// joined text turned into tokens that FTS4's "simple" tokenizer keeps as they are:
//
// - The text is read as code points exactly as LIKE reads it (same handling of broken UTF-8).
// - Each code point maps to one token character: ASCII letters lower-cased, digits as they are,
//   other ASCII characters (punctuation, blanks, control characters) to U+E000 + their code, so
//   that they are tokens too rather than separators; everything else stays itself.
// - Position i gives one token: the mapped character i, followed by the mapped character i+1
//   when both are ASCII. ASCII alone has too few distinct characters to narrow anything; pairs
//   do. Chinese characters are selective enough on their own.
//
// A search text then becomes a phrase of the same tokens (its last token is left out when it
// is ASCII, because it depends on the character after the match). Wherever LIKE finds the text,
// the phrase matches, so the index never loses a row; the LIKE stays as the final check.

// The index text for a receipt's joined columns (UTF-8 as the database holds them).
QByteArray indexText(QByteArrayView joinedUtf8);

// The FTS4 MATCH expression for a search text (UTF-8, already trimmed), or empty when the text
// gives no token the index can narrow by (e.g. one ASCII character).
QByteArray matchExpression(QByteArrayView searchUtf8);

} // namespace zelk::store::searchtokens
