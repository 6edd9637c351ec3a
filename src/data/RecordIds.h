#pragma once

#include "data/Tables.h"

// Identifier for the k-th record (k = 1, 2, ...) of a batch about to be added
// to the table: the last cached Id plus k, at least six digits with leading
// zeros; "000001" for the first record of an empty table.
QString NextRecordId(const TextTable &table, qsizetype k = 1);
