#pragma once

#include "data/Database.h"
#include "data/TextTable.h"

#include <QList>
#include <QString>
#include <QStringList>

// The database file and the in-memory copies of its five tables. Only the
// loaders write the tables, each replacing its table wholesale, and the
// refreshes below, which bring a table up to date after a write.
struct DataStore {
    QString appDir;   // the application folder
    TextTable UserTable;       // login_pwd: Id, User_name, Password, Limits
    TextTable TitleTypeTable;  // resource_zhicheng: Id, Name
    TextTable DegreeTable;     // resource_degree: Id, Name
    TextTable ExpertTable;     // expert_msg: the 29 fields in order
    TextTable SelectionTable;  // sel_expert: Id, Sel_data, Expert_Id
    TextTable ProjectTable;    // stored draws, one row per project (LoadProjects)

    QString dataFilePath() const { return DataFilePath(appDir); }
};

// Opens ProSys.mdb of the store's application folder shared and read-write.
Connection OpenDataFile(const DataStore &store);

struct TableDef;
// A whole table of an open file in Id order; a null becomes "".
TextTable ReadTable(Connection &conn, const TableDef &def);

void LoadUsers(DataStore &store);
void LoadTitleTypes(DataStore &store);
void LoadDegrees(DataStore &store);
void LoadExperts(DataStore &store);
void LoadSelections(DataStore &store);
// Every table, in the order the main window loads them, then the users and
// the projects.
void LoadAllTables(DataStore &store);

// After a write that added, changed or removed the records with these Ids:
// reads just those records back and puts each in its place in Id order (a
// record the file no longer holds leaves the table), so that the table holds
// what its loader would read, without reading the whole table again. The
// table must have been current before the write. Throws DbError and leaves
// the table as it was when the file cannot be read.
void RefreshExperts(DataStore &store, const QStringList &ids);
void RefreshSelections(DataStore &store, const QStringList &ids);

// True when the file's expert_msg has as many records as ExpertTable and the
// same last Id: so it is when only this program wrote it since the table was
// read. Reads on the caller's connection.
bool ExpertTableMatchesFile(Connection &conn, const DataStore &store);

// The order of Ids in the tables, which is the engine's order of text:
// by Unicode code point, as the bytes of UTF-8 compare.
bool IdLess(QStringView a, QStringView b);
