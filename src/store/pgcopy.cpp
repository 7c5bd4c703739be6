// The server's side of a copy between stores: its statements for reading and writing every row
// with its ids.
#include "store/copyrows.h"
#include "store/pgstore.h"

#include "data/databaseerror.h"

#include <QHash>

#include <functional>

namespace zelk::store {

namespace {

class PgCopySource : public CopySource {
public:
    explicit PgCopySource(PgConnection& connection)
        : connection_(connection), reading_(connection, PgTransaction::Waits::Snapshot) {}

    qint64 receiptsAndLines() override {
        return connection_
            .exec(QStringLiteral("select (select count(*) from fpmain)+(select count(*) from "
                                 "fpdetail)"))
            .integer(0, 0);
    }

    QList<CopyRow> readRows(CopyTable table, qint64 after, qint64 upto, int limit) override {
        const QString name = copyTableName(table);
        const QStringList columns = copyColumns(table);
        QStringList select;
        for (const QString& column : columns)
            select << (table == CopyTable::Receipts && column == QLatin1String("kpdate")
                           ? QStringLiteral("coalesce(kpdatetext,kpdate::text)")
                       : table == CopyTable::Settings && column == QLatin1String("SetValue")
                           ? column
                           : column + QStringLiteral("::text"));
        QString sql = QStringLiteral("select %1 from %2 where %2.%3>$1::bigint and "
                                     "%2.%3<=$2::bigint order by %2.%3")
                          .arg(select.join(QLatin1Char(',')), name, columns.first());
        if (table == CopyTable::VersionLines)
            sql += QStringLiteral(",fpmxid");
        if (limit > 0)
            sql += QStringLiteral(" limit %1").arg(limit);
        const PgResult result =
            connection_.exec(sql, {QString::number(after), QString::number(upto)});
        QList<CopyRow> rows;
        for (int r = 0; r < result.rows(); ++r) {
            CopyRow row;
            for (int c = 0; c < result.columns(); ++c)
                row << (result.isNull(r, c) ? QVariant() : QVariant(result.text(r, c)));
            rows << row;
        }
        return rows;
    }

private:
    PgConnection& connection_;
    PgTransaction reading_; // one snapshot for every read
};

// Inserts rows into a server table, many per statement. A batch the server refuses is tried
// row by row (each under its own savepoint) to find the receipts it refuses, whose kpids
// (`kpidOf` the row) are collected; the copy goes on so that all of them are named.
class ServerInserter {
public:
    using KpidOf = std::function<qint64(const CopyRow&)>;
    ServerInserter(PgConnection& c, CopyTable table, KpidOf kpidOf)
        : c_(c), table_(table), columns_(copyColumns(table)), kpidOf_(std::move(kpidOf)) {}

    void insert(const QList<CopyRow>& rows, std::set<qint64>& refused, QString& detail) {
        if (rows.isEmpty())
            return;
        QList<QVariant> params;
        for (const CopyRow& row : rows)
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
        for (const CopyRow& row : rows) {
            c_.exec(QStringLiteral("savepoint one"));
            try {
                c_.exec(statement(1), row);
                c_.exec(QStringLiteral("release savepoint one"));
            } catch (const ConnectionLost&) {
                throw;
            } catch (const data::DatabaseError& error) {
                c_.exec(QStringLiteral("rollback to savepoint one"));
                refused.insert(kpidOf_(row));
                if (detail.isEmpty())
                    detail = error.detail();
            }
        }
    }

private:
    QString statement(qsizetype count) {
        if (count == copyBatchRows && !full_.isEmpty())
            return full_;
        const bool receipts = table_ == CopyTable::Receipts;
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
                                .arg(copyTableName(table_), columns_.join(QLatin1Char(',')),
                                     receipts ? QStringLiteral(",kpdatetext") : QString(),
                                     tuples.join(QLatin1Char(',')));
        if (count == copyBatchRows)
            full_ = sql;
        return sql;
    }

    PgConnection& c_;
    CopyTable table_;
    QStringList columns_;
    KpidOf kpidOf_;
    QString full_;
};

class PgCopyTarget : public CopyTarget {
public:
    explicit PgCopyTarget(PgConnection& connection)
        : c_(connection), transaction_(connection, PgTransaction::Waits::Unbounded),
          receipts_(connection, CopyTable::Receipts, column(0)),
          lines_(connection, CopyTable::Lines, column(1)),
          versions_(connection, CopyTable::Versions, column(1)),
          // A version's line names the receipt of its version, not its histid.
          versionLines_(connection, CopyTable::VersionLines, [this](const CopyRow& row) {
              const qint64 histid = row.at(0).toLongLong();
              return versionKpids_.value(histid, histid);
          }) {
        // No save lands between the count and the copy.
        c_.exec(QStringLiteral("select pg_advisory_xact_lock($1)"),
                {QString::number(PgStore::saveLockKey)});
    }

    qint64 receiptCount() override {
        return c_.exec(QStringLiteral("select count(*) from fpmain")).integer(0, 0);
    }

    void writeRows(CopyTable table, const QList<CopyRow>& rows) override {
        switch (table) {
        case CopyTable::Receipts:
            return receipts_.insert(rows, refused_, detail_);
        case CopyTable::Lines:
            return lines_.insert(rows, refused_, detail_);
        case CopyTable::Versions:
            // The versions' lines that follow belong to these versions.
            versionKpids_.clear();
            for (const CopyRow& row : rows)
                versionKpids_.insert(row.at(0).toLongLong(), row.at(1).toLongLong());
            return versions_.insert(rows, refused_, detail_);
        case CopyTable::VersionLines:
            return versionLines_.insert(rows, refused_, detail_);
        case CopyTable::Settings:
            for (const CopyRow& row : rows)
                c_.exec(QStringLiteral("insert into SysSet (SetId,SetValue) values ($1,$2) on "
                                       "conflict (SetId) do update set SetValue=excluded.SetValue"),
                        row);
            return;
        }
    }

    std::set<qint64> refusedReceipts() const override { return refused_; }
    QString refusalDetail() const override { return detail_; }

    void commit() override {
        // The identities go on after the copied ids.
        for (const CopyTable table : {CopyTable::Receipts, CopyTable::Lines, CopyTable::Versions})
            c_.exec(QStringLiteral("select setval(pg_get_serial_sequence('%1','%2'),"
                                   "(select coalesce(max(%2),0)+1 from %1),false)")
                        .arg(copyTableName(table), copyColumns(table).first()));
        transaction_.commit(QStringLiteral(
            "与数据存储服务器的连接在复制完成时断开，无法确定票据是否已复制到服务器。请在服务器"
            "恢复后再复制一次：若已复制，服务器会拒绝再次复制并说明其中已有多少张票据。"));
    }

private:
    static ServerInserter::KpidOf column(int index) {
        return [index](const CopyRow& row) { return row.at(index).toLongLong(); };
    }

    PgConnection& c_;
    PgTransaction transaction_;
    ServerInserter receipts_, lines_, versions_, versionLines_;
    QHash<qint64, qint64> versionKpids_; // histid to kpid, of the last versions written
    std::set<qint64> refused_;
    QString detail_;
};

} // namespace

std::unique_ptr<CopySource> PgStore::copySource() {
    return std::make_unique<PgCopySource>(connection_);
}

std::unique_ptr<CopyTarget> PgStore::copyTarget() {
    return std::make_unique<PgCopyTarget>(connection_);
}

} // namespace zelk::store
