#pragma once

#include <QWidget>

class QCheckBox;
class QDateEdit;

namespace zelk::receipt {

// A date picker with a check box in front of it: the date only counts while the box is
// checked. Drop-down calendar, the short date format of the system.
class HistoryDateBox : public QWidget {
    Q_OBJECT
public:
    // The check box gets the object name `name` + "Check", the date picker `name`.
    explicit HistoryDateBox(const QString& name, QWidget* parent = nullptr);

    QDate date() const;
    void setDate(const QDate& date);
    bool isChecked() const;
    void setChecked(bool checked);
    // The date when the box is checked, otherwise an invalid date.
    QDate bound() const;

    QCheckBox* checkBox() const { return check_; }
    QDateEdit* dateEdit() const { return edit_; }

private:
    QCheckBox* check_;
    QDateEdit* edit_;
};

} // namespace zelk::receipt
