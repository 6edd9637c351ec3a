#include "ui/Guarded.h"

#include "data/DbError.h"
#include "ui/Services.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdlib>

namespace {

struct FatalPath {
    std::shared_ptr<MessageService> messages;   // null: a plain message box
    std::function<void()> endProgram;           // empty: leave the event loops
    bool reported = false;
};

FatalPath &CurrentFatalPath()
{
    static FatalPath path;
    return path;
}

}   // namespace

void ReportFatal(const QString &message, const QString &detail)
{
    // Whatever goes wrong while reporting, the program must still end.
    const FatalPath &path = CurrentFatalPath();
    try {
        if (path.messages) {
            path.messages->critical(message, kAppTitle, detail);
        } else {
            QMessageBox box(QMessageBox::Critical, kAppTitle, message, QMessageBox::Ok);
            if (!detail.isEmpty())
                box.setDetailedText(detail);
            box.exec();
        }
    } catch (...) {
    }
    CurrentFatalPath().reported = true;
    if (path.endProgram)
        path.endProgram();
    else
        QCoreApplication::exit(EXIT_FAILURE);
}

bool FatalReported() { return CurrentFatalPath().reported; }

Failure FailureOf(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const DbError &e) {
        return {e.sentence(), e.detail(), e.kind()};
    } catch (const std::exception &e) {
        return {QString::fromLocal8Bit(e.what()), QString(), Failure::Kind::Failed};
    } catch (...) {
    }
    return {QStringLiteral("发生了未知的错误。"), QString(), Failure::Kind::Failed};
}

bool OfferRetry(const Failure &failure)
{
    const FatalPath &path = CurrentFatalPath();
    try {
        if (path.messages)
            return path.messages->retry(kAppTitle, failure.message, failure.detail);
        return BoxRetry(kAppTitle, failure.message, failure.detail);
    } catch (...) {
    }
    return false;
}

FatalPathOverride::FatalPathOverride(std::shared_ptr<MessageService> messages, std::function<void()> endProgram)
{
    FatalPath &path = CurrentFatalPath();
    m_previousMessages = std::exchange(path.messages, std::move(messages));
    m_previousEnd = std::exchange(path.endProgram, std::move(endProgram));
}

FatalPathOverride::~FatalPathOverride()
{
    FatalPath &path = CurrentFatalPath();
    path.messages = std::move(m_previousMessages);
    path.endProgram = std::move(m_previousEnd);
}
