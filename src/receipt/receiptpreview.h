#pragma once

#include "report/layout.h"
#include "report/preparedreport.h"

#include <QMap>
#include <QString>

#include <functional>

class QWidget;

namespace zelk::store {
class FileStore;
class Store;
struct ReceiptVersion;
} // namespace zelk::store

namespace zelk::receipt {

// The receipt id as the number the database stores. The id reaches the query as a bound
// integer, so text that is not a whole number (blanks, "1 or 1=1", "1.5") is refused here with
// a DatabaseError that names it, instead of silently matching no receipt.
qint64 receiptIdNumber(const QString& receiptId);

// The Chinese names of the receipt's columns (and of V0, the remarks), as the entry form
// calls them: what the calibration sheet and the preview's warnings call a box.
QMap<QString, QString> receiptFieldNames();

// The template the preview reads: report/fp3.frf in the folder of the executable, whatever the
// executable is called; for an installed program the user's own copy (data/filelocations.h).
QString receiptTemplatePath(const QString& executablePath);

// The rows a receipt prints from (Store::receiptRows): kpid and every header column, followed by
// fpmxid and every line column, one row per stored line in the order the lines were
// entered (fpmxid), every value as text (NULL as empty text). A receipt without lines, or an
// id no receipt has, gives the columns and no rows. Throws DatabaseError.
report::DataSet loadReceiptDataSet(store::Store& store, const QString& receiptId);

// The stored receipt laid out through the template file at templatePath, with remarks as the
// variable V0: a plain string that prints exactly as given (quotes, brackets and line breaks
// included). The template is read from the file on every call. Throws DatabaseError for the
// query and report::ReportError for the template.
report::PreparedReport prepareReceiptReport(store::Store& store, const QString& receiptId,
                                            const QString& remarks, const QString& templatePath);

// The note an earlier version prints with: "副本：修改前的版本（于 … 被修改）".
QString earlierVersionNote(const store::ReceiptVersion& version);

// An earlier version of a receipt laid out through the template like the stored receipt (its
// remarks bz2 as V0), with earlierVersionNote on top of every page, so that neither the preview
// nor the paper can be taken for the current receipt. Throws report::ReportError.
report::PreparedReport prepareVersionReport(const store::ReceiptVersion& version,
                                            const QString& templatePath);

// Shows a prepared receipt. The default is the modal preview window; tests replace it to look
// at what would be shown without opening a window. onHelp is what the window's help button
// calls.
using ReportShower = std::function<void(const report::PreparedReport& report, QWidget* parent,
                                        const std::function<void()>& onHelp)>;
// Replaces the preview window; an empty shower restores it.
void setReportShower(ReportShower shower);

// The "预览(&V)" button: shows the stored receipt `receiptId` through the template
// report/fp3.frf beside the executable, with `remarks` (as the form holds them) as the
// variable V0, in the modal preview window, and returns when the window closes. An empty id
// (exactly empty, not trimmed) gives the message "未选中发票！" and nothing else. Database and
// template errors are thrown for the caller's command guard, and then no window opens. onHelp
// is called by the window's help button (the program passes the help menu's opener).
// The receipt comes from `store`; the printers' offsets and choices from the local file
// `local`, since they belong to this desk's printers.
void previewReceipt(QWidget* parent, store::Store& store, store::FileStore& local,
                    const QString& receiptId, const QString& remarks, const QString& executablePath,
                    const std::function<void()>& onHelp);

// "预览此版本": the earlier version in the preview window, printable from there as a copy.
// Nothing is saved: the window only shows and prints.
void previewEarlierVersion(QWidget* parent, const store::ReceiptVersion& version,
                           store::FileStore& local, const QString& executablePath,
                           const std::function<void()>& onHelp);

} // namespace zelk::receipt
