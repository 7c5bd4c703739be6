#include "settings/basicsettings.h"

#include "store/fileschema.h"
#include "store/store.h"
#include "text/blanks.h"

namespace zelk::settings {

BasicSettings loadBasicSettings(store::Store& store) {
    BasicSettings s;
    s.payee = text::trimBlanks(store.setting(store::schema::payeeSetting));
    s.category = text::trimBlanks(store.setting(store::schema::categorySetting));
    s.issuer = text::trimBlanks(store.setting(store::schema::issuerSetting));
    s.notice = text::trimBlanks(store.setting(store::schema::noticeSetting));
    return s;
}

void saveBasicSettings(store::Store& store, const BasicSettings& values) {
    // All four or none: the store writes them in one transaction.
    store.setSettings({{store::schema::issuerSetting, values.issuer},
                       {store::schema::payeeSetting, values.payee},
                       {store::schema::categorySetting, values.category},
                       {store::schema::noticeSetting, values.notice}});
}

} // namespace zelk::settings
