#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zelk::test {

// A private PostgreSQL 15 server for one test program: its own folder, its Unix socket in that
// folder and no TCP port (with TLS: 127.0.0.1 on a port of its own, since TLS needs TCP). As
// root the server runs as the postgres system user through runuser; otherwise as the user
// running the test. The machine's own servers and configuration are never touched.
class PgServer {
public:
    // Makes the cluster and starts it; problem() says why when it could not.
    explicit PgServer(bool tls = false);
    // A streaming standby of `primary` (pg_basebackup -R), on a socket folder of its own.
    explicit PgServer(const PgServer* primary);
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    const QString& problem() const { return problem_; }
    bool start();
    // A fast stop lets every backend end its work in turn; an immediate one ends them all at
    // once, releasing no lock on the way, as a crash of the server would.
    bool stop(bool immediate = false);
    // The server dies at once (kill -9 of the postmaster), as when its machine fails.
    bool kill();
    // A standby becomes a primary.
    bool promote();
    // Commits wait until a standby has the transaction (synchronous_standby_names = '*').
    bool requireStandby();

    // Creates an empty database with the locale (and so the ctype) given; returns a connection
    // string for it over the socket.
    QString createDatabase(const QString& name, const QString& locale = QStringLiteral("C.UTF-8"));
    QString conninfo(const QString& database) const;
    // The folder of the server's Unix socket (port 5432 unless TLS).
    QString socketFolder() const { return dir_.path(); }
    // Over TCP with TLS: host, sslmode and the root certificate file as given.
    QString tlsConninfo(const QString& database, const QString& host, const QString& sslmode,
                        const QString& rootCertificate) const;
    // The server's certificate (self-signed for localhost) and one of another authority.
    QString certificate() const { return dir_.filePath(QStringLiteral("server.crt")); }
    QString otherCertificate() const { return dir_.filePath(QStringLiteral("other.crt")); }

    // Runs a statement as the cluster's superuser; returns the first column of each row.
    QStringList exec(const QString& database, const QString& sql) const;

private:
    bool run(const QString& program, const QStringList& arguments, bool asServerUser);
    bool configure(const QString& lines);
    QString bin(const char* tool) const;

    QTemporaryDir dir_;
    QString problem_;
    int port_ = 5432;
    bool running_ = false;
    bool root_ = false;
};

} // namespace zelk::test
