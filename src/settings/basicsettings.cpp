#include "basicsettings.h"

#include "data/tdmtd.h"
#include "data/transaction.h"

namespace zelk::settings {

BasicSettings loadBasicSettings(data::Tdmtd& dm) {
    BasicSettings s;
    s.payee = dm.settingValue(BasicSettings::payeeId);
    s.category = dm.settingValue(BasicSettings::categoryId);
    s.biller = dm.settingValue(BasicSettings::billerId);
    s.notice = dm.settingValue(BasicSettings::noticeId);
    return s;
}

void saveBasicSettings(data::Tdmtd& dm, const BasicSettings& values) {
    // All four or none: the transaction rolls back when an update throws.
    data::Transaction transaction(dm.Database3_ado);
    dm.setSettingValue(BasicSettings::billerId, values.biller);
    dm.setSettingValue(BasicSettings::payeeId, values.payee);
    dm.setSettingValue(BasicSettings::categoryId, values.category);
    dm.setSettingValue(BasicSettings::noticeId, values.notice);
    transaction.commit();
}

} // namespace zelk::settings
