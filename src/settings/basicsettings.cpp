#include "settings/basicsettings.h"

#include "data/schema.h"
#include "data/tdmtd.h"
#include "data/transaction.h"

namespace zelk::settings {

BasicSettings loadBasicSettings(data::Tdmtd& dm) {
    BasicSettings s;
    s.payee = dm.settingValue(data::schema::payeeSetting);
    s.category = dm.settingValue(data::schema::categorySetting);
    s.issuer = dm.settingValue(data::schema::issuerSetting);
    s.notice = dm.settingValue(data::schema::noticeSetting);
    return s;
}

void saveBasicSettings(data::Tdmtd& dm, const BasicSettings& values) {
    // All four or none: the transaction rolls back when an update throws.
    data::Transaction transaction(dm.Database3_ado);
    dm.setSettingValue(data::schema::issuerSetting, values.issuer);
    dm.setSettingValue(data::schema::payeeSetting, values.payee);
    dm.setSettingValue(data::schema::categorySetting, values.category);
    dm.setSettingValue(data::schema::noticeSetting, values.notice);
    transaction.commit();
}

} // namespace zelk::settings
