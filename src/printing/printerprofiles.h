#pragma once

#include <QPointF>
#include <QString>

#include <optional>

namespace zelk::data {
class Connection;
} // namespace zelk::data

namespace zelk::printing {

// What the database keeps per printer and per template, in two tables of their own that are
// added to a database the first time something is stored (files of earlier versions keep
// opening and read as "nothing stored"):
//   PrinterOffset (PrinterName, OffsetX, OffsetY): the printer's offset in tenths of a mm;
//   PrinterChoice (TemplateName, PrinterName): the printer last used with a template.
class PrinterProfiles {
public:
    explicit PrinterProfiles(data::Connection& connection) : connection_(connection) {}

    // Offsets are whole tenths of a millimetre within this range (mm).
    static constexpr double kMaxOffset = 20.0;

    // The printer's stored offset in mm, or nothing when it has none of its own.
    std::optional<QPointF> offset(const QString& printerName) const;
    // Stores the offset, rounded to 0.1 mm. Throws DatabaseError, and ReportError (changing
    // nothing) when a value lies outside ±kMaxOffset.
    void setOffset(const QString& printerName, const QPointF& offsetMm);

    // The printer last used with the template (its file name), or empty.
    QString rememberedPrinter(const QString& templateName) const;
    void rememberPrinter(const QString& templateName, const QString& printerName);

private:
    bool hasTable(const QString& table) const;
    void createTables();

    data::Connection& connection_;
};

} // namespace zelk::printing
