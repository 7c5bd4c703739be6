#include "basicsetdialog.h"

namespace zelk::settings {

TfrmbasicSet::TfrmbasicSet(data::Tdmtd& dm, QWidget* parent) : QDialog(parent), dm_(dm) {
    setWindowTitle(QStringLiteral("基础信息设置"));
}

} // namespace zelk::settings
