#pragma once

#include "data/DataSource.h"
#include "data/Database.h"
#include "data/LibraryBackend.h"
#include "data/Result.h"
#include "data/TextTable.h"

#include <QHash>
#include <functional>
#include <QList>
#include <QString>
#include <QStringList>

// The database file and the in-memory copies of its five tables. Only the
// loaders write the tables, each replacing its table wholesale, and the
// refreshes below, which bring a table up to date after a write.
struct DataStore {
    QString appDir;      // the application folder
    DataSource source;   // the data file by default, or a server
    // The library the source names; made by PrepareLibrary, or at first use.
    mutable std::shared_ptr<LibraryBackend> libraryBackend;
    mutable QString libraryFolder;   // appDir when libraryBackend was made
    TextTable UserTable;             // login_pwd: Id, User_name, Password, Limits
    TextTable TitleTypeTable;        // resource_zhicheng: Id, Name
    TextTable DegreeTable;           // resource_degree: Id, Name
    TextTable ExpertTable;           // expert_msg: the 29 fields in order
    TextTable SelectionTable;        // sel_expert: Id, Sel_data, Expert_Id
    TextTable ProjectTable;          // stored draws, one row per project (LoadProjects)
    QString operatorName;            // who is logged in, as the operation log names them

    QString dataFilePath() const { return source.path.isEmpty() ? DataFilePath(appDir) : source.path; }
    LibraryBackend &library() const
    {
        // A source or folder changed since (the connection chosen anew) is
        // another library.
        if (!libraryBackend || !(libraryBackend->source() == source) || libraryFolder != appDir) {
            libraryBackend = LibraryBackend::ForSource(source, appDir);
            libraryFolder = appDir;
        }
        return *libraryBackend;
    }
};

// The session's connection to the store's library (opened once, kept).
Connection &LibraryConnection(const DataStore &store);
// A connection of its own to the store's library, beside the session's.
Connection OpenDataFile(const DataStore &store);

struct TableDef;
// A whole table of an open library in Id order; a null becomes "".
TextTable ReadTable(Connection &conn, const TableDef &def);
// Appends the rows of a statement, each straight from the engine's UTF-8
// into its buffer; the statement stands on its first row when haveRow.
void ReadRows(Statement &read, int columns, TextTable &table, bool haveRow = false);

void LoadUsers(DataStore &store);
void LoadTitleTypes(DataStore &store);
void LoadDegrees(DataStore &store);
void LoadExperts(DataStore &store);
void LoadSelections(DataStore &store);
// Every table, in the order the main window loads them, then the users and
// the projects.
void LoadAllTables(DataStore &store);

// The loaded tables that another program changed since this store read
// them; always none for a library that one program uses at a time.
QStringList ChangedTables(const DataStore &store);
// Reloads those tables; true when any was reloaded.
bool RefreshChangedTables(DataStore &store);

// After a write that added, changed or removed the records with these Ids:
// reads just those records back and puts each in its place in Id order (a
// record the file no longer holds leaves the table), so that the table holds
// what its loader would read, without reading the whole table again. When
// all of them come after the table's last Id, every record past it is read,
// so that a server's records added meanwhile by a colleague come along. The
// table must otherwise have been current before the write. A failure leaves
// the table as it was when the file cannot be read.
Outcome RefreshExperts(DataStore &store, const QStringList &ids);
Outcome RefreshSelections(DataStore &store, const QStringList &ids);

// The order of Ids in the tables, which is the engine's order of text:
// by Unicode code point, as the bytes of UTF-8 compare.
bool IdLess(QStringView a, QStringView b);
