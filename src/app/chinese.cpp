#include "app/chinese.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zelk::app {

namespace {

// Texts of Qt 6 that its Chinese translation (qtbase_zh_CN) lacks: the file dialog's type
// column names folders through QAbstractFileIconProvider, a context the translation only knows
// by its Qt 5 name.
class MissingTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0 &&
            qstrcmp(context, "QFileSystemModel") != 0)
            return {};
        static const QHash<QByteArray, QString> texts = {
            {"Folder", QStringLiteral("文件夹")},   {"File Folder", QStringLiteral("文件夹")},
            {"Drive", QStringLiteral("驱动器")},    {"File", QStringLiteral("文件")},
            {"%1 File", QStringLiteral("%1 文件")}, {"Unknown", QStringLiteral("未知")},
        };
        return texts.value(QByteArray(source));
    }
};

} // namespace

bool setUpChinese() {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    // qtbase holds the widgets' texts; qt_zh_CN would add nothing the program shows.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    // Installed last, so asked first; it answers only the texts qtbase lacks.
    QCoreApplication::installTranslator(new MissingTexts(QCoreApplication::instance()));
    return true;
}

} // namespace zelk::app
