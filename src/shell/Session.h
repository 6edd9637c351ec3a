#pragma once

#include <QString>
#include <QStringList>

class TextTable;

// Who is logged in: set once by a successful login.
struct Session {
    QString CurrentUserId;
    int CurrentUserRole = -1;   // 0 administrator; any other value has restricted rights
    QStringList RoleNames;
    // Logged in with the initial password: the main window asks for a new
    // one, at every login until it is changed.
    bool PasswordChangeDue = false;
    bool isAdministrator() const { return CurrentUserRole == 0; }
};

void InitRoleNames(Session &session);
// The logged-in user's name in the user table (the operator of a stored
// draw); the Id when the table does not hold it.
QString CurrentUserName(const Session &session, const TextTable &users);
