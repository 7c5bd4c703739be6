#include "store/copystore.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/query.h"
#include "data/transaction.h"
#include "store/filesearchindex.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "store/receipthistory.h"
#include "store/storeconfig.h"

#include <QVariant>

#include <algorithm>
#include <limits>
#include <set>

namespace zelk::store {

namespace {

using Row = QList<QVariant>; // each value as text, or an invalid QVariant for NULL

// Rows read and written per statement: few enough to keep memory small, enough that a
// large shop's copy does not take one round trip to the server per row.
constexpr int batchRows = 500;

QStringList receiptColumns() {
    return QStringList{QStringLiteral("kpid")} + headerColumns() +
           QStringList{QStringLiteral("changecount")};
}

QStringList detailColumns() {
    return QStringList{QStringLiteral("fpmxid"), QStringLiteral("kpid")} + lineColumns();
}

// The earlier versions' tables: fpmain_history and fpdetail_history.
QStringList versionColumns() {
    return QStringList{QStringLiteral("histid"), QStringLiteral("kpid"),
                       QStringLiteral("replacedat"), QStringLiteral("desk"),
                       QStringLiteral("changecount")} +
           headerColumns();
}

QStringList versionLineColumns() {
    return QStringList{QStringLiteral("histid"), QStringLiteral("fpmxid")} + lineColumns();
}

QString castList(const QStringList& columns, const QString& cast) {
    QStringList list;
    for (const QString& column : columns)
        list << cast.arg(column);
    return list.join(QLatin1Char(','));
}

bool storeChoiceRow(int setId) {
    return setId >= firstStoreSetting && setId <= lastStoreSetting;
}

[[noreturn]] void refuseTarget(qint64 receipts) {
    throw data::DatabaseError(QStringLiteral("目标中已有 %1 张票据。为免两处的票据混在一起、编号"
                                             "冲突，没有复制任何内容；请换用一个空的目标。")
                                  .arg(receipts));
}

[[noreturn]] void refuseReceipts(const std::set<qint64>& kpids, const QString& detail) {
    QStringList named;
    for (const qint64 kpid : kpids) {
        if (named.size() == 20) {
            named << QStringLiteral("……");
            break;
        }
        named << QString::number(kpid);
    }
    throw data::DatabaseError(QStringLiteral("编号为 %1 的票据（共 %2 张）无法复制到目标，所以没有"
                                             "复制任何内容。请在本程序里改正或删去这些票据后重试。")
                                  .arg(named.join(QStringLiteral("、")))
                                  .arg(kpids.size()),
                              detail);
}

// The next batch of a file table after `after` in the order of its first column.
QList<Row> readFileBatch(data::Connection& connection, const QString& select, const QString& key,
                         qint64 after, int columns) {
    data::Query q(connection);
    q.add(select + QStringLiteral(" where %1>:after order by %1 limit %2").arg(key).arg(batchRows));
    q.bind(QStringLiteral("after"), after);
    q.open();
    const QStringList names = q.fieldNames();
    QList<Row> rows;
    for (; !q.eof(); q.next()) {
        Row row;
        for (int c = 0; c < columns; ++c)
            row << (q.fieldIsNull(names.at(c)) ? QVariant() : QVariant(q.fieldAsText(names.at(c))));
        rows << row;
    }
    return rows;
}

QList<Row> readServerRows(PgConnection& connection, const QString& sql,
                          const QList<QVariant>& params = {}) {
    const PgResult result = connection.exec(sql, params);
    QList<Row> rows;
    for (int r = 0; r < result.rows(); ++r) {
        Row row;
        for (int c = 0; c < result.columns(); ++c)
            row << (result.isNull(r, c) ? QVariant() : QVariant(result.text(r, c)));
        rows << row;
    }
    return rows;
}

qint64 fileCount(data::Connection& c, const QString& table) {
    data::Query q(c);
    q.add(QStringLiteral("select count(*) as n from %1").arg(table));
    q.open();
    return q.fieldAsInteger(QStringLiteral("n"));
}

// Inserts rows into a server table, many per statement. A batch the server refuses is tried
// row by row (each under its own savepoint) to find the receipts it refuses, whose kpids
// (column `kpidColumn`) are collected; the copy goes on so that all of them are named.
class ServerInserter {
public:
    ServerInserter(PgConnection& c, const QString& table, const QStringList& columns,
                   int kpidColumn)
        : c_(c), table_(table), columns_(columns), kpidColumn_(kpidColumn) {}

    void insert(const QList<Row>& rows) {
        if (rows.isEmpty())
            return;
        QList<QVariant> params;
        for (const Row& row : rows)
            params += row;
        c_.exec(QStringLiteral("savepoint batch"));
        try {
            c_.exec(statement(rows.size()), params);
            c_.exec(QStringLiteral("release savepoint batch"));
            return;
        } catch (const ConnectionLost&) {
            throw;
        } catch (const data::DatabaseError&) {
            c_.exec(QStringLiteral("rollback to savepoint batch"));
        }
        for (const Row& row : rows) {
            c_.exec(QStringLiteral("savepoint one"));
            try {
                c_.exec(statement(1), row);
                c_.exec(QStringLiteral("release savepoint one"));
            } catch (const ConnectionLost&) {
                throw;
            } catch (const data::DatabaseError& error) {
                c_.exec(QStringLiteral("rollback to savepoint one"));
                refused_.insert(row.at(kpidColumn_).toLongLong());
                if (detail_.isEmpty())
                    detail_ = error.detail();
            }
        }
    }

    const std::set<qint64>& refused() const { return refused_; }
    const QString& detail() const { return detail_; }

private:
    QString statement(qsizetype count) {
        if (count == batchRows && !full_.isEmpty())
            return full_;
        const bool receipts = table_ == QLatin1String("fpmain");
        QStringList tuples;
        for (qsizetype r = 0; r < count; ++r) {
            QStringList values;
            QString dateParam;
            for (qsizetype i = 0; i < columns_.size(); ++i) {
                const QString param = QStringLiteral("$%1").arg(r * columns_.size() + i + 1);
                // The server's earlier versions keep kpdate as the text it was.
                if (receipts && columns_.at(i) == QLatin1String("kpdate")) {
                    dateParam = param;
                    values << PgStore::kpdateNumber(param);
                } else
                    values << param;
            }
            if (receipts)
                values << PgStore::kpdateText(dateParam);
            tuples << QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
        }
        const QString sql = QStringLiteral("insert into %1 (%2%3) values %4")
                                .arg(table_, columns_.join(QLatin1Char(',')),
                                     receipts ? QStringLiteral(",kpdatetext") : QString(),
                                     tuples.join(QLatin1Char(',')));
        if (count == batchRows)
            full_ = sql;
        return sql;
    }

    PgConnection& c_;
    QString table_;
    QStringList columns_;
    int kpidColumn_;
    QString full_;
    std::set<qint64> refused_;
    QString detail_;
};

void insertFileRows(data::Connection& connection, const QString& table, const QStringList& columns,
                    const QList<Row>& rows) {
    for (const Row& row : rows) {
        data::Query q(connection);
        q.add(QStringLiteral("insert into %1 (%2) values (:%3)")
                  .arg(table, columns.join(QLatin1Char(',')), columns.join(QStringLiteral(",:"))));
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (row.at(i).isValid())
                q.bind(columns.at(i), row.at(i).toString());
            else
                q.bindNull(columns.at(i));
        }
        q.execute();
    }
}

} // namespace

CopySummary copyStore(FileStore& from, PgStore& to, const CopyProgress& progress) {
    data::Connection& file = from.connection();
    // One read transaction of the file: the batches see one state of it.
    data::Transaction reading(file);
    CopySummary summary;
    const qint64 total =
        fileCount(file, QStringLiteral("fpmain")) + fileCount(file, QStringLiteral("fpdetail"));
    PgConnection& c = to.connection();
    PgTransaction transaction(c, PgTransaction::Waits::Unbounded);
    c.exec(QStringLiteral("select pg_advisory_xact_lock($1)"),
           {QString::number(PgStore::saveLockKey)});
    const qint64 present = c.exec(QStringLiteral("select count(*) from fpmain")).integer(0, 0);
    if (present > 0)
        refuseTarget(present);

    QStringList select;
    for (const QString& column : receiptColumns())
        select << (column == QLatin1String("changecount") && !from.hasChangeCounter()
                       ? QStringLiteral("0 as changecount")
                       : QStringLiteral("cast(%1 as text) as %1").arg(column));
    // The key is named with its table: the select gives the column's text under its name.
    auto copyTable = [&](const QString& table, const QStringList& columns, const QString& sql,
                         qint64& copied, ServerInserter& inserter) {
        for (qint64 after = std::numeric_limits<qint64>::min();;) {
            const QList<Row> rows = readFileBatch(
                file, sql, table + QLatin1Char('.') + columns.first(), after, int(columns.size()));
            if (rows.isEmpty())
                break;
            inserter.insert(rows);
            after = rows.last().first().toLongLong();
            copied += rows.size();
            if (progress)
                progress(summary.receipts + summary.lines, total);
        }
    };
    ServerInserter receipts(c, QStringLiteral("fpmain"), receiptColumns(), 0);
    copyTable(QStringLiteral("fpmain"), receiptColumns(),
              QStringLiteral("select %1 from fpmain").arg(select.join(QLatin1Char(','))),
              summary.receipts, receipts);
    ServerInserter lines(c, QStringLiteral("fpdetail"), detailColumns(), 1);
    copyTable(QStringLiteral("fpdetail"), detailColumns(),
              QStringLiteral("select %1 from fpdetail").arg(detailColumns().join(QLatin1Char(','))),
              summary.lines, lines);
    // The earlier versions, each batch of versions with their lines. A file gains the tables
    // with its first correction; one without them has none to copy.
    ServerInserter versions(c, QStringLiteral("fpmain_history"), versionColumns(), 1);
    ServerInserter versionLines(c, QStringLiteral("fpdetail_history"), versionLineColumns(), 0);
    if (fileCount(file, QStringLiteral("sqlite_master where name='fpmain_history'")) > 0) {
        const QString cast = QStringLiteral("cast(%1 as text) as %1");
        for (qint64 after = std::numeric_limits<qint64>::min();;) {
            const QList<Row> rows = readFileBatch(file,
                                                  QStringLiteral("select %1 from fpmain_history")
                                                      .arg(castList(versionColumns(), cast)),
                                                  QStringLiteral("fpmain_history.histid"), after,
                                                  int(versionColumns().size()));
            if (rows.isEmpty())
                break;
            versions.insert(rows);
            data::Query q(file);
            q.add(QStringLiteral("select %1 from fpdetail_history where histid between :a and :b "
                                 "order by histid,fpmxid")
                      .arg(castList(versionLineColumns(), cast)));
            q.bind(QStringLiteral("a"), rows.first().first().toLongLong());
            q.bind(QStringLiteral("b"), rows.last().first().toLongLong());
            q.open();
            QList<Row> batch;
            for (; !q.eof(); q.next()) {
                Row row;
                for (const QString& column : versionLineColumns())
                    row << (q.fieldIsNull(column) ? QVariant() : QVariant(q.fieldAsText(column)));
                batch << row;
                if (batch.size() == batchRows) {
                    versionLines.insert(batch);
                    batch.clear();
                }
            }
            versionLines.insert(batch);
            after = rows.last().first().toLongLong();
        }
        c.exec(QStringLiteral("select setval(pg_get_serial_sequence('fpmain_history','histid'),"
                              "(select coalesce(max(histid),0)+1 from fpmain_history),false)"));
    }
    std::set<qint64> refused = receipts.refused();
    refused.insert(lines.refused().begin(), lines.refused().end());
    refused.insert(versions.refused().begin(), versions.refused().end());
    refused.insert(versionLines.refused().begin(), versionLines.refused().end());
    if (!refused.empty())
        refuseReceipts(refused, receipts.detail().isEmpty() ? lines.detail() : receipts.detail());
    // The identities go on after the copied ids.
    c.exec(QStringLiteral("select setval(pg_get_serial_sequence('fpmain','kpid'),"
                          "(select coalesce(max(kpid),0)+1 from fpmain),false)"));
    c.exec(QStringLiteral("select setval(pg_get_serial_sequence('fpdetail','fpmxid'),"
                          "(select coalesce(max(fpmxid),0)+1 from fpdetail),false)"));
    {
        data::Query q(file);
        q.add(QStringLiteral("select SetId,SetValue from SysSet order by SetId"));
        q.open();
        for (; !q.eof(); q.next()) {
            const int setId = int(q.fieldAsInteger(QStringLiteral("SetId")));
            if (storeChoiceRow(setId))
                continue;
            const QVariant value = q.fieldIsNull(QStringLiteral("SetValue"))
                                       ? QVariant()
                                       : QVariant(q.fieldAsText(QStringLiteral("SetValue")));
            c.exec(QStringLiteral("insert into SysSet (SetId,SetValue) values ($1,$2) on conflict "
                                  "(SetId) do update set SetValue=excluded.SetValue"),
                   {QString::number(setId), value});
            ++summary.settings;
        }
    }
    transaction.commit(QStringLiteral("与数据存储服务器的连接在复制完成时断开，无法确定票据是否已"
                                      "复制到服务器。请在服务器恢复后再复制一次：若已复制，"
                                      "服务器会拒绝再次复制并说明其中已有多少张票据。"));
    return summary;
}

CopySummary copyStore(PgStore& from, FileStore& to, const CopyProgress& progress) {
    PgConnection& s = from.connection();
    // One snapshot for every read of the server.
    PgTransaction reading(s, PgTransaction::Waits::Snapshot);
    const qint64 total =
        s.exec(QStringLiteral("select (select count(*) from fpmain)+(select count(*) from "
                              "fpdetail)"))
            .integer(0, 0);
    data::Connection& c = to.connection();
    data::Transaction transaction(c);
    if (const qint64 present = fileCount(c, QStringLiteral("fpmain")); present > 0)
        refuseTarget(present);
    if (!to.hasChangeCounter())
        c.executeDirect(
            QStringLiteral("alter table fpmain add column changecount INTEGER NOT NULL DEFAULT 0"));
    CopySummary summary;
    QStringList select;
    for (const QString& column : receiptColumns())
        select << (column == QLatin1String("kpdate")
                       ? QStringLiteral("coalesce(kpdatetext,kpdate::text)")
                       : column + QStringLiteral("::text"));
    auto copyTable = [&](const QString& table, const QStringList& columns, const QString& list,
                         qint64& copied) {
        for (QString after = QStringLiteral("-9223372036854775808");;) {
            const QList<Row> rows = readServerRows(
                s,
                QStringLiteral("select %1 from %2 where %2.%3>$1::bigint order by %2.%3 limit %4")
                    .arg(list, table, columns.first())
                    .arg(batchRows),
                {after});
            if (rows.isEmpty())
                break;
            insertFileRows(c, table, columns, rows);
            after = rows.last().first().toString();
            copied += rows.size();
            if (progress)
                progress(summary.receipts + summary.lines, total);
        }
    };
    copyTable(QStringLiteral("fpmain"), receiptColumns(), select.join(QLatin1Char(',')),
              summary.receipts);
    copyTable(QStringLiteral("fpdetail"), detailColumns(),
              detailColumns().join(QStringLiteral("::text,")) + QStringLiteral("::text"),
              summary.lines);
    // The earlier versions, each batch of versions with their lines; the file gains the tables
    // only when there are versions to keep.
    for (QString after = QStringLiteral("-9223372036854775808");;) {
        const QList<Row> rows = readServerRows(
            s,
            QStringLiteral("select %1 from fpmain_history where histid>$1::bigint order by histid "
                           "limit %2")
                .arg(castList(versionColumns(), QStringLiteral("%1::text")))
                .arg(batchRows),
            {after});
        if (rows.isEmpty())
            break;
        for (const QString& statement : historyTableStatements(false))
            c.executeDirect(statement);
        insertFileRows(c, QStringLiteral("fpmain_history"), versionColumns(), rows);
        insertFileRows(
            c, QStringLiteral("fpdetail_history"), versionLineColumns(),
            readServerRows(s,
                           QStringLiteral("select %1 from fpdetail_history where histid between "
                                          "$1::bigint and $2::bigint order by histid,fpmxid")
                               .arg(castList(versionLineColumns(), QStringLiteral("%1::text"))),
                           {rows.first().first(), rows.last().first()}));
        after = rows.last().first().toString();
    }
    // The settings go in the same transaction as the receipts; a NULL stays NULL.
    for (const Row& row : readServerRows(
             s, QStringLiteral("select SetId::text,SetValue from SysSet order by SetId"))) {
        const int setId = row.at(0).toInt();
        if (storeChoiceRow(setId))
            continue;
        for (const char* sql : {"update SysSet set SetValue=:v where SetId=:id",
                                "insert into SysSet (SetId,SetValue) select :id,:v where not "
                                "exists (select 1 from SysSet where SetId=:id)"}) {
            data::Query q(c);
            q.add(QString::fromLatin1(sql));
            q.bind(QStringLiteral("id"), qint64(setId));
            if (row.at(1).isValid())
                q.bind(QStringLiteral("v"), row.at(1).toString());
            else
                q.bindNull(QStringLiteral("v"));
            q.execute();
        }
        ++summary.settings;
    }
    reading.commit();
    store::searchindex::applyQueued(c);
    transaction.commit();
    return summary;
}

} // namespace zelk::store
