#pragma once

#include <QString>

class QWidget;

namespace zelk::data {
class Tdmtd;
}

namespace zelk::receipt {

// Shows the stored receipt `receiptId` through the template report/fp3.frf beside the
// executable, with `remarks` (as the form holds them) as the variable V0, in the modal
// preview window. An empty id gives the message "未选中发票！" and nothing else. Database and
// template errors are thrown for the caller's command guard.
void previewReceipt(QWidget* parent, data::Tdmtd& dm, const QString& receiptId,
                    const QString& remarks, const QString& executablePath);

} // namespace zelk::receipt
