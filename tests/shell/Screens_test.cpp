#include "TestApp.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace {

// The path table, row by row: the screen's path line and the window that
// shows it ("" for the rows no window of the program shows).
struct PathRow {
    ScreenId id;
    int number;
    const char *path;
    const char *form;
};

const PathRow kPathTable[] = {
    {ScreenId::UserRights, 1, "用户权限设置", "frmUserRights"},
    {ScreenId::Departments, 2, "部门设置", ""},
    {ScreenId::Staff, 3, "员工设置", ""},
    {ScreenId::ExpertCategories, 4, "专家类别设置", ""},
    {ScreenId::ExpertList, 5, "专家列表", "frmExpertList"},
    {ScreenId::ExpertListEdit, 6, "专家列表 -> 修改", "frmExpertListUpd"},
    {ScreenId::ExpertListView, 7, "专家列表 -> 查看", "frmExpertListDis"},
    {ScreenId::NewExpert, 8, "新建专家", "frmNewExpert"},
    {ScreenId::ExpertSearch, 9, "专家高级检索", "frmSearchExpert"},
    {ScreenId::ExpertSearchView, 10, "专家高级检索 -> 查看", "frmExpertListDis"},
    {ScreenId::ProjectList, 11, "项目列表", "frmProList"},
    {ScreenId::ProjectListView, 12, "项目列表 -> 查看", "frmProListDis"},
    {ScreenId::DrawResult, 13, "抽取专家 -> 抽取专家结果", "frmNewPro"},
    {ScreenId::DrawResultNewTemporary, 14, "抽取专家 -> 抽取专家结果 -> 新建临时专家", "frmNewExpert"},
    {ScreenId::Draw, 15, "抽取专家", "frmNewProSelExpert"},
    {ScreenId::DrawHistory, 16, "历史抽取专家记录", "frmExpertHistory"},
    {ScreenId::ProjectSearchView, 17, "项目检索 -> 查看", ""},
    {ScreenId::MyProjects, 18, "我的项目", ""},
    {ScreenId::MyProjectsArchive, 19, "我的项目 -> 归档", ""},
    {ScreenId::ExpertLog, 20, "专家详细日志", ""},
    {ScreenId::ExpertListViewProjects, 21, "专家列表 -> 查看 -> 参与项目", "frmExpertProjects"},
    {ScreenId::ExpertSearchViewProjects, 22, "专家高级检索 -> 查看 -> 参与项目", "frmExpertProjects"},
    {ScreenId::ProjectListContinue, 23, "项目列表 -> 继续", ""},
    {ScreenId::ProjectListEditNewTemporary, 24, "项目列表 -> 修改 -> 新建临时专家", ""},
    {ScreenId::ProjectListEditDrawResult, 25, "项目列表 -> 修改 -> 抽取专家结果", ""},
    {ScreenId::DataInOut, 26, "数据的导入与导出", "frmDataInOut"},
    {ScreenId::AssessmentCategories, 27, "参评类别设置", ""},
    {ScreenId::AssessmentProfessions, 28, "参评专业设置", ""},
    {ScreenId::TitleLevels, 29, "职称设置", ""},
    {ScreenId::Cities, 30, "城市设置", ""},
    {ScreenId::AuditLog, 31, "操作日志", "frmAuditLog"},
};

}   // namespace

TEST(ScreenTable, EveryRowHasItsNumberPathAndWindow)
{
    ASSERT_EQ(std::size(kPathTable), size_t(kScreenCount));
    TestApp app(false);
    for (const PathRow &row : kPathTable) {
        SCOPED_TRACE(testing::Message() << "screen " << row.number);
        EXPECT_EQ(ScreenNumber(row.id), row.number);
        EXPECT_EQ(FormName(ScreenOf(row.id).form), QString::fromLatin1(row.form));
        app.state.nav.CurrentScreen = row.number;
        EXPECT_EQ(BuildPath(app.state.nav), QString::fromUtf8(row.path));
        // Levels 4 and 5 are empty in every row.
        ASSERT_EQ(app.state.nav.PathTitles[row.number].size(), kPathLevels);
        EXPECT_TRUE(app.state.nav.PathTitles[row.number][3].isEmpty());
        EXPECT_TRUE(app.state.nav.PathTitles[row.number][4].isEmpty());
    }
}

TEST(ScreenTable, OpeningAScreenNumberShowsItsWindowWithItsPath)
{
    TestApp app;
    TestHost host(app.state);
    host.area.show();
    for (const PathRow &row : kPathTable) {
        SCOPED_TRACE(testing::Message() << "screen " << row.number);
        ChildScreen *before = host.frontScreen();
        host.openScreen(row.id);
        EXPECT_EQ(app.state.nav.CurrentScreen, row.number);
        if (*row.form == '\0') {
            // A number no window shows leaves the screen in front as it was.
            EXPECT_EQ(host.frontScreen(), before);
            continue;
        }
        ASSERT_NE(host.frontScreen(), nullptr);
        EXPECT_EQ(host.frontScreen()->objectName(), QString::fromLatin1(row.form));
        EXPECT_EQ(host.frontScreen(), host.screen(ScreenOf(row.id).form));
        auto *path = host.frontScreen()->findChild<QLabel *>(QStringLiteral("labPath"));
        ASSERT_NE(path, nullptr);
        EXPECT_EQ(path->text(), QString::fromUtf8(row.path));
    }
}
