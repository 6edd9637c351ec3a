#include "shell/AppState.h"

#include "data/Users.h"

void InitRoleNames(AppState &state)
{
    state.RoleNames = RoleNameList();
}

void StartNewDraw(AppState &state)
{
    state.DrawList.clear();
    state.DrawRecord.clear();
}

QString CurrentUserName(const AppState &state)
{
    for (const QStringList &user : state.UserTable.rows)
        if (user.value(0) == state.CurrentUserId)
            return user.value(1);
    return state.CurrentUserId;
}

void InitPathTitles(AppState &state)
{
    static const char *const rows[kScreenCount][3] = {
        {"用户权限设置", "", ""},
        {"部门设置", "", ""},
        {"员工设置", "", ""},
        {"专家类别设置", "", ""},
        {"专家列表", "", ""},
        {"专家列表", "修改", ""},
        {"专家列表", "查看", ""},
        {"新建专家", "", ""},
        {"专家高级检索", "", ""},
        {"专家高级检索", "查看", ""},
        {"项目列表", "", ""},
        {"项目列表", "查看", ""},
        {"抽取专家", "抽取专家结果", ""},
        {"抽取专家", "抽取专家结果", "新建临时专家"},
        {"抽取专家", "", ""},
        {"历史抽取专家记录", "", ""},
        {"项目检索", "查看", ""},
        {"我的项目", "", ""},
        {"我的项目", "归档", ""},
        {"专家详细日志", "", ""},
        {"专家列表", "查看", "参与项目"},
        {"专家高级检索", "查看", "参与项目"},
        {"项目列表", "继续", ""},
        {"项目列表", "修改", "新建临时专家"},
        {"项目列表", "修改", "抽取专家结果"},
        {"数据的导入与导出", "", ""},
        {"参评类别设置", "", ""},
        {"参评专业设置", "", ""},
        {"职称设置", "", ""},
        {"城市设置", "", ""},
    };
    state.PathTitles = QVector<QStringList>(kScreenCount + 1, QStringList(kPathLevels, QString()));
    for (int n = 1; n <= kScreenCount; ++n)
        for (int level = 0; level < 3; ++level)
            state.PathTitles[n][level] = QString::fromUtf8(rows[n - 1][level]);
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
