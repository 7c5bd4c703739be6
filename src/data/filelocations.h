#pragma once

#include <QString>

#include <functional>

namespace zelk::data {

// Where the running program keeps its files.
//
// Run from a program folder (the build tree, or any folder where it lies beside its Data/
// folder or may write), the program keeps the rule of programfolder.h: Data/zelk.mdb in the
// executable folder, the template and the help file beside the executable.
//
// An installed program (its folder holds no Data/zelk.mdb and cannot be written, as /usr/bin)
// keeps each user's data in that user's own folder <data home>/zelk/ ($XDG_DATA_HOME, or
// ~/.local/share when unset): Data/zelk.mdb and report/ with the template the user may edit. The
// shipped files lie in the installed folder <prefix>/share/zelk/ beside <prefix>/bin/: the
// pristine template with its background, copied to the user's folder on the first start, and
// help.chm, read from there.
struct FileLocations {
    QString dataFolder;     // holds Data/zelk.mdb; empty means the working folder
    QString templateFolder; // holds report/fp3.frf
    QString helpFile;
    QString userFolder;      // the user's own folder, or empty when running from a program folder
    QString installedFolder; // <prefix>/share/zelk/ of an installed program, else empty
};

// The locations for the executable at `executablePath`; `userDataHome` is the user's data home
// ($XDG_DATA_HOME or ~/.local/share). Looks at the file system (does Data/zelk.mdb exist, may
// the folder be written) and changes nothing.
FileLocations locateFiles(const QString& executablePath, const QString& userDataHome);

// The same with the data home of the running user.
FileLocations locateFiles(const QString& executablePath);

// For an installed program, makes what the user's folder lacks: Data/zelk.mdb (made by
// `createDatabase`, given the path; the store's store::prepareUserFolder passes its own) and
// the files of the installed report/ folder (the template and its background). An existing file
// is never touched, so this is safe on every start. Does nothing when running from a program
// folder. Throws DatabaseError with a message naming the folder that could not be made.
void prepareUserFolder(const FileLocations& files,
                       const std::function<void(const QString&)>& createDatabase);

} // namespace zelk::data
