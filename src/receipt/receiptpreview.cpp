#include "receipt/receiptpreview.h"

#include "data/databaseerror.h"
#include "data/filelocations.h"
#include "printing/previewprinting.h"
#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "report/template.h"
#include "store/filestore.h"
#include "store/receiptcolumns.h"
#include "store/store.h"
#include "ui/messagebox.h"

namespace zelk::receipt {

namespace {

ReportShower& reportShower() {
    static ReportShower shower;
    return shower;
}

report::PreparedReport layoutNamed(const report::Template& tpl, const report::DataSet& dataSet,
                                   const report::Variables& variables) {
    try {
        return report::layoutReport(tpl, dataSet, variables);
    } catch (const report::UnplaceableError& e) {
        // Said with the field's own name: "付款方名称（[fkfmc]）的框…".
        const QString name = zelk::receipt::receiptFieldNames().value(e.field());
        if (name.isEmpty())
            throw;
        throw e.named(name);
    }
}

void showReport(const report::PreparedReport& prepared, QWidget* parent,
                const std::function<void()>& onHelp, store::FileStore& local,
                const QString& templatePath,
                const std::function<report::PreparedReport()>& prepareAgain) {
    if (const ReportShower& shower = reportShower()) {
        shower(prepared, parent, onHelp);
        return;
    }
    report::PreviewWindow window(prepared, parent);
    window.setHelpHandler(onHelp);
    // A template changed while the preview is open (in the designer it opens, or by another
    // copy of the program) lays the receipt out again, so 打印 prints what the template says.
    window.setTemplateSource(templatePath, prepareAgain);
    new printing::PreviewPrinting(window, local, templatePath, receiptFieldNames());
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
    QMap<QString, QString> names;
    for (const store::ReceiptColumn& column : store::storedColumns())
        names.insert(QString::fromLatin1(column.name), QString::fromUtf8(column.caption));
    names.insert(QStringLiteral("V0"), QStringLiteral("备注"));
    return names;
}

QString receiptTemplatePath(const QString& executablePath) {
    return data::locateFiles(executablePath).templateFolder + QStringLiteral("report/fp3.frf");
}

report::DataSet loadReceiptDataSet(store::Store& store, const QString& receiptId) {
    const store::Table table = store.receiptRows(receiptIdNumber(receiptId));
    report::DataSet dataSet;
    dataSet.columns = table.columns;
    dataSet.rows = table.rows;
    return dataSet;
}

report::PreparedReport prepareReceiptReport(store::Store& store, const QString& receiptId,
                                            const QString& remarks, const QString& templatePath) {
    const report::DataSet dataSet = loadReceiptDataSet(store, receiptId);
    const report::Template tpl = report::loadTemplate(templatePath);
    // The remarks are handed over as they are: the engine never evaluates a value, so no
    // quoting is needed and quotes or line breaks in them print as typed.
    return layoutNamed(tpl, dataSet, {{QStringLiteral("V0"), remarks}});
}

QString earlierVersionNote(const store::ReceiptVersion& version) {
    return QStringLiteral("副本：修改前的版本（于 %1 被修改）").arg(version.replacedAt);
}

report::PreparedReport prepareVersionReport(const store::ReceiptVersion& version,
                                            const QString& templatePath) {
    // The rows receiptRows gives for a stored receipt, built from the kept version.
    const QStringList& headerColumns = store::headerColumns();
    report::DataSet dataSet;
    dataSet.columns << QStringLiteral("kpid") << headerColumns << QStringLiteral("fpmxid")
                    << store::lineColumns();
    for (int line = 0; line < version.receipt.lines.size(); ++line)
        dataSet.rows.append(QStringList{QString::number(version.receipt.kpid)}
                            << version.receipt.header << QString::number(line + 1)
                            << version.receipt.lines[line]);
    const QString remarks = version.receipt.value(QLatin1String("bz2"));
    report::PreparedReport prepared =
        layoutNamed(report::loadTemplate(templatePath), dataSet, {{QStringLiteral("V0"), remarks}});
    report::PlacedText note;
    note.text = earlierVersionNote(version);
    note.family = QStringLiteral("SimSun");
    note.templateSize = note.fontSize = 9.0;
    note.bold = true;
    for (report::Page& page : prepared.pages) {
        note.rect = QRectF(5.0, 2.0, prepared.pageSize().width() - 10.0, 6.0);
        page.texts.append(note);
    }
    return prepared;
}

void setReportShower(ReportShower shower) {
    reportShower() = std::move(shower);
}

void previewReceipt(QWidget* parent, store::Store& store, store::FileStore& local,
                    const QString& receiptId, const QString& remarks, const QString& executablePath,
                    const std::function<void()>& onHelp) {
    if (receiptId.isEmpty()) {
        ui::MessageBox::information(parent, QStringLiteral("未选中发票！"));
        return;
    }
    const QString templatePath = receiptTemplatePath(executablePath);
    const report::PreparedReport prepared =
        prepareReceiptReport(store, receiptId, remarks, templatePath);
    showReport(prepared, parent, onHelp, local, templatePath,
               [&] { return prepareReceiptReport(store, receiptId, remarks, templatePath); });
}

void previewEarlierVersion(QWidget* parent, const store::ReceiptVersion& version,
                           store::FileStore& local, const QString& executablePath,
                           const std::function<void()>& onHelp) {
    const QString templatePath = receiptTemplatePath(executablePath);
    showReport(prepareVersionReport(version, templatePath), parent, onHelp, local, templatePath,
               [&] { return prepareVersionReport(version, templatePath); });
}

} // namespace zelk::receipt
