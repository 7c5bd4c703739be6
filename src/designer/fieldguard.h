#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace zelk::designer {

// Keeps a clerk from changing values by accident in the designer's fields: the mouse wheel over
// a field that does not have the focus scrolls the panel instead of changing the value, a
// click or Tab gives the focus (the wheel never does), and Ctrl+Z / Ctrl+Y (Ctrl+Shift+Z) undo
// and redo the template even while a field has the focus, instead of its typing.
class FieldGuard : public QObject {
    Q_OBJECT

public:
    FieldGuard(std::function<void()> undo, std::function<void()> redo, QObject* parent);
    // Guards every spin box, combo box and line edit under root (created by then).
    void guard(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> undo_;
    std::function<void()> redo_;
};

} // namespace zelk::designer
