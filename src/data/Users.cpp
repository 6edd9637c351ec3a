#include "data/Users.h"

#include "data/DbError.h"
#include "data/PasswordHash.h"
#include "data/AuditLog.h"

#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/TextWidth.h"

#include <QTimeZone>

#include <iterator>
#include <stdexcept>

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
        if (users.cell(r, 1) == userName && PasswordHash::Matches(users.cell(r, 2).toString(), password))
            return {true, users.cell(r, 0).toString(), RoleFromLimits(users.cell(r, 3))};
    }
    return {};
}

QString UserNameKey(const QString &name)
{
    // NFKC turns full-width letters and digits into the usual ones; case
    // folding and dropping every space (the ideographic one too) leave what
    // a reader of the list tells apart.
    const QString folded = name.normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString key;
    key.reserve(folded.size());
    for (const QChar c : folded)
        if (!c.isSpace())
            key += c;
    return key;
}

CredentialProblem CheckNewCredentials(const TextTable &users, const QString &userId, const QString &name,
                                      const QString &password)
{
    if (CutToWidth(name, kUserNameWidth) != name)
        return CredentialProblem::NameTooLong;
    if (CutToWidth(password, kPasswordWidth) != password)
        return CredentialProblem::PasswordTooLong;
    const QString key = UserNameKey(name);
    for (qsizetype r = 0; r < users.count(); ++r)
        if (UserNameKey(users.cell(r, 1).toString()) == key && users.cell(r, 0) != userId)
            return CredentialProblem::NameTaken;
    return CredentialProblem::None;
}

namespace {

QString hashOf(const QString &password)
{
    try {
        return PasswordHash::Make(password);
    } catch (const std::runtime_error &) {
        throw DbError(QStringLiteral("无法保存密码：内存不足。请关闭其他程序后重试。"));
    }
}

const QString kLockTable = QStringLiteral("login_lock");

// Times are kept in UTC in one fixed form, so that they compare as text on
// either engine and mean the same on every computer.
QString storedTime(const QDateTime &t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")); }
QDateTime readTime(const QString &text)
{
    QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
    t.setTimeZone(QTimeZone::utc());
    return t;
}

struct LockState {
    int failures = 0;
    QDateTime until;   // invalid: not locked
};

LockState readLock(Connection &conn, const QString &userName)
{
    LockState state;
    if (!conn.tableNames().contains(kLockTable))
        return state;
    Statement st =
        conn.prepare(QStringLiteral("SELECT Failed_count, Locked_until FROM login_lock WHERE User_name = ?"));
    st.bind(1, userName);
    if (st.step()) {
        state.failures = st.text(0).toInt();
        if (!st.text(1).isEmpty())
            state.until = readTime(st.text(1));
    }
    return state;
}

bool lockedAt(const LockState &state, const QDateTime &now) { return state.until.isValid() && state.until > now; }

void clearLock(Connection &conn, const QString &userName)
{
    if (!conn.tableNames().contains(kLockTable))
        return;
    Statement del = conn.prepare(QStringLiteral("DELETE FROM login_lock WHERE User_name = ?"));
    del.bind(1, userName);
    del.step();
}

// Counts one failure for the name; the state after it.
LockState countFailure(Connection &conn, const QString &userName, const QDateTime &now)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    // Locks that have ended start their names afresh, and their rows go
    // (names typed once and never again included).
    Statement ended =
        conn.prepare(QStringLiteral("DELETE FROM login_lock WHERE Locked_until <> '' AND Locked_until <= ?"));
    ended.bind(1, storedTime(now));
    ended.step();
    LockState state = readLock(conn, userName);
    if (lockedAt(state, now))
        return state;   // refused while locked: the lock is not lengthened
    ++state.failures;
    if (state.failures >= kMaxFailedLogins)
        state.until = now.addSecs(qint64(kLoginLockMinutes) * 60);
    clearLock(conn, userName);
    Statement ins =
        conn.prepare(QStringLiteral("INSERT INTO login_lock (User_name, Failed_count, Locked_until) VALUES (?, ?, ?)"));
    ins.bind(1, userName);
    ins.bindInt(2, state.failures);
    ins.bind(3, state.until.isValid() ? storedTime(state.until) : QString());
    ins.step();
    tx.commit();
    return state;
}

struct UserRow {
    QString id, name, password;
    int role = -1;
};

QList<UserRow> readUsers(Connection &conn)
{
    QList<UserRow> rows;
    Statement st = conn.prepare(QStringLiteral("SELECT Id, User_name, Password, Limits FROM login_pwd ORDER BY Id"));
    while (st.step())
        rows.append({st.text(0), st.text(1), st.text(2), RoleFromLimits(st.text(3))});
    return rows;
}

// A hash to verify against when no user has the name, so that a name that
// does not exist answers as slowly as one that does.
const QString &decoyHash()
{
    static const QString hash = PasswordHash::Make(QStringLiteral("decoy: no user has this name"));
    return hash;
}

// The check shared by the login and the idle lock: candidates are the rows
// the caller names, in Id order; lockName is whose failures count.
LoginCheck checkAgainst(Connection &conn, const QList<UserRow> &candidates, const QString &lockName,
                        const QString &password, const QDateTime &now)
{
    LoginCheck check;
    const LockState before = readLock(conn, lockName);
    if (lockedAt(before, now)) {
        check.verdict = LoginCheck::Verdict::Locked;
        check.lockedUntil = before.until;
        return check;
    }
    const UserRow *match = nullptr;
    for (const UserRow &row : candidates) {
        if (PasswordHash::Matches(row.password, password)) {
            match = &row;
            break;
        }
    }
    if (candidates.isEmpty())
        (void)PasswordHash::Matches(decoyHash(), password);
    if (!match) {
        const LockState after = countFailure(conn, lockName, now);
        if (lockedAt(after, now)) {
            check.verdict = LoginCheck::Verdict::Locked;
            check.lockedUntil = after.until;
        }
        return check;
    }
    check.verdict = LoginCheck::Verdict::Accepted;
    check.userId = match->id;
    check.role = match->role;
    check.initialPassword = password == QLatin1String(kInitialAdminPassword);
    // A successful login writes only when there is something to write:
    // an up-to-date library on a medium that cannot be written still works.
    const bool upgrade = PasswordHash::NeedsUpgrade(match->password);
    if (!upgrade && before.failures == 0)
        return check;
    const QString hashed = upgrade ? hashOf(password) : QString();
    Transaction tx(conn);
    if (upgrade) {
        // Only if nobody changed the password meanwhile.
        Statement up = conn.prepare(QStringLiteral("UPDATE login_pwd SET Password = ? WHERE Id = ? AND Password = ?"));
        up.bind(1, hashed);
        up.bind(2, match->id);
        up.bind(3, match->password);
        up.step();
    }
    clearLock(conn, lockName);
    tx.commit();
    return check;
}

}   // namespace

LoginCheck CheckLogin(Connection &conn, const QString &userName, const QString &password, const QDateTime &now)
{
    QList<UserRow> candidates = readUsers(conn);
    candidates.removeIf([&](const UserRow &row) { return row.name != userName; });
    return checkAgainst(conn, candidates, userName, password, now);
}

Result<LoginCheck> CheckLogin(const DataStore &store, const QString &userName, const QString &password,
                              const QDateTime &now)
{
    return CatchDbError([&] { return CheckLogin(LibraryConnection(store), userName, password, now); });
}

Result<LoginCheck> CheckUserPassword(const DataStore &store, const QString &userId, const QString &password,
                                     const QDateTime &now)
{
    return CatchDbError([&] {
        Connection &conn = LibraryConnection(store);
        QList<UserRow> candidates = readUsers(conn);
        candidates.removeIf([&](const UserRow &row) { return row.id != userId; });
        // A user deleted meanwhile cannot unlock; failures then count on the Id.
        const QString lockName = candidates.isEmpty() ? userId : candidates.first().name;
        if (candidates.size() > 1)
            candidates.resize(1);
        return checkAgainst(conn, candidates, lockName, password, now);
    });
}

Result<QDateTime> LoginLockedUntil(const DataStore &store, const QString &userName, const QDateTime &now)
{
    return CatchDbError([&] {
        const LockState state = readLock(LibraryConnection(store), userName);
        return lockedAt(state, now) ? state.until : QDateTime();
    });
}

QString LockedLoginText(const QString &userName, const QDateTime &until)
{
    return QStringLiteral(
               "用户名“%1”连续%2次登录失败，已被锁定，请于 %3 以后再试，或请管理员在“用户权限设置”中解除锁定。")
        .arg(userName)
        .arg(kMaxFailedLogins)
        .arg(until.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

bool ChangeCredentials(const DataStore &store, const QString &userId, const QString &name, const QString &password)
{
    const QString hashed = hashOf(CutToWidth(password, kPasswordWidth));
    Connection &conn = LibraryConnection(store);
    Transaction tx(conn);
    Recordset rs(conn, Schema::LoginPwd());
    rs.findFirst(QStringLiteral("Id"), userId);
    if (rs.noMatch())
        return false;
    rs.edit();
    rs.setField(1, CutToWidth(name, kUserNameWidth));
    rs.setField(2, hashed);
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
        const QString key = UserNameKey(change.name);
        for (qsizetype r = 0; r < users.count(); ++r)
            if (UserNameKey(users.cell(r, 1).toString()) == key)
                return UserProblem::NameTaken;
        return UserProblem::None;
    }

    const qsizetype user = findUser(users, change.userId);
    if (user < 0)
        return UserProblem::NoSuchUser;
    switch (change.kind) {
    case UserChange::Kind::ResetPassword:
        return checkPassword(change.password);
    case UserChange::Kind::Unlock:
        return UserProblem::None;
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
    // Hashing takes a good part of a second: done before the transaction
    // so that other computers are not kept waiting.
    const bool newPassword = change.kind == UserChange::Kind::Add || change.kind == UserChange::Kind::ResetPassword;
    const QString hashed =
        newPassword && !change.password.isEmpty() ? hashOf(CutToWidth(change.password, kPasswordWidth)) : QString();
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
        rs.setField(2, hashed);
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
            rs.setField(2, hashed);
            rs.update();
            // A new password given by the administrator ends a lock too.
            clearLock(conn, rs.field(1));
            break;
        case UserChange::Kind::Unlock:
            clearLock(conn, rs.field(1));
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
    static const char *const kinds[] = {"add", "change_role", "reset_password", "delete", "unlock"};
    static_assert(std::size(kinds) == int(UserChange::Kind::Unlock) + 1, "a name for every kind of change");
    AppendAudit(conn, store.operatorName, AuditKind::UserAdmin, result.userId,
                {{"change", kinds[int(change.kind)]}, {"name", change.name}, {"role", change.role}});
    transaction.commit();
    return result;
}
