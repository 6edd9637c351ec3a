#include "ListTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Every control the engine can name, built by hand on a screen that is never
// shown, so "visible" must come from the controls' own hidden flags.
struct HandBuiltGrid {
    QWidget screen;
    ListControls c;
    PagingState paging;

    HandBuiltGrid()
    {
        for (int m = 0; m < kMaxListColumns; ++m)
            for (int i = 0; i < kRowsPerPage; ++i)
                c.lab[m][i] = new QLabel(&screen);
        for (int i = 0; i < kRowsPerPage; ++i) {
            c.chk[i] = new QCheckBox(&screen);
            c.labOP_1[i] = new QLabel(&screen);
            c.labOP_2[i] = new QLabel(&screen);
        }
        c.chkAll = new QCheckBox(&screen);
        c.labAll = new QLabel(QStringLiteral("全选"), &screen);
        c.labPage = new QLabel(&screen);
        c.labFirst = new QLabel(&screen);
        c.labPre = new QLabel(&screen);
        c.labNext = new QLabel(&screen);
        c.labLast = new QLabel(&screen);
    }

    QString cell(int column, int slot) const { return c.lab[column - 1][slot]->text(); }
};

TEST(ListPageCount, RoundsUpToWholePages)
{
    const struct {
        qsizetype rows, pages;
    } cases[] = {
        {0, 0},  {1, 1},        {9, 1},        {10, 1},       {11, 2},       {25, 3},
        {30, 3}, {32767, 3277}, {32768, 3277}, {40000, 4000}, {40001, 4001},
    };
    for (const auto &tc : cases)
        EXPECT_EQ(ListPageCount(tc.rows), tc.pages) << tc.rows << " rows";
}

// A call with 7 columns, no second link and no check boxes leaves lab8..lab10,
// labOP_2 and the check boxes exactly as the screen left them, on every page move.
TEST(ListEngine, TouchesOnlyTheControlsTheCallNames)
{
    HandBuiltGrid g;
    for (int i = 0; i < kRowsPerPage; ++i) {
        for (int m = 8; m <= 10; ++m)
            g.c.lab[m - 1][i]->setText(QStringLiteral("keep%1").arg(m));
        g.c.labOP_2[i]->setText(QStringLiteral("[keep]"));
        g.c.labOP_2[i]->setHidden(i % 2 == 0);
        SetTextColor(g.c.labOP_2[i], kWarningRed);
        g.c.chk[i]->setChecked(i % 3 == 0);
        g.c.chk[i]->setHidden(i % 2 == 1);
    }
    g.c.chkAll->setChecked(true);

    const TextTable rows = MakeRows(25);
    const ListCall call{7, &rows, QStringLiteral("[查看]"), QString(), false};
    auto untouched = [&](const char *step) {
        SCOPED_TRACE(step);
        for (int i = 0; i < kRowsPerPage; ++i) {
            for (int m = 8; m <= 10; ++m)
                EXPECT_EQ(g.cell(m, i), QStringLiteral("keep%1").arg(m));
            EXPECT_EQ(g.c.labOP_2[i]->text(), QStringLiteral("[keep]"));
            EXPECT_EQ(g.c.labOP_2[i]->isHidden(), i % 2 == 0);
            EXPECT_EQ(TextColor(g.c.labOP_2[i]), kWarningRed);
            EXPECT_EQ(g.c.chk[i]->isChecked(), i % 3 == 0);
            EXPECT_EQ(g.c.chk[i]->isHidden(), i % 2 == 1);
        }
        EXPECT_TRUE(g.c.chkAll->isChecked());
    };

    ShowListPage(g.paging, g.c, call);
    EXPECT_EQ(g.cell(7, 0), QStringLiteral("c6-1"));
    untouched("ShowListPage");
    ShowNextPage(g.paging, g.c, call);
    untouched("ShowNextPage");
    ShowLastPage(g.paging, g.c, call);
    EXPECT_EQ(g.cell(7, 4), QStringLiteral("c6-25"));
    EXPECT_EQ(g.cell(7, 5), QString());
    untouched("ShowLastPage");
    ShowPreviousPage(g.paging, g.c, call);
    untouched("ShowPreviousPage");
    ShowFirstPage(g.paging, g.c, call);
    untouched("ShowFirstPage");
}

TEST(ListEngine, EmptyCaptionLeavesFirstLinkAlone)
{
    HandBuiltGrid g;
    g.c.labOP_1[3]->setText(QStringLiteral("x"));
    const TextTable rows = MakeRows(2);
    ShowListPage(g.paging, g.c, ListCall{2, &rows, QString(), QStringLiteral("[修改]"), false});
    EXPECT_EQ(g.c.labOP_1[3]->text(), QStringLiteral("x"));
    EXPECT_FALSE(g.c.labOP_1[3]->isHidden());
    EXPECT_EQ(g.c.labOP_2[1]->text(), QStringLiteral("[修改]"));
    EXPECT_TRUE(g.c.labOP_2[2]->isHidden());
}

TEST(ListEngine, FortyThousandRowsPageToTheEnd)
{
    HandBuiltGrid g;
    const TextTable rows = MakeRows(40000, 3);
    const ListCall call{3, &rows, QStringLiteral("[查看]"), QString(), true};
    ShowListPage(g.paging, g.c, call);
    EXPECT_EQ(g.c.labPage->text(), QStringLiteral("1/4000"));

    ShowLastPage(g.paging, g.c, call);
    EXPECT_EQ(g.c.labPage->text(), QStringLiteral("4000/4000"));
    EXPECT_EQ(g.paging.CurrentPage, 4000);
    for (int i = 0; i < kRowsPerPage; ++i) {
        EXPECT_EQ(g.cell(1, i), QString::number(39991 + i));
        EXPECT_EQ(g.cell(2, i), QStringLiteral("c1-%1").arg(39991 + i));
        EXPECT_EQ(g.cell(3, i), QStringLiteral("c2-%1").arg(39991 + i));
        EXPECT_FALSE(g.c.chk[i]->isHidden());
    }
    EXPECT_FALSE(g.paging.NextLinkOn);
    EXPECT_EQ(TextColor(g.c.labNext), kLinkInactive);

    ShowPreviousPage(g.paging, g.c, call);
    EXPECT_EQ(g.c.labPage->text(), QStringLiteral("3999/4000"));
    EXPECT_EQ(g.cell(1, 0), QStringLiteral("39981"));
    EXPECT_EQ(RowPosition(g.paging, 0), 39980);
}

// Walks across row 32767 in both directions, where 16-bit positions would wrap.
TEST(ListEngine, PagesPastRow32767)
{
    HandBuiltGrid g;
    const TextTable rows = MakeRows(32785, 2);
    const ListCall call{2, &rows, QString(), QString(), false};
    ShowListPage(g.paging, g.c, call);
    ShowLastPage(g.paging, g.c, call);
    EXPECT_EQ(g.c.labPage->text(), QStringLiteral("3279/3279"));
    EXPECT_EQ(g.cell(1, 4), QStringLiteral("32785"));
    EXPECT_EQ(g.cell(1, 5), QString());

    ShowPreviousPage(g.paging, g.c, call);
    ShowPreviousPage(g.paging, g.c, call);
    EXPECT_EQ(g.c.labPage->text(), QStringLiteral("3277/3279"));
    for (int i = 0; i < kRowsPerPage; ++i) {
        EXPECT_EQ(g.cell(1, i), QString::number(32761 + i));
        EXPECT_EQ(g.cell(2, i), QStringLiteral("c1-%1").arg(32761 + i));
    }
    EXPECT_EQ(RowPosition(g.paging, 9), 32769);

    ShowPreviousPage(g.paging, g.c, call);
    ShowNextPage(g.paging, g.c, call);
    EXPECT_EQ(g.c.labPage->text(), QStringLiteral("3277/3279"));
    EXPECT_EQ(g.cell(1, 7), QStringLiteral("32768"));
    EXPECT_TRUE(g.paging.NextLinkOn);
    EXPECT_TRUE(g.paging.LastLinkOn);
}

// Rows shorter than the columns in use show empty cells rather than failing.
TEST(ListEngine, ShortRowsShowEmptyCells)
{
    HandBuiltGrid g;
    TextTable rows;
    rows.append({QStringLiteral("K1"), QStringLiteral("only")});
    ShowListPage(g.paging, g.c, ListCall{9, &rows, QString(), QString(), false});
    EXPECT_EQ(g.cell(1, 0), QStringLiteral("1"));
    EXPECT_EQ(g.cell(2, 0), QStringLiteral("only"));
    EXPECT_EQ(g.cell(9, 0), QString());
}

// An empty list may still hold a blank row; the count, not the table, decides.
TEST(ListEngine, NullListIsEmpty)
{
    HandBuiltGrid g;
    ShowListPage(g.paging, g.c, ListCall{2, nullptr, QStringLiteral("[查看]"), QString(), true});
    EXPECT_EQ(g.c.labPage->text(), QStringLiteral("0/0"));
    for (int i = 0; i < kRowsPerPage; ++i) {
        EXPECT_TRUE(g.c.chk[i]->isHidden());
        EXPECT_TRUE(g.c.labOP_1[i]->isHidden());
    }
}

TEST(ListEngine, CheckAllTogglesVisibleBoxesOnAHiddenScreen)
{
    HandBuiltGrid g;
    const TextTable rows = MakeRows(4);
    ShowListPage(g.paging, g.c, ListCall{2, &rows, QString(), QString(), true});
    ASSERT_FALSE(g.screen.isVisible());

    ToggleAllChecksFromLabel(g.c);
    EXPECT_TRUE(g.c.chkAll->isChecked());
    for (int i = 0; i < kRowsPerPage; ++i)
        EXPECT_EQ(g.c.chk[i]->isChecked(), i < 4) << "slot " << i;

    // Twice in a row gives the same as once: the toggle reads chkAll afresh.
    g.c.chkAll->setChecked(false);
    ToggleAllChecks(g.c);
    ToggleAllChecks(g.c);
    for (int i = 0; i < kRowsPerPage; ++i)
        EXPECT_FALSE(g.c.chk[i]->isChecked());
}

TEST(ListEngine, ClearOperationsOnlyEmptyCaptions)
{
    HandBuiltGrid g;
    const TextTable rows = MakeRows(10);
    ShowListPage(g.paging, g.c, ListCall{3, &rows, QStringLiteral("[查看]"), QStringLiteral("[修改]"), true});
    ToggleAllChecksFromLabel(g.c);

    ClearListRows(g.c, 3);
    ClearFirstOperation(g.c);
    ClearSecondOperation(g.c);
    ClearListChecks(g.c);
    for (int i = 0; i < kRowsPerPage; ++i) {
        EXPECT_EQ(g.cell(1, i), QString());
        EXPECT_EQ(g.cell(3, i), QString());
        EXPECT_EQ(g.c.labOP_1[i]->text(), QString());
        EXPECT_EQ(g.c.labOP_2[i]->text(), QString());
        EXPECT_FALSE(g.c.labOP_1[i]->isHidden());
        EXPECT_FALSE(g.c.chk[i]->isHidden());
        EXPECT_FALSE(g.c.chk[i]->isChecked());
    }
    EXPECT_FALSE(g.c.chkAll->isChecked());

    // With nothing in lab1 the show operations hide every row control.
    ShowRowChecks(g.c);
    ShowFirstOperation(g.c, QStringLiteral("[查看]"));
    for (int i = 0; i < kRowsPerPage; ++i) {
        EXPECT_TRUE(g.c.chk[i]->isHidden());
        EXPECT_TRUE(g.c.labOP_1[i]->isHidden());
    }
}

TEST(ListEngine, TextColorReadsBackThePaletteColour)
{
    QLabel label;
    SetTextColor(&label, kOperationLink);
    EXPECT_EQ(TextColor(&label), kOperationLink);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 129));
    SetTextColor(&label, kLinkInactive);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(129, 129, 129));
}

}   // namespace

// A value imported with a line break is shown on its one row.
TEST(ListEngine, ALineBreakInACellShowsAsASpace)
{
    HandBuiltGrid g;
    TextTable rows;
    rows.append({QStringLiteral("K1"), QStringLiteral("张\n三"), QStringLiteral("北京建工\r\n集团")});
    ShowListPage(g.paging, g.c, ListCall{3, &rows, QString(), QString(), false});
    EXPECT_EQ(g.cell(2, 0), QStringLiteral("张 三"));
    EXPECT_EQ(g.cell(3, 0), QStringLiteral("北京建工 集团"));
    EXPECT_EQ(rows.cell(0, 1), QStringLiteral("张\n三")) << "the row itself keeps its value";
}
