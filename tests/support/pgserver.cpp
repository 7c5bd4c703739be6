#include "pgserver.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <libpq-fe.h>
#include <signal.h>
#include <unistd.h>

namespace zelk::test {

namespace {

constexpr const char* serverUser = "postgres";

} // namespace

QString PgServer::bin(const char* tool) const {
    return QStringLiteral("/usr/lib/postgresql/15/bin/") + QLatin1String(tool);
}

bool PgServer::run(const QString& program, const QStringList& arguments, bool asServerUser) {
    QProcess process;
    // The server's user may not enter the test's own working folder.
    process.setWorkingDirectory(dir_.path());
    if (asServerUser && root_)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QLatin1String(serverUser),
                                  QStringLiteral("--"), program} +
                          arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        problem_ =
            QStringLiteral("%1 %2 failed: %3 %4")
                .arg(program, arguments.join(QLatin1Char(' ')),
                     QString::fromLocal8Bit(process.readAllStandardError()), process.errorString());
        return false;
    }
    return true;
}

PgServer::PgServer(bool tls) : root_(geteuid() == 0) {
    if (!QFile::exists(bin("initdb"))) {
        problem_ = QStringLiteral("PostgreSQL 15 is not installed (postgresql-15, see "
                                  "scripts/setup): %1 is missing")
                       .arg(bin("initdb"));
        return;
    }
    const QString dir = dir_.path();
    if (root_ && !run(QStringLiteral("chown"), {QLatin1String(serverUser), dir}, false))
        return;
    if (!run(bin("initdb"),
             {QStringLiteral("-D"), dir + QStringLiteral("/data"), QStringLiteral("-U"),
              QStringLiteral("test"), QStringLiteral("--auth=trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-N")},
             true))
        return;
    QString conf = QStringLiteral("\nunix_socket_directories = '%1'\nfsync = off\n").arg(dir);
    if (tls) {
        port_ = 20000 + int(QCoreApplication::applicationPid() % 20000);
        const auto req = [&](const QString& name, const QString& subject) {
            return run(QStringLiteral("openssl"),
                       {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                        QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                        QStringLiteral("/CN=") + subject, QStringLiteral("-addext"),
                        QStringLiteral("subjectAltName=DNS:") + subject, QStringLiteral("-keyout"),
                        dir_.filePath(name + QStringLiteral(".key")), QStringLiteral("-out"),
                        dir_.filePath(name + QStringLiteral(".crt"))},
                       false);
        };
        if (!req(QStringLiteral("server"), QStringLiteral("localhost")) ||
            !req(QStringLiteral("other"), QStringLiteral("localhost")))
            return;
        QFile::setPermissions(dir_.filePath(QStringLiteral("server.key")),
                              QFile::ReadOwner | QFile::WriteOwner);
        if (root_ && !run(QStringLiteral("chown"),
                          {QLatin1String(serverUser), dir_.filePath(QStringLiteral("server.key")),
                           dir_.filePath(QStringLiteral("server.crt"))},
                          false))
            return;
        conf += QStringLiteral("listen_addresses = '127.0.0.1'\nport = %1\nssl = on\n"
                               "ssl_cert_file = '%2'\nssl_key_file = '%3'\n")
                    .arg(port_)
                    .arg(certificate(), dir_.filePath(QStringLiteral("server.key")));
    } else {
        conf += QStringLiteral("listen_addresses = ''\n");
    }
    if (configure(conf))
        start();
}

PgServer::PgServer(const PgServer* primary) : root_(geteuid() == 0) {
    const QString dir = dir_.path();
    if (root_ && !run(QStringLiteral("chown"), {QLatin1String(serverUser), dir}, false))
        return;
    if (!run(bin("pg_basebackup"),
             {QStringLiteral("-D"), dir + QStringLiteral("/data"), QStringLiteral("-h"),
              primary->socketFolder(), QStringLiteral("-U"), QStringLiteral("test"),
              QStringLiteral("-R"), QStringLiteral("-c"), QStringLiteral("fast"),
              QStringLiteral("-X"), QStringLiteral("stream")},
             true))
        return;
    if (configure(QStringLiteral("\nunix_socket_directories = '%1'\n").arg(dir)))
        start();
}

bool PgServer::configure(const QString& lines) {
    QFile file(dir_.filePath(QStringLiteral("data/postgresql.conf")));
    if (!file.open(QIODevice::Append) || file.write(lines.toUtf8()) < 0) {
        problem_ = QStringLiteral("cannot append to %1").arg(file.fileName());
        return false;
    }
    return true;
}

bool PgServer::kill() {
    QFile pidFile(dir_.filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = pid_t(pidFile.readLine().trimmed().toLongLong());
    running_ = !(pid > 0 && ::kill(pid, SIGKILL) == 0);
    return !running_;
}

bool PgServer::promote() {
    return run(bin("pg_ctl"),
               {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-w"),
                QStringLiteral("promote")},
               true);
}

bool PgServer::requireStandby() {
    return configure(QStringLiteral("\nsynchronous_standby_names = '*'\n")) &&
           run(bin("pg_ctl"),
               {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")),
                QStringLiteral("reload")},
               true);
}

PgServer::~PgServer() {
    if (running_)
        stop();
}

bool PgServer::start() {
    running_ =
        run(bin("pg_ctl"),
            {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-l"),
             dir_.filePath(QStringLiteral("log")), QStringLiteral("-w"), QStringLiteral("-t"),
             QStringLiteral("60"), QStringLiteral("start")},
            true);
    return running_;
}

bool PgServer::stop(bool immediate) {
    running_ =
        !run(bin("pg_ctl"),
             {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-m"),
              immediate ? QStringLiteral("immediate") : QStringLiteral("fast"),
              QStringLiteral("-w"), QStringLiteral("stop")},
             true);
    return !running_;
}

QString PgServer::conninfo(const QString& database) const {
    return QStringLiteral("host='%1' port=%2 user=test dbname='%3'")
        .arg(dir_.path())
        .arg(port_)
        .arg(database);
}

QString PgServer::tlsConninfo(const QString& database, const QString& host, const QString& sslmode,
                              const QString& rootCertificate) const {
    return QStringLiteral("host=%1 port=%2 user=test dbname='%3' sslmode=%4 sslrootcert='%5'")
        .arg(host)
        .arg(port_)
        .arg(database, sslmode, rootCertificate);
}

QStringList PgServer::exec(const QString& database, const QString& sql) const {
    PGconn* conn = PQconnectdb(conninfo(database).toUtf8().constData());
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    QStringList values;
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK)
        for (int r = 0; r < PQntuples(result); ++r)
            values << QString::fromUtf8(PQgetvalue(result, r, 0));
    else if (status != PGRES_COMMAND_OK)
        values << QStringLiteral("ERROR: ") + QString::fromUtf8(PQerrorMessage(conn));
    PQclear(result);
    PQfinish(conn);
    return values;
}

QString PgServer::createDatabase(const QString& name, const QString& locale) {
    exec(QStringLiteral("postgres"),
         QStringLiteral("create database \"%1\" template template0 encoding 'UTF8' locale '%2'")
             .arg(name, locale));
    return conninfo(name);
}

} // namespace zelk::test
