// The one exception type of the book engine: a failure carrying the provider-style message text.
#pragma once

#include <QString>
#include <stdexcept>

namespace velkora::database {

// Every failure of the engine is reported with a message a user can read. The engine leaves the
// file and its own state as they were before the failed step.
class DatabaseError : public std::runtime_error
{
public:
    explicit DatabaseError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

} // namespace velkora::database
