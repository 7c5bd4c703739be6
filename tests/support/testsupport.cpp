#include "testsupport.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "store/fileschema.h"
#include "store/schemaversion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cstdio>

#include <sqlite3.h>

namespace zelk::test {

TempDatabase::TempDatabase() {
    QDir(dir_.path()).mkpath(QStringLiteral("Data"));
    store::createFile(path());
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

QString TempDatabase::setting(int setId) const {
    return scalar(QStringLiteral("select SetValue from SysSet where SetId=%1").arg(setId));
}

QStringList TempDatabase::snapshot() const {
    QStringList rows;
    rows += column(QStringLiteral(
        "select 'fpmain '||quote(kpid)||quote(fphm)||quote(kpdate)||quote(kpdate2)||quote(hyfl)||"
        "quote(jdhm)||quote(qssj)||quote(jcsj)||quote(jym)||quote(fkfmc)||quote(jexx)||"
        "quote(jedx)||quote(skfmc)||quote(kpr)||quote(bz1)||quote(bz2) from fpmain order by kpid"));
    rows += column(QStringLiteral(
        "select 'fpdetail '||quote(fpmxid)||quote(kpid)||quote(xm)||quote(kjll)||quote(dw)||"
        "quote(sl)||quote(dj)||quote(je) from fpdetail order by fpmxid"));
    rows += column(QStringLiteral(
        "select 'SysSet '||quote(SetId)||quote(SetValue) from SysSet order by SetId"));
    rows +=
        column(QStringLiteral("select 'seq '||name||'='||seq from sqlite_sequence order by name"));
    return rows;
}

void TempDatabase::installTemplate() const {
    QDir(folder()).mkpath(QStringLiteral("report"));
    for (const char* name : {"fp3.frf", "fp3-blank.png"})
        QFile::copy(sourceFile(QStringLiteral("resources/report/") + QLatin1String(name)),
                    folder() + QStringLiteral("report/") + QLatin1String(name));
}

MessageRecorder::MessageRecorder() {
    ui::MessageBox::setHandler(
        [this](ui::MessageBox::Kind kind, const QString& text, const QString& detail) {
            messages_.append({kind, text, detail});
            return next_.isEmpty() ? answer_ : next_.takeFirst();
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

FileNames::FileNames() {
    ui::FileDialog::setHandler([this](const QString& caption) {
        captions_.append(caption);
        return names_.isEmpty() ? QString() : names_.takeFirst();
    });
}

FileNames::~FileNames() {
    ui::FileDialog::setHandler({});
}

int skipProgram(const char* reason) {
    std::fprintf(stdout, "SKIP   : %s\n", reason);
    std::fflush(stdout);
    return 77;
}

QString sourceFile(const QString& relative) {
    return QStringLiteral(ZELK_TEST_SOURCE_DIR "/") + relative;
}

QString builtFile(const QString& relative) {
    return QStringLiteral(ZELK_TEST_BINARY_DIR "/") + relative;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(content);
}

QByteArray fileHash(const QString& path) {
    return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256);
}

QByteArray garbage(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7919 + 13) % 251);
    return bytes;
}

const QList<std::pair<const char*, QString>>& hostileTexts() {
    static const QList<std::pair<const char*, QString>> texts = {
        {"quotes", QStringLiteral("O'Brien \"双引号\" '' \"\" `反引号`")},
        {"backslashes", QStringLiteral("C:\\票据\\\\ \\' \\% \\_ \\")},
        {"wildcards", QStringLiteral("100%_off %% __ [a-z]* ?")},
        {"sql", QStringLiteral("'; DROP TABLE fpmain; -- \" OR 1=1 -- ) union select * from "
                               "SysSet;")},
        {"control characters", QStringLiteral("行1\r\n行2\t\x01\x1b\x7f\u0085\u2028结束")},
        {"NUL", QStringLiteral("前") + QChar(0) + QStringLiteral("后")},
        {"beyond the BMP", QStringLiteral("😀𠀀𝄞 🇨🇳 👨‍👩‍👧 𪚥")},
        {"right to left", QStringLiteral("مرحبا שלום \u202Ereversed\u202C \u200F!")},
        {"blanks around", QStringLiteral(" \t 两端空白 \n ")},
        {"1 MB", QStringLiteral("收款😀'%_\\").repeated(1024 * 1024 / 9) + QStringLiteral("末尾")},
    };
    return texts;
}

} // namespace zelk::test
