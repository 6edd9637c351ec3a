#include "TestApp.h"
#include "TestFiles.h"

#include "admin/DataMaintenance.h"
#include "files/DataFolder.h"

#include <QFile>

#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString AccessFixture(const QString &name) { return QDir(QStringLiteral(KESTRUNE_ACCESS_FILES)).filePath(name); }

class ImportAccessScreenTest : public ::testing::Test {
protected:
    void open(int role)
    {
        app.state.session.CurrentUserRole = role;
        host.openScreen(ScreenId::DataInOut);
    }
    QPushButton *button() { return host.find<QPushButton>("frmDataInOut", "cmdImpAccess"); }
    void choose(const QString &path)
    {
        app.files->nextOpenPath = path;
        QTest::mouseClick(button(), Qt::LeftButton);
    }

    TestApp app;
    TestHost host{app.state};
};

TEST_F(ImportAccessScreenTest, AdministratorsSeeTheButtonBesideInitialise)
{
    open(0);
    ASSERT_NE(button(), nullptr);
    EXPECT_TRUE(button()->isVisibleTo(host.screen("frmDataInOut")));
    EXPECT_EQ(button()->text(), "导入Access数据库");
    EXPECT_EQ(button()->parentWidget()->objectName(), "fraClr");
    EXPECT_EQ(button()->geometry(), TwRect(2640, 1200, 1890, 390));
}

TEST_F(ImportAccessScreenTest, OtherRolesDoNotSeeIt)
{
    for (int role : {1, 2}) {
        TestApp other;
        other.state.session.CurrentUserRole = role;
        TestHost otherHost{other.state};
        otherHost.openScreen(ScreenId::DataInOut);
        auto *b = otherHost.find<QPushButton>("frmDataInOut", "cmdImpAccess");
        ASSERT_NE(b, nullptr);
        EXPECT_FALSE(b->isVisibleTo(otherHost.screen("frmDataInOut"))) << role;
    }
}

TEST_F(ImportAccessScreenTest, FilesThatHoldNoLibraryAreRefusedAndChangeNothing)
{
    open(0);
    app.addExpert("张三");
    const QByteArray before = ReadAll(app.dataFile());
    struct Case {
        QString file;
        QString says;
    } cases[] = {
        {AccessFixture("jet4-access2000.mdb"), "没有专家库的数据表"},
        {AccessFixture("ace-access2010-password.accdb"), ".accdb"},
        {app.dataFile(), "Kestrune"},
    };
    for (const Case &c : cases) {
        app.messages->clear();
        choose(c.file);
        ASSERT_EQ(app.messages->shown.size(), 1) << c.file.toStdString();
        EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
        EXPECT_TRUE(app.messages->shown[0].text.contains(c.says)) << app.messages->shown[0].text.toStdString();
    }
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    EXPECT_FALSE(QDir(BackupFolderPath(app.appDir())).exists());
    EXPECT_EQ(app.state.store.ExpertTable.count(), 1);
}

TEST_F(ImportAccessScreenTest, ACopyOfTheLibraryWithItsOwnPasswordIsKnownForWhatItIs)
{
    open(0);
    app.addExpert("张三");
    ASSERT_TRUE(ChangeLibraryPassword(app.maintenanceTarget(), "Own-Pass-2026").ok());
    const QString copy = QDir(app.appDir()).filePath("copy.mdb");
    ASSERT_TRUE(QFile::copy(app.dataFile(), copy));
    const QByteArray before = ReadAll(app.dataFile());
    app.messages->clear();
    choose(copy);
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_TRUE(app.messages->shown[0].text.contains("Kestrune 的数据库文件"))
        << app.messages->shown[0].text.toStdString();
    EXPECT_EQ(ReadAll(app.dataFile()), before);
}

TEST_F(ImportAccessScreenTest, CancellingTheFileDialogDoesNothing)
{
    open(0);
    choose(QString());
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

}   // namespace
