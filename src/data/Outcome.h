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

    static Outcome success(QString message = {}) { return {true, std::move(message)}; }
    static Outcome failure(QString message) { return {false, std::move(message)}; }
    explicit operator bool() const { return ok; }
};
