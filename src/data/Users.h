#pragma once

#include "data/Result.h"
#include "data/Tables.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// Roles by number: 0 administrator, 1 project manager, 2 company leader.
inline constexpr int kAdministratorRole = 0;
QStringList RoleNameList();
// Limits read as a role; anything but 0, 1 or 2 gets restricted rights (-1).
int RoleFromLimits(QStringView limits);

// Result of a credential check against the user table.
struct LoginMatch {
    bool found = false;
    QString userId;
    int role = -1;
};
// The first row whose user name equals the input exactly (case-sensitive;
// stored names are not trimmed) and whose stored password, hashed or kept
// as typed, is the one typed. Counts nothing: see CheckLogin.
LoginMatch CheckCredentials(const TextTable &users, const QString &userName, const QString &password);

// Failed logins in a row that lock a user name, and for how long. Kept in
// the library (table login_lock), so a restart does not reset them.
inline constexpr int kMaxFailedLogins = 5;
inline constexpr int kLoginLockMinutes = 5;

struct LoginCheck {
    enum class Verdict {
        Accepted,
        Refused,   // wrong name or password; counted
        Locked,    // the name is locked until lockedUntil (by this failure or earlier ones)
    };
    Verdict verdict = Verdict::Refused;
    QString userId;
    int role = -1;
    QDateTime lockedUntil;
    // Accepted with the password every new library and reset starts with:
    // the user is asked to choose another.
    bool initialPassword = false;
};

// The login's check: a locked name is refused whatever the password; a
// failure counts toward the lock; a success clears the count and replaces
// a password kept as typed (or hashed at another cost) by a fresh hash.
// The slow hashing runs outside any transaction; each write is one. Throws
// DbError.
LoginCheck CheckLogin(Connection &conn, const QString &userName, const QString &password, const QDateTime &now);
Result<LoginCheck> CheckLogin(const DataStore &store, const QString &userName, const QString &password,
                              const QDateTime &now);
// The same for one user by Id (the idle lock of a logged-in user): only that
// user's password opens it, and failures count against the user's name.
Result<LoginCheck> CheckUserPassword(const DataStore &store, const QString &userId, const QString &password,
                                     const QDateTime &now);
// Until when the name is locked; invalid when it is not.
Result<QDateTime> LoginLockedUntil(const DataStore &store, const QString &userName, const QDateTime &now);
// What the login window says about a locked name.
QString LockedLoginText(const QString &userName, const QDateTime &until);

// The widths login_pwd keeps, a Chinese character counting 2. A longer value
// would be stored cut and the login would then refuse what the user typed.
inline constexpr int kUserNameWidth = 100;
inline constexpr int kPasswordWidth = 20;

enum class CredentialProblem { None, NameTooLong, PasswordTooLong, NameTaken };
// Whether the user userId may take this name and password: both within the
// widths, and the name not used by another user.
CredentialProblem CheckNewCredentials(const TextTable &users, const QString &userId, const QString &name,
                                      const QString &password);

// Stores the user's new name and password (hashed). False, with nothing written, when
// the file holds no user with that Id. Throws DbError. Does not reload.
bool ChangeCredentials(const DataStore &store, const QString &userId, const QString &name, const QString &password);

// The changes an administrator makes to the user accounts.
struct UserChange {
    // Unlock ends a lock of failed logins on the user's name.
    enum class Kind { Add, ChangeRole, ResetPassword, Delete, Unlock };
    Kind kind = Kind::Add;
    QString userId;     // the user changed; unused by Add
    QString name;       // Add
    QString password;   // Add, ResetPassword
    int role = -1;      // Add, ChangeRole: 0, 1 or 2
};

// What two user names have in common when a reader of the user list would
// take them for the same name: case, full-width forms and spaces aside
// ("Bob", "ｂｏｂ" and "b ob" are "bob").
QString UserNameKey(const QString &name);

enum class UserProblem {
    None,
    NotAdministrator,   // the user making the change is no administrator
    NoSuchUser,
    NameEmpty,
    NameTooLong,
    NameTaken,
    PasswordEmpty,
    PasswordTooLong,
    UnknownRole,
    CurrentUser,         // the logged-in user is never deleted nor given another role
    LastAdministrator,   // nor is the last administrator
};

// Whether currentUserId may make the change to the users as they are now.
// Names compare exactly (case-sensitive, stored names untrimmed); widths as
// the password dialog's.
UserProblem CheckUserChange(const TextTable &users, const QString &currentUserId, const UserChange &change);

// Id of a new user: six digits after the numeric maximum of the Ids.
QString NextUserId(const TextTable &users);

struct UserChangeResult {
    UserProblem problem = UserProblem::None;
    QString userId;   // the user changed or added
};
// Checks the change against the users in the file and makes it, in one
// transaction: nothing is written when a rule refuses it. Throws DbError.
// Does not reload UserTable.
UserChangeResult ApplyUserChange(const DataStore &store, const QString &currentUserId, const UserChange &change);
