// The demo library tool's users, as the program reads them.

#include "DemoDatabase.h"
#include "data/Database.h"
#include "data/PasswordHash.h"
#include "data/Users.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(DemoDatabase, EveryUserIsStoredHashedAndLogsInWithTheInitialPassword)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ProSys.mdb");
    WriteDemoDatabase(path, DemoOptions{.experts = 3});
    Connection conn = Connection::open(path);
    struct User {
        QString id, name, stored;
        int role;
    };
    QList<User> users;
    {
        Statement st = conn.prepare("SELECT Id, User_name, Password, Limits FROM login_pwd ORDER BY Id");
        while (st.step())
            users.append({st.text(0), st.text(1), st.text(2), st.text(3).toInt()});
    }
    ASSERT_EQ(users.size(), 3);
    const QStringList names{"admin", "manager", "leader"};
    for (qsizetype i = 0; i < users.size(); ++i) {
        const User &u = users[i];
        SCOPED_TRACE(u.name.toStdString());
        EXPECT_EQ(u.name, names[i]);
        EXPECT_EQ(u.role, int(i));
        EXPECT_TRUE(PasswordHash::IsHash(u.stored)) << "kept as typed: " << u.stored.toStdString();
        EXPECT_NE(u.stored, "123456");
        const LoginCheck check = CheckLogin(conn, u.name, "123456", QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        EXPECT_EQ(check.verdict, LoginCheck::Verdict::Accepted);
        EXPECT_EQ(check.role, int(i));
    }
    // Each hash has its own salt.
    EXPECT_NE(users[1].stored, users[2].stored);
}

}   // namespace
