// The exit of a server library writes its exit backup as a local data file;
// the restore points and the second folder follow it as for a data file.

#include "TestApp.h"
#include "TestFiles.h"
#include "data/LibrarySettings.h"
#include "files/DataFolder.h"
#include "files/RestorePoints.h"
#include "shell/MDIFrm.h"
#include "shell/frmEndSaveDB.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ServerRestorePoints, EachExitKeepsACheckedRestorePointLocallyAndOnTheSecondFolder)
{
    if (!ServerDatabase::available())
        GTEST_SKIP() << ServerDatabase::unavailableReason();
    TestApp app(DataSource::Server);
    app.addExpert("甲");
    app.addSelection("2026-12-01", "000001");
    QTemporaryDir stick;
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SecondBackupFolder, stick.path()).ok());

    for (const QDate &day : {QDate(2026, 12, 9), QDate(2026, 12, 10)}) {
        SCOPED_TRACE(day.toString(Qt::ISODate).toStdString());
        app.clock->date = day;
        std::unique_ptr<MDIFrm> main = MakeMainWindow(app.state, AllScreens().only({Form::frmDisMsg}));
        int ended = 0;
        main->endProgram = [&ended] { ++ended; };
        main->show();
        main->start();
        main->ExitApplication();
        frmEndSaveDB *w = main->backupWindow();
        for (int i = 0; i < 25 && w && !w->ended(); ++i)
            w->Timer1_Timer();
        EXPECT_EQ(ended, 1);
        EXPECT_TRUE(app.messages->shown.isEmpty()) << app.messages->lastText().toStdString();
        app.addExpert("乙");
    }
    for (const QString &folder : {BackupFolderPath(app.appDir()), stick.path()}) {
        SCOPED_TRACE(folder.toStdString());
        // Written with the default password, as the server's exit backup is.
        const QList<RestorePoint> points = ListRestorePoints(folder, {QString()});
        ASSERT_EQ(points.size(), 2);
        EXPECT_EQ(points[0].day, QDate(2026, 12, 10));
        EXPECT_TRUE(points[0].sound());
        EXPECT_EQ(points[0].experts, 2);
        EXPECT_EQ(points[1].experts, 1);
        EXPECT_EQ(points[1].draws, 1);
    }
}
