#include "store/fileschema.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "store/filesearchindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace zelk::store::schema {

using data::DatabaseError;
using data::engineError;

QStringList createStatements() {
    QStringList statements = {
        QStringLiteral("CREATE TABLE fpmain ("
                       "kpid INTEGER PRIMARY KEY AUTOINCREMENT, fphm TEXT, kpdate INTEGER, "
                       "kpdate2 TEXT, hyfl TEXT, jdhm TEXT, qssj TEXT, jcsj TEXT, jym TEXT, "
                       "fkfmc TEXT, jexx TEXT, jedx TEXT, skfmc TEXT, kpr TEXT, bz1 TEXT, "
                       "bz2 TEXT, changecount INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE fpdetail ("
                       "fpmxid INTEGER PRIMARY KEY AUTOINCREMENT, kpid INTEGER, xm TEXT, "
                       "kjll TEXT, dw TEXT, sl TEXT, dj TEXT, je TEXT)"),
        QStringLiteral("CREATE TABLE SysSet (SetId INTEGER PRIMARY KEY, SetValue TEXT)"),
        QStringLiteral("CREATE INDEX fpmain_kpdate ON fpmain (kpdate)"),
        QStringLiteral("CREATE INDEX fpdetail_kpid ON fpdetail (kpid)"),
    };
    // The search index, empty and complete; it stays in step with every save from here on.
    return statements + searchindex::createStatements();
}

QString defaultSetting(int setId) {
    switch (setId) {
    case payeeSetting:
        return QStringLiteral("本单位名称");
    case categorySetting:
        return QStringLiteral("服务业");
    case issuerSetting:
        return QStringLiteral("管理员");
    case noticeSetting:
        return QStringLiteral("注：本收据为收款凭证，请妥善保管；涂改、复印无效。"
                              "如有疑问，请于开票之日起三十日内与收款方联系。");
    default:
        return {};
    }
}

namespace {

// The column names of `table` in `db`, lower-cased; empty when the table does not exist.
QStringList columnsOf(sqlite3* db, const QString& table) {
    QStringList columns;
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = "PRAGMA table_info(\"" + table.toUtf8() + "\")";
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt);
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt))
        columns.append(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)))
                .toLower());
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        throw data::engineError(db, rc);
    return columns;
}

// The tables and columns the create statements make, read back from a scratch database.
const QList<QPair<QString, QStringList>>& expectedTables() {
    static const QList<QPair<QString, QStringList>> tables = [] {
        QList<QPair<QString, QStringList>> result;
        sqlite3* scratch = nullptr;
        sqlite3_open(":memory:", &scratch);
        for (const QString& statement : createStatements())
            sqlite3_exec(scratch, statement.toUtf8().constData(), nullptr, nullptr, nullptr);
        for (const QString& table :
             {QStringLiteral("fpmain"), QStringLiteral("fpdetail"), QStringLiteral("SysSet")}) {
            QStringList columns = columnsOf(scratch, table);
            // Files of earlier versions lack the change counter; the store adds it.
            columns.removeAll(QStringLiteral("changecount"));
            result.append({table, columns});
        }
        sqlite3_close(scratch);
        return result;
    }();
    return tables;
}

} // namespace

void requireReceiptTables(sqlite3* db, const QString& path) {
    for (const auto& [table, expected] : expectedTables()) {
        const QStringList present = columnsOf(db, table);
        QStringList missing;
        for (const QString& column : expected)
            if (!present.contains(column))
                missing.append(column);
        if (missing.isEmpty())
            continue;
        const QString what =
            present.isEmpty()
                ? QStringLiteral("没有表 %1").arg(table)
                : QStringLiteral("表 %1 缺少列 %2").arg(table, missing.join(QStringLiteral("、")));
        throw DatabaseError(QStringLiteral("文件 %1 不是本程序的票据数据库（%2），程序没有打开它，"
                                           "也没有改动它。请换用本程序的数据库文件。")
                                .arg(QDir::toNativeSeparators(path), what));
    }
}

namespace {

void run(sqlite3* db, const QByteArray& sql) {
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw engineError(db, SQLITE_ERROR);
}

void fill(sqlite3* db) {
    run(db, "BEGIN IMMEDIATE");
    for (const QString& statement : createStatements())
        run(db, statement.toUtf8());
    for (int setId : {payeeSetting, categorySetting, issuerSetting, noticeSetting}) {
        sqlite3_stmt* stmt = nullptr;
        const char* sql = "INSERT INTO SysSet (SetId, SetValue) VALUES (?, ?)";
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw engineError(db, SQLITE_ERROR);
        const QByteArray value = defaultSetting(setId).toUtf8();
        sqlite3_bind_int(stmt, 1, setId);
        sqlite3_bind_text(stmt, 2, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            throw engineError(db, SQLITE_ERROR);
    }
    run(db, "COMMIT");
}

} // namespace

void createDatabase(const QString& path) {
    if (QFileInfo::exists(path))
        throw DatabaseError(QStringLiteral("文件已存在，不会覆盖：%1").arg(path));
    // The file is made empty and readable by its owner only before the engine writes into it
    // (SQLite gives its journal the same mode): the key is no secret, so the file's mode is what
    // keeps other accounts of the machine out of the receipts. When it cannot be made here the
    // engine's own attempt below reports why.
    QFile privateFile(path);
    if (privateFile.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                         QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        privateFile.close();
    sqlite3* db = nullptr;
    try {
        db = data::openEncrypted(path, QString::fromLatin1(data::databaseKey), true);
        fill(db);
    } catch (const DatabaseError& error) {
        sqlite3_close(db);
        QFile::remove(path);
        throw DatabaseError(QStringLiteral("无法创建数据库 %1：%2").arg(path, error.message()),
                            error.detail(), error.code());
    }
    sqlite3_close(db);
}

} // namespace zelk::store::schema
