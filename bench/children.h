#pragma once

#include <QString>
#include <QStringList>

// Measurements that need a process of their own: start-up (process start to the main window
// shown with the database open and the defaults loaded), peak memory (VmHWM) while the grid
// lists a whole result, and the export of every receipt to .xlsx (time and VmHWM). The benchmark
// runs itself again with "--child <mode> <db>".
namespace bench {

// The child's entry point; returns the exit code.
int runChild(int argc, char** argv);

// Runs the benchmark binary as a child and returns the numbers it printed on its last line.
// Throws when the child fails or takes longer than timeoutMs.
QList<double> spawnChild(const QString& mode, const QString& database,
                         const QStringList& extra = {}, int timeoutMs = 600000);

// VmHWM of this process, in MiB.
double peakMemoryMiB();

} // namespace bench
