#pragma once

#include <QList>
#include <QPair>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace zelk::printing {

// What a print queue says about itself (the print service's own words, not yet translated).
struct QueueState {
    bool accepting = true; // printer-is-accepting-jobs
    bool stopped = false;  // printer-state is "stopped" (cupsdisable)
    QStringList reasons;   // printer-state-reasons without "none"
    QString message;       // printer-state-message, as the administrator or driver wrote it
};

// The paper a queue takes: sizes it lists and, when its driver has one, a custom-size range.
struct PaperSupport {
    QList<QSizeF> sizes; // mm
    bool custom = false;
    QSizeF customMin, customMax; // mm
    // Whether a sheet of that size (either way round) fits a listed size or the custom range.
    bool takes(const QSizeF& sheetMm) const;
};

// How a job ended up after it was sent.
enum class JobState { Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed, Unknown };

// One print queue of the print service (CUPS), asked through libcups: what Qt's printing does
// not tell. All calls talk to the server CUPS_SERVER / the client configuration names.
class CupsQueue {
public:
    explicit CupsQueue(QString name) : name_(std::move(name)) {}

    // Whether the print service answers at all.
    static bool serviceRunning();
    // The queues the service has, and its default queue (empty when it has none).
    static QStringList queueNames();
    static QString defaultQueue();

    const QString& name() const { return name_; }
    bool exists() const;
    QueueState state() const;
    PaperSupport paper() const;

    // Sends a PDF file as one job with the given title and options (name, value); returns the
    // job id. Throws report::ReportError (with the service's text as detail) when refused.
    int submit(const QString& pdfPath, const QString& title,
               const QList<QPair<QString, QString>>& options) const;
    // The job's state, asked every 100 ms until it is processing or finished or timeoutMs passed.
    JobState follow(int jobId, int timeoutMs) const;
    // Cancels a job (one held or stopped, so that it never prints later as a duplicate).
    void cancel(int jobId) const;

private:
    QString name_;
};

} // namespace zelk::printing
