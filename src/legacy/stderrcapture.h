#pragma once

#include <QString>

namespace zelk::legacy {

// While it lives, what the process writes to its standard error (libmdb writes its warnings
// there: a page beyond the end of the file, a bad row location, a memo of the wrong length)
// goes into a temporary file instead of the terminal; text() gives it back, so that the import
// can show it as the detail of its own Chinese message.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Everything written so far, trimmed.
    QString text();

private:
    int saved_ = -1;
    int file_ = -1;
};

} // namespace zelk::legacy
