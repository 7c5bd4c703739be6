#include "designer/fieldguard.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace zelk::designer {

namespace {

bool isUndo(const QKeyEvent* key) {
    return key->matches(QKeySequence::Undo);
}

bool isRedo(const QKeyEvent* key) {
    return key->matches(QKeySequence::Redo) ||
           key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y) ||
           key->keyCombination() ==
               QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
}

// The field itself for the line edit inside a spin box or combo box.
QWidget* fieldOf(QWidget* w) {
    if (auto* parent = w->parentWidget();
        parent && (qobject_cast<QAbstractSpinBox*>(parent) || qobject_cast<QComboBox*>(parent)))
        return parent;
    return w;
}

} // namespace

FieldGuard::FieldGuard(std::function<void()> undo, std::function<void()> redo, QObject* parent)
    : QObject(parent), undo_(std::move(undo)), redo_(std::move(redo)) {}

void FieldGuard::guard(QWidget* root) {
    QList<QWidget*> fields;
    for (QAbstractSpinBox* w : root->findChildren<QAbstractSpinBox*>())
        fields.append(w);
    for (QComboBox* w : root->findChildren<QComboBox*>())
        fields.append(w);
    for (QLineEdit* w : root->findChildren<QLineEdit*>())
        fields.append(w);
    for (QWidget* w : std::as_const(fields)) {
        if (!qobject_cast<QLineEdit*>(w))
            w->setFocusPolicy(Qt::StrongFocus); // the wheel gives no focus
        w->removeEventFilter(this);
        w->installEventFilter(this);
    }
}

bool FieldGuard::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    switch (event->type()) {
    case QEvent::Wheel: {
        QWidget* field = fieldOf(widget);
        if (field->hasFocus())
            return false;
        // Hand the turn to the scroll area around the field: the panel scrolls.
        for (QWidget* up = field->parentWidget(); up; up = up->parentWidget())
            if (auto* area = qobject_cast<QAbstractScrollArea*>(up)) {
                auto* wheel = static_cast<QWheelEvent*>(event);
                QWheelEvent moved(area->viewport()->mapFromGlobal(wheel->globalPosition()),
                                  wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(),
                                  wheel->buttons(), wheel->modifiers(), wheel->phase(),
                                  wheel->inverted());
                QApplication::sendEvent(area->viewport(), &moved);
                break;
            }
        return true;
    }
    case QEvent::ShortcutOverride: {
        // Taken here, so the key comes as a key press instead of the field's own undo.
        auto* key = static_cast<QKeyEvent*>(event);
        if (isUndo(key) || isRedo(key)) {
            event->accept();
            return true;
        }
        return false;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isUndo(key) || isRedo(key)) {
            (isUndo(key) ? undo_ : redo_)();
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace zelk::designer
