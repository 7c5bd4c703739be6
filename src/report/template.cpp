#include "report/template.h"

#include "report/reporterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <initializer_list>

namespace zelk::report {

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
            *error = QStringLiteral("“[” 没有对应的 “]”（要印出 “[” 请写 “[[”）");
            return false;
        }
        const QString name = text.mid(i + 1, close - i - 1);
        if (name.isEmpty()) {
            *error = QStringLiteral("“[]” 中缺少字段名或变量名");
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

const QString kFormat = QStringLiteral("zelk-report-template");

// Walks the JSON document, checking every field, and raises TemplateError
// with the file name and the dotted path of the offending field.
class Reader {
public:
    explicit Reader(QString path) : path_(std::move(path)) {}

    [[noreturn]] void fail(const QString& problem) const {
        throw TemplateError(
            QStringLiteral("报表模板 %1 有误：%2").arg(QDir::toNativeSeparators(path_), problem));
    }

    void checkKeys(const QJsonObject& obj, const QString& where,
                   std::initializer_list<QLatin1StringView> allowed) const {
        for (auto it = obj.begin(); it != obj.end(); ++it) {
            bool known = false;
            for (const auto& a : allowed)
                known = known || it.key() == a;
            if (!known)
                fail(QStringLiteral("未知字段 “%1”").arg(join(where, it.key())));
        }
    }

    static QString join(const QString& where, const QString& key) {
        return where.isEmpty() ? key : where + u'.' + key;
    }

    QJsonValue require(const QJsonObject& obj, const QString& where, const QString& key) const {
        if (!obj.contains(key))
            fail(QStringLiteral("缺少字段 “%1”").arg(join(where, key)));
        return obj.value(key);
    }

    QJsonObject object(const QJsonValue& v, const QString& name) const {
        if (!v.isObject())
            fail(QStringLiteral("字段 “%1” 应为对象 {...}").arg(name));
        return v.toObject();
    }

    QJsonArray array(const QJsonValue& v, const QString& name) const {
        if (!v.isArray())
            fail(QStringLiteral("字段 “%1” 应为数组 [...]").arg(name));
        return v.toArray();
    }

    QString string(const QJsonValue& v, const QString& name) const {
        if (!v.isString())
            fail(QStringLiteral("字段 “%1” 应为文本").arg(name));
        return v.toString();
    }

    bool boolean(const QJsonValue& v, const QString& name) const {
        if (!v.isBool())
            fail(QStringLiteral("字段 “%1” 应为 true 或 false").arg(name));
        return v.toBool();
    }

    enum class Range { Any, NotNegative, Positive };

    double number(const QJsonValue& v, const QString& name, Range range) const {
        if (!v.isDouble())
            fail(QStringLiteral("字段 “%1” 应为数字").arg(name));
        const double d = v.toDouble();
        if (!std::isfinite(d))
            fail(QStringLiteral("字段 “%1” 的值无效").arg(name));
        if (range == Range::NotNegative && d < 0)
            fail(QStringLiteral("字段 “%1” 的值 %2 无效：不能为负数").arg(name).arg(d));
        if (range == Range::Positive && d <= 0)
            fail(QStringLiteral("字段 “%1” 的值 %2 无效：必须大于 0").arg(name).arg(d));
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
        checkKeys(obj, name,
                  {QLatin1String("family"), QLatin1String("size"), QLatin1String("bold")});
        if (obj.contains(QStringLiteral("family"))) {
            base.family =
                string(obj.value(QStringLiteral("family")), join(name, QStringLiteral("family")));
            if (base.family.trimmed().isEmpty())
                fail(
                    QStringLiteral("字段 “%1” 不能为空").arg(join(name, QStringLiteral("family"))));
        }
        base.size = optNumber(obj, name, QStringLiteral("size"), Range::Positive, base.size);
        // Far beyond any printed form; larger sizes only make text measuring crawl.
        constexpr double maxFontSize = 500;
        if (base.size > maxFontSize)
            fail(QStringLiteral("字段 “%1” 的值 %2 无效：字号不能超过 %3")
                     .arg(join(name, QStringLiteral("size")))
                     .arg(base.size)
                     .arg(maxFontSize));
        base.bold = optBool(obj, name, QStringLiteral("bold"), base.bold);
        return base;
    }

    QRectF rect(const QJsonObject& obj, const QString& where, Range sizeRange) const {
        return QRectF(number(obj, where, QStringLiteral("x"), Range::Any),
                      number(obj, where, QStringLiteral("y"), Range::Any),
                      number(obj, where, QStringLiteral("width"), sizeRange),
                      number(obj, where, QStringLiteral("height"), sizeRange));
    }

    TextItem text(const QJsonObject& obj, const QString& where, const FontSpec& defaultFont) const {
        checkKeys(obj, where,
                  {QLatin1String("type"), QLatin1String("x"), QLatin1String("y"),
                   QLatin1String("width"), QLatin1String("height"), QLatin1String("text"),
                   QLatin1String("font"), QLatin1String("align"), QLatin1String("valign"),
                   QLatin1String("wrap"), QLatin1String("shrink"), QLatin1String("minSize"),
                   QLatin1String("hideWhenEmpty"), QLatin1String("cells")});
        TextItem item;
        item.rect = rect(obj, where, Range::Positive);
        item.source = string(require(obj, where, QStringLiteral("text")),
                             join(where, QStringLiteral("text")));
        QString problem;
        if (!parseItemText(item.source, &item.parts, &problem))
            fail(QStringLiteral("字段 “%1” 的文本 “%2” 有误：%3")
                     .arg(join(where, QStringLiteral("text")), item.source, problem));
        item.font = obj.contains(QStringLiteral("font"))
                        ? font(obj.value(QStringLiteral("font")),
                               join(where, QStringLiteral("font")), defaultFont)
                        : defaultFont;
        if (obj.contains(QStringLiteral("align"))) {
            const QString name = join(where, QStringLiteral("align"));
            const QString a = string(obj.value(QStringLiteral("align")), name);
            if (a == QLatin1String("left"))
                item.halign = HAlign::Left;
            else if (a == QLatin1String("center"))
                item.halign = HAlign::Center;
            else if (a == QLatin1String("right"))
                item.halign = HAlign::Right;
            else
                fail(QStringLiteral("字段 “%1” 的值 “%2” 无效：只能是 left、center 或 right")
                         .arg(name, a));
        }
        if (obj.contains(QStringLiteral("valign"))) {
            const QString name = join(where, QStringLiteral("valign"));
            const QString a = string(obj.value(QStringLiteral("valign")), name);
            if (a == QLatin1String("top"))
                item.valign = VAlign::Top;
            else if (a == QLatin1String("center"))
                item.valign = VAlign::Center;
            else if (a == QLatin1String("bottom"))
                item.valign = VAlign::Bottom;
            else
                fail(QStringLiteral("字段 “%1” 的值 “%2” 无效：只能是 top、center 或 bottom")
                         .arg(name, a));
        }
        item.wrap = optBool(obj, where, QStringLiteral("wrap"), false);
        item.shrink = optBool(obj, where, QStringLiteral("shrink"), false);
        item.hideWhenEmpty = optBool(obj, where, QStringLiteral("hideWhenEmpty"), false);
        item.minSize = optNumber(obj, where, QStringLiteral("minSize"), Range::Positive,
                                 std::min(6.0, item.font.size));
        if (item.minSize > item.font.size)
            fail(QStringLiteral("字段 “%1” 的值 %2 无效：不能大于字号 %3")
                     .arg(join(where, QStringLiteral("minSize")))
                     .arg(item.minSize)
                     .arg(item.font.size));
        if (obj.contains(QStringLiteral("cells")))
            item.cells = cells(obj.value(QStringLiteral("cells")),
                               join(where, QStringLiteral("cells")), item.rect.width());
        return item;
    }

    Cells cells(const QJsonValue& v, const QString& name, double boxWidth) const {
        const QJsonObject obj = object(v, name);
        checkKeys(obj, name,
                  {QLatin1String("pitch"), QLatin1String("count"), QLatin1String("fill"),
                   QLatin1String("symbol")});
        Cells c;
        c.pitch = number(obj, name, QStringLiteral("pitch"), Range::Positive);
        const double count = number(obj, name, QStringLiteral("count"), Range::Positive);
        if (count != std::floor(count) || count > kMaxCells)
            fail(QStringLiteral("字段 “%1” 的值 %2 无效：必须是 1 到 %3 的整数")
                     .arg(join(name, QStringLiteral("count")))
                     .arg(count)
                     .arg(kMaxCells));
        c.count = int(count);
        // The cells belong to the box: a row wider than the box would print outside it.
        if (c.pitch * c.count > boxWidth + 0.01)
            fail(QStringLiteral("字段 “%1” 有误：%2 个格子 × %3 毫米超出了宽度 %4 毫米")
                     .arg(name)
                     .arg(c.count)
                     .arg(c.pitch)
                     .arg(boxWidth));
        if (obj.contains(QStringLiteral("fill"))) {
            const QString fill =
                string(obj.value(QStringLiteral("fill")), join(name, QStringLiteral("fill")));
            if (fill == QLatin1String("left"))
                c.fromRight = false;
            else if (fill != QLatin1String("right"))
                fail(QStringLiteral("字段 “%1” 的值 “%2” 无效：只能是 right 或 left")
                         .arg(join(name, QStringLiteral("fill")), fill));
        }
        if (obj.contains(QStringLiteral("symbol"))) {
            c.symbol =
                string(obj.value(QStringLiteral("symbol")), join(name, QStringLiteral("symbol")));
            if (c.symbol.size() > 1 || !c.fromRight)
                fail(QStringLiteral("字段 “%1” 有误：只能是一个字符，且只用于从右填的格子")
                         .arg(join(name, QStringLiteral("symbol"))));
        }
        return c;
    }

    ItemGroup items(const QJsonValue& v, const QString& name, const FontSpec& defaultFont) const {
        ItemGroup group;
        const QJsonArray arr = array(v, name);
        for (qsizetype i = 0; i < arr.size(); ++i) {
            const QString where = QStringLiteral("%1[%2]").arg(name).arg(i);
            const QJsonObject obj = object(arr.at(i), where);
            const QString type = string(require(obj, where, QStringLiteral("type")),
                                        join(where, QStringLiteral("type")));
            if (type == QLatin1String("text")) {
                group.texts.append(text(obj, where, defaultFont));
            } else if (type == QLatin1String("line")) {
                checkKeys(obj, where,
                          {QLatin1String("type"), QLatin1String("x1"), QLatin1String("y1"),
                           QLatin1String("x2"), QLatin1String("y2"), QLatin1String("lineWidth")});
                LineItem line;
                line.line = QLineF(number(obj, where, QStringLiteral("x1"), Range::Any),
                                   number(obj, where, QStringLiteral("y1"), Range::Any),
                                   number(obj, where, QStringLiteral("x2"), Range::Any),
                                   number(obj, where, QStringLiteral("y2"), Range::Any));
                line.lineWidth =
                    optNumber(obj, where, QStringLiteral("lineWidth"), Range::Positive, 0.2);
                group.lines.append(line);
            } else if (type == QLatin1String("rect")) {
                checkKeys(obj, where,
                          {QLatin1String("type"), QLatin1String("x"), QLatin1String("y"),
                           QLatin1String("width"), QLatin1String("height"),
                           QLatin1String("lineWidth")});
                RectItem r;
                r.rect = rect(obj, where, Range::Positive);
                r.lineWidth =
                    optNumber(obj, where, QStringLiteral("lineWidth"), Range::Positive, 0.2);
                group.rects.append(r);
            } else {
                fail(QStringLiteral("字段 “%1” 的值 “%2” 无效：只能是 text、line 或 rect")
                         .arg(join(where, QStringLiteral("type")), type));
            }
        }
        return group;
    }

    Template read(const QJsonObject& root) const {
        Template t;
        t.path = path_;
        checkKeys(root, QString(),
                  {QLatin1String("format"), QLatin1String("version"), QLatin1String("name"),
                   QLatin1String("paper"), QLatin1String("printerOffset"),
                   QLatin1String("background"), QLatin1String("font"), QLatin1String("items"),
                   QLatin1String("band")});
        if (root.value(QStringLiteral("format")) != QJsonValue(kFormat))
            fail(QStringLiteral("缺少格式标记 \"format\": \"%1\"").arg(kFormat));
        const double version = number(root, QString(), QStringLiteral("version"), Range::Positive);
        if (version != 1)
            fail(QStringLiteral("不支持的模板版本 %1（本程序支持版本 1）").arg(version));
        if (root.contains(QStringLiteral("name")))
            string(root.value(QStringLiteral("name")), QStringLiteral("name"));

        const QJsonObject paper =
            object(require(root, QString(), QStringLiteral("paper")), QStringLiteral("paper"));
        checkKeys(paper, QStringLiteral("paper"),
                  {QLatin1String("width"), QLatin1String("height"), QLatin1String("orientation")});
        t.paperSize = QSizeF(
            number(paper, QStringLiteral("paper"), QStringLiteral("width"), Range::Positive),
            number(paper, QStringLiteral("paper"), QStringLiteral("height"), Range::Positive));
        // What printers take; a page far outside it would silently come out on
        // the printer's default paper.
        for (const double side : {t.paperSize.width(), t.paperSize.height()})
            if (side < kMinPaperMm || side > kMaxPaperMm)
                fail(QStringLiteral("纸张尺寸 %1 × %2 毫米无效：宽和高必须在 %3 到 %4 毫米之间")
                         .arg(t.paperSize.width())
                         .arg(t.paperSize.height())
                         .arg(kMinPaperMm)
                         .arg(kMaxPaperMm));
        if (paper.contains(QStringLiteral("orientation"))) {
            const QString o = string(paper.value(QStringLiteral("orientation")),
                                     QStringLiteral("paper.orientation"));
            if (o == QLatin1String("portrait"))
                t.orientation = QPageLayout::Portrait;
            else if (o == QLatin1String("landscape"))
                t.orientation = QPageLayout::Landscape;
            else
                fail(QStringLiteral(
                         "字段 “paper.orientation” 的值 “%1” 无效：只能是 portrait 或 landscape")
                         .arg(o));
        }

        if (root.contains(QStringLiteral("printerOffset"))) {
            const QJsonObject off = object(root.value(QStringLiteral("printerOffset")),
                                           QStringLiteral("printerOffset"));
            checkKeys(off, QStringLiteral("printerOffset"),
                      {QLatin1String("x"), QLatin1String("y")});
            t.printerOffset = QPointF(
                optNumber(off, QStringLiteral("printerOffset"), QStringLiteral("x"), Range::Any, 0),
                optNumber(off, QStringLiteral("printerOffset"), QStringLiteral("y"), Range::Any,
                          0));
        }

        if (root.contains(QStringLiteral("background"))) {
            const QJsonObject bg =
                object(root.value(QStringLiteral("background")), QStringLiteral("background"));
            checkKeys(bg, QStringLiteral("background"),
                      {QLatin1String("image"), QLatin1String("x"), QLatin1String("y"),
                       QLatin1String("width"), QLatin1String("height"), QLatin1String("rotation")});
            const QString file =
                string(require(bg, QStringLiteral("background"), QStringLiteral("image")),
                       QStringLiteral("background.image"));
            const QSizeF page = t.pageSize();
            t.backgroundRect = QRectF(
                optNumber(bg, QStringLiteral("background"), QStringLiteral("x"), Range::Any, 0),
                optNumber(bg, QStringLiteral("background"), QStringLiteral("y"), Range::Any, 0),
                optNumber(bg, QStringLiteral("background"), QStringLiteral("width"),
                          Range::Positive, page.width()),
                optNumber(bg, QStringLiteral("background"), QStringLiteral("height"),
                          Range::Positive, page.height()));
            t.backgroundRotation = optNumber(bg, QStringLiteral("background"),
                                             QStringLiteral("rotation"), Range::Any, 0);
            if (std::abs(t.backgroundRotation) > 360)
                fail(QStringLiteral("字段 “background.rotation” 的值 %1 无效：必须在 −360 到 "
                                    "360 度之间")
                         .arg(t.backgroundRotation));
            const QString imagePath = QFileInfo(path_).dir().filePath(file);
            if (!t.background.load(imagePath))
                fail(QStringLiteral("背景图片 %1 无法读取")
                         .arg(QDir::toNativeSeparators(imagePath)));
        }

        FontSpec defaultFont;
        if (root.contains(QStringLiteral("font")))
            defaultFont =
                font(root.value(QStringLiteral("font")), QStringLiteral("font"), defaultFont);

        if (root.contains(QStringLiteral("items")))
            t.page =
                items(root.value(QStringLiteral("items")), QStringLiteral("items"), defaultFont);

        if (root.contains(QStringLiteral("band"))) {
            const QJsonObject band =
                object(root.value(QStringLiteral("band")), QStringLiteral("band"));
            checkKeys(band, QStringLiteral("band"),
                      {QLatin1String("y"), QLatin1String("pitch"), QLatin1String("rowsPerPage"),
                       QLatin1String("items")});
            t.band.present = true;
            t.band.y = number(band, QStringLiteral("band"), QStringLiteral("y"), Range::Any);
            t.band.pitch =
                number(band, QStringLiteral("band"), QStringLiteral("pitch"), Range::Positive);
            const double rows = number(band, QStringLiteral("band"), QStringLiteral("rowsPerPage"),
                                       Range::Positive);
            if (rows != std::floor(rows) || rows > 10000)
                fail(
                    QStringLiteral("字段 “band.rowsPerPage” 的值 %1 无效：必须是正整数").arg(rows));
            t.band.rowsPerPage = int(rows);
            t.band.items = items(require(band, QStringLiteral("band"), QStringLiteral("items")),
                                 QStringLiteral("band.items"), defaultFont);
        }
        return t;
    }

private:
    QString path_;
};

} // namespace

Template parseTemplate(const QByteArray& content, const QString& path) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(content, &err);
    if (err.error != QJsonParseError::NoError)
        throw TemplateError(QStringLiteral("报表模板 %1 不是有效的 JSON：%2（第 %3 个字符附近）")
                                .arg(QDir::toNativeSeparators(path), err.errorString())
                                .arg(err.offset));
    if (!doc.isObject())
        throw TemplateError(QStringLiteral("报表模板 %1 有误：内容必须是一个 JSON 对象 {...}")
                                .arg(QDir::toNativeSeparators(path)));
    return Reader(path).read(doc.object());
}

Template loadTemplate(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        throw TemplateError(QStringLiteral("报表模板 %1 无法读取：文件不存在").arg(shown));
    QFile file(path);
    // A folder opens on some systems: it is refused before it is read as an empty template.
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw TemplateError(QStringLiteral("报表模板 %1 无法读取：%2")
                                .arg(shown, fileProblem(path, file.errorString())));
    return parseTemplate(file.readAll(), path);
}

} // namespace zelk::report
