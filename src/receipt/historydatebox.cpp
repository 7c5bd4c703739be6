#include "receipt/historydatebox.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLocale>

namespace zelk::receipt {

namespace {

// The system's short date format, with the year always in four digits so that a date typed or
// shown is never taken for another century.
QString shortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

} // namespace

HistoryDateBox::HistoryDateBox(const QString& name, QWidget* parent)
    : QWidget(parent), check_(new QCheckBox(this)), edit_(new QDateEdit(this)) {
    setObjectName(name + QLatin1String("Box"));
    check_->setObjectName(name + QLatin1String("Check"));
    edit_->setObjectName(name);
    edit_->setCalendarPopup(true);
    edit_->setDisplayFormat(shortDateFormat());
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
