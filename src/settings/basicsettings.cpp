#include "settings/basicsettings.h"

#include "data/tdmtd.h"
#include "store/fileschema.h"
#include "store/filestore.h"
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

BasicSettings loadBasicSettings(data::Tdmtd& dm) {
    store::FileStore file(dm.Database3_ado);
    return loadBasicSettings(file);
}

void saveBasicSettings(store::Store& store, const BasicSettings& values) {
    // All four or none: the store writes them in one transaction.
    store.setSettings({{store::schema::issuerSetting, values.issuer},
                       {store::schema::payeeSetting, values.payee},
                       {store::schema::categorySetting, values.category},
                       {store::schema::noticeSetting, values.notice}});
}

void saveBasicSettings(data::Tdmtd& dm, const BasicSettings& values) {
    store::FileStore file(dm.Database3_ado);
    saveBasicSettings(file, values);
}

} // namespace zelk::settings
