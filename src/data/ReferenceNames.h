#pragma once

#include "data/Tables.h"

// Name of the title level an expert stores in zhicheng_id: the code is read
// as a number and names the TitleTypeTable row of that index. A code that is
// not a number or names no row gives "".
QString TitleNameForCode(const DataStore &store, const QString &code);
// The same for the degree code of degree_type_id and DegreeTable.
QString DegreeNameForCode(const DataStore &store, const QString &code);
// Row index named by a stored two-digit code, or -1 when it is not a number
// or outside the table.
qsizetype ReferenceRowForCode(const TextTable &table, const QString &code);
