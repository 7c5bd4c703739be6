#include "data/tdmtd.h"

#include "text/blanks.h"

namespace zelk::data {

Tdmtd::Tdmtd() : Qry_Func(Database3_ado), Qry_Insert(Database3_ado) {}

QString Tdmtd::settingValue(int setId) {
    Qry_Func.close();
    Qry_Func.clear();
    Qry_Func.add(QStringLiteral("select SetValue from SysSet"));
    Qry_Func.add(QStringLiteral(" where SetId=:SetId"));
    Qry_Func.bind(QStringLiteral("SetId"), qint64(setId));
    Qry_Func.open();
    QString value;
    if (!Qry_Func.eof())
        value = Qry_Func.fieldAsText(QStringLiteral("SetValue"));
    Qry_Func.close();
    return text::trimBlanks(value);
}

void Tdmtd::setSettingValue(int setId, const QString& value) {
    Qry_Insert.close();
    Qry_Insert.clear();
    Qry_Insert.add(QStringLiteral("update SysSet"));
    Qry_Insert.add(QStringLiteral(" set SetValue=:SetValue"));
    Qry_Insert.add(QStringLiteral(" where SetId=:SetId"));
    Qry_Insert.bind(QStringLiteral("SetValue"), value);
    Qry_Insert.bind(QStringLiteral("SetId"), qint64(setId));
    Qry_Insert.execute();
    Qry_Insert.close();
}

qint64 Tdmtd::largestReceiptId() {
    Qry_Func.close();
    Qry_Func.clear();
    Qry_Func.add(QStringLiteral("select max(kpid) as maxid from fpmain "));
    Qry_Func.open();
    qint64 id = 0;
    if (!Qry_Func.eof())
        id = Qry_Func.fieldAsInteger(QStringLiteral("maxid"));
    Qry_Func.close();
    return id;
}

} // namespace zelk::data
