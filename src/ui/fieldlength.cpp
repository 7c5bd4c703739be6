#include "ui/fieldlength.h"

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <limits>

namespace zelk::ui {

void removeLengthLimits(QWidget* root) {
    for (QLineEdit* field : root->findChildren<QLineEdit*>())
        // A date or number box's own line edit holds the box's short text only.
        if (field->inputMask().isEmpty() && !qobject_cast<QAbstractSpinBox*>(field->parent()))
            field->setMaxLength(std::numeric_limits<int>::max());
}

} // namespace zelk::ui
