#include "cupsserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelk::test {

namespace {

bool write(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

} // namespace

CupsServer::CupsServer() = default;

CupsServer::~CupsServer() {
    cupsd_.terminate();
    cupsd_.waitForFinished();
}

QString CupsServer::run(const QStringList& command) const {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.first(), command.mid(1));
    const bool done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    const QString out = QString::fromUtf8(p.readAll());
    return done && p.exitCode() == 0 ? out : QStringLiteral("FAILED ") + out;
}

QString CupsServer::start() {
    if (geteuid() != 0)
        return QStringLiteral("the private cupsd and cups-pdf need root (CI runs as root)");
    for (const char* file : {"/usr/sbin/cupsd", "/usr/lib/cups/backend/cups-pdf",
                             "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd", "/etc/cups/cups-pdf.conf"})
        if (!QFile::exists(QString::fromLatin1(file)))
            return QStringLiteral(
                       "%1 is missing: run scripts/setup (cups, printer-driver-cups-pdf)")
                .arg(QString::fromLatin1(file));
    const QString d = dir_.path();
    QFile::setPermissions(d, QFile::permissions(d) | QFile::ExeOther | QFile::ReadOther |
                                 QFile::ExeGroup);
    const bool written =
        write(d + QStringLiteral("/cupsd.conf"),
              QStringLiteral("Listen %1/cups.sock\nBrowsing No\nWebInterface No\n"
                             "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                             "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n"
                             "</Policy>\n")
                  .arg(d)) &&
        write(d + QStringLiteral("/cups-files.conf"),
              QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\n"
                             "StateDir %1/state\nTempDir %1/tmp\nAccessLog %1/access_log\n"
                             "ErrorLog %1/error_log\nPageLog %1/page_log\n")
                  .arg(d)) &&
        write(d + QStringLiteral("/cups-pdf.conf"),
              QStringLiteral("Out %1/out\nAnonDirName %1/out\nSpool %1/cups-pdf\nLog %1\n"
                             "Grp root\n")
                  .arg(d));
    if (!written)
        return QStringLiteral("cannot write the configuration into ") + d;
    for (const char* sub : {"ppd", "spool", "cache", "state", "tmp", "out"})
        QDir(d).mkpath(QString::fromLatin1(sub));
    // The filters run as lp and write their temporary files there.
    ::chmod(QFile::encodeName(d + QStringLiteral("/tmp")).constData(), 01777);
    // unshare execs sh, which execs cupsd: stopping the process stops cupsd, and so does the
    // end of the program, however it ends.
    cupsd_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(
        QStringLiteral("unshare"),
        {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
         QStringLiteral("sh"), QStringLiteral("-c"),
         QStringLiteral("mount --bind \"$0\"/cups-pdf.conf /etc/cups/cups-pdf.conf && exec "
                        "/usr/sbin/cupsd -f -c \"$0\"/cupsd.conf -s \"$0\"/cups-files.conf"),
         d});
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(socket())) {
        if (cupsd_.state() == QProcess::NotRunning || timer.hasExpired(15000))
            return QStringLiteral("cupsd did not start: ") +
                   QString::fromLocal8Bit(cupsd_.readAll());
        QThread::msleep(50);
    }
    qputenv("CUPS_SERVER", socket().toUtf8());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    return {};
}

QString CupsServer::addQueue(const QString& name, const QString& model) {
    const QString added =
        run({QStringLiteral("lpadmin"), QStringLiteral("-p"), name, QStringLiteral("-E"),
             QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
             model.isEmpty() ? QStringLiteral("-P") : QStringLiteral("-m"),
             model.isEmpty() ? QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd") : model});
    return added.startsWith(QStringLiteral("FAILED")) ? added : QString();
}

} // namespace zelk::test
