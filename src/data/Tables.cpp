#include "data/Tables.h"

#include "data/DrawStore.h"
#include "data/Projects.h"
#include "data/Recordset.h"
#include "data/Schema.h"

Connection OpenDataFile(const DataStore &store)
{
    if (store.onServer())
        return Connection::connect(store.source);
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

void ReadWithChanges(DataStore &store, const QStringList &tables, const std::function<void(Connection &)> &read)
{
    Connection conn = OpenDataFile(store);
    QHash<QString, qlonglong> changes;
    if (conn.isServer()) {
        // The counts and the rows from one snapshot: a change made between
        // them would otherwise pass unnoticed.
        conn.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
        Statement count = conn.prepare(QStringLiteral("SELECT serial FROM kestrune_changes WHERE table_name = ?"));
        for (const QString &table : tables) {
            count.bind(1, table);
            if (count.step())
                changes.insert(table, count.text(0).toLongLong());
            count.reset();
        }
    }
    read(conn);
    if (conn.isServer())
        conn.exec(QStringLiteral("COMMIT"));
    conn.close();
    store.loadedChanges.insert(changes);
}

namespace {

// Reads a whole table in Id order; nothing is trimmed. The new table is
// built aside and swapped in, so a failed read leaves the previous copy as
// it was.
void loadTable(DataStore &store, const TableDef &def, TextTable &target)
{
    ReadWithChanges(store, {def.name}, [&](Connection &conn) { target.rows = ReadTable(conn, def).rows; });
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

namespace {

// Each loader with the tables whose changes make it read again.
struct Loader {
    QStringList tables;
    void (*load)(DataStore &);
};

QList<Loader> loaders()
{
    return {{{Schema::ExpertMsg().name}, LoadExperts},
            {{Schema::ResourceZhicheng().name}, LoadTitleTypes},
            {{Schema::SelExpert().name}, LoadSelections},
            {{Schema::ResourceDegree().name}, LoadDegrees},
            {{Schema::LoginPwd().name}, LoadUsers},
            {ProjectTableNames(), LoadProjects}};
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
    for (const Loader &l : loaders()) {
        for (const QString &table : l.tables) {
            if (changed.contains(table)) {
                l.load(store);
                break;
            }
        }
    }
    return !changed.isEmpty();
}
