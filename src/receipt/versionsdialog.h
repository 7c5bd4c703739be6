#pragma once

#include "store/store.h"

#include <QDialog>

#include <functional>

class QTableWidget;

namespace zelk::receipt {

// "修改记录": the versions of one receipt, oldest first and the current one last, one row each
// (the save time, the desk that replaced it, the header's values, the lines); a value that
// differs from the version before is marked. Only shows: nothing is saved from here.
// "预览此版本…" hands the selected earlier version to `preview` (the preview window, as a copy).
class VersionsDialog : public QDialog {
    Q_OBJECT
public:
    using Previewer = std::function<void(const store::ReceiptVersion&)>;
    VersionsDialog(store::Store& store, qint64 kpid, QWidget* parent = nullptr,
                   Previewer preview = {});
    QTableWidget* table() const { return table_; }

private:
    void previewSelected();

    QTableWidget* table_;
    QList<store::ReceiptVersion> earlier_;
    Previewer preview_;
};

} // namespace zelk::receipt
