// Helper of test_crash: opens the database of the folder given and saves receipts in a loop
// through ReceiptSaver, forever, until it is killed. After save() has returned it prints
// "saved <id> <payer>" and flushes, so every printed receipt was committed. Every third receipt
// is rewritten right after its insert (version 2), so kills also land inside rewrites.
//
//   robust_crashsaver <database folder> <run number>
#include "crashreceipt.h"

#include "data/databaseerror.h"
#include "data/programfolder.h"
#include "data/tdmtd.h"
#include "receipt/receiptsaver.h"
#include "store/filestore.h"

#include <cstdio>
#include <cstdlib>

using namespace zelk;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: robust_crashsaver <database folder> <run number>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int run = std::atoi(argv[2]);
    try {
        data::Tdmtd dm;
        dm.Database3_ado.setConnectionString(data::connectionStringFor(folder));
        dm.Database3_ado.open();
        store::FileStore file(dm.Database3_ado);
        receipt::ReceiptSaver saver(file);
        std::printf("ready\n");
        std::fflush(stdout);
        for (int number = 1;; ++number) {
            robust::CrashTag tag{run, number, 1};
            receipt::ReceiptEntry entry = robust::crashReceipt(tag);
            const QString id = saver.save(entry);
            std::printf("saved %s %s\n", id.toUtf8().constData(),
                        entry.payerName.toUtf8().constData());
            std::fflush(stdout);
            if (number % 3 == 0) {
                tag.version = 2;
                entry = robust::crashReceipt(tag);
                entry.receiptId = id;
                saver.save(entry);
                std::printf("saved %s %s\n", id.toUtf8().constData(),
                            entry.payerName.toUtf8().constData());
                std::fflush(stdout);
            }
        }
    } catch (const data::DatabaseError& error) {
        std::fprintf(stderr, "%s\n", error.message().toUtf8().constData());
        return 1;
    }
}
