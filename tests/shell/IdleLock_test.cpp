#include "TestApp.h"
#include "admin/frmChangePwd.h"
#include "data/LibrarySettings.h"
#include "data/Users.h"
#include "shell/IdleLock.h"
#include "shell/MDIFrm.h"
#include "shell/frmLogin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr qint64 kMinute = 60 * 1000;

// A wall clock the test moves (for the lock of failed attempts).
class MovableClock : public Clock {
public:
    QDateTime at{QDate(2026, 12, 9), QTime(9, 0, 0)};
    QDate today() const override { return at.date(); }
    QDateTime now() const override { return at; }
};

struct IdleFixture {
    TestApp app;
    std::shared_ptr<MovableClock> wall = std::make_shared<MovableClock>();
    std::unique_ptr<MDIFrm> main;
    qint64 msecs = 0;

    explicit IdleFixture(const QString &minutes = QString())
    {
        app.state.services.clock = wall;
        app.addUser("000002", "pm", "pw", "1");
        if (!minutes.isNull())
            EXPECT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::IdleLockMinutes, minutes).ok());
        main = std::make_unique<MDIFrm>(app.state, AllScreens());
        main->endProgram = [] {};
        main->resize(1280, 900);
        main->show();
        main->start();
        lock().setClock([this] { return msecs; });
    }
    IdleLock &lock() { return *main->idleLock(); }
    QLineEdit *passwordBox() { return lock().lockScreen()->findChild<QLineEdit *>("txtLockPwd"); }
    bool unlockWith(const QString &password)
    {
        passwordBox()->setText(password);
        QTest::mouseClick(lock().lockScreen()->findChild<QPushButton *>("cmdUnlock"), Qt::LeftButton);
        return !lock().isLocked();
    }
    void idleFor(qint64 ms)
    {
        msecs += ms;
        lock().check();
    }
};

}   // namespace

TEST(IdleLock, LocksAfterTheDefaultFifteenMinutesWithoutInput)
{
    IdleFixture f;
    EXPECT_EQ(f.lock().minutes(), 15);
    f.idleFor(15 * kMinute - 1);
    EXPECT_FALSE(f.lock().isLocked());
    f.idleFor(1);
    ASSERT_TRUE(f.lock().isLocked());
    QWidget *screen = f.lock().lockScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->isVisible());
    EXPECT_EQ(screen->windowModality(), Qt::ApplicationModal);
    // It covers the main window.
    EXPECT_TRUE(screen->geometry().contains(f.main->geometry()));
    // It names the logged-in user; the name cannot be typed over.
    EXPECT_EQ(screen->findChild<QLabel *>("labLockUser")->text(), "admin");
    EXPECT_EQ(screen->findChildren<QLineEdit *>().size(), 1);
}

TEST(IdleLock, InputPutsTheLockOff)
{
    IdleFixture f;
    f.idleFor(10 * kMinute);
    QTest::keyClick(f.main.get(), Qt::Key_Shift);
    f.idleFor(10 * kMinute);
    EXPECT_FALSE(f.lock().isLocked());
    QTest::mouseClick(f.main->centralWidget(), Qt::LeftButton);
    f.idleFor(14 * kMinute);
    EXPECT_FALSE(f.lock().isLocked());
    f.idleFor(kMinute);
    EXPECT_TRUE(f.lock().isLocked());
}

TEST(IdleLock, TheLibrarysSettingDecidesAndZeroNeverLocks)
{
    {
        IdleFixture f("3");
        f.idleFor(3 * kMinute);
        EXPECT_TRUE(f.lock().isLocked());
    }
    {
        IdleFixture f("0");
        f.idleFor(24 * 60 * kMinute);
        EXPECT_FALSE(f.lock().isLocked());
        // Changed while the program runs: holds from the next look.
        ASSERT_TRUE(WriteLibrarySetting(f.app.state.store, LibrarySetting::IdleLockMinutes, "5").ok());
        f.idleFor(0);
        EXPECT_EQ(f.lock().minutes(), 5);
        EXPECT_TRUE(f.lock().isLocked());
    }
}

TEST(IdleLock, OnlyTheCurrentUsersPasswordUnlocksAndNothingIsLost)
{
    IdleFixture f;
    f.app.state.draw.DrawUnsaved = true;
    f.main->openScreen(ScreenId::ExpertList);
    ChildScreen *screen = f.main->screen("frmExpertList");
    ASSERT_NE(screen, nullptr);
    f.idleFor(15 * kMinute);
    ASSERT_TRUE(f.lock().isLocked());

    EXPECT_FALSE(f.unlockWith("pw"));   // another user's password
    EXPECT_EQ(f.app.messages->lastText(), "密码不正确，请重新输入！");
    EXPECT_FALSE(f.unlockWith(""));
    EXPECT_EQ(f.app.messages->lastText(), "请输入密码！");
    EXPECT_TRUE(f.unlockWith("123456"));
    EXPECT_FALSE(f.lock().lockScreen()->isVisible());
    EXPECT_TRUE(f.passwordBox()->text().isEmpty());
    // The same screens, the draw still unsaved.
    EXPECT_EQ(f.main->screen("frmExpertList"), screen);
    EXPECT_TRUE(f.app.state.draw.DrawUnsaved);
    EXPECT_EQ(f.app.state.session.CurrentUserId, "000001");
    // And the time starts again.
    f.idleFor(15 * kMinute - 1);
    EXPECT_FALSE(f.lock().isLocked());
}

TEST(IdleLock, WrongPasswordsAtTheLockCountTowardTheLockout)
{
    IdleFixture f;
    f.idleFor(15 * kMinute);
    for (int i = 1; i < kMaxFailedLogins; ++i)
        EXPECT_FALSE(f.unlockWith("wrong"));
    EXPECT_FALSE(f.unlockWith("wrong"));
    const QDateTime until = f.wall->at.addSecs(300);
    EXPECT_EQ(f.app.messages->lastText(), LockedLoginText("admin", until));
    // Even the right password waits for the end of the lock.
    EXPECT_FALSE(f.unlockWith("123456"));
    EXPECT_EQ(f.app.messages->lastText(), LockedLoginText("admin", until));
    const Result<LoginCheck> atLogin = CheckLogin(f.app.state.store, "admin", "123456", f.wall->at);
    ASSERT_TRUE(atLogin.ok());
    EXPECT_EQ(atLogin->verdict, LoginCheck::Verdict::Locked);
    f.wall->at = until;
    EXPECT_TRUE(f.unlockWith("123456"));
}

TEST(ForcedPasswordChange, TheDialogOpensOverTheMainWindowAfterALoginWithTheInitialPassword)
{
    for (const bool due : {true, false}) {
        TestApp app;
        app.state.session.PasswordChangeDue = due;
        MDIFrm main(app.state, AllScreens());
        main.endProgram = [] {};
        int asked = 0;
        QWidget *owner = nullptr;
        main.askNewPassword = [&](QWidget *w) {
            ++asked;
            owner = w;
        };
        main.show();
        main.start();
        EXPECT_EQ(asked, 0);   // once the main window is on the screen
        QCoreApplication::processEvents();
        EXPECT_EQ(asked, due ? 1 : 0);
        if (due)
            EXPECT_EQ(owner, &main);
    }
}

TEST(ForcedPasswordChange, TheLoginSaysWhetherTheInitialPasswordIsStillInUse)
{
    TestApp app;
    app.addUser("000002", "pm", "123456", "1");
    app.addUser("000003", "lead", "own", "2");
    struct Case {
        QString name, password;
        bool due;
    } cases[] = {{"admin", "123456", true}, {"pm", "123456", true}, {"lead", "own", false}};
    for (const Case &c : cases) {
        app.state.session.PasswordChangeDue = !c.due;
        frmLogin login(app.state);
        login.show();
        login.findChild<QLineEdit *>("Text1")->setText(c.name);
        login.findChild<QLineEdit *>("Text2")->setText(c.password);
        QTest::mouseClick(login.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
        EXPECT_EQ(app.state.session.PasswordChangeDue, c.due) << c.name.toStdString();
    }
}

TEST(ForcedPasswordChange, TheDialogSaysWhyAndAChangeEndsTheRequest)
{
    TestApp app;
    app.state.session.PasswordChangeDue = true;
    frmChangePwd dialog(app.state, nullptr);
    dialog.setReason("您仍在使用初始密码，请设置新的密码。");
    dialog.show();
    auto *reason = dialog.findChild<QLabel *>("labReason");
    ASSERT_NE(reason, nullptr);
    EXPECT_TRUE(reason->isVisible());
    EXPECT_EQ(reason->textFormat(), Qt::PlainText);
    // Above the first box, inside the dialog.
    EXPECT_LE(reason->geometry().bottom(), dialog.findChild<QLineEdit *>("txtUser")->geometry().top());

    // Choosing 123456 again changes nothing: asked again at the next login.
    dialog.findChild<QLineEdit *>("txtPwd")->setText("123456");
    dialog.findChild<QLineEdit *>("txtPwdCheck")->setText("123456");
    dialog.cmdOK_Click();
    EXPECT_TRUE(app.state.session.PasswordChangeDue);

    frmChangePwd again(app.state, nullptr);
    again.show();
    EXPECT_EQ(again.findChild<QLabel *>("labReason"), nullptr);   // opened from the menu: no reason
    again.findChild<QLineEdit *>("txtPwd")->setText("n3u");
    again.findChild<QLineEdit *>("txtPwdCheck")->setText("n3u");
    again.cmdOK_Click();
    EXPECT_FALSE(app.state.session.PasswordChangeDue);
}
