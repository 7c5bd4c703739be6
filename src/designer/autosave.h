#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

namespace zelk::designer {

class TemplateDocument;

// Keeps a copy of the unsaved template beside it (<template>.autosave), written every minute
// while there are changes it does not hold yet, so a designer that dies (a crash, a power cut)
// loses at most a minute of work. Saving the template or closing the designer without saving
// removes the copy; a copy that is still there when the designer opens again was left by one
// that did not close, and is offered back.
class Autosave : public QObject {
    Q_OBJECT

public:
    explicit Autosave(TemplateDocument* doc, QObject* parent = nullptr);

    static QString pathFor(const QString& templatePath);
    static constexpr int kIntervalMs = 60 * 1000;
    void setInterval(int ms) { timer_.setInterval(ms); }

    // Writes the copy when the document has changes the copy does not hold; true when written.
    bool saveNow();
    // Removes the copy (after a save, or when the clerk drops the changes).
    void discard();

    // A copy left beside the template that differs from it, with the time it was written;
    // empty when there is none.
    static QByteArray leftOver(const QString& templatePath, QDateTime* written);

private:
    TemplateDocument* doc_;
    QTimer timer_;
    QByteArray written_; // what the copy holds
};

} // namespace zelk::designer
