#pragma once

#include "data/Outcome.h"

#include <QString>
#include <QStringList>

// The five tables of ProSys.mdb. Fields are addressed by position when
// writing, so the order of each list is part of the file format.
struct TableDef {
    QString name;
    QStringList fields;
    // "select * from <t> order by <t>.Id"
    QString selectStatement() const;
    int fieldIndex(const QString &field) const;   // -1 when unknown
};

namespace Schema {
const TableDef &LoginPwd();
const TableDef &ResourceZhicheng();
const TableDef &ResourceDegree();
const TableDef &ExpertMsg();
const TableDef &SelExpert();
const QList<const TableDef *> &AllTables();

// Column positions of expert_msg used across the program.
enum ExpertField {
    E_Id = 0,
    E_Name,
    E_Status,
    E_Is_temp,
    E_star_number,
    E_Sex,
    E_birth_date,
    E_area_id,
    E_province,
    E_degree_type_id,
    E_school_name,
    E_graduate_date,
    E_Profession,
    E_Company_name,
    E_Position,
    E_zhicheng_id,
    E_cong_shi_zhuanye,
    E_type,
    E_resource_industry,
    E_zige_name,
    E_zige_gettime,
    E_pinren_time,
    E_Mobile,
    E_email,
    E_Address,
    E_Zip_code,
    E_Resume,
    E_Main_project,
    E_Reg_date,
    ExpertFieldCount
};
}   // namespace Schema

// The administrator of a new database file.
inline constexpr const char *kInitialAdminName = "admin";
inline constexpr const char *kInitialAdminPassword = "123456";

class Connection;

// Creates the five tables in an empty file or server database (on a server
// with their change counters).
void CreateSchema(Connection &conn);
// Every table of the program in an empty database: the five, the project
// tables and, where the engine keeps them, the change counters.
void CreateTables(Connection &conn);
// Creates the project tables a library lacks (files made before projects
// were kept have none). Works inside the caller's transaction if there is one.
void EnsureProjectTables(Connection &conn);
// Whether the library keeps projects at all (it may lack tables added since).
bool HasProjectTables(Connection &conn);
// Whether it has every project table and kept table of this version.
bool HasAllProjectTables(Connection &conn);
bool HasTable(Connection &conn, const QString &name);
// Whether the table has the column (names compared without case: the server
// keeps them in lower case).
bool HasColumn(Connection &conn, const QString &table, const QString &column);
// The project tables' names, in the order they are created.
QStringList ProjectTableNames();
// The library's own tables (its settings), which initialisation keeps;
// EnsureProjectTables creates them too.
QStringList KeptTableNames();
// Empties the project tables, inside the caller's transaction.
void ClearProjectTables(Connection &conn);
// The tables and the initial content of a new library: one administrator,
// the title levels and the degrees. No experts. Inside the caller's
// transaction.
void CreateLibrary(Connection &conn);
// Whether any of the program's tables exists in the database.
bool HasLibraryTables(Connection &conn);
// The tables whose changes a shared library counts.
QStringList ChangeCountedTables();
// Creates ProSys.mdb with the schema (and the project tables) and its initial content: one
// administrator, the title levels and the degrees. No experts.
// key: the library's own password, empty for the default one.
void CreateDataFile(const QString &path, const QString &key = {});
// Opens an existing file, or creates it on first start. An existing file is
// never overwritten: a failure to open it raises the engine's error. A file
// without the project tables of stored draws gains them.
void EnsureDataFile(const QString &path, const QString &key = {});
// Checks that an open library has the five tables with the right fields in
// the right positions (names as the engine keeps them, in either case); a
// failure describes the first difference.
Outcome CheckSchema(Connection &conn);
