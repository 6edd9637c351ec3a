#pragma once

#include "data/Tables.h"
#include "lists/PagingState.h"
#include "ui/ScreenStyle.h"

#include <QColor>
#include <QString>
#include <array>

class QCheckBox;
class QLabel;

inline constexpr int kRowsPerPage = 10;
inline constexpr int kMaxListColumns = 10;

// The controls of a list screen that the engine fills: ten row slots of
// label columns lab1..lab10, row check boxes, the two row operation links,
// the check-all box and the page label and links. Controls a screen does not
// have stay null; the engine touches only what a call names.
struct ListControls {
    std::array<std::array<QLabel *, kRowsPerPage>, kMaxListColumns> lab{};   // lab[0] is lab1
    std::array<QCheckBox *, kRowsPerPage> chk{};
    QCheckBox *chkAll = nullptr;
    QLabel *labAll = nullptr;
    std::array<QLabel *, kRowsPerPage> labOP_1{};
    std::array<QLabel *, kRowsPerPage> labOP_2{};
    QLabel *labPage = nullptr;
    QLabel *labFirst = nullptr;
    QLabel *labPre = nullptr;
    QLabel *labNext = nullptr;
    QLabel *labLast = nullptr;
};

// The arguments of one engine call; a screen repeats its last ShowListPage
// arguments for the page links.
struct ListCall {
    int columnsUsed = 2;               // 2 to 10
    const TextTable *list = nullptr;   // column 0 is the key, never shown
    QString firstOperation;            // "" for none
    QString secondOperation;           // "" for none
    bool checkBoxes = false;

    qsizetype rowCount() const { return list ? list->count() : 0; }
};

qsizetype ListPageCount(qsizetype rowCount);
// WorkingList row behind slot i of the current page.
inline qsizetype RowPosition(const PagingState &paging, int slot)
{
    return (paging.CurrentPage - 1) * kRowsPerPage + slot;
}

void ShowListPage(PagingState &paging, ListControls &c, const ListCall &call);
void ShowFirstPage(PagingState &paging, ListControls &c, const ListCall &call);
void ShowPreviousPage(PagingState &paging, ListControls &c, const ListCall &call);
void ShowNextPage(PagingState &paging, ListControls &c, const ListCall &call);
void ShowLastPage(PagingState &paging, ListControls &c, const ListCall &call);
// Shows page number page of the list (the last one when it has fewer), with
// the page links set as paging there would have set them.
void ShowPageNumber(PagingState &paging, ListControls &c, const ListCall &call, qsizetype page);
void ToggleAllChecks(ListControls &c);
void ToggleAllChecksFromLabel(ListControls &c);
void ClearListRows(ListControls &c, int columnsUsed);
void ClearListChecks(ListControls &c);
void ClearFirstOperation(ListControls &c);
void ClearSecondOperation(ListControls &c);
void ShowRowChecks(ListControls &c);
void ShowFirstOperation(ListControls &c, const QString &caption);
void ShowSecondOperation(ListControls &c, const QString &caption);
