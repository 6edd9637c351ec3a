#include "data/Tables.h"

#include "data/Recordset.h"
#include "data/Schema.h"

Connection OpenDataFile(const DataStore &store)
{
    if (store.onServer())
        return Connection::connect(store.source);
    return Connection::open(store.dataFilePath());
}

namespace {

// Reads a whole table in Id order; a null becomes "", nothing is trimmed.
// The new table is built aside and swapped in, so a failed read leaves the
// previous copy as it was.
void loadTable(DataStore &store, const TableDef &def, TextTable &target)
{
    Connection conn = OpenDataFile(store);
    qlonglong changes = -1;
    if (conn.isServer()) {
        // The count and the rows from one snapshot: a change made between
        // them would otherwise pass unnoticed.
        conn.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
        Statement count = conn.prepare(QStringLiteral("SELECT serial FROM kestrune_changes WHERE table_name = ?"));
        count.bind(1, def.name);
        if (count.step())
            changes = count.text(0).toLongLong();
    }
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
    if (conn.isServer())
        conn.exec(QStringLiteral("COMMIT"));
    conn.close();
    target.rows = std::move(rows);
    if (changes >= 0)
        store.loadedChanges.insert(def.name, changes);
}

} // namespace

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
}

namespace {

struct Loader {
    const TableDef &def;
    void (*load)(DataStore &);
};

QList<Loader> loaders()
{
    return {{Schema::ExpertMsg(), LoadExperts},
            {Schema::ResourceZhicheng(), LoadTitleTypes},
            {Schema::SelExpert(), LoadSelections},
            {Schema::ResourceDegree(), LoadDegrees},
            {Schema::LoginPwd(), LoadUsers}};
}

} // namespace

QStringList ChangedTables(const DataStore &store)
{
    QStringList changed;
    if (!store.onServer() || store.loadedChanges.isEmpty())
        return changed;
    Connection conn = OpenDataFile(store);
    Statement st = conn.prepare(QStringLiteral("SELECT table_name, serial FROM kestrune_changes ORDER BY table_name"));
    while (st.step()) {
        const auto loaded = store.loadedChanges.constFind(st.text(0));
        if (loaded != store.loadedChanges.constEnd() && *loaded != st.text(1).toLongLong())
            changed << st.text(0);
    }
    return changed;
}

bool RefreshChangedTables(DataStore &store)
{
    const QStringList changed = ChangedTables(store);
    for (const Loader &l : loaders())
        if (changed.contains(l.def.name))
            l.load(store);
    return !changed.isEmpty();
}
