#include "ui/Guarded.h"

#include "data/DbError.h"
#include "ui/Services.h"

#include <QMessageBox>
#include <cstdlib>

namespace {

struct FatalPath {
    std::shared_ptr<MessageService> messages;   // null: a plain message box
    std::function<void()> endProgram;           // empty: end the process now
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
    if (path.endProgram)
        path.endProgram();
    else
        std::_Exit(EXIT_FAILURE);
}

QString FatalMessage(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const DbError &e) {
        return e.sentence();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    return QStringLiteral("发生了未知的错误。");
}

QString FatalDetail(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const DbError &e) {
        return e.detail();
    } catch (...) {
    }
    return QString();
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
