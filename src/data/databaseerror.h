#pragma once

#include <QString>
#include <stdexcept>

struct sqlite3;

namespace zelk::data {

// The one exception type of the data layer. message() is a Chinese sentence for the operator:
// what happened and what to do. detail() keeps the database engine's own text (English), shown
// only as a detail line; code() is the engine's primary result code (0 for problems we found
// before asking the engine).
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& message, const QString& detail = {}, int code = 0)
        : std::runtime_error(
              (detail.isEmpty() ? message : message + QLatin1Char('\n') + detail).toStdString()),
          message_(message), detail_(detail), code_(code) {}

    const QString& message() const noexcept { return message_; }
    const QString& detail() const noexcept { return detail_; }
    int code() const noexcept { return code_; }

private:
    QString message_;
    QString detail_;
    int code_;
};

// The operator's sentence for an engine result code on the file at `path` (may be empty).
QString failureSentence(int code, const QString& path);

// The error for a failed engine call on `db`: the sentence for its result code, the engine's
// message as the detail. The sentence names `path`, or else the file `db` has open.
DatabaseError engineError(sqlite3* db, int rc, const QString& path = {});

} // namespace zelk::data
