#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

// What went wrong, told to the user: a sentence in the program's language
// saying what happened and what to do, and the cause in the words of
// whatever failed (the database engine, the server, the system), for the
// details of the message.
struct Failure {
    enum class Kind {
        Failed,         // the operation cannot succeed as asked
        Busy,           // another program holds the library; trying again may work
        Disconnected,   // the server cannot be reached; trying again may work
    };
    QString message;
    QString detail;
    Kind kind = Kind::Failed;

    // Whether the user can sensibly be offered 重试.
    bool retryable() const { return kind != Kind::Failed; }
    // The same failure, its message led by what the caller was doing.
    Failure prefixed(const QString &lead) const { return {lead + message, detail, kind}; }
};

// The one way an expected failure crosses a module's edge: either the value
// or the failure. Exceptions stay inside a module.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}
    static Result fail(QString message, QString detail = {}, Failure::Kind kind = Failure::Kind::Failed)
    {
        return Result(Failure{std::move(message), std::move(detail), kind});
    }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    T &value() & { return std::get<0>(m_state); }
    const T &value() const & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T valueOr(T fallback) const { return ok() ? value() : std::move(fallback); }

    const Failure &failure() const { return std::get<1>(m_state); }
    // "" on success.
    QString message() const { return ok() ? QString() : failure().message; }
    QString detail() const { return ok() ? QString() : failure().detail; }

private:
    std::variant<T, Failure> m_state;
};

// An operation with nothing to hand back but, on success, possibly what to
// tell the user (which file was written, for example).
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}
    static Result success(QString note = {})
    {
        Result r;
        r.m_note = std::move(note);
        return r;
    }
    static Result fail(QString message, QString detail = {}, Failure::Kind kind = Failure::Kind::Failed)
    {
        return Result(Failure{std::move(message), std::move(detail), kind});
    }

    bool ok() const { return !m_failure.has_value(); }
    explicit operator bool() const { return ok(); }
    const Failure &failure() const { return *m_failure; }
    // On failure what went wrong; on success what to tell the user, if anything.
    QString message() const { return m_failure ? m_failure->message : m_note; }
    QString detail() const { return m_failure ? m_failure->detail : QString(); }
    // The same result, its message led by what the caller was doing.
    Result prefixed(const QString &lead) const
    {
        if (m_failure)
            return Result(m_failure->prefixed(lead));
        return success(lead + m_note);
    }

private:
    std::optional<Failure> m_failure;
    QString m_note;
};

using Outcome = Result<void>;
