#include "app/enterkeynavigator.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QWidget>

namespace zelk::app {

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

EnterKeyNavigator::EnterKeyNavigator(QWidget* window, std::function<void()> moveToNextControl)
    : QObject(window), window_(window), moveToNextControl_(std::move(moveToNextControl)) {
    qApp->installEventFilter(this);
}

EnterKeyNavigator::~EnterKeyNavigator() {
    qApp->removeEventFilter(this);
}

bool EnterKeyNavigator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !window_)
        return false;
    if (!isEnterKey(static_cast<QKeyEvent*>(event)->key()))
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // The menu bar keeps Enter for opening its menus.
    if (!widget || widget->window() != window_ || qobject_cast<QMenuBar*>(widget))
        return false;
    // A push button is pressed; a check box moves on like a field.
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->click();
        return true;
    }
    // Posted, so the focus moves after the control is done with the key event.
    QMetaObject::invokeMethod(window_, moveToNextControl_, Qt::QueuedConnection);
    return true;
}

} // namespace zelk::app
