#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zelk::ui {

// The program's file choosers, for a file to read or to write. Tests install a handler that gives
// the names instead of showing the dialog, so that no test blocks on it; it is the one hook for
// every file chooser of the windows above the report layer.
class FileDialog {
public:
    // The file the operator chose, starting in or at `start`; empty when cancelled.
    static QString openFile(QWidget* parent, const QString& caption, const QString& start,
                            const QString& filter);
    // The file the operator chose to write, starting at `start`; empty when cancelled.
    static QString saveFile(QWidget* parent, const QString& caption, const QString& start,
                            const QString& filter);

    // Given the caption, returns the file name (empty means Cancel).
    using Handler = std::function<QString(const QString& caption)>;
    // Replaces showing the choosers; an empty handler restores the real ones.
    static void setHandler(Handler handler);
};

} // namespace zelk::ui
