#include "data/Users.h"

#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/TextWidth.h"

QStringList RoleNameList()
{
    return {QStringLiteral("管理员"), QStringLiteral("项目经理"), QStringLiteral("公司领导")};
}

int RoleFromLimits(const QString &limits)
{
    bool ok = false;
    const int role = limits.trimmed().toInt(&ok);
    return ok && role >= 0 && role <= 2 ? role : -1;
}

LoginMatch CheckCredentials(const TextTable &users, const QString &userName, const QString &password)
{
    for (qsizetype r = 0; r < users.count(); ++r) {
        const QStringList &row = users.rows[r];
        if (row.value(2) == password && row.value(1) == userName)
            return {true, row.value(0), RoleFromLimits(row.value(3))};
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
    for (const QStringList &row : users.rows)
        if (row.value(1) == name && row.value(0) != userId)
            return CredentialProblem::NameTaken;
    return CredentialProblem::None;
}

bool ChangeCredentials(const DataStore &store, const QString &userId, const QString &name, const QString &password)
{
    Connection conn = OpenDataFile(store);
    Recordset rs(conn, Schema::LoginPwd());
    rs.findFirst(QStringLiteral("Id"), userId);
    if (rs.noMatch())
        return false;
    rs.edit();
    rs.setField(1, CutToWidth(name, kUserNameWidth));
    rs.setField(2, CutToWidth(password, kPasswordWidth));
    rs.update();
    rs.close();
    return true;
}
