#pragma once

#include "data/Tables.h"

class Connection;
struct TableDef;

// Record identifiers of expert_msg and sel_expert: the record number as
// text, at least six digits with leading zeros ("000001"), so that numbers
// below a million keep six digits. The next number follows the highest
// number present, compared as numbers: "1000000" is above "999999" although
// it sorts before it as text.

// Identifier text of a record number.
QString RecordIdText(qlonglong number);

// The highest record number of the table in the file, 0 for an empty
// table; the k-th record of a batch about to be added gets this plus k.
// Take it inside the transaction that adds the records, so that no other
// writer can take the numbers in between. Throws DbError when an Id of the
// table is not a number.
qlonglong HighestRecordNumber(Connection &conn, const TableDef &table);

// Identifier for the k-th record (k = 1, 2, ...) of a batch, by the same
// rule over an in-memory copy of a table.
QString NextRecordId(const TextTable &table, qsizetype k = 1);
