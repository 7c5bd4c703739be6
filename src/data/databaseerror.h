#pragma once

#include <QString>
#include <stdexcept>

namespace zelk::data {

// The one exception type of the data layer. It carries the database engine's message (or our
// own, for problems found before the engine is asked), ready to be shown to the operator.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

} // namespace zelk::data
