#pragma once

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

// A template that cannot be read, is not valid, or refers to names the data
// does not have.
class TemplateError : public ReportError {
public:
    using ReportError::ReportError;
};

// A prepared report file that cannot be read or written.
class PreparedFileError : public ReportError {
public:
    using ReportError::ReportError;
};

} // namespace zelk::report
