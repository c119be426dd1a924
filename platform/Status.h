#pragma once
// The outcome of a platform operation: success, or a message that says what failed
// and, where the system said, its error number (so a caller can tell a full disk
// from a refused folder). Callers that follow the "ignore failures" rule of the
// window simply drop it.

#include <QString>
#include <utility>

namespace platform {

class [[nodiscard]] Status {
public:
    static Status success() { return Status(); }
    static Status failure(QString message, int error = 0) { return Status(std::move(message), error); }

    bool ok() const { return m_failed == false; }
    const QString& message() const { return m_message; }
    int error() const { return m_error; }  // errno, or 0 when unknown

private:
    Status() = default;
    Status(QString message, int error) : m_failed(true), m_message(std::move(message)), m_error(error) {}

    bool m_failed = false;
    QString m_message;
    int m_error = 0;
};

}  // namespace platform
