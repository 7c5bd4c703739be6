#include "printing/previewprinting.h"

#include "data/databaseerror.h"
#include "printing/calibrationsheet.h"
#include "printing/offsetdialog.h"
#include "printing/printjob.h"
#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QToolBar>

namespace zelk::printing {

PreviewPrinting::PreviewPrinting(report::PreviewWindow& window, data::Connection& connection,
                                 const QString& templatePath, QMap<QString, QString> fieldNames)
    : QObject(&window), window_(window), profiles_(connection), templatePath_(templatePath),
      fieldNames_(std::move(fieldNames)) {
    window.setFieldNames(fieldNames_);
    window.setPrintHandler([this](QPrinter& printer, const report::PreparedReport& report) {
        try {
            printReport(printer, report, &profiles_);
            profiles_.rememberPrinter(templateKey(), printer.printerName());
        } catch (const data::DatabaseError& e) {
            throw report::ReportError(e.message());
        }
    });
    auto* calibrate = new QAction(QStringLiteral("打印校准页"), &window);
    calibrate->setObjectName(QStringLiteral("printCalibrationAction"));
    connect(calibrate, &QAction::triggered, this, [this] { printCalibrationSheet(); });
    auto* offset = new QAction(QStringLiteral("打印机偏移…"), &window);
    offset->setObjectName(QStringLiteral("printerOffsetAction"));
    connect(offset, &QAction::triggered, this, &PreviewPrinting::editOffset);
    // After the page set-up, before the zoom controls.
    QToolBar* bar = window.toolBar();
    QAction* before = nullptr;
    const QList<QAction*> actions = bar->actions();
    for (qsizetype i = 0; i + 1 < actions.size(); ++i)
        if (actions.at(i)->objectName() == QLatin1String("pageSetupAction"))
            before = actions.at(i + 1);
    bar->insertAction(before, calibrate);
    bar->insertAction(before, offset);
    preselectPrinter();
    window.refreshPrintableArea();
}

QString PreviewPrinting::templateKey() const {
    return QFileInfo(templatePath_).fileName();
}

void PreviewPrinting::preselectPrinter() {
    QString remembered;
    try {
        remembered = profiles_.rememberedPrinter(templateKey());
    } catch (const data::DatabaseError&) {
        // Nothing remembered can be read: the default printer serves.
    }
    const QString fallback = QPrinterInfo::defaultPrinterName();
    if (!remembered.isEmpty() && QPrinterInfo::availablePrinterNames().contains(remembered)) {
        window_.printer().setPrinterName(remembered);
        return;
    }
    if (!fallback.isEmpty())
        window_.printer().setPrinterName(fallback);
    if (remembered.isEmpty())
        return;
    window_.setStatusText(
        fallback.isEmpty()
            ? QStringLiteral("上次使用的打印机“%1”已不存在，系统也没有默认打印机。").arg(remembered)
            : QStringLiteral("上次使用的打印机“%1”已不存在，已改用系统默认打印机“%2”。")
                  .arg(remembered, fallback));
}

bool PreviewPrinting::printCalibrationSheet(int sheets) {
    try {
        const report::PreparedReport sheet =
            calibrationSheet(report::loadTemplate(templatePath_), fieldNames_, sheets);
        // One copy of every sheet, on its own, to a printer as the clerk chose it.
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(window_.printer().printerName());
        // The sheet shows how the printer feeds by itself: no offset or correction applies.
        printReport(printer, sheet, nullptr);
        window_.setStatusText(
            QStringLiteral("校准页已发送到打印机“%1”。").arg(printer.printerName()));
        return true;
    } catch (const report::ReportError& e) {
        ui::MessageBox::error(&window_, e.message());
        return false;
    }
}

void PreviewPrinting::editOffset() {
    const QString printer = window_.printer().printerName();
    QPointF current;
    double correction = 0.0;
    try {
        current = profiles_.offset(printer).value_or(QPointF());
        correction = profiles_.feedCorrection(printer);
    } catch (const data::DatabaseError& e) {
        ui::MessageBox::error(&window_, e.message());
        return;
    }
    OffsetDialog dialog(
        profiles_, printer, current, correction,
        [this](int sheets) { return printCalibrationSheet(sheets); }, &window_);
    dialog.exec();
}

} // namespace zelk::printing
