#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace zelk::ui {

// The program's message boxes. Every notice to the operator is a modal box with the caption
// "提示", an information icon and one OK button; errors use the error box, with an optional
// detail (an engine's own text) behind the box's details button; a question offers Yes and No.
//
// Tests install a handler that records the boxes instead of showing them and gives the answers,
// so that no test blocks on a modal dialog. It is the one hook for every box of the program.
class MessageBox {
public:
    enum class Kind { Information, Error, Question, SaveQuestion, QuestionWithCancel, Choice };
    // Yes is also 保存 and No 不保存 of a save question; Cancel only comes from a save question
    // or a question with Cancel.
    enum class Answer { Yes, No, Cancel };

    static void information(QWidget* parent, const QString& text);
    static void error(QWidget* parent, const QString& text, const QString& detail = {});
    // Returns whether the operator answered Yes; No is the default button unless yesIsDefault.
    static bool question(QWidget* parent, const QString& text, bool yesIsDefault = false);
    // One of one or two choices (the buttons' texts; the first is the default) or 取消: the
    // index chosen, or -1. A handler answers Yes for the first, No for the second.
    static int choose(QWidget* parent, const QString& text, const QStringList& choices);
    // A question with Yes, No (the default) and Cancel.
    static Answer askWithCancel(QWidget* parent, const QString& text);
    // Asks whether to save changes: 保存 (Yes, the default), 不保存 (No) or 取消 (Cancel).
    static Answer askToSave(QWidget* parent, const QString& text);

    // Returns the answer to a question (ignored for the other kinds).
    using Handler = std::function<Answer(Kind, const QString& text, const QString& detail)>;
    // Replaces showing the boxes; an empty handler restores the real boxes.
    static void setHandler(Handler handler);

    static QString noticeCaption() { return QStringLiteral("提示"); }
    static QString errorCaption() { return QStringLiteral("错误"); }
};

} // namespace zelk::ui
