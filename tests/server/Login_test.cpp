// Hashed passwords, the lock of failed logins and the idle lock on both
// backends: the file and a PostgreSQL server database.

#include "TestApp.h"
#include "data/LibrarySettings.h"
#include "data/PasswordHash.h"
#include "data/Users.h"
#include "shell/IdleLock.h"
#include "shell/MDIFrm.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using V = LoginCheck::Verdict;

class LoginOnBothBackends : public ::testing::TestWithParam<DataSource::Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == DataSource::Server && !ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        app = std::make_unique<TestApp>(GetParam());
    }
    V login(const DataStore &store, const QString &name, const QString &password)
    {
        const Result<LoginCheck> r = CheckLogin(store, name, password, now);
        EXPECT_TRUE(r.ok()) << r.message().toStdString();
        return r.ok() ? r->verdict : V::Refused;
    }
    QString storedPassword(const QString &id)
    {
        Connection conn = OpenDataFile(app->state.store);
        Statement st = conn.prepare("SELECT Password FROM login_pwd WHERE Id = ?");
        st.bind(1, id);
        return st.step() ? st.text(0) : QString("<no user>");
    }

    std::unique_ptr<TestApp> app;
    QDateTime now{QDate(2026, 12, 9), QTime(9, 0, 0)};
};

std::string backendName(const ::testing::TestParamInfo<DataSource::Kind> &info)
{
    return info.param == DataSource::Server ? "Server" : "File";
}

}   // namespace

TEST_P(LoginOnBothBackends, PlainPasswordsAreHashedAtLoginAndFailuresLockTheName)
{
    const DataStore &store = app->state.store;
    EXPECT_TRUE(PasswordHash::IsHash(storedPassword("000001")));
    // A password kept as typed, as a library of the previous version has it.
    app->addUser("000002", "经理", "旧密码", "1");
    EXPECT_EQ(login(store, "经理", "旧密码"), V::Accepted);
    const QString stored = storedPassword("000002");
    EXPECT_TRUE(PasswordHash::IsHash(stored));
    EXPECT_TRUE(PasswordHash::Matches(stored, "旧密码"));

    for (int i = 0; i < kMaxFailedLogins; ++i)
        login(store, "经理", "wrong");
    EXPECT_EQ(login(store, "经理", "旧密码"), V::Locked);
    // Another program on the same library (a restart, or a colleague) sees the lock.
    TestApp::Colleague colleague(*app);
    EXPECT_EQ(login(colleague.store, "经理", "旧密码"), V::Locked);
    now = now.addSecs(kLoginLockMinutes * 60);
    EXPECT_EQ(login(colleague.store, "经理", "旧密码"), V::Accepted);

    for (int i = 0; i < kMaxFailedLogins; ++i)
        login(store, "经理", "wrong");
    UserChange unlock;
    unlock.kind = UserChange::Kind::Unlock;
    unlock.userId = "000002";
    EXPECT_EQ(ApplyUserChange(store, "000001", unlock).problem, UserProblem::None);
    EXPECT_EQ(login(store, "经理", "旧密码"), V::Accepted);
}

TEST_P(LoginOnBothBackends, TheIdleLockOpensOnlyForTheCurrentUser)
{
    app->addUser("000002", "pm", "pw", "1");
    ASSERT_TRUE(WriteLibrarySetting(app->state.store, LibrarySetting::IdleLockMinutes, "2").ok());
    MDIFrm main(app->state, AllScreens());
    main.endProgram = [] {};
    main.show();
    main.start();
    qint64 msecs = 0;
    IdleLock &lock = *main.idleLock();
    lock.setClock([&msecs] { return msecs; });
    msecs = 2 * 60 * 1000;
    lock.check();
    ASSERT_TRUE(lock.isLocked());
    auto unlockWith = [&](const QString &password) {
        lock.lockScreen()->findChild<QLineEdit *>("txtLockPwd")->setText(password);
        QTest::mouseClick(lock.lockScreen()->findChild<QPushButton *>("cmdUnlock"), Qt::LeftButton);
        return !lock.isLocked();
    };
    EXPECT_FALSE(unlockWith("pw"));
    EXPECT_TRUE(unlockWith("123456"));
}

INSTANTIATE_TEST_SUITE_P(Backends, LoginOnBothBackends, ::testing::Values(DataSource::File, DataSource::Server),
                         backendName);
