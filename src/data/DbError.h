#pragma once

#include "data/Result.h"

#include <QString>
#include <stdexcept>
#include <type_traits>

// A failure of the database engine. Carries the engine's own message so that
// whoever finally shows it can tell the user what really went wrong.
class DbError : public std::runtime_error {
public:
    // A failure the program words itself, already for the user.
    explicit DbError(const QString &message, Failure::Kind kind = Failure::Kind::Failed)
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind)
    {
    }
    // A failure of the engine: its result code, the file it worked on and
    // its own words.
    DbError(int engineCode, const QString &file, const QString &engineText);
    // A failure the program words for the user, with the engine's own words
    // for the details (a server's message).
    static DbError withDetail(const QString &sentence, const QString &engineText, Failure::Kind kind)
    {
        DbError e(sentence, kind);
        e.m_engineText = engineText;
        return e;
    }
    static DbError fromFailure(const Failure &failure)
    {
        return withDetail(failure.message, failure.detail, failure.kind);
    }

    // The engine's words and the file, or the program's own message.
    QString message() const { return m_message; }
    int engineCode() const { return m_code; }
    // Another program held the file longer than the program waits.
    bool fileBusy() const;
    // The file's pages did not read as a database: another key, or no
    // database file at all.
    bool notADatabase() const;
    // Whether trying again may help: a busy file, or a server that cannot
    // be reached; everything else is Failed.
    Failure::Kind kind() const;
    // A server that refused the connection for want of a password.
    bool needsPassword() const { return m_needsPassword; }
    void setNeedsPassword() { m_needsPassword = true; }
    // The failure as the program's result type tells it.
    Failure failure() const { return {sentence(), detail(), kind()}; }
    QString file() const { return m_file; }
    // The same failure of the engine, on another file (the one the user
    // chose, rather than the one the engine was opened on).
    DbError onFile(const QString &file) const { return m_code ? DbError(m_code, file, m_engineText) : *this; }

    // What to tell the user: a sentence in the program's language saying
    // what happened to which file and what to do about it.
    QString sentence() const;
    // The engine's own words, for the details of a message ("" for the
    // program's own messages).
    QString detail() const { return m_engineText; }

private:
    QString m_message;
    int m_code = 0;
    QString m_file;
    QString m_engineText;
    Failure::Kind m_kind = Failure::Kind::Failed;
    bool m_needsPassword = false;
};

// Runs a piece of the data module and hands what it gives, or the engine's
// failure, across the module's edge as a Result.
template <class F> auto CatchDbError(F &&work) -> Result<std::invoke_result_t<F>>
{
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F>>) {
            work();
            return Result<void>::success();
        } else {
            return work();
        }
    } catch (const DbError &e) {
        return e.failure();
    }
}
