#pragma once

#include "data/Tables.h"

#include <QString>
#include <QStringList>

// Roles by number: 0 administrator, 1 project manager, 2 company leader.
inline constexpr int kAdministratorRole = 0;
QStringList RoleNameList();
// Limits read as a role; anything but 0, 1 or 2 gets restricted rights (-1).
int RoleFromLimits(const QString &limits);

// Result of a credential check against the user table.
struct LoginMatch {
    bool found = false;
    QString userId;
    int role = -1;
};
// The first row whose user name and password equal the inputs exactly
// (case-sensitive; stored values are not trimmed).
LoginMatch CheckCredentials(const TextTable &users, const QString &userName, const QString &password);

// The widths login_pwd keeps, a Chinese character counting 2. A longer value
// would be stored cut and the login would then refuse what the user typed.
inline constexpr int kUserNameWidth = 100;
inline constexpr int kPasswordWidth = 20;

enum class CredentialProblem { None, NameTooLong, PasswordTooLong, NameTaken };
// Whether the user userId may take this name and password: both within the
// widths, and the name not used by another user.
CredentialProblem CheckNewCredentials(const TextTable &users, const QString &userId, const QString &name,
                                      const QString &password);

// Stores the user's new name and password. False, with nothing written, when
// the file holds no user with that Id. Throws DbError. Does not reload.
bool ChangeCredentials(const DataStore &store, const QString &userId, const QString &name, const QString &password);
