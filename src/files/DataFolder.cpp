#include "files/DataFolder.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "data/FileCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

QString BackupFolderPath(const QString &appDir) { return QDir(appDir).filePath(kBackupFolderName); }

Outcome EnsureBackupFolder(const QString &appDir)
{
    const QString folder = BackupFolderPath(appDir);
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return Outcome::fail(QStringLiteral("“%1”不是文件夹。").arg(QDir::toNativeSeparators(folder)));
    if (!info.exists() && !QDir(appDir).mkdir(kBackupFolderName))
        return Outcome::fail(QStringLiteral("无法创建文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
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

namespace {

// A missing data file beside an exit backup is no first start: the user's
// data is elsewhere, and a new empty file would replace that backup at the
// next exit.
void refuseNewFileBesideBackup(const QString &appDir)
{
    const QString path = DataFilePath(appDir);
    const QString backup = QDir(BackupFolderPath(appDir)).filePath(QStringLiteral("ProSys.mdb"));
    if (!QFileInfo::exists(path) && QFileInfo::exists(backup))
        throw DbError(QStringLiteral("找不到数据库文件：\n%1\n\n上次退出时的备份在：\n%2\n\n"
                                     "请把备份复制到数据库文件的位置后再启动本软件；"
                                     "若要新建一个空的数据库，请先移走备份文件夹。")
                          .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(backup)));
}

}   // namespace

void PrepareDataFile(const QString &appDir)
{
    refuseNewFileBesideBackup(appDir);
    EnsureDataFile(DataFilePath(appDir));
}

DataFileLock::DataFileLock(const QString &appDir) : m_dataFile(DataFilePath(appDir)) {}

DataFileLock::~DataFileLock() = default;

Outcome DataFileLock::acquire(bool serverLibrary)
{
    if (m_lock && m_lock->isLocked())
        return Outcome::success();
    m_lock = std::make_unique<QLockFile>(m_dataFile + QStringLiteral(".lock"));
    // Only a living holder counts, however long it has run.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Outcome::success();
    if (m_lock->error() != QLockFile::LockFailedError)
        return Outcome::success();
    qint64 pid = 0;
    QString host, program;
    if (!m_lock->getLockInfo(&pid, &host, &program)) {
        // A program killed between making its lock and writing it leaves a
        // lock that names nobody; once it is older than any such moment it
        // holds nothing.
        const QFileInfo lockFile(m_dataFile + QStringLiteral(".lock"));
        if (lockFile.lastModified().secsTo(QDateTime::currentDateTime()) > 10 && m_lock->removeStaleLockFile() &&
            m_lock->tryLock(0))
            return Outcome::success();
    }
    if (serverLibrary)
        return Outcome::fail(QStringLiteral("本软件已经在运行，正在使用数据文件夹：\n%1\n（进程 %2）\n\n"
                                            "本软件的备份和临时文件都在这个文件夹中，同一个数据文件夹同时只能由"
                                            "一个本软件使用，请切换到已经打开的本软件窗口。")
                                 .arg(QDir::toNativeSeparators(QFileInfo(m_dataFile).absolutePath()))
                                 .arg(pid));
    return Outcome::fail(QStringLiteral("本软件已经在运行，正在使用数据库文件：\n%1\n（进程 %2）\n\n"
                                        "同一个数据库文件同时只能由一个本软件使用，请切换到已经打开的本软件窗口。")
                             .arg(QDir::toNativeSeparators(m_dataFile))
                             .arg(pid));
}

int RemoveLeftoverStagedCopies(const QString &appDir)
{
    int removed = 0;
    const QString dataFile = QFileInfo(DataFilePath(appDir)).fileName();
    // Beside the data file only the data file's own staged copies: other
    // files there are the user's.
    auto ofDataFile = [&](const QString &name) {
        return name.startsWith(dataFile + QLatin1Char('.')) ||
               name.startsWith(QLatin1Char('.') + dataFile + QLatin1Char('.'));
    };
    auto sweep = [&](const QString &folder, bool onlyDataFile) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QFileInfo &f : files) {
            const QString name = f.fileName();
            if (f.isSymLink() || !IsStagedCopyName(name) || (onlyDataFile && !ofDataFile(name)))
                continue;
            if (QFile::remove(f.filePath()))
                ++removed;
        }
    };
    sweep(appDir, true);
    sweep(BackupFolderPath(appDir), false);
    // A server's library is written into the backup folder through a hidden
    // working folder of its own; a killed backup leaves it with part of a copy.
    static const QRegularExpression working(QStringLiteral("^\\.kestrune-[A-Za-z0-9]{6}$"));
    const QFileInfoList folders =
        QDir(BackupFolderPath(appDir)).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &f : folders) {
        if (f.isSymLink() || !working.match(f.fileName()).hasMatch())
            continue;
        if (QDir(f.filePath()).removeRecursively())
            ++removed;
    }
    return removed;
}

std::optional<GoodCopy> NewestGoodCopy(const QString &appDir, const QString &key)
{
    QFileInfoList copies =
        QDir(BackupFolderPath(appDir)).entryInfoList({QStringLiteral("ProSys*.mdb")}, QDir::Files, QDir::Time);
    for (const QFileInfo &copy : copies) {
        const QString path = copy.filePath();
        const bool own = key.isEmpty() || KeyOpensFile(path, key);
        if (CheckFileIntegrity(path, own ? key : QString()).isEmpty())
            return GoodCopy{copy.absoluteFilePath(), copy.lastModified()};
    }
    return std::nullopt;
}

QString DamagedDataFileMessage(const QString &appDir, const QString &problem, const QString &key)
{
    const QString dataFile = QDir::toNativeSeparators(DataFilePath(appDir));
    QString text =
        QStringLiteral("数据库文件已损坏，本软件不能使用它：\n%1\n\n数据库引擎报告：\n%2\n\n").arg(dataFile, problem);
    if (const std::optional<GoodCopy> copy = NewestGoodCopy(appDir, key)) {
        text += QStringLiteral("最近一份完好的副本是：\n%1\n（%2 保存）\n\n"
                               "恢复方法：先把损坏的数据库文件移到别处保存（不要删除），"
                               "再把这份副本复制为“%3”，然后重新启动本软件。")
                    .arg(QDir::toNativeSeparators(copy->path),
                         copy->written.toString(QStringLiteral("yyyy-MM-dd HH:mm")), dataFile);
    } else {
        text += QStringLiteral("“%1”文件夹中没有完好的副本。请找回以前备份的专家库文件，"
                               "把它复制为“%2”后重新启动本软件。")
                    .arg(QDir::toNativeSeparators(BackupFolderPath(appDir)), dataFile);
    }
    return text + QStringLiteral("\n本软件没有改动损坏的文件。");
}

void PrepareLibrary(DataStore &store, const DataSource &source)
{
    store.source = source;
    // The data folder's own file is made at the first start, but never
    // beside an exit backup: the user's data is elsewhere then.
    if (source.path.isEmpty() && store.library().isLibraryFile(DataFilePath(store.appDir)))
        refuseNewFileBesideBackup(store.appDir);
    store.library().prepare();
}

Outcome CopyLibraryToFile(const DataStore &store, const QString &target)
{
    return store.library().writeDataFile(target);
}

Outcome BackupLibrary(const DataStore &store)
{
    const Outcome folder = EnsureBackupFolder(store.appDir);
    if (!folder)
        return folder;
    return CopyLibraryToFile(store, QDir(BackupFolderPath(store.appDir)).filePath(QStringLiteral("ProSys.mdb")));
}

Outcome WriteSafetyCopy(const DataStore &store, const QDate &day, const QString &reason)
{
    const Outcome folder = EnsureBackupFolder(store.appDir);
    if (!folder)
        return folder;
    const QString target = SafetyCopyPath(store.appDir, day, reason);
    const Outcome copied = CopyLibraryToFile(store, target);
    return copied ? Outcome::success(target) : copied;
}
