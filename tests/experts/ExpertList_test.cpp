#include "TestApp.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "lists/ListEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kForm = QStringLiteral("frmExpertList");

class ExpertListScreen : public ::testing::Test {
protected:
    void open(int role = 0)
    {
        app.state.session.CurrentUserRole = role;
        host.area.show();
        host.openScreen(ScreenId::ExpertList);
    }

    template <typename T> T *control(const QString &name)
    {
        T *c = host.find<T>(kForm, name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    QLabel *label(const QString &name) { return control<QLabel>(name); }
    QLabel *cell(int column, int slot) { return label(ArrayName(QStringLiteral("lab%1").arg(column), slot)); }
    QCheckBox *box(int slot) { return control<QCheckBox>(ArrayName(QStringLiteral("chk"), slot)); }
    QLabel *op(int which, int slot) { return label(ArrayName(QStringLiteral("labOP_%1").arg(which), slot)); }
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }
    void clickLink(const char *name) { click(label(QString::fromLatin1(name))); }

    void search(const QString &name, const QString &status = QStringLiteral("全部"))
    {
        control<QLineEdit>("txtName")->setText(name);
        auto *status_ = control<QComboBox>("comlabStatus");
        status_->setCurrentIndex(status_->findText(status));
        click(control<QPushButton>("cmdSearch"));
    }

    // Names in the grid, slot by slot, up to the first empty slot.
    QStringList shownNames()
    {
        QStringList names;
        for (int i = 0; i < kRowsPerPage && !cell(1, i)->text().isEmpty(); ++i)
            names << cell(2, i)->text();
        return names;
    }
    QString page() { return label("labPage")->text(); }

    // Experts "专家01" .. "专家nn".
    QStringList addNumbered(int n)
    {
        QStringList ids;
        for (int i = 1; i <= n; ++i)
            ids << app.addExpert(QStringLiteral("专家%1").arg(i, 2, 10, QLatin1Char('0')));
        return ids;
    }

    TestApp app;
    TestHost host{app.state};
};

// ---- rights by role ----

TEST(ExpertListRoles, EachRoleSeesItsOwnList)
{
    struct Case {
        int role;
        bool full;
        QString heading;
        int headingWidth;
        int rightEnd;
    };
    const QString head = QStringLiteral("序号    姓名     性别    城市                 从事专业               职称    "
                                        "状态    性质       星级");
    const std::vector<Case> cases{
        {0, true, head + QString(12, ' ') + QStringLiteral("操作"), 10985, 11250},
        {1, false, head + QString(7, ' ') + QStringLiteral("操作"), 10235, 10500},
        {2, false, head + QString(7, ' ') + QStringLiteral("操作"), 10235, 10500},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "role " << c.role);
        TestApp app;
        app.addExpert(QStringLiteral("卫亮"));
        app.state.session.CurrentUserRole = c.role;
        TestHost host(app.state);
        host.area.show();
        host.openScreen(ScreenId::ExpertList);
        auto find = [&](const QString &name) { return host.find<QWidget>(kForm, name); };

        auto *heading = host.find<QLabel>(kForm, "Label1");
        EXPECT_EQ(heading->text(), c.heading);
        EXPECT_EQ(heading->width(), Px(c.headingWidth));
        EXPECT_EQ(heading->palette().color(QPalette::Window).rgba(), kHeadingBack);
        EXPECT_EQ(find("Line1")->geometry().right() + 1, Px(c.rightEnd));
        EXPECT_EQ(find("Line2")->geometry().right() + 1, Px(c.rightEnd));
        EXPECT_EQ(find("Line4(8)")->geometry().right() + 1, Px(c.rightEnd));
        EXPECT_EQ(find("Line3(11)")->isVisible(), c.full);
        // No rule cuts through the heading's last word.
        const QFontMetrics fm = heading->fontMetrics();
        const int wordLeft = heading->x() + heading->contentsRect().left() + fm.horizontalAdvance(c.heading.chopped(2));
        const int wordRight = wordLeft + fm.horizontalAdvance(QStringLiteral("操作"));
        for (int i = 0; i < 12; ++i) {
            const QWidget *rule = find(ArrayName(QStringLiteral("Line3"), i));
            if (rule->isVisible() && rule->geometry().top() <= heading->geometry().bottom())
                EXPECT_FALSE(rule->x() > wordLeft && rule->x() < wordRight) << i;
        }
        EXPECT_EQ(find("cmdDel")->isVisible(), c.full);
        EXPECT_EQ(find("chkAll")->isVisible(), c.full);
        EXPECT_EQ(find("labAll")->isVisible(), c.full);
        EXPECT_EQ(find("chk(0)")->isVisible(), c.full);
        EXPECT_EQ(find("labOP_2(0)")->isVisible(), c.full);
        auto *view = host.find<QLabel>(kForm, "labOP_1(0)");
        EXPECT_TRUE(view->isVisible());
        EXPECT_EQ(view->text(), QStringLiteral("[查看]"));
        if (c.full) {
            EXPECT_EQ(host.find<QLabel>(kForm, "labOP_2(0)")->text(), QStringLiteral("[修改]"));
            EXPECT_EQ(host.find<QLabel>(kForm, "labAll")->text(), QStringLiteral("全选"));
        }
        EXPECT_EQ(host.find<QLabel>(kForm, "labPath")->text(), QStringLiteral("专家列表"));
        EXPECT_EQ(host.bannerWidth, 11515);
    }
}

TEST_F(ExpertListScreen, OpensWithTheFullListAndItsNineColumns)
{
    app.addExpert({"卫亮", "停用", "临时", "★★★★☆", "女", "1970-01-01", " ", "南京", "01", "东南大学", "1992-07-01",
                   "1", "单位", "职务", "04", "给排水"});
    app.addExpert({"孙卫平", "启用", "正式", "★☆☆☆☆", "男", "", " ", "上海", "01", "", "", "", "", "", "x7", "电气"});
    open();
    EXPECT_EQ(page(), QStringLiteral("1/1"));
    const QStringList first{"1", "卫亮", "女", "南京", "给排水", "副高级", "停用", "临时", "★★★★☆"};
    const QStringList second{"2", "孙卫平", "男", "上海", "电气", "", "启用", "正式", "★☆☆☆☆"};
    for (int m = 1; m <= 9; ++m) {
        EXPECT_EQ(cell(m, 0)->text(), first[m - 1]) << "lab" << m;
        EXPECT_EQ(cell(m, 1)->text(), second[m - 1]) << "lab" << m;
    }
    EXPECT_EQ(app.state.ExpertListRows.cell(0, 0), QStringLiteral("000001"));
}

// ---- filters ----

TEST_F(ExpertListScreen, NameAndStatusFilterTheList)
{
    app.addExpert(QStringLiteral("卫亮"));
    app.addExpert(QStringLiteral("孙卫平"), QStringLiteral("停用"));
    app.addExpert(QStringLiteral("李华卫"));
    app.addExpert(QStringLiteral("王强"), QStringLiteral("停用"));
    app.addExpert(QStringLiteral("[卫]"));
    app.addExpert(QStringLiteral("a1c"));
    app.addExpert(QStringLiteral("abc"));
    open();

    struct Case {
        const char *name;
        const char *status;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"卫", "全部", {"卫亮", "孙卫平", "李华卫", "[卫]"}},
        {"  卫 ", "全部", {"卫亮", "孙卫平", "李华卫", "[卫]"}},   // typed blanks are trimmed
        {"", "停用", {"孙卫平", "王强"}},
        {"卫", "停用", {"孙卫平"}},
        {"a?c", "全部", {"a1c", "abc"}},
        {"A", "全部", {}},
        {"[", "全部", {"[卫]"}},
        {"卫]", "全部", {"[卫]"}},
        {"*", "启用", {"卫亮", "李华卫", "[卫]", "a1c", "abc"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "name '" << c.name << "' status " << c.status);
        search(QString::fromUtf8(c.name), QString::fromUtf8(c.status));
        EXPECT_EQ(shownNames(), c.expected);
        EXPECT_EQ(page(), c.expected.isEmpty() ? QStringLiteral("0/0") : QStringLiteral("1/1"));
        EXPECT_EQ(app.state.ExpertListRows.count(), c.expected.size());
    }
}

TEST_F(ExpertListScreen, ComingBackResetsFilterAndPage)
{
    addNumbered(12);
    app.addExpert(QStringLiteral("卫亮"), QStringLiteral("停用"));
    open();
    search(QStringLiteral("专家"), QStringLiteral("启用"));
    clickLink("labNext");
    ASSERT_EQ(page(), QStringLiteral("2/2"));

    click(op(1, 0));   // to the detail view and back
    EXPECT_EQ(app.state.nav.CurrentScreen, 7);
    host.openScreen(ScreenId::ExpertList);
    EXPECT_EQ(control<QLineEdit>("txtName")->text(), QString());
    EXPECT_EQ(control<QComboBox>("comlabStatus")->currentText(), QStringLiteral("全部"));
    EXPECT_EQ(page(), QStringLiteral("1/2"));
    EXPECT_EQ(app.state.ExpertListRows.count(), 13);
    EXPECT_EQ(app.state.paging.SelectedRow, 0);
}

// ---- red cells ----

TEST_F(ExpertListScreen, DisabledAndTemporaryCellsAreRedOnEveryPage)
{
    // Page 1: enabled regular experts; page 2: a disabled and a temporary one.
    addNumbered(10);
    app.addExpert(QStringLiteral("停用者"), QStringLiteral("停用"), QStringLiteral("正式"));
    app.addExpert(QStringLiteral("临时者"), QStringLiteral("启用"), QStringLiteral("临时"));
    open();

    auto expectColours = [&](const std::vector<std::pair<QRgb, QRgb>> &expected) {
        for (int i = 0; i < kRowsPerPage; ++i) {
            SCOPED_TRACE(testing::Message() << "slot " << i);
            const auto want = i < int(expected.size()) ? expected[i] : std::pair<QRgb, QRgb>{0xFF000000, 0xFF000000};
            EXPECT_EQ(TextColor(cell(7, i)), want.first);
            EXPECT_EQ(TextColor(cell(8, i)), want.second);
            EXPECT_EQ(TextColor(cell(9, i)), kWarningRed);
        }
    };
    const QRgb black = 0xFF000000;
    expectColours(std::vector<std::pair<QRgb, QRgb>>(10, {black, black}));
    clickLink("labNext");
    expectColours({{kWarningRed, black}, {black, kWarningRed}});
    clickLink("labFirst");
    expectColours(std::vector<std::pair<QRgb, QRgb>>(10, {black, black}));
    clickLink("labLast");
    expectColours({{kWarningRed, black}, {black, kWarningRed}});

    search(QString(), QStringLiteral("停用"));
    expectColours({{kWarningRed, black}});
}

// ---- row links ----

TEST_F(ExpertListScreen, RowLinksChooseTheRowOfTheirPage)
{
    const QStringList ids = addNumbered(25);
    open();
    clickLink("labNext");
    click(op(1, 3));   // row 14
    EXPECT_EQ(app.state.nav.CurrentScreen, 7);
    EXPECT_EQ(app.state.paging.SelectedRow, 14);
    EXPECT_EQ(host.lastArgs.expertId, ids[13]);

    host.openScreen(ScreenId::ExpertList);
    clickLink("labLast");
    click(op(2, 4));   // row 25
    EXPECT_EQ(app.state.nav.CurrentScreen, 6);
    EXPECT_EQ(app.state.paging.SelectedRow, 25);
    // The update screen takes its expert from the selected row.
    EXPECT_TRUE(host.lastArgs.expertId.isEmpty());
    EXPECT_EQ(app.state.ExpertListRows.cell(app.state.paging.SelectedRow - 1, 0), ids[24]);
}

// ---- deletion ----

TEST_F(ExpertListScreen, DeletionNeedsATickAndAYes)
{
    addNumbered(3);
    open();
    click(control<QPushButton>("cmdDel"));
    EXPECT_EQ(app.messages->texts(), QStringList{"请您至少选择一条记录！"});
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Information);

    app.messages->clear();
    click(box(1));
    app.messages->answers.enqueue(false);
    click(control<QPushButton>("cmdDel"));
    EXPECT_EQ(app.messages->texts(), QStringList{"您确定删除吗？"});
    EXPECT_EQ(app.countRows("expert_msg"), 3);
    EXPECT_TRUE(box(1)->isChecked());
}

TEST_F(ExpertListScreen, DeletingOnPageTwoRemovesTheExpertsAndTheirExtractions)
{
    // 24 experts "专家01".., plus two that the status filter leaves out.
    const QStringList ids = addNumbered(24);
    const QString other = app.addExpert(QStringLiteral("停用者"), QStringLiteral("停用"));
    for (const QString &id : {ids[11], ids[11], ids[13], ids[0], other})
        app.addSelection(QStringLiteral("2026-01-02"), id);
    // An unsaved draw holding one of them.
    app.state.draw.DrawList.clear();
    app.state.draw.DrawList.append({ids[13], QStringLiteral("专家14")});
    app.state.draw.DrawList.append({ids[0], QStringLiteral("专家01")});
    app.state.draw.DrawUnsaved = true;
    open();
    search(QStringLiteral("专家"), QStringLiteral("启用"));
    clickLink("labNext");
    ASSERT_EQ(page(), QStringLiteral("2/3"));
    click(box(1));   // row 12
    click(box(3));   // row 14
    app.messages->answers.enqueue(true);
    click(control<QPushButton>("cmdDel"));

    EXPECT_EQ(app.messages->texts(), QStringList{"您确定删除吗？"});
    EXPECT_EQ(app.countRows("expert_msg"), 23);
    EXPECT_EQ(app.countRows("sel_expert"), 2);
    QStringList left;
    for (const QStringList &r : app.state.store.SelectionTable.toLists())
        left << r.at(2);
    EXPECT_EQ(left, (QStringList{ids[0], other}));
    ASSERT_EQ(app.state.draw.DrawList.count(), 1);
    EXPECT_EQ(app.state.draw.DrawList.cell(0, 0), ids[0]);
    for (const QStringList &r : app.state.store.ExpertTable.toLists()) {
        EXPECT_NE(r.at(0), ids[11]);
        EXPECT_NE(r.at(0), ids[13]);
    }
    // Page 1 under the same filter.
    EXPECT_EQ(page(), QStringLiteral("1/3"));
    EXPECT_EQ(control<QLineEdit>("txtName")->text(), QStringLiteral("专家"));
    EXPECT_EQ(app.state.ExpertListRows.count(), 22);
    clickLink("labNext");
    EXPECT_EQ(cell(2, 1)->text(), QStringLiteral("专家13"));
    EXPECT_EQ(cell(2, 2)->text(), QStringLiteral("专家15"));
}

TEST_F(ExpertListScreen, AMissingExpertDeletesNothing)
{
    const QStringList ids = addNumbered(3);
    app.addSelection(QStringLiteral("2026-01-02"), ids[0]);
    app.addSelection(QStringLiteral("2026-01-02"), ids[1]);
    open();
    // Someone else removes the second expert after the list was built.
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare(QStringLiteral("DELETE FROM expert_msg WHERE Id = ?"));
        st.bind(1, ids[1]);
        st.step();
    }
    click(box(0));
    click(box(1));
    click(control<QPushButton>("cmdDel"));

    EXPECT_EQ(app.messages->texts(), (QStringList{"您确定删除吗？", "没有匹配的记录！"}));
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
    EXPECT_EQ(app.countRows("expert_msg"), 2);   // the first expert is still there
    EXPECT_EQ(app.countRows("sel_expert"), 2);   // and so are all extraction records
    EXPECT_EQ(app.state.paging.SelectedRow, 2);
    // Nothing was reloaded or refreshed.
    EXPECT_EQ(app.state.store.ExpertTable.count(), 3);
    EXPECT_EQ(shownNames(), (QStringList{"专家01", "专家02", "专家03"}));
    EXPECT_TRUE(box(0)->isChecked());
}

TEST_F(ExpertListScreen, CheckAllTicksThePageForDeletion)
{
    addNumbered(12);
    open();
    click(label("labAll"));
    for (int i = 0; i < kRowsPerPage; ++i)
        EXPECT_TRUE(box(i)->isChecked());
    click(control<QPushButton>("cmdDel"));
    EXPECT_EQ(app.countRows("expert_msg"), 2);
    EXPECT_EQ(shownNames(), (QStringList{"专家11", "专家12"}));
    EXPECT_FALSE(control<QCheckBox>("chkAll")->isChecked());
}

}   // namespace
