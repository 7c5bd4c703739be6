#include "testsupport.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "data/schema.h"

#include <QDir>

#include <sqlite3.h>

namespace zelk::test {

TempDatabase::TempDatabase() {
    QDir(dir_.path()).mkpath(QStringLiteral("Data"));
    data::createDatabase(path());
}

QString TempDatabase::connectionString() const {
    return data::connectionStringFor(folder());
}

namespace {

struct Handle {
    sqlite3* db;
    explicit Handle(const QString& path)
        : db(data::openEncrypted(path, QString::fromLatin1(data::databaseKey), false)) {}
    ~Handle() { sqlite3_close(db); }
};

} // namespace

void TempDatabase::exec(const QString& sql) const {
    Handle h(path());
    char* error = nullptr;
    if (sqlite3_exec(h.db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        throw data::DatabaseError(message);
    }
}

QStringList TempDatabase::column(const QString& sql) const {
    Handle h(path());
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(h.db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        throw data::DatabaseError(data::engineMessage(h.db));
    QStringList values;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        values.append(text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, 0))
                           : QStringLiteral("<null>"));
    }
    sqlite3_finalize(stmt);
    return values;
}

QString TempDatabase::scalar(const QString& sql) const {
    const QStringList values = column(sql);
    return values.isEmpty() ? QString() : values.first();
}

MessageRecorder::MessageRecorder() {
    ui::MessageBox::setHandler(
        [this](ui::MessageBox::Kind kind, const QString& text, const QString& detail) {
            messages_.append({kind, text, detail});
            return answer_;
        });
}

MessageRecorder::~MessageRecorder() {
    ui::MessageBox::setHandler({});
}

QStringList MessageRecorder::texts() const {
    QStringList list;
    for (const Message& m : messages_)
        list.append(m.text);
    return list;
}

} // namespace zelk::test
