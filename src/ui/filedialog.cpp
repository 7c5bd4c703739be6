#include "ui/filedialog.h"

#include <QFileDialog>

namespace zelk::ui {

namespace {

FileDialog::Handler& handler() {
    static FileDialog::Handler instance;
    return instance;
}

} // namespace

QString FileDialog::openFile(QWidget* parent, const QString& caption, const QString& start,
                             const QString& filter) {
    if (handler())
        return handler()(caption);
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QString FileDialog::saveFile(QWidget* parent, const QString& caption, const QString& start,
                             const QString& filter) {
    if (handler())
        return handler()(caption);
    return QFileDialog::getSaveFileName(parent, caption, start, filter);
}

void FileDialog::setHandler(Handler h) {
    handler() = std::move(h);
}

} // namespace zelk::ui
