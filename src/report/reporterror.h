#pragma once

#include <QString>
#include <stdexcept>

namespace report {

// Every failure of the report engine is raised as one of these. The message is
// meant for the operator (Chinese, naming the file and the problem); what()
// gives the same text in UTF-8 for logs.
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
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

} // namespace report
