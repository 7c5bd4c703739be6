#include "ui/messagebox.h"

#include <QMessageBox>

namespace zelk::ui {

namespace {

MessageBox::Handler& handler() {
    static MessageBox::Handler instance;
    return instance;
}

void show(QWidget* parent, MessageBox::Kind kind, const QString& text) {
    if (handler()) {
        handler()(kind, text);
        return;
    }
    if (kind == MessageBox::Kind::Information)
        QMessageBox::information(parent, MessageBox::noticeCaption(), text);
    else
        QMessageBox::critical(parent, MessageBox::errorCaption(), text);
}

} // namespace

void MessageBox::information(QWidget* parent, const QString& text) {
    show(parent, Kind::Information, text);
}

void MessageBox::error(QWidget* parent, const QString& text) {
    show(parent, Kind::Error, text);
}

void MessageBox::setHandler(Handler h) {
    handler() = std::move(h);
}

} // namespace zelk::ui
