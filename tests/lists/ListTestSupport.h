#pragma once

#include "data/Tables.h"
#include "lists/ListEngine.h"
#include "lists/PagedList.h"
#include "shell/ChildScreen.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

// A list of n rows: column 0 the key "Kr", columns 1.. the texts "cj-r",
// r counted from 1 so cells name the row number that lab1 shows beside them.
inline TextTable MakeRows(qsizetype n, int columns = 10)
{
    TextTable t;
    t.reserve(n);
    for (qsizetype r = 1; r <= n; ++r) {
        QStringList row{QStringLiteral("K%1").arg(r)};
        for (int j = 1; j < columns; ++j)
            row << QStringLiteral("c%1-%2").arg(j).arg(r);
        t.append(row);
    }
    return t;
}

// The grid of a list screen with `columns` label columns, both row links, row
// check boxes, chkAll and labAll.
inline ListLayout FullLayout(int columns)
{
    ListLayout l;
    for (int m = 0; m < columns; ++m) {
        l.columnLefts << 600 + m * 900;
        l.columnWidths << (m == 0 ? 600 : 0);
    }
    l.firstRowTop = 1200;
    l.firstOperationLeft = 9800;
    l.secondOperationLeft = 10500;
    l.checkLeft = 300;
    l.checkAllLeft = 300;
    l.checkAllTop = 900;
    l.labelAllLeft = 600;
    l.labelAllTop = 900;
    l.pageLinksTop = 4500;
    l.pageLinkLefts = {3000, 3800, 4800, 5600, 6600};
    return l;
}

template <typename T> T *Control(QWidget &screen, const QString &name)
{
    return screen.findChild<T *>(name, Qt::FindDirectChildrenOnly);
}
