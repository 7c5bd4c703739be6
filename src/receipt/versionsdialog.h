#pragma once

#include <QDialog>

class QTableWidget;

namespace zelk::store {
class Store;
}

namespace zelk::receipt {

// "修改记录": the versions of one receipt, oldest first and the current one last, one row each
// (the save time, the desk that replaced it, the header's values, the lines); a value that
// differs from the version before is marked. Only shows: nothing is saved from here.
class VersionsDialog : public QDialog {
    Q_OBJECT
public:
    VersionsDialog(store::Store& store, qint64 kpid, QWidget* parent = nullptr);
    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_;
};

} // namespace zelk::receipt
