#pragma once

#include <QtGlobal>

// The one paging state of the program; it always describes the list shown
// last. Positions are not limited to 16 bits.
struct PagingState {
    qsizetype CurrentPage = 0;   // from 1; 0 for an empty list
    qsizetype PageCount = 0;
    bool FirstLinkOn = false;
    bool PreviousLinkOn = false;
    bool NextLinkOn = false;
    bool LastLinkOn = false;
    qsizetype SelectedRow = 0;   // 1-based row last chosen; 0 after ShowListPage
};
