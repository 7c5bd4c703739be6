#include "template.h"

#include "reporterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace report {

QSizeF Template::pageSize() const {
    return orientation == QPageLayout::Landscape ? paperSize.transposed() : paperSize;
}

bool parseItemText(const QString& text, QList<TextPart>* parts, QString* error) {
    parts->clear();
    QString literal;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c != u'[') {
            literal += c;
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text.at(i + 1) == u'[') {
            literal += u'[';
            i += 2;
            continue;
        }
        const qsizetype close = text.indexOf(u']', i + 1);
        if (close < 0) {
            *error = u"“[” 没有对应的 “]”（要印出 “[” 请写 “[[”）"_s;
            return false;
        }
        const QString name = text.mid(i + 1, close - i - 1);
        if (name.isEmpty()) {
            *error = u"“[]” 中缺少字段名或变量名"_s;
            return false;
        }
        if (!literal.isEmpty()) {
            parts->append({false, literal});
            literal.clear();
        }
        parts->append({true, name});
        i = close + 1;
    }
    if (!literal.isEmpty())
        parts->append({false, literal});
    return true;
}

namespace {

const QString kFormat = u"zelk-report-template"_s;

// Walks the JSON document, checking every field, and raises TemplateError
// with the file name and the dotted path of the offending field.
class Reader {
public:
    explicit Reader(QString path) : m_path(std::move(path)) {}

    [[noreturn]] void fail(const QString& problem) const {
        throw TemplateError(
            u"报表模板 %1 有误：%2"_s.arg(QDir::toNativeSeparators(m_path), problem));
    }

    void checkKeys(const QJsonObject& obj, const QString& where,
                   std::initializer_list<QLatin1StringView> allowed) const {
        for (auto it = obj.begin(); it != obj.end(); ++it) {
            bool known = false;
            for (const auto& a : allowed)
                known = known || it.key() == a;
            if (!known)
                fail(u"未知字段 “%1”"_s.arg(join(where, it.key())));
        }
    }

    static QString join(const QString& where, const QString& key) {
        return where.isEmpty() ? key : where + u'.' + key;
    }

    QJsonValue require(const QJsonObject& obj, const QString& where, const QString& key) const {
        if (!obj.contains(key))
            fail(u"缺少字段 “%1”"_s.arg(join(where, key)));
        return obj.value(key);
    }

    QJsonObject object(const QJsonValue& v, const QString& name) const {
        if (!v.isObject())
            fail(u"字段 “%1” 应为对象 {...}"_s.arg(name));
        return v.toObject();
    }

    QJsonArray array(const QJsonValue& v, const QString& name) const {
        if (!v.isArray())
            fail(u"字段 “%1” 应为数组 [...]"_s.arg(name));
        return v.toArray();
    }

    QString string(const QJsonValue& v, const QString& name) const {
        if (!v.isString())
            fail(u"字段 “%1” 应为文本"_s.arg(name));
        return v.toString();
    }

    bool boolean(const QJsonValue& v, const QString& name) const {
        if (!v.isBool())
            fail(u"字段 “%1” 应为 true 或 false"_s.arg(name));
        return v.toBool();
    }

    enum class Range { Any, NotNegative, Positive };

    double number(const QJsonValue& v, const QString& name, Range range) const {
        if (!v.isDouble())
            fail(u"字段 “%1” 应为数字"_s.arg(name));
        const double d = v.toDouble();
        if (!std::isfinite(d))
            fail(u"字段 “%1” 的值无效"_s.arg(name));
        if (range == Range::NotNegative && d < 0)
            fail(u"字段 “%1” 的值 %2 无效：不能为负数"_s.arg(name).arg(d));
        if (range == Range::Positive && d <= 0)
            fail(u"字段 “%1” 的值 %2 无效：必须大于 0"_s.arg(name).arg(d));
        return d;
    }

    double number(const QJsonObject& obj, const QString& where, const QString& key,
                  Range range) const {
        return number(require(obj, where, key), join(where, key), range);
    }

    double optNumber(const QJsonObject& obj, const QString& where, const QString& key, Range range,
                     double fallback) const {
        return obj.contains(key) ? number(obj.value(key), join(where, key), range) : fallback;
    }

    bool optBool(const QJsonObject& obj, const QString& where, const QString& key,
                 bool fallback) const {
        return obj.contains(key) ? boolean(obj.value(key), join(where, key)) : fallback;
    }

    FontSpec font(const QJsonValue& v, const QString& name, FontSpec base) const {
        const QJsonObject obj = object(v, name);
        checkKeys(obj, name, {"family"_L1, "size"_L1, "bold"_L1});
        if (obj.contains(u"family"_s)) {
            base.family = string(obj.value(u"family"_s), join(name, u"family"_s));
            if (base.family.trimmed().isEmpty())
                fail(u"字段 “%1” 不能为空"_s.arg(join(name, u"family"_s)));
        }
        base.size = optNumber(obj, name, u"size"_s, Range::Positive, base.size);
        // Far beyond any printed form; larger sizes only make text measuring crawl.
        constexpr double maxFontSize = 500;
        if (base.size > maxFontSize)
            fail(u"字段 “%1” 的值 %2 无效：字号不能超过 %3"_s.arg(join(name, u"size"_s))
                     .arg(base.size)
                     .arg(maxFontSize));
        base.bold = optBool(obj, name, u"bold"_s, base.bold);
        return base;
    }

    QRectF rect(const QJsonObject& obj, const QString& where, Range sizeRange) const {
        return QRectF(
            number(obj, where, u"x"_s, Range::Any), number(obj, where, u"y"_s, Range::Any),
            number(obj, where, u"width"_s, sizeRange), number(obj, where, u"height"_s, sizeRange));
    }

    TextItem text(const QJsonObject& obj, const QString& where, const FontSpec& defaultFont) const {
        checkKeys(obj, where,
                  {"type"_L1, "x"_L1, "y"_L1, "width"_L1, "height"_L1, "text"_L1, "font"_L1,
                   "align"_L1, "valign"_L1, "wrap"_L1, "shrink"_L1, "minSize"_L1});
        TextItem item;
        item.rect = rect(obj, where, Range::Positive);
        item.source = string(require(obj, where, u"text"_s), join(where, u"text"_s));
        QString problem;
        if (!parseItemText(item.source, &item.parts, &problem))
            fail(u"字段 “%1” 的文本 “%2” 有误：%3"_s.arg(join(where, u"text"_s), item.source,
                                                         problem));
        item.font = obj.contains(u"font"_s)
                        ? font(obj.value(u"font"_s), join(where, u"font"_s), defaultFont)
                        : defaultFont;
        if (obj.contains(u"align"_s)) {
            const QString name = join(where, u"align"_s);
            const QString a = string(obj.value(u"align"_s), name);
            if (a == "left"_L1)
                item.halign = HAlign::Left;
            else if (a == "center"_L1)
                item.halign = HAlign::Center;
            else if (a == "right"_L1)
                item.halign = HAlign::Right;
            else
                fail(u"字段 “%1” 的值 “%2” 无效：只能是 left、center 或 right"_s.arg(name, a));
        }
        if (obj.contains(u"valign"_s)) {
            const QString name = join(where, u"valign"_s);
            const QString a = string(obj.value(u"valign"_s), name);
            if (a == "top"_L1)
                item.valign = VAlign::Top;
            else if (a == "center"_L1)
                item.valign = VAlign::Center;
            else if (a == "bottom"_L1)
                item.valign = VAlign::Bottom;
            else
                fail(u"字段 “%1” 的值 “%2” 无效：只能是 top、center 或 bottom"_s.arg(name, a));
        }
        item.wrap = optBool(obj, where, u"wrap"_s, false);
        item.shrink = optBool(obj, where, u"shrink"_s, false);
        item.minSize =
            optNumber(obj, where, u"minSize"_s, Range::Positive, std::min(6.0, item.font.size));
        if (item.minSize > item.font.size)
            fail(u"字段 “%1” 的值 %2 无效：不能大于字号 %3"_s.arg(join(where, u"minSize"_s))
                     .arg(item.minSize)
                     .arg(item.font.size));
        return item;
    }

    ItemGroup items(const QJsonValue& v, const QString& name, const FontSpec& defaultFont) const {
        ItemGroup group;
        const QJsonArray arr = array(v, name);
        for (qsizetype i = 0; i < arr.size(); ++i) {
            const QString where = u"%1[%2]"_s.arg(name).arg(i);
            const QJsonObject obj = object(arr.at(i), where);
            const QString type = string(require(obj, where, u"type"_s), join(where, u"type"_s));
            if (type == "text"_L1) {
                group.texts.append(text(obj, where, defaultFont));
            } else if (type == "line"_L1) {
                checkKeys(obj, where,
                          {"type"_L1, "x1"_L1, "y1"_L1, "x2"_L1, "y2"_L1, "lineWidth"_L1});
                LineItem line;
                line.line = QLineF(number(obj, where, u"x1"_s, Range::Any),
                                   number(obj, where, u"y1"_s, Range::Any),
                                   number(obj, where, u"x2"_s, Range::Any),
                                   number(obj, where, u"y2"_s, Range::Any));
                line.lineWidth = optNumber(obj, where, u"lineWidth"_s, Range::Positive, 0.2);
                group.lines.append(line);
            } else if (type == "rect"_L1) {
                checkKeys(obj, where,
                          {"type"_L1, "x"_L1, "y"_L1, "width"_L1, "height"_L1, "lineWidth"_L1});
                RectItem r;
                r.rect = rect(obj, where, Range::Positive);
                r.lineWidth = optNumber(obj, where, u"lineWidth"_s, Range::Positive, 0.2);
                group.rects.append(r);
            } else {
                fail(u"字段 “%1” 的值 “%2” 无效：只能是 text、line 或 rect"_s.arg(
                    join(where, u"type"_s), type));
            }
        }
        return group;
    }

    Template read(const QJsonObject& root) const {
        Template t;
        t.path = m_path;
        checkKeys(root, QString(),
                  {"format"_L1, "version"_L1, "name"_L1, "paper"_L1, "printerOffset"_L1,
                   "background"_L1, "font"_L1, "items"_L1, "band"_L1});
        if (root.value(u"format"_s) != QJsonValue(kFormat))
            fail(u"缺少格式标记 \"format\": \"%1\""_s.arg(kFormat));
        const double version = number(root, QString(), u"version"_s, Range::Positive);
        if (version != 1)
            fail(u"不支持的模板版本 %1（本程序支持版本 1）"_s.arg(version));
        if (root.contains(u"name"_s))
            string(root.value(u"name"_s), u"name"_s);

        const QJsonObject paper = object(require(root, QString(), u"paper"_s), u"paper"_s);
        checkKeys(paper, u"paper"_s, {"width"_L1, "height"_L1, "orientation"_L1});
        t.paperSize = QSizeF(number(paper, u"paper"_s, u"width"_s, Range::Positive),
                             number(paper, u"paper"_s, u"height"_s, Range::Positive));
        if (paper.contains(u"orientation"_s)) {
            const QString o = string(paper.value(u"orientation"_s), u"paper.orientation"_s);
            if (o == "portrait"_L1)
                t.orientation = QPageLayout::Portrait;
            else if (o == "landscape"_L1)
                t.orientation = QPageLayout::Landscape;
            else
                fail(u"字段 “paper.orientation” 的值 “%1” 无效：只能是 portrait 或 landscape"_s.arg(
                    o));
        }

        if (root.contains(u"printerOffset"_s)) {
            const QJsonObject off = object(root.value(u"printerOffset"_s), u"printerOffset"_s);
            checkKeys(off, u"printerOffset"_s, {"x"_L1, "y"_L1});
            t.printerOffset = QPointF(optNumber(off, u"printerOffset"_s, u"x"_s, Range::Any, 0),
                                      optNumber(off, u"printerOffset"_s, u"y"_s, Range::Any, 0));
        }

        if (root.contains(u"background"_s)) {
            const QJsonObject bg = object(root.value(u"background"_s), u"background"_s);
            checkKeys(bg, u"background"_s, {"image"_L1, "x"_L1, "y"_L1, "width"_L1, "height"_L1});
            const QString file =
                string(require(bg, u"background"_s, u"image"_s), u"background.image"_s);
            const QSizeF page = t.pageSize();
            t.backgroundRect =
                QRectF(optNumber(bg, u"background"_s, u"x"_s, Range::Any, 0),
                       optNumber(bg, u"background"_s, u"y"_s, Range::Any, 0),
                       optNumber(bg, u"background"_s, u"width"_s, Range::Positive, page.width()),
                       optNumber(bg, u"background"_s, u"height"_s, Range::Positive, page.height()));
            const QString imagePath = QFileInfo(m_path).dir().filePath(file);
            if (!t.background.load(imagePath))
                fail(u"背景图片 %1 无法读取"_s.arg(QDir::toNativeSeparators(imagePath)));
        }

        FontSpec defaultFont;
        if (root.contains(u"font"_s))
            defaultFont = font(root.value(u"font"_s), u"font"_s, defaultFont);

        if (root.contains(u"items"_s))
            t.page = items(root.value(u"items"_s), u"items"_s, defaultFont);

        if (root.contains(u"band"_s)) {
            const QJsonObject band = object(root.value(u"band"_s), u"band"_s);
            checkKeys(band, u"band"_s, {"y"_L1, "pitch"_L1, "rowsPerPage"_L1, "items"_L1});
            t.band.present = true;
            t.band.y = number(band, u"band"_s, u"y"_s, Range::Any);
            t.band.pitch = number(band, u"band"_s, u"pitch"_s, Range::Positive);
            const double rows = number(band, u"band"_s, u"rowsPerPage"_s, Range::Positive);
            if (rows != std::floor(rows) || rows > 10000)
                fail(u"字段 “band.rowsPerPage” 的值 %1 无效：必须是正整数"_s.arg(rows));
            t.band.rowsPerPage = int(rows);
            t.band.items =
                items(require(band, u"band"_s, u"items"_s), u"band.items"_s, defaultFont);
        }
        return t;
    }

private:
    QString m_path;
};

} // namespace

Template parseTemplate(const QByteArray& content, const QString& path) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(content, &err);
    if (err.error != QJsonParseError::NoError)
        throw TemplateError(u"报表模板 %1 不是有效的 JSON：%2（第 %3 个字符附近）"_s
                                .arg(QDir::toNativeSeparators(path), err.errorString())
                                .arg(err.offset));
    if (!doc.isObject())
        throw TemplateError(u"报表模板 %1 有误：内容必须是一个 JSON 对象 {...}"_s.arg(
            QDir::toNativeSeparators(path)));
    return Reader(path).read(doc.object());
}

Template loadTemplate(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        throw TemplateError(u"报表模板 %1 无法读取：文件不存在"_s.arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TemplateError(u"报表模板 %1 无法读取：%2"_s.arg(shown, file.errorString()));
    return parseTemplate(file.readAll(), path);
}

} // namespace report
