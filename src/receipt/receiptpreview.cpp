#include "receiptpreview.h"

#include "app/ui/messagebox.h"

namespace zelk::receipt {

void previewReceipt(QWidget* parent, data::Tdmtd&, const QString& receiptId, const QString&,
                    const QString&) {
    if (receiptId.isEmpty()) {
        ui::MessageBox::information(parent, QStringLiteral("未选中发票！"));
        return;
    }
}

} // namespace zelk::receipt
