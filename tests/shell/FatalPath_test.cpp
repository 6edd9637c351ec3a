// A database failure that no screen handles: the engine's message in a
// critical box titled "Kestrune", then the program ends; the exception never
// gets into Qt.

#include "TestApp.h"
#include "shell/frmLogin.h"
#include "ui/Guarded.h"
#include "ui/ScreenStyle.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

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

TEST(FatalPath, ADeleteThatCannotReachTheFileEndsTheProgram)
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
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(app.state.ExpertTable.count(), 1) << "nothing was reloaded after the failure";
}

} // namespace
