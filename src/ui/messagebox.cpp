#include "ui/messagebox.h"

#include <QMessageBox>
#include <QPushButton>

namespace zelk::ui {

namespace {

MessageBox::Handler& handler() {
    static MessageBox::Handler instance;
    return instance;
}

MessageBox::SaveHandler& saveHandler() {
    static MessageBox::SaveHandler instance;
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

MessageBox::SaveAnswer MessageBox::askToSave(QWidget* parent, const QString& text) {
    if (saveHandler())
        return saveHandler()(text);
    if (handler())
        return handler()(Kind::Question, text, {}) ? SaveAnswer::Save : SaveAnswer::Discard;
    QMessageBox box(QMessageBox::Question, noticeCaption(), text, QMessageBox::NoButton, parent);
    QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("不保存"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveAnswer::Save;
    if (box.clickedButton() == discard)
        return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

void MessageBox::setSaveHandler(SaveHandler h) {
    saveHandler() = std::move(h);
}

void MessageBox::setHandler(Handler h) {
    handler() = std::move(h);
}

} // namespace zelk::ui
