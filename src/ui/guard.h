#pragma once

#include <functional>

class QWidget;

namespace zelk::ui {

// Runs one operator command. A database error, a template error or any other failure that
// escapes it is shown in the error box with its text; what the command did before the failure
// stays done unless it used a transaction; a database error shows its sentence with the engine's
// text as the detail. While the command waits for another program's lock the busy cursor shows.
// Returns whether the command finished.
bool runGuarded(QWidget* parent, const std::function<void()>& command);

} // namespace zelk::ui
