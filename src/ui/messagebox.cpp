#include "ui/messagebox.h"

#include <QMessageBox>
#include <QPushButton>

namespace zelk::ui {

namespace {

MessageBox::Handler& handler() {
    static MessageBox::Handler instance;
    return instance;
}

MessageBox::Answer show(QWidget* parent, MessageBox::Kind kind, const QString& text,
                        const QString& detail, bool yesIsDefault = false) {
    if (handler())
        return handler()(kind, text, detail);
    if (kind == MessageBox::Kind::SaveQuestion) {
        QMessageBox box(QMessageBox::Question, MessageBox::noticeCaption(), text,
                        QMessageBox::NoButton, parent);
        QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
        QPushButton* discard =
            box.addButton(QStringLiteral("不保存"), QMessageBox::DestructiveRole);
        box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        box.setDefaultButton(save);
        box.exec();
        if (box.clickedButton() == save)
            return MessageBox::Answer::Yes;
        return box.clickedButton() == discard ? MessageBox::Answer::No : MessageBox::Answer::Cancel;
    }
    const bool isError = kind == MessageBox::Kind::Error;
    QMessageBox box(kind == MessageBox::Kind::Information ? QMessageBox::Information
                    : isError                             ? QMessageBox::Critical
                                                          : QMessageBox::Question,
                    isError ? MessageBox::errorCaption() : MessageBox::noticeCaption(), text,
                    QMessageBox::NoButton, parent);
    const bool withCancel = kind == MessageBox::Kind::QuestionWithCancel;
    if (kind == MessageBox::Kind::Question || withCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No |
                               (withCancel ? QMessageBox::Cancel : QMessageBox::NoButton));
        box.setDefaultButton(yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setDetailedText(detail);
    const int clicked = box.exec();
    if (clicked == QMessageBox::Yes)
        return MessageBox::Answer::Yes;
    return clicked == QMessageBox::Cancel ? MessageBox::Answer::Cancel : MessageBox::Answer::No;
}

} // namespace

void MessageBox::information(QWidget* parent, const QString& text) {
    show(parent, Kind::Information, text, {});
}

void MessageBox::error(QWidget* parent, const QString& text, const QString& detail) {
    show(parent, Kind::Error, text, detail);
}

bool MessageBox::question(QWidget* parent, const QString& text, bool yesIsDefault) {
    return show(parent, Kind::Question, text, {}, yesIsDefault) == Answer::Yes;
}

int MessageBox::choose(QWidget* parent, const QString& text, const QStringList& choices) {
    if (handler()) {
        const Answer answer = handler()(Kind::Choice, text, choices.join(u'\n'));
        const int index = answer == Answer::Yes ? 0 : answer == Answer::No ? 1 : -1;
        return index < choices.size() ? index : -1;
    }
    QMessageBox box(QMessageBox::Warning, noticeCaption(), text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons.append(box.addButton(choice, QMessageBox::AcceptRole));
    box.setEscapeButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.value(0)));
    box.exec();
    return int(buttons.indexOf(box.clickedButton()));
}

MessageBox::Answer MessageBox::askWithCancel(QWidget* parent, const QString& text) {
    return show(parent, Kind::QuestionWithCancel, text, {});
}

MessageBox::Answer MessageBox::askToSave(QWidget* parent, const QString& text) {
    return show(parent, Kind::SaveQuestion, text, {});
}

void MessageBox::setHandler(Handler h) {
    handler() = std::move(h);
}

} // namespace zelk::ui
