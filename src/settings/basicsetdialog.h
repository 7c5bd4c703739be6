#pragma once

#include <QDialog>

namespace zelk::data {
class Tdmtd;
}

namespace zelk::settings {

// 基础信息设置: the four defaults of the entry page (payee, category, issuer, notice text).
class TfrmbasicSet : public QDialog {
    Q_OBJECT
public:
    explicit TfrmbasicSet(data::Tdmtd& dm, QWidget* parent = nullptr);

private:
    data::Tdmtd& dm_;
};

} // namespace zelk::settings
