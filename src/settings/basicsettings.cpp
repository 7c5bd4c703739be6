#include "settings/basicsettings.h"

#include "data/schema.h"
#include "store/store.h"
#include "text/blanks.h"

namespace zelk::settings {

BasicSettings loadBasicSettings(store::Store& store) {
    BasicSettings s;
    s.payee = text::trimBlanks(store.setting(data::schema::payeeSetting));
    s.category = text::trimBlanks(store.setting(data::schema::categorySetting));
    s.issuer = text::trimBlanks(store.setting(data::schema::issuerSetting));
    s.notice = text::trimBlanks(store.setting(data::schema::noticeSetting));
    return s;
}

void saveBasicSettings(store::Store& store, const BasicSettings& values) {
    // All four or none: the store writes them in one transaction.
    store.setSettings({{data::schema::issuerSetting, values.issuer},
                       {data::schema::payeeSetting, values.payee},
                       {data::schema::categorySetting, values.category},
                       {data::schema::noticeSetting, values.notice}});
}

} // namespace zelk::settings
