#pragma once

#include <QCommandLineParser>
#include <QDate>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace zelk::tools {

// The database and template a command uses when no --database or --template names others,
// found by the program's own rule (data/filelocations.h): beside zelkctl when its folder holds
// Data/zelk.mdb or may be written, otherwise in the user's own folder $XDG_DATA_HOME/zelk/
// (~/.local/share/zelk/), as the installed program keeps it.
struct DefaultFiles {
    QString database;
    QString templateFile;
    QString userFolder; // the user's own folder when installed, else empty
};
DefaultFiles defaultFiles(const QString& applicationFilePath);

// The one argument parser of every zelkctl command: the words after the command's name, with
// the options the command names (each "--name VALUE" or a flag "--name"; "--" ends the options,
// so a text starting with "-" can be given). A command without options takes every word as it
// is, so "capitals -5" stays an amount.
class CommandArguments {
public:
    CommandArguments(std::initializer_list<const char*> valueOptions,
                     std::initializer_list<const char*> flags = {});

    // False with a Chinese reason when the words do not fit: an unknown option, an option
    // without its value (or with an empty one), or not `positionalCount` other words (then the
    // reason is `needed`); a negative count takes any number.
    bool parse(const QStringList& words, qsizetype positionalCount, const QString& needed,
               QString* problem);

    QString value(const QString& name, const QString& fallback = {}) const;
    bool isSet(const QString& name) const;
    QStringList positional() const { return parser_.positionalArguments(); }

private:
    QCommandLineParser parser_;
    QStringList valueOptions_;
    bool hasOptions_ = false;
};

// A value in a tab-separated output line: a backslash, tab, line break or carriage return inside
// it is written \\, \t, \n, \r.
QString escapedField(QString value);

// The date given as --from and --to (yyyy-mm-dd), a null date where the option is not given;
// false with a reason when one is given but is not a date.
bool dateRange(const CommandArguments& arguments, QDate* from, QDate* to, QString* problem);

} // namespace zelk::tools
