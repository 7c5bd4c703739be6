#pragma once

#include <QFileInfo>
#include <QString>
#include <stdexcept>

namespace zelk::report {

// Every failure of the report engine is raised as one of these. The message is
// meant for the operator (Chinese, naming the file and the problem); what()
// gives the same text in UTF-8 for logs.
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    QString message() const { return message_; }

private:
    QString message_;
};

// Why a file could not be opened, in the operator's words, with the system's own (English)
// text only as a detail line.
inline QString fileProblem(const QString& path, const QString& systemText) {
    const QFileInfo info(path);
    const QString reason = !info.exists() ? QStringLiteral("文件不存在")
                           : info.isDir() ? QStringLiteral("这是一个文件夹，不是文件")
                           : !info.isReadable() ? QStringLiteral("没有读取权限")
                                                : QStringLiteral("系统拒绝打开");
    return systemText.isEmpty() ? reason : reason + QStringLiteral("\n详情：") + systemText;
}

// A template that cannot be read, is not valid, or refers to names the data
// does not have.
class TemplateError : public ReportError {
public:
    using ReportError::ReportError;
};

// A value the template puts where it cannot be printed: its box is taller or wider than the
// paper, or lies wholly off it. field is the column or variable it shows (empty for literal
// text); named() puts the operator's name of the field in front of the sentence.
class UnplaceableError : public TemplateError {
public:
    UnplaceableError(const QString& field, const QString& shownName, const QString& rest)
        : TemplateError(shownName + rest), field_(field), rest_(rest) {}
    QString field() const { return field_; }
    UnplaceableError named(const QString& name) const {
        return UnplaceableError(field_, QStringLiteral("%1（[%2]）").arg(name, field_), rest_);
    }

private:
    QString field_;
    QString rest_;
};

// A prepared report file that cannot be read or written.
class PreparedFileError : public ReportError {
public:
    using ReportError::ReportError;
};

} // namespace zelk::report
