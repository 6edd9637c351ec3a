#pragma once

#include "data/Tables.h"

#include <QDate>

// Column of a draw-list row, after the eight shown ones, that marks the row
// as stored: each expert of a draw is stored once, however often the list
// is stored again after rows were deleted or a temporary expert was added.
// A new draw list starts without marks.
inline constexpr int kDrawRowStoredColumn = 8;
bool IsDrawRowStored(const QStringList &row);
// The number of rows of the list not stored yet.
qsizetype UnstoredDrawRows(const TextTable &drawList);

// Stores the rows of the draw list not stored yet as sel_expert records: one
// record per row, dated today ("YYYY-MM-DD"), numbered after the highest
// record of the file, all in one transaction; then marks those rows stored.
// Throws DbError and leaves the file and the marks as they were when any
// record cannot be written. Returns how many records were written. Neither
// reloads SelectionTable nor changes DrawUnsaved: callers decide.
qsizetype StoreDrawList(const DataStore &store, TextTable &drawList, const QDate &today);
