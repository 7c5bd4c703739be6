#pragma once

#include "settings/basicsettings.h"

#include <QDialog>
#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zelk::store {
class Store;
}

namespace zelk::settings {

// 基础信息设置: the four defaults of the entry page (payee, category, issuer, notice text).
// Filled from the stored settings when first shown; "保存(&S)" writes all four at once, "退出(&Q)"
// closes without writing. The entry page is not touched: new defaults reach it at the next start.
class TfrmbasicSet : public QDialog {
    Q_OBJECT
public:
    explicit TfrmbasicSet(store::Store& store, QWidget* parent = nullptr);
    ~TfrmbasicSet() override;

    // Fills the fields from the database (errors go to the error box).
    void load();
    // The fields as they stand, untrimmed.
    BasicSettings values() const;
    void setValues(const BasicSettings& values);

    // "保存(&S)": stores the four fields, then "保存成功！"; the dialog stays open.
    void BitBtn19Click();
    // "退出(&Q)": closes without saving and without asking.
    void BitBtn4Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createLayout();
    // First show: the fields are filled here, not in the constructor, so that creating the
    // dialog never touches the database.
    void FormShow();

    store::Store& store_;
    bool shown_ = false;
    // Whether the fields hold the stored settings; saving is refused until they do.
    bool loaded_ = false;
    QLineEdit* issuerEdit_ = nullptr;
    QLineEdit* payeeEdit_ = nullptr;
    QLineEdit* categoryEdit_ = nullptr;
    QPlainTextEdit* noticeEdit_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
};

} // namespace zelk::settings
