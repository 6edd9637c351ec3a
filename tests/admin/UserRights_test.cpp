#include "TestApp.h"

#include "admin/frmUserRights.h"
#include "lists/PagedList.h"
#include "shell/frmLogin.h"
#include "ui/Guarded.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class UserRightsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.addUser("000002", "lisi", "pw", "1");
        app.addUser("000003", "wang", "pw", "2");
        host.openScreen(ScreenId::UserRights);
        app.messages->clear();
    }
    template <typename T> T *find(const QString &name) { return host.find<T>("frmUserRights", name); }
    QLineEdit *box(const QString &name) { return find<QLineEdit>(name); }
    void click(const QString &button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    QLabel *cell(int column, int slot) { return find<QLabel>(ArrayName(QStringLiteral("lab%1").arg(column), slot)); }
    QLabel *link(int which, int slot) { return find<QLabel>(ArrayName(QStringLiteral("labOP_%1").arg(which), slot)); }
    void fillNew(const QString &name, const QString &pwd, const QString &check, int role)
    {
        box("txtUser")->setText(name);
        box("txtPwd")->setText(pwd);
        box("txtPwdCheck")->setText(check);
        find<QComboBox>("comRole")->setCurrentIndex(role);
    }
    QList<QStringList> fileUsers()
    {
        LoadUsers(app.state.store);
        return app.state.store.UserTable.toLists();
    }

    TestApp app;
    TestHost host{app.state};
};

}   // namespace

TEST_F(UserRightsTest, ListsTheUsersWithTheirRoles)
{
    EXPECT_EQ(find<QLabel>("labPath")->text(), "用户权限设置");
    EXPECT_EQ(find<QLabel>("labTitle")->text(), "用户权限设置");
    EXPECT_EQ(host.bannerWidth, 11515);
    const QStringList names{"admin", "lisi", "wang"};
    const QStringList roles{"管理员", "项目经理", "公司领导"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cell(1, i)->text(), QString::number(i + 1));
        EXPECT_EQ(cell(2, i)->text(), names[i]);
        EXPECT_EQ(cell(3, i)->text(), roles[i]);
        EXPECT_EQ(link(1, i)->text(), "[修改]");
        EXPECT_EQ(link(2, i)->text(), "[删除]");
    }
    EXPECT_TRUE(link(1, 3)->isHidden());
    EXPECT_EQ(find<QLabel>("labPage")->text(), "1/1");
    // Nothing chosen yet: the frame for a chosen user waits.
    EXPECT_FALSE(find<QPushButton>("cmdRole")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("cmdResetPwd")->isEnabled());
    EXPECT_EQ(find<QComboBox>("comRole")->currentIndex(), -1);
    EXPECT_EQ(find<QComboBox>("comRole")->count(), 3);
}

TEST_F(UserRightsTest, AUserAddedHereLogsInWithTheChosenRole)
{
    fillNew(" zhao ", " s3cret ", "s3cret", 1);
    click("cmdAdd");
    EXPECT_EQ(app.messages->texts(), QStringList{"增加成功。"});
    EXPECT_EQ(app.messages->shown[0].title, "Kestrune");
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Information);
    EXPECT_EQ(OpenedBy(fileUsers().last(), "s3cret"), QStringList({"000004", "zhao", "s3cret", "1"}));
    EXPECT_EQ(cell(2, 3)->text(), "zhao");
    EXPECT_EQ(cell(3, 3)->text(), "项目经理");
    EXPECT_TRUE(box("txtUser")->text().isEmpty());
    EXPECT_EQ(find<QComboBox>("comRole")->currentIndex(), -1);

    // The login window of the next start accepts the new pair with role 1.
    app.state.session.CurrentUserId.clear();
    app.state.session.CurrentUserRole = -1;
    frmLogin login(app.state);
    QSignalSpy loggedIn(&login, &frmLogin::loggedIn);
    login.show();
    login.findChild<QLineEdit *>("Text1")->setText("zhao");
    login.findChild<QLineEdit *>("Text2")->setText("s3cret");
    QTest::mouseClick(login.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(loggedIn.count(), 1);
    EXPECT_EQ(app.state.session.CurrentUserId, "000004");
    EXPECT_EQ(app.state.session.CurrentUserRole, 1);
    EXPECT_FALSE(app.state.session.isAdministrator());
}

TEST_F(UserRightsTest, AddRefusalsShowTheirMessageAndWriteNothing)
{
    using I = MessageService::Icon;
    struct Case {
        QString name, pwd, check;
        int role;
        QString message;
        I icon;
        const char *focus;
    } cases[] = {
        {"  ", "pw", "pw", 1, "请输入用户名！", I::Information, "txtUser"},
        {"zhao", " ", "pw", 1, "请输入密码！", I::Information, "txtPwd"},
        {"zhao", "pw", "", 1, "请输入确认密码！", I::Information, "txtPwdCheck"},
        {"zhao", "pw", "PW", 1, "密码与确认密码不一致！", I::Information, "txtPwdCheck"},
        {"zhao", "pw", "pw", -1, "请选择角色！", I::Information, "comRole"},
        {" lisi ", "pw", "pw", 2, "此用户名已被使用，请输入新的用户名。", I::Critical, "txtUser"},
        {QString(51, QChar(0x5F20)), "pw", "pw", 2, "用户名不能超过100个字符（一个汉字算2个字符）。", I::Information,
         "txtUser"},
        {"zhao", QString(21, 'a'), QString(21, 'a'), 2, "密码不能超过20个字符（一个汉字算2个字符）。", I::Information,
         "txtPwd"},
    };
    const QList<QStringList> before = fileUsers();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        app.messages->clear();
        fillNew(c.name, c.pwd, c.check, c.role);
        click("cmdAdd");
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown[0].title, "Kestrune");
        EXPECT_EQ(app.messages->shown[0].text, c.message);
        EXPECT_EQ(app.messages->shown[0].icon, c.icon);
        EXPECT_EQ(host.screen("frmUserRights")->focusWidget(), find<QWidget>(c.focus));
        EXPECT_EQ(box("txtUser")->text(), c.name);   // typed values stay
        EXPECT_EQ(fileUsers(), before);
    }
}

TEST_F(UserRightsTest, ChangeRoleAndResetPasswordOfTheChosenUser)
{
    EXPECT_FALSE(find<QLabel>("labEditHint")->isHidden());
    QTest::mouseClick(link(1, 1), Qt::LeftButton);   // lisi
    EXPECT_TRUE(find<QLabel>("labEditHint")->isHidden());
    EXPECT_EQ(find<QLabel>("labSelName")->text(), "lisi");
    EXPECT_EQ(find<QComboBox>("comNewRole")->currentIndex(), 1);
    EXPECT_EQ(app.state.paging.SelectedRow, 2);

    find<QComboBox>("comNewRole")->setCurrentIndex(0);
    click("cmdRole");
    EXPECT_EQ(app.messages->texts(), QStringList{"修改成功。"});
    EXPECT_EQ(fileUsers()[1], QStringList({"000002", "lisi", "pw", "0"}));
    EXPECT_EQ(cell(3, 1)->text(), "管理员");

    app.messages->clear();
    box("txtNewPwd")->setText("neu");
    box("txtNewPwdCheck")->setText("alt");
    click("cmdResetPwd");
    EXPECT_EQ(app.messages->texts(), QStringList{"新密码与确认密码不一致！"});
    EXPECT_EQ(fileUsers()[1].value(2), "pw");

    app.messages->clear();
    box("txtNewPwdCheck")->setText("neu");
    QTest::keyClick(box("txtNewPwdCheck"), Qt::Key_Return);
    EXPECT_EQ(app.messages->texts(), QStringList{"密码已重设。"});
    EXPECT_TRUE(CheckCredentials(app.state.store.UserTable, "lisi", "neu").found);
    EXPECT_FALSE(CheckCredentials(app.state.store.UserTable, "lisi", "pw").found);
}

TEST_F(UserRightsTest, TheLoggedInUserIsNeitherDemotedNorDeleted)
{
    const QList<QStringList> before = fileUsers();
    QTest::mouseClick(link(1, 0), Qt::LeftButton);   // admin, who is logged in
    find<QComboBox>("comNewRole")->setCurrentIndex(2);
    click("cmdRole");
    EXPECT_EQ(app.messages->texts(), QStringList{"不能更改当前登录用户的角色！"});
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);

    app.messages->clear();
    QTest::mouseClick(link(2, 0), Qt::LeftButton);
    // Refused at once: no question whose 是 cannot be carried out.
    EXPECT_EQ(app.messages->texts(), QStringList{"不能删除当前登录的用户！"});
    EXPECT_EQ(fileUsers(), before);
    EXPECT_EQ(cell(2, 0)->text(), "admin");
}

TEST_F(UserRightsTest, DeleteAsksFirstAndRemovesOnlyThatUser)
{
    app.messages->answers.enqueue(false);
    QTest::mouseClick(link(2, 2), Qt::LeftButton);
    EXPECT_EQ(app.messages->texts(), QStringList{"您确定删除用户“wang”吗？"});
    EXPECT_EQ(fileUsers().size(), 3);

    app.messages->clear();
    QTest::mouseClick(link(1, 2), Qt::LeftButton);   // chosen, then deleted
    QTest::mouseClick(link(2, 2), Qt::LeftButton);
    EXPECT_EQ(app.messages->texts(), QStringList({"您确定删除用户“wang”吗？", "删除成功。"}));
    const QList<QStringList> left = fileUsers();
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(left[1].value(1), "lisi");
    EXPECT_TRUE(link(2, 2)->isHidden());
    EXPECT_TRUE(find<QLabel>("labSelName")->text().isEmpty());
    EXPECT_FALSE(find<QPushButton>("cmdRole")->isEnabled());
}

TEST_F(UserRightsTest, AUserGoneBehindTheScreensBackIsReported)
{
    QTest::mouseClick(link(1, 2), Qt::LeftButton);   // wang
    ASSERT_EQ(ApplyUserChange(app.state.store, "000001",
                              [] {
                                  UserChange c;
                                  c.kind = UserChange::Kind::Delete;
                                  c.userId = "000003";
                                  return c;
                              }())
                  .problem,
              UserProblem::None);
    find<QComboBox>("comNewRole")->setCurrentIndex(1);
    click("cmdRole");
    EXPECT_EQ(app.messages->texts(), QStringList{"没有匹配的记录！"});
    EXPECT_EQ(fileUsers().size(), 2);
    EXPECT_TRUE(link(1, 2)->isHidden());
    EXPECT_FALSE(find<QPushButton>("cmdRole")->isEnabled());
}

TEST_F(UserRightsTest, ControlsAreNamedByTheirCaptions)
{
    struct Case {
        const char *control;
        const char *name;
    } cases[] = {{"txtUser", "用户名"},  {"txtPwd", "密码"},      {"txtPwdCheck", "确认密码"},   {"comRole", "角色"},
                 {"comNewRole", "角色"}, {"txtNewPwd", "新密码"}, {"txtNewPwdCheck", "确认密码"}};
    for (const Case &c : cases)
        EXPECT_EQ(find<QWidget>(c.control)->accessibleName(), QString::fromUtf8(c.name)) << c.control;
}

TEST_F(UserRightsTest, AChangeThatCannotReachTheFileEndsTheProgram)
{
    int ended = 0;
    FatalPathOverride fatal(app.messages, [&ended] { ++ended; });
    ASSERT_TRUE(QFile::remove(app.dataFile()));
    fillNew("zhao", "pw", "pw", 1);
    EXPECT_NO_THROW(click("cmdAdd"));
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_TRUE(app.messages->shown[0].text.startsWith("找不到数据库文件。"));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(cell(2, 3)->text(), "");   // nothing was listed after the failure
}

TEST_F(UserRightsTest, TheAdministratorEndsALockOfFailedLogins)
{
    const QDateTime now = app.state.services.clock->now();
    EXPECT_FALSE(find<QPushButton>("cmdUnlock")->isEnabled());   // until a user is chosen
    EXPECT_EQ(find<QPushButton>("cmdUnlock")->text(), "解除锁定");
    for (int i = 0; i < kMaxFailedLogins; ++i)
        ASSERT_TRUE(CheckLogin(app.state.store, "lisi", "wrong", now).ok());
    ASSERT_EQ(CheckLogin(app.state.store, "lisi", "pw", now)->verdict, LoginCheck::Verdict::Locked);

    QTest::mouseClick(link(1, 1), Qt::LeftButton);   // lisi
    ASSERT_TRUE(find<QPushButton>("cmdUnlock")->isEnabled());
    // Inside the frame, clear of 重设密码.
    EXPECT_FALSE(find<QPushButton>("cmdUnlock")->geometry().intersects(find<QPushButton>("cmdResetPwd")->geometry()));
    click("cmdUnlock");
    EXPECT_EQ(app.messages->texts(), QStringList{"已解除用户“lisi”的锁定。"});
    EXPECT_EQ(CheckLogin(app.state.store, "lisi", "pw", now)->verdict, LoginCheck::Verdict::Accepted);

    app.messages->clear();
    QTest::mouseClick(link(1, 2), Qt::LeftButton);   // wang, never locked
    click("cmdUnlock");
    EXPECT_EQ(app.messages->texts(), QStringList{"用户“wang”没有被锁定。"});
}
