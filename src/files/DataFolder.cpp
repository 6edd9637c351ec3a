#include "files/DataFolder.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"
#include "files/FileCopy.h"

#include <QDir>
#include <QFileInfo>

QString BackupFolderPath(const QString &appDir)
{
    return QDir(appDir).filePath(kBackupFolderName);
}

Outcome EnsureBackupFolder(const QString &appDir)
{
    const QString folder = BackupFolderPath(appDir);
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return Outcome::failure(QStringLiteral("“%1”不是文件夹。").arg(QDir::toNativeSeparators(folder)));
    if (!info.exists() && !QDir(appDir).mkdir(kBackupFolderName))
        return Outcome::failure(QStringLiteral("无法创建文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
    return Outcome::success();
}

Outcome BackupDataFile(const QString &appDir)
{
    const Outcome folder = EnsureBackupFolder(appDir);
    if (!folder)
        return folder;
    // A damaged or half-written data file never replaces the last backup.
    return CopyDataFile(DataFilePath(appDir), QDir(BackupFolderPath(appDir)).filePath(QStringLiteral("ProSys.mdb")));
}

QString SafetyCopyPath(const QString &appDir, const QDate &day, const QString &reason)
{
    const QDir folder(BackupFolderPath(appDir));
    const QString stem = QStringLiteral("ProSys_%1_%2").arg(reason, day.toString(QStringLiteral("yyyyMMdd")));
    QString path = folder.filePath(stem + QStringLiteral(".mdb"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder.filePath(QStringLiteral("%1_%2.mdb").arg(stem).arg(n));
    return path;
}

Outcome WriteSafetyCopy(const QString &appDir, const QString &dataFile, const QDate &day, const QString &reason)
{
    const Outcome folder = EnsureBackupFolder(appDir);
    if (!folder)
        return folder;
    const QString target = SafetyCopyPath(appDir, day, reason);
    const Outcome copied = CopyDataFile(dataFile, target);
    return copied ? Outcome::success(target) : copied;
}

void PrepareDataFile(const QString &appDir)
{
    const QString path = DataFilePath(appDir);
    const QString backup = QDir(BackupFolderPath(appDir)).filePath(QStringLiteral("ProSys.mdb"));
    if (!QFileInfo::exists(path) && QFileInfo::exists(backup))
        throw DbError(QStringLiteral("找不到数据库文件：\n%1\n\n上次退出时的备份在：\n%2\n\n"
                                     "请把备份复制到数据库文件的位置后再启动本软件；"
                                     "若要新建一个空的数据库，请先移走备份文件夹。")
                          .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(backup)));
    EnsureDataFile(path);
}
