#pragma once

#include <QPoint>
#include <QString>

#include <optional>

namespace zelk::store {

class FileStore;

// What the local file keeps per printer and per template, in two tables of their own that the
// file's version steps add to a file of an earlier version (store/schemaversion.h):
//   PrinterOffset (PrinterName, OffsetX, OffsetY, FeedCorrection, FeedSheets, FeedCreep,
//     SheetCount): the printer's offset in tenths of a mm (NULL when it has none of its own),
//     its page-length correction in thousandths of a mm per sheet, the measurement it came from
//     as typed (sheets, creep in thousandths of a mm), and the sheets printed since the paper
//     was last aligned (columns added to tables of earlier versions);
//   PrinterChoice (TemplateName, PrinterName): the printer last used with a template.
// Stored values only, in the file's units; what they mean and which are allowed is printing's.
// Every method throws DatabaseError.
class PrinterProfileStore {
public:
    explicit PrinterProfileStore(FileStore& file) : file_(file) {}

    // The printer's offset in tenths of a mm, or nothing when it has none of its own.
    std::optional<QPoint> offsetTenths(const QString& printerName) const;
    void setOffsetTenths(const QString& printerName, const QPoint& offset);

    // The correction per sheet in thousandths of a mm as stored (0 when none).
    qint64 feedCorrection(const QString& printerName) const;
    // The measurement as typed: sheets (0 when none) and creep in thousandths of a mm.
    qint64 feedSheets(const QString& printerName) const;
    qint64 feedCreep(const QString& printerName) const;
    // Stores the measurement with its per-sheet figure (kept for earlier versions).
    void setFeed(const QString& printerName, qint64 perSheet, qint64 sheets, qint64 creep);

    // The sheets printed since the paper was last aligned.
    qint64 sheetCount(const QString& printerName) const;
    void addSheets(const QString& printerName, qint64 sheets);
    void resetSheets(const QString& printerName);

    // The printer last used with the template (its file name), or empty.
    QString rememberedPrinter(const QString& templateName) const;
    void rememberPrinter(const QString& templateName, const QString& printerName);

private:
    void ensureRow(const QString& printerName);
    qint64 integerColumn(const QString& printerName, const QString& column) const;

    FileStore& file_;
};

} // namespace zelk::store
