#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>

namespace zelk::designer {

// Writes a template as people read it: the top level indented, each item on
// one line, fields in a fixed order (type and position first). The values are
// exactly those of the objects given.
QByteArray writeTemplateJson(const QJsonObject& root, const QJsonArray& pageItems,
                             const QJsonArray& bandItems);

} // namespace zelk::designer
