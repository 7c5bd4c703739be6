#include "receipt/receiptpreview.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/filelocations.h"
#include "data/query.h"
#include "data/tdmtd.h"
#include "printing/previewprinting.h"
#include "report/previewwindow.h"
#include "report/template.h"
#include "ui/messagebox.h"

namespace zelk::receipt {

namespace {

ReportShower& reportShower() {
    static ReportShower shower;
    return shower;
}

void showReport(const report::PreparedReport& prepared, QWidget* parent,
                const std::function<void()>& onHelp, data::Connection& connection,
                const QString& templatePath) {
    if (const ReportShower& shower = reportShower()) {
        shower(prepared, parent, onHelp);
        return;
    }
    report::PreviewWindow window(prepared, parent);
    window.setHelpHandler(onHelp);
    new printing::PreviewPrinting(window, connection, templatePath, receiptFieldNames());
    window.exec();
}

} // namespace

qint64 receiptIdNumber(const QString& receiptId) {
    bool ok = false;
    const qint64 id = receiptId.trimmed().toLongLong(&ok, 10);
    if (!ok)
        throw data::DatabaseError(
            QStringLiteral("发票编号“%1”不是数字，无法查询。").arg(receiptId));
    return id;
}

QMap<QString, QString> receiptFieldNames() {
    return {{QStringLiteral("fphm"), QStringLiteral("发票号码")},
            {QStringLiteral("kpdate2"), QStringLiteral("开票日期")},
            {QStringLiteral("hyfl"), QStringLiteral("行业分类")},
            {QStringLiteral("jdhm"), QStringLiteral("机打号码")},
            {QStringLiteral("qssj"), QStringLiteral("起始时间")},
            {QStringLiteral("jcsj"), QStringLiteral("截止时间")},
            {QStringLiteral("jym"), QStringLiteral("校验码")},
            {QStringLiteral("fkfmc"), QStringLiteral("付款方名称")},
            {QStringLiteral("jedx"), QStringLiteral("合计金额(大写)")},
            {QStringLiteral("jexx"), QStringLiteral("合计金额")},
            {QStringLiteral("skfmc"), QStringLiteral("收款方名称")},
            {QStringLiteral("kpr"), QStringLiteral("开票人")},
            {QStringLiteral("bz1"), QStringLiteral("提示行")},
            {QStringLiteral("bz2"), QStringLiteral("备注")},
            {QStringLiteral("V0"), QStringLiteral("备注")},
            {QStringLiteral("xm"), QStringLiteral("项目")},
            {QStringLiteral("kjll"), QStringLiteral("内容")},
            {QStringLiteral("dw"), QStringLiteral("单位")},
            {QStringLiteral("sl"), QStringLiteral("数量")},
            {QStringLiteral("dj"), QStringLiteral("单价")},
            {QStringLiteral("je"), QStringLiteral("金额")}};
}

QString receiptTemplatePath(const QString& executablePath) {
    return data::locateFiles(executablePath).templateFolder + QStringLiteral("report/fp3.frf");
}

report::DataSet loadReceiptDataSet(data::Connection& connection, const QString& receiptId) {
    const qint64 id = receiptIdNumber(receiptId);
    data::Query query(connection);
    query.add(QStringLiteral(
        "select a.*,b.fpmxid,b.xm,b.kjll,b.dw,b.sl,b.dj,b.je from fpmain a,fpdetail b"));
    // Lines print in the order they were entered on the form.
    query.add(QStringLiteral(" where a.kpid=b.kpid and a.kpid=:kpid order by b.fpmxid"));
    query.bind(QStringLiteral("kpid"), id);
    query.open();

    report::DataSet dataSet;
    dataSet.columns = query.fieldNames();
    for (; !query.eof(); query.next()) {
        QStringList row;
        row.reserve(dataSet.columns.size());
        for (const QString& column : std::as_const(dataSet.columns))
            row.append(query.fieldAsText(column));
        dataSet.rows.append(row);
    }
    return dataSet;
}

report::PreparedReport prepareReceiptReport(data::Connection& connection, const QString& receiptId,
                                            const QString& remarks, const QString& templatePath) {
    const report::DataSet dataSet = loadReceiptDataSet(connection, receiptId);
    const report::Template tpl = report::loadTemplate(templatePath);
    // The remarks are handed over as they are: the engine never evaluates a value, so no
    // quoting is needed and quotes or line breaks in them print as typed.
    const report::Variables variables{{QStringLiteral("V0"), remarks}};
    return report::layoutReport(tpl, dataSet, variables);
}

void setReportShower(ReportShower shower) {
    reportShower() = std::move(shower);
}

void previewReceipt(QWidget* parent, data::Tdmtd& dm, const QString& receiptId,
                    const QString& remarks, const QString& executablePath,
                    const std::function<void()>& onHelp) {
    if (receiptId.isEmpty()) {
        ui::MessageBox::information(parent, QStringLiteral("未选中发票！"));
        return;
    }
    const QString templatePath = receiptTemplatePath(executablePath);
    const report::PreparedReport prepared =
        prepareReceiptReport(dm.Database3_ado, receiptId, remarks, templatePath);
    showReport(prepared, parent, onHelp, dm.Database3_ado, templatePath);
}

} // namespace zelk::receipt
