#include "printing/previewprinting.h"

#include "data/databaseerror.h"
#include "printing/calibrationsheet.h"
#include "printing/cupsqueue.h"
#include "printing/offsetdialog.h"
#include "printing/printjob.h"
#include "report/previewwindow.h"
#include "report/reporterror.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>

namespace zelk::printing {

PreviewPrinting::PreviewPrinting(report::PreviewWindow& window, store::FileStore& localFile,
                                 const QString& templatePath, QMap<QString, QString> fieldNames)
    : QObject(&window), window_(window), profiles_(localFile), templatePath_(templatePath),
      fieldNames_(std::move(fieldNames)) {
    window.setFieldNames(fieldNames_);
    window.setPrintHandler([this](QPrinter& printer, const report::PreparedReport& report) {
        try {
            print(printer, report);
        } catch (const data::DatabaseError& e) {
            throw report::ReportError(e.message());
        }
    });
    // With no print service or no queue Qt's print dialog offers only a file, and printing
    // would quietly write one: say why instead, and leave saving a PDF to "导出PDF".
    window.setPrintCheck(&printUnavailable);
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

void PreviewPrinting::print(QPrinter& printer, const report::PreparedReport& report) {
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        // The operator chose a file in the print dialog; the remembered printer stays.
        printToFile(printer, report);
        window_.setStatusText(QStringLiteral("已打印到文件 %1。")
                                  .arg(QDir::toNativeSeparators(printer.outputFileName())));
        return;
    }
    PrintOptions options;
    options.printerName = printer.printerName();
    options.copies = printer.copyCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        options.fromPage = printer.fromPage();
        options.toPage = printer.toPage();
    }
    options.title = receiptJobTitle(report);
    const PrintResult result = sendAsking(report, options, &profiles_);
    profiles_.rememberPrinter(templateKey(), result.printerName);
    const QString sent = QStringLiteral("已发送到打印机 %1：%2（作业 %3）")
                             .arg(result.printerName, receiptLabel(report))
                             .arg(result.jobId);
    window_.setStatusText(sent);
    // And on the main window's status bar, where it stays after the preview is closed.
    if (auto* main = qobject_cast<QMainWindow*>(window_.parentWidget()))
        main->statusBar()->showMessage(sent);
}

PrintResult PreviewPrinting::sendAsking(const report::PreparedReport& report, PrintOptions options,
                                        PrinterProfiles* profiles) {
    try {
        return printReport(report, options, profiles);
    } catch (const PaperRefused& e) {
        // A form on a standard sheet only when the operator says so.
        QString question = e.message();
        question.replace(QStringLiteral("，没有打印。"), QStringLiteral("。"));
        if (!ui::MessageBox::question(
                &window_, question + QStringLiteral("\n仍要打印在它的标准纸张上吗？（表单会被"
                                                    "缩放或转向，与套打的格子对不上。）")))
            throw;
        options.allowOtherPaper = true;
        return printReport(report, options, profiles);
    }
}

void PreviewPrinting::preselectPrinter() {
    if (!CupsQueue::serviceRunning()) {
        // The remembered printer is kept for when the service is back.
        window_.setStatusText(
            QStringLiteral("没有找到打印服务（CUPS），现在无法打印；可以用“导出PDF”保存。"));
        return;
    }
    QString remembered;
    try {
        remembered = profiles_.rememberedPrinter(templateKey());
    } catch (const data::DatabaseError&) {
        // Nothing remembered can be read: the default printer serves.
    }
    const QString fallback = CupsQueue::defaultQueue();
    if (!remembered.isEmpty() && CupsQueue::queueNames().contains(remembered)) {
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
        // One copy of every sheet, on its own, to the printer as the clerk chose it. The sheet
        // shows how the printer feeds by itself: no offset or correction applies.
        PrintOptions options;
        options.printerName = window_.printer().printerName();
        options.title = QStringLiteral("校准页");
        options.continuous = false;
        const PrintResult result = sendAsking(sheet, options, nullptr);
        // A calibration run starts the paper afresh: the next receipt is its first sheet.
        profiles_.resetSheets(result.printerName);
        window_.setStatusText(QStringLiteral("校准页已发送到打印机 %1（作业 %2）")
                                  .arg(result.printerName)
                                  .arg(result.jobId));
        return true;
    } catch (const report::ReportError& e) {
        ui::MessageBox::error(&window_, e.message());
        return false;
    } catch (const data::DatabaseError& e) {
        ui::MessageBox::error(&window_, e.message());
        return false;
    }
}

void PreviewPrinting::editOffset() {
    const QString printer = window_.printer().printerName();
    QPointF current;
    PrinterProfiles::FeedMeasurement measured{5, 0.0};
    try {
        current = profiles_.offset(printer).value_or(QPointF());
        if (const auto stored = profiles_.feedMeasurement(printer))
            measured = *stored;
        else if (const double correction = profiles_.feedCorrection(printer); correction != 0.0)
            measured.creepMm = correction * (measured.sheets - 1); // stored by an earlier version
    } catch (const data::DatabaseError& e) {
        ui::MessageBox::error(&window_, e.message());
        return;
    }
    OffsetDialog dialog(
        profiles_, printer, current, measured,
        [this](int sheets) { return printCalibrationSheet(sheets); }, &window_);
    dialog.exec();
}

} // namespace zelk::printing
