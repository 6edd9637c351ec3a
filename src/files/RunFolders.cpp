#include "files/RunFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

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

QString RunAreaPath(const QString &appDir) { return QDir(appDir).filePath(QStringLiteral(".kestrune-run")); }

QString KeptDrawPath(const QString &appDir, const QString &userId)
{
    // User Ids are digits; anything else is spelled out so that no Id can
    // reach outside the run area.
    QString name;
    for (const QChar c : userId)
        name += c.isLetterOrNumber() && c.unicode() < 128 ? QString(c) : QString::number(c.unicode(), 16);
    return QDir(RunAreaPath(appDir)).filePath(QStringLiteral("unsaved-draw-%1.json").arg(name));
}

Outcome WriteRunFile(const QString &path, const QByteArray &bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return Outcome::fail(QStringLiteral("无法建立文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        ::fsync(file.handle()) != 0 || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Outcome::fail(QStringLiteral("无法写入文件“%1”。").arg(QDir::toNativeSeparators(path)), reason);
    }
    return Outcome::success();
}

QString SetAsideRunFile(const QString &path, const QDateTime &now)
{
    const QString target = path + QStringLiteral(".refused-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::exists(target) && QFile::rename(path, target))
        return target;
    QFile::remove(path);
    return QString();
}
