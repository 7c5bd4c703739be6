#include "receipt/historydatebox.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

namespace zelk::receipt {

HistoryDateBox::HistoryDateBox(const QString& name, QWidget* parent)
    : QWidget(parent), check_(new QCheckBox(this)), edit_(new QDateEdit(this)) {
    setObjectName(name + QLatin1String("Box"));
    check_->setObjectName(name + QLatin1String("Check"));
    edit_->setObjectName(name);
    edit_->setCalendarPopup(true);
    // Every date the operator sees is written year-month-day, as on the entry page.
    edit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit_->setDate(QDate::currentDate());
    check_->setChecked(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(check_);
    layout->addWidget(edit_);

    // An unchecked date does not count, so it is shown greyed out.
    connect(check_, &QCheckBox::toggled, edit_, &QWidget::setEnabled);
}

QDate HistoryDateBox::date() const {
    return edit_->date();
}

void HistoryDateBox::setDate(const QDate& date) {
    edit_->setDate(date);
}

bool HistoryDateBox::isChecked() const {
    return check_->isChecked();
}

void HistoryDateBox::setChecked(bool checked) {
    check_->setChecked(checked);
}

QDate HistoryDateBox::bound() const {
    return isChecked() ? date() : QDate();
}

} // namespace zelk::receipt
