#include "TestApp.h"
#include "TestFiles.h"
#include "data/LibrarySettings.h"
#include "files/DataFolder.h"
#include "files/RestorePoints.h"
#include "shell/MDIFrm.h"
#include "shell/frmEndSaveDB.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QDate D(const char *text) { return QDate::fromString(QString::fromLatin1(text), Qt::ISODate); }

QList<QDate> DaysOnDisk(const QString &backupFolder)
{
    QList<QDate> out;
    for (const QString &name :
         QDir(RestorePointFolder(backupFolder)).entryList(QDir::Files, QDir::Name | QDir::Reversed))
        if (RestorePointDay(name).isValid())
            out.append(RestorePointDay(name));
    return out;
}

// One run of the program on the test's library: the main window opened and
// left through the exit, its backup window run to the end.
struct ProgramRun {
    TestApp &app;
    std::unique_ptr<MDIFrm> main;
    int ended = 0;

    explicit ProgramRun(TestApp &a) : app(a)
    {
        main = MakeMainWindow(app.state, AllScreens().only({Form::frmDisMsg}));
        main->endProgram = [this] { ++ended; };
        main->show();
        main->start();
    }
    void exit()
    {
        main->ExitApplication();
        frmEndSaveDB *w = main->backupWindow();
        for (int i = 0; i < 25 && w && !w->ended(); ++i)
            w->Timer1_Timer();
    }
};

QString ExitBackupOf(const TestApp &app) { return QDir(BackupFolderPath(app.appDir())).filePath("ProSys.mdb"); }

}   // namespace

// Ten exits on days with gaps between them: after each, the folder holds
// exactly the restore points the rule keeps, each a copy of that day's exit
// backup, and the exit backup itself is still the one file it always was.
TEST(ExitRestorePoints, TenExitsOverSimulatedDaysKeepExactlyTheRetainedRestorePoints)
{
    TestApp app;
    const QString backupFolder = BackupFolderPath(app.appDir());
    const struct {
        QDate day;
        QList<QDate> kept;   // newest first
    } exits[] = {
        {D("2026-01-05"), {D("2026-01-05")}},
        {D("2026-01-06"), {D("2026-01-06"), D("2026-01-05")}},
        {D("2026-01-20"), {D("2026-01-20"), D("2026-01-06"), D("2026-01-05")}},
        {D("2026-02-02"), {D("2026-02-02"), D("2026-01-20"), D("2026-01-06"), D("2026-01-05")}},
        {D("2026-02-03"), {D("2026-02-03"), D("2026-02-02"), D("2026-01-20"), D("2026-01-06"), D("2026-01-05")}},
        {D("2026-03-15"),
         {D("2026-03-15"), D("2026-02-03"), D("2026-02-02"), D("2026-01-20"), D("2026-01-06"), D("2026-01-05")}},
        {D("2026-04-01"),
         {D("2026-04-01"), D("2026-03-15"), D("2026-02-03"), D("2026-02-02"), D("2026-01-20"), D("2026-01-06"),
          D("2026-01-05")}},
        // An eighth day: the oldest is neither among the seven days nor its
        // month's newest.
        {D("2026-04-02"),
         {D("2026-04-02"), D("2026-04-01"), D("2026-03-15"), D("2026-02-03"), D("2026-02-02"), D("2026-01-20"),
          D("2026-01-06")}},
        {D("2026-04-03"),
         {D("2026-04-03"), D("2026-04-02"), D("2026-04-01"), D("2026-03-15"), D("2026-02-03"), D("2026-02-02"),
          D("2026-01-20")}},
        // 2026-01-20 has left the seven days but is January's newest.
        {D("2026-06-30"),
         {D("2026-06-30"), D("2026-04-03"), D("2026-04-02"), D("2026-04-01"), D("2026-03-15"), D("2026-02-03"),
          D("2026-02-02"), D("2026-01-20")}},
    };
    int number = 0;
    for (const auto &e : exits) {
        SCOPED_TRACE(e.day.toString(Qt::ISODate).toStdString());
        app.clock->date = e.day;
        app.addExpert(QStringLiteral("第%1天的专家").arg(++number));
        ProgramRun run(app);
        run.exit();
        ASSERT_EQ(run.ended, 1);
        EXPECT_TRUE(app.messages->shown.isEmpty()) << app.messages->lastText().toStdString();
        EXPECT_EQ(DaysOnDisk(backupFolder), e.kept);
        EXPECT_EQ(ReadAll(RestorePointPath(backupFolder, e.day)), ReadAll(ExitBackupOf(app)));
        EXPECT_EQ(QDir(backupFolder).entryList(QDir::Files), QStringList{"ProSys.mdb"});
        const QList<RestorePoint> listed = ListRestorePoints(backupFolder, {QString()});
        ASSERT_FALSE(listed.isEmpty());
        EXPECT_EQ(listed.first().experts, number);
    }
}

TEST(ExitRestorePoints, ASecondExitOnTheSameDayReplacesThatDaysCopy)
{
    TestApp app;
    app.clock->date = D("2026-12-10");
    ProgramRun(app).exit();
    app.addExpert("下午加的专家");
    ProgramRun(app).exit();
    const QList<RestorePoint> listed = ListRestorePoints(BackupFolderPath(app.appDir()), {QString()});
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].experts, 1);
}

// The second folder is written after the local backup; when it is not there
// (the stick pulled out) the exit still ends, the local backup and restore
// point are made, and the user is told.
TEST(ExitRestorePoints, AMissingSecondFolderDoesNotStopTheExit)
{
    TestApp app;
    QTemporaryDir stick;
    const QString folder = stick.filePath("备份盘");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SecondBackupFolder, folder).ok());
    app.clock->date = D("2026-12-10");
    {
        ProgramRun run(app);
        run.exit();
        EXPECT_EQ(run.ended, 1);
        EXPECT_TRUE(app.messages->shown.isEmpty()) << app.messages->lastText().toStdString();
        EXPECT_EQ(ReadAll(QDir(folder).filePath("ProSys.mdb")), ReadAll(ExitBackupOf(app)));
        EXPECT_EQ(DaysOnDisk(folder), QList<QDate>{D("2026-12-10")});
    }

    ASSERT_TRUE(QDir(folder).removeRecursively());
    app.clock->date = D("2026-12-11");
    ProgramRun run(app);
    run.exit();
    EXPECT_EQ(run.ended, 1);
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Information);
    EXPECT_TRUE(app.messages->shown[0].text.contains(QDir::toNativeSeparators(folder)));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(DaysOnDisk(BackupFolderPath(app.appDir())), (QList<QDate>{D("2026-12-11"), D("2026-12-10")}));
}

TEST(ExitRestorePoints, ARestorePointThatCannotBeKeptIsToldAndTheExitEnds)
{
    TestApp app;
    ASSERT_TRUE(EnsureBackupFolder(app.appDir()).ok());
    // Something that is not a folder where the restore points go.
    const QString history = RestorePointFolder(BackupFolderPath(app.appDir()));
    ASSERT_TRUE(WriteAll(history, "not a folder"));
    ProgramRun run(app);
    run.exit();
    EXPECT_EQ(run.ended, 1);
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_EQ(ReadAll(ExitBackupOf(app)), ReadAll(app.dataFile()));
    EXPECT_EQ(ReadAll(history), "not a folder");
}

TEST(ExitRestorePoints, TheExitFollowsTheLibrarysRule)
{
    TestApp app;
    ASSERT_TRUE(WriteBackupSettings(app.state.store, {2, 0, 0}, QString()).ok());
    for (const char *day : {"2026-12-07", "2026-12-08", "2026-12-09"}) {
        app.clock->date = D(day);
        ProgramRun(app).exit();
    }
    EXPECT_EQ(DaysOnDisk(BackupFolderPath(app.appDir())), (QList<QDate>{D("2026-12-09"), D("2026-12-08")}));
}

TEST(ExitRestorePoints, NoneWhenAutomaticBackupIsOff)
{
    TestApp app;
    ProgramRun run(app);
    app.state.AutoBackupOn = false;
    run.exit();
    EXPECT_EQ(run.ended, 1);
    EXPECT_FALSE(QFileInfo::exists(RestorePointFolder(BackupFolderPath(app.appDir()))));
}
