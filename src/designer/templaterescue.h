#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// When the template file cannot be read as a template: what the designer can start from
// instead, and putting that in place while the broken file is kept for a look later.
namespace zelk::designer {

struct RescueSource {
    QString caption; // what the clerk is offered, e.g. "上次保存前的模板（fp3.frf.bak）"
    QByteArray content;
};

// The readable templates to start from, in the order offered: the copy kept at the last save
// (<template>.bak), then the template shipped with the program.
QList<RescueSource> rescueSources(const QString& templatePath);

// The template shipped with the program (built in).
QByteArray shippedTemplate();

// Moves the broken file to <template>.broken-<yyyyMMdd-HHmmss> (a name not yet taken, so no
// kept file is ever overwritten) and writes content in its place. Returns the kept file's path
// (empty when there was no file). Throws report::TemplateError, having changed nothing, when
// the folder cannot be written.
QString replaceBrokenTemplate(const QString& templatePath, const QByteArray& content);

} // namespace zelk::designer
