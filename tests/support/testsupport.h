#pragma once

#include "ui/messagebox.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

namespace zelk::test {

// A fresh receipt database with the shipped schema and settings, in a temporary folder that
// disappears with the object.
class TempDatabase {
public:
    TempDatabase();
    QString path() const { return dir_.filePath(QStringLiteral("Data/zelk.mdb")); }
    QString folder() const { return dir_.path() + QLatin1Char('/'); }
    // "Data Source=...;Password=..." for this file.
    QString connectionString() const;
    // Runs statements with the sqlcipher C API on a separate connection (for arranging data
    // and for checking what was stored, independently of the code under test).
    void exec(const QString& sql) const;
    // The first column of every row of a query, as text (NULL as "<null>").
    QStringList column(const QString& sql) const;
    QString scalar(const QString& sql) const;

private:
    QTemporaryDir dir_;
};

// Records the message boxes shown while it lives, instead of showing them.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    struct Message {
        ui::MessageBox::Kind kind;
        QString text;
        QString detail;
    };
    // The answer every question gets.
    void setAnswer(bool yes) { answer_ = yes; }
    const QList<Message>& messages() const { return messages_; }
    QStringList texts() const;
    void clear() { messages_.clear(); }

private:
    QList<Message> messages_;
    bool answer_ = true;
};

} // namespace zelk::test
