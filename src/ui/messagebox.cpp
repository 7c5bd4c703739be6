#include "ui/messagebox.h"

#include <QMessageBox>

namespace zelk::ui {

namespace {

MessageBox::Handler& handler() {
    static MessageBox::Handler instance;
    return instance;
}

bool show(QWidget* parent, MessageBox::Kind kind, const QString& text, const QString& detail) {
    if (handler())
        return handler()(kind, text, detail);
    const bool isError = kind == MessageBox::Kind::Error;
    QMessageBox box(kind == MessageBox::Kind::Information ? QMessageBox::Information
                    : isError                             ? QMessageBox::Critical
                                                          : QMessageBox::Question,
                    isError ? MessageBox::errorCaption() : MessageBox::noticeCaption(), text,
                    QMessageBox::NoButton, parent);
    if (kind == MessageBox::Kind::Question) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setDetailedText(detail);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

void MessageBox::information(QWidget* parent, const QString& text) {
    show(parent, Kind::Information, text, {});
}

void MessageBox::error(QWidget* parent, const QString& text, const QString& detail) {
    show(parent, Kind::Error, text, detail);
}

bool MessageBox::question(QWidget* parent, const QString& text) {
    return show(parent, Kind::Question, text, {});
}

void MessageBox::setHandler(Handler h) {
    handler() = std::move(h);
}

} // namespace zelk::ui
