#include "tools/commandline.h"

#include "data/filelocations.h"
#include "data/programfolder.h"

namespace zelk::tools {

DefaultFiles defaultFiles(const QString& applicationFilePath) {
    const data::FileLocations files = data::locateFiles(applicationFilePath);
    // From a program folder the files lie beside zelkctl whatever its name, as they do beside
    // the program.
    const QString folder =
        files.userFolder.isEmpty() ? data::programFolder(applicationFilePath) : files.userFolder;
    return {folder + QStringLiteral("Data/zelk.mdb"), folder + QStringLiteral("report/fp3.frf"),
            files.userFolder};
}

CommandArguments::CommandArguments(std::initializer_list<const char*> valueOptions,
                                   std::initializer_list<const char*> flags) {
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name : valueOptions) {
        valueOptions_.append(QString::fromLatin1(name));
        parser_.addOption(
            QCommandLineOption(valueOptions_.last(), QString(), QStringLiteral("VALUE")));
    }
    for (const char* name : flags)
        parser_.addOption(QCommandLineOption(QString::fromLatin1(name)));
    hasOptions_ = valueOptions.size() + flags.size() > 0;
}

bool CommandArguments::parse(const QStringList& words, qsizetype positionalCount,
                             const QString& needed, QString* problem) {
    QStringList arguments{QStringLiteral("zelkctl")};
    if (!hasOptions_)
        arguments.append(QStringLiteral("--"));
    arguments += words;
    if (!parser_.parse(arguments)) {
        if (!parser_.unknownOptionNames().isEmpty()) {
            const QString name = parser_.unknownOptionNames().first();
            *problem =
                QStringLiteral("未知选项 %1%2")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
        } else if (!words.isEmpty() &&
                   valueOptions_.contains(words.last().section(QLatin1Char('-'), -1))) {
            *problem = QStringLiteral("选项 %1 后缺少值").arg(words.last());
        } else {
            *problem = QStringLiteral("参数有误：%1").arg(parser_.errorText());
        }
        return false;
    }
    for (const QString& name : valueOptions_) {
        if (parser_.isSet(name) && parser_.value(name).isEmpty()) {
            *problem = QStringLiteral("选项 --%1 后缺少值").arg(name);
            return false;
        }
    }
    if (positionalCount >= 0 && parser_.positionalArguments().size() != positionalCount) {
        *problem = needed;
        return false;
    }
    return true;
}

QString CommandArguments::value(const QString& name, const QString& fallback) const {
    return parser_.isSet(name) ? parser_.value(name) : fallback;
}

bool CommandArguments::isSet(const QString& name) const {
    return parser_.isSet(name);
}

QString escapedField(QString value) {
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return value;
}

bool dateRange(const CommandArguments& arguments, QDate* from, QDate* to, QString* problem) {
    for (QDate* bound : {from, to}) {
        const QString name = bound == from ? QStringLiteral("from") : QStringLiteral("to");
        *bound = QDate();
        if (!arguments.isSet(name))
            continue;
        const QString value = arguments.value(name);
        *bound = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
        if (!bound->isValid()) {
            *problem = QStringLiteral("日期无效（应为 yyyy-mm-dd）：%1").arg(value);
            return false;
        }
    }
    return true;
}

} // namespace zelk::tools
