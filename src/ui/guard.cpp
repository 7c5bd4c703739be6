#include "ui/guard.h"

#include "data/databaseerror.h"
#include "ui/messagebox.h"

#include <exception>

namespace zelk::ui {

bool runGuarded(QWidget* parent, const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const data::DatabaseError& error) {
        MessageBox::error(parent, error.message());
    } catch (const std::exception& error) {
        MessageBox::error(parent, QString::fromUtf8(error.what()));
    }
    return false;
}

} // namespace zelk::ui
