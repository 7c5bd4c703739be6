#include "printing/printjob.h"

#include "printing/cupsqueue.h"
#include "printing/printerprofiles.h"
#include "report/render.h"

#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryFile>

#include <algorithm>

namespace zelk::printing {

namespace {

constexpr int kFollowMs = 3000; // how long a sent job is followed

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// The queue's reason in the operator's words: the administrator's own text when it is Chinese
// (cupsdisable -r "卡纸"), else the known state keywords translated; empty when none is known.
QString reasonText(const QueueState& state) {
    if (!state.message.isEmpty() && !isAscii(state.message))
        return state.message;
    static const QMap<QString, QString> known = {
        {QStringLiteral("media-jam"), QStringLiteral("卡纸")},
        {QStringLiteral("media-empty"), QStringLiteral("缺纸")},
        {QStringLiteral("media-needed"), QStringLiteral("缺纸")},
        {QStringLiteral("door-open"), QStringLiteral("机盖打开")},
        {QStringLiteral("cover-open"), QStringLiteral("机盖打开")},
        {QStringLiteral("toner-empty"), QStringLiteral("墨粉用完")},
        {QStringLiteral("marker-supply-empty"), QStringLiteral("墨水或色带用完")},
        {QStringLiteral("offline"), QStringLiteral("脱机")},
        {QStringLiteral("shutdown"), QStringLiteral("已关机")}};
    QStringList out;
    for (QString reason : state.reasons) {
        for (const char* suffix : {"-error", "-warning", "-report"})
            if (reason.endsWith(QLatin1String(suffix)))
                reason.chop(int(qstrlen(suffix)));
        if (known.contains(reason) && !out.contains(known.value(reason)))
            out.append(known.value(reason));
    }
    return out.join(QStringLiteral("、"));
}

// The service's own words, as a detail line.
QString detail(const QueueState& state) {
    QStringList parts;
    if (!state.message.isEmpty())
        parts.append(state.message);
    if (!state.reasons.isEmpty())
        parts.append(state.reasons.join(u','));
    return parts.isEmpty() ? QString()
                           : QStringLiteral("\n详情：") + parts.join(QStringLiteral("；"));
}

QString noService() {
    return QStringLiteral("没有找到打印服务（CUPS），没有打印。请确认打印服务已经启动后重试。");
}

void checkQueue(const CupsQueue& queue, const QSizeF& sheetMm, bool allowOtherPaper) {
    const QueueState state = queue.state();
    const QString reason = reasonText(state);
    const QString why = reason.isEmpty() ? QString() : QStringLiteral("（%1）").arg(reason);
    if (state.stopped)
        throw report::ReportError(
            QStringLiteral("打印机“%1”已暂停%2，没有打印。请处理后重试。").arg(queue.name(), why) +
            detail(state));
    if (!state.accepting)
        throw report::ReportError(
            QStringLiteral("打印机“%1”不接受打印任务%2，没有打印。请处理后重试。")
                .arg(queue.name(), why) +
            detail(state));
    const PaperSupport paper = queue.paper();
    const bool known = paper.custom || !paper.sizes.isEmpty();
    if (known && !allowOtherPaper && !paper.takes(sheetMm))
        throw PaperRefused(QStringLiteral("打印机“%1”只能用标准尺寸的纸张，不能打印 %2 × %3 毫米"
                                          "的表单，没有打印。")
                               .arg(queue.name())
                               .arg(sheetMm.width(), 0, 'g', 6)
                               .arg(sheetMm.height(), 0, 'g', 6));
}

// The size as a PostScript custom page size in points with two decimals: CUPS keeps it so
// (683.15 × 263.9 pt for 241 × 93.1 mm), while a size in mm or in media= is cut to whole
// points on its way to the driver, which makes the page shorter than the form.
QString customSize(const QSizeF& mm) {
    const auto pt = [](double v) { return QString::number(v * 72.0 / 25.4, 'f', 2); };
    return QStringLiteral("Custom.%1x%2").arg(pt(mm.width()), pt(mm.height()));
}

} // namespace

QString choosePrinter(const QString& name, const QString& remembered) {
    if (!CupsQueue::serviceRunning())
        throw report::ReportError(noService());
    const QStringList names = CupsQueue::queueNames();
    if (!name.isEmpty()) {
        if (!names.contains(name))
            throw report::ReportError(QStringLiteral("找不到打印机“%1”，没有打印。").arg(name));
        return name;
    }
    if (!remembered.isEmpty() && names.contains(remembered))
        return remembered;
    const QString chosen = CupsQueue::defaultQueue();
    if (chosen.isEmpty())
        throw report::ReportError(
            names.isEmpty() ? QStringLiteral("系统中没有可用的打印机，没有打印。")
                            : QStringLiteral("系统没有默认打印机，请指定打印机。没有打印。"));
    return chosen;
}

PrintResult printReport(const report::PreparedReport& prepared, const PrintOptions& options,
                        PrinterProfiles* profiles) {
    if (!CupsQueue::serviceRunning())
        throw report::ReportError(noService());
    if (options.printerName.isEmpty())
        throw report::ReportError(
            QStringLiteral("没有选择打印机，没有打印。请在“页面设置”里选择打印机后重试。"));
    const CupsQueue queue(options.printerName);
    if (!queue.exists())
        throw report::ReportError(
            QStringLiteral("找不到打印机“%1”，没有打印。").arg(options.printerName));
    const QSizeF page = prepared.pageSize();
    checkQueue(queue, page, options.allowOtherPaper);

    report::PreparedReport report = prepared;
    int firstSheet = 0;
    if (profiles)
        if (const std::optional<QPointF> own = profiles->offset(queue.name()))
            report.printerOffset = *own;
    if (profiles && options.continuous) {
        report.feedCorrection = profiles->feedCorrection(queue.name());
        firstSheet = profiles->sheetsSinceAlignment(queue.name());
    }
    const int first = options.fromPage > 0 ? options.fromPage - 1 : 0;
    const int last = std::min(int(report.pages.size()),
                              options.toPage > 0 ? std::max(options.toPage, options.fromPage)
                                                 : int(report.pages.size())) -
                     1;
    if (first > last)
        throw report::ReportError(QStringLiteral("所选页码范围内没有可打印的页，没有打印。"));

    // Every sheet is drawn for its own place on continuous paper, copies one after the other.
    QTemporaryFile file;
    if (!file.open())
        throw report::ReportError(QStringLiteral("无法写入打印用的临时文件，没有打印。\n详情：") +
                                  file.errorString());
    file.close();
    PrintResult result;
    result.printerName = queue.name();
    {
        QPdfWriter writer(file.fileName());
        writer.setResolution(1200);
        writer.setCreator(QStringLiteral("zelk"));
        writer.setPageLayout(report.pageLayout());
        QPainter painter;
        if (!painter.begin(&writer))
            throw report::ReportError(QStringLiteral("无法写入打印用的临时文件，没有打印。"));
        for (int copy = 0; copy < std::max(1, options.copies); ++copy)
            for (int i = first; i <= last; ++i, ++result.sheets) {
                if (result.sheets > 0)
                    writer.newPage();
                report::renderPage(painter, report, i, report::RenderTarget::Print,
                                   firstSheet + result.sheets);
            }
        if (!painter.end())
            throw report::ReportError(QStringLiteral("无法写入打印用的临时文件，没有打印。"));
    }
    QList<QPair<QString, QString>> cupsOptions;
    if (queue.paper().takes(page) || !options.allowOtherPaper) {
        const QString size = customSize(page);
        cupsOptions = {{QStringLiteral("PageSize"), size}, {QStringLiteral("media"), size}};
    }
    result.jobId = queue.submit(file.fileName(), options.title, cupsOptions);
    const JobState state = queue.follow(result.jobId, kFollowMs);
    const QString job = QString::number(result.jobId);
    switch (state) {
    case JobState::Held:
    case JobState::Stopped: {
        // Cancelled, so that it never comes out later beside a reprint.
        queue.cancel(result.jobId);
        const QString reason = reasonText(queue.state());
        throw report::ReportError(
            QStringLiteral(
                "打印机“%1”没有开始打印作业 %2%3，已取消该作业，没有打印。请处理后重试。")
                .arg(queue.name(), job,
                     reason.isEmpty() ? QString() : QStringLiteral("（%1）").arg(reason)));
    }
    case JobState::Cancelled:
        throw report::ReportError(QStringLiteral("打印机“%1”上的打印作业 %2 被取消了，没有打印。")
                                      .arg(queue.name(), job));
    case JobState::Aborted:
        throw report::ReportError(
            QStringLiteral("打印机“%1”中止了打印作业 %2，没有打印。请检查打印机后重试。")
                .arg(queue.name(), job));
    default:
        break;
    }
    if (profiles && options.continuous)
        profiles->addSheets(queue.name(), result.sheets);
    return result;
}

void printToFile(QPrinter& printer, const report::PreparedReport& report) {
    report::printReport(printer, report);
}

QString printUnavailable() {
    if (!CupsQueue::serviceRunning())
        return noService();
    if (CupsQueue::queueNames().isEmpty())
        return QStringLiteral("系统中没有可用的打印机，没有打印。");
    return {};
}

namespace {

// The first laid-out text of a field, on one line.
QString fieldText(const report::PreparedReport& report, const QString& field) {
    if (!report.pages.isEmpty())
        for (const report::PlacedText& t : report.pages.first().texts)
            if (t.field == field && !t.text.trimmed().isEmpty())
                return t.text.simplified();
    return {};
}

QString joined(const QStringList& parts) {
    QStringList kept{QStringLiteral("收据")};
    for (const QString& part : parts)
        if (!part.isEmpty())
            kept.append(part);
    return kept.join(u' ');
}

} // namespace

QString receiptLabel(const report::PreparedReport& report) {
    return joined({fieldText(report, QStringLiteral("fphm"))});
}

QString receiptJobTitle(const report::PreparedReport& report) {
    return joined(
        {fieldText(report, QStringLiteral("fphm")), fieldText(report, QStringLiteral("fkfmc"))});
}

} // namespace zelk::printing
