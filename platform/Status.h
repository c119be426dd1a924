#pragma once
// The outcome of a platform operation: success, or a message that says what failed.
// Callers that follow the "ignore failures" rule of the window simply drop it.

#include <QString>
#include <utility>

namespace platform {

class [[nodiscard]] Status {
public:
    static Status success() { return Status(); }
    static Status failure(QString message) { return Status(std::move(message)); }

    bool ok() const { return m_failed == false; }
    const QString& message() const { return m_message; }

private:
    Status() = default;
    explicit Status(QString message) : m_failed(true), m_message(std::move(message)) {}

    bool m_failed = false;
    QString m_message;
};

}  // namespace platform
