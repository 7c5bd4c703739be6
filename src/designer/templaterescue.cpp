#include "designer/templaterescue.h"

#include "report/reporterror.h"
#include "report/template.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zelk::designer {

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isTemplate(const QByteArray& content, const QString& path) {
    if (content.isEmpty())
        return false;
    try {
        report::parseTemplate(content, path);
        return true;
    } catch (const report::ReportError&) {
        return false;
    }
}

} // namespace

QByteArray shippedTemplate() {
    return readFile(QStringLiteral(":/designer/fp3.frf"));
}

QList<RescueSource> rescueSources(const QString& templatePath) {
    QList<RescueSource> sources;
    const QString backup = templatePath + QStringLiteral(".bak");
    const QByteArray saved = readFile(backup);
    if (isTemplate(saved, templatePath))
        sources.append(
            {QStringLiteral("上次保存前的模板（%1）").arg(QFileInfo(backup).fileName()), saved});
    const QByteArray shipped = shippedTemplate();
    if (isTemplate(shipped, templatePath))
        sources.append({QStringLiteral("程序自带的模板"), shipped});
    return sources;
}

QString replaceBrokenTemplate(const QString& templatePath, const QByteArray& content) {
    const QString shown = QDir::toNativeSeparators(templatePath);
    QString kept;
    if (QFileInfo::exists(templatePath)) {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        kept = templatePath + QStringLiteral(".broken-") + stamp;
        for (int n = 2; QFileInfo::exists(kept); ++n)
            kept = templatePath + QStringLiteral(".broken-%1-%2").arg(stamp).arg(n);
        if (!QFile::rename(templatePath, kept))
            throw report::TemplateError(
                QStringLiteral("无法把坏的模板 %1 改名保留（文件夹不能写入？），未做任何修改。")
                    .arg(shown));
    }
    QSaveFile file(templatePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        if (!kept.isEmpty())
            QFile::rename(kept, templatePath);
        throw report::TemplateError(
            QStringLiteral("模板 %1 无法写入：%2").arg(shown, file.errorString()));
    }
    return kept;
}

} // namespace zelk::designer
