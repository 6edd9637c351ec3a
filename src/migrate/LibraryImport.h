#pragma once

#include "data/Outcome.h"
#include "data/Tables.h"
#include "migrate/TableSource.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Bringing a whole expert library in from another database file (an Access
// .mdb of the program this one replaces): the five tables by name, their
// columns by name, record numbers kept.

namespace Migrate {

// A value that was longer than its field's width and had to be cut.
struct CutValue {
    QString table;
    QString recordId;   // the record's Id
    QString field;
};

// What was found for one of the program's five tables.
struct TableFinding {
    QString table;        // the program's name: login_pwd, ...
    QString sourceName;   // the table in the file; "" when it is missing
    qsizetype rows = 0;
    QStringList missingColumns;   // fields the file's table lacks; stored empty
    QStringList extraColumns;     // columns of the file's table that are not brought in
};

struct ImportPlan {
    QString sourceFile;
    QList<TableFinding> tables;   // the five, in the program's order
    QStringList extraTables;      // tables of the file that are not brought in
    QList<CutValue> cuts;         // every value cut to its field's width
    QStringList problems;         // why the library cannot be brought in; empty when it can
    // The records to store, per table in the program's order, one value per
    // field position; an invalid QVariant is stored as null.
    QList<QList<QVariantList>> records;

    bool canImport() const { return problems.isEmpty(); }
    qsizetype rowsOf(const QString &table) const;
};

// Reads the five tables and prepares their records: names of tables and
// columns match whatever their case, date/time values become "yyyy-mm-dd",
// other values their text; expert fields are cut to the editor's widths;
// user names and passwords, the title levels and the degrees come as they
// are. Refuses (in problems) a file without one of the five tables, a table
// without Id, an Id that is empty or given twice, a column that holds no
// text (binary, OLE) and a user table without an administrator.
// Throws SourceError when the source cannot be read.
ImportPlan PlanImport(const TableSource &source);
// The same for an Access file, at the module's edge: the plan, or why the
// file cannot be read. libraryKeys as for AccessFile::open.
Result<ImportPlan> PlanAccessImport(const QString &path, const QStringList &libraryKeys = {});

// For the user to read before confirming: records per table, missing and
// extra tables and columns, and every cut value.
QString FindingsText(const ImportPlan &plan);
// Why the library cannot be brought in; "" when it can.
QString RefusalText(const ImportPlan &plan);
// The question asked before the library of the current data file is replaced.
QString ConfirmationText(const ImportPlan &plan);

// Replaces the whole content of the application's data file by the plan's
// library in one transaction, after a safety copy like the one taken
// before initialising. Every other table of the file (the extraction
// records) is emptied. Reloads the in-memory tables; the caller drops an
// unsaved draw on success. On failure the data file is left as it was.
Outcome ImportLibrary(DataStore &store, const QDate &today, const ImportPlan &plan);

// Writes a new encrypted data file holding the plan's library. Never
// replaces an existing file and never leaves a partial one; a failure says
// why nothing was written.
// key: the new file's own password, empty for the default one.
Outcome WriteNewDataFile(const ImportPlan &plan, const QString &target, const QString &key = {});

}   // namespace Migrate
