#include "designer/autosave.h"

#include "designer/templatedocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zelk::designer {

Autosave::Autosave(TemplateDocument* doc, QObject* parent) : QObject(parent), doc_(doc) {
    lock();
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &Autosave::saveNow);
    timer_.start();
}

QString Autosave::pathFor(const QString& templatePath) {
    return templatePath + QStringLiteral(".autosave");
}

QString Autosave::lockPathFor(const QString& templatePath) {
    return templatePath + QStringLiteral(".lock");
}

void Autosave::lock() {
    lockedPath_ = doc_->path();
    lock_ = std::make_unique<QLockFile>(lockPathFor(lockedPath_));
    // A lock left by a copy that died is stale and taken over; one that cannot be made (a
    // folder that cannot be written) tells of no other copy either.
    otherCopy_ = !lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError;
}

void Autosave::followTemplate() {
    if (doc_->path() == lockedPath_)
        return;
    discard();
    lock_.reset();
    lock();
}

bool Autosave::saveNow() {
    if (!doc_->isModified() || otherCopy_)
        return false;
    const QByteArray content = doc_->toJson();
    if (content == written_)
        return false;
    // Written whole or not at all, so a crash while writing leaves the previous copy.
    QSaveFile file(pathFor(lockedPath_));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        const QString message =
            QStringLiteral("自动保存失败：%1 无法写入（%2）。请尽快保存，或用“另存为…”存到别处。")
                .arg(QDir::toNativeSeparators(pathFor(lockedPath_)), file.errorString());
        if (message != error_) {
            error_ = message;
            emit failed(message);
        }
        return false; // tried again at the next tick
    }
    error_.clear();
    written_ = content;
    return true;
}

void Autosave::discard() {
    if (otherCopy_)
        return; // the other copy's, not ours
    QFile::remove(pathFor(lockedPath_));
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
