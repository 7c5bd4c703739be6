#include "printing/printerprofiles.h"

#include "report/reporterror.h"

#include <cmath>

namespace zelk::printing {

namespace {

qint64 tenths(double mm) {
    return std::llround(mm * 10.0);
}

} // namespace

std::optional<QPointF> PrinterProfiles::offset(const QString& printerName) const {
    const std::optional<QPoint> stored = stored_.offsetTenths(printerName);
    if (!stored)
        return std::nullopt;
    return QPointF(stored->x() / 10.0, stored->y() / 10.0);
}

void PrinterProfiles::setOffset(const QString& printerName, const QPointF& offsetMm) {
    const qint64 limit = tenths(kMaxOffset);
    const qint64 x = tenths(offsetMm.x());
    const qint64 y = tenths(offsetMm.y());
    if (!std::isfinite(offsetMm.x()) || !std::isfinite(offsetMm.y()) || std::abs(x) > limit ||
        std::abs(y) > limit)
        throw report::ReportError(QStringLiteral("打印机偏移必须在 −20 到 +20 毫米之间，未保存。"));
    stored_.setOffsetTenths(printerName, QPoint(int(x), int(y)));
}

double PrinterProfiles::feedCorrection(const QString& printerName) const {
    // From the measurement as typed when there is one, so no rounding piles up over sheets.
    if (const std::optional<FeedMeasurement> m = feedMeasurement(printerName))
        return correctionPerSheet(m->sheets, m->creepMm);
    return stored_.feedCorrection(printerName) / 1000.0;
}

std::optional<PrinterProfiles::FeedMeasurement>
PrinterProfiles::feedMeasurement(const QString& printerName) const {
    const qint64 sheets = stored_.feedSheets(printerName);
    if (sheets < 2)
        return std::nullopt;
    return FeedMeasurement{int(sheets), stored_.feedCreep(printerName) / 1000.0};
}

int PrinterProfiles::sheetsSinceAlignment(const QString& printerName) const {
    return int(stored_.sheetCount(printerName));
}

void PrinterProfiles::addSheets(const QString& printerName, int sheets) {
    stored_.addSheets(printerName, sheets);
}

void PrinterProfiles::resetSheets(const QString& printerName) {
    stored_.resetSheets(printerName);
}

void PrinterProfiles::setFeedCorrection(const QString& printerName, int sheets, double creepMm) {
    if (sheets < 2 || sheets > kMaxSheets || !std::isfinite(creepMm) ||
        std::abs(creepMm) > kMaxOffset)
        throw report::ReportError(
            QStringLiteral("走纸校正无效：校准页须为 2 到 %1 张，偏差须在 −20 到 +20 毫米之间，"
                           "未保存。")
                .arg(kMaxSheets));
    // The measurement is kept as typed; the per-sheet figure beside it for earlier versions.
    stored_.setFeed(printerName, std::llround(correctionPerSheet(sheets, creepMm) * 1000.0), sheets,
                    std::llround(creepMm * 1000.0));
}

QString PrinterProfiles::rememberedPrinter(const QString& templateName) const {
    return stored_.rememberedPrinter(templateName);
}

void PrinterProfiles::rememberPrinter(const QString& templateName, const QString& printerName) {
    stored_.rememberPrinter(templateName, printerName);
}

} // namespace zelk::printing
