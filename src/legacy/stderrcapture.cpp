#include "legacy/stderrcapture.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define lseek _lseek
#define read _read
#define write _write
#else
#include <unistd.h>
#endif

namespace zelk::legacy {

namespace {

// The terminal's standard error while a capture lives, and Qt's handler before it.
int terminal = -1;
QtMessageHandler previousHandler = nullptr;

// Qt's own messages (the window may run while the file is read) are not libmdb's: they go to
// the terminal as before instead of into the capture.
void toTerminal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    if (terminal >= 0) {
        // Nothing is left to tell a failed write to.
        [[maybe_unused]] const auto written =
            write(terminal, line.constData(), static_cast<unsigned>(line.size()));
    }
}

} // namespace

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
        return;
    }
    terminal = saved_;
    previousHandler = qInstallMessageHandler(toTerminal);
}

StderrCapture::~StderrCapture() {
    if (saved_ < 0)
        return;
    qInstallMessageHandler(previousHandler);
    terminal = -1;
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
