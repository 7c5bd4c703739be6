#pragma once

#include "store/storeconfig.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace zelk::store {
class FileStore;
}

namespace zelk::settings {

// "设置" → "数据存储…": where the receipts are kept, the local file or a PostgreSQL server
// (host, port, database, user, password, TLS with the server's certificate checked). Read from
// and written to the local encrypted file's settings; the choice takes effect at the next
// start. "复制本机票据到服务器…" copies the local file's receipts onto the server given.
class StoreDialog : public QDialog {
    Q_OBJECT
public:
    // `localFile` is the local encrypted file, whichever store is in use.
    explicit StoreDialog(store::FileStore& localFile, QWidget* parent = nullptr);

    store::StoreConfig config() const;
    void setConfig(const store::StoreConfig& config);
    // "保存(&S)": checks and stores the settings; returns whether they were stored.
    bool saveClicked();
    // Copies every receipt, line and setting of the local file onto the server of the fields,
    // after a question; returns whether it copied.
    bool copyClicked();

private:
    void updateEnabled();

    store::FileStore& localFile_;
    QRadioButton* fileChoice_;
    QRadioButton* serverChoice_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* database_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* tls_;
    QLineEdit* certificate_;
};

} // namespace zelk::settings
