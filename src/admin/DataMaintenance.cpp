#include "admin/DataMaintenance.h"

#include "data/AuditLog.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "files/DataFolder.h"
#include "data/Users.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// The safety copy before a restore of a library the engine finds damaged,
// or cannot open as a database at all: damage is one reason to restore, so
// the file is kept byte for byte under a name that says so (never offered as
// a sound copy). Fails when there is nothing of the kind to keep, so that the
// sound copy's own failure stands.
Outcome keepDamagedLibrary(const DataStore &store, const QDate &today)
{
    const Outcome folder = EnsureBackupFolder(store.appDir);
    if (!folder)
        return folder;
    return store.library().keepIfDamaged(SafetyCopyPath(store.appDir, today, QStringLiteral("更新前_已损坏")));
}

// Compacts the library after an operation that cleared or replaced much of
// it; the operation itself has succeeded either way, so a failure is only a
// note on the success.
QString compacted(DataStore &store)
{
    const Outcome done = store.library().compact();
    if (done)
        return QString();
    return QStringLiteral("\n\n注意：整理数据库文件没有完成，删除的数据所占的空间暂时没有释放：\n%1\n%2")
        .arg(done.message(), done.detail());
}

}   // namespace

Outcome ImportAccessLibrary(const MaintenanceTarget &target, const Migrate::ImportPlan &plan)
{
    const Outcome outcome = Migrate::ImportLibrary(target.store, target.today, plan);
    if (outcome.ok())
        DropUnsavedDraw(target);
    return outcome;
}

void DropUnsavedDraw(const MaintenanceTarget &target)
{
    target.draw.StartNewDraw();
    target.draw.DrawUnsaved = false;
}

Outcome InitialiseDatabase(const MaintenanceTarget &target)
{
    DataStore &store = target.store;
    const Outcome settled = store.library().settle();
    if (!settled)
        return settled.prefixed(QStringLiteral("初始化数据库失败，数据库没有改变：\n"));
    const Outcome safetyCopy = WriteSafetyCopy(store, target.today, QStringLiteral("初始化前"));
    if (!safetyCopy)
        return safetyCopy.prefixed(QStringLiteral("初始化数据库失败：无法备份当前数据库，数据库没有改变。\n"));

    try {
        Connection &conn = LibraryConnection(store);
        Transaction tx(conn);
        QStringList others;
        int administrators = 0;
        {
            Statement users = conn.prepare(QStringLiteral("SELECT Id, Limits FROM login_pwd ORDER BY Id"));
            while (users.step()) {
                if (RoleFromLimits(users.text(1)) == 0)
                    ++administrators;
                else
                    others << users.text(0);
            }
        }
        // Without an administrator nobody could log in with full rights again.
        if (administrators == 0)
            return Outcome::fail(QStringLiteral("数据库中没有系统管理员，不能初始化数据库。数据库没有改变。"));
        conn.exec(QStringLiteral("DELETE FROM sel_expert"));
        ClearProjectTables(conn);
        conn.exec(QStringLiteral("DELETE FROM expert_msg"));
        Statement remove = conn.prepare(QStringLiteral("DELETE FROM login_pwd WHERE Id = ?"));
        for (const QString &id : others) {
            remove.bind(1, id);
            remove.step();
            remove.reset();
        }
        AppendAuditCoveringAll(conn, store.operatorName, AuditKind::Initialise, QString(),
                               {{"safety_copy", safetyCopy.message()}});
        tx.commit();
    } catch (const DbError &e) {
        return Outcome::fail(QStringLiteral("初始化数据库失败，数据库没有改变：\n") + e.sentence(), e.detail());
    }

    DropUnsavedDraw(target);
    LoadExperts(store);
    LoadSelections(store);
    LoadProjects(store);
    LoadUsers(store);
    return Outcome::success(
        QStringLiteral("初始化数据库成功。\n初始化前的数据库已备份为：\n%1").arg(native(safetyCopy.message())) +
        compacted(store));
}

QString DefaultBackupFileName(const QDate &day)
{
    return QStringLiteral("专家库备份_%1.mdb").arg(day.toString(QStringLiteral("yyyyMMdd")));
}

Outcome BackupDatabase(const DataStore &store, const QString &target)
{
    const QString failed = QStringLiteral("备份专家库失败：\n");
    if (store.library().isLibraryFile(target))
        return Outcome::fail(failed + QStringLiteral("不能把备份保存为当前使用的数据库文件，请另选文件名。"));
    const QFileInfo targetInfo(target);
    if (!targetInfo.absoluteDir().exists())
        return Outcome::fail(failed + QStringLiteral("文件夹“%1”不存在。").arg(native(targetInfo.absolutePath())));
    // A complete, checked copy or nothing: a failure never leaves a partial
    // backup or spoils an old one.
    const Outcome copied = CopyLibraryToFile(store, target);
    if (!copied)
        return copied.prefixed(failed);
    const Outcome logged = AppendAudit(store, AuditKind::Backup, target);
    if (!logged)
        return logged.prefixed(QStringLiteral("备份文件已写入，但操作日志没有记下这次备份：\n"));
    return Outcome::success(QStringLiteral("备份专家库成功。\n备份文件：%1").arg(native(target)));
}

std::optional<QString> KnownBackupKey(const DataStore &store, const QString &path)
{
    const QString own = store.source.isServer() ? QString() : store.source.key;
    if (!own.isEmpty() && KeyOpensFile(path, own))
        return own;
    if (KeyOpensFile(path, QString()))
        return QString();
    return std::nullopt;
}

bool MayBeEncryptedLibrary(const QString &path)
{
    // The smallest page the engine writes.
    constexpr qint64 kSmallestPage = 512;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < kSmallestPage)
        return false;
    return !file.read(16).startsWith(QByteArrayLiteral("SQLite format 3"));
}

Outcome CheckBackupFile(const DataStore &store, const QString &path, const QString &key)
{
    const QString refused = QStringLiteral("所选文件不是本程序的专家库备份，不能用来更新专家库。\n");
    if (!QFileInfo(path).isFile())
        return Outcome::fail(QStringLiteral("找不到文件“%1”。").arg(native(path)));
    if (store.library().isLibraryFile(path))
        return Outcome::fail(QStringLiteral("所选文件就是当前使用的数据库，请选择以前备份的专家库文件。"));
    try {
        Connection conn = Connection::open(path, key);
        Outcome schema = CheckSchema(conn);
        // A file that opens can be damaged deeper inside; in place of the
        // data file it would end the program at every start.
        if (schema) {
            const QString damage = IntegrityProblem(conn);
            if (!damage.isEmpty())
                schema = Outcome::fail(damage);
        }
        conn.close();
        if (!schema)
            return Outcome::fail(refused + schema.message());
    } catch (const DbError &e) {
        if (e.notADatabase() && !key.isEmpty())
            return Outcome::fail(QStringLiteral("备份文件的密码不正确，或所选文件不是本程序的专家库备份。"),
                                 e.detail());
        // Why the file is no backup, in the engine's words.
        return Outcome::fail(refused + (e.detail().isEmpty() ? e.message() : e.detail()));
    }
    return Outcome::success();
}

Outcome RestoreDatabase(const MaintenanceTarget &target, const QString &backup, const QString &backupKey)
{
    DataStore &store = target.store;
    const QString failed = QStringLiteral("更新专家库失败，现有的专家库没有改变：\n");
    const Outcome usable = CheckBackupFile(store, backup, backupKey);
    if (!usable)
        return usable;

    const Outcome settled = store.library().settle();
    if (!settled)
        return settled.prefixed(failed);
    Outcome safetyCopy = WriteSafetyCopy(store, target.today, QStringLiteral("更新前"));
    if (!safetyCopy) {
        const Outcome damaged = keepDamagedLibrary(store, target.today);
        if (!damaged)
            return (damaged.message().isEmpty() ? safetyCopy : damaged).prefixed(failed);
        safetyCopy = damaged;
    }

    const Outcome replaced = store.library().replaceWith(backup, backupKey, store.operatorName);
    if (!replaced)
        return replaced.prefixed(failed);

    DropUnsavedDraw(target);
    LoadAllTables(store);
    return Outcome::success(
        QStringLiteral("更新专家库成功。\n更新前的专家库已备份为：\n%1").arg(native(safetyCopy.message())) +
        compacted(store));
}

QString LibraryPasswordProblem(const QString &password)
{
    constexpr int kShortest = 8;
    if (password.size() < kShortest)
        return QStringLiteral("数据库密码至少要有 %1 个字符。").arg(kShortest);
    if (password == QLatin1String(kDatabasePassword))
        return QStringLiteral("不能使用本软件的默认密码。");
    if (password.trimmed() != password)
        return QStringLiteral("数据库密码的开头和结尾不能是空格。");
    return QString();
}

Outcome ChangeLibraryPassword(const MaintenanceTarget &target, const QString &newKey,
                              const LibraryBackend::KeyProbe &probe)
{
    DataStore &store = target.store;
    const QString failed = QStringLiteral("设置数据库密码失败，数据库文件没有改变，原来的密码仍然有效：\n");
    if (!store.library().hasFileKey())
        return store.library().changeKey(newKey, probe);
    if (const QString problem = LibraryPasswordProblem(newKey); !problem.isEmpty())
        return Outcome::fail(problem);
    const Outcome settled = store.library().settle();
    if (!settled)
        return settled.prefixed(failed);
    const Outcome safetyCopy = WriteSafetyCopy(store, target.today, QStringLiteral("设置密码前"));
    if (!safetyCopy)
        return safetyCopy.prefixed(failed);
    const Outcome changed = store.library().changeKey(newKey, probe);
    if (!changed)
        return changed.prefixed(failed +
                                QStringLiteral("（修改前的数据库已备份为：%1）\n").arg(native(safetyCopy.message())));
    store.source.key = newKey;
    // Who gave the library a new password, and when (never the password).
    QString note;
    if (const Outcome logged = AppendAudit(store, AuditKind::Setting, QStringLiteral("数据库密码"),
                                           {{QStringLiteral("change"), QStringLiteral("library_key")}});
        !logged)
        note += QStringLiteral("\n操作日志没有记下这次修改：%1").arg(logged.message());

    // The safety copy and the exit backup would still open with the old
    // password: anyone holding the backup folder would read the library.
    if (!QFile::remove(safetyCopy.message()))
        note += QStringLiteral("\n无法删除修改前的副本“%1”，它仍使用原来的密码，请手工删除。")
                    .arg(native(safetyCopy.message()));
    const Outcome backup = BackupLibrary(store);
    if (!backup)
        note += QStringLiteral("\n“%1”文件夹中的退出备份没能用新密码重写（%2），本软件退出时会再次备份。")
                    .arg(kBackupFolderName, backup.message());
    return Outcome::success(QStringLiteral("数据库密码已设置。以后打开这个专家库需要输入这个密码，"
                                           "密码丢失后无法恢复数据。\n以前另存的备份文件仍使用原来的密码，"
                                           "请妥善保管或删除。") +
                            note);
}
