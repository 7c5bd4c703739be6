// Reading and writing the prepared report file.

#include "preparedreport.h"
#include "reporterror.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace report {

namespace {

const QString kFormat = u"zelk-prepared-report"_s;
constexpr int kVersion = 1;

QJsonArray rectToJson(const QRectF& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QString halignName(HAlign a) {
    switch (a) {
    case HAlign::Left:
        return u"left"_s;
    case HAlign::Center:
        return u"center"_s;
    case HAlign::Right:
        return u"right"_s;
    }
    return u"left"_s;
}

QString valignName(VAlign a) {
    switch (a) {
    case VAlign::Top:
        return u"top"_s;
    case VAlign::Center:
        return u"center"_s;
    case VAlign::Bottom:
        return u"bottom"_s;
    }
    return u"top"_s;
}

// Reads back what preparedReportToJson wrote; any deviation is a broken file.
class Reader {
public:
    explicit Reader(QString path) : m_path(std::move(path)) {}

    [[noreturn]] void fail(const QString& problem) const {
        throw PreparedFileError(
            u"预览文件 %1 无法打开：%2"_s.arg(QDir::toNativeSeparators(m_path), problem));
    }

    QJsonValue field(const QJsonObject& o, const QString& key) const {
        if (!o.contains(key))
            fail(u"缺少字段 “%1”"_s.arg(key));
        return o.value(key);
    }

    double number(const QJsonValue& v, const QString& key) const {
        if (!v.isDouble())
            fail(u"字段 “%1” 应为数字"_s.arg(key));
        return v.toDouble();
    }
    double number(const QJsonObject& o, const QString& key) const {
        return number(field(o, key), key);
    }
    QString string(const QJsonObject& o, const QString& key) const {
        const QJsonValue v = field(o, key);
        if (!v.isString())
            fail(u"字段 “%1” 应为文本"_s.arg(key));
        return v.toString();
    }
    bool boolean(const QJsonObject& o, const QString& key) const {
        const QJsonValue v = field(o, key);
        if (!v.isBool())
            fail(u"字段 “%1” 应为 true 或 false"_s.arg(key));
        return v.toBool();
    }
    QJsonArray array(const QJsonValue& v, const QString& key) const {
        if (!v.isArray())
            fail(u"字段 “%1” 应为数组"_s.arg(key));
        return v.toArray();
    }
    QJsonObject object(const QJsonValue& v, const QString& key) const {
        if (!v.isObject())
            fail(u"字段 “%1” 应为对象"_s.arg(key));
        return v.toObject();
    }
    QRectF rect(const QJsonObject& o, const QString& key) const {
        const QJsonArray a = array(field(o, key), key);
        if (a.size() != 4)
            fail(u"字段 “%1” 应有 4 个数字"_s.arg(key));
        return QRectF(number(a.at(0), key), number(a.at(1), key), number(a.at(2), key),
                      number(a.at(3), key));
    }

    PreparedReport read(const QJsonObject& root) const {
        if (root.value(u"format"_s) != QJsonValue(kFormat))
            fail(u"不是本程序保存的预览文件"_s);
        const double version = number(root, u"version"_s);
        if (version != kVersion)
            fail(u"不支持的文件版本 %1"_s.arg(version));
        PreparedReport r;
        const QJsonObject paper = object(field(root, u"paper"_s), u"paper"_s);
        r.paperSize = QSizeF(number(paper, u"width"_s), number(paper, u"height"_s));
        if (!(r.paperSize.width() > 0 && r.paperSize.height() > 0))
            fail(u"纸张大小无效"_s);
        const QString orientation = string(paper, u"orientation"_s);
        if (orientation == "portrait"_L1)
            r.orientation = QPageLayout::Portrait;
        else if (orientation == "landscape"_L1)
            r.orientation = QPageLayout::Landscape;
        else
            fail(u"纸张方向 “%1” 无效"_s.arg(orientation));
        const QJsonObject offset = object(field(root, u"printerOffset"_s), u"printerOffset"_s);
        r.printerOffset = QPointF(number(offset, u"x"_s), number(offset, u"y"_s));

        if (root.contains(u"background"_s)) {
            const QJsonObject bg = object(root.value(u"background"_s), u"background"_s);
            r.backgroundRect = rect(bg, u"rect"_s);
            const QByteArray png = QByteArray::fromBase64(
                string(bg, u"png"_s).toLatin1(),
                QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            QImage image;
            if (png.isEmpty() || !image.loadFromData(png, "PNG"))
                fail(u"背景图片数据损坏"_s);
            r.background = image.convertToFormat(QImage::Format_ARGB32);
        }

        for (const QJsonValue& pv : array(field(root, u"pages"_s), u"pages"_s)) {
            const QJsonObject po = object(pv, u"pages"_s);
            Page page;
            for (const QJsonValue& tv : array(field(po, u"texts"_s), u"texts"_s)) {
                const QJsonObject to = object(tv, u"texts"_s);
                PlacedText t;
                t.text = string(to, u"text"_s);
                t.rect = rect(to, u"rect"_s);
                t.family = string(to, u"family"_s);
                t.templateSize = number(to, u"templateSize"_s);
                t.fontSize = number(to, u"fontSize"_s);
                if (!(t.fontSize > 0))
                    fail(u"字号无效"_s);
                t.bold = boolean(to, u"bold"_s);
                const QString h = string(to, u"align"_s);
                if (h == "left"_L1)
                    t.halign = HAlign::Left;
                else if (h == "center"_L1)
                    t.halign = HAlign::Center;
                else if (h == "right"_L1)
                    t.halign = HAlign::Right;
                else
                    fail(u"对齐方式 “%1” 无效"_s.arg(h));
                const QString v = string(to, u"valign"_s);
                if (v == "top"_L1)
                    t.valign = VAlign::Top;
                else if (v == "center"_L1)
                    t.valign = VAlign::Center;
                else if (v == "bottom"_L1)
                    t.valign = VAlign::Bottom;
                else
                    fail(u"对齐方式 “%1” 无效"_s.arg(v));
                t.wrap = boolean(to, u"wrap"_s);
                page.texts.append(t);
            }
            for (const QJsonValue& lv : array(field(po, u"lines"_s), u"lines"_s)) {
                const QJsonObject lo = object(lv, u"lines"_s);
                const QJsonArray a = array(field(lo, u"line"_s), u"line"_s);
                if (a.size() != 4)
                    fail(u"字段 “line” 应有 4 个数字"_s);
                page.lines.append({QLineF(number(a.at(0), u"line"_s), number(a.at(1), u"line"_s),
                                          number(a.at(2), u"line"_s), number(a.at(3), u"line"_s)),
                                   number(lo, u"lineWidth"_s)});
            }
            for (const QJsonValue& rv : array(field(po, u"rects"_s), u"rects"_s)) {
                const QJsonObject ro = object(rv, u"rects"_s);
                page.rects.append({rect(ro, u"rect"_s), number(ro, u"lineWidth"_s)});
            }
            r.pages.append(page);
        }
        if (r.pages.isEmpty())
            fail(u"文件中没有页面"_s);
        return r;
    }

private:
    QString m_path;
};

} // namespace

QByteArray preparedReportToJson(const PreparedReport& report) {
    QJsonObject root;
    root.insert(u"format"_s, kFormat);
    root.insert(u"version"_s, kVersion);
    root.insert(u"paper"_s,
                QJsonObject{{u"width"_s, report.paperSize.width()},
                            {u"height"_s, report.paperSize.height()},
                            {u"orientation"_s, report.orientation == QPageLayout::Landscape
                                                   ? u"landscape"_s
                                                   : u"portrait"_s}});
    root.insert(u"printerOffset"_s, QJsonObject{{u"x"_s, report.printerOffset.x()},
                                                {u"y"_s, report.printerOffset.y()}});
    if (!report.background.isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        report.background.save(&buffer, "PNG");
        root.insert(u"background"_s, QJsonObject{{u"rect"_s, rectToJson(report.backgroundRect)},
                                                 {u"png"_s, QString::fromLatin1(png.toBase64())}});
    }
    QJsonArray pages;
    for (const Page& page : report.pages) {
        QJsonArray texts;
        for (const PlacedText& t : page.texts) {
            texts.append(QJsonObject{{u"text"_s, t.text},
                                     {u"rect"_s, rectToJson(t.rect)},
                                     {u"family"_s, t.family},
                                     {u"templateSize"_s, t.templateSize},
                                     {u"fontSize"_s, t.fontSize},
                                     {u"bold"_s, t.bold},
                                     {u"align"_s, halignName(t.halign)},
                                     {u"valign"_s, valignName(t.valign)},
                                     {u"wrap"_s, t.wrap}});
        }
        QJsonArray lines;
        for (const PlacedLine& l : page.lines) {
            lines.append(QJsonObject{
                {u"line"_s, QJsonArray{l.line.x1(), l.line.y1(), l.line.x2(), l.line.y2()}},
                {u"lineWidth"_s, l.lineWidth}});
        }
        QJsonArray rects;
        for (const PlacedRect& r : page.rects)
            rects.append(
                QJsonObject{{u"rect"_s, rectToJson(r.rect)}, {u"lineWidth"_s, r.lineWidth}});
        pages.append(QJsonObject{{u"texts"_s, texts}, {u"lines"_s, lines}, {u"rects"_s, rects}});
    }
    root.insert(u"pages"_s, pages);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

PreparedReport preparedReportFromJson(const QByteArray& content, const QString& path) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(content, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        Reader(path).fail(u"文件已损坏或不是预览文件"_s);
    return Reader(path).read(doc.object());
}

void savePreparedReport(const PreparedReport& report, const QString& path) {
    QSaveFile file(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (!file.open(QIODevice::WriteOnly))
        throw PreparedFileError(u"预览文件 %1 无法保存：%2"_s.arg(shown, file.errorString()));
    file.write(preparedReportToJson(report));
    if (!file.commit())
        throw PreparedFileError(u"预览文件 %1 无法保存：%2"_s.arg(shown, file.errorString()));
}

PreparedReport loadPreparedReport(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        throw PreparedFileError(u"预览文件 %1 无法打开：文件不存在"_s.arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PreparedFileError(u"预览文件 %1 无法打开：%2"_s.arg(shown, file.errorString()));
    return preparedReportFromJson(file.readAll(), path);
}

} // namespace report
