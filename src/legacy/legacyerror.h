#pragma once

#include <QString>
#include <stdexcept>

namespace zelk::legacy {

// A failure of the import: the old file cannot be read, or it lacks a table or column we need.
// The message is ready to be shown to the operator.
class LegacyError : public std::runtime_error {
public:
    explicit LegacyError(const QString& message, const QString& detail = {})
        : std::runtime_error(message.toStdString()), message_(message), detail_(detail) {}

    const QString& message() const noexcept { return message_; }
    // The engine's own text (libmdb's warnings), for a detail line; often empty.
    const QString& detail() const noexcept { return detail_; }

private:
    QString message_;
    QString detail_;
};

// The same receipts were imported into this database before; `message` names that import.
// Importing them again (LegacyImporter::setAgain) adds every receipt a second time.
class AlreadyImported : public LegacyError {
public:
    using LegacyError::LegacyError;
};

// The operator cancelled the import; nothing was written.
class ImportCancelled : public std::runtime_error {
public:
    ImportCancelled() : std::runtime_error("import cancelled") {}
};

} // namespace zelk::legacy
