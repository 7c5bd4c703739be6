#include "data/schema.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/searchindex.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace zelk::data {

namespace schema {

QStringList createStatements() {
    QStringList statements = {
        QStringLiteral("CREATE TABLE fpmain ("
                       "kpid INTEGER PRIMARY KEY AUTOINCREMENT, fphm TEXT, kpdate INTEGER, "
                       "kpdate2 TEXT, hyfl TEXT, jdhm TEXT, qssj TEXT, jcsj TEXT, jym TEXT, "
                       "fkfmc TEXT, jexx TEXT, jedx TEXT, skfmc TEXT, kpr TEXT, bz1 TEXT, "
                       "bz2 TEXT)"),
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

} // namespace schema

namespace {

void run(sqlite3* db, const QByteArray& sql) {
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw DatabaseError(engineMessage(db));
}

void fill(sqlite3* db) {
    run(db, "BEGIN IMMEDIATE");
    for (const QString& statement : schema::createStatements())
        run(db, statement.toUtf8());
    for (int setId : {schema::payeeSetting, schema::categorySetting, schema::issuerSetting,
                      schema::noticeSetting}) {
        sqlite3_stmt* stmt = nullptr;
        const char* sql = "INSERT INTO SysSet (SetId, SetValue) VALUES (?, ?)";
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw DatabaseError(engineMessage(db));
        const QByteArray value = schema::defaultSetting(setId).toUtf8();
        sqlite3_bind_int(stmt, 1, setId);
        sqlite3_bind_text(stmt, 2, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            throw DatabaseError(engineMessage(db));
    }
    run(db, "COMMIT");
}

} // namespace

void createDatabase(const QString& path) {
    if (QFileInfo::exists(path))
        throw DatabaseError(QStringLiteral("文件已存在，不会覆盖：%1").arg(path));
    sqlite3* db = nullptr;
    try {
        db = openEncrypted(path, QString::fromLatin1(databaseKey), true);
        fill(db);
    } catch (const DatabaseError& error) {
        sqlite3_close(db);
        QFile::remove(path);
        throw DatabaseError(QStringLiteral("无法创建数据库 %1：%2").arg(path, error.message()));
    }
    sqlite3_close(db);
}

} // namespace zelk::data
