#include "ui/guard.h"

#include "data/databaseerror.h"
#include "store/store.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <exception>

namespace zelk::ui {

namespace {

// Whether this command set the busy cursor because it waited for another program's lock.
bool busyCursorShown = false;

// Restores the cursor when the command ends, however it ends.
struct BusyCursorEnd {
    ~BusyCursorEnd() {
        if (busyCursorShown) {
            busyCursorShown = false;
            QApplication::restoreOverrideCursor();
        }
    }
};

void showBusyCursor() {
    if (busyCursorShown || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    busyCursorShown = true;
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

} // namespace

bool runGuarded(QWidget* parent, const std::function<void()>& command) {
    static const bool hookInstalled = [] {
        store::setLockWaitHook(showBusyCursor);
        return true;
    }();
    Q_UNUSED(hookInstalled);
    try {
        const BusyCursorEnd end;
        command();
        return true;
    } catch (const data::DatabaseError& error) {
        MessageBox::error(parent, error.message(), error.detail());
    } catch (const std::exception& error) {
        MessageBox::error(parent, QString::fromUtf8(error.what()));
    }
    return false;
}

} // namespace zelk::ui
