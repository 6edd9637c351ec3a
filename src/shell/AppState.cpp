#include "shell/AppState.h"

#include "data/Users.h"

void InitRoleNames(AppState &state) { state.RoleNames = RoleNameList(); }

void StartNewDraw(AppState &state)
{
    state.DrawList.clear();
    state.DrawRecord.clear();
}

QString CurrentUserName(const AppState &state)
{
    const TextTable &users = state.UserTable;
    for (qsizetype r = 0; r < users.count(); ++r)
        if (users.cell(r, 0) == state.CurrentUserId)
            return users.cell(r, 1).toString();
    return state.CurrentUserId;
}

void InitPathTitles(AppState &state)
{
    state.PathTitles = QVector<QStringList>(kScreenCount + 1, QStringList(kPathLevels, QString()));
    for (const ScreenDef &row : kScreens)
        for (size_t level = 0; level < row.titles.size(); ++level)
            state.PathTitles[ScreenNumber(row.id)][level] = QString::fromUtf8(row.titles[level]);
    state.CurrentScreen = 1;
}

QString BuildPath(const AppState &state)
{
    if (state.CurrentScreen < 1 || state.CurrentScreen >= state.PathTitles.size())
        return QString();
    const QStringList &row = state.PathTitles[state.CurrentScreen];
    QString path = row.value(0);
    for (int level = 1; level < kPathLevels; ++level) {
        const QString title = row.value(level);
        if (!title.trimmed().isEmpty())
            path += QStringLiteral(" -> ") + title;
    }
    return path;
}
