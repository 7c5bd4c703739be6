#pragma once

#include "data/tdmtd.h"
#include "store/filestore.h"
#include "text/blanks.h"
#include "ui/filedialog.h"
#include "ui/messagebox.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <utility>

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
    QString setting(int setId) const;
    // Every row of the receipt tables, the settings and the id counters, each value quoted the
    // way SQLite quotes literals (so NULL, numbers and texts stay distinct).
    QStringList snapshot() const;
    // Copies the shipped template and its background into <folder>/report/.
    void installTemplate() const;

private:
    QTemporaryDir dir_;
};

// A TempDatabase opened by the program's data module, with the file store on that connection.
struct OpenDatabase : TempDatabase {
    OpenDatabase() { open(); }
    void open() {
        dm.Database3_ado.setConnectionString(connectionString());
        dm.Database3_ado.open();
    }
    // The store on the open connection (made at the first call).
    store::FileStore& store() {
        if (!store_)
            store_ = std::make_unique<store::FileStore>(dm.Database3_ado);
        return *store_;
    }
    data::Tdmtd dm;

private:
    std::unique_ptr<store::FileStore> store_;
};

// Records the message boxes shown while it lives, instead of showing them, and answers the
// questions: the next answers given, in turn, then the answer every question gets.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    struct Message {
        ui::MessageBox::Kind kind;
        QString text;
        QString detail;
    };
    using Answer = ui::MessageBox::Answer;
    // The answer every question gets (Yes unless told).
    void setAnswer(bool yes) { answer_ = yes ? Answer::Yes : Answer::No; }
    void setAnswer(Answer answer) { answer_ = answer; }
    // The answer of the next question not yet answered, before the one every question gets.
    void setNextAnswer(Answer answer) { next_.append(answer); }
    const QList<Message>& messages() const { return messages_; }
    QStringList texts() const;
    void clear() { messages_.clear(); }

private:
    QList<Message> messages_;
    QList<Answer> next_;
    Answer answer_ = Answer::Yes;
};

// For a test program that cannot run here: writes why and returns the exit code that ctest
// shows as "skipped" (SKIP_RETURN_CODE in tests/CMakeLists.txt). Call it from main, before
// anything is made, and return its value.
int skipProgram(const char* reason);

// Answers the file choosers shown while it lives with the names given, in turn (then Cancel),
// instead of showing them.
class FileNames {
public:
    FileNames();
    ~FileNames();
    void setNextName(const QString& name) { names_.append(name); }
    const QStringList& captions() const { return captions_; }

private:
    QStringList names_;
    QStringList captions_;
};

QString sourceFile(const QString& relative);
QString builtFile(const QString& relative);
QByteArray readFile(const QString& path);
// Writes into the existing file (same inode), as another program changing it in place would.
void writeFile(const QString& path, const QByteArray& content);
QByteArray fileHash(const QString& path);
// Bytes that are no file format, deterministically.
QByteArray garbage(qsizetype size);

// Texts that break careless quoting, escaping, trimming or searching: quotes, backslashes,
// LIKE wildcards, SQL, control characters, NUL, characters beyond the BMP, right-to-left
// text, blanks at both ends and 1 MB of text.
const QList<std::pair<const char*, QString>>& hostileTexts();

} // namespace zelk::test
