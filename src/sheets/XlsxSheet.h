#pragma once

#include "data/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Reads the cells of the first worksheet of an Excel 2007+ workbook (.xlsx)
// straight from its XML, without a spreadsheet program: row 1 first, each
// row cut or filled to columnCount cells, up to the last row that holds a
// value.
//
// Cells read as the user sees them: texts as they are, numbers as a general
// format shows them ("13800138000", "1.10101196503081E+017", "3.5"), TRUE and
// FALSE, and a number formatted as a date or time in the program's own date
// form "YYYY-MM-DD" (with " hh:mm:ss" when it carries a time).
//
// progress(done, total) is called as the sheet is read, in parts of the
// sheet. Fails when the file is no workbook this reader understands (the
// caller may hand it to a spreadsheet program instead). The file is read
// as it unpacks, never whole, and a part of it that claims or unpacks to
// more than ZipReader::kMaxMemberSize is refused.
//
// numberCell(row, column, value, date), when given, learns each cell that
// holds a number (row and column from 1): what it shows may not be what was
// typed. A date's value counts days since 1899-12-30 in either date system.
Result<QList<QStringList>> ReadXlsxSheet(
    const QString &path, int columnCount, const std::function<void(int done, int total)> &progress = {},
    const std::function<void(int row, int column, double value, bool date)> &numberCell = {});
