#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Shared by the fuzz targets and their replay programs.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace zelk::fuzz {

// A broken invariant ends the run at once: libFuzzer then keeps the input as a crasher, and the
// replay program fails with the message.
[[noreturn]] inline void fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool condition, const char* what, const QString& detail = QString()) {
    if (!condition)
        fail(what, detail);
}

} // namespace zelk::fuzz
