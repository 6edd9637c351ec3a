#pragma once

#include "data/Result.h"

#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <utility>

class MessageService;

// No exception may travel through Qt: a throw out of a slot or an event
// handler unwinds through Qt's own frames, which are not made for it. So
// every handler runs guarded, and a failure it does not handle itself ends
// where it started: a busy library or a lost server is offered again with
// 重试/取消 and the program goes on; anything else takes the fatal path:
//
//   connect(cmdSave, &QPushButton::clicked, this, Guarded(this, &frmNewPro::saveDrawList));
//   connect(cmdSave, &QPushButton::clicked, this, Guarded([this] { save(); }));
//   void frmLogin::showEvent(QShowEvent *e) { ...; RunGuarded([this] { activate(); }); }

// The fatal path: the message in a critical box titled "Kestrune", then the
// program ends through its normal shutdown (every event loop is left, so
// destructors run and the data folder's lock goes). The caller returns at
// once: nothing more may run on the state the failure left.
void ReportFatal(const QString &message, const QString &detail = QString());
// Whether the fatal path was taken in this run; main() then ends with a
// failure status.
bool FatalReported();

// Replaces where ReportFatal shows its box and how it ends the program while
// the object lives. Tests put in their own message service and an ending that
// only counts; the program keeps the real ones.
class FatalPathOverride {
public:
    FatalPathOverride(std::shared_ptr<MessageService> messages, std::function<void()> endProgram);
    ~FatalPathOverride();
    FatalPathOverride(const FatalPathOverride &) = delete;
    FatalPathOverride &operator=(const FatalPathOverride &) = delete;

private:
    std::shared_ptr<MessageService> m_previousMessages;
    std::function<void()> m_previousEnd;
};

// What an exception that reached a handler means for the user: for a
// database failure a sentence saying what happened to which file and what to
// do, with the engine's words as detail and whether trying again may help;
// otherwise what the exception says.
Failure FailureOf(std::exception_ptr failure);

// Asks whether to try a failed operation again (重试) or leave it (取消);
// true for 重试. Uses the fatal path's message service.
bool OfferRetry(const Failure &failure);

// Runs body; a failure that trying again may mend is offered with 重试/取消
// (重试 runs body again from the start), any other goes to the fatal path.
// True when body completed.
template <typename F> bool RunGuarded(F &&body) noexcept
{
    for (;;) {
        try {
            body();
            return true;
        } catch (...) {
            const Failure failure = FailureOf(std::current_exception());
            if (failure.retryable()) {
                if (OfferRetry(failure))
                    continue;
                return false;
            }
            ReportFatal(failure.message, failure.detail);
            return false;
        }
    }
}

// The one way a handler meets a library that may come back: runs body; a
// failure that trying again may mend (a lost server, a library another user
// is writing) is offered with 重试/取消, 重试 running body again from the
// start. True when body completed; false when the user left it with 取消,
// and the caller then goes on with what it has, changing nothing. Any other
// failure goes on as thrown, to the handler's guard.
template <typename F> bool RetryRecoverable(F &&body)
{
    for (;;) {
        try {
            body();
            return true;
        } catch (...) {
            const Failure failure = FailureOf(std::current_exception());
            if (!failure.retryable())
                throw;
            if (!OfferRetry(failure))
                return false;
        }
    }
}

namespace guarded_detail {

template <typename Fn, typename... Args> auto Wrap(Fn fn)
{
    // The callable takes exactly the handler's parameters, so connect() sees
    // the same signature it would see for the handler itself.
    return [fn = std::move(fn)](Args... args) mutable { RunGuarded([&] { fn(std::forward<Args>(args)...); }); };
}

template <typename Fn, typename R, typename C, typename... Args> auto WrapCall(Fn fn, R (C::*)(Args...) const)
{
    return Wrap<Fn, Args...>(std::move(fn));
}

template <typename Fn, typename R, typename C, typename... Args> auto WrapCall(Fn fn, R (C::*)(Args...))
{
    return Wrap<Fn, Args...>(std::move(fn));
}

}   // namespace guarded_detail

// A lambda (with a fixed parameter list) as a guarded handler for connect().
template <typename Fn> auto Guarded(Fn fn) { return guarded_detail::WrapCall(std::move(fn), &Fn::operator()); }

// A member function of object as a guarded handler for connect(). Pass the
// same object as connect()'s context, so the connection ends with it.
template <typename T, typename R, typename C, typename... Args> auto Guarded(T *object, R (C::*handler)(Args...))
{
    return [object, handler](Args... args) { RunGuarded([&] { (object->*handler)(std::forward<Args>(args)...); }); };
}
