#include "store/historysearch.h"
#include "store/receiptcolumns.h"

#include "data/databaseerror.h"
#include "data/query.h"
#include "store/searchtokens.h"
#include "text/blanks.h"

namespace zelk::store {

QString searchableDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyyMMdd"));
}

const char* const historyFields[historyColumnCount] = {
    gridColumn(0).name, gridColumn(1).name, gridColumn(2).name, gridColumn(3).name,
    gridColumn(4).name, gridColumn(5).name, gridColumn(6).name, gridColumn(7).name};

QString historyNeedle(const QString& text) {
    QString needle = text::trimBlanks(text);
    for (QChar& c : needle)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return needle;
}

QString historyLikePattern(const QString& text) {
    const QString trimmed = text::trimBlanks(text);
    QString pattern;
    pattern.reserve(trimmed.size() + 2);
    pattern += QLatin1Char('%');
    for (const QChar c : trimmed) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    pattern += QLatin1Char('%');
    return pattern;
}

bool historyUsesDateOrder(const HistoryCriteria& criteria) {
    return criteria.from.isValid() || criteria.to.isValid();
}

QByteArray historyIndexMatch(const HistoryCriteria& criteria) {
    if (historyUsesDateOrder(criteria))
        return {};
    return store::searchtokens::matchExpression(text::trimBlanks(criteria.text).toUtf8());
}

void prepareHistorySearch(data::Query& query, const HistoryCriteria& criteria,
                          const HistoryPosition* after, int limit, const QByteArray& indexMatch,
                          qint64 uptoKpid) {
    const bool indexed = !indexMatch.isEmpty() && !historyUsesDateOrder(criteria);
    query.close();
    query.clear();
    // Only the shown columns are read; the remarks are cut to what one grid line can show.
    query.add(QStringLiteral("select kpid,cast(kpdate as text) as kpdatetext,typeof(kpdate) as "
                             "kptype,coalesce(fphm,'') as fphm,coalesce(kpdate2,'') as "
                             "kpdate2,coalesce(jdhm,'') as jdhm,coalesce(jym,'') as jym,"
                             "coalesce(fkfmc,'') as fkfmc,coalesce(jexx,'') as jexx,"
                             "coalesce(kpr,'') as kpr,substr(coalesce(bz2,''),1,%1) as bz2")
                  .arg(historyRemarksPreview));
    if (indexed) {
        // FTS4 hands out its candidates in docid order, reading them as it goes, so the first
        // rows come without reading every candidate.
        query.add(QStringLiteral(" from fpsearch cross join fpmain on fpmain.kpid=fpsearch.docid"
                                 " where fpsearch match :match and"));
        query.bind(QStringLiteral("match"), QString::fromUtf8(indexMatch));
    } else {
        query.add(QStringLiteral(" from fpmain where"));
    }
    // The searched columns joined without separators, so a match may run across a column end;
    // coalesce keeps a NULL column (in data we did not write) from hiding the whole row.
    query.add(u' ' + searchedColumnsJoined() + QStringLiteral(" like :pattern escape '\\'"));
    const QString pattern = historyLikePattern(criteria.text);
    // SQLite refuses LIKE patterns longer than this with a message the operator cannot act on.
    constexpr qsizetype maxPatternBytes = 50000;
    if (pattern.toUtf8().size() > maxPatternBytes)
        throw data::DatabaseError(QStringLiteral("票据信息太长，请缩短后再查询。"));
    query.bind(QStringLiteral("pattern"), pattern);
    // Inclusive bounds on the eight-digit issue date, compared as numbers (kpdate index).
    const bool dateOrder = historyUsesDateOrder(criteria);
    // A later batch starts after the last row read, which already lies at or after the start
    // date; leaving the start bound out lets that position alone pick where the index scan
    // begins, instead of scanning again from the start date.
    if (criteria.from.isValid() && !(after && dateOrder)) {
        query.add(QStringLiteral(" and kpdate>=:datefrom"));
        query.bind(QStringLiteral("datefrom"), searchableDate(criteria.from).toLongLong());
    }
    if (criteria.to.isValid()) {
        query.add(QStringLiteral(" and kpdate<=:dateto"));
        query.bind(QStringLiteral("dateto"), searchableDate(criteria.to).toLongLong());
    }
    if (after) {
        if (dateOrder) {
            // The stored value goes back with its own storage class, so that the comparison
            // orders it exactly as the index does.
            query.add(QStringLiteral(
                " and (kpdate,kpid)>(case :aftertype when 'integer' then cast(:afterdate as "
                "integer) when 'real' then cast(:afterdate as real) else :afterdate end,"
                ":afterid)"));
            query.bind(QStringLiteral("aftertype"), after->kpdateType);
            query.bind(QStringLiteral("afterdate"), after->kpdate);
        } else {
            query.add(indexed ? QStringLiteral(" and fpsearch.docid>:afterid")
                              : QStringLiteral(" and kpid>:afterid"));
        }
        query.bind(QStringLiteral("afterid"), after->kpid);
    }
    if (uptoKpid > 0 && !dateOrder) {
        query.add(QStringLiteral(" and kpid<=:upto"));
        query.bind(QStringLiteral("upto"), uptoKpid);
    }
    query.add(dateOrder ? QStringLiteral(" order by kpdate,kpid")
              : indexed ? QStringLiteral(" order by fpsearch.docid")
                        : QStringLiteral(" order by kpid"));
    query.add(QStringLiteral(" limit :limit"));
    query.bind(QStringLiteral("limit"), qint64(limit));
}

} // namespace zelk::store
