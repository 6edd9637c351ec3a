#include "TestApp.h"
#include "shell/frmLogin.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct LoginFixture {
    TestApp app;
    frmLogin login{app.state};
    QSignalSpy loggedIn{&login, &frmLogin::loggedIn};
    QSignalSpy cancelled{&login, &frmLogin::cancelled};

    LoginFixture()
    {
        app.state.session.CurrentUserId.clear();
        app.state.session.CurrentUserRole = -1;
        login.show();
    }
    QLineEdit *text1() { return login.findChild<QLineEdit *>("Text1"); }
    QLineEdit *text2() { return login.findChild<QLineEdit *>("Text2"); }
    void submit(const QString &user, const QString &password)
    {
        text1()->setText(user);
        text2()->setText(password);
        QTest::mouseClick(login.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    }
};

}   // namespace

struct CredentialCase {
    const char *name;
    QString user;
    QString password;
    bool succeeds;
    QString message;
};

class LoginCredentials : public ::testing::TestWithParam<CredentialCase> {};

TEST_P(LoginCredentials, ChecksNameAndPasswordExactly)
{
    const CredentialCase c = GetParam();
    LoginFixture f;
    f.app.addUser("000002", "Zhang", "pw", "1");
    f.app.addUser("000003", "trail ", "pw ", "1");
    f.login.activate();
    f.submit(c.user, c.password);
    EXPECT_EQ(f.loggedIn.count(), c.succeeds ? 1 : 0) << c.name;
    if (c.message.isEmpty()) {
        EXPECT_TRUE(f.app.messages->shown.isEmpty()) << c.name;
    } else {
        ASSERT_EQ(f.app.messages->shown.size(), 1) << c.name;
        EXPECT_EQ(f.app.messages->shown[0].text, c.message);
        EXPECT_EQ(f.app.messages->shown[0].title, "登录");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoginCredentials,
    ::testing::Values(CredentialCase{"admin", "admin", "123456", true, ""},
                      CredentialCase{"typed blanks are trimmed", "  Zhang ", " pw  ", true, ""},
                      CredentialCase{"case matters", "zhang", "pw", false, "用户名和密码不正确，请重新输入！"},
                      CredentialCase{"wrong password", "Zhang", "PW", false, "用户名和密码不正确，请重新输入！"},
                      CredentialCase{"stored trailing blanks never match", "trail", "pw", false,
                                     "用户名和密码不正确，请重新输入！"},
                      CredentialCase{"empty user", "   ", "pw", false, "请输入用户名！"},
                      CredentialCase{"empty password", "Zhang", "  ", false, "请输入密码！"}),
    [](const auto &info) { return std::to_string(info.index); });

TEST(Login, MessagesUseTheirIcons)
{
    LoginFixture f;
    f.submit("", "x");
    f.submit("x", "");
    f.submit("x", "y");
    ASSERT_EQ(f.app.messages->shown.size(), 3);
    EXPECT_EQ(f.app.messages->shown[0].icon, MessageService::Icon::Information);
    EXPECT_EQ(f.app.messages->shown[1].icon, MessageService::Icon::Information);
    EXPECT_EQ(f.app.messages->shown[2].icon, MessageService::Icon::Critical);
}

TEST(Login, SuccessRecordsUserAndRole)
{
    LoginFixture f;
    f.app.addUser("000002", "pm", "1", "1");
    f.login.activate();
    f.submit("pm", "1");
    EXPECT_EQ(f.app.state.session.CurrentUserId, "000002");
    EXPECT_EQ(f.app.state.session.CurrentUserRole, 1);
    EXPECT_FALSE(f.app.state.session.isAdministrator());
}

TEST(Login, FirstMatchingRowWins)
{
    LoginFixture f;
    f.app.addUser("000005", "dup", "x", "2");
    f.app.addUser("000003", "dup", "x", "0");
    f.login.activate();
    f.submit("dup", "x");
    EXPECT_EQ(f.app.state.session.CurrentUserId, "000003");
    EXPECT_EQ(f.app.state.session.CurrentUserRole, 0);
}

TEST(Login, UnknownLimitsGetRestrictedRights)
{
    for (const QString &limits : {QString("7"), QString("abc"), QString(""), QString("-1")}) {
        LoginFixture f;
        f.app.addUser("000002", "odd", "x", limits);
        f.login.activate();
        f.submit("odd", "x");
        ASSERT_EQ(f.loggedIn.count(), 1);
        EXPECT_FALSE(f.app.state.session.isAdministrator()) << limits.toStdString();
    }
}

TEST(Login, EmptyUserTableAlwaysRefuses)
{
    LoginFixture f;
    {
        Connection c = OpenDataFile(f.app.state.store);
        c.exec("DELETE FROM login_pwd");
    }
    f.login.activate();
    f.submit("admin", "123456");
    EXPECT_EQ(f.loggedIn.count(), 0);
    EXPECT_EQ(f.app.messages->lastText(), "用户名和密码不正确，请重新输入！");
}

TEST(Login, ActivationReloadsTheUsers)
{
    LoginFixture f;
    f.app.addUser("000002", "late", "x", "1");
    f.app.state.store.UserTable.clear();
    f.login.activate();
    f.submit("late", "x");
    EXPECT_EQ(f.loggedIn.count(), 1);
}

TEST(Login, AUserAddedWhileTheWindowWaitsCanLogIn)
{
    // Another program (or the password dialog of a running copy) added the
    // user after this window read the users.
    LoginFixture f;
    f.app.addUser("000002", "late", "x", "1");
    f.app.state.store.UserTable.clear();
    f.submit("late", "x");
    EXPECT_EQ(f.loggedIn.count(), 1);
    EXPECT_EQ(f.app.state.session.CurrentUserId, "000002");
}

TEST(Login, ComingBackFromAnotherProgramReloadsTheUsersAndKeepsTheFocus)
{
    LoginFixture f;
    f.text2()->setFocus();
    // Added by another program: this one has not read it.
    OpenDataFile(f.app.state.store).exec("INSERT INTO login_pwd VALUES ('000002', 'late', 'x', '1')");
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(f.app.state.store.UserTable.count(), 1);
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(f.app.state.store.UserTable.count(), 2);
    EXPECT_EQ(f.login.focusWidget(), f.text2());
}

TEST(Login, EnterSubmitsOnlyFromThePasswordBox)
{
    LoginFixture f;
    f.text1()->setText("admin");
    f.text2()->setText("123456");
    QTest::keyClick(f.text1(), Qt::Key_Return);
    EXPECT_EQ(f.loggedIn.count(), 0);
    EXPECT_TRUE(f.app.messages->shown.isEmpty());
    QTest::keyClick(f.text2(), Qt::Key_Return);
    EXPECT_EQ(f.loggedIn.count(), 1);
}

TEST(Login, FailedAttemptSelectsTheUserNameAndKeepsThePassword)
{
    LoginFixture f;
    f.submit("  wrong  ", "secret");
    EXPECT_EQ(f.text1()->selectionStart(), 0);
    EXPECT_EQ(f.text1()->selectedText().size(), 5);
    EXPECT_EQ(f.text2()->text(), "secret");
}

TEST(Login, PasswordShowsOneStarPerCharacter)
{
    LoginFixture f;
    f.text2()->setText("ab张3");
    EXPECT_EQ(f.text2()->displayText(), "****");
    EXPECT_EQ(f.text2()->text(), "ab张3");
}

namespace {

// A message box as the desktop shows it: it takes the activation from the
// login window and hands it back only after the box has returned.
class WindowedMessages : public FakeMessages {
public:
    QWidget *owner = nullptr;
    void show(const QString &title, const QString &text, Icon icon, const QString &detail) override
    {
        FakeMessages::show(title, text, icon, detail);
        QWidget box;
        box.show();
        box.activateWindow();
        QCoreApplication::processEvents();
        box.hide();
        QMetaObject::invokeMethod(
            owner, [w = owner] { w->activateWindow(); }, Qt::QueuedConnection);
    }
};

}   // namespace

TEST(Login, ReturningFromAMessageKeepsTheFocusWhereTheCheckPutIt)
{
    LoginFixture f;
    auto messages = std::make_shared<WindowedMessages>();
    messages->owner = &f.login;
    f.app.state.services.messages = messages;
    f.login.activateWindow();
    QCoreApplication::processEvents();

    f.submit("admin", "   ");
    QCoreApplication::processEvents();
    ASSERT_EQ(messages->lastText(), "请输入密码！");
    EXPECT_TRUE(f.login.isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), f.text2());

    f.submit("nobody", "x");
    QCoreApplication::processEvents();
    ASSERT_EQ(messages->lastText(), "用户名和密码不正确，请重新输入！");
    EXPECT_EQ(QApplication::focusWidget(), f.text1());
    EXPECT_EQ(f.text1()->selectedText(), "nobody");
}

TEST(Login, CancelAndCloseBoxEndTheProgram)
{
    {
        LoginFixture f;
        QTest::mouseClick(f.login.findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
        EXPECT_EQ(f.cancelled.count(), 1);
    }
    {
        LoginFixture f;
        f.login.close();
        EXPECT_EQ(f.cancelled.count(), 1);
        EXPECT_EQ(f.loggedIn.count(), 0);
    }
}

TEST(Login, LayoutFollowsTheTwipTable)
{
    LoginFixture f;
    EXPECT_EQ(f.login.windowTitle(), "登录");
    EXPECT_EQ(f.login.size(), QSize(421, 267));
    EXPECT_EQ(f.text1()->geometry(), QRect(132, 148, 177, 22));
    EXPECT_EQ(f.text2()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f.login.findChild<QPushButton *>("cmdOK")->text(), "确定");
    EXPECT_EQ(f.login.findChild<QLabel *>("Label3")->text(), "密  码：");
}

namespace {
class StoppedClock : public Clock {
public:
    QDateTime at{QDate(2026, 12, 9), QTime(16, 58, 30)};
    QDate today() const override { return at.date(); }
    QDateTime now() const override { return at; }
};
}   // namespace

TEST(Login, TheSixthAttemptIsRefusedEvenWithTheRightPasswordAndSaysUntilWhen)
{
    LoginFixture f;
    f.app.state.services.clock = std::make_shared<StoppedClock>();
    for (int i = 0; i < kMaxFailedLogins; ++i)
        f.submit("admin", "wrong");
    EXPECT_EQ(f.loggedIn.count(), 0);
    const QString locked = QStringLiteral("用户名“admin”连续5次登录失败，已被锁定，请于 2026-12-09 17:03:30 "
                                          "以后再试，或请管理员在“用户权限设置”中解除锁定。");
    // The fifth failure already says so.
    ASSERT_EQ(f.app.messages->shown.size(), kMaxFailedLogins);
    EXPECT_EQ(f.app.messages->shown[kMaxFailedLogins - 2].text, "用户名和密码不正确，请重新输入！");
    EXPECT_EQ(f.app.messages->lastText(), locked);
    f.submit("admin", "123456");
    EXPECT_EQ(f.loggedIn.count(), 0);
    EXPECT_EQ(f.app.messages->shown.size(), kMaxFailedLogins + 1);
    EXPECT_EQ(f.app.messages->lastText(), locked);
    EXPECT_EQ(f.app.messages->shown.last().title, "登录");
    EXPECT_EQ(f.app.messages->shown.last().icon, MessageService::Icon::Critical);
    EXPECT_EQ(f.text1()->selectedText(), "admin");
    // Another name still logs in.
    f.app.addUser("000002", "pm", "pw", "1");
    f.submit("pm", "pw");
    EXPECT_EQ(f.loggedIn.count(), 1);
}

TEST(Login, APasswordKeptAsTypedIsHashedAtLogin)
{
    LoginFixture f;
    f.app.addUser("000002", "pm", "old pw", "1");
    f.submit("pm", "old pw");
    ASSERT_EQ(f.loggedIn.count(), 1);
    Connection conn = OpenDataFile(f.app.state.store);
    Statement st = conn.prepare("SELECT Password FROM login_pwd WHERE Id = '000002'");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(OpenedBy({"000002", "pm", st.text(0), "1"}, "old pw"), QStringList({"000002", "pm", "old pw", "1"}));
    // The table in memory holds the hash, not the password.
    EXPECT_EQ(f.app.state.store.UserTable.row(1).value(2), st.text(0));
}
