#include "data/ReferenceNames.h"

qsizetype ReferenceRowForCode(const TextTable &table, const QString &code)
{
    bool ok = false;
    const qlonglong n = code.trimmed().toLongLong(&ok);
    if (!ok || n < 0 || n >= table.count())
        return -1;
    return qsizetype(n);
}

QString TitleNameForCode(const DataStore &store, const QString &code)
{
    const qsizetype row = ReferenceRowForCode(store.TitleTypeTable, code);
    return row < 0 ? QString() : store.TitleTypeTable.cell(row, 1);
}

QString DegreeNameForCode(const DataStore &store, const QString &code)
{
    const qsizetype row = ReferenceRowForCode(store.DegreeTable, code);
    return row < 0 ? QString() : store.DegreeTable.cell(row, 1);
}
