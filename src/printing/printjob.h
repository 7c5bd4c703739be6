#pragma once

#include "report/preparedreport.h"

#include <QString>

class QPrinter;

namespace zelk::printing {

class PrinterProfiles;

// The printer a job goes to: the named one, or the system's default printer when the name is
// empty. Throws report::ReportError when there is no such printer or no printer at all.
QString choosePrinter(const QString& name);

// Prints the report on the printer as it is set up (printer name, copies, page range, tray),
// moved by the printer's own stored offset, or by the report's (the template's) offset when the
// printer has none of its own, and with the printer's page-length correction sheet by sheet.
// profiles may be null (then the report's offset applies). Throws
// report::ReportError when the printer does not take the job, DatabaseError when reading the
// profile fails.
void printReport(QPrinter& printer, report::PreparedReport report, const PrinterProfiles* profiles);

// The same on the named printer (empty: the default printer) with the given copies, the way
// "zelkctl print" does it.
void printReport(const QString& printerName, int copies, const report::PreparedReport& report,
                 const PrinterProfiles* profiles);

} // namespace zelk::printing
