#pragma once

#include "benchdb.h"
#include "measure.h"

#include <QList>

// Raw-SQL prototypes of faster history searches that find exactly what the program's search
// finds, timed on a copy of the generated database that carries the extra structures.
namespace bench {

struct PrototypeFigure {
    qint64 size = 0;
    QString name;
    Samples samples;
    int rows = 0;
    QString note;
};

QList<PrototypeFigure> runPrototypes(const BenchDatabase& db);
// HistoryModel's walk rebuilt on the bare C API, to show what its batching and its row
// packing cost.
QList<PrototypeFigure> runModelPrototypes(const BenchDatabase& db);
// Saves of a new receipt under other journal modes (on the prototype copy).
QList<PrototypeFigure> runSavePrototypes(const BenchDatabase& db);
void printPrototypes(const QList<PrototypeFigure>& figures);

} // namespace bench
