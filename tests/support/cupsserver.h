#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zelk::test {

// A private print service for one program: cupsd run as root from its own folder with its own
// socket and spool, in a mount namespace of its own where a private cups-pdf.conf is bound over
// /etc/cups/cups-pdf.conf (cups-pdf reads no other file), so its cups-pdf queues write PDFs into
// out() and the machine's configuration is never touched. start() points CUPS_SERVER at it.
class CupsServer {
public:
    CupsServer();
    ~CupsServer();
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    // Starts the service; returns why it could not (not root, a package missing), or empty.
    QString start();
    // Adds a queue writing PDFs through cups-pdf; with model set (lpadmin -m), that driver
    // instead of cups-pdf's own. Returns an error text or empty.
    QString addQueue(const QString& name, const QString& model = {});
    // Runs a CUPS client tool against the service; its output, or "FAILED " and the output.
    QString run(const QStringList& command) const;

    QString socket() const { return dir_.filePath(QStringLiteral("cups.sock")); }
    QString out() const { return dir_.filePath(QStringLiteral("out")); }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QProcess cupsd_;
};

} // namespace zelk::test
