#include "data/programfolder.h"

#include "data/connection.h"

#include <QStringList>

namespace zelk::data {

namespace {

qsizetype lastSeparator(const QString& path) {
    qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    slash = qMax(slash, path.lastIndexOf(QLatin1Char('\\')));
#endif
    return slash;
}

} // namespace

QString programFolder(const QString& executablePath) {
    return executablePath.left(lastSeparator(executablePath) + 1);
}

QString executableFolder(const QString& executablePath) {
    const QString fileName = executablePath.mid(lastSeparator(executablePath) + 1);
    static const QStringList ownNames = {
        QStringLiteral("ZELK.EXE"),
        QStringLiteral("zelk.exe"),
        QStringLiteral("ZELK"),
        QStringLiteral("zelk"),
    };
    return ownNames.contains(fileName) ? programFolder(executablePath) : QString();
}

QString databasePathFor(const QString& executableFolder) {
    return executableFolder.trimmed() + QStringLiteral("Data/zelk.mdb");
}

QString connectionStringFor(const QString& executableFolder) {
    return QStringLiteral("Data Source=") + databasePathFor(executableFolder) +
           QStringLiteral(";Password=") + QString::fromLatin1(databaseKey);
}

} // namespace zelk::data
