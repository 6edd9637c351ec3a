#pragma once

#include "data/Tables.h"

#include <optional>

// Identifier for the k-th record (k = 1, 2, ...) of a batch about to be added
// to the table: the last cached Id plus k, at least six digits with leading
// zeros; "000001" for the first record of an empty table.
QString NextRecordId(const TextTable &table, qsizetype k = 1);

// Identifier for the k-th record of a batch after the record identifier
// last (none when the table is empty), by the same rule.
QString RecordIdAfter(const std::optional<QString> &last, qsizetype k = 1);

struct TableDef;
// The identifier the new records of a write follow. A file: the last Id of
// the cached table, which the program keeps current. A server, where other
// programs add records too: the last Id stored, read inside the caller's
// writing transaction, so that no other writer takes the same numbers.
std::optional<QString> LastIdForWrite(Connection &conn, const TextTable &cached, const TableDef &table);
