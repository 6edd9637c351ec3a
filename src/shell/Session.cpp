#include "shell/Session.h"

#include "data/TextTable.h"
#include "data/Users.h"

void InitRoleNames(Session &session) { session.RoleNames = RoleNameList(); }

QString CurrentUserName(const Session &session, const TextTable &users)
{
    for (qsizetype r = 0; r < users.count(); ++r)
        if (users.cell(r, 0) == session.CurrentUserId)
            return users.cell(r, 1).toString();
    return session.CurrentUserId;
}
