#include "lists/ListEngine.h"

#include "data/TextWidth.h"

#include <QCheckBox>
#include <QLabel>
#include <QPalette>

#include <algorithm>

namespace {

// The number of label columns a call may touch: lab1 and lab2 always, never
// more than the grid has.
int ColumnsToTouch(int columnsUsed) { return std::clamp(columnsUsed, 2, kMaxListColumns); }

void SetCaption(QLabel *label, const QString &text)
{
    if (label && label->text() != text)
        label->setText(text);
}

void SetLink(QLabel *label, bool &flag, bool on)
{
    flag = on;
    SetTextColor(label, on ? kLinkActive : kLinkInactive);
}

void WritePageLabel(const PagingState &paging, ListControls &c)
{
    SetCaption(c.labPage, QStringLiteral("%1/%2").arg(paging.CurrentPage).arg(paging.PageCount));
}

bool SlotFilled(const ListControls &c, int slot)
{
    const QLabel *number = c.lab[0][slot];
    return number && !number->text().trimmed().isEmpty();
}

void ShowOperation(std::array<QLabel *, kRowsPerPage> &links, const ListControls &c, const QString &caption)
{
    for (int i = 0; i < kRowsPerPage; ++i) {
        QLabel *link = links[i];
        if (!link)
            continue;
        if (SlotFilled(c, i)) {
            SetCaption(link, caption);
            SetTextColor(link, kOperationLink);
            link->setHidden(false);
        } else {
            link->setHidden(true);
        }
    }
}

// Writes rows r0 .. r0 + k - 1 of the list into slots 0 .. k - 1 after
// clearing exactly the controls the call names. Reads are kept inside the
// list, so a stale or inconsistent position never reads past its end.
void FillPage(ListControls &c, const ListCall &call, qsizetype r0, qsizetype k)
{
    const int columns = ColumnsToTouch(call.columnsUsed);

    ClearListRows(c, columns);
    if (call.checkBoxes)
        ClearListChecks(c);
    if (!call.firstOperation.isEmpty())
        ClearFirstOperation(c);
    if (!call.secondOperation.isEmpty())
        ClearSecondOperation(c);

    const qsizetype count = call.rowCount();
    r0 = std::max<qsizetype>(r0, 0);
    k = std::clamp<qsizetype>(k, 0, std::min<qsizetype>(kRowsPerPage, count - r0));
    for (qsizetype i = 0; i < k; ++i) {
        const qsizetype row = r0 + i;
        SetCaption(c.lab[0][i], QString::number(row + 1));
        for (int m = 2; m <= columns; ++m)
            // A cell is one line: a name imported with a line break would
            // push its second line out of the row.
            SetCaption(c.lab[m - 1][i], ShownOnOneLine(call.list->cell(row, m - 1).toString()));
    }

    if (call.checkBoxes)
        ShowRowChecks(c);
    if (!call.firstOperation.isEmpty())
        ShowFirstOperation(c, call.firstOperation);
    if (!call.secondOperation.isEmpty())
        ShowSecondOperation(c, call.secondOperation);
}

}   // namespace

qsizetype ListPageCount(qsizetype rowCount)
{
    if (rowCount <= 0)
        return 0;
    return (rowCount + kRowsPerPage - 1) / kRowsPerPage;
}

void ShowListPage(PagingState &paging, ListControls &c, const ListCall &call)
{
    const qsizetype count = call.rowCount();
    paging.SelectedRow = 0;
    paging.CurrentPage = count > 0 ? 1 : 0;
    paging.PageCount = ListPageCount(count);
    WritePageLabel(paging, c);

    SetLink(c.labFirst, paging.FirstLinkOn, false);
    SetLink(c.labPre, paging.PreviousLinkOn, false);
    const bool more = count > kRowsPerPage;
    SetLink(c.labNext, paging.NextLinkOn, more);
    SetLink(c.labLast, paging.LastLinkOn, more);

    FillPage(c, call, 0, std::min<qsizetype>(count, kRowsPerPage));
}

void ShowFirstPage(PagingState &paging, ListControls &c, const ListCall &call)
{
    if (!paging.FirstLinkOn)
        return;
    const qsizetype count = call.rowCount();
    FillPage(c, call, 0, std::min<qsizetype>(count, kRowsPerPage));
    paging.CurrentPage = 1;
    WritePageLabel(paging, c);

    const bool more = count > kRowsPerPage;
    SetLink(c.labNext, paging.NextLinkOn, more);
    SetLink(c.labLast, paging.LastLinkOn, more);
    SetLink(c.labFirst, paging.FirstLinkOn, false);
    SetLink(c.labPre, paging.PreviousLinkOn, false);
}

void ShowPreviousPage(PagingState &paging, ListControls &c, const ListCall &call)
{
    if (!paging.PreviousLinkOn || paging.CurrentPage < 2)
        return;
    FillPage(c, call, (paging.CurrentPage - 2) * kRowsPerPage, kRowsPerPage);
    --paging.CurrentPage;
    WritePageLabel(paging, c);

    SetLink(c.labNext, paging.NextLinkOn, true);
    SetLink(c.labLast, paging.LastLinkOn, true);
    const bool back = paging.CurrentPage > 1;
    SetLink(c.labFirst, paging.FirstLinkOn, back);
    SetLink(c.labPre, paging.PreviousLinkOn, back);
}

void ShowNextPage(PagingState &paging, ListControls &c, const ListCall &call)
{
    if (!paging.NextLinkOn)
        return;
    const qsizetype count = call.rowCount();
    const qsizetype r0 = paging.CurrentPage * kRowsPerPage;
    // A list that shrank behind the engine's back has no next page to show.
    if (r0 >= count)
        return;
    const qsizetype remaining = count - r0;
    FillPage(c, call, r0, remaining >= kRowsPerPage ? kRowsPerPage : remaining);
    ++paging.CurrentPage;
    WritePageLabel(paging, c);

    SetLink(c.labFirst, paging.FirstLinkOn, true);
    SetLink(c.labPre, paging.PreviousLinkOn, true);
    const bool more = paging.CurrentPage < ListPageCount(count);
    SetLink(c.labNext, paging.NextLinkOn, more);
    SetLink(c.labLast, paging.LastLinkOn, more);
}

void ShowLastPage(PagingState &paging, ListControls &c, const ListCall &call)
{
    if (!paging.LastLinkOn)
        return;
    const qsizetype count = call.rowCount();
    if (count <= 0)
        return;
    const qsizetype t = count % kRowsPerPage;
    if (t != 0)
        FillPage(c, call, count - t, t);
    else
        FillPage(c, call, count - kRowsPerPage, kRowsPerPage);
    // Counted from the rows just shown so the label always matches the grid.
    paging.PageCount = ListPageCount(count);
    paging.CurrentPage = paging.PageCount;
    WritePageLabel(paging, c);

    SetLink(c.labFirst, paging.FirstLinkOn, true);
    SetLink(c.labPre, paging.PreviousLinkOn, true);
    SetLink(c.labNext, paging.NextLinkOn, false);
    SetLink(c.labLast, paging.LastLinkOn, false);
}

void ShowPageNumber(PagingState &paging, ListControls &c, const ListCall &call, qsizetype page)
{
    ShowListPage(paging, c, call);
    const qsizetype target = std::min(page, paging.PageCount);
    if (target <= 1)
        return;
    // Stands just before the page, then moves on to it the usual way.
    paging.CurrentPage = target - 1;
    paging.NextLinkOn = true;
    ShowNextPage(paging, c, call);
}

void ToggleAllChecks(ListControls &c)
{
    if (!c.chkAll)
        return;
    const bool tick = c.chkAll->isChecked();
    for (QCheckBox *box : c.chk) {
        // Only what the user can see on the page; the widget may sit on a
        // screen that is not on display, so ask for its own hidden flag.
        if (box && !box->isHidden())
            box->setChecked(tick);
    }
}

void ToggleAllChecksFromLabel(ListControls &c)
{
    if (!c.chkAll)
        return;
    c.chkAll->setChecked(!c.chkAll->isChecked());
    ToggleAllChecks(c);
}

void ClearListRows(ListControls &c, int columnsUsed)
{
    const int columns = ColumnsToTouch(columnsUsed);
    for (int m = 0; m < columns; ++m)
        for (QLabel *label : c.lab[m])
            SetCaption(label, QString());
}

void ClearListChecks(ListControls &c)
{
    for (QCheckBox *box : c.chk)
        if (box)
            box->setChecked(false);
    if (c.chkAll)
        c.chkAll->setChecked(false);
}

void ClearFirstOperation(ListControls &c)
{
    for (QLabel *link : c.labOP_1)
        SetCaption(link, QString());
}

void ClearSecondOperation(ListControls &c)
{
    for (QLabel *link : c.labOP_2)
        SetCaption(link, QString());
}

void ShowRowChecks(ListControls &c)
{
    for (int i = 0; i < kRowsPerPage; ++i) {
        QCheckBox *box = c.chk[i];
        if (!box)
            continue;
        if (SlotFilled(c, i)) {
            box->setHidden(false);
        } else {
            box->setHidden(true);
            box->setChecked(false);
        }
    }
}

void ShowFirstOperation(ListControls &c, const QString &caption) { ShowOperation(c.labOP_1, c, caption); }

void ShowSecondOperation(ListControls &c, const QString &caption) { ShowOperation(c.labOP_2, c, caption); }
