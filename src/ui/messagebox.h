#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zelk::ui {

// The program's message boxes. Every notice to the operator is a modal box with the caption
// "提示", an information icon and one OK button; errors use the error box.
//
// Tests install a handler that records the boxes instead of showing them, so that no test
// blocks on a modal dialog.
class MessageBox {
public:
    enum class Kind { Information, Error };

    static void information(QWidget* parent, const QString& text);
    static void error(QWidget* parent, const QString& text);

    using Handler = std::function<void(Kind, const QString& text)>;
    // Replaces showing the boxes; an empty handler restores the real boxes.
    static void setHandler(Handler handler);

    static QString noticeCaption() { return QStringLiteral("提示"); }
    static QString errorCaption() { return QStringLiteral("错误"); }
};

} // namespace zelk::ui
