#include "store/printerprofiles.h"

#include "data/query.h"
#include "store/filestore.h"

namespace zelk::store {

void PrinterProfileStore::ensureRow(const QString& printerName) {
    data::Query query(file_.connection());
    query.add(QStringLiteral("insert or ignore into PrinterOffset (PrinterName) values (:name)"));
    query.bind(QStringLiteral("name"), printerName);
    query.execute();
}

qint64 PrinterProfileStore::integerColumn(const QString& printerName, const QString& column) const {
    data::Query query(file_.connection());
    // column is one of ours, never input.
    query.add(
        QStringLiteral("select coalesce(%1, 0) as v from PrinterOffset where PrinterName=:name")
            .arg(column));
    query.bind(QStringLiteral("name"), printerName);
    query.open();
    return query.eof() ? 0 : query.fieldAsInteger(QStringLiteral("v"));
}

std::optional<QPoint> PrinterProfileStore::offsetTenths(const QString& printerName) const {
    data::Query query(file_.connection());
    query.add(QStringLiteral("select OffsetX, OffsetY from PrinterOffset"
                             " where PrinterName=:name and OffsetX is not null"));
    query.bind(QStringLiteral("name"), printerName);
    query.open();
    if (query.eof())
        return std::nullopt;
    return QPoint(int(query.fieldAsInteger(QStringLiteral("OffsetX"))),
                  int(query.fieldAsInteger(QStringLiteral("OffsetY"))));
}

void PrinterProfileStore::setOffsetTenths(const QString& printerName, const QPoint& offset) {
    ensureRow(printerName);
    data::Query query(file_.connection());
    query.add(
        QStringLiteral("update PrinterOffset set OffsetX=:x, OffsetY=:y where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.bind(QStringLiteral("x"), qint64(offset.x()));
    query.bind(QStringLiteral("y"), qint64(offset.y()));
    query.execute();
}

qint64 PrinterProfileStore::feedCorrection(const QString& printerName) const {
    return integerColumn(printerName, QStringLiteral("FeedCorrection"));
}

qint64 PrinterProfileStore::feedSheets(const QString& printerName) const {
    return integerColumn(printerName, QStringLiteral("FeedSheets"));
}

qint64 PrinterProfileStore::feedCreep(const QString& printerName) const {
    return integerColumn(printerName, QStringLiteral("FeedCreep"));
}

void PrinterProfileStore::setFeed(const QString& printerName, qint64 perSheet, qint64 sheets,
                                  qint64 creep) {
    ensureRow(printerName);
    data::Query query(file_.connection());
    query.add(QStringLiteral("update PrinterOffset set FeedCorrection=:c, FeedSheets=:sheets,"
                             " FeedCreep=:creep where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.bind(QStringLiteral("c"), perSheet);
    query.bind(QStringLiteral("sheets"), sheets);
    query.bind(QStringLiteral("creep"), creep);
    query.execute();
}

qint64 PrinterProfileStore::sheetCount(const QString& printerName) const {
    return integerColumn(printerName, QStringLiteral("SheetCount"));
}

void PrinterProfileStore::addSheets(const QString& printerName, qint64 sheets) {
    ensureRow(printerName);
    data::Query query(file_.connection());
    query.add(QStringLiteral("update PrinterOffset set SheetCount=coalesce(SheetCount, 0)+:n"
                             " where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.bind(QStringLiteral("n"), sheets);
    query.execute();
}

void PrinterProfileStore::resetSheets(const QString& printerName) {
    data::Query query(file_.connection());
    query.add(QStringLiteral("update PrinterOffset set SheetCount=0 where PrinterName=:name"));
    query.bind(QStringLiteral("name"), printerName);
    query.execute();
}

QString PrinterProfileStore::rememberedPrinter(const QString& templateName) const {
    data::Query query(file_.connection());
    query.add(QStringLiteral("select PrinterName from PrinterChoice where TemplateName=:name"));
    query.bind(QStringLiteral("name"), templateName);
    query.open();
    return query.eof() ? QString() : query.fieldAsText(QStringLiteral("PrinterName"));
}

void PrinterProfileStore::rememberPrinter(const QString& templateName, const QString& printerName) {
    data::Query query(file_.connection());
    query.add(QStringLiteral("insert or replace into PrinterChoice (TemplateName, PrinterName)"
                             " values (:template, :printer)"));
    query.bind(QStringLiteral("template"), templateName);
    query.bind(QStringLiteral("printer"), printerName);
    query.execute();
}

} // namespace zelk::store
