#include "admin/DataMaintenance.h"

#include "data/Database.h"
#include "data/LibraryCopy.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "files/DataFolder.h"
#include "files/FileCopy.h"
#include "files/StagedFile.h"
#include "data/Users.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

// A journal left beside the data file by an interrupted write belongs to
// that file; opening the file once lets the engine roll it back. Returns why
// the file must not be cleared or replaced now: another program holds it in
// the middle of a write, whose work would be lost and whose journal would be
// left beside the new file. Succeeds otherwise.
Outcome settleDataFile(const DataStore &store)
{
    // A server settles its own interrupted writes.
    if (store.onServer())
        return Outcome::success();
    std::optional<Connection> conn;
    try {
        conn.emplace(OpenDataFile(store));
    } catch (const DbError &) {
        // A damaged current file is one reason to restore; copy it as it is.
        return Outcome::success();
    }
    try {
        conn->exec(QStringLiteral("BEGIN IMMEDIATE"));
        conn->exec(QStringLiteral("ROLLBACK"));
    } catch (const DbError &e) {
        return Outcome::failure(e.sentence(), e.detail());
    }
    return Outcome::success();
}

// The safety copy before a restore of a data file that the engine finds
// damaged, or cannot open as a database at all: damage is one reason to
// restore, so the file is kept byte for byte under a name that says so
// (never offered as a sound copy). Fails when the file is sound, so that
// the sound copy's own failure stands.
Outcome keepDamagedDataFile(const DataStore &store, const QDate &today)
{
    // A server's library is no file of ours to keep.
    if (store.onServer())
        return Outcome::failure(QString());
    bool damaged = false;
    try {
        Connection conn = OpenDataFile(store);
        damaged = !IntegrityProblem(conn).isEmpty();
        conn.close();
    } catch (const DbError &e) {
        damaged = !e.fileBusy() && QFileInfo(store.dataFilePath()).isFile();
    }
    if (!damaged)
        return Outcome::failure(QString());
    const Outcome folder = EnsureBackupFolder(store.appDir);
    if (!folder)
        return folder;
    const QString copy = SafetyCopyPath(store.appDir, today, QStringLiteral("更新前_已损坏"));
    const Outcome copied = CopyFileReplacing(store.dataFilePath(), copy);
    return copied ? Outcome::success(copy) : copied;
}

}   // namespace

Outcome ImportAccessLibrary(const MaintenanceTarget &target, const Migrate::ImportPlan &plan)
{
    const Outcome outcome = Migrate::ImportLibrary(target.store, target.today, plan);
    if (outcome.ok)
        DropUnsavedDraw(target);
    return outcome;
}

void DropUnsavedDraw(const MaintenanceTarget &target)
{
    target.drawList.clear();
    target.drawUnsaved = false;
    if (target.drawRecord)
        target.drawRecord->clear();
}

Outcome InitialiseDatabase(const MaintenanceTarget &target)
{
    DataStore &store = target.store;
    const Outcome settled = settleDataFile(store);
    if (!settled)
        return settled.prefixed(QStringLiteral("初始化数据库失败，数据库没有改变：\n"));
    const Outcome safetyCopy = WriteSafetyCopy(store, target.today, QStringLiteral("初始化前"));
    if (!safetyCopy)
        return safetyCopy.prefixed(QStringLiteral("初始化数据库失败：无法备份当前数据库，数据库没有改变。\n"));

    try {
        Connection conn = OpenDataFile(store);
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
            return {false, QStringLiteral("数据库中没有系统管理员，不能初始化数据库。数据库没有改变。")};
        conn.exec(QStringLiteral("DELETE FROM sel_expert"));
        ClearProjectTables(conn);
        conn.exec(QStringLiteral("DELETE FROM expert_msg"));
        Statement remove = conn.prepare(QStringLiteral("DELETE FROM login_pwd WHERE Id = ?"));
        for (const QString &id : others) {
            remove.bind(1, id);
            remove.step();
            remove.reset();
        }
        tx.commit();
        conn.close();
    } catch (const DbError &e) {
        return Outcome::failure(QStringLiteral("初始化数据库失败，数据库没有改变：\n") + e.sentence(), e.detail());
    }

    DropUnsavedDraw(target);
    LoadExperts(store);
    LoadSelections(store);
    LoadProjects(store);
    LoadUsers(store);
    return {true, QStringLiteral("初始化数据库成功。\n初始化前的数据库已备份为：\n%1").arg(native(safetyCopy.message))};
}

QString DefaultBackupFileName(const QDate &day)
{
    return QStringLiteral("专家库备份_%1.mdb").arg(day.toString(QStringLiteral("yyyyMMdd")));
}

Outcome BackupDatabase(const DataStore &store, const QString &target)
{
    const QString failed = QStringLiteral("备份专家库失败：\n");
    if (!store.onServer() && sameFile(target, store.dataFilePath()))
        return {false, failed + QStringLiteral("不能把备份保存为当前使用的数据库文件，请另选文件名。")};
    const QFileInfo targetInfo(target);
    if (!targetInfo.absoluteDir().exists())
        return {false, failed + QStringLiteral("文件夹“%1”不存在。").arg(native(targetInfo.absolutePath()))};

    // A server's library is written as a data file of the same format.
    if (store.onServer()) {
        const Outcome copied = CopyLibraryToFile(store, target);
        if (!copied)
            return {false, failed + copied.message};
        return {true, QStringLiteral("备份专家库成功。\n备份文件：%1").arg(native(target))};
    }

    // A failure never leaves a partial backup or spoils an old one.
    StagedFile part(target, QStringLiteral(".part"));
    const Outcome staged = part.create();
    if (!staged)
        return staged.prefixed(failed);
    const QString partPath = part.path();

    bool writing = false;
    try {
        Connection conn = OpenDataFile(store);
        writing = true;
        {
            Statement attach = conn.prepare(QStringLiteral("ATTACH DATABASE ? AS backup KEY ?"));
            attach.bind(1, partPath);
            attach.bind(2, QString::fromLatin1(kDatabasePassword));
            attach.step();
        }
        {
            // One read transaction: the copy shows the file at one moment.
            Transaction tx(conn);
            {
                Statement exportAll = conn.prepare(QStringLiteral("SELECT sqlcipher_export('backup')"));
                exportAll.step();
            }
            tx.commit();
        }
        conn.exec(QStringLiteral("DETACH DATABASE backup"));
        conn.close();

        // The copy must open as a database of this program before it counts.
        Connection check = Connection::open(partPath);
        const Outcome schema = CheckSchema(check);
        check.close();
        if (!schema)
            return {false, failed + schema.message};
    } catch (const DbError &e) {
        // The engine names the file it was opened on; once the copy is being
        // written, a full disk or a refused write concerns the backup the
        // user chose, unless another program holds the data file.
        const DbError shown = writing && !e.fileBusy() ? e.onFile(target) : e;
        return Outcome::failure(failed + shown.sentence(), shown.detail());
    }

    const Outcome placed = part.place();
    if (!placed)
        return placed.prefixed(failed);
    return {true, QStringLiteral("备份专家库成功。\n备份文件：%1").arg(native(target))};
}

Outcome CheckBackupFile(const DataStore &store, const QString &path)
{
    const QString refused = QStringLiteral("所选文件不是本程序的专家库备份，不能用来更新专家库。\n");
    if (!QFileInfo(path).isFile())
        return Outcome::failure(QStringLiteral("找不到文件“%1”。").arg(native(path)));
    if (!store.onServer() && sameFile(path, store.dataFilePath()))
        return Outcome::failure(QStringLiteral("所选文件就是当前使用的数据库，请选择以前备份的专家库文件。"));
    try {
        Connection conn = Connection::open(path);
        Outcome schema = CheckSchema(conn);
        // A file that opens can be damaged deeper inside; in place of the
        // data file it would end the program at every start.
        if (schema) {
            const QString damage = IntegrityProblem(conn);
            if (!damage.isEmpty())
                schema = Outcome::failure(damage);
        }
        conn.close();
        if (!schema)
            return Outcome::failure(refused + schema.message);
    } catch (const DbError &e) {
        // Why the file is no backup, in the engine's words.
        return Outcome::failure(refused + (e.detail().isEmpty() ? e.message() : e.detail()));
    }
    return Outcome::success();
}

Outcome RestoreDatabase(const MaintenanceTarget &target, const QString &backup)
{
    DataStore &store = target.store;
    const QString failed = QStringLiteral("更新专家库失败，现有的专家库没有改变：\n");
    const Outcome usable = CheckBackupFile(store, backup);
    if (!usable)
        return usable;

    const Outcome settled = settleDataFile(store);
    if (!settled)
        return settled.prefixed(failed);
    Outcome safetyCopy = WriteSafetyCopy(store, target.today, QStringLiteral("更新前"));
    if (!safetyCopy) {
        const Outcome damaged = keepDamagedDataFile(store, target.today);
        if (!damaged)
            return (damaged.message.isEmpty() ? safetyCopy : damaged).prefixed(failed);
        safetyCopy = damaged;
    }

    if (store.onServer()) {
        // The server's content is replaced in one transaction: every
        // operator sees the old library or the new one, never a mixture.
        try {
            Connection from = Connection::open(backup);
            Connection to = OpenDataFile(store);
            Transaction tx(to);
            ClearLibraryTables(to);
            CopyLibraryTables(from, to);
            tx.commit();
        } catch (const DbError &e) {
            return {false, failed + e.message()};
        }
        DropUnsavedDraw(target);
        LoadAllTables(store);
        return {true, QStringLiteral("更新专家库成功。\n更新前的专家库已备份为：\n%1").arg(native(safetyCopy.message))};
    }

    // Written beside the data file and renamed over it in one step.
    const Outcome replaced = CopyFileReplacing(backup, store.dataFilePath());
    if (!replaced)
        return replaced.prefixed(failed);
    // A journal of the replaced file must never be played into the new one.
    QFile::remove(store.dataFilePath() + QStringLiteral("-journal"));

    DropUnsavedDraw(target);
    LoadAllTables(store);
    return {true, QStringLiteral("更新专家库成功。\n更新前的专家库已备份为：\n%1").arg(native(safetyCopy.message))};
}
