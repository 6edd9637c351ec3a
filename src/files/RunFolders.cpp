#include "files/RunFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace {

const QString kPrefix = QStringLiteral("kestrune-");

bool processRuns(qint64 pid)
{
    // Signal 0 only asks whether the process exists; a process of another
    // user answers "not permitted", which still means it runs.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

}   // namespace

QString RunFolderTemplate(const QString &purpose)
{
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("%1%2-%3-XXXXXX").arg(kPrefix, purpose).arg(QCoreApplication::applicationPid()));
}

int RemoveLeftoverRunFolders()
{
    static const QRegularExpression name(QStringLiteral("^kestrune-[a-z]+-(\\d+)-[A-Za-z0-9]{6}$"));
    int removed = 0;
    const QFileInfoList folders =
        QDir(QDir::tempPath()).entryInfoList({kPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &folder : folders) {
        const QRegularExpressionMatch m = name.match(folder.fileName());
        if (!m.hasMatch() || folder.isSymLink() || processRuns(m.captured(1).toLongLong()))
            continue;
        if (QDir(folder.filePath()).removeRecursively())
            ++removed;
    }
    return removed;
}
