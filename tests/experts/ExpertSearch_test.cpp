#include "ReportTestHelpers.h"
#include "TestApp.h"
#include "experts/frmSearchExpert.h"
#include "lists/ListEngine.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kForm = QStringLiteral("frmSearchExpert");

class SearchScreen : public ::testing::Test {
public:
    void SetUp() override
    {
        // Fields 1..28 of expert_msg.
        auto add = [&](const QString &name, const QString &sex, const QString &status, const QString &kind,
                       const QString &degree, const QString &type, const QString &title, const QString &city,
                       const QString &company, const QString &profession, const QString &industry,
                       const QString &qualification, const QString &since) {
            return app.addExpert({name,          status,
                                  kind,          "★★★☆☆",
                                  sex,           "1970-01-01",
                                  " ",           city,
                                  degree,        "学校",
                                  "1992-07-01",  "1",
                                  company,       "职务",
                                  title,         profession,
                                  type,          industry,
                                  qualification, since,
                                  "2005-01-01",  "138" + name.toUtf8().toHex().left(8)});
        };
        ids << add("卫亮", "男", "启用", "正式", "01", "工程类", "03", "北京", "北京建工集团", "土木工程", "建筑工程",
                   "一级建造师", "2003-05-01");
        ids << add("孙卫平", "女", "停用", "正式", "02", "经济类", "04", "上海", "上海电力公司", "电气工程", "电力系统",
                   "注册电气工程师", "2005-01-01");
        ids << add("李华卫", "女", "启用", "临时", "03", "工程类", "05", "广州", "广州地铁", "隧道工程", "建筑工程",
                   "监理工程师", "1999-12-03");
        ids << add("王强", "男", "启用", "正式", "01", "经济类", "03", "北京", "中信咨询公司", "造价", "工程造价",
                   "造价工程师", "2003-11-11");
        host.area.show();
    }

    void open() { host.openScreen(ScreenId::ExpertSearch); }
    frmSearchExpert *screen() { return static_cast<frmSearchExpert *>(host.screen(kForm)); }

    template <typename T> T *control(const QString &name)
    {
        T *c = host.find<T>(kForm, name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    QLineEdit *text(int i) { return control<QLineEdit>(ArrayName(QStringLiteral("txtDis"), i)); }
    QComboBox *combo(const char *name) { return control<QComboBox>(QString::fromLatin1(name)); }
    QLabel *label(const QString &name) { return control<QLabel>(name); }
    QLabel *cell(int column, int slot) { return label(ArrayName(QStringLiteral("lab%1").arg(column), slot)); }
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }
    void searchNow() { click(control<QPushButton>("cmdSearch")); }
    QString page() { return label("labPage")->text(); }
    QStringList shownNames()
    {
        QStringList names;
        for (int i = 0; i < kRowsPerPage && !cell(1, i)->text().isEmpty(); ++i)
            names << cell(2, i)->text();
        return names;
    }

    // Adds experts "专家01" .. so that a search for "专家" has several pages.
    QStringList addNumbered(int n)
    {
        QStringList added;
        for (int i = 1; i <= n; ++i)
            added << app.addExpert(QStringLiteral("专家%1").arg(i, 2, 10, QLatin1Char('0')));
        return added;
    }

    TestApp app;
    TestHost host{app.state};
    QStringList ids;
};

TEST_F(SearchScreen, OpensEmptyWithEveryCriterionNoRecord)
{
    open();
    EXPECT_EQ(label("labPath")->text(), QStringLiteral("专家高级检索"));
    EXPECT_EQ(host.bannerWidth, 11737);
    EXPECT_EQ(page(), QStringLiteral("0/0"));
    EXPECT_EQ(app.state.SearchResultRows.count(), 0);
    for (const QString &c : screen()->searchCriteria())
        EXPECT_EQ(c, QStringLiteral("NoRecord"));
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(text(i)->text().isEmpty());
    for (const char *name : {"com_Sex", "com_Sta", "com_Lin", "com_Degree", "com_Zhicheng", "com_Star"})
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
    EXPECT_FALSE(label("labOP_1(0)")->isVisible());

    // The reference lists are listed in full, row 0 included.
    QStringList degrees, titles;
    for (const QStringList &r : app.state.store.DegreeTable.toLists())
        degrees << r[1];
    for (const QStringList &r : app.state.store.TitleTypeTable.toLists())
        titles << r[1];
    auto items = [](QComboBox *c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    };
    EXPECT_EQ(items(combo("com_Degree")), degrees);
    EXPECT_EQ(items(combo("com_Zhicheng")), titles);
    EXPECT_EQ(items(combo("com_Sex")), (QStringList{"全部", "男", "女"}));
    EXPECT_EQ(items(combo("com_Sta")), (QStringList{"全部", "启用", "停用"}));
    EXPECT_EQ(items(combo("com_Lin")), (QStringList{"全部", "正式", "临时"}));
    EXPECT_EQ(items(combo("com_Star")), (QStringList{"所有星级", "★☆☆☆☆", "★★☆☆☆", "★★★☆☆", "★★★★☆", "★★★★★"}));
}

TEST_F(SearchScreen, CaptionsMarksAndNote)
{
    open();
    EXPECT_EQ(label("Label1")->text(),
              QStringLiteral(" 序号    姓名     出生时间         工作单位               从事专业              "
                             "资格名称          电话号码    操作"));
    EXPECT_EQ(label("Label1")->palette().color(QPalette::Window).rgba(), kHeadingBack);
    EXPECT_EQ(
        label("labDis(10)")->text(),
        QStringLiteral("（ 号项目为可进行模糊查询的项目。例如：专家姓名：卫， 结果可为：卫亮，孙卫平，李华卫等。）"));
    // Each red "*" stands left of its caption, on the same line.
    const std::vector<std::pair<int, int>> marks{{11, 0}, {15, 16}, {12, 7}, {19, 17}, {21, 6}, {22, 18}, {13, 5}};
    for (const auto &[mark, caption] : marks) {
        SCOPED_TRACE(testing::Message() << "labDis(" << mark << ")");
        QLabel *star = label(ArrayName("labDis", mark));
        QLabel *text = label(ArrayName("labDis", caption));
        EXPECT_EQ(star->text(), QStringLiteral("*"));
        EXPECT_EQ(TextColor(star), kWarningRed);
        EXPECT_EQ(star->y(), text->y());
        EXPECT_LT(star->x(), text->x());
    }
    EXPECT_EQ(TextColor(label("labDis(23)")), kWarningRed);
    EXPECT_GT(label("labDis(23)")->x(), label("labDis(10)")->x());
    EXPECT_EQ(label("labDis(9)")->text(), QStringLiteral("取资时间："));
    EXPECT_EQ(control<QPushButton>("cmdPreview")->text(), QStringLiteral("打印预览"));
    EXPECT_EQ(control<QPushButton>("cmdExcel")->text(), QStringLiteral("导出Excel"));
    EXPECT_EQ(control<QPushButton>("cmdSearch")->text(), QStringLiteral("检 索"));
    EXPECT_EQ(control<QPushButton>("cmd_Clear")->text(), QStringLiteral("清 空"));
}

TEST_F(SearchScreen, EmptyInputsListEveryExpertWithTheSevenColumns)
{
    open();
    searchNow();
    EXPECT_EQ(shownNames(), (QStringList{"卫亮", "孙卫平", "李华卫", "王强"}));
    for (const QString &c : screen()->searchCriteria())
        EXPECT_TRUE(c.isEmpty());
    const QStringList expected{"1",
                               "卫亮",
                               "1970-01-01",
                               "北京建工集团",
                               "土木工程",
                               "一级建造师",
                               app.state.store.ExpertTable.cell(0, 22).toString()};
    for (int m = 1; m <= 7; ++m)
        EXPECT_EQ(cell(m, 0)->text(), expected[m - 1]) << "lab" << m;
    EXPECT_EQ(label("labOP_1(0)")->text(), QStringLiteral("[查看]"));
    EXPECT_EQ(app.state.SearchResultRows.cell(0, 0), ids[0]);
}

TEST_F(SearchScreen, EachInputSetsItsCriterion)
{
    struct Case {
        const char *what;
        std::function<void(SearchScreen &)> set;
        int index;
        QString criterion;
        QStringList expected;
    };
    auto typeIn = [](int box, const char *t) {
        return [box, t](SearchScreen &s) { s.text(box)->setText(QString::fromUtf8(t)); };
    };
    auto pick = [](const char *name, int index) {
        return [name, index](SearchScreen &s) { s.combo(name)->setCurrentIndex(index); };
    };
    const std::vector<Case> cases{
        {"name", typeIn(0, " 卫 "), 0, "卫", {"卫亮", "孙卫平", "李华卫"}},
        {"sex", pick("com_Sex", 2), 1, "女", {"孙卫平", "李华卫"}},
        {"status", pick("com_Sta", 2), 2, "停用", {"孙卫平"}},
        {"nature", pick("com_Lin", 2), 3, "临时", {"李华卫"}},
        {"degree", pick("com_Degree", 1), 4, "01", {"卫亮", "王强"}},
        {"title category", typeIn(1, "经济"), 5, "经济", {"孙卫平", "王强"}},
        {"title level", pick("com_Zhicheng", 4), 6, "04", {"孙卫平"}},
        {"city", typeIn(2, "北京"), 7, "北京", {"卫亮", "王强"}},
        {"company", typeIn(3, "公司"), 8, "公司", {"孙卫平", "王强"}},
        {"profession", typeIn(4, "工程"), 9, "工程", {"卫亮", "孙卫平", "李华卫"}},
        {"evaluated speciality", typeIn(5, "建筑"), 10, "建筑", {"卫亮", "李华卫"}},
        {"qualification", typeIn(6, "工程师"), 11, "工程师", {"孙卫平", "李华卫", "王强"}},
        {"qualification date", typeIn(7, "2003"), 12, "2003", {"卫亮", "王强"}},
        {"wildcards", typeIn(7, "200#-0?"), 12, "200#-0?", {"卫亮", "孙卫平"}},
        {"unclosed bracket", typeIn(0, "卫["), 0, "卫[", {}},
    };
    open();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        click(control<QPushButton>("cmd_Clear"));
        c.set(*this);
        searchNow();
        for (int i = 0; i < kSearchCriteriaCount; ++i)
            EXPECT_EQ(screen()->searchCriteria()[i], i == c.index ? c.criterion : QString()) << "criterion " << i;
        EXPECT_EQ(shownNames(), c.expected);
    }
}

TEST_F(SearchScreen, CombinedCriteria)
{
    open();
    text(0)->setText(QStringLiteral("卫"));
    combo("com_Sex")->setCurrentIndex(2);
    searchNow();
    EXPECT_EQ(shownNames(), (QStringList{"孙卫平", "李华卫"}));

    click(control<QPushButton>("cmd_Clear"));
    // All thirteen at once, each satisfied by 卫亮 alone.
    text(0)->setText("卫");
    combo("com_Sex")->setCurrentIndex(1);
    combo("com_Sta")->setCurrentIndex(1);
    combo("com_Lin")->setCurrentIndex(1);
    combo("com_Degree")->setCurrentIndex(1);
    text(1)->setText("工程");
    combo("com_Zhicheng")->setCurrentIndex(3);
    text(2)->setText("北京");
    text(3)->setText("建工");
    text(4)->setText("土木");
    text(5)->setText("建筑");
    text(6)->setText("一级");
    text(7)->setText("2003");
    searchNow();
    EXPECT_EQ(shownNames(), QStringList{"卫亮"});
    for (const QString &c : screen()->searchCriteria())
        EXPECT_FALSE(c.isEmpty());
}

TEST_F(SearchScreen, TitleLevelAndStarGradeMoveTogether)
{
    open();
    combo("com_Star")->setCurrentIndex(3);   // ★★★☆☆
    EXPECT_EQ(combo("com_Zhicheng")->currentIndex(), 3);
    searchNow();
    EXPECT_EQ(screen()->searchCriteria()[6], QStringLiteral("03"));
    EXPECT_EQ(shownNames(), (QStringList{"卫亮", "王强"}));

    combo("com_Zhicheng")->setCurrentIndex(5);
    EXPECT_EQ(combo("com_Star")->currentText(), QStringLiteral("★★★★★"));
    combo("com_Zhicheng")->setCurrentIndex(0);
    EXPECT_EQ(combo("com_Star")->currentText(), QStringLiteral("所有星级"));
}

TEST_F(SearchScreen, ClearLeavesCriteriaResultsAndPage)
{
    addNumbered(25);
    open();
    text(0)->setText(QStringLiteral("专家"));
    combo("com_Star")->setCurrentIndex(1);
    combo("com_Zhicheng")->setCurrentIndex(0);
    searchNow();
    QTest::mouseClick(label("labNext"), Qt::LeftButton);
    ASSERT_EQ(page(), QStringLiteral("2/3"));
    const SearchCriteria before = screen()->searchCriteria();
    const QStringList shown = shownNames();

    click(control<QPushButton>("cmd_Clear"));
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(text(i)->text().isEmpty());
    for (const char *name : {"com_Sex", "com_Sta", "com_Lin", "com_Degree", "com_Zhicheng", "com_Star"})
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
    EXPECT_EQ(screen()->searchCriteria(), before);
    EXPECT_EQ(page(), QStringLiteral("2/3"));
    EXPECT_EQ(shownNames(), shown);
    EXPECT_EQ(app.state.SearchResultRows.count(), 25);
}

TEST_F(SearchScreen, DetailViewReturnKeepsEverythingElseResets)
{
    const QStringList numbered = addNumbered(25);
    open();
    text(0)->setText(QStringLiteral("专家"));
    combo("com_Sta")->setCurrentIndex(1);
    searchNow();
    QTest::mouseClick(label("labNext"), Qt::LeftButton);
    click(label("labOP_1(3)"));   // the row numbered 14
    EXPECT_EQ(app.state.nav.CurrentScreen, 10);
    EXPECT_EQ(app.state.paging.SelectedRow, 14);
    EXPECT_EQ(host.lastArgs.expertId, numbered[13]);

    // The detail view's way back.
    click(host.find<QPushButton>("frmExpertListDis", "cmd_Back"));
    EXPECT_EQ(app.state.nav.CurrentScreen, 9);
    EXPECT_EQ(page(), QStringLiteral("2/3"));
    EXPECT_EQ(cell(2, 3)->text(), QStringLiteral("专家14"));
    EXPECT_EQ(text(0)->text(), QStringLiteral("专家"));
    EXPECT_EQ(combo("com_Sta")->currentIndex(), 1);
    EXPECT_EQ(screen()->searchCriteria()[0], QStringLiteral("专家"));
    QTest::mouseClick(label("labNext"), Qt::LeftButton);
    EXPECT_EQ(page(), QStringLiteral("3/3"));

    // Opened any other way, the screen starts afresh.
    host.openScreen(ScreenId::ExpertSearch);
    EXPECT_EQ(page(), QStringLiteral("0/0"));
    EXPECT_TRUE(text(0)->text().isEmpty());
    EXPECT_EQ(combo("com_Sta")->currentIndex(), 0);
    EXPECT_EQ(app.state.SearchResultRows.count(), 0);
    EXPECT_EQ(screen()->searchCriteria()[0], QStringLiteral("NoRecord"));
}

TEST_F(SearchScreen, ReportButtonsPrintTheResultWithTheCriteria)
{
    open();
    // Before any match, and without templates, the reports refuse.
    text(0)->setText(QStringLiteral("没有这个人"));
    searchNow();
    for (const char *name : {"cmdPreview", "cmdExcel"}) {
        SCOPED_TRACE(name);
        app.messages->clear();
        click(control<QPushButton>(name));
        EXPECT_EQ(app.messages->texts(), QStringList{QStringLiteral("请进行专家高级检索。")});
    }
    text(0)->setText(QStringLiteral("卫"));
    searchNow();
    app.messages->clear();
    click(control<QPushButton>("cmdPreview"));
    EXPECT_EQ(app.messages->texts(), QStringList{QStringLiteral("模板文件“ExpertSearch_Plate.xls”不存在！")});

    // With the templates the export carries the typed criteria of the last
    // search and the choices shown now; the result rows follow the headings.
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    auto log = InstallFakeSpreadsheet(app.state);
    QTemporaryDir desktop;
    app.files->nextSavePath = QDir(desktop.path()).filePath("search.xls");
    combo("com_Sex")->setCurrentIndex(2);
    text(0)->setText(QStringLiteral("typed after the search"));
    app.messages->clear();
    click(control<QPushButton>("cmdExcel"));
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_EQ(log->text(3, 4), QStringLiteral("卫"));          // D3: name of the last search
    EXPECT_EQ(log->text(3, 9), QStringLiteral("女"));          // I3: sex shown now
    EXPECT_EQ(log->text(3, 14), QStringLiteral("全部"));       // N3: status
    EXPECT_EQ(log->text(4, 19), QStringLiteral("所有星级"));   // S4: star grade
    EXPECT_EQ(log->text(11, 3), QStringLiteral("卫亮"));       // first data row, name column
    EXPECT_EQ(log->text(13, 3), QStringLiteral("李华卫"));
    EXPECT_TRUE(QFile::exists(app.files->nextSavePath));
    for (const char *name : {"cmdSearch", "cmd_Clear", "cmdPreview", "cmdExcel"})
        EXPECT_TRUE(control<QPushButton>(name)->isEnabled()) << name;
}

}   // namespace
