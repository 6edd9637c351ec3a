#include "TestApp.h"
#include "data/Users.h"

#include <gtest/gtest.h>

namespace {

// The current user 000001 and a second administrator, a project manager and
// a user whose Limits the program does not know.
TextTable sampleUsers()
{
    TextTable t;
    t.append({"000001", "admin", "123456", "0"});
    t.append({"000002", "boss", "pw", "0"});
    t.append({"000005", "mgr", "pw", "1"});
    t.append({"000007", "odd ", "pw", "9"});
    return t;
}

UserChange add(const QString &name, const QString &password, int role)
{
    UserChange c;
    c.kind = UserChange::Kind::Add;
    c.name = name;
    c.password = password;
    c.role = role;
    return c;
}

UserChange onUser(UserChange::Kind kind, const QString &id, int role = -1, const QString &password = {})
{
    UserChange c;
    c.kind = kind;
    c.userId = id;
    c.role = role;
    c.password = password;
    return c;
}

struct RuleCase {
    const char *name;
    TextTable users;
    QString currentUser;
    UserChange change;
    UserProblem expected;
};

TextTable onlyAdmin()
{
    TextTable t;
    t.append({"000001", "admin", "123456", "0"});
    t.append({"000002", "mgr", "pw", "1"});
    return t;
}

using K = UserChange::Kind;
using P = UserProblem;

}   // namespace

TEST(UserRules, TableOfCases)
{
    const QString han50 = QString(50, QChar(0x5F20));   // 张: two units each
    const RuleCase cases[] = {
        {"add a project manager", sampleUsers(), "000001", add("li", "pw", 1), P::None},
        {"add with an empty name", sampleUsers(), "000001", add("", "pw", 1), P::NameEmpty},
        {"add a name in use", sampleUsers(), "000001", add("mgr", "pw", 2), P::NameTaken},
        // Names a reader of the list would take for one are one name.
        {"a name in use in other case", sampleUsers(), "000001", add("Mgr", "pw", 2), P::NameTaken},
        {"a name in use in full-width letters", sampleUsers(), "000001", add("ｍｇｒ", "pw", 2), P::NameTaken},
        {"a name in use with an inner space", sampleUsers(), "000001", add("m gr", "pw", 2), P::NameTaken},
        {"a name in use with an ideographic space", sampleUsers(), "000001", add("mg\u3000r", "pw", 2), P::NameTaken},
        {"a stored name's trailing space", sampleUsers(), "000001", add("odd", "pw", 2), P::NameTaken},
        {"a name that only shares letters", sampleUsers(), "000001", add("mgr2", "pw", 2), P::None},
        {"100 units of name", sampleUsers(), "000001", add(han50, "pw", 1), P::None},
        {"101 units of name", sampleUsers(), "000001", add(han50 + "x", "pw", 1), P::NameTooLong},
        {"20 units of password", sampleUsers(), "000001", add("li", QString(10, QChar(0x5F20)), 1), P::None},
        {"21 units of password", sampleUsers(), "000001", add("li", QString(21, 'a'), 1), P::PasswordTooLong},
        {"add without password", sampleUsers(), "000001", add("li", "", 1), P::PasswordEmpty},
        {"add without a role", sampleUsers(), "000001", add("li", "pw", -1), P::UnknownRole},
        {"add with a role beyond the three", sampleUsers(), "000001", add("li", "pw", 3), P::UnknownRole},
        {"a non-administrator changes nothing", sampleUsers(), "000005", add("li", "pw", 1), P::NotAdministrator},
        {"a user not in the table changes nothing", sampleUsers(), "000099", add("li", "pw", 1), P::NotAdministrator},

        {"promote a manager", sampleUsers(), "000001", onUser(K::ChangeRole, "000005", 0), P::None},
        {"demote the other administrator", sampleUsers(), "000001", onUser(K::ChangeRole, "000002", 2), P::None},
        {"demote oneself", sampleUsers(), "000001", onUser(K::ChangeRole, "000001", 1), P::CurrentUser},
        {"the only administrator demotes himself", onlyAdmin(), "000001", onUser(K::ChangeRole, "000001", 2),
         P::CurrentUser},
        {"give an unknown role", sampleUsers(), "000001", onUser(K::ChangeRole, "000005", 7), P::UnknownRole},
        {"role of a user who is gone", sampleUsers(), "000001", onUser(K::ChangeRole, "000004", 1), P::NoSuchUser},
        {"a user with an unknown role gets a known one", sampleUsers(), "000001", onUser(K::ChangeRole, "000007", 2),
         P::None},

        {"reset a password", sampleUsers(), "000001", onUser(K::ResetPassword, "000005", -1, "new"), P::None},
        {"reset one's own password", sampleUsers(), "000001", onUser(K::ResetPassword, "000001", -1, "new"), P::None},
        {"reset to an empty password", sampleUsers(), "000001", onUser(K::ResetPassword, "000005", -1, ""),
         P::PasswordEmpty},
        {"reset to a password too long", sampleUsers(), "000001",
         onUser(K::ResetPassword, "000005", -1, QString(11, QChar(0x5F20))), P::PasswordTooLong},

        {"delete a manager", sampleUsers(), "000001", onUser(K::Delete, "000005"), P::None},
        {"delete the other administrator", sampleUsers(), "000001", onUser(K::Delete, "000002"), P::None},
        {"delete oneself", sampleUsers(), "000001", onUser(K::Delete, "000001"), P::CurrentUser},
        {"the only administrator deletes himself", onlyAdmin(), "000001", onUser(K::Delete, "000001"), P::CurrentUser},
        {"delete a user who is gone", sampleUsers(), "000001", onUser(K::Delete, "000003"), P::NoSuchUser},
    };
    for (const RuleCase &c : cases)
        EXPECT_EQ(CheckUserChange(c.users, c.currentUser, c.change), c.expected) << c.name;
}

TEST(UserRules, NewIdsFollowTheNumericMaximum)
{
    struct Case {
        QStringList ids;
        QString next;
    } cases[] = {
        {{}, "000001"},
        {{"000001"}, "000002"},
        {{"000001", "000010", "000003"}, "000011"},   // not the last row
        {{"000002", "abc", " 000004"}, "000005"},     // no number is passed over
        {{"999999", "1000000"}, "1000001"},           // text order would put 999999 last
    };
    for (const Case &c : cases) {
        TextTable users;
        for (const QString &id : c.ids)
            users.append({id, "u" + id, "pw", "1"});
        EXPECT_EQ(NextUserId(users), c.next) << c.ids.join(',').toStdString();
    }
}

namespace {

TextTable fileUsers(TestApp &app)
{
    LoadUsers(app.state.store);
    return app.state.store.UserTable;
}

}   // namespace

TEST(UserChanges, EachChangeReachesTheFile)
{
    TestApp app;
    app.addUser("000004", "mgr", "pw", "1");

    const UserChangeResult added = ApplyUserChange(app.state.store, "000001", add("leader", " pw ", 2));
    EXPECT_EQ(added.problem, P::None);
    EXPECT_EQ(added.userId, "000005");
    EXPECT_EQ(OpenedBy(fileUsers(app).toLists().last(), " pw "), QStringList({"000005", "leader", " pw ", "2"}));

    EXPECT_EQ(ApplyUserChange(app.state.store, "000001", onUser(K::ChangeRole, "000004", 0)).problem, P::None);
    EXPECT_EQ(fileUsers(app).row(1), QStringList({"000004", "mgr", "pw", "0"}));

    EXPECT_EQ(ApplyUserChange(app.state.store, "000001", onUser(K::ResetPassword, "000004", -1, "neu")).problem,
              P::None);
    EXPECT_EQ(OpenedBy(fileUsers(app).row(1), "neu"), QStringList({"000004", "mgr", "neu", "0"}));

    EXPECT_EQ(ApplyUserChange(app.state.store, "000001", onUser(K::Delete, "000004")).problem, P::None);
    const TextTable left = fileUsers(app);
    ASSERT_EQ(left.count(), 2);
    EXPECT_EQ(left.row(0).value(0), "000001");
    EXPECT_EQ(left.row(1).value(0), "000005");
}

TEST(UserChanges, ARefusedChangeWritesNothing)
{
    TestApp app;
    app.addUser("000002", "mgr", "pw", "1");
    const TextTable before = fileUsers(app);
    for (const UserChange &change : {add("mgr", "pw", 1), add("x", QString(21, 'a'), 1), onUser(K::Delete, "000001"),
                                     onUser(K::ChangeRole, "000001", 2), onUser(K::Delete, "000009")}) {
        EXPECT_NE(ApplyUserChange(app.state.store, "000001", change).problem, P::None);
        EXPECT_EQ(fileUsers(app).toLists(), before.toLists());
    }
}

TEST(UserChanges, RulesAreCheckedAgainstTheFileNotAnOlderCopy)
{
    TestApp app;
    // Someone else's change, not yet in the in-memory table.
    app.addUser("000002", "wang", "pw", "1");
    app.state.store.UserTable.removeAt(app.state.store.UserTable.count() - 1);
    EXPECT_EQ(ApplyUserChange(app.state.store, "000001", add("wang", "pw", 1)).problem, P::NameTaken);
    // A new Id after the one in the file, not after the older copy.
    const UserChangeResult r = ApplyUserChange(app.state.store, "000001", add("li", "pw", 1));
    EXPECT_EQ(r.problem, P::None);
    EXPECT_EQ(r.userId, "000003");
}

TEST(UserChanges, AnAddedUserLogsInWithTheRole)
{
    TestApp app;
    for (int role = 0; role < 3; ++role) {
        const QString name = QStringLiteral("user%1").arg(role);
        ASSERT_EQ(ApplyUserChange(app.state.store, "000001", add(name, "secret", role)).problem, P::None);
        const LoginMatch match = CheckCredentials(fileUsers(app), name, "secret");
        EXPECT_TRUE(match.found);
        EXPECT_EQ(match.role, role);
        EXPECT_FALSE(CheckCredentials(fileUsers(app), name, "Secret").found);
    }
}

// 修改密码 lets a user take a new name: one that reads as another user's is
// refused, the user's own in another case is not.
TEST(UserRules, ANewNameThatReadsAsAnothersIsTaken)
{
    const TextTable users = sampleUsers();
    EXPECT_EQ(CheckNewCredentials(users, "000005", "ＢＯＳＳ", "pw"), CredentialProblem::NameTaken);
    EXPECT_EQ(CheckNewCredentials(users, "000005", "b oss", "pw"), CredentialProblem::NameTaken);
    EXPECT_EQ(CheckNewCredentials(users, "000005", "MGR", "pw"), CredentialProblem::None);
    EXPECT_EQ(CheckNewCredentials(users, "000005", "manager", "pw"), CredentialProblem::None);
}
