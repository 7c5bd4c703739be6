#include "designer/templatewriter.h"

#include <QJsonDocument>
#include <QStringList>

namespace zelk::designer {

namespace {

// Fields in the order a reader expects them; others follow alphabetically.
const QStringList& fieldOrder() {
    static const QStringList order{QStringLiteral("format"),
                                   QStringLiteral("version"),
                                   QStringLiteral("name"),
                                   QStringLiteral("paper"),
                                   QStringLiteral("printerOffset"),
                                   QStringLiteral("background"),
                                   QStringLiteral("type"),
                                   QStringLiteral("image"),
                                   QStringLiteral("family"),
                                   QStringLiteral("x"),
                                   QStringLiteral("y"),
                                   QStringLiteral("x1"),
                                   QStringLiteral("y1"),
                                   QStringLiteral("x2"),
                                   QStringLiteral("y2"),
                                   QStringLiteral("width"),
                                   QStringLiteral("height"),
                                   QStringLiteral("rotation"),
                                   QStringLiteral("orientation"),
                                   QStringLiteral("pitch"),
                                   QStringLiteral("rowsPerPage"),
                                   QStringLiteral("count"),
                                   QStringLiteral("fill"),
                                   QStringLiteral("symbol"),
                                   QStringLiteral("text"),
                                   QStringLiteral("align"),
                                   QStringLiteral("valign"),
                                   QStringLiteral("font"),
                                   QStringLiteral("size"),
                                   QStringLiteral("bold"),
                                   QStringLiteral("wrap"),
                                   QStringLiteral("shrink"),
                                   QStringLiteral("minSize"),
                                   QStringLiteral("cells"),
                                   QStringLiteral("lineWidth"),
                                   QStringLiteral("items"),
                                   QStringLiteral("band")};
    return order;
}

QStringList orderedKeys(const QJsonObject& obj) {
    QStringList keys;
    for (const QString& k : fieldOrder())
        if (obj.contains(k))
            keys.append(k);
    for (const QString& k : obj.keys())
        if (!keys.contains(k))
            keys.append(k);
    return keys;
}

QByteArray scalar(const QJsonValue& v) {
    QByteArray s = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return s.mid(1, s.size() - 2);
}

QByteArray inlineValue(const QJsonValue& v) {
    if (v.isObject()) {
        const QJsonObject obj = v.toObject();
        QByteArrayList fields;
        for (const QString& k : orderedKeys(obj))
            fields.append(scalar(k) + ": " + inlineValue(obj.value(k)));
        return fields.isEmpty() ? QByteArray("{}") : "{ " + fields.join(", ") + " }";
    }
    if (v.isArray()) {
        QByteArrayList values;
        for (const QJsonValue& e : v.toArray())
            values.append(inlineValue(e));
        return "[" + values.join(", ") + "]";
    }
    return scalar(v);
}

QByteArray itemList(const QJsonArray& items, const QByteArray& indent) {
    if (items.isEmpty())
        return "[]";
    QByteArrayList lines;
    for (const QJsonValue& item : items)
        lines.append(indent + "  " + inlineValue(item));
    return "[\n" + lines.join(",\n") + "\n" + indent + "]";
}

} // namespace

QByteArray writeTemplateJson(const QJsonObject& root, const QJsonArray& pageItems,
                             const QJsonArray& bandItems) {
    QByteArrayList fields;
    for (const QString& k : orderedKeys(root)) {
        if (k == QLatin1String("band")) {
            const QJsonObject band = root.value(k).toObject();
            QByteArrayList bandFields;
            for (const QString& bk : orderedKeys(band))
                if (bk != QLatin1String("items"))
                    bandFields.append("    " + scalar(bk) + ": " + inlineValue(band.value(bk)));
            bandFields.append("    \"items\": " + itemList(bandItems, "    "));
            fields.append("  \"band\": {\n" + bandFields.join(",\n") + "\n  }");
        } else if (k != QLatin1String("items")) {
            fields.append("  " + scalar(k) + ": " + inlineValue(root.value(k)));
        }
    }
    // Page items go before the band, after the other top-level fields.
    QByteArray items = "  \"items\": " + itemList(pageItems, "  ");
    qsizetype at = fields.size();
    if (root.contains(QStringLiteral("band")))
        at = fields.size() - 1;
    fields.insert(at, items);
    return "{\n" + fields.join(",\n") + "\n}\n";
}

} // namespace zelk::designer
