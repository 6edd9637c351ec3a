#pragma once

#include "data/DataSource.h"
#include "data/Database.h"
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
    QString appDir;             // the application folder
    DataSource source;          // the data file by default, or a server
    TextTable UserTable;        // login_pwd: Id, User_name, Password, Limits
    TextTable TitleTypeTable;   // resource_zhicheng: Id, Name
    TextTable DegreeTable;      // resource_degree: Id, Name
    TextTable ExpertTable;      // expert_msg: the 29 fields in order
    TextTable SelectionTable;   // sel_expert: Id, Sel_data, Expert_Id
    TextTable ProjectTable;     // stored draws, one row per project (LoadProjects)

    // Server: each loaded table's change count as read with it.
    QHash<QString, qlonglong> loadedChanges;

    QString dataFilePath() const { return source.path.isEmpty() ? DataFilePath(appDir) : source.path; }
    bool onServer() const { return source.isServer(); }
};

// Opens ProSys.mdb of the store's application folder shared and read-write,
// or connects to the store's server.
Connection OpenDataFile(const DataStore &store);

struct TableDef;
// A whole table of an open file in Id order; a null becomes "".
TextTable ReadTable(Connection &conn, const TableDef &def);
// Runs read on a new connection to the store's library. On a server it reads
// in one snapshot with the change counts of tables, which the store keeps
// (see ChangedTables).
void ReadWithChanges(DataStore &store, const QStringList &tables, const std::function<void(Connection &)> &read);

void LoadUsers(DataStore &store);
void LoadTitleTypes(DataStore &store);
void LoadDegrees(DataStore &store);
void LoadExperts(DataStore &store);
void LoadSelections(DataStore &store);
// Every table, in the order the main window loads them, then the users and
// the projects.
void LoadAllTables(DataStore &store);

// The loaded tables that another program changed on the server since this
// store read them; always none for a file, which one program uses at a time.
QStringList ChangedTables(const DataStore &store);
// Reloads those tables; true when any was reloaded.
bool RefreshChangedTables(DataStore &store);

// After a write that added, changed or removed the records with these Ids:
// reads just those records back and puts each in its place in Id order (a
// record the file no longer holds leaves the table), so that the table holds
// what its loader would read, without reading the whole table again. When
// all of them come after the table's last Id, every record past it is read,
// so that a server's records added meanwhile by a colleague come along. The
// table must otherwise have been current before the write. Throws DbError and leaves
// the table as it was when the file cannot be read.
void RefreshExperts(DataStore &store, const QStringList &ids);
void RefreshSelections(DataStore &store, const QStringList &ids);

// The order of Ids in the tables, which is the engine's order of text:
// by Unicode code point, as the bytes of UTF-8 compare.
bool IdLess(QStringView a, QStringView b);
