#include "TestApp.h"
#include "TestFiles.h"

#include "admin/DataMaintenance.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "files/DataFolder.h"
#include "data/FileCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every table of a database file, as text.
QList<QList<QStringList>> dump(const QString &path)
{
    Connection conn = Connection::open(path);
    QList<QList<QStringList>> tables;
    for (const TableDef *t : Schema::AllTables()) {
        QList<QStringList> rows;
        Statement st = conn.prepare(t->selectStatement());
        while (st.step()) {
            QStringList row;
            for (int c = 0; c < st.columnCount(); ++c)
                row << st.text(c);
            rows << row;
        }
        tables << rows;
    }
    return tables;
}

class MaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.addUser("000002", "lisi", "pw", "1");
        app.addUser("000003", "boss", "pw", "2");
        app.addUser("000004", "admin2", "pw", "0");
        e1 = app.addExpert("张三");
        e2 = app.addExpert("李四", "停用");
        app.addSelection("2026-12-01", e1);
        app.addSelection("2026-12-01", e2);
        app.state.draw.DrawList.append({e1, "张三", "男", "", "", "", "", ""});
        app.state.draw.DrawUnsaved = true;
    }
    QString backupFolder() const { return BackupFolderPath(app.appDir()); }

    TestApp app;
    QString e1, e2;
};

TEST_F(MaintenanceTest, InitialiseKeepsAdministratorsAndReferenceTablesAndWritesASafetyCopy)
{
    const auto before = dump(app.dataFile());
    const Outcome out = InitialiseDatabase(app.maintenanceTarget());
    ASSERT_TRUE(out.ok()) << out.message().toStdString();

    EXPECT_EQ(app.countRows("expert_msg"), 0);
    EXPECT_EQ(app.countRows("sel_expert"), 0);
    QStringList users;
    for (const QStringList &row : app.state.store.UserTable.toLists())
        users << row[1];
    EXPECT_EQ(users, QStringList({"admin", "admin2"}));
    const auto after = dump(app.dataFile());
    EXPECT_EQ(after[1], before[1]);   // resource_zhicheng
    EXPECT_EQ(after[2], before[2]);   // resource_degree
    EXPECT_TRUE(app.state.store.ExpertTable.isEmpty());
    EXPECT_TRUE(app.state.store.SelectionTable.isEmpty());
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
    EXPECT_FALSE(app.state.draw.DrawUnsaved);

    // The safety copy holds the data as it was, under a dated name.
    const QString copy = QDir(backupFolder()).filePath("ProSys_初始化前_20261209.mdb");
    ASSERT_TRUE(QFile::exists(copy));
    EXPECT_EQ(dump(copy), before);
    EXPECT_TRUE(out.message().contains(QDir::toNativeSeparators(copy)));

    // A second initialisation the same day keeps the first copy.
    ASSERT_TRUE(InitialiseDatabase(app.maintenanceTarget()).ok());
    EXPECT_EQ(dump(copy), before);
    EXPECT_TRUE(QFile::exists(QDir(backupFolder()).filePath("ProSys_初始化前_20261209_2.mdb")));
}

TEST_F(MaintenanceTest, InitialiseRefusesAFileWithoutAdministratorAndChangesNothing)
{
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("UPDATE login_pwd SET Limits = '1'");
    }
    const QByteArray bytes = fileBytes(app.dataFile());
    const Outcome out = InitialiseDatabase(app.maintenanceTarget());
    EXPECT_FALSE(out.ok());
    EXPECT_TRUE(out.message().contains("系统管理员"));
    EXPECT_EQ(fileBytes(app.dataFile()), bytes);
    EXPECT_EQ(app.state.draw.DrawList.count(), 1);
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
}

TEST_F(MaintenanceTest, InitialiseWithoutPossibleSafetyCopyChangesNothing)
{
    QFile blocker(backupFolder());   // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const Outcome out = InitialiseDatabase(app.maintenanceTarget());
    EXPECT_FALSE(out.ok());
    EXPECT_EQ(app.countRows("expert_msg"), 2);
}

TEST_F(MaintenanceTest, BackupThenRestoreGivesBackExactlyTheBackedUpData)
{
    const QString target = QDir(app.appDir()).filePath("专家库备份_20261209.mdb");
    const auto backedUp = dump(app.dataFile());
    const Outcome saved = BackupDatabase(app.state.store, target);
    ASSERT_TRUE(saved.ok()) << saved.message().toStdString();
    EXPECT_EQ(dump(target), backedUp);
    EXPECT_NE(fileBytes(target).left(16), QByteArray("SQLite format 3\0", 16));   // encrypted
    EXPECT_TRUE(CheckBackupFile(app.state.store, target).ok());
    // No temporary file is left beside the backup.
    EXPECT_EQ(QDir(app.appDir()).entryList({"*.part"}, QDir::Files | QDir::Hidden).size(), 0);

    // Change the data, then restore.
    app.addExpert("王五");
    app.addUser("000009", "zhao", "pw", "1");
    const auto changed = dump(app.dataFile());
    const Outcome restored = RestoreDatabase(app.maintenanceTarget(), target);
    ASSERT_TRUE(restored.ok()) << restored.message().toStdString();
    EXPECT_EQ(dump(app.dataFile()), backedUp);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 2);
    EXPECT_EQ(app.state.store.UserTable.count(), 4);
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
    // The replaced file was kept.
    const QString copy = QDir(backupFolder()).filePath("ProSys_更新前_20261209.mdb");
    EXPECT_EQ(dump(copy), changed);
}

TEST_F(MaintenanceTest, BackupReplacesAnOlderFileAndRefusesTheDataFileItself)
{
    const QString target = QDir(app.appDir()).filePath("old.mdb");
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    ASSERT_TRUE(BackupDatabase(app.state.store, target).ok());
    EXPECT_EQ(dump(target), dump(app.dataFile()));

    const QByteArray bytes = fileBytes(app.dataFile());
    const Outcome self = BackupDatabase(app.state.store, app.dataFile());
    EXPECT_FALSE(self.ok());
    EXPECT_EQ(fileBytes(app.dataFile()), bytes);
    EXPECT_FALSE(BackupDatabase(app.state.store, QDir(app.appDir()).filePath("missing/x.mdb")).ok());
}

TEST_F(MaintenanceTest, FilesThatAreNotBackupsAreRefusedAndChangeNothing)
{
    const QString text = QDir(app.appDir()).filePath("notes.mdb");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    const QString foreign = QDir(app.appDir()).filePath("foreign.mdb");
    {
        Connection conn = Connection::create(foreign);
        conn.exec("CREATE TABLE login_pwd (Id TEXT, User_name TEXT)");
    }
    const QString reordered = QDir(app.appDir()).filePath("reordered.mdb");
    {
        Connection conn = Connection::create(reordered);
        CreateSchema(conn);
        conn.exec("DROP TABLE sel_expert");
        conn.exec("CREATE TABLE sel_expert (Id TEXT, Expert_Id TEXT, Sel_data TEXT)");
    }
    // A real backup whose pages were damaged after it was made: it opens and
    // has every table, but would end the program at every start.
    const QString damaged = QDir(app.appDir()).filePath("damaged.mdb");
    {
        TestApp other;
        other.addExperts(80);
        ASSERT_TRUE(QFile::copy(other.dataFile(), damaged));
        ASSERT_TRUE(DamagePages(damaged));
        Connection opens = Connection::open(damaged);
        ASSERT_TRUE(CheckSchema(opens).ok());
    }
    const QByteArray bytes = fileBytes(app.dataFile());
    for (const QString &path :
         {text, foreign, reordered, damaged, QDir(app.appDir()).filePath("none.mdb"), app.dataFile()}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(CheckBackupFile(app.state.store, path).ok());
        const Outcome out = RestoreDatabase(app.maintenanceTarget(), path);
        EXPECT_FALSE(out.ok());
        EXPECT_FALSE(out.message().isEmpty());
        EXPECT_EQ(fileBytes(app.dataFile()), bytes);
        EXPECT_EQ(app.state.store.ExpertTable.count(), 2);
        EXPECT_TRUE(app.state.draw.DrawUnsaved);
    }
    EXPECT_FALSE(QDir(backupFolder()).exists());
}

TEST_F(MaintenanceTest, ABackupIsReadableByWhomTheUsersUmaskAllows)
{
    // A copy of personnel data follows the user's umask, like any file the
    // user makes; replacing a backup keeps that file's permissions.
    for (const mode_t mask : {mode_t(022), mode_t(077)}) {
        const QString target =
            QDir(app.appDir()).filePath(QStringLiteral("备份_%1.mdb").arg(mask, 3, 8, QLatin1Char('0')));
        const mode_t old = ::umask(mask);
        const Outcome made = BackupDatabase(app.state.store, target);
        ::umask(old);
        ASSERT_TRUE(made.ok()) << made.message().toStdString();
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);

        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
        ASSERT_TRUE(BackupDatabase(app.state.store, target).ok());
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode_t(0640));
    }
}

// A data file damaged during the run is one reason to restore: the restore
// goes ahead, and the damaged file is kept as it was, never offered as a
// sound copy.
TEST(RestoreOverDamage, ADamagedDataFileIsReplacedAndKeptAsItWas)
{
    struct Case {
        const char *name;
        std::function<bool(const QString &)> damage;
    };
    const Case cases[] = {
        {"damaged pages", DamagePages},
        {"not a database", [](const QString &path) { return WriteAll(path, QByteArray(16384, 'x')); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestApp app;
        app.addExperts(80);
        const QString good = QDir(app.appDir()).filePath("good.mdb");
        ASSERT_TRUE(BackupDatabase(app.state.store, good).ok());
        ASSERT_TRUE(c.damage(app.dataFile()));
        const QByteArray damaged = fileBytes(app.dataFile());

        const Outcome restored = RestoreDatabase(app.maintenanceTarget(), good);
        ASSERT_TRUE(restored.ok()) << restored.message().toStdString();
        EXPECT_EQ(dump(app.dataFile()), dump(good));
        EXPECT_EQ(app.state.store.ExpertTable.count(), 80);
        const QStringList copies = QDir(BackupFolderPath(app.appDir())).entryList({"*已损坏*"}, QDir::Files);
        ASSERT_EQ(copies.size(), 1);
        const QString copy = QDir(BackupFolderPath(app.appDir())).filePath(copies.first());
        EXPECT_TRUE(restored.message().contains(QDir::toNativeSeparators(copy))) << restored.message().toStdString();
        EXPECT_EQ(fileBytes(copy), damaged);
        const std::optional<GoodCopy> newest = NewestGoodCopy(app.appDir());
        EXPECT_TRUE(!newest || newest->path != QFileInfo(copy).absoluteFilePath());
    }
}

// 备份专家库 of a library that cannot be read names the library, never the
// user's target, and leaves an existing target as it was.
TEST(BackupOfDamage, TheDamagedLibraryIsNamedAndTheTargetKept)
{
    struct Case {
        const char *name;
        std::function<bool(const QString &)> damage;
    };
    const Case cases[] = {
        {"damaged pages", DamagePages},
        {"not a database", [](const QString &path) { return WriteAll(path, QByteArray(16384, 'x')); }},
        {"cut short", [](const QString &path) { return WriteAll(path, fileBytes(path).left(50 * 1024)); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestApp app;
        app.addExperts(400);
        const QString target = QDir(app.appDir()).filePath("专家库备份_20261209.mdb");
        ASSERT_TRUE(WriteAll(target, "an older backup"));
        ASSERT_TRUE(c.damage(app.dataFile()));

        const Outcome saved = BackupDatabase(app.state.store, target);
        EXPECT_FALSE(saved.ok());
        const QString text = saved.message();
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators(app.dataFile()))) << text.toStdString();
        EXPECT_FALSE(text.contains(QDir::toNativeSeparators(target))) << text.toStdString();
        EXPECT_TRUE(text.contains("损坏")) << text.toStdString();
        EXPECT_EQ(fileBytes(target), QByteArray("an older backup"));
    }
}

}   // namespace
