#pragma once

#include <QString>
#include <array>
#include <cstddef>

// The windows that open in the screen area, by their form name.
enum class Form {
    None,   // a screen number that no window of this program shows
    frmDisMsg,
    frmExpertList,
    frmExpertListUpd,
    frmExpertListDis,
    frmNewExpert,
    frmSearchExpert,
    frmNewPro,
    frmNewProSelExpert,
    frmExpertHistory,
    frmDataInOut,
    frmProList,
    frmProListDis,
    frmExpertProjects,
    frmUserRights,
    frmAuditLog,
};

// "frmExpertList" for Form::frmExpertList; "" for Form::None.
QString FormName(Form form);

// Screen numbers: the rows of the path titles. CurrentScreen holds the number.
enum class ScreenId : int {
    UserRights = 1,                     // 用户权限设置
    Departments = 2,                    // 部门设置
    Staff = 3,                          // 员工设置
    ExpertCategories = 4,               // 专家类别设置
    ExpertList = 5,                     // 专家列表
    ExpertListEdit = 6,                 // 专家列表 -> 修改
    ExpertListView = 7,                 // 专家列表 -> 查看
    NewExpert = 8,                      // 新建专家
    ExpertSearch = 9,                   // 专家高级检索
    ExpertSearchView = 10,              // 专家高级检索 -> 查看
    ProjectList = 11,                   // 项目列表
    ProjectListView = 12,               // 项目列表 -> 查看
    DrawResult = 13,                    // 抽取专家 -> 抽取专家结果
    DrawResultNewTemporary = 14,        // 抽取专家 -> 抽取专家结果 -> 新建临时专家
    Draw = 15,                          // 抽取专家
    DrawHistory = 16,                   // 历史抽取专家记录
    ProjectSearchView = 17,             // 项目检索 -> 查看
    MyProjects = 18,                    // 我的项目
    MyProjectsArchive = 19,             // 我的项目 -> 归档
    ExpertLog = 20,                     // 专家详细日志
    ExpertListViewProjects = 21,        // 专家列表 -> 查看 -> 参与项目
    ExpertSearchViewProjects = 22,      // 专家高级检索 -> 查看 -> 参与项目
    ProjectListContinue = 23,           // 项目列表 -> 继续
    ProjectListEditNewTemporary = 24,   // 项目列表 -> 修改 -> 新建临时专家
    ProjectListEditDrawResult = 25,     // 项目列表 -> 修改 -> 抽取专家结果
    DataInOut = 26,                     // 数据的导入与导出
    AssessmentCategories = 27,          // 参评类别设置
    AssessmentProfessions = 28,         // 参评专业设置
    TitleLevels = 29,                   // 职称设置
    Cities = 30,                        // 城市设置
    AuditLog = 31,                      // 操作日志 (administrators)
};

constexpr int ScreenNumber(ScreenId id) { return static_cast<int>(id); }

// Rows of the path titles (1..31) and their levels.
inline constexpr int kScreenCount = 31;
inline constexpr int kPathLevels = 5;

// One row of the path titles: the screen number, its titles and the window
// that shows it. Levels 4 and 5 are empty in every row.
struct ScreenDef {
    ScreenId id;
    std::array<const char *, 3> titles;   // UTF-8; "" for an empty level
    Form form;
};

// Every row, in screen-number order: the one place where a screen number is
// tied to its path line and its window.
inline constexpr std::array<ScreenDef, kScreenCount> kScreens{{
    {ScreenId::UserRights, {"用户权限设置", "", ""}, Form::frmUserRights},
    {ScreenId::Departments, {"部门设置", "", ""}, Form::None},
    {ScreenId::Staff, {"员工设置", "", ""}, Form::None},
    {ScreenId::ExpertCategories, {"专家类别设置", "", ""}, Form::None},
    {ScreenId::ExpertList, {"专家列表", "", ""}, Form::frmExpertList},
    {ScreenId::ExpertListEdit, {"专家列表", "修改", ""}, Form::frmExpertListUpd},
    {ScreenId::ExpertListView, {"专家列表", "查看", ""}, Form::frmExpertListDis},
    {ScreenId::NewExpert, {"新建专家", "", ""}, Form::frmNewExpert},
    {ScreenId::ExpertSearch, {"专家高级检索", "", ""}, Form::frmSearchExpert},
    {ScreenId::ExpertSearchView, {"专家高级检索", "查看", ""}, Form::frmExpertListDis},
    {ScreenId::ProjectList, {"项目列表", "", ""}, Form::frmProList},
    {ScreenId::ProjectListView, {"项目列表", "查看", ""}, Form::frmProListDis},
    {ScreenId::DrawResult, {"抽取专家", "抽取专家结果", ""}, Form::frmNewPro},
    {ScreenId::DrawResultNewTemporary, {"抽取专家", "抽取专家结果", "新建临时专家"}, Form::frmNewExpert},
    {ScreenId::Draw, {"抽取专家", "", ""}, Form::frmNewProSelExpert},
    {ScreenId::DrawHistory, {"历史抽取专家记录", "", ""}, Form::frmExpertHistory},
    {ScreenId::ProjectSearchView, {"项目检索", "查看", ""}, Form::None},
    {ScreenId::MyProjects, {"我的项目", "", ""}, Form::None},
    {ScreenId::MyProjectsArchive, {"我的项目", "归档", ""}, Form::None},
    {ScreenId::ExpertLog, {"专家详细日志", "", ""}, Form::None},
    {ScreenId::ExpertListViewProjects, {"专家列表", "查看", "参与项目"}, Form::frmExpertProjects},
    {ScreenId::ExpertSearchViewProjects, {"专家高级检索", "查看", "参与项目"}, Form::frmExpertProjects},
    {ScreenId::ProjectListContinue, {"项目列表", "继续", ""}, Form::None},
    {ScreenId::ProjectListEditNewTemporary, {"项目列表", "修改", "新建临时专家"}, Form::None},
    {ScreenId::ProjectListEditDrawResult, {"项目列表", "修改", "抽取专家结果"}, Form::None},
    {ScreenId::DataInOut, {"数据的导入与导出", "", ""}, Form::frmDataInOut},
    {ScreenId::AssessmentCategories, {"参评类别设置", "", ""}, Form::None},
    {ScreenId::AssessmentProfessions, {"参评专业设置", "", ""}, Form::None},
    {ScreenId::TitleLevels, {"职称设置", "", ""}, Form::None},
    {ScreenId::Cities, {"城市设置", "", ""}, Form::None},
    {ScreenId::AuditLog, {"操作日志", "", ""}, Form::frmAuditLog},
}};

namespace ScreensDetail {
constexpr bool RowsInNumberOrder()
{
    for (std::size_t i = 0; i < kScreens.size(); ++i)
        if (ScreenNumber(kScreens[i].id) != int(i) + 1)
            return false;
    return true;
}
}   // namespace ScreensDetail
static_assert(ScreensDetail::RowsInNumberOrder(), "kScreens must list every screen number in order");

// The row of a screen number.
constexpr const ScreenDef &ScreenOf(ScreenId id) { return kScreens[static_cast<std::size_t>(ScreenNumber(id) - 1)]; }
