#include "ListTestSupport.h"
#include "ui/ClickableLabel.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A list screen on the engine: nine columns, check boxes, both row links.
class PagedListScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        screen.resize(900, 400);
        list = new PagedList(&screen, paging, FullLayout(9));
        screen.show();
    }

    void showRows(qsizetype n)
    {
        rows = MakeRows(n);
        list->show(ListCall{9, &rows, QStringLiteral("[查看]"), QStringLiteral("[修改]"), true});
    }

    QLabel *label(const QString &name) { return Control<QLabel>(screen, name); }
    QLabel *cell(int column, int slot) { return label(ArrayName(QStringLiteral("lab%1").arg(column), slot)); }
    QCheckBox *box(int slot) { return Control<QCheckBox>(screen, ArrayName(QStringLiteral("chk"), slot)); }
    QLabel *op(int which, int slot) { return label(ArrayName(QStringLiteral("labOP_%1").arg(which), slot)); }
    QString page() { return label(QStringLiteral("labPage"))->text(); }
    void click(const char *name) { QTest::mouseClick(label(QString::fromLatin1(name)), Qt::LeftButton); }
    QRgb colour(const char *name) { return TextColor(label(QString::fromLatin1(name))); }

    // Slots 0..filled-1 hold rows first..; the rest are empty with their row
    // controls hidden.
    void expectPage(qsizetype firstRow, int filled)
    {
        for (int i = 0; i < kRowsPerPage; ++i) {
            SCOPED_TRACE(testing::Message() << "slot " << i);
            const bool on = i < filled;
            const qsizetype row = firstRow + i;
            EXPECT_EQ(cell(1, i)->text(), on ? QString::number(row) : QString());
            EXPECT_EQ(cell(2, i)->text(), on ? QStringLiteral("c1-%1").arg(row) : QString());
            EXPECT_EQ(cell(9, i)->text(), on ? QStringLiteral("c8-%1").arg(row) : QString());
            EXPECT_EQ(box(i)->isVisible(), on);
            EXPECT_FALSE(box(i)->isChecked());
            EXPECT_EQ(op(1, i)->isVisible(), on);
            EXPECT_EQ(op(2, i)->isVisible(), on);
            if (on) {
                EXPECT_EQ(op(1, i)->text(), QStringLiteral("[查看]"));
                EXPECT_EQ(op(2, i)->text(), QStringLiteral("[修改]"));
                EXPECT_EQ(TextColor(op(1, i)), kOperationLink);
                EXPECT_EQ(TextColor(op(2, i)), kOperationLink);
            }
        }
    }

    void expectLinks(bool back, bool forward)
    {
        EXPECT_EQ(paging.FirstLinkOn, back);
        EXPECT_EQ(paging.PreviousLinkOn, back);
        EXPECT_EQ(paging.NextLinkOn, forward);
        EXPECT_EQ(paging.LastLinkOn, forward);
        EXPECT_EQ(colour("labFirst"), back ? kLinkActive : kLinkInactive);
        EXPECT_EQ(colour("labPre"), back ? kLinkActive : kLinkInactive);
        EXPECT_EQ(colour("labNext"), forward ? kLinkActive : kLinkInactive);
        EXPECT_EQ(colour("labLast"), forward ? kLinkActive : kLinkInactive);
    }

    QWidget screen;
    PagingState paging;
    PagedList *list = nullptr;
    TextTable rows;
};

TEST_F(PagedListScreen, BuildsTheNamedControls)
{
    EXPECT_NE(cell(9, 9), nullptr);
    EXPECT_EQ(cell(10, 0), nullptr);
    EXPECT_NE(Control<QCheckBox>(screen, QStringLiteral("chkAll")), nullptr);
    EXPECT_EQ(label(QStringLiteral("labAll"))->text(), QStringLiteral("全选"));
    EXPECT_EQ(label(QStringLiteral("labFirst"))->text(), QStringLiteral("首页"));
    EXPECT_EQ(label(QStringLiteral("labPre"))->text(), QStringLiteral("上一页"));
    EXPECT_EQ(label(QStringLiteral("labNext"))->text(), QStringLiteral("下一页"));
    EXPECT_EQ(label(QStringLiteral("labLast"))->text(), QStringLiteral("尾页"));
    // Twips to pixels: slot 3 of lab1 stands at 600, 1200 + 3 * 300.
    EXPECT_EQ(cell(1, 3)->geometry(), TwRect(600, 2100, 600, 255));
    EXPECT_EQ(Control<QCheckBox>(screen, QStringLiteral("chkAll"))->accessibleName(), QStringLiteral("全选"));
    EXPECT_EQ(box(2)->accessibleName(), QStringLiteral("选择本页第3行"));
    for (int i = 0; i < kRowsPerPage; ++i) {
        EXPECT_FALSE(box(i)->isVisible());
        EXPECT_FALSE(op(1, i)->isVisible());
        EXPECT_FALSE(op(2, i)->isVisible());
    }
}

TEST_F(PagedListScreen, FirstPageByRowCount)
{
    const struct {
        qsizetype rows;
        const char *label;
        qsizetype current, pages;
        int filled;
        bool more;
    } cases[] = {
        {0, "0/0", 0, 0, 0, false},  {10, "1/1", 1, 1, 10, false}, {11, "1/2", 1, 2, 10, true},
        {25, "1/3", 1, 3, 10, true}, {30, "1/3", 1, 3, 10, true},  {3, "1/1", 1, 1, 3, false},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(testing::Message() << tc.rows << " rows");
        paging.SelectedRow = 7;
        showRows(tc.rows);
        EXPECT_EQ(page(), QString::fromLatin1(tc.label));
        EXPECT_EQ(paging.CurrentPage, tc.current);
        EXPECT_EQ(paging.PageCount, tc.pages);
        EXPECT_EQ(paging.SelectedRow, 0);
        expectLinks(false, tc.more);
        expectPage(1, tc.filled);
    }
}

TEST_F(PagedListScreen, LastLinkFromPageOne)
{
    const struct {
        qsizetype rows;
        const char *label;
        qsizetype firstRow;
        int filled;
    } cases[] = {
        {25, "3/3", 21, 5},
        {30, "3/3", 21, 10},
        {11, "2/2", 11, 1},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(testing::Message() << tc.rows << " rows");
        showRows(tc.rows);
        QSignalSpy shown(list, &PagedList::pageShown);
        click("labLast");
        EXPECT_EQ(shown.count(), 1);
        EXPECT_EQ(page(), QString::fromLatin1(tc.label));
        expectLinks(true, false);
        expectPage(tc.firstRow, tc.filled);
    }
}

TEST_F(PagedListScreen, WalksForwardAndBack)
{
    showRows(25);
    click("labNext");
    EXPECT_EQ(page(), QStringLiteral("2/3"));
    expectLinks(true, true);
    expectPage(11, 10);

    click("labNext");
    EXPECT_EQ(page(), QStringLiteral("3/3"));
    expectLinks(true, false);
    expectPage(21, 5);

    click("labPre");
    click("labPre");
    EXPECT_EQ(page(), QStringLiteral("1/3"));
    expectLinks(false, true);
    expectPage(1, 10);

    click("labLast");
    click("labFirst");
    EXPECT_EQ(page(), QStringLiteral("1/3"));
    expectLinks(false, true);
    expectPage(1, 10);
}

TEST_F(PagedListScreen, InactiveLinksDoNothing)
{
    const struct {
        const char *moveTo;
        const char *dead[2];
    } cases[] = {
        {nullptr, {"labFirst", "labPre"}},
        {"labLast", {"labNext", "labLast"}},
    };
    for (const auto &tc : cases) {
        showRows(25);
        if (tc.moveTo)
            click(tc.moveTo);
        const QString before = page();
        const QString firstCell = cell(2, 0)->text();
        box(0)->setChecked(true);
        QSignalSpy shown(list, &PagedList::pageShown);
        for (const char *dead : tc.dead) {
            SCOPED_TRACE(dead);
            click(dead);
            EXPECT_EQ(page(), before);
            EXPECT_EQ(cell(2, 0)->text(), firstCell);
            EXPECT_TRUE(box(0)->isChecked());
        }
        EXPECT_EQ(shown.count(), 0);
    }

    // Nothing listed at all: every link is dead.
    showRows(0);
    for (const char *dead : {"labFirst", "labPre", "labNext", "labLast"})
        click(dead);
    EXPECT_EQ(page(), QStringLiteral("0/0"));
    expectLinks(false, false);
}

TEST_F(PagedListScreen, TicksDoNotSurviveAPageChange)
{
    showRows(25);
    click("labLast");
    click("labAll");
    auto *all = Control<QCheckBox>(screen, QStringLiteral("chkAll"));
    EXPECT_TRUE(all->isChecked());
    for (int i = 0; i < kRowsPerPage; ++i)
        EXPECT_EQ(box(i)->isChecked(), i < 5) << "slot " << i;
    EXPECT_EQ(list->checkedSlots(), (QVector<int>{0, 1, 2, 3, 4}));

    for (const char *move : {"labPre", "labNext", "labFirst", "labLast"}) {
        SCOPED_TRACE(move);
        click("labAll");
        if (!all->isChecked())
            click("labAll");
        ASSERT_TRUE(box(0)->isChecked());
        click(move);
        EXPECT_FALSE(all->isChecked());
        EXPECT_TRUE(list->checkedSlots().isEmpty());
    }

    // A second "全选" unticks again.
    click("labAll");
    click("labAll");
    EXPECT_FALSE(all->isChecked());
    EXPECT_TRUE(list->checkedSlots().isEmpty());
}

TEST_F(PagedListScreen, UserClickOnCheckAllAppliesIt)
{
    showRows(13);
    click("labNext");
    auto *all = Control<QCheckBox>(screen, QStringLiteral("chkAll"));
    QTest::mouseClick(all, Qt::LeftButton, {}, all->rect().center());
    ASSERT_TRUE(all->isChecked());
    EXPECT_EQ(list->checkedSlots(), (QVector<int>{0, 1, 2}));
    QTest::mouseClick(all, Qt::LeftButton, {}, all->rect().center());
    EXPECT_TRUE(list->checkedSlots().isEmpty());
}

TEST_F(PagedListScreen, RowLinksReportTheirSlot)
{
    showRows(25);
    click("labNext");
    QSignalSpy first(list, &PagedList::firstOperationClicked);
    QSignalSpy second(list, &PagedList::secondOperationClicked);
    QTest::mouseClick(op(1, 2), Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseClick(op(2, 7), Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_EQ(first.count(), 1);
    ASSERT_EQ(second.count(), 1);
    EXPECT_EQ(first.at(0).at(0).toInt(), 2);
    EXPECT_EQ(second.at(0).at(0).toInt(), 7);
    EXPECT_EQ(list->rowOfSlot(2), 12);
    EXPECT_EQ(rows.cell(list->rowOfSlot(7), 0), QStringLiteral("K18"));
}

TEST_F(PagedListScreen, DoubleClickOnAPageLinkMovesOnePage)
{
    showRows(45);
    // Sent to the window, so the link gets what a real double click brings:
    // press, release, double click, release.
    screen.show();
    QLabel *next = label(QStringLiteral("labNext"));
    QTest::mouseDClick(screen.windowHandle(), Qt::LeftButton, {}, next->mapTo(&screen, next->rect().center()));
    EXPECT_EQ(page(), QStringLiteral("2/5"));
    click("labNext");   // an ordinary click afterwards still counts
    EXPECT_EQ(page(), QStringLiteral("3/5"));
}

TEST_F(PagedListScreen, SelectingASlotMarksItsRowAndNeverOneBeyondTheList)
{
    showRows(25);
    click("labLast");   // rows 21..25 in slots 0..4
    EXPECT_EQ(list->selectSlot(4), 24);
    EXPECT_EQ(paging.SelectedRow, 25);
    // An empty slot, or a row the list lost since it was shown, selects nothing.
    EXPECT_EQ(list->selectSlot(5), -1);
    rows.removeAt(rows.count() - 1);
    EXPECT_EQ(list->rowOfSlot(4), -1);
    EXPECT_EQ(list->selectSlot(4), -1);
    EXPECT_EQ(paging.SelectedRow, 25);
}

TEST_F(PagedListScreen, ShorterListAfterALongerOneClearsTheRest)
{
    showRows(30);
    click("labLast");
    showRows(4);
    EXPECT_EQ(page(), QStringLiteral("1/1"));
    expectPage(1, 4);
    showRows(0);
    expectPage(1, 0);
}

// A screen with seven columns, one row link and no check boxes: the lab8
// column and labOP_2 it made itself are never touched by the list.
TEST(PagedListSevenColumns, LeavesTheScreensOwnControlsAlone)
{
    QWidget screen;
    PagingState paging;
    ListLayout layout = FullLayout(7);
    layout.secondOperationLeft = -1;
    layout.checkLeft = layout.checkAllLeft = layout.labelAllLeft = -1;
    PagedList list(&screen, paging, layout);
    std::array<QLabel *, kRowsPerPage> lab8{}, op2{};
    for (int i = 0; i < kRowsPerPage; ++i) {
        lab8[i] = new QLabel(QStringLiteral("mine"), &screen);
        lab8[i]->setObjectName(ArrayName(QStringLiteral("lab8"), i));
        op2[i] = new QLabel(QStringLiteral("[op]"), &screen);
        op2[i]->setObjectName(ArrayName(QStringLiteral("labOP_2"), i));
        if (i > 4)
            op2[i]->hide();
    }
    EXPECT_EQ(Control<QCheckBox>(screen, QStringLiteral("chk(0)")), nullptr);
    EXPECT_EQ(Control<QCheckBox>(screen, QStringLiteral("chkAll")), nullptr);

    const TextTable rows = MakeRows(25);
    list.show(ListCall{7, &rows, QStringLiteral("[查看]"), QString(), false});
    list.lastPage();
    list.previousPage();
    EXPECT_EQ(Control<QLabel>(screen, QStringLiteral("labPage"))->text(), QStringLiteral("2/3"));
    EXPECT_EQ(Control<QLabel>(screen, QStringLiteral("lab7(0)"))->text(), QStringLiteral("c6-11"));
    for (int i = 0; i < kRowsPerPage; ++i) {
        EXPECT_EQ(lab8[i]->text(), QStringLiteral("mine"));
        EXPECT_EQ(op2[i]->text(), QStringLiteral("[op]"));
        EXPECT_EQ(op2[i]->isHidden(), i > 4);
    }
    EXPECT_TRUE(list.checkedSlots().isEmpty());
}

}   // namespace
