#include "store/copystore.h"

#include "data/connection.h"
#include "data/databaseerror.h"
#include "data/query.h"
#include "data/searchindex.h"
#include "data/transaction.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "store/storeconfig.h"

#include <QVariant>

#include <algorithm>

namespace zelk::store {

namespace {

// Everything a copy moves, each value as text or NULL.
struct Dump {
    QStringList receiptColumns; // kpid, the header columns, changecount
    QStringList lineColumns;    // fpmxid, kpid, the line columns
    QList<QList<QVariant>> receipts;
    QList<QList<QVariant>> lines;
    QList<QPair<int, QString>> settings;
};

Dump emptyDump() {
    Dump dump;
    dump.receiptColumns = QStringList{QStringLiteral("kpid")} + headerColumns() +
                          QStringList{QStringLiteral("changecount")};
    dump.lineColumns =
        QStringList{QStringLiteral("fpmxid"), QStringLiteral("kpid")} + lineColumns();
    return dump;
}

bool storeChoiceRow(int setId) {
    return setId >= firstStoreSetting && setId <= lastStoreSetting;
}

[[noreturn]] void refuseTarget(qint64 receipts) {
    throw data::DatabaseError(QStringLiteral("目标中已有 %1 张票据。为免两处的票据混在一起、编号"
                                             "冲突，没有复制任何内容；请换用一个空的目标。")
                                  .arg(receipts));
}

QList<QList<QVariant>> readFileRows(data::Connection& connection, const QString& sql, int columns) {
    QList<QList<QVariant>> rows;
    data::Query q(connection);
    q.add(sql);
    q.open();
    const QStringList names = q.fieldNames();
    for (; !q.eof(); q.next()) {
        QList<QVariant> row;
        for (int c = 0; c < columns; ++c)
            row << (q.fieldIsNull(names.at(c)) ? QVariant() : QVariant(q.fieldAsText(names.at(c))));
        rows << row;
    }
    return rows;
}

Dump readDump(FileStore& from) {
    Dump dump = emptyDump();
    QStringList select;
    for (const QString& column : dump.receiptColumns)
        select << (column == QLatin1String("changecount") && !from.hasChangeCounter()
                       ? QStringLiteral("0 as changecount")
                       : QStringLiteral("cast(%1 as text) as %1").arg(column));
    dump.receipts = readFileRows(
        from.connection(),
        QStringLiteral("select %1 from fpmain order by kpid").arg(select.join(QLatin1Char(','))),
        int(dump.receiptColumns.size()));
    dump.lines = readFileRows(from.connection(),
                              QStringLiteral("select %1 from fpdetail order by fpmxid")
                                  .arg(dump.lineColumns.join(QLatin1Char(','))),
                              int(dump.lineColumns.size()));
    for (const QList<QVariant>& row :
         readFileRows(from.connection(),
                      QStringLiteral("select SetId,SetValue from SysSet order by SetId"), 2))
        if (!storeChoiceRow(row.at(0).toInt()))
            dump.settings.append({row.at(0).toInt(), row.at(1).toString()});
    return dump;
}

QList<QList<QVariant>> readServerRows(PgConnection& connection, const QString& sql) {
    const PgResult result = connection.exec(sql);
    QList<QList<QVariant>> rows;
    for (int r = 0; r < result.rows(); ++r) {
        QList<QVariant> row;
        for (int c = 0; c < result.columns(); ++c)
            row << (result.isNull(r, c) ? QVariant() : QVariant(result.text(r, c)));
        rows << row;
    }
    return rows;
}

Dump readDump(PgStore& from) {
    Dump dump = emptyDump();
    PgConnection& c = from.connection();
    // One snapshot for the three reads.
    PgTransaction transaction(c);
    c.exec(QStringLiteral("set transaction isolation level repeatable read"));
    QStringList select;
    for (const QString& column : dump.receiptColumns)
        select << column + QStringLiteral("::text");
    dump.receipts = readServerRows(
        c,
        QStringLiteral("select %1 from fpmain order by kpid").arg(select.join(QLatin1Char(','))));
    dump.lines = readServerRows(c, QStringLiteral("select %1 from fpdetail order by fpmxid")
                                       .arg(dump.lineColumns.join(QLatin1Char(','))));
    for (const QList<QVariant>& row :
         readServerRows(c, QStringLiteral("select SetId,SetValue from SysSet order by SetId")))
        if (!storeChoiceRow(row.at(0).toInt()))
            dump.settings.append({row.at(0).toInt(), row.at(1).toString()});
    transaction.commit();
    return dump;
}

void insertFileRows(data::Connection& connection, const QString& table, const QStringList& columns,
                    const QList<QList<QVariant>>& rows) {
    for (const QList<QVariant>& row : rows) {
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

CopySummary summary(const Dump& dump) {
    return {qint64(dump.receipts.size()), qint64(dump.lines.size()), qint64(dump.settings.size())};
}

} // namespace

CopySummary copyStore(FileStore& from, PgStore& to) {
    const Dump dump = readDump(from);
    PgConnection& c = to.connection();
    PgTransaction transaction(c);
    c.exec(QStringLiteral("select pg_advisory_xact_lock($1)"),
           {QString::number(PgStore::saveLockKey)});
    const qint64 present = c.exec(QStringLiteral("select count(*) from fpmain")).integer(0, 0);
    if (present > 0)
        refuseTarget(present);
    auto insert = [&](const QString& table, const QStringList& columns,
                      const QList<QList<QVariant>>& rows) {
        // Many rows per statement: one round trip to the server per row would make a large
        // shop's copy take hours.
        constexpr qsizetype rowsPerStatement = 500;
        auto statementFor = [&](qsizetype count) {
            QStringList tuples;
            for (qsizetype r = 0; r < count; ++r) {
                QStringList values;
                for (qsizetype i = 0; i < columns.size(); ++i) {
                    const qsizetype n = r * columns.size() + i + 1;
                    values << (columns.at(i) == QLatin1String("kpdate")
                                   ? QStringLiteral("nullif($%1,'')::bigint").arg(n)
                                   : QStringLiteral("$%1").arg(n));
                }
                tuples << QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
            }
            return QStringLiteral("insert into %1 (%2) values %3")
                .arg(table, columns.join(QLatin1Char(',')), tuples.join(QLatin1Char(',')));
        };
        const QString full = statementFor(rowsPerStatement);
        for (qsizetype at = 0; at < rows.size(); at += rowsPerStatement) {
            const qsizetype count = std::min(rowsPerStatement, rows.size() - at);
            QList<QVariant> params;
            params.reserve(count * columns.size());
            for (qsizetype r = at; r < at + count; ++r)
                params += rows.at(r);
            c.exec(count == rowsPerStatement ? full : statementFor(count), params);
        }
    };
    insert(QStringLiteral("fpmain"), dump.receiptColumns, dump.receipts);
    insert(QStringLiteral("fpdetail"), dump.lineColumns, dump.lines);
    // The identities go on after the copied ids.
    c.exec(QStringLiteral("select setval(pg_get_serial_sequence('fpmain','kpid'),"
                          "(select coalesce(max(kpid),0)+1 from fpmain),false)"));
    c.exec(QStringLiteral("select setval(pg_get_serial_sequence('fpdetail','fpmxid'),"
                          "(select coalesce(max(fpmxid),0)+1 from fpdetail),false)"));
    for (const auto& [setId, value] : dump.settings)
        c.exec(QStringLiteral("insert into SysSet (SetId,SetValue) values ($1,$2) on conflict "
                              "(SetId) do update set SetValue=excluded.SetValue"),
               {QString::number(setId), value});
    transaction.commit();
    return summary(dump);
}

CopySummary copyStore(PgStore& from, FileStore& to) {
    const Dump dump = readDump(from);
    data::Connection& c = to.connection();
    data::Transaction transaction(c);
    qint64 present = 0;
    {
        data::Query q(c);
        q.add(QStringLiteral("select count(*) as n from fpmain"));
        q.open();
        present = q.fieldAsInteger(QStringLiteral("n"));
    }
    if (present > 0)
        refuseTarget(present);
    if (!to.hasChangeCounter())
        c.executeDirect(
            QStringLiteral("alter table fpmain add column changecount INTEGER NOT NULL DEFAULT 0"));
    insertFileRows(c, QStringLiteral("fpmain"), dump.receiptColumns, dump.receipts);
    insertFileRows(c, QStringLiteral("fpdetail"), dump.lineColumns, dump.lines);
    // The settings go in the same transaction as the receipts.
    for (const auto& [setId, value] : dump.settings) {
        for (const char* sql : {"update SysSet set SetValue=:v where SetId=:id",
                                "insert into SysSet (SetId,SetValue) select :id,:v where not "
                                "exists (select 1 from SysSet where SetId=:id)"}) {
            data::Query q(c);
            q.add(QString::fromLatin1(sql));
            q.bind(QStringLiteral("id"), qint64(setId));
            q.bind(QStringLiteral("v"), value);
            q.execute();
        }
    }
    data::searchindex::applyQueued(c);
    transaction.commit();
    return summary(dump);
}

} // namespace zelk::store
