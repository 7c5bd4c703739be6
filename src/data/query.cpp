#include "data/query.h"

#include "data/connection.h"
#include "data/databaseerror.h"

#include <sqlite3.h>

namespace zelk::data {

Query::Query(Connection& connection) : connection_(connection) {}

Query::~Query() {
    close();
}

void Query::close() {
    if (stmt_) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
    columns_.clear();
    eof_ = true;
}

void Query::clear() {
    lines_.clear();
    parameters_.clear();
}

void Query::add(const QString& line) {
    lines_.append(line);
}

void Query::bind(const QString& name, const QString& value) {
    parameters_.append({name, value.isNull() ? QString(QLatin1String("")) : value});
}

void Query::bind(const QString& name, qint64 value) {
    parameters_.append({name, value});
}

void Query::bindNull(const QString& name) {
    parameters_.append({name, QVariant()});
}

void Query::fail(const QString& what) const {
    throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(what));
}

void Query::prepare() {
    close();
    sqlite3* db = connection_.handle();
    const QByteArray sql = text().toUtf8();
    const char* tail = nullptr;
    const int prepared = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, &tail);
    if (prepared != SQLITE_OK) {
        const DatabaseError error = engineError(db, prepared);
        close();
        throw error;
    }
    if (!stmt_)
        fail(QStringLiteral("语句为空"));
    if (tail && *tail && QByteArray(tail).trimmed().size() > 0) {
        close();
        fail(QStringLiteral("一次只能执行一条语句"));
    }

    for (const auto& [name, value] : parameters_) {
        const QByteArray key = ':' + name.toUtf8();
        const int index = sqlite3_bind_parameter_index(stmt_, key.constData());
        if (index == 0) {
            close();
            fail(QStringLiteral("语句中没有参数 :%1").arg(name));
        }
        int rc;
        if (!value.isValid()) {
            rc = sqlite3_bind_null(stmt_, index);
        } else if (value.typeId() == QMetaType::QString) {
            // The byte length is passed, so a text holding NUL characters is stored whole.
            const QByteArray bytes = value.toString().toUtf8();
            rc = sqlite3_bind_text(stmt_, index, bytes.constData(), int(bytes.size()),
                                   SQLITE_TRANSIENT);
        } else {
            rc = sqlite3_bind_int64(stmt_, index, value.toLongLong());
        }
        if (rc != SQLITE_OK) {
            const DatabaseError error = engineError(db, rc);
            close();
            throw error;
        }
    }
    for (int i = 0, n = sqlite3_column_count(stmt_); i < n; ++i)
        columns_.insert(QString::fromUtf8(sqlite3_column_name(stmt_, i)).toLower(), i);
}

void Query::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        eof_ = false;
    } else if (rc == SQLITE_DONE) {
        eof_ = true;
    } else {
        const DatabaseError error = engineError(connection_.handle(), rc);
        close();
        throw error;
    }
}

void Query::open() {
    prepare();
    step();
}

void Query::execute() {
    prepare();
    do {
        step();
    } while (!eof_);
    close();
}

void Query::first() {
    if (!stmt_)
        fail(QStringLiteral("查询未打开"));
    sqlite3_reset(stmt_);
    step();
}

void Query::next() {
    if (!stmt_)
        fail(QStringLiteral("查询未打开"));
    if (!eof_)
        step();
}

QStringList Query::fieldNames() const {
    QStringList names;
    if (stmt_)
        for (int i = 0, n = sqlite3_column_count(stmt_); i < n; ++i)
            names.append(QString::fromUtf8(sqlite3_column_name(stmt_, i)));
    return names;
}

void Query::requireRow(const QString& what) const {
    if (!stmt_)
        fail(QStringLiteral("查询未打开，无法读取字段 %1").arg(what));
    if (eof_)
        fail(QStringLiteral("没有可读取的记录（字段 %1）").arg(what));
}

int Query::fieldIndex(const QString& name) const {
    if (!stmt_)
        fail(QStringLiteral("查询未打开，无法读取字段 %1").arg(name));
    const auto it = columns_.constFind(name.toLower());
    if (it == columns_.constEnd())
        fail(QStringLiteral("结果中没有字段 %1").arg(name));
    return *it;
}

int Query::columnIndex(const QString& name) const {
    requireRow(name);
    return fieldIndex(name);
}

QByteArrayView Query::fieldUtf8(int index) const {
    if (!stmt_ || eof_) // (the check first: a summary reads millions of fields)
        requireRow(QString::number(index));
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
    return text ? QByteArrayView(text, sqlite3_column_bytes(stmt_, index)) : QByteArrayView();
}

qint64 Query::fieldAsInteger(int index) const {
    if (!stmt_ || eof_)
        requireRow(QString::number(index));
    return sqlite3_column_int64(stmt_, index);
}

QString Query::fieldAsText(const QString& name) const {
    const int i = columnIndex(name);
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    if (!text)
        return QString(QLatin1String(""));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt_, i));
}

qint64 Query::fieldAsInteger(const QString& name) const {
    return sqlite3_column_int64(stmt_, columnIndex(name));
}

bool Query::fieldIsNull(const QString& name) const {
    return sqlite3_column_type(stmt_, columnIndex(name)) == SQLITE_NULL;
}

} // namespace zelk::data
