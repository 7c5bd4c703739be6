#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace zelk::app {

// The main window's key preview. It sees every key press meant for a control of `window`
// before the control does:
// - Enter (Return or the keypad's Enter, whatever modifier keys are held) on a push button
//   presses that button;
// - Enter anywhere else is taken away from the control, and `moveToNextControl` runs once the
//   key event has been handled completely (it is posted, not called);
// - every other key, and every key meant for another window (dialogs, drop-down lists, the
//   calendar pop-up), passes unchanged.
class EnterKeyNavigator : public QObject {
    Q_OBJECT
public:
    EnterKeyNavigator(QWidget* window, std::function<void()> moveToNextControl);
    ~EnterKeyNavigator() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    std::function<void()> moveToNextControl_;
};

bool isEnterKey(int key);

} // namespace zelk::app
