// Reading and writing the prepared report file.

#include "report/preparedreport.h"
#include "report/reporterror.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace zelk::report {

namespace {

const QString kFormat = QStringLiteral("zelk-prepared-report");
constexpr int kVersion = 1;

QJsonArray rectToJson(const QRectF& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QString halignName(HAlign a) {
    switch (a) {
    case HAlign::Left:
        return QStringLiteral("left");
    case HAlign::Center:
        return QStringLiteral("center");
    case HAlign::Right:
        return QStringLiteral("right");
    }
    return QStringLiteral("left");
}

QString valignName(VAlign a) {
    switch (a) {
    case VAlign::Top:
        return QStringLiteral("top");
    case VAlign::Center:
        return QStringLiteral("center");
    case VAlign::Bottom:
        return QStringLiteral("bottom");
    }
    return QStringLiteral("top");
}

// Reads back what preparedReportToJson wrote; any deviation is a broken file.
class Reader {
public:
    explicit Reader(QString path) : path_(std::move(path)) {}

    [[noreturn]] void fail(const QString& problem) const {
        throw PreparedFileError(QStringLiteral("预览文件 %1 无法打开：%2")
                                    .arg(QDir::toNativeSeparators(path_), problem));
    }

    QJsonValue field(const QJsonObject& o, const QString& key) const {
        if (!o.contains(key))
            fail(QStringLiteral("缺少字段 “%1”").arg(key));
        return o.value(key);
    }

    double number(const QJsonValue& v, const QString& key) const {
        if (!v.isDouble())
            fail(QStringLiteral("字段 “%1” 应为数字").arg(key));
        return v.toDouble();
    }
    double number(const QJsonObject& o, const QString& key) const {
        return number(field(o, key), key);
    }
    QString string(const QJsonObject& o, const QString& key) const {
        const QJsonValue v = field(o, key);
        if (!v.isString())
            fail(QStringLiteral("字段 “%1” 应为文本").arg(key));
        return v.toString();
    }
    bool boolean(const QJsonObject& o, const QString& key) const {
        const QJsonValue v = field(o, key);
        if (!v.isBool())
            fail(QStringLiteral("字段 “%1” 应为 true 或 false").arg(key));
        return v.toBool();
    }
    QJsonArray array(const QJsonValue& v, const QString& key) const {
        if (!v.isArray())
            fail(QStringLiteral("字段 “%1” 应为数组").arg(key));
        return v.toArray();
    }
    QJsonObject object(const QJsonValue& v, const QString& key) const {
        if (!v.isObject())
            fail(QStringLiteral("字段 “%1” 应为对象").arg(key));
        return v.toObject();
    }
    QRectF rect(const QJsonObject& o, const QString& key) const {
        const QJsonArray a = array(field(o, key), key);
        if (a.size() != 4)
            fail(QStringLiteral("字段 “%1” 应有 4 个数字").arg(key));
        const QRectF r(number(a.at(0), key), number(a.at(1), key), number(a.at(2), key),
                       number(a.at(3), key));
        // As in a template: a box has a size and lies near the paper.
        if (r.width() < 0 || r.height() < 0 || std::abs(r.x()) > kMaxPaperMm ||
            std::abs(r.y()) > kMaxPaperMm || r.width() > kMaxPaperMm || r.height() > kMaxPaperMm)
            fail(QStringLiteral("字段 “%1” 的矩形无效").arg(key));
        return r;
    }

    PreparedReport read(const QJsonObject& root) const {
        if (root.value(QStringLiteral("format")) != QJsonValue(kFormat))
            fail(QStringLiteral("不是本程序保存的预览文件"));
        const double version = number(root, QStringLiteral("version"));
        if (version != kVersion)
            fail(QStringLiteral("不支持的文件版本 %1").arg(version));
        PreparedReport r;
        const QJsonObject paper =
            object(field(root, QStringLiteral("paper")), QStringLiteral("paper"));
        r.paperSize =
            QSizeF(number(paper, QStringLiteral("width")), number(paper, QStringLiteral("height")));
        for (const double side : {r.paperSize.width(), r.paperSize.height()})
            if (!(side >= kMinPaperMm && side <= kMaxPaperMm))
                fail(QStringLiteral("纸张大小无效：宽和高必须在 %1 到 %2 毫米之间")
                         .arg(kMinPaperMm)
                         .arg(kMaxPaperMm));
        const QString orientation = string(paper, QStringLiteral("orientation"));
        if (orientation == QLatin1String("portrait"))
            r.orientation = QPageLayout::Portrait;
        else if (orientation == QLatin1String("landscape"))
            r.orientation = QPageLayout::Landscape;
        else
            fail(QStringLiteral("纸张方向 “%1” 无效").arg(orientation));
        const QJsonObject offset =
            object(field(root, QStringLiteral("printerOffset")), QStringLiteral("printerOffset"));
        r.printerOffset =
            QPointF(number(offset, QStringLiteral("x")), number(offset, QStringLiteral("y")));

        if (root.contains(QStringLiteral("background"))) {
            const QJsonObject bg =
                object(root.value(QStringLiteral("background")), QStringLiteral("background"));
            r.backgroundRect = rect(bg, QStringLiteral("rect"));
            if (bg.contains(QStringLiteral("rotation"))) {
                r.backgroundRotation = number(bg, QStringLiteral("rotation"));
                if (std::abs(r.backgroundRotation) > 360)
                    fail(QStringLiteral("背景图片的角度无效"));
            }
            const QByteArray png = QByteArray::fromBase64(
                string(bg, QStringLiteral("png")).toLatin1(),
                QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            QImage image;
            if (png.isEmpty() || !image.loadFromData(png, "PNG"))
                fail(QStringLiteral("背景图片数据损坏"));
            r.background = image.convertToFormat(QImage::Format_ARGB32);
        }

        for (const QJsonValue& pv :
             array(field(root, QStringLiteral("pages")), QStringLiteral("pages"))) {
            const QJsonObject po = object(pv, QStringLiteral("pages"));
            Page page;
            for (const QJsonValue& tv :
                 array(field(po, QStringLiteral("texts")), QStringLiteral("texts"))) {
                const QJsonObject to = object(tv, QStringLiteral("texts"));
                PlacedText t;
                t.text = string(to, QStringLiteral("text"));
                t.rect = rect(to, QStringLiteral("rect"));
                t.family = string(to, QStringLiteral("family"));
                t.templateSize = number(to, QStringLiteral("templateSize"));
                t.fontSize = number(to, QStringLiteral("fontSize"));
                if (!(t.fontSize > 0 && t.fontSize <= 500 && t.templateSize > 0 &&
                      t.templateSize <= 500))
                    fail(QStringLiteral("字号无效"));
                t.bold = boolean(to, QStringLiteral("bold"));
                const QString h = string(to, QStringLiteral("align"));
                if (h == QLatin1String("left"))
                    t.halign = HAlign::Left;
                else if (h == QLatin1String("center"))
                    t.halign = HAlign::Center;
                else if (h == QLatin1String("right"))
                    t.halign = HAlign::Right;
                else
                    fail(QStringLiteral("对齐方式 “%1” 无效").arg(h));
                const QString v = string(to, QStringLiteral("valign"));
                if (v == QLatin1String("top"))
                    t.valign = VAlign::Top;
                else if (v == QLatin1String("center"))
                    t.valign = VAlign::Center;
                else if (v == QLatin1String("bottom"))
                    t.valign = VAlign::Bottom;
                else
                    fail(QStringLiteral("对齐方式 “%1” 无效").arg(v));
                t.wrap = boolean(to, QStringLiteral("wrap"));
                t.field = to.value(QStringLiteral("field")).toString();
                if (to.contains(QStringLiteral("cells"))) {
                    const QJsonArray c =
                        array(to.value(QStringLiteral("cells")), QStringLiteral("cells"));
                    if (c.size() != 3)
                        fail(QStringLiteral("字段 “cells” 应有 3 个数字"));
                    t.cellPitch = number(c.at(0), QStringLiteral("cells"));
                    t.cellCount = int(number(c.at(1), QStringLiteral("cells")));
                    t.firstCell = int(number(c.at(2), QStringLiteral("cells")));
                    if (!(t.cellPitch > 0 && t.cellPitch <= kMaxPaperMm && t.cellCount >= 1 &&
                          t.cellCount <= kMaxCells && t.firstCell >= 0 &&
                          t.firstCell <= t.cellCount))
                        fail(QStringLiteral("格子设置无效"));
                }
                page.texts.append(t);
            }
            for (const QJsonValue& lv :
                 array(field(po, QStringLiteral("lines")), QStringLiteral("lines"))) {
                const QJsonObject lo = object(lv, QStringLiteral("lines"));
                const QJsonArray a =
                    array(field(lo, QStringLiteral("line")), QStringLiteral("line"));
                if (a.size() != 4)
                    fail(QStringLiteral("字段 “line” 应有 4 个数字"));
                page.lines.append({QLineF(number(a.at(0), QStringLiteral("line")),
                                          number(a.at(1), QStringLiteral("line")),
                                          number(a.at(2), QStringLiteral("line")),
                                          number(a.at(3), QStringLiteral("line"))),
                                   number(lo, QStringLiteral("lineWidth"))});
            }
            for (const QJsonValue& rv :
                 array(field(po, QStringLiteral("rects")), QStringLiteral("rects"))) {
                const QJsonObject ro = object(rv, QStringLiteral("rects"));
                page.rects.append(
                    {rect(ro, QStringLiteral("rect")), number(ro, QStringLiteral("lineWidth"))});
            }
            r.pages.append(page);
        }
        if (r.pages.isEmpty())
            fail(QStringLiteral("文件中没有页面"));
        return r;
    }

private:
    QString path_;
};

} // namespace

QByteArray preparedReportToJson(const PreparedReport& report) {
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(
        QStringLiteral("paper"),
        QJsonObject{{QStringLiteral("width"), report.paperSize.width()},
                    {QStringLiteral("height"), report.paperSize.height()},
                    {QStringLiteral("orientation"), report.orientation == QPageLayout::Landscape
                                                        ? QStringLiteral("landscape")
                                                        : QStringLiteral("portrait")}});
    root.insert(QStringLiteral("printerOffset"),
                QJsonObject{{QStringLiteral("x"), report.printerOffset.x()},
                            {QStringLiteral("y"), report.printerOffset.y()}});
    if (!report.background.isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        report.background.save(&buffer, "PNG");
        QJsonObject background{{QStringLiteral("rect"), rectToJson(report.backgroundRect)},
                               {QStringLiteral("png"), QString::fromLatin1(png.toBase64())}};
        if (report.backgroundRotation != 0)
            background.insert(QStringLiteral("rotation"), report.backgroundRotation);
        root.insert(QStringLiteral("background"), background);
    }
    QJsonArray pages;
    for (const Page& page : report.pages) {
        QJsonArray texts;
        for (const PlacedText& t : page.texts) {
            QJsonObject text{{QStringLiteral("text"), t.text},
                             {QStringLiteral("rect"), rectToJson(t.rect)},
                             {QStringLiteral("family"), t.family},
                             {QStringLiteral("templateSize"), t.templateSize},
                             {QStringLiteral("fontSize"), t.fontSize},
                             {QStringLiteral("bold"), t.bold},
                             {QStringLiteral("align"), halignName(t.halign)},
                             {QStringLiteral("valign"), valignName(t.valign)},
                             {QStringLiteral("wrap"), t.wrap}};
            if (!t.field.isEmpty())
                text.insert(QStringLiteral("field"), t.field);
            if (t.cellCount > 0)
                text.insert(QStringLiteral("cells"),
                            QJsonArray{t.cellPitch, t.cellCount, t.firstCell});
            texts.append(text);
        }
        QJsonArray lines;
        for (const PlacedLine& l : page.lines) {
            lines.append(QJsonObject{{QStringLiteral("line"), QJsonArray{l.line.x1(), l.line.y1(),
                                                                         l.line.x2(), l.line.y2()}},
                                     {QStringLiteral("lineWidth"), l.lineWidth}});
        }
        QJsonArray rects;
        for (const PlacedRect& r : page.rects)
            rects.append(QJsonObject{{QStringLiteral("rect"), rectToJson(r.rect)},
                                     {QStringLiteral("lineWidth"), r.lineWidth}});
        pages.append(QJsonObject{{QStringLiteral("texts"), texts},
                                 {QStringLiteral("lines"), lines},
                                 {QStringLiteral("rects"), rects}});
    }
    root.insert(QStringLiteral("pages"), pages);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

PreparedReport preparedReportFromJson(const QByteArray& content, const QString& path) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(content, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        Reader(path).fail(QStringLiteral("文件已损坏或不是预览文件"));
    return Reader(path).read(doc.object());
}

void savePreparedReport(const PreparedReport& report, const QString& path) {
    QSaveFile file(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (!file.open(QIODevice::WriteOnly))
        throw PreparedFileError(
            QStringLiteral("预览文件 %1 无法保存：%2").arg(shown, file.errorString()));
    file.write(preparedReportToJson(report));
    if (!file.commit())
        throw PreparedFileError(
            QStringLiteral("预览文件 %1 无法保存：%2").arg(shown, file.errorString()));
}

PreparedReport loadPreparedReport(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        throw PreparedFileError(QStringLiteral("预览文件 %1 无法打开：文件不存在").arg(shown));
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw PreparedFileError(QStringLiteral("预览文件 %1 无法打开：%2")
                                    .arg(shown, fileProblem(path, file.errorString())));
    return preparedReportFromJson(file.readAll(), path);
}

} // namespace zelk::report
