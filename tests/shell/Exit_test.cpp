#include "TestFiles.h"
#include "TestApp.h"
#include "data/DrawStore.h"
#include "files/DataFolder.h"
#include "data/FileCopy.h"
#include "shell/MDIFrm.h"
#include "shell/frmEndSaveDB.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct ExitFixture {
    TestApp app;
    std::unique_ptr<MDIFrm> main;
    int ended = 0;

    ExitFixture() { startMain(); }
    void startMain()
    {
        main = MakeMainWindow(app.state, AllScreens().only({Form::frmDisMsg}));
        main->endProgram = [this] { ++ended; };
        main->show();
        main->start();
    }
    QString backupFile() const { return QDir(BackupFolderPath(app.appDir())).filePath("ProSys.mdb"); }
    // Runs the backup window's ticks until the program ends.
    void finishTicks()
    {
        frmEndSaveDB *w = main->backupWindow();
        for (int i = 0; i < 25 && w && !w->ended(); ++i)
            w->Timer1_Timer();
    }
    void drawTwo()
    {
        const QString a = app.addExpert("甲");
        const QString b = app.addExpert("乙");
        app.state.draw.DrawList.append({a, "甲", "男", "", "", "", "", ""});
        app.state.draw.DrawList.append({b, "乙", "男", "", "", "", "", ""});
        app.state.draw.DrawUnsaved = true;
    }
};

}   // namespace

TEST(Exit, NothingUnsavedAsksNothingAndBacksUp)
{
    ExitFixture f;
    f.main->ExitApplication();
    EXPECT_TRUE(f.app.messages->shown.isEmpty());
    EXPECT_FALSE(f.main->isVisible());
    frmEndSaveDB *w = f.main->backupWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->findChild<QLabel *>("labTitle")->text(), "Orvane人事专家数据库备份中。。。");
    EXPECT_EQ(w->timer()->interval(), 50);
    EXPECT_TRUE(w->timer()->isActive());
    EXPECT_EQ(ReadAll(f.backupFile()), ReadAll(f.app.dataFile()));
    // The bar fills in twenty ticks, then the program ends.
    for (int i = 0; i < 19; ++i)
        w->Timer1_Timer();
    EXPECT_EQ(f.ended, 0);
    EXPECT_EQ(w->findChild<QProgressBar *>("ProgressBar1")->value(), 95);
    w->Timer1_Timer();
    EXPECT_EQ(f.ended, 1);
}

TEST(Exit, YesStoresTheDrawThenBacksUpTheSavedFile)
{
    ExitFixture f;
    f.drawTwo();
    f.app.addSelection("2026-01-01", "000001");
    f.app.messages->answers.enqueue(true);
    f.main->ExitApplication();
    ASSERT_EQ(f.app.messages->shown.size(), 1);
    EXPECT_EQ(f.app.messages->shown[0].text, "您有未保存的抽取记录,是否需要保存？");
    EXPECT_EQ(f.app.messages->shown[0].title, "Kestrune");
    EXPECT_FALSE(f.app.state.draw.DrawUnsaved);
    // The in-memory selections are not reloaded by the exit.
    EXPECT_EQ(f.app.state.store.SelectionTable.count(), 1);
    LoadSelections(f.app.state.store);
    ASSERT_EQ(f.app.state.store.SelectionTable.count(), 3);
    EXPECT_EQ(f.app.state.store.SelectionTable.row(1), QStringList({"000002", "2026-12-09", "000001"}));
    EXPECT_EQ(f.app.state.store.SelectionTable.row(2), QStringList({"000003", "2026-12-09", "000002"}));
    EXPECT_EQ(ReadAll(f.backupFile()), ReadAll(f.app.dataFile()));
}

TEST(Exit, YesStoresOnlyTheExpertsNotStoredYet)
{
    ExitFixture f;
    f.drawTwo();
    // The two were stored with "完成"; then the draw went on with a third.
    ASSERT_EQ(StoreDrawProject(f.app.state.store, f.app.state.draw.DrawList, f.app.state.draw.DrawRecord,
                               ProjectFacts{"评标"}, "admin", QDateTime(f.app.state.today(), QTime(9, 0)))
                  .rowsAdded,
              2);
    const QString c = f.app.addExpert("丙");
    f.app.state.draw.DrawList.append({c, "丙", "男", "", "", "", "", ""});
    f.app.state.draw.DrawUnsaved = true;
    f.app.messages->answers.enqueue(true);
    f.main->ExitApplication();
    LoadSelections(f.app.state.store);
    ASSERT_EQ(f.app.state.store.SelectionTable.count(), 3);
    EXPECT_EQ(f.app.state.store.SelectionTable.row(2), QStringList({"000003", "2026-12-09", c}));
}

TEST(Exit, NoStoresNothingAndStillBacksUp)
{
    ExitFixture f;
    f.drawTwo();
    f.app.messages->answers.enqueue(false);
    f.main->ExitApplication();
    EXPECT_FALSE(f.app.state.draw.DrawUnsaved);
    EXPECT_EQ(f.app.countRows("sel_expert"), 0);
    EXPECT_TRUE(QFile::exists(f.backupFile()));
}

TEST(Exit, YesWithAnEmptyDrawListAddsNothing)
{
    ExitFixture f;
    f.app.state.draw.DrawUnsaved = true;
    f.app.messages->answers.enqueue(true);
    f.main->ExitApplication();
    EXPECT_EQ(f.app.countRows("sel_expert"), 0);
}

TEST(Exit, RunsOnceWhateverStartsIt)
{
    ExitFixture f;
    f.drawTwo();
    f.main->ExitApplication();
    f.main->close();
    f.main->ExitApplication();
    EXPECT_EQ(f.app.messages->shown.size(), 1);
    EXPECT_EQ(f.app.countRows("sel_expert"), 2);
}

TEST(Exit, ClosingTheWindowRunsTheExit)
{
    ExitFixture f;
    f.app.state.AutoBackupOn = false;
    f.main->close();
    EXPECT_EQ(f.ended, 1);
}

TEST(Exit, BackupOffEndsAtOnceWithoutWindowOrCopy)
{
    ExitFixture f;
    f.app.state.AutoBackupOn = false;
    f.main->ExitApplication();
    EXPECT_EQ(f.ended, 1);
    EXPECT_FALSE(f.main->backupWindow()->isVisible());
    EXPECT_FALSE(QFileInfo::exists(BackupFolderPath(f.app.appDir())));
}

TEST(Exit, FirstExitCreatesTheFolderLaterExitsReplaceTheFile)
{
    ExitFixture f;
    ASSERT_FALSE(QFileInfo::exists(BackupFolderPath(f.app.appDir())));
    f.main->ExitApplication();
    ASSERT_TRUE(QFileInfo(BackupFolderPath(f.app.appDir())).isDir());
    const QByteArray first = ReadAll(f.backupFile());
    // Next run: change the data, exit again.
    f.startMain();
    f.app.addExpert("新");
    f.main->ExitApplication();
    const QByteArray second = ReadAll(f.backupFile());
    EXPECT_NE(first, second);
    EXPECT_EQ(second, ReadAll(f.app.dataFile()));
    EXPECT_EQ(QDir(BackupFolderPath(f.app.appDir())).entryList(QDir::Files).size(), 1);
}

TEST(Exit, AFileNamedLikeTheFolderGivesTheMessageAndKeepsTheDatabase)
{
    ExitFixture f;
    ASSERT_TRUE(WriteAll(BackupFolderPath(f.app.appDir()), "not a folder"));
    const QByteArray db = ReadAll(f.app.dataFile());
    f.main->ExitApplication();
    ASSERT_EQ(f.app.messages->shown.size(), 1);
    EXPECT_EQ(f.app.messages->shown[0].text, "请先关闭打开的数据库！");
    EXPECT_EQ(f.app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_EQ(f.ended, 1);
    EXPECT_EQ(ReadAll(f.app.dataFile()), db);
    EXPECT_EQ(ReadAll(BackupFolderPath(f.app.appDir())), "not a folder");
}

TEST(Exit, FailedCopyKeepsThePreviousBackup)
{
    ExitFixture f;
    ASSERT_TRUE(QDir(f.app.appDir()).mkdir(kBackupFolderName));
    ASSERT_TRUE(WriteAll(f.backupFile(), "previous backup"));
    // A database path that cannot be read as a file makes the copy fail.
    const QString moved = f.app.dataFile() + ".moved";
    ASSERT_TRUE(QFile::rename(f.app.dataFile(), moved));
    ASSERT_TRUE(QDir().mkdir(f.app.dataFile()));
    f.main->ExitApplication();
    EXPECT_EQ(f.app.messages->lastText(), "请先关闭打开的数据库！");
    EXPECT_EQ(ReadAll(f.backupFile()), "previous backup");
    EXPECT_EQ(QDir(BackupFolderPath(f.app.appDir())).entryList(QDir::Files).size(), 1);
}

TEST(FileCopy, ReplacesOnlyWhenTheCopyIsComplete)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("a");
    const QString target = dir.filePath("b");
    ASSERT_TRUE(WriteAll(source, QByteArray(3 << 20, 'z')));
    ASSERT_TRUE(WriteAll(target, "old"));
    EXPECT_TRUE(CopyFileReplacing(source, target).ok());
    EXPECT_EQ(ReadAll(target), ReadAll(source));
    const Outcome missing = CopyFileReplacing(dir.filePath("missing"), target);
    EXPECT_FALSE(missing.ok());
    EXPECT_TRUE(missing.message().contains("missing")) << missing.message().toStdString();
    EXPECT_EQ(ReadAll(target), ReadAll(source));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}
