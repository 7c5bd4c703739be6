#pragma once

#include "store/printerprofiles.h"

#include <QPointF>
#include <QString>

#include <optional>

namespace zelk::printing {

// The printer profiles the local file keeps (see store/printerprofiles.h), in millimetres:
// each printer's own offset and page-length correction, the sheets printed since its paper was
// aligned, and the printer last used with each template. Checks what the operator enters.
class PrinterProfiles {
public:
    explicit PrinterProfiles(store::FileStore& file) : stored_(file) {}

    // Offsets are whole tenths of a millimetre within this range (mm).
    static constexpr double kMaxOffset = 20.0;

    // The printer's stored offset in mm, or nothing when it has none of its own.
    std::optional<QPointF> offset(const QString& printerName) const;
    // Stores the offset, rounded to 0.1 mm. Throws DatabaseError, and ReportError (changing
    // nothing) when a value lies outside ±kMaxOffset.
    void setOffset(const QString& printerName, const QPointF& offsetMm);

    // The page-length correction of continuous paper on the printer: how far its feed creeps
    // per sheet (mm, positive: later sheets lie lower); 0 when none is stored.
    double feedCorrection(const QString& printerName) const;
    // Stores the correction measured on the calibration sheet printed on `sheets` consecutive
    // sheets, whose last crosshair lay creepMm lower than the first's (negative: higher). The
    // creep of one sheet is creepMm / (sheets - 1): the first sheet has not crept at all. Throws
    // ReportError (changing nothing) for fewer than 2 or more than kMaxSheets sheets or a creep
    // beyond ±kMaxOffset, DatabaseError.
    void setFeedCorrection(const QString& printerName, int sheets, double creepMm);
    static constexpr int kMaxSheets = 100;
    // The measurement as typed (sheets, creep in mm); nothing when none was stored.
    struct FeedMeasurement {
        int sheets = 0;
        double creepMm = 0.0;
    };
    std::optional<FeedMeasurement> feedMeasurement(const QString& printerName) const;

    // Continuous paper: the sheets printed on the printer since its paper was last aligned, so
    // that the page-length correction goes on from one job to the next.
    int sheetsSinceAlignment(const QString& printerName) const;
    void addSheets(const QString& printerName, int sheets);
    // "纸已重新对齐", and every calibration run: the next job starts from the first sheet.
    void resetSheets(const QString& printerName);
    static double correctionPerSheet(int sheets, double creepMm) {
        return sheets > 1 ? creepMm / (sheets - 1) : 0.0;
    }

    // The printer last used with the template (its file name), or empty.
    QString rememberedPrinter(const QString& templateName) const;
    void rememberPrinter(const QString& templateName, const QString& printerName);

private:
    store::PrinterProfileStore stored_;
};

} // namespace zelk::printing
