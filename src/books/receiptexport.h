#pragma once

#include "store/historysearch.h"
#include "store/summary.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace zelk::store {
class Store;
}

namespace zelk::books {

enum class ExportFormat { Xlsx, Csv };

// The format a file name asks for by its suffix (.xlsx or .csv, any case); nothing otherwise.
std::optional<ExportFormat> exportFormatFor(const QString& path);

// The columns of one exported receipt row, with their Chinese captions: 发票编号, then the
// header's columns in store::headerColumns() order.
const QStringList& receiptCaptions();
// The columns of one exported line row: 发票编号, 发票号码, then the line's columns.
const QStringList& lineCaptions();

// The receipt ids of a history search, in the order the history lists them.
QList<qint64> searchResultIds(store::Store& store, const store::HistoryCriteria& criteria);

// Told how far the export is; returning false cancels it.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

struct ExportResult {
    qint64 receipts = 0;
    qint64 lines = 0;
    bool cancelled = false;
    // Texts longer than a spreadsheet cell holds (32767 characters), cut in the .xlsx.
    qint64 cutTexts = 0;
};

// Writes the receipts `ids` (read from `store` one by one) to `path` in the format its suffix
// names.
//   .xlsx: sheet 收据, one row per receipt under receiptCaptions(), the total (jexx) as a number
//          shown with two decimals, the issue date (kpdate) as a date; sheet 明细, one row per
//          line under lineCaptions(), the line's amount (je) as a number. Rows beyond what a
//          sheet holds (1,048,576 with the captions) go on to "收据 (2)", "明细 (2)" and so on.
//          Texts are always written as texts, never as formulas. Written in libxlsxwriter's
//          constant-memory mode.
//   .csv:  UTF-8 with a byte-order mark, RFC 4180 quoting (CRLF between records), one row per
//          receipt as the 收据 sheet. A text beginning with = + - @ (or a tab or carriage
//          return) is written with a leading apostrophe, so that a spreadsheet takes it as text
//          and never as a formula.
// The file is written under a temporary name beside `path` and renamed at the end; a failure
// or a cancel leaves no file behind and an existing `path` untouched. Throws data::DatabaseError
// with a Chinese sentence on failure.
ExportResult exportReceipts(store::Store& store, const QList<qint64>& ids, const QString& path,
                            const ExportProgress& progress = {});

// Writes the rows of a summary to `path` like the receipts: one row per group under the captions
// keyCaption, 张数, 金额合计; in .xlsx on sheet 统计 with the count and the total as numbers (the
// total shown with two decimals), in .csv as above. Through a temporary file; throws
// data::DatabaseError with a Chinese sentence on failure.
void exportSummary(const QList<store::SummaryRow>& rows, const QString& keyCaption,
                   const QString& path);

} // namespace zelk::books
