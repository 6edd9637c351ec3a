#pragma once

#include "data/Tables.h"

#include <QDate>

// Stores the current draw list as sel_expert records: one record per row,
// dated today ("YYYY-MM-DD"), with consecutive identifiers after the last
// cached SelectionTable Id, all in one transaction. Throws DbError and
// leaves the file as it was when any record cannot be written. Neither
// updates SelectionTable nor changes DrawUnsaved: callers decide. Returns
// the Ids of the records written.
QStringList StoreDrawList(const DataStore &store, const TextTable &drawList, const QDate &today);
