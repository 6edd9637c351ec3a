#include "TestApp.h"
#include "data/LibrarySettings.h"
#include "data/Schema.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace Schema;

namespace {

const QString kDis = QStringLiteral("frmExpertListDis");

class ExpertDetail : public ::testing::Test {
protected:
    void SetUp() override { host.area.show(); }

    void openFrom(ScreenId screen, const QString &id) { host.openScreen(screen, {.expertId = id}); }
    // The view brought up while CurrentScreen is a number it does not show.
    void showUnder(int screen)
    {
        app.state.nav.CurrentScreen = screen;
        host.showScreen(Form::frmExpertListDis);
    }
    QLineEdit *box(int i)
    {
        auto *b = host.find<QLineEdit>(kDis, ArrayName("txtDis", i));
        EXPECT_NE(b, nullptr) << i;
        return b;
    }
    QPlainTextEdit *memo(int i) { return host.find<QPlainTextEdit>(kDis, ArrayName("txtDis", i)); }
    QPushButton *back() { return host.find<QPushButton>(kDis, "cmd_Back"); }

    // Every field a different text; degree and title level as given.
    QString addExpert(const QString &degree, const QString &title)
    {
        QStringList f;
        for (int i = 1; i < ExpertFieldCount; ++i)
            f << QStringLiteral("v%1").arg(i);
        f[E_degree_type_id - 1] = degree;
        f[E_zhicheng_id - 1] = title;
        f[E_Position - 1] = " ";
        return app.addExpert(f);
    }

    TestApp app;
    TestHost host{app.state};
};

TEST_F(ExpertDetail, ShowsEveryFieldReadOnlyInTheBoxOfItsCaption)
{
    const QString id = addExpert("01", "3");
    openFrom(ScreenId::ExpertListView, id);
    EXPECT_EQ(host.find<QLabel>(kDis, "labTitle")->text(), QStringLiteral("专家详细信息"));
    EXPECT_EQ(host.find<QLabel>(kDis, "labPath")->text(), QStringLiteral("专家列表 -> 查看"));
    EXPECT_EQ(host.find<QLabel>(kDis, ArrayName("labDis", 17))->text(), QStringLiteral("资格名称："));
    const QList<QPair<int, int>> shown{{0, E_Name},          {1, E_Status},        {2, E_Is_temp},
                                       {3, E_star_number},   {4, E_Sex},           {5, E_birth_date},
                                       {7, E_province},      {9, E_school_name},   {10, E_graduate_date},
                                       {11, E_Profession},   {12, E_Company_name}, {15, E_cong_shi_zhuanye},
                                       {16, E_type},         {17, E_zige_name},    {18, E_resource_industry},
                                       {20, E_zige_gettime}, {21, E_Mobile},       {22, E_Zip_code},
                                       {23, E_pinren_time},  {24, E_email},        {25, E_Address}};
    for (const auto &[index, field] : shown) {
        EXPECT_EQ(box(index)->text(), QStringLiteral("v%1").arg(field)) << index;
        EXPECT_TRUE(box(index)->isReadOnly()) << index;
    }
    EXPECT_EQ(box(13)->text(), QStringLiteral(" "));
    EXPECT_EQ(box(8)->text(), QStringLiteral("中专"));    // degree row 1
    EXPECT_EQ(box(14)->text(), QStringLiteral("中级"));   // title row 3
    EXPECT_EQ(box(8)->geometry(), TwRect(6900, 1200, 1695, 315));
    EXPECT_EQ(box(24)->geometry(), TwRect(4020, 2640, 4575, 315));
    for (int missing : {6, 19})
        EXPECT_EQ(host.find<QWidget>(kDis, ArrayName("txtDis", missing)), nullptr);
    EXPECT_EQ(back()->geometry(), TwRect(5580, 7125, 1095, 435));
    EXPECT_EQ(back()->text(), QStringLiteral("返 回"));
    EXPECT_EQ(host.find<QPushButton>(kDis, "cmd_Save"), nullptr);
}

TEST_F(ExpertDetail, LongTextsAreGreyLockedAndScroll)
{
    QStringList lines;
    for (int i = 1; i <= 30; ++i)
        lines << QStringLiteral("第%1行").arg(i);
    QStringList f(ExpertFieldCount - 1, QStringLiteral(" "));
    f[E_Name - 1] = "张三";
    f[E_Resume - 1] = lines.join('\n');
    const QString id = app.addExpert(f);
    openFrom(ScreenId::ExpertListView, id);
    QPlainTextEdit *resume = memo(26);
    ASSERT_NE(resume, nullptr);
    EXPECT_EQ(resume->toPlainText(), lines.join('\n'));
    EXPECT_TRUE(resume->isReadOnly());
    EXPECT_EQ(resume->palette().color(QPalette::Text), QColor(128, 128, 128));
    EXPECT_EQ(resume->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_GT(resume->verticalScrollBar()->maximum(), 0);
    QTest::keyClicks(resume, "xy");
    EXPECT_EQ(resume->toPlainText(), lines.join('\n'));
    EXPECT_TRUE(memo(27)->isReadOnly());
    EXPECT_EQ(memo(27)->toPlainText(), QStringLiteral(" "));
}

TEST_F(ExpertDetail, CodesThatNameNoRowShowAnEmptyBox)
{
    struct Case {
        const char *degree, *title;
    };
    for (const Case &c : {Case{"99", "abc"}, Case{"", " "}, Case{"-1", "06"}}) {
        const QString id = addExpert(QString::fromUtf8(c.degree), QString::fromUtf8(c.title));
        openFrom(ScreenId::ExpertSearchView, id);
        EXPECT_EQ(box(8)->text(), QString()) << c.degree;
        EXPECT_EQ(box(14)->text(), QString()) << c.title;
        EXPECT_EQ(box(0)->text(), QStringLiteral("v1"));
    }
}

TEST_F(ExpertDetail, EachOpeningShowsTheChosenExpertAndKeepsThePreviousWhenGone)
{
    const QString first = addExpert("02", "01");
    QStringList f(ExpertFieldCount - 1, QStringLiteral(" "));
    f[E_Name - 1] = "李四";
    f[E_degree_type_id - 1] = "05";
    f[E_zhicheng_id - 1] = "05";
    const QString second = app.addExpert(f);
    openFrom(ScreenId::ExpertListView, first);
    openFrom(ScreenId::ExpertListView, second);
    EXPECT_EQ(box(0)->text(), QStringLiteral("李四"));
    EXPECT_EQ(box(5)->text(), QStringLiteral(" "));
    EXPECT_EQ(box(8)->text(), QStringLiteral("博士研究生"));
    EXPECT_EQ(box(14)->text(), QStringLiteral("正高级"));
    EXPECT_EQ(memo(26)->toPlainText(), QStringLiteral(" "));

    openFrom(ScreenId::ExpertListView, QStringLiteral("000099"));
    EXPECT_EQ(box(0)->text(), QStringLiteral("李四"));
    // Activated under another screen number, the view has no key.
    showUnder(5);
    EXPECT_EQ(box(0)->text(), QStringLiteral("李四"));
}

TEST_F(ExpertDetail, BackReturnsToTheScreenItCameFrom)
{
    const QString id = addExpert("01", "01");
    openFrom(ScreenId::ExpertListView, id);
    QTest::mouseClick(back(), Qt::LeftButton);
    EXPECT_EQ(app.state.nav.CurrentScreen, 5);
    EXPECT_EQ(host.frontScreen()->objectName(), QStringLiteral("frmExpertList"));
    EXPECT_FALSE(host.lastArgs.returning);

    openFrom(ScreenId::ExpertSearchView, id);
    EXPECT_EQ(host.find<QLabel>(kDis, "labPath")->text(), QStringLiteral("专家高级检索 -> 查看"));
    QTest::mouseClick(back(), Qt::LeftButton);
    EXPECT_EQ(app.state.nav.CurrentScreen, 9);
    EXPECT_EQ(host.frontScreen()->objectName(), QStringLiteral("frmSearchExpert"));

    // Under any other number the button does nothing.
    const int opened = host.openCount;
    showUnder(12);
    QTest::mouseClick(back(), Qt::LeftButton);
    EXPECT_EQ(app.state.nav.CurrentScreen, 12);
    EXPECT_EQ(host.frontScreen()->objectName(), kDis);
    EXPECT_EQ(host.openCount, opened);
}

TEST(ExpertDetailReturn, FromTheSearchItAsksTheSearchToKeepItsResults)
{
    // Without the search screen itself: only what the search is opened with.
    TestApp app;
    const ScreenRegistry only = AllScreens().only({Form::frmNewExpert, Form::frmExpertListUpd, Form::frmExpertListDis});
    TestHost host(app.state, only);
    const QString id = app.addExpert(QStringLiteral("张三"));
    host.openScreen(ScreenId::ExpertSearchView, {.expertId = id});
    QTest::mouseClick(host.find<QPushButton>(kDis, "cmd_Back"), Qt::LeftButton);
    EXPECT_TRUE(host.lastArgs.returning);
    EXPECT_EQ(app.state.nav.CurrentScreen, 9);
}

}   // namespace

TEST_F(ExpertDetail, TheLibraryCanHideTheMiddleOfIdAndPhoneFromTheRestrictedRoles)
{
    QStringList f;
    for (int i = 1; i < ExpertFieldCount; ++i)
        f << QStringLiteral("v%1").arg(i);
    f[E_degree_type_id - 1] = "01";
    f[E_zhicheng_id - 1] = "3";
    f[E_Profession - 1] = "110101197001011234";
    f[E_Mobile - 1] = "13812345678";
    const QString id = app.addExpert(f);
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, "1").ok());
    struct Case {
        int role;
        QString idShown, phoneShown;
    } cases[] = {
        {0, "110101197001011234", "13812345678"},
        {1, "110101********1234", "138****5678"},
        {2, "110101********1234", "138****5678"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.role);
        app.state.session.CurrentUserRole = c.role;
        openFrom(ScreenId::ExpertListView, id);
        EXPECT_EQ(box(11)->text(), c.idShown);
        EXPECT_EQ(box(21)->text(), c.phoneShown);
    }
}
