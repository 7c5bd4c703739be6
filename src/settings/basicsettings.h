#pragma once

#include <QString>

namespace zelk::store {
class Store;
}

namespace zelk::settings {

// The four defaults of the entry page, kept in the settings.
struct BasicSettings {
    QString issuer;   // 开票人, setting 29
    QString payee;    // 收款方名称, setting 27
    QString category; // 行业分类, setting 28
    QString notice;   // 票据说明, setting 30 (may hold several lines)

    friend bool operator==(const BasicSettings&, const BasicSettings&) = default;
};

// Reads the four settings in the order 27, 28, 29, 30, each trimmed; a missing row gives an
// empty value.
BasicSettings loadBasicSettings(store::Store& store);

// Writes the four settings in the order 29, 27, 28, 30, each exactly as given (no trimming,
// line breaks kept). The four updates are one transaction: when one of them fails the
// DatabaseError leaves this function and none of the four settings has changed.
void saveBasicSettings(store::Store& store, const BasicSettings& values);

} // namespace zelk::settings
