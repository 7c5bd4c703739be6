#include "store/copystore.h"

#include "data/databaseerror.h"
#include "store/copyrows.h"
#include "store/store.h"
#include "store/storeconfig.h"

#include <limits>

namespace zelk::store {

namespace {

constexpr qint64 firstKey = std::numeric_limits<qint64>::min();
constexpr qint64 lastKey = std::numeric_limits<qint64>::max();

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

} // namespace

CopySummary copyStore(Store& from, Store& to, const CopyProgress& progress) {
    const std::unique_ptr<CopySource> source = from.copySource();
    CopySummary summary;
    const qint64 total = source->receiptsAndLines();
    const std::unique_ptr<CopyTarget> target = to.copyTarget();
    if (const qint64 present = target->receiptCount(); present > 0)
        refuseTarget(present);

    // Receipts and lines batch after batch in the order of their ids.
    const auto copyTable = [&](CopyTable table, qint64& copied) {
        for (qint64 after = firstKey;;) {
            const QList<CopyRow> rows = source->readRows(table, after, lastKey, copyBatchRows);
            if (rows.isEmpty())
                break;
            target->writeRows(table, rows);
            after = rows.last().first().toLongLong();
            copied += rows.size();
            if (progress)
                progress(summary.receipts + summary.lines, total);
        }
    };
    copyTable(CopyTable::Receipts, summary.receipts);
    copyTable(CopyTable::Lines, summary.lines);
    // The earlier versions, each batch of versions with their lines.
    for (qint64 after = firstKey;;) {
        const QList<CopyRow> versions =
            source->readRows(CopyTable::Versions, after, lastKey, copyBatchRows);
        if (versions.isEmpty())
            break;
        target->writeRows(CopyTable::Versions, versions);
        const qint64 last = versions.last().first().toLongLong();
        const QList<CopyRow> lines = source->readRows(
            CopyTable::VersionLines, versions.first().first().toLongLong() - 1, last, 0);
        for (qsizetype i = 0; i < lines.size(); i += copyBatchRows)
            target->writeRows(CopyTable::VersionLines, lines.mid(i, copyBatchRows));
        after = last;
    }
    if (const std::set<qint64> refused = target->refusedReceipts(); !refused.empty())
        refuseReceipts(refused, target->refusalDetail());
    // The settings go in the same transaction as the receipts; a NULL stays NULL.
    QList<CopyRow> settings;
    for (const CopyRow& row : source->readRows(CopyTable::Settings, firstKey, lastKey, 0))
        if (!storeChoiceRow(row.at(0).toInt()))
            settings << row;
    target->writeRows(CopyTable::Settings, settings);
    summary.settings = settings.size();
    target->commit();
    return summary;
}

} // namespace zelk::store
