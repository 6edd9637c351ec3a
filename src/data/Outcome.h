#pragma once

#include <QString>
#include <utility>

// What an operation hands back when its caller is expected to deal with a
// failure: whether it worked, and the words for the user. On failure the
// message says what went wrong; on success it is what to tell the user, if
// anything (which file was written, for example).
//
// The program has two ways for a failure to travel, and only two: an
// Outcome for what the caller handles (a locked export file, a backup that
// cannot be written), and a DbError for a database failure that nobody
// handles, which the guarded slot turns into the fatal message.
struct [[nodiscard]] Outcome {
    bool ok = false;
    QString message;
    // On failure, the cause in the words of whatever failed (the database
    // engine, the system), for the details of the message; may be empty.
    QString detail;

    Outcome() = default;
    Outcome(bool ok, QString message, QString detail = {})
        : ok(ok), message(std::move(message)), detail(std::move(detail))
    {
    }

    static Outcome success(QString message = {}) { return {true, std::move(message)}; }
    static Outcome failure(QString message, QString detail = {})
    {
        return {false, std::move(message), std::move(detail)};
    }
    explicit operator bool() const { return ok; }
    // The same failure, its message led by what the caller was doing.
    Outcome prefixed(const QString &lead) const { return {ok, lead + message, detail}; }
};
