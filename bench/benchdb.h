#pragma once

#include <QDate>
#include <QString>

struct sqlite3;

// The generated receipt databases, cached between runs.
namespace bench {

struct BenchDatabase {
    QString path;
    qint64 receipts = 0;
    QDate today;                  // the issue date of the newest receipt (the day it was generated)
    double generatedSeconds = 0;  // 0 when taken from the cache
    double indexBuildSeconds = 0; // building the search index over the loaded receipts
    qint64 bytesWithoutIndex = 0; // the file's size before that build
    qint64 bytesWithIndex = 0;    // and after it
};

// The folder the databases are cached in: $ZELK_BENCH_CACHE, else ~/.cache/zelk-bench.
QString cacheFolder();

// receipts-N.mdb in the cache folder, generated when it is missing or when the schema, the
// default settings or the generator changed since it was made (a stamp file beside it says
// what it was made from). Generation bulk-loads the tables in one transaction with the
// column values ReceiptSaver writes for a new receipt; before it, a check saves a few
// receipts through ReceiptSaver and through the bulk loader into two scratch files and
// requires identical rows.
BenchDatabase ensureDatabase(qint64 receipts);

// Writes receipts [0, count) of a generator for `total` receipts into an open database.
void bulkInsert(sqlite3* db, qint64 count, qint64 total, const QDate& today);

} // namespace bench
