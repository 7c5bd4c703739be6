#pragma once

#include "store/historysearch.h"

#include <QString>

class QWidget;

namespace zelk::store {
class Store;
}

namespace zelk::receipt {

// "导出…" on the history page: asks for a .xlsx or .csv file and exports the receipts the
// search `criteria` lists.
void exportSearchResult(QWidget* parent, store::Store& store,
                        const store::HistoryCriteria& criteria);

// The export into `path` with a progress bar (shown when it takes longer than half a second,
// with a cancel button) and a message saying how it ended. Returns whether the file was written.
bool exportSearchResultTo(QWidget* parent, store::Store& store,
                          const store::HistoryCriteria& criteria, const QString& path);

} // namespace zelk::receipt
