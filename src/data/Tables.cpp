#include "data/Tables.h"

#include "data/Projects.h"
#include "data/Recordset.h"
#include "data/Schema.h"

Connection OpenDataFile(const DataStore &store)
{
    return Connection::open(store.dataFilePath());
}

TextTable ReadTable(Connection &conn, const TableDef &def)
{
    Recordset rs(conn, def);
    const int columns = int(def.fields.size());
    QList<QStringList> rows;
    while (!rs.eof()) {
        QStringList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.append(rs.field(c));
        rows.append(std::move(row));
        rs.moveNext();
    }
    rs.close();
    TextTable t;
    t.rows = std::move(rows);
    return t;
}

namespace {

// Reads a whole table in Id order; nothing is trimmed. The new table is
// built aside and swapped in, so a failed read leaves the previous copy as
// it was.
void loadTable(DataStore &store, const TableDef &def, TextTable &target)
{
    Connection conn = OpenDataFile(store);
    TextTable t = ReadTable(conn, def);
    conn.close();
    target.rows = std::move(t.rows);
}

}   // namespace

void LoadUsers(DataStore &store) { loadTable(store, Schema::LoginPwd(), store.UserTable); }
void LoadTitleTypes(DataStore &store) { loadTable(store, Schema::ResourceZhicheng(), store.TitleTypeTable); }
void LoadDegrees(DataStore &store) { loadTable(store, Schema::ResourceDegree(), store.DegreeTable); }
void LoadExperts(DataStore &store) { loadTable(store, Schema::ExpertMsg(), store.ExpertTable); }
void LoadSelections(DataStore &store) { loadTable(store, Schema::SelExpert(), store.SelectionTable); }

void LoadAllTables(DataStore &store)
{
    LoadExperts(store);
    LoadTitleTypes(store);
    LoadSelections(store);
    LoadDegrees(store);
    LoadUsers(store);
    LoadProjects(store);
}
