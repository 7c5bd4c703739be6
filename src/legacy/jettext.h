#pragma once

#include <QByteArrayView>
#include <QString>

namespace zelk::legacy {

// The text of a Jet 4 Text or Memo value from its stored bytes: UTF-16LE code units, or, when
// the value begins with the marker FF FE, Jet's "Unicode compression", where runs of one byte
// per character (the high byte being zero) and runs of two bytes per character alternate at
// each zero byte. Surrogate pairs stay pairs, so characters outside the Basic Multilingual
// Plane come through whole (libmdb's own conversion turns each code unit into "?").
QString decodeJet4Text(QByteArrayView stored);

} // namespace zelk::legacy
