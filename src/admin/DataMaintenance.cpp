#include "admin/DataMaintenance.h"

#include "data/Database.h"
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
// left beside the new file. "" otherwise.
QString settleDataFile(const DataStore &store)
{
    std::optional<Connection> conn;
    try {
        conn.emplace(OpenDataFile(store));
    } catch (const DbError &) {
        // A damaged current file is one reason to restore; copy it as it is.
        return QString();
    }
    try {
        conn->exec(QStringLiteral("BEGIN IMMEDIATE"));
        conn->exec(QStringLiteral("ROLLBACK"));
    } catch (const DbError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

Outcome WriteSafetyCopy(const DataStore &store, const QDate &today, const QString &reason)
{
    return WriteSafetyCopy(store.appDir, store.dataFilePath(), today, reason);
}

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
    const QString busy = settleDataFile(store);
    if (!busy.isEmpty())
        return {false, QStringLiteral("初始化数据库失败，数据库没有改变：\n") + busy};
    const Outcome safetyCopy = WriteSafetyCopy(store, target.today, QStringLiteral("初始化前"));
    if (!safetyCopy)
        return {false, QStringLiteral("初始化数据库失败：无法备份当前数据库，数据库没有改变。\n") + safetyCopy.message};

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
        return {false, QStringLiteral("初始化数据库失败，数据库没有改变：\n") + e.message()};
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
    if (sameFile(target, store.dataFilePath()))
        return {false, failed + QStringLiteral("不能把备份保存为当前使用的数据库文件，请另选文件名。")};
    const QFileInfo targetInfo(target);
    if (!targetInfo.absoluteDir().exists())
        return {false, failed + QStringLiteral("文件夹“%1”不存在。").arg(native(targetInfo.absolutePath()))};

    // A failure never leaves a partial backup or spoils an old one.
    StagedFile part(target, QStringLiteral(".part"));
    const Outcome staged = part.create();
    if (!staged)
        return {false, failed + staged.message};
    const QString partPath = part.path();

    try {
        Connection conn = OpenDataFile(store);
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
        return {false, failed + e.message()};
    }

    const Outcome placed = part.place();
    if (!placed)
        return {false, failed + placed.message};
    return {true, QStringLiteral("备份专家库成功。\n备份文件：%1").arg(native(target))};
}

Outcome CheckBackupFile(const DataStore &store, const QString &path)
{
    const QString refused = QStringLiteral("所选文件不是本程序的专家库备份，不能用来更新专家库。\n");
    if (!QFileInfo(path).isFile())
        return Outcome::failure(QStringLiteral("找不到文件“%1”。").arg(native(path)));
    if (sameFile(path, store.dataFilePath()))
        return Outcome::failure(QStringLiteral("所选文件就是当前使用的数据库，请选择以前备份的专家库文件。"));
    try {
        Connection conn = Connection::open(path);
        const Outcome schema = CheckSchema(conn);
        conn.close();
        if (!schema)
            return Outcome::failure(refused + schema.message);
    } catch (const DbError &e) {
        return Outcome::failure(refused + e.message());
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

    const QString busy = settleDataFile(store);
    if (!busy.isEmpty())
        return {false, failed + busy};
    const Outcome safetyCopy = WriteSafetyCopy(store, target.today, QStringLiteral("更新前"));
    if (!safetyCopy)
        return {false, failed + safetyCopy.message};

    // Written beside the data file and renamed over it in one step.
    const Outcome replaced = CopyFileReplacing(backup, store.dataFilePath());
    if (!replaced)
        return {false, failed + replaced.message};
    // A journal of the replaced file must never be played into the new one.
    QFile::remove(store.dataFilePath() + QStringLiteral("-journal"));

    DropUnsavedDraw(target);
    LoadAllTables(store);
    return {true, QStringLiteral("更新专家库成功。\n更新前的专家库已备份为：\n%1").arg(native(safetyCopy.message))};
}
