#include "store/pgconnection.h"

#include "data/connection.h"
#include "data/databaseerror.h"

#include <QCoreApplication>
#include <QThread>

#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <thread>
#include <vector>

namespace zelk::store {

PgResult::PgResult(pg_result* result) : result_(result) {}

PgResult::~PgResult() {
    PQclear(result_);
}

PgResult::PgResult(PgResult&& other) noexcept : result_(other.result_) {
    other.result_ = nullptr;
}

int PgResult::rows() const {
    return PQntuples(result_);
}

int PgResult::columns() const {
    return PQnfields(result_);
}

QString PgResult::columnName(int column) const {
    return QString::fromUtf8(PQfname(result_, column));
}

QString PgResult::text(int row, int column) const {
    return QString::fromUtf8(utf8(row, column));
}

QByteArrayView PgResult::utf8(int row, int column) const {
    return QByteArrayView(PQgetvalue(result_, row, column), PQgetlength(result_, row, column));
}

qint64 PgResult::integer(int row, int column) const {
    return QByteArray(PQgetvalue(result_, row, column)).toLongLong();
}

bool PgResult::isNull(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

PgConnection::PgConnection(const QString& conninfo) : conninfo_(conninfo) {}

PgConnection::~PgConnection() {
    disconnect();
}

bool PgConnection::isConnected() const {
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

void PgConnection::disconnect() {
    if (conn_)
        PQfinish(conn_);
    conn_ = nullptr;
}

QString PgConnection::where() const {
    if (!conn_)
        return QStringLiteral("数据存储服务器");
    return QStringLiteral("数据存储服务器 %1:%2/%3")
        .arg(QString::fromUtf8(PQhost(conn_)), QString::fromUtf8(PQport(conn_)),
             QString::fromUtf8(PQdb(conn_)));
}

namespace {

const QString retryLater = QStringLiteral(
    "本程序不会改用本机文件保存，以免票据分散在两处；请排除问题后重试，下一次操作会重新连接。");

// The Chinese sentence for a failed connection, by the cause that the engine's text names.
QString connectFailure(const QString& detail, const QString& host, const QString& database,
                       const QString& user) {
    const auto has = [&](const char* text) {
        return detail.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    QString cause;
    if (has("read-only") || has("read-write"))
        cause = QStringLiteral("只连上了只读的备用服务器，没有可以写入的主服务器：主服务器停了而"
                               "备用服务器还没有接替（提升为主服务器）。");
    else if (has("password authentication failed") || has("no password supplied") ||
             (has("role \"") && has("does not exist")))
        cause = QStringLiteral("用户名“%1”或密码不对。").arg(user);
    else if (has("database \"") && has("does not exist"))
        cause = QStringLiteral("服务器上没有名为“%1”的数据库，请让管理员按说明书建立它。")
                    .arg(database);
    else if (has("could not translate host name") || has("Name or service not known") ||
             has("Temporary failure in name resolution"))
        cause = QStringLiteral("找不到名为“%1”的服务器，请检查服务器地址。").arg(host);
    else if (has("does not match host name"))
        cause = QStringLiteral("服务器出示的证书是发给另一个名字的，不是“%1”：请核对服务器地址"
                               "是否与证书上的名字一致。")
                    .arg(host);
    else if (has("certificate verify failed") || has("root certificate file"))
        cause = QStringLiteral("服务器的证书不受信任（不是由所设置的证书颁发机构签发的，或者找不"
                               "到该证书文件）。");
    else if (has("no pg_hba.conf entry"))
        cause = QStringLiteral("服务器不允许这台电脑或这个用户连接，请让管理员检查 pg_hba.conf。");
    else if (has("Connection refused") || has("No such file or directory") ||
             has("timeout expired") || has("Is the server running") ||
             has("the database system is") || has("No route to host") ||
             has("Network is unreachable"))
        cause =
            QStringLiteral("服务器没有运行，或者拒绝了连接（也可能是网络不通、地址或端口不对）。");
    else
        cause = QStringLiteral("服务器可能没有运行、网络不通、用户名或密码不对，或者服务器的证书"
                               "与设置不符。");
    return QStringLiteral("无法连接数据存储服务器：") + cause + retryLater;
}

QString option(pg_conn* conn, const char* keyword) {
    QString value;
    PQconninfoOption* options = PQconninfo(conn);
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (qstrcmp(o->keyword, keyword) == 0 && o->val)
            value = QString::fromUtf8(o->val);
    PQconninfoFree(options);
    return value;
}

} // namespace

QString PgConnection::server() const {
    if (!conn_)
        return QString();
    return QStringLiteral("%1:%2").arg(QString::fromUtf8(PQhost(conn_)),
                                       QString::fromUtf8(PQport(conn_)));
}

void PgConnection::connect() {
    if (isConnected())
        return;
    disconnect();
    // The string given first is expanded into its parts; the entries after it take precedence.
    // A dead network or server is noticed within seconds, not after the system's two hours.
    const QByteArray info = conninfo_.toUtf8();
    // With a list of hosts ("主服务器,备用服务器") only one that takes writes is used, so a desk
    // never writes to a standby and goes on with the promoted one when the primary is gone.
    const char* keywords[] = {"dbname",
                              "client_encoding",
                              "connect_timeout",
                              "application_name",
                              "keepalives",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "tcp_user_timeout",
                              "target_session_attrs",
                              nullptr};
    const char* values[] = {info.constData(), "UTF8",       "10",   "zelk", "1", "10", "5", "3",
                            "20000",          "read-write", nullptr};
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (PQstatus(conn_) != CONNECTION_OK) {
        const QString detail = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
        const QString message = connectFailure(detail, option(conn_, "host"),
                                               option(conn_, "dbname"), option(conn_, "user"));
        disconnect();
        throw data::DatabaseError(message, detail);
    }
    // libpq does not encrypt a local socket, whatever sslmode asks: refuse rather than pass an
    // unencrypted connection off as the encrypted one that was set.
    const QString sslmode = option(conn_, "sslmode");
    if (!PQsslInUse(conn_) &&
        (sslmode == QLatin1String("require") || sslmode.startsWith(QLatin1String("verify")))) {
        const QString host = QString::fromUtf8(PQhost(conn_));
        disconnect();
        throw data::DatabaseError(
            QStringLiteral("服务器地址“%1”是本机的套接字文件夹，这种连接不加密，与所设置的加密连接"
                           "（TLS）不符，所以没有使用。请填写服务器的名称，或者取消“加密连接”。")
                .arg(host));
    }
    // The server's notices (a table that already exists...) are no news for the operator; its
    // warnings are kept for the statement that raised them (see PgTransaction::commit).
    PQsetNoticeReceiver(
        conn_,
        [](void* self, const PGresult* notice) {
            if (qstrcmp(PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED), "WARNING") == 0)
                static_cast<PgConnection*>(self)->warnings_
                    << QString::fromUtf8(PQresultErrorMessage(notice)).trimmed();
        },
        this);
    // A desk stopped in the middle of a save must not keep the save lock from the others.
    exec(QStringLiteral("set idle_in_transaction_session_timeout='20s'"));
    if (onConnect_) {
        try {
            onConnect_(*this);
        } catch (...) {
            disconnect();
            throw;
        }
    }
}

void PgConnection::fail(const char* sqlstate) {
    const QString detail = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
    if (PQstatus(conn_) != CONNECTION_OK) {
        const QString place = where();
        disconnect();
        throw ConnectionLost(
            QStringLiteral("与%1的连接已断开，本次操作没有完成（一次保存要么全部写入，要么全部不"
                           "写入）。请在服务器恢复后重试，下一次操作会重新连接。")
                .arg(place),
            detail);
    }
    const QByteArray state(sqlstate ? sqlstate : "");
    // lock_not_available, query_canceled (statement_timeout), deadlock_detected
    if (state == "55P03" || state == "57014" || state == "40P01")
        throw data::DatabaseError(QStringLiteral("另一台电脑正在保存，请稍后再试。"), detail);
    if (state == "42501")
        throw data::DatabaseError(
            QStringLiteral("用户“%1”在%2上没有所需的权利（建立票据表、建立扩展 pg_trgm，或读写"
                           "票据表），没有写入任何内容。请让管理员按说明书“多台电脑共用一台服务"
                           "器”一节建立数据库并授权。")
                .arg(QString::fromUtf8(PQuser(conn_)), where()),
            detail);
    throw data::DatabaseError(QStringLiteral("数据存储服务器上的操作失败，没有写入任何内容。"),
                              detail);
}

pg_result* PgConnection::run(const QByteArray& statement, const std::vector<const char*>& values) {
    if (!PQsendQueryParams(conn_, statement.constData(), int(values.size()), nullptr, values.data(),
                           nullptr, nullptr, 0))
        return nullptr;
    // Waits for the answer in steps, so that a wait of more than a moment (another desk's
    // lock) shows the busy cursor while the statement's own timeout bounds it.
    bool noticed = false;
    int waitedMs = 0;
    while (PQisBusy(conn_)) {
        pollfd socket{PQsocket(conn_), POLLIN, 0};
        const int ready = ::poll(&socket, 1, 500);
        waitedMs += ready == 0 ? 500 : 0;
        // The server's statement_timeout does not end a COMMIT's wait for a synchronous
        // standby; asking the server to cancel it does (the commit then stays local).
        if (ready == 0 && cancelAfterMs_ > 0 && waitedMs == cancelAfterMs_) {
            char error[256];
            PGcancel* cancel = PQgetCancel(conn_);
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
        if (ready == 0 && !noticed) {
            noticed = true;
            const QCoreApplication* app = QCoreApplication::instance();
            if (app && QThread::currentThread() == app->thread())
                data::Connection::noticeLockWait();
        }
        if (ready != 0 && !PQconsumeInput(conn_))
            break;
    }
    // The last result is the statement's; a broken connection leaves none (nullptr).
    pg_result* last = nullptr;
    while (pg_result* next = PQgetResult(conn_)) {
        PQclear(last);
        last = next;
    }
    return last;
}

PgResult PgConnection::exec(const QString& sql, const QList<QVariant>& params) {
    std::vector<QByteArray> storage;
    std::vector<const char*> values;
    storage.reserve(std::size_t(params.size()));
    for (const QVariant& param : params) {
        if (param.isNull() && param.typeId() != QMetaType::QString) {
            values.push_back(nullptr);
            continue;
        }
        const QString text = param.toString();
        // libpq hands parameters over as C strings and the server's text never holds NUL:
        // such a text would arrive cut off, so it is refused whole.
        if (text.contains(QChar(0)))
            throw data::DatabaseError(
                QStringLiteral("要保存的文字中含有空字符（编码为 0 的控制字符），数据存储服务器不能"
                               "保存这种文字。请删去该字符后重试；本次操作没有写入任何内容。"));
        storage.push_back(text.toUtf8());
        values.push_back(storage.back().constData());
    }
    const QByteArray statement = sql.toUtf8();
    for (int attempt = 0;; ++attempt) {
        connect();
        // Outside a transaction nothing is lost by trying once more on a new connection: a
        // connection that died while idle (the server restarted since the last command) then
        // costs the operator nothing.
        const bool idle = PQtransactionStatus(conn_) == PQTRANS_IDLE;
        pg_result* result = run(statement, values);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return PgResult(result);
        const QByteArray sqlstate(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        PQclear(result);
        if (idle && attempt == 0 && PQstatus(conn_) != CONNECTION_OK) {
            disconnect();
            continue;
        }
        fail(sqlstate.constData());
    }
}

PgTransaction::PgTransaction(PgConnection& connection, Waits waits) : connection_(connection) {
    if (waits == Waits::Snapshot) {
        connection_.exec(QStringLiteral("begin isolation level repeatable read read only"));
        connection_.exec(
            QStringLiteral("select set_config('idle_in_transaction_session_timeout','0',true)"));
        return;
    }
    connection_.exec(QStringLiteral("begin"));
    // The transaction's id, asked for before COMMIT, tells afterwards whether it committed.
    txid_ = connection_
                .exec(waits == Waits::Short
                          ? QStringLiteral("select txid_current(),"
                                           "set_config('lock_timeout','5s',true),"
                                           "set_config('statement_timeout','15s',true)")
                          : QStringLiteral("select txid_current(),set_config("
                                           "'idle_in_transaction_session_timeout','0',true)"))
                .text(0, 0);
}

PgTransaction::~PgTransaction() {
    if (done_ || !connection_.isConnected())
        return;
    try {
        connection_.exec(QStringLiteral("rollback"));
    } catch (const data::DatabaseError&) {
        // The server ends a transaction whose connection is gone on its own.
    }
}

void PgTransaction::commit(const QString& unknown) {
    try {
        connection_.takeWarnings();
        connection_.cancelAfterMs_ = commitWaitMs;
        try {
            connection_.exec(QStringLiteral("commit"));
        } catch (...) {
            connection_.cancelAfterMs_ = 0;
            throw;
        }
        connection_.cancelAfterMs_ = 0;
        done_ = true;
        // The one warning COMMIT gives: its wait for a synchronous standby was cut short (by
        // statement_timeout). The primary has the transaction; the standby may not.
        const QStringList warnings = connection_.takeWarnings();
        if (!warnings.isEmpty())
            throw OutcomeUnknown(
                QStringLiteral(
                    "这次保存已写入主服务器，但备用服务器没有在规定时间内确认收到；主服务"
                    "器若此时损坏，它可能丢失。请让管理员检查备用服务器；再次保存不会"
                    "造成重复。"),
                warnings.join(QLatin1Char('\n')));
        return;
    } catch (const ConnectionLost& lost) {
        done_ = true;
        if (txid_.isEmpty())
            throw;
        QString status;
        // A transaction still "in progress" is one whose old session has not ended yet.
        for (int attempt = 0; attempt < 5; ++attempt) {
            try {
                const PgResult result =
                    connection_.exec(QStringLiteral("select txid_status($1)"), {txid_});
                status = result.isNull(0, 0) ? QString() : result.text(0, 0);
            } catch (const data::DatabaseError&) {
                status.clear();
                break;
            }
            if (status != QLatin1String("in progress"))
                break;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        if (status == QLatin1String("committed"))
            return;
        if (status == QLatin1String("aborted"))
            throw;
        throw OutcomeUnknown(
            unknown.isEmpty()
                ? QStringLiteral(
                      "与数据存储服务器的连接在提交时断开，无法确定这次操作是否已经完成。"
                      "请在服务器恢复后查看结果。")
                : unknown,
            lost.detail());
    }
}

} // namespace zelk::store
