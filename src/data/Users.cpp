#include "data/Users.h"

#include "data/AuditLog.h"

#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/TextWidth.h"

QStringList RoleNameList()
{
    return {QStringLiteral("管理员"), QStringLiteral("项目经理"), QStringLiteral("公司领导")};
}

int RoleFromLimits(QStringView limits)
{
    bool ok = false;
    const int role = limits.trimmed().toInt(&ok);
    return ok && role >= 0 && role <= 2 ? role : -1;
}

LoginMatch CheckCredentials(const TextTable &users, const QString &userName, const QString &password)
{
    for (qsizetype r = 0; r < users.count(); ++r) {
        if (users.cell(r, 2) == password && users.cell(r, 1) == userName)
            return {true, users.cell(r, 0).toString(), RoleFromLimits(users.cell(r, 3))};
    }
    return {};
}

CredentialProblem CheckNewCredentials(const TextTable &users, const QString &userId, const QString &name,
                                      const QString &password)
{
    if (CutToWidth(name, kUserNameWidth) != name)
        return CredentialProblem::NameTooLong;
    if (CutToWidth(password, kPasswordWidth) != password)
        return CredentialProblem::PasswordTooLong;
    for (qsizetype r = 0; r < users.count(); ++r)
        if (users.cell(r, 1) == name && users.cell(r, 0) != userId)
            return CredentialProblem::NameTaken;
    return CredentialProblem::None;
}

bool ChangeCredentials(const DataStore &store, const QString &userId, const QString &name, const QString &password)
{
    Connection &conn = LibraryConnection(store);
    Transaction tx(conn);
    Recordset rs(conn, Schema::LoginPwd());
    rs.findFirst(QStringLiteral("Id"), userId);
    if (rs.noMatch())
        return false;
    rs.edit();
    rs.setField(1, CutToWidth(name, kUserNameWidth));
    rs.setField(2, CutToWidth(password, kPasswordWidth));
    rs.update();
    rs.close();
    AppendAudit(conn, store.operatorName, AuditKind::PasswordChange, userId, {{"name", name}});
    tx.commit();
    return true;
}

namespace {

// Row of the user, or -1.
qsizetype findUser(const TextTable &users, const QString &userId)
{
    for (qsizetype r = 0; r < users.count(); ++r)
        if (users.cell(r, 0) == userId)
            return r;
    return -1;
}

bool isAdministrator(const TextTable &users, qsizetype row)
{
    return RoleFromLimits(users.cell(row, 3)) == kAdministratorRole;
}

int administratorCount(const TextTable &users)
{
    int n = 0;
    for (qsizetype r = 0; r < users.count(); ++r)
        n += isAdministrator(users, r) ? 1 : 0;
    return n;
}

bool validRole(int role) { return role >= 0 && role < RoleNameList().size(); }

UserProblem checkPassword(const QString &password)
{
    if (password.isEmpty())
        return UserProblem::PasswordEmpty;
    if (CutToWidth(password, kPasswordWidth) != password)
        return UserProblem::PasswordTooLong;
    return UserProblem::None;
}

}   // namespace

UserProblem CheckUserChange(const TextTable &users, const QString &currentUserId, const UserChange &change)
{
    const qsizetype current = findUser(users, currentUserId);
    if (current < 0 || !isAdministrator(users, current))
        return UserProblem::NotAdministrator;

    if (change.kind == UserChange::Kind::Add) {
        if (change.name.isEmpty())
            return UserProblem::NameEmpty;
        if (CutToWidth(change.name, kUserNameWidth) != change.name)
            return UserProblem::NameTooLong;
        if (const UserProblem p = checkPassword(change.password); p != UserProblem::None)
            return p;
        if (!validRole(change.role))
            return UserProblem::UnknownRole;
        for (qsizetype r = 0; r < users.count(); ++r)
            if (users.cell(r, 1) == change.name)
                return UserProblem::NameTaken;
        return UserProblem::None;
    }

    const qsizetype user = findUser(users, change.userId);
    if (user < 0)
        return UserProblem::NoSuchUser;
    switch (change.kind) {
    case UserChange::Kind::ResetPassword:
        return checkPassword(change.password);
    case UserChange::Kind::ChangeRole:
        if (!validRole(change.role))
            return UserProblem::UnknownRole;
        if (change.userId == currentUserId)
            return UserProblem::CurrentUser;
        if (isAdministrator(users, user) && change.role != kAdministratorRole && administratorCount(users) <= 1)
            return UserProblem::LastAdministrator;
        return UserProblem::None;
    case UserChange::Kind::Delete:
        if (change.userId == currentUserId)
            return UserProblem::CurrentUser;
        if (isAdministrator(users, user) && administratorCount(users) <= 1)
            return UserProblem::LastAdministrator;
        return UserProblem::None;
    case UserChange::Kind::Add:
        break;
    }
    return UserProblem::None;
}

QString NextUserId(const TextTable &users)
{
    // Ids are six digits; one that is no number (typed by hand into an old
    // file) cannot collide with a number and is passed over.
    qlonglong maximum = 0;
    for (qsizetype r = 0; r < users.count(); ++r) {
        bool ok = false;
        const qlonglong id = users.cell(r, 0).trimmed().toLongLong(&ok);
        if (ok && id > maximum)
            maximum = id;
    }
    return QStringLiteral("%1").arg(maximum + 1, 6, 10, QLatin1Char('0'));
}

UserChangeResult ApplyUserChange(const DataStore &store, const QString &currentUserId, const UserChange &change)
{
    Connection &conn = LibraryConnection(store);
    Transaction transaction(conn);
    // The rules are checked against the file as it is inside the
    // transaction, not against a copy that may be older.
    TextTable users;
    {
        Recordset rs(conn, Schema::LoginPwd());
        while (!rs.eof()) {
            users.append({rs.field(0), rs.field(1), rs.field(2), rs.field(3)});
            rs.moveNext();
        }
    }
    UserChangeResult result;
    result.problem = CheckUserChange(users, currentUserId, change);
    if (result.problem != UserProblem::None)
        return result;

    Recordset rs(conn, Schema::LoginPwd());
    if (change.kind == UserChange::Kind::Add) {
        result.userId = NextUserId(users);
        rs.addNew();
        rs.setField(0, result.userId);
        rs.setField(1, CutToWidth(change.name, kUserNameWidth));
        rs.setField(2, CutToWidth(change.password, kPasswordWidth));
        rs.setField(3, QString::number(change.role));
        rs.update();
    } else {
        result.userId = change.userId;
        rs.findFirst(QStringLiteral("Id"), change.userId);
        if (rs.noMatch()) {
            result.problem = UserProblem::NoSuchUser;
            return result;
        }
        switch (change.kind) {
        case UserChange::Kind::ChangeRole:
            rs.edit();
            rs.setField(3, QString::number(change.role));
            rs.update();
            break;
        case UserChange::Kind::ResetPassword:
            rs.edit();
            rs.setField(2, CutToWidth(change.password, kPasswordWidth));
            rs.update();
            break;
        case UserChange::Kind::Delete:
            rs.deleteCurrent();
            break;
        case UserChange::Kind::Add:
            break;
        }
    }
    rs.close();
    // Never the password itself.
    static const char *const kinds[] = {"add", "change_role", "reset_password", "delete"};
    AppendAudit(conn, store.operatorName, AuditKind::UserAdmin, result.userId,
                {{"change", kinds[int(change.kind)]}, {"name", change.name}, {"role", change.role}});
    transaction.commit();
    return result;
}
