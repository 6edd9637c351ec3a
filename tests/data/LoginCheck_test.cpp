#include "TestApp.h"
#include "data/PasswordHash.h"
#include "data/Users.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using V = LoginCheck::Verdict;

// A login at a moment the test chooses.
struct LoginFixture {
    TestApp app;
    QDateTime now{QDate(2026, 12, 9), QTime(9, 0, 0)};

    LoginCheck login(const QString &name, const QString &password)
    {
        const Result<LoginCheck> r = CheckLogin(app.state.store, name, password, now);
        EXPECT_TRUE(r.ok()) << r.message().toStdString();
        return r.ok() ? r.value() : LoginCheck{};
    }
    LoginCheck loginOnItsOwnConnection(const QString &name, const QString &password)
    {
        // Another start of the program: nothing held in memory.
        Connection conn = OpenDataFile(app.state.store);
        return CheckLogin(conn, name, password, now);
    }
    // The stored password of a user, read from the file itself.
    QString storedPassword(const QString &id)
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare("SELECT Password FROM login_pwd WHERE Id = ?");
        st.bind(1, id);
        return st.step() ? st.text(0) : QString("<no user>");
    }
    void failTimes(const QString &name, int times)
    {
        for (int i = 0; i < times; ++i)
            login(name, "wrong");
    }
};

// A library as the previous version wrote it: passwords kept as typed and no
// table of failed logins.
void makePreviousVersion(TestApp &app)
{
    Connection conn = OpenDataFile(app.state.store);
    conn.exec("DROP TABLE login_lock");
    conn.exec("UPDATE login_pwd SET Password = '123456'");
    conn.exec("INSERT INTO login_pwd VALUES ('000002', '张三', '旧密码', '1')");
}

}   // namespace

TEST(LoginCheck, APreviousVersionsLibraryLogsInWithOldPasswordsWhichAreThenHashed)
{
    LoginFixture f;
    makePreviousVersion(f.app);
    LoadUsers(f.app.state.store);

    const LoginCheck zhang = f.login("张三", "旧密码");
    EXPECT_EQ(zhang.verdict, V::Accepted);
    EXPECT_EQ(zhang.userId, "000002");
    EXPECT_EQ(zhang.role, 1);
    EXPECT_FALSE(zhang.initialPassword);
    // In the file: the password as typed is gone, its hash opens it.
    const QString stored = f.storedPassword("000002");
    EXPECT_TRUE(PasswordHash::IsHash(stored)) << stored.toStdString();
    EXPECT_FALSE(stored.contains("旧密码"));
    EXPECT_TRUE(PasswordHash::Matches(stored, "旧密码"));
    // The other user is untouched until their own login.
    EXPECT_EQ(f.storedPassword("000001"), "123456");

    // The hashed password keeps working, the stored text does not.
    EXPECT_EQ(f.login("张三", "旧密码").verdict, V::Accepted);
    EXPECT_EQ(f.login("张三", stored).verdict, V::Refused);
    EXPECT_EQ(f.storedPassword("000002"), stored);   // no needless rewrite

    const LoginCheck admin = f.login("admin", "123456");
    EXPECT_EQ(admin.verdict, V::Accepted);
    EXPECT_TRUE(admin.initialPassword);
    EXPECT_TRUE(PasswordHash::IsHash(f.storedPassword("000001")));
}

TEST(LoginCheck, NamesCompareExactlyAndTheFirstMatchingRowWins)
{
    LoginFixture f;
    f.app.addUser("000005", "dup", "x", "2");
    f.app.addUser("000003", "dup", "x", "0");
    f.app.addUser("000004", "trail ", "pw", "1");
    EXPECT_EQ(f.login("dup", "x").userId, "000003");
    EXPECT_EQ(f.login("Dup", "x").verdict, V::Refused);
    EXPECT_EQ(f.login("trail", "pw").verdict, V::Refused);
    EXPECT_EQ(f.login("trail ", "pw").verdict, V::Accepted);
    EXPECT_EQ(f.login("admin", "123456").verdict, V::Accepted);
}

TEST(LoginCheck, FiveFailuresLockTheNameForFiveMinutesEvenAgainstTheRightPassword)
{
    LoginFixture f;
    f.app.addUser("000002", "pm", "pw", "1");
    for (int i = 1; i < kMaxFailedLogins; ++i)
        EXPECT_EQ(f.login("pm", "wrong").verdict, V::Refused) << i;
    const LoginCheck fifth = f.login("pm", "wrong");
    EXPECT_EQ(fifth.verdict, V::Locked);
    EXPECT_EQ(fifth.lockedUntil, f.now.addSecs(5 * 60));

    // The sixth attempt, with the right password, is refused.
    const LoginCheck sixth = f.login("pm", "pw");
    EXPECT_EQ(sixth.verdict, V::Locked);
    EXPECT_EQ(sixth.lockedUntil, f.now.addSecs(5 * 60));
    // Another name is not locked.
    EXPECT_EQ(f.login("admin", "123456").verdict, V::Accepted);

    // Tries during the lock do not lengthen it.
    f.now = f.now.addSecs(4 * 60 + 59);
    EXPECT_EQ(f.login("pm", "wrong").lockedUntil, f.now.addSecs(1));
    EXPECT_EQ(f.login("pm", "pw").verdict, V::Locked);
    // When it ends the right password logs in, and the count starts afresh.
    f.now = f.now.addSecs(1);
    EXPECT_EQ(f.login("pm", "pw").verdict, V::Accepted);
    f.failTimes("pm", kMaxFailedLogins - 1);
    EXPECT_EQ(f.login("pm", "pw").verdict, V::Accepted);
}

TEST(LoginCheck, TheLockIsInTheLibraryAndOutlivesARestart)
{
    LoginFixture f;
    f.failTimes("admin", kMaxFailedLogins);
    // A new start: its own connection and store.
    EXPECT_EQ(f.loginOnItsOwnConnection("admin", "123456").verdict, V::Locked);
    TestApp::Colleague colleague(f.app);
    const Result<QDateTime> until = LoginLockedUntil(colleague.store, "admin", f.now);
    ASSERT_TRUE(until.ok());
    EXPECT_EQ(*until, f.now.addSecs(300));
    // Kept as UTC text, the same moment wherever it is read.
    Connection conn = OpenDataFile(f.app.state.store);
    Statement st = conn.prepare("SELECT Failed_count, Locked_until FROM login_lock WHERE User_name = 'admin'");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.text(0).toInt(), 5);
    EXPECT_EQ(st.text(1), f.now.addSecs(300).toUTC().toString("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

TEST(LoginCheck, ASuccessClearsTheCountAndUnknownNamesAreCountedToo)
{
    LoginFixture f;
    f.failTimes("admin", kMaxFailedLogins - 1);
    EXPECT_EQ(f.login("admin", "123456").verdict, V::Accepted);
    f.failTimes("admin", kMaxFailedLogins - 1);
    EXPECT_EQ(f.login("admin", "123456").verdict, V::Accepted);

    // A name nobody has is locked the same way: the answer does not tell
    // which names exist.
    f.failTimes("nobody", kMaxFailedLogins - 1);
    EXPECT_EQ(f.login("nobody", "x").verdict, V::Locked);
}

TEST(LoginCheck, TheAdministratorUnlocksAndANewPasswordUnlocksToo)
{
    LoginFixture f;
    f.app.addUser("000002", "pm", "pw", "1");
    f.failTimes("pm", kMaxFailedLogins);
    ASSERT_EQ(f.login("pm", "pw").verdict, V::Locked);

    UserChange unlock;
    unlock.kind = UserChange::Kind::Unlock;
    unlock.userId = "000002";
    // Only an administrator may.
    EXPECT_EQ(ApplyUserChange(f.app.state.store, "000002", unlock).problem, UserProblem::NotAdministrator);
    EXPECT_EQ(f.login("pm", "pw").verdict, V::Locked);
    EXPECT_EQ(ApplyUserChange(f.app.state.store, "000001", unlock).problem, UserProblem::None);
    EXPECT_EQ(f.login("pm", "pw").verdict, V::Accepted);

    f.failTimes("pm", kMaxFailedLogins);
    UserChange reset;
    reset.kind = UserChange::Kind::ResetPassword;
    reset.userId = "000002";
    reset.password = "neu";
    EXPECT_EQ(ApplyUserChange(f.app.state.store, "000001", reset).problem, UserProblem::None);
    EXPECT_EQ(f.login("pm", "neu").verdict, V::Accepted);
}

TEST(LoginCheck, TheIdleLocksCheckOpensOnlyForThatUserAndCountsFailures)
{
    LoginFixture f;
    f.app.addUser("000002", "pm", "pw", "1");
    auto check = [&](const QString &id, const QString &pw) {
        const Result<LoginCheck> r = CheckUserPassword(f.app.state.store, id, pw, f.now);
        EXPECT_TRUE(r.ok());
        return r.ok() ? r->verdict : V::Refused;
    };
    EXPECT_EQ(check("000002", "pw"), V::Accepted);
    // The administrator's password does not open the project manager's lock.
    EXPECT_EQ(check("000002", "123456"), V::Refused);
    for (int i = 2; i < kMaxFailedLogins; ++i)
        EXPECT_EQ(check("000002", "wrong"), V::Refused);
    EXPECT_EQ(check("000002", "wrong"), V::Locked);
    // Counted against the user's name: the login window is locked too.
    EXPECT_EQ(f.login("pm", "pw").verdict, V::Locked);
    EXPECT_EQ(check("000002", "pw"), V::Locked);
}

TEST(LoginCheck, NewAndChangedPasswordsAreStoredHashed)
{
    LoginFixture f;
    EXPECT_TRUE(PasswordHash::IsHash(f.storedPassword("000001")));   // a new library's administrator
    UserChange add;
    add.kind = UserChange::Kind::Add;
    add.name = "leader";
    add.password = "s3cret";
    add.role = 2;
    const UserChangeResult added = ApplyUserChange(f.app.state.store, "000001", add);
    ASSERT_EQ(added.problem, UserProblem::None);
    EXPECT_TRUE(PasswordHash::Matches(f.storedPassword(added.userId), "s3cret"));
    EXPECT_TRUE(PasswordHash::IsHash(f.storedPassword(added.userId)));
    ASSERT_TRUE(ChangeCredentials(f.app.state.store, "000001", "admin", "新密码"));
    EXPECT_TRUE(PasswordHash::IsHash(f.storedPassword("000001")));
    EXPECT_EQ(f.login("admin", "新密码").verdict, V::Accepted);
    EXPECT_FALSE(f.login("admin", "新密码").initialPassword);
    EXPECT_EQ(f.login("admin", "123456").verdict, V::Refused);
}

TEST(LoginCheck, LockedTextSaysUntilWhen)
{
    const QDateTime until(QDate(2026, 12, 9), QTime(9, 5, 0));
    const QString text = LockedLoginText("pm", until);
    EXPECT_TRUE(text.contains("2026-12-09 09:05:00")) << text.toStdString();
    EXPECT_TRUE(text.contains("pm"));
}
