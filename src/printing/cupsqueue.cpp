#include "printing/cupsqueue.h"

#include "report/reporterror.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cups/cups.h>

#include <cmath>
#include <memory>

namespace zelk::printing {

namespace {

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

QString lastError() {
    return QString::fromUtf8(cupsLastErrorString());
}

QByteArray printerUri(const QString& name) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", name.toUtf8().constData());
    return QByteArray(uri);
}

// The queue's attributes named, or null when the service does not answer or has no such queue.
Ipp printerAttributes(const QString& name, const std::vector<const char*>& wanted) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 printerUri(name).constData());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(wanted.size()), nullptr, wanted.data());
    Ipp response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
        return nullptr;
    return response;
}

// Hundredths of a millimetre (IPP's unit for paper) to millimetres.
double mm(int hundredths) {
    return hundredths / 100.0;
}

} // namespace

bool PaperSupport::takes(const QSizeF& sheetMm) const {
    constexpr double kTolerance = 0.5; // mm: a listed size is named in whole points or mm
    for (const QSizeF& sheet : {sheetMm, sheetMm.transposed()}) {
        if (custom && sheet.width() >= customMin.width() - 0.01 &&
            sheet.width() <= customMax.width() + 0.01 &&
            sheet.height() >= customMin.height() - 0.01 &&
            sheet.height() <= customMax.height() + 0.01)
            return true;
        for (const QSizeF& size : sizes)
            if (std::abs(size.width() - sheet.width()) <= kTolerance &&
                std::abs(size.height() - sheet.height()) <= kTolerance)
                return true;
    }
    return false;
}

bool CupsQueue::serviceRunning() {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                3000, nullptr);
    if (!http)
        return false;
    httpClose(http);
    return true;
}

QStringList CupsQueue::queueNames() {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i)
        if (!dests[i].instance)
            names.append(QString::fromUtf8(dests[i].name));
    cupsFreeDests(count, dests);
    return names;
}

QString CupsQueue::defaultQueue() {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QString name;
    for (int i = 0; i < count; ++i)
        if (dests[i].is_default)
            name = QString::fromUtf8(dests[i].name);
    cupsFreeDests(count, dests);
    return name;
}

bool CupsQueue::exists() const {
    return printerAttributes(name_, {"printer-state"}) != nullptr;
}

QueueState CupsQueue::state() const {
    QueueState out;
    const Ipp ipp = printerAttributes(name_, {"printer-is-accepting-jobs", "printer-state",
                                              "printer-state-reasons", "printer-state-message"});
    if (!ipp)
        return out;
    if (ipp_attribute_t* a =
            ippFindAttribute(ipp.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        out.accepting = ippGetBoolean(a, 0);
    if (ipp_attribute_t* a = ippFindAttribute(ipp.get(), "printer-state", IPP_TAG_ENUM))
        out.stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
    if (ipp_attribute_t* a = ippFindAttribute(ipp.get(), "printer-state-reasons", IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(a); ++i)
            if (const QString r = QString::fromUtf8(ippGetString(a, i, nullptr));
                r != QLatin1String("none"))
                out.reasons.append(r);
    if (ipp_attribute_t* a = ippFindAttribute(ipp.get(), "printer-state-message", IPP_TAG_TEXT))
        out.message = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
    return out;
}

PaperSupport CupsQueue::paper() const {
    PaperSupport out;
    const Ipp ipp = printerAttributes(name_, {"media-size-supported"});
    if (!ipp)
        return out;
    ipp_attribute_t* sizes =
        ippFindAttribute(ipp.get(), "media-size-supported", IPP_TAG_BEGIN_COLLECTION);
    for (int i = 0; sizes && i < ippGetCount(sizes); ++i) {
        ipp_t* size = ippGetCollection(sizes, i);
        ipp_attribute_t* x = ippFindAttribute(size, "x-dimension", IPP_TAG_ZERO);
        ipp_attribute_t* y = ippFindAttribute(size, "y-dimension", IPP_TAG_ZERO);
        if (!x || !y)
            continue;
        if (ippGetValueTag(x) == IPP_TAG_RANGE && ippGetValueTag(y) == IPP_TAG_RANGE) {
            int xMax = 0, yMax = 0;
            const int xMin = ippGetRange(x, 0, &xMax);
            const int yMin = ippGetRange(y, 0, &yMax);
            out.custom = true;
            out.customMin = QSizeF(mm(xMin), mm(yMin));
            out.customMax = QSizeF(mm(xMax), mm(yMax));
        } else if (ippGetValueTag(x) == IPP_TAG_INTEGER && ippGetValueTag(y) == IPP_TAG_INTEGER) {
            out.sizes.append(QSizeF(mm(ippGetInteger(x, 0)), mm(ippGetInteger(y, 0))));
        }
    }
    return out;
}

int CupsQueue::submit(const QString& pdfPath, const QString& title,
                      const QList<QPair<QString, QString>>& options) const {
    cups_option_t* cupsOptions = nullptr;
    int count = 0;
    for (const auto& [name, value] : options)
        count = cupsAddOption(name.toUtf8().constData(), value.toUtf8().constData(), count,
                              &cupsOptions);
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, name_.toUtf8().constData(),
                                   QFile::encodeName(pdfPath).constData(),
                                   title.toUtf8().constData(), count, cupsOptions);
    cupsFreeOptions(count, cupsOptions);
    if (job <= 0)
        throw report::ReportError(QStringLiteral("打印机“%1”没有接受打印任务，没有打印。\n详情：%2")
                                      .arg(name_, lastError()));
    return job;
}

JobState CupsQueue::follow(int jobId, int timeoutMs) const {
    QElapsedTimer timer;
    timer.start();
    JobState state = JobState::Unknown;
    for (;;) {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, name_.toUtf8().constData(), 0,
                                       CUPS_WHICHJOBS_ALL);
        for (int i = 0; i < count; ++i) {
            if (jobs[i].id != jobId)
                continue;
            switch (jobs[i].state) {
            case IPP_JSTATE_PENDING:
                state = JobState::Pending;
                break;
            case IPP_JSTATE_HELD:
                state = JobState::Held;
                break;
            case IPP_JSTATE_PROCESSING:
                state = JobState::Processing;
                break;
            case IPP_JSTATE_STOPPED:
                state = JobState::Stopped;
                break;
            case IPP_JSTATE_CANCELED:
                state = JobState::Cancelled;
                break;
            case IPP_JSTATE_ABORTED:
                state = JobState::Aborted;
                break;
            case IPP_JSTATE_COMPLETED:
                state = JobState::Completed;
                break;
            }
        }
        cupsFreeJobs(count, jobs);
        if ((state != JobState::Pending && state != JobState::Unknown) ||
            timer.hasExpired(timeoutMs))
            return state;
        QThread::msleep(100);
    }
}

void CupsQueue::cancel(int jobId) const {
    cupsCancelJob2(CUPS_HTTP_DEFAULT, name_.toUtf8().constData(), jobId, 0);
}

} // namespace zelk::printing
