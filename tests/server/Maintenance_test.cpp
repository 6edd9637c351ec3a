// Backup, restore, initialisation and the exit backup of a server library:
// each writes or reads an encrypted data file of the usual format.

#include "TestApp.h"
#include "admin/DataMaintenance.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "files/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class ServerMaintenance : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        app = std::make_unique<TestApp>(DataSource::Server);
        app->addExpert("甲");
        app->addExpert("乙");
        app->addSelection("2026-12-01", "000001");
        app->addUser("000002", "经理", "pw", "1");
    }

    // The names of the experts in a data file.
    static QStringList expertsInFile(const QString &path)
    {
        DataStore file;
        file.source.path = path;
        LoadExperts(file);
        QStringList names;
        for (const QStringList &r : file.ExpertTable.toLists())
            names << r[Schema::E_Name];
        return names;
    }

    std::unique_ptr<TestApp> app;
};

}   // namespace

TEST_F(ServerMaintenance, BackupWritesADataFileOfTheLibrary)
{
    const QString target = app->dir.filePath("备份.mdb");
    const Outcome done = BackupDatabase(app->state.store, target);
    ASSERT_TRUE(done.ok()) << done.message().toStdString();
    Connection file = Connection::open(target);
    EXPECT_TRUE(CheckSchema(file).ok());
    file.close();
    EXPECT_EQ(expertsInFile(target), QStringList({"甲", "乙"}));

    // The exit backup goes into the local backup folder.
    ASSERT_TRUE(BackupLibrary(app->state.store).ok());
    EXPECT_EQ(expertsInFile(QDir(BackupFolderPath(app->appDir())).filePath("ProSys.mdb")), QStringList({"甲", "乙"}));
}

TEST_F(ServerMaintenance, RestoreReplacesTheServerContentWhole)
{
    const QString backup = app->dir.filePath("备份.mdb");
    ASSERT_TRUE(BackupDatabase(app->state.store, backup).ok());
    app->addExpert("丙");
    app->state.draw.DrawUnsaved = true;

    const Outcome done = RestoreDatabase(app->maintenanceTarget(), backup);
    ASSERT_TRUE(done.ok()) << done.message().toStdString();
    EXPECT_EQ(app->countRows("expert_msg"), 2);
    EXPECT_EQ(app->state.store.ExpertTable.count(), 2);
    EXPECT_EQ(app->state.store.UserTable.count(), 2);
    EXPECT_EQ(app->state.store.SelectionTable.count(), 1);
    EXPECT_FALSE(app->state.draw.DrawUnsaved);
    // The library before the restore is kept as a safety copy.
    const QString safety = done.message().section('\n', -1);
    EXPECT_EQ(expertsInFile(safety), QStringList({"甲", "乙", "丙"})) << done.message().toStdString();

    // A file that is no library of this program changes nothing.
    const QString foreign = app->dir.filePath("foreign.mdb");
    Connection::create(foreign).exec("CREATE TABLE t (x TEXT)");
    EXPECT_FALSE(RestoreDatabase(app->maintenanceTarget(), foreign).ok());
    EXPECT_EQ(app->countRows("expert_msg"), 2);
}

TEST_F(ServerMaintenance, InitialiseEmptiesTheLibraryButKeepsTheAdministrators)
{
    const Outcome done = InitialiseDatabase(app->maintenanceTarget());
    ASSERT_TRUE(done.ok()) << done.message().toStdString();
    EXPECT_EQ(app->countRows("expert_msg"), 0);
    EXPECT_EQ(app->countRows("sel_expert"), 0);
    ASSERT_EQ(app->state.store.UserTable.count(), 1);
    EXPECT_EQ(app->state.store.UserTable.cell(0, 1).toString(), kInitialAdminName);
    const QString safety = done.message().section('\n', -1);
    EXPECT_TRUE(QFileInfo(safety).isFile()) << done.message().toStdString();
    EXPECT_EQ(expertsInFile(safety), QStringList({"甲", "乙"}));
}
