#include "files/DataFolder.h"

#include "data/Database.h"
#include "data/LibraryCopy.h"
#include "data/DbError.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "files/FileCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

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

void PrepareLibrary(DataStore &store, const DataSource &source)
{
    store.source = source;
    if (source.isServer()) {
        EnsureServerLibrary(store.source);
        return;
    }
    if (source.path.isEmpty())
        PrepareDataFile(store.appDir);
    else
        EnsureDataFile(source.path);
}

Outcome CopyLibraryToFile(const DataStore &store, const QString &target)
{
    if (!store.onServer())
        return CopyDataFile(store.dataFilePath(), target);
    // Written whole beside the target first, then copied over it the way a
    // data file is: an old target is never left half replaced.
    QTemporaryDir scratch(QDir(QFileInfo(target).absolutePath()).filePath(QStringLiteral(".kestrune-XXXXXX")));
    if (!scratch.isValid())
        return Outcome::failure(QStringLiteral("无法在文件夹“%1”中写入文件。")
                                    .arg(QDir::toNativeSeparators(QFileInfo(target).absolutePath())));
    const QString part = scratch.filePath(QStringLiteral("ProSys.mdb"));
    try {
        CopyServerToFile(store.source, part);
    } catch (const DbError &e) {
        return Outcome::failure(e.message());
    }
    return CopyDataFile(part, target);
}

Outcome BackupLibrary(const DataStore &store)
{
    if (!store.onServer())
        return BackupDataFile(store.appDir);
    const Outcome folder = EnsureBackupFolder(store.appDir);
    if (!folder)
        return folder;
    return CopyLibraryToFile(store, QDir(BackupFolderPath(store.appDir)).filePath(QStringLiteral("ProSys.mdb")));
}

Outcome WriteSafetyCopy(const DataStore &store, const QDate &day, const QString &reason)
{
    if (!store.onServer())
        return WriteSafetyCopy(store.appDir, store.dataFilePath(), day, reason);
    const Outcome folder = EnsureBackupFolder(store.appDir);
    if (!folder)
        return folder;
    const QString target = SafetyCopyPath(store.appDir, day, reason);
    const Outcome copied = CopyLibraryToFile(store, target);
    return copied ? Outcome::success(target) : copied;
}
