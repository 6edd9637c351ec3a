// A database failure that no screen handles: the engine's message in a
// critical box titled "Kestrune", then the program ends; the exception never
// gets into Qt.

#include "TestApp.h"
#include "admin/frmChangePwd.h"
#include "data/DbError.h"
#include "shell/frmLogin.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

QString MissingFileMessage(const QString &path)
{
    return QStringLiteral("找不到数据库文件。\n%1").arg(QDir::toNativeSeparators(path));
}

TEST(FatalPath, LoginWithoutItsDataFileShowsTheEngineErrorAndEnds)
{
    TestApp app(false);
    int ended = 0;
    FatalPathOverride fatal(app.messages, [&ended] { ++ended; });
    frmLogin login(app.state);
    EXPECT_NO_THROW(login.show());
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].title, "Kestrune");
    EXPECT_EQ(app.messages->shown[0].text, MissingFileMessage(app.dataFile()));
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_EQ(ended, 1);
}

TEST(FatalPath, APasswordChangeThatCannotReachTheFileEndsTheProgram)
{
    TestApp app;
    int ended = 0;
    FatalPathOverride fatal(app.messages, [&ended] { ++ended; });
    frmChangePwd dialog(app.state, nullptr);
    dialog.show();
    dialog.findChild<QLineEdit *>("txtPwd")->setText("new");
    dialog.findChild<QLineEdit *>("txtPwdCheck")->setText("new");

    ASSERT_TRUE(QFile::remove(app.dataFile()));
    EXPECT_NO_THROW(QTest::mouseClick(dialog.findChild<QPushButton *>("cmdOK"), Qt::LeftButton));
    EXPECT_EQ(app.messages->texts(), QStringList{MissingFileMessage(app.dataFile())});
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
    EXPECT_EQ(ended, 1);
}

TEST(FatalPath, AnEngineFailureSaysWhatHappenedWithTheEnginesWordsAsDetail)
{
    TestApp app;
    int ended = 0;
    FatalPathOverride fatal(app.messages, [&ended] { ++ended; });
    RunGuarded([&] { throw DbError(SQLITE_FULL, app.dataFile(), "database or disk is full"); });
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_TRUE(app.messages->shown[0].text.contains("磁盘空间已满")) << app.messages->shown[0].text.toStdString();
    EXPECT_TRUE(app.messages->shown[0].text.contains(QDir::toNativeSeparators(app.dataFile())));
    EXPECT_EQ(app.messages->shown[0].detail, "database or disk is full");
    EXPECT_EQ(ended, 1);
}

TEST(FatalPath, ADeleteThatCannotReachTheFileSaysSoAndTheProgramGoesOn)
{
    TestApp app;
    app.addExpert(QStringLiteral("卫亮"));
    TestHost host(app.state);
    host.area.show();
    host.openScreen(ScreenId::ExpertList);
    int ended = 0;
    FatalPathOverride fatal(app.messages, [&ended] { ++ended; });

    ASSERT_TRUE(QFile::remove(app.dataFile()));
    QTest::mouseClick(host.find<QCheckBox>("frmExpertList", ArrayName("chk", 0)), Qt::LeftButton);
    EXPECT_NO_THROW(QTest::mouseClick(host.find<QPushButton>("frmExpertList", "cmdDel"), Qt::LeftButton));
    EXPECT_EQ(app.messages->texts(), (QStringList{"您确定删除吗？", MissingFileMessage(app.dataFile())}));
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
    // Like a failed save: the program goes on, nothing changed.
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 1);
}

}   // namespace
