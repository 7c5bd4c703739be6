#include "designer/autosave.h"

#include "designer/templatedocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zelk::designer {

Autosave::Autosave(TemplateDocument* doc, QObject* parent) : QObject(parent), doc_(doc) {
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &Autosave::saveNow);
    timer_.start();
}

QString Autosave::pathFor(const QString& templatePath) {
    return templatePath + QStringLiteral(".autosave");
}

bool Autosave::saveNow() {
    if (!doc_->isModified())
        return false;
    const QByteArray content = doc_->toJson();
    if (content == written_)
        return false;
    // Written whole or not at all, so a crash while writing leaves the previous copy.
    QSaveFile file(pathFor(doc_->path()));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return false; // tried again at the next tick
    written_ = content;
    return true;
}

void Autosave::discard() {
    QFile::remove(pathFor(doc_->path()));
    written_.clear();
}

QByteArray Autosave::leftOver(const QString& templatePath, QDateTime* written) {
    QFile copy(pathFor(templatePath));
    if (!copy.open(QIODevice::ReadOnly))
        return {};
    const QByteArray content = copy.readAll();
    QFile current(templatePath);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == content)
        return {};
    if (written)
        *written = QFileInfo(copy).lastModified();
    return content;
}

} // namespace zelk::designer
