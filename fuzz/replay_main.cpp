// Feeds every file named on the command line, or found below a folder named there, to the fuzz
// target once, in name order. ctest runs this with the normal compiler, so the seed corpus and
// every input that once broke the code are checked on every test run without libFuzzer.
#include "fuzzcheck.h"

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                files.append(it.next());
        } else {
            files.append(arg);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.isEmpty()) {
        std::fprintf(stderr, "no input files: a replay without inputs checks nothing\n");
        return 2;
    }

    int fuzzArgc = 1;
    char** fuzzArgv = argv;
    LLVMFuzzerInitialize(&fuzzArgc, &fuzzArgv);
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 2;
        }
        const QByteArray data = file.readAll();
        // Printed before the run, so a crash names the input that caused it.
        std::printf("%s (%lld bytes)\n", qPrintable(path), static_cast<long long>(data.size()));
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.constData()),
                               static_cast<size_t>(data.size()));
    }
    std::printf("%lld inputs replayed\n", static_cast<long long>(files.size()));
    return 0;
}
