#pragma once

#include "data/DataSource.h"
#include "data/Database.h"

#include <QHash>
#include <functional>
#include <QList>
#include <QString>
#include <QStringList>

// A table of text, one row per record; the row count is the list's size, so
// it holds any number of rows.
struct TextTable {
    QList<QStringList> rows;

    qsizetype count() const { return rows.size(); }
    bool isEmpty() const { return rows.isEmpty(); }
    const QString &cell(qsizetype row, int column) const { return rows.at(row).at(column); }
    void clear() { rows.clear(); }
    void append(QStringList row) { rows.append(std::move(row)); }
};

// The database file and the in-memory copies of its five tables. Only the
// loaders write the tables, and each loader replaces its table wholesale.
struct DataStore {
    QString appDir;   // the application folder
    DataSource source;   // the data file by default, or a server
    TextTable UserTable;       // login_pwd: Id, User_name, Password, Limits
    TextTable TitleTypeTable;  // resource_zhicheng: Id, Name
    TextTable DegreeTable;     // resource_degree: Id, Name
    TextTable ExpertTable;     // expert_msg: the 29 fields in order
    TextTable SelectionTable;  // sel_expert: Id, Sel_data, Expert_Id
    TextTable ProjectTable;    // stored draws, one row per project (LoadProjects)

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
