#include "store/pgconnection.h"

#include "data/databaseerror.h"

#include <libpq-fe.h>

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

void PgConnection::connect() {
    if (isConnected())
        return;
    disconnect();
    // The string given first is expanded into its parts; the entries after it take precedence.
    const QByteArray info = conninfo_.toUtf8();
    const char* keywords[] = {"dbname", "client_encoding", "connect_timeout", "application_name",
                              nullptr};
    const char* values[] = {info.constData(), "UTF8", "10", "zelk", nullptr};
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (PQstatus(conn_) != CONNECTION_OK) {
        const QString detail = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
        disconnect();
        throw data::DatabaseError(
            QStringLiteral(
                "无法连接数据存储服务器：服务器可能没有运行、网络不通、用户名或密码不对，"
                "或者服务器的证书与设置不符。本程序不会改用本机文件保存，以免票据分散"
                "在两处；请排除问题后重试，下一次操作会重新连接。"),
            detail);
    }
    // The server's notices (a table that already exists...) are no news for the operator.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    if (onConnect_) {
        try {
            onConnect_(*this);
        } catch (...) {
            disconnect();
            throw;
        }
    }
}

void PgConnection::fail(const QString& sentence) {
    const QString detail = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
    if (PQstatus(conn_) != CONNECTION_OK) {
        const QString place = where();
        disconnect();
        throw data::DatabaseError(
            QStringLiteral("与%1的连接已断开，本次操作没有完成（一次保存要么全部写入，要么全部不"
                           "写入）。请在服务器恢复后重试，下一次操作会重新连接。")
                .arg(place),
            detail);
    }
    throw data::DatabaseError(sentence, detail);
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
        pg_result* result = PQexecParams(conn_, statement.constData(), int(values.size()), nullptr,
                                         values.data(), nullptr, nullptr, 0);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return PgResult(result);
        PQclear(result);
        if (idle && attempt == 0 && PQstatus(conn_) != CONNECTION_OK) {
            disconnect();
            continue;
        }
        fail(QStringLiteral("数据存储服务器上的操作失败，没有写入任何内容。"));
    }
}

PgTransaction::PgTransaction(PgConnection& connection) : connection_(connection) {
    connection_.exec(QStringLiteral("begin"));
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

void PgTransaction::commit() {
    connection_.exec(QStringLiteral("commit"));
    done_ = true;
}

} // namespace zelk::store
