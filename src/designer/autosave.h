#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace zelk::designer {

class TemplateDocument;

// Keeps a copy of the unsaved template beside it (<template>.autosave), written every minute
// while there are changes it does not hold yet, so a designer that dies (a crash, a power cut)
// loses at most a minute of work. Saving the template or closing the designer without saving
// removes the copy; a copy that is still there when the designer opens again was left by one
// that did not close, and is offered back.
//
// A lock file beside the template (<template>.lock) says which copy of the program is editing
// it; a second copy that opens the same template while the first is alive neither writes nor
// removes the copy (it is the first one's) and is not offered it.
class Autosave : public QObject {
    Q_OBJECT

public:
    explicit Autosave(TemplateDocument* doc, QObject* parent = nullptr);

    static QString pathFor(const QString& templatePath);
    static QString lockPathFor(const QString& templatePath);
    // Another live copy of the program is editing this template.
    bool otherCopyEditing() const { return otherCopy_; }
    // The template was saved under another name: the copy and the lock follow it.
    void followTemplate();
    // Why the last write failed, empty when it worked.
    QString error() const { return error_; }
    static constexpr int kIntervalMs = 60 * 1000;
    void setInterval(int ms) { timer_.setInterval(ms); }

    // Writes the copy when the document has changes the copy does not hold; true when written.
    // A failed write is said by failed() (once per reason) and tried again at the next tick.
    bool saveNow();
    // Removes the copy (after a save, or when the clerk drops the changes).
    void discard();

    // A copy left beside the template that differs from it, with the time it was written;
    // empty when there is none.
    static QByteArray leftOver(const QString& templatePath, QDateTime* written);

signals:
    void failed(const QString& message);

private:
    void lock();

    TemplateDocument* doc_;
    std::unique_ptr<QLockFile> lock_;
    QString lockedPath_;
    bool otherCopy_ = false;
    QString error_;
    QTimer timer_;
    QByteArray written_; // what the copy holds
};

} // namespace zelk::designer
