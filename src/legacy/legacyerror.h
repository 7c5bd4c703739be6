#pragma once

#include <QString>
#include <stdexcept>

namespace zelk::legacy {

// A failure of the import: the old file cannot be read, or it lacks a table or column we need.
// The message is ready to be shown to the operator.
class LegacyError : public std::runtime_error {
public:
    explicit LegacyError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

// The operator cancelled the import; nothing was written.
class ImportCancelled : public std::runtime_error {
public:
    ImportCancelled() : std::runtime_error("import cancelled") {}
};

} // namespace zelk::legacy
