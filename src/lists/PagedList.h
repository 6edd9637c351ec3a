#pragma once

#include "lists/ListEngine.h"

#include <QObject>
#include <functional>
#include <QVector>

class QLabel;
class QWidget;

// Where a screen's list controls stand, in twips.
struct ListLayout {
    QVector<int> columnLefts;    // left edges of lab1..labN
    QVector<int> columnWidths;   // widths of lab1..labN (0: fit the text)
    int firstRowTop = 0;         // top of slot 0
    int rowSpacing = 300;        // distance between slots
    int rowHeight = 255;
    int firstOperationLeft = -1;               // labOP_1 column, -1 when the screen has none
    int secondOperationLeft = -1;              // labOP_2 column
    int checkLeft = -1;                        // chk column
    int checkAllLeft = -1, checkAllTop = -1;   // chkAll
    int labelAllLeft = -1, labelAllTop = -1;   // labAll "全选"
    int pageLinksTop = 0;
    // left edges of labFirst, labPre, labPage, labNext, labLast
    std::array<int, 5> pageLinkLefts{};

    // Columns at the given left edges, each reaching to `gap` short of the
    // next one; the last reaches to `end`. A fixed width clips a long value
    // instead of letting it run into the next column.
    void setColumns(const QVector<int> &lefts, int end, int gap = 30);
    // "首页", "上一页", the page label, "下一页" and "尾页" in one row at the
    // given top, spaced as on every list screen, the first at firstLeft.
    void setPageLinks(int top, int firstLeft = kPageLinksLeft);

    static constexpr int kPageLinksLeft = 2760;
};

// Left edges, in twips, of the words of a column heading drawn by `heading`
// (a label already placed on its screen), so that cells line up under their
// titles whatever font the system substitutes.
QVector<int> HeadingWordLefts(const QLabel *heading);

// The list grid of one screen on the paged list engine: builds the named
// controls of the layout on the screen, wires the page links, the check-all
// toggles and the row links, and repeats the last call's arguments for every
// page move.
class PagedList : public QObject {
    Q_OBJECT
public:
    PagedList(QWidget *screen, PagingState &paging, const ListLayout &layout);

    // Shows page 1 of the list (ShowListPage) and remembers the call.
    void show(const ListCall &call);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();

    // Called before every page move: brings the list's rows up to date in
    // place (what a colleague changed on a shared library) and says whether
    // they changed; the move then goes to the page asked for in the new rows.
    void setRefresh(std::function<bool()> refresh) { m_refresh = std::move(refresh); }

    ListControls &controls() { return m_controls; }
    const ListCall &lastCall() const { return m_call; }
    PagingState &paging() { return m_paging; }
    // Row of the shown list behind a slot of the page, or -1 when the slot
    // holds no row (or the list has shrunk behind the screen's back).
    qsizetype rowOfSlot(int slot) const;
    // The same row, made the selected one (SelectedRow counts from 1).
    qsizetype selectSlot(int slot);
    // Slots whose check box is visible and ticked.
    QVector<int> checkedSlots() const;

Q_SIGNALS:
    // After every display, page moves included (screens recolour cells).
    void pageShown();
    void firstOperationClicked(int slot);
    void secondOperationClicked(int slot);

private:
    // Fits the text-sized cells and tells the screen a page is on show.
    void shown();
    // When the refresh rebuilt the rows: shows page of them and true.
    bool showRefreshed(qsizetype page);

    PagingState &m_paging;
    ListControls m_controls;
    ListCall m_call;
    std::function<bool()> m_refresh;
    bool m_shown = false;            // page links do nothing before the first show()
    QVector<QLabel *> m_fitToText;   // cells and links without a fixed width
};
