#pragma once

#include <QString>
#include <stdexcept>

// A failure of the database engine. Carries the engine's own message so that
// whoever finally shows it can tell the user what really went wrong.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};
