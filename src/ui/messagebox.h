#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zelk::ui {

// The program's message boxes. Every notice to the operator is a modal box with the caption
// "提示", an information icon and one OK button; errors use the error box, with an optional
// detail (an engine's own text) behind the box's details button; a question offers Yes and No.
//
// Tests install a handler that records the boxes instead of showing them, so that no test
// blocks on a modal dialog.
class MessageBox {
public:
    enum class Kind { Information, Error, Question };

    static void information(QWidget* parent, const QString& text);
    static void error(QWidget* parent, const QString& text, const QString& detail = {});
    // Returns whether the operator answered Yes.
    static bool question(QWidget* parent, const QString& text);

    // The answers to "save the changes first?" (保存 / 不保存 / 取消).
    enum class SaveAnswer { Save, Discard, Cancel };
    static SaveAnswer askToSave(QWidget* parent, const QString& text);

    // Returns the answer to a question (ignored for the other kinds).
    using Handler = std::function<bool(Kind, const QString& text, const QString& detail)>;
    // Replaces showing the boxes; an empty handler restores the real boxes.
    static void setHandler(Handler handler);
    // Answers askToSave instead of showing it; without one, a set Handler answers it as a
    // question (Yes: save, No: don't save).
    using SaveHandler = std::function<SaveAnswer(const QString& text)>;
    static void setSaveHandler(SaveHandler handler);

    static QString noticeCaption() { return QStringLiteral("提示"); }
    static QString errorCaption() { return QStringLiteral("错误"); }
};

} // namespace zelk::ui
