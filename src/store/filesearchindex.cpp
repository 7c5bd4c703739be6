#include "store/filesearchindex.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/transaction.h"
#include "store/receiptcolumns.h"
#include "store/searchtokens.h"

#include <sqlite3.h>

#include <algorithm>

namespace zelk::store::searchindex {

using data::Connection;
using data::DatabaseError;
using data::engineMessage;
using data::Transaction;

namespace {

// Raised when the token format changes, so that files indexed the old way are rebuilt.
constexpr int formatVersion = 1;
// Receipts per build transaction: large enough that the commits' syncs cost little, small
// enough that a kill loses little and the progress moves.
constexpr int buildStep = 20000;

// The searched columns joined as the search statement joins them.
QByteArray joinedColumns() {
    return searchedColumnsJoined().toUtf8();
}

const char* const triggerNames[] = {"fpsearch_fpmain_insert", "fpsearch_fpmain_update",
                                    "fpsearch_fpmain_delete"};

// A prepared statement of this file, finalized when it leaves scope.
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, nullptr) != SQLITE_OK)
            throw DatabaseError(engineMessage(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, qint64 value) { sqlite3_bind_int64(stmt_, index, value); }
    void bind(int index, const QByteArray& text) {
        sqlite3_bind_text(stmt_, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    // Moves to the next row; false at the end.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw DatabaseError(engineMessage(db_));
        return false;
    }
    void run() {
        step();
        sqlite3_reset(stmt_);
    }
    sqlite3_stmt* handle() const { return stmt_; }
    qint64 integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    QByteArrayView text(int column) const {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return QByteArrayView(data, sqlite3_column_bytes(stmt_, column));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

qint64 scalar(sqlite3* db, const QByteArray& sql) {
    Statement s(db, sql);
    return s.step() ? s.integer(0) : 0;
}

void exec(sqlite3* db, const QString& sql) {
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw DatabaseError(engineMessage(db));
}

QString objectsCount() {
    QStringList names = {QStringLiteral("'fpsearch'"), QStringLiteral("'fpsearch_queue'"),
                         QStringLiteral("'fpsearch_state'")};
    for (const char* trigger : triggerNames)
        names << QStringLiteral("'%1'").arg(QLatin1String(trigger));
    return QStringLiteral("select count(*) from sqlite_master where name in (%1)")
        .arg(names.join(QLatin1Char(',')));
}

// The statements that create the index's tables and triggers; the state row says `complete`.
QStringList objects(bool complete) {
    QStringList out = {
        QStringLiteral("CREATE VIRTUAL TABLE fpsearch USING fts4(tokens)"),
        QStringLiteral("CREATE TABLE fpsearch_queue (kpid INTEGER PRIMARY KEY)"),
        QStringLiteral("CREATE TABLE fpsearch_state (id INTEGER PRIMARY KEY, version INTEGER, "
                       "builtupto INTEGER, complete INTEGER)"),
        QStringLiteral("INSERT INTO fpsearch_state VALUES (1, %1, 0, %2)")
            .arg(formatVersion)
            .arg(complete ? 1 : 0),
        QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON fpmain BEGIN INSERT OR IGNORE INTO "
                       "fpsearch_queue (kpid) VALUES (new.kpid); END")
            .arg(QLatin1String(triggerNames[0])),
        QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE ON fpmain BEGIN INSERT OR IGNORE INTO "
                       "fpsearch_queue (kpid) VALUES (old.kpid); INSERT OR IGNORE INTO "
                       "fpsearch_queue (kpid) VALUES (new.kpid); END")
            .arg(QLatin1String(triggerNames[1])),
        QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON fpmain BEGIN INSERT OR IGNORE INTO "
                       "fpsearch_queue (kpid) VALUES (old.kpid); END")
            .arg(QLatin1String(triggerNames[2])),
    };
    return out;
}

// Drops whatever part of an index is there and creates an empty one to be built.
void recreate(sqlite3* db) {
    for (const char* trigger : triggerNames)
        exec(db, QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(trigger)));
    exec(db, QStringLiteral("DROP TABLE IF EXISTS fpsearch"));
    exec(db, QStringLiteral("DROP TABLE IF EXISTS fpsearch_queue"));
    exec(db, QStringLiteral("DROP TABLE IF EXISTS fpsearch_state"));
    for (const QString& statement : objects(false))
        exec(db, statement);
}

// Indexes up to buildStep receipts after `from` and notes how far it came; returns the last
// kpid indexed, or 0 when none was left (the build is then complete). Reports progress every
// few hundred receipts; a refusal throws Cancelled, so the step's transaction rolls back.
struct Cancelled {};

qint64 buildStepAfter(sqlite3* db, qint64 from, const std::function<bool(qint64)>& onward) {
    Statement read(db, QByteArray("select kpid,") + joinedColumns() +
                           " from fpmain where kpid>? order by kpid limit ?");
    read.bind(1, from);
    read.bind(2, qint64(buildStep));
    Statement insert(db, "insert into fpsearch (docid,tokens) values (?,?)");
    qint64 last = 0;
    int count = 0;
    while (read.step()) {
        last = read.integer(0);
        insert.bind(1, last);
        insert.bind(2, searchtokens::indexText(read.text(1)));
        insert.run();
        if (++count % 500 == 0 && !onward(last))
            throw Cancelled();
    }
    if (last) {
        Statement done(db, "update fpsearch_state set builtupto=? where id=1");
        done.bind(1, last);
        done.run();
    } else {
        exec(db, QStringLiteral("update fpsearch_state set complete=1 where id=1"));
    }
    return last;
}

} // namespace

QStringList createStatements() {
    return objects(true);
}

State state(Connection& connection) {
    sqlite3* db = connection.handle();
    if (scalar(db, objectsCount().toUtf8()) != 3 + std::size(triggerNames))
        return State::Missing;
    Statement s(db, "select version,complete from fpsearch_state where id=1");
    if (!s.step() || s.integer(0) != formatVersion)
        return State::Missing;
    if (!s.integer(1))
        return State::Partial;
    return scalar(db, "select exists (select 1 from fpsearch_queue)") ? State::Pending
                                                                      : State::Ready;
}

bool isReady(Connection& connection) {
    return state(connection) == State::Ready;
}

void applyQueued(Connection& connection) {
    sqlite3* db = connection.handle();
    if (scalar(db, objectsCount().toUtf8()) != 3 + std::size(triggerNames) ||
        !scalar(db, "select complete from fpsearch_state where id=1"))
        return;
    // A receipt deleted since it was queued reads as NULL: its entry only goes.
    Statement queued(db, QByteArray("select kpid,(select ") + joinedColumns() +
                             " from fpmain m where m.kpid=q.kpid) from fpsearch_queue q");
    Statement stored(db, "select tokens from fpsearch where docid=?");
    Statement remove(db, "delete from fpsearch where docid=?");
    Statement insert(db, "insert into fpsearch (docid,tokens) values (?,?)");
    while (queued.step()) {
        const qint64 kpid = queued.integer(0);
        const bool exists = sqlite3_column_type(queued.handle(), 1) != SQLITE_NULL;
        const QByteArray tokens = exists ? searchtokens::indexText(queued.text(1)) : QByteArray();
        // A correction that leaves the searched columns as they were (amounts, dates, lines)
        // keeps its entry: rewriting it would only delete and insert the same tokens.
        stored.bind(1, kpid);
        const bool same = stored.step() && exists && stored.text(0) == QByteArrayView(tokens);
        sqlite3_reset(stored.handle());
        if (same)
            continue;
        remove.bind(1, kpid);
        remove.run();
        if (exists) {
            insert.bind(1, kpid);
            insert.bind(2, tokens);
            insert.run();
        }
    }
    exec(db, QStringLiteral("delete from fpsearch_queue"));
}

bool update(Connection& connection, const std::function<bool(qint64, qint64)>& progress) {
    sqlite3* db = connection.handle();
    State current = state(connection);
    if (current == State::Missing) {
        Transaction transaction(connection);
        recreate(db);
        transaction.commit();
        current = State::Partial;
    }
    if (current == State::Partial) {
        qint64 from = scalar(db, "select builtupto from fpsearch_state where id=1");
        const qint64 start = from;
        const qint64 total =
            std::max<qint64>(0, scalar(db, "select max(kpid) from fpmain") - start);
        auto onward = [&](qint64 kpid) {
            return !progress || progress(std::clamp<qint64>(kpid - start, 0, total), total);
        };
        try {
            for (bool complete = false; !complete;) {
                if (!onward(from))
                    return false;
                Transaction transaction(connection);
                from = buildStepAfter(db, from, onward);
                transaction.commit();
                complete = from == 0;
            }
        } catch (const Cancelled&) {
            return false;
        }
    }
    Transaction transaction(connection);
    applyQueued(connection);
    transaction.commit();
    return true;
}

} // namespace zelk::store::searchindex
