#pragma once

#include "data/Database.h"

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
