#include "legacy/stderrcapture.h"

#include <QByteArray>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define lseek _lseek
#define read _read
#else
#include <unistd.h>
#endif

namespace zelk::legacy {

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    // An unnamed temporary file: removed by the system once closed.
    std::FILE* tmp = std::tmpfile();
    if (!tmp)
        return;
    file_ = dup(fileno(tmp));
    std::fclose(tmp);
    saved_ = dup(2);
    if (file_ < 0 || saved_ < 0 || dup2(file_, 2) < 0) {
        if (saved_ >= 0)
            close(saved_);
        if (file_ >= 0)
            close(file_);
        saved_ = file_ = -1;
    }
}

StderrCapture::~StderrCapture() {
    if (saved_ < 0)
        return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    close(file_);
}

QString StderrCapture::text() {
    if (file_ < 0)
        return {};
    std::fflush(stderr);
    QByteArray bytes;
    if (lseek(file_, 0, SEEK_SET) == 0) {
        char buffer[4096];
        for (;;) {
            const auto n = read(file_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            bytes.append(buffer, n);
        }
    }
    lseek(file_, 0, SEEK_END);
    return QString::fromLocal8Bit(bytes).trimmed();
}

} // namespace zelk::legacy
