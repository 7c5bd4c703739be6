// The local file's side of a copy between stores: its statements for reading and writing every
// row with its ids.
#include "store/copyrows.h"
#include "store/filestore.h"

#include "data/connection.h"
#include "data/query.h"
#include "data/transaction.h"
#include "store/filesearchindex.h"

#include <optional>

namespace zelk::store {

namespace {

qint64 fileCount(data::Connection& c, const QString& table) {
    data::Query q(c);
    q.add(QStringLiteral("select count(*) as n from %1").arg(table));
    q.open();
    return q.fieldAsInteger(QStringLiteral("n"));
}

class FileCopySource : public CopySource {
public:
    explicit FileCopySource(FileStore& store)
        : store_(store), reading_(store.connection()) {} // one state of the file for every batch

    qint64 receiptsAndLines() override {
        return fileCount(store_.connection(), QStringLiteral("fpmain")) +
               fileCount(store_.connection(), QStringLiteral("fpdetail"));
    }

    QList<CopyRow> readRows(CopyTable table, qint64 after, qint64 upto, int limit) override {
        const QString name = copyTableName(table);
        // A file gains the earlier versions' tables when it is brought up to date; a read-only
        // file of an earlier version has none to copy.
        if ((table == CopyTable::Versions || table == CopyTable::VersionLines) &&
            fileCount(store_.connection(),
                      QStringLiteral("sqlite_master where name='%1'").arg(name)) == 0)
            return {};
        const QStringList columns = copyColumns(table);
        QStringList select;
        for (const QString& column : columns) {
            if (table == CopyTable::Receipts && column == QLatin1String("changecount") &&
                !hasChangeCounter())
                select << QStringLiteral("0 as changecount");
            else if (table == CopyTable::Lines || table == CopyTable::Settings)
                select << column;
            else
                select << QStringLiteral("cast(%1 as text) as %1").arg(column);
        }
        // The key is named with its table: the select gives the column's text under its name.
        const QString key = name + QLatin1Char('.') + columns.first();
        data::Query q(store_.connection());
        q.add(QStringLiteral("select %1 from %2 where %3>:after and %3<=:upto order by %3")
                  .arg(select.join(QLatin1Char(',')), name, key));
        if (table == CopyTable::VersionLines)
            q.add(QStringLiteral(",fpmxid"));
        if (limit > 0)
            q.add(QStringLiteral(" limit %1").arg(limit));
        q.bind(QStringLiteral("after"), after);
        q.bind(QStringLiteral("upto"), upto);
        q.open();
        const QStringList names = q.fieldNames();
        QList<CopyRow> rows;
        for (; !q.eof(); q.next()) {
            CopyRow row;
            for (const QString& field : names)
                row << (q.fieldIsNull(field) ? QVariant() : QVariant(q.fieldAsText(field)));
            rows << row;
        }
        return rows;
    }

private:
    bool hasChangeCounter() {
        if (!changeCounter_)
            changeCounter_ = store_.hasChangeCounter();
        return *changeCounter_;
    }

    FileStore& store_;
    data::Transaction reading_;
    std::optional<bool> changeCounter_;
};

class FileCopyTarget : public CopyTarget {
public:
    explicit FileCopyTarget(data::Connection& connection)
        : connection_(connection), transaction_(connection) {}

    qint64 receiptCount() override { return fileCount(connection_, QStringLiteral("fpmain")); }

    void writeRows(CopyTable table, const QList<CopyRow>& rows) override {
        if (table == CopyTable::Settings) {
            for (const CopyRow& row : rows)
                writeSetting(row);
            return;
        }
        // The file brought up to date at open has every table, the earlier versions' too.
        const QStringList columns = copyColumns(table);
        const QString sql = QStringLiteral("insert into %1 (%2) values (:%3)")
                                .arg(copyTableName(table), columns.join(QLatin1Char(',')),
                                     columns.join(QStringLiteral(",:")));
        for (const CopyRow& row : rows) {
            data::Query q(connection_);
            q.add(sql);
            for (qsizetype i = 0; i < columns.size(); ++i)
                bind(q, columns.at(i), row.at(i));
            q.execute();
        }
    }

    void commit() override {
        // The search index takes the copied receipts (queued by fpmain's triggers) with them.
        searchindex::applyQueued(connection_);
        transaction_.commit();
    }

private:
    static void bind(data::Query& q, const QString& name, const QVariant& value) {
        if (value.isValid())
            q.bind(name, value.toString());
        else
            q.bindNull(name);
    }

    void writeSetting(const CopyRow& row) {
        for (const char* sql : {"update SysSet set SetValue=:v where SetId=:id",
                                "insert into SysSet (SetId,SetValue) select :id,:v where not "
                                "exists (select 1 from SysSet where SetId=:id)"}) {
            data::Query q(connection_);
            q.add(QString::fromLatin1(sql));
            q.bind(QStringLiteral("id"), row.at(0).toLongLong());
            bind(q, QStringLiteral("v"), row.at(1));
            q.execute();
        }
    }

    data::Connection& connection_;
    data::Transaction transaction_;
};

} // namespace

std::unique_ptr<CopySource> FileStore::copySource() {
    return std::make_unique<FileCopySource>(*this);
}

std::unique_ptr<CopyTarget> FileStore::copyTarget() {
    return std::make_unique<FileCopyTarget>(connection_);
}

} // namespace zelk::store
