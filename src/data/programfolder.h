#pragma once

#include <QString>

namespace zelk::data {

// Where the program finds its files. The database is looked for in the "executable folder",
// which is only known when the program runs under one of its own names (zelk, ZELK, and the
// .exe forms); any other name gives the empty folder, so Data/zelk.mdb is then opened relative
// to the working directory. The template and the help file are always looked for beside the
// executable, whatever its name.

// The folder of `executablePath` with its trailing separator when the file name is one of the
// program's own names (compared case-sensitively), otherwise the empty text.
QString executableFolder(const QString& executablePath);

// Everything up to and including the last separator of `executablePath`.
QString programFolder(const QString& executablePath);

// "<folder>Data/zelk.mdb", the folder trimmed of blanks.
QString databasePathFor(const QString& executableFolder);
// "Data Source=<folder>Data/zelk.mdb;Password=<key>", the folder trimmed of blanks.
QString connectionStringFor(const QString& executableFolder);

} // namespace zelk::data
