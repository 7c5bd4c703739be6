#include "printing/printerprofiles.h"

#include "data/query.h"
#include "report/reporterror.h"

#include <cmath>

namespace zelk::printing {

namespace {

qint64 tenths(double mm) {
    return std::llround(mm * 10.0);
}

} // namespace

void PrinterProfiles::ensureRow(const QString& printerName) {
    data::Query query(connection_);
    query.add(QStringLiteral("insert or ignore into PrinterOffset (PrinterName) values (:name)"));
    query.bind(QStringLiteral("name"), printerName);
    query.execute();
}

qint64 PrinterProfiles::integerColumn(const QString& printerName, const QString& column) const {
    data::Query query(connection_);
    // column is one of ours, never input.
    query.add(
        QStringLiteral("select coalesce(%1, 0) as v from PrinterOffset where PrinterName=:name")
            .arg(column));
    query.bind(QStringLiteral("name"), printerName);
    query.open();
    return query.eof() ? 0 : query.fieldAsInteger(QStringLiteral("v"));
}

std::optional<QPointF> PrinterProfiles::offset(const QString& printerName) const {
    data::Query query(connection_);
    query.add(QStringLiteral("select OffsetX, OffsetY from PrinterOffset"
                             " where PrinterName=:name and OffsetX is not null"));
    query.bind(QStringLiteral("name"), printerName);
    query.open();
    if (query.eof())
        return std::nullopt;
    return QPointF(query.fieldAsInteger(QStringLiteral("OffsetX")) / 10.0,
                   query.fieldAsInteger(QStringLiteral("OffsetY")) / 10.0);
}

void PrinterProfiles::setOffset(const QString& printerName, const QPointF& offsetMm) {
    const qint64 limit = tenths(kMaxOffset);
    const qint64 x = tenths(offsetMm.x());
    const qint64 y = tenths(offsetMm.y());
    if (!std::isfinite(offsetMm.x()) || !std::isfinite(offsetMm.y()) || std::abs(x) > limit ||
        std::abs(y) > limit)
        throw report::ReportError(QStringLiteral("打印机偏移必须在 −20 到 +20 毫米之间，未保存。"));
    ensureRow(printerName);
    data::Query query(connection_);
    query.add(
        QStringLiteral("update PrinterOffset set OffsetX=:x, OffsetY=:y where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.bind(QStringLiteral("x"), x);
    query.bind(QStringLiteral("y"), y);
    query.execute();
}

double PrinterProfiles::feedCorrection(const QString& printerName) const {
    // From the measurement as typed when there is one, so no rounding piles up over sheets.
    if (const std::optional<FeedMeasurement> m = feedMeasurement(printerName))
        return correctionPerSheet(m->sheets, m->creepMm);
    return integerColumn(printerName, QStringLiteral("FeedCorrection")) / 1000.0;
}

std::optional<PrinterProfiles::FeedMeasurement>
PrinterProfiles::feedMeasurement(const QString& printerName) const {
    const qint64 sheets = integerColumn(printerName, QStringLiteral("FeedSheets"));
    if (sheets < 2)
        return std::nullopt;
    return FeedMeasurement{int(sheets),
                           integerColumn(printerName, QStringLiteral("FeedCreep")) / 1000.0};
}

int PrinterProfiles::sheetsSinceAlignment(const QString& printerName) const {
    return int(integerColumn(printerName, QStringLiteral("SheetCount")));
}

void PrinterProfiles::addSheets(const QString& printerName, int sheets) {
    ensureRow(printerName);
    data::Query query(connection_);
    query.add(QStringLiteral("update PrinterOffset set SheetCount=coalesce(SheetCount, 0)+:n"
                             " where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.bind(QStringLiteral("n"), qint64(sheets));
    query.execute();
}

void PrinterProfiles::resetSheets(const QString& printerName) {
    data::Query query(connection_);
    query.add(QStringLiteral("update PrinterOffset set SheetCount=0 where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.execute();
}

void PrinterProfiles::setFeedCorrection(const QString& printerName, int sheets, double creepMm) {
    if (sheets < 2 || sheets > kMaxSheets || !std::isfinite(creepMm) ||
        std::abs(creepMm) > kMaxOffset)
        throw report::ReportError(
            QStringLiteral("走纸校正无效：校准页须为 2 到 %1 张，偏差须在 −20 到 +20 毫米之间，"
                           "未保存。")
                .arg(kMaxSheets));
    ensureRow(printerName);
    data::Query query(connection_);
    // The measurement is kept as typed; the per-sheet figure beside it for earlier versions.
    query.add(QStringLiteral("update PrinterOffset set FeedCorrection=:c, FeedSheets=:sheets,"
                             " FeedCreep=:creep where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.bind(QStringLiteral("c"),
               qint64(std::llround(correctionPerSheet(sheets, creepMm) * 1000.0)));
    query.bind(QStringLiteral("sheets"), qint64(sheets));
    query.bind(QStringLiteral("creep"), qint64(std::llround(creepMm * 1000.0)));
    query.execute();
}

QString PrinterProfiles::rememberedPrinter(const QString& templateName) const {
    data::Query query(connection_);
    query.add(QStringLiteral("select PrinterName from PrinterChoice where TemplateName=:name"));
    query.bind(QStringLiteral("name"), templateName);
    query.open();
    return query.eof() ? QString() : query.fieldAsText(QStringLiteral("PrinterName"));
}

void PrinterProfiles::rememberPrinter(const QString& templateName, const QString& printerName) {
    data::Query query(connection_);
    query.add(QStringLiteral("insert or replace into PrinterChoice (TemplateName, PrinterName)"
                             " values (:template, :printer)"));
    query.bind(QStringLiteral("template"), templateName);
    query.bind(QStringLiteral("printer"), printerName);
    query.execute();
}

} // namespace zelk::printing
