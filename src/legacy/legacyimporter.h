#pragma once

#include "legacy/importsummary.h"
#include "legacy/legacyfile.h"

namespace zelk::store {
class FileStore;
}

namespace zelk::legacy {

// Brings the receipts, lines and (when asked) settings 27-30 of an old program's Access file
// into the local file, in one transaction (store::FileImport): any failure or a cancel leaves the
// file as it was.
//
// Ids: into a file without receipts and lines, receipts and lines keep their kpid and fpmxid
// (the counters then continue above the largest). Otherwise the receipts get new ids after
// ours, in their old order, each receipt's lines following it.
//
// Values come over as stored; NULL becomes empty text. Lines whose receipt does not exist are
// skipped. The summary lists every row skipped or changed, kpdate values that are not eight
// digits and totals that disagree with the lines (both kept as stored).
//
// Each import records a hash of the receipts and lines it read, with the time and the file's
// name, in the table LegacyImport; an import of the same receipts again is refused
// (AlreadyImported) unless setAgain.
class LegacyImporter {
public:
    explicit LegacyImporter(store::FileStore& store) : store_(store) {}

    void setImportSettings(bool on) { importSettings_ = on; }
    // Imports receipts this database already took from the same data once more.
    void setAgain(bool on) { again_ = on; }

    // Reads `path` (LegacyError) and writes it (data::DatabaseError); ImportCancelled when
    // `progress` returns false. Progress runs over reading and writing together.
    ImportSummary run(const QString& path, const Progress& progress = {});

    // Writes data already read; `source` names it in the record of the import.
    ImportSummary write(const LegacyData& data, const Progress& progress = {},
                        const QString& source = {});

private:
    store::FileStore& store_;
    bool importSettings_ = false;
    bool again_ = false;
};

} // namespace zelk::legacy
