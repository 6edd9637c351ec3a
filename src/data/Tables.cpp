#include "data/Tables.h"

#include "data/DbError.h"
#include "data/Projects.h"
#include "data/Schema.h"

#include <optional>

Connection &LibraryConnection(const DataStore &store) { return store.library().connection(); }

Connection OpenDataFile(const DataStore &store) { return store.library().openSeparate(); }

void ReadRows(Statement &read, int columns, TextTable &table, bool haveRow)
{
    QList<QByteArrayView> cells(columns);
    for (bool row = haveRow || read.step(); row; row = read.step()) {
        for (int c = 0; c < columns; ++c)
            cells[c] = read.utf8(c);
        table.appendUtf8(cells);
    }
}

TextTable ReadTable(Connection &conn, const TableDef &def)
{
    TextTable table;
    Statement read = conn.prepare(def.selectStatement());
    ReadRows(read, int(def.fields.size()), table);
    return table;
}

namespace {

// Reads a whole table in Id order; a null becomes "", nothing is trimmed.
// The new table is built aside and swapped in, so a failed read leaves the
// previous copy as it was.
void loadTable(DataStore &store, const TableDef &def, TextTable &target, bool large = false)
{
    LibraryBackend &library = store.library();
    TextTable table;
    library.readTracked({def.name}, [&](Connection &conn) {
        table = large ? library.readWholeTable(conn, def) : ReadTable(conn, def);
    });
    target = std::move(table);
}

QStringList readRow(const Statement &st, int columns)
{
    QStringList row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c)
        row.append(st.text(c));
    return row;
}

// New records after the last one of the table (an import, a new expert) are
// read in one pass: every record past the table's last Id, which on a server
// brings in what a colleague added meanwhile as well.
bool appendNewRows(DataStore &store, const TableDef &def, TextTable &target, const QStringList &ids)
{
    // Every Id is past the "" of an empty table.
    const QString last = target.isEmpty() ? QString() : target.cell(target.count() - 1, 0).toString();
    for (const QString &id : ids)
        if (!IdLess(last, id))
            return false;
    const int columns = int(def.fields.size());
    QList<QStringList> rows;
    rows.reserve(ids.size());
    {
        Connection &conn = LibraryConnection(store);
        Statement read = conn.prepare(QStringLiteral("SELECT * FROM %1 WHERE Id > ? ORDER BY Id").arg(def.name));
        read.bind(1, last);
        while (read.step())
            rows.append(readRow(read, columns));
    }
    for (QStringList &row : rows)
        target.append(std::move(row));
    return true;
}

// Reads the records with these Ids back, then puts each in its place: the
// reading is done before the table is touched, so that a failed read leaves
// it as it was.
void refreshRows(DataStore &store, const TableDef &def, TextTable &target, const QStringList &ids)
{
    if (ids.isEmpty() || appendNewRows(store, def, target, ids))
        return;
    const int columns = int(def.fields.size());
    QList<std::optional<QStringList>> fresh;
    fresh.reserve(ids.size());
    {
        Connection &conn = LibraryConnection(store);
        // The table name is one of the schema's own, the Id is bound.
        Statement read = conn.prepare(QStringLiteral("SELECT * FROM %1 WHERE Id = ?").arg(def.name));
        for (const QString &id : ids) {
            read.bind(1, id);
            if (read.step()) {
                fresh.append(readRow(read, columns));
            } else {
                fresh.append(std::nullopt);
            }
            read.reset();
        }
    }
    for (qsizetype i = 0; i < ids.size(); ++i) {
        const QString &id = ids.at(i);
        qsizetype low = 0, high = target.count();
        while (low < high) {
            const qsizetype mid = low + (high - low) / 2;
            if (IdLess(target.cell(mid, 0), id))
                low = mid + 1;
            else
                high = mid;
        }
        const bool present = low < target.count() && target.cell(low, 0) == id;
        if (fresh.at(i) && present)
            target.replace(low, *fresh.at(i));
        else if (fresh.at(i))
            target.insert(low, *fresh.at(i));
        else if (present)
            target.removeAt(low);
    }
}

}   // namespace

bool IdLess(QStringView a, QStringView b)
{
    // UTF-16 units compare like code points except that surrogates, which
    // stand for code points above U+FFFF, must come after U+E000..U+FFFF.
    const auto key = [](char16_t c) -> char16_t {
        return c >= 0xE000 ? char16_t(c - 0x800) : c >= 0xD800 ? char16_t(c + 0x2000) : c;
    };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x != y)
            return key(x) < key(y);
    }
    return a.size() < b.size();
}

Outcome RefreshExperts(DataStore &store, const QStringList &ids)
{
    return CatchDbError([&] {
        refreshRows(store, Schema::ExpertMsg(), store.ExpertTable, ids);
        store.library().adoptOwnChanges({Schema::ExpertMsg().name});
    });
}

Outcome RefreshSelections(DataStore &store, const QStringList &ids)
{
    return CatchDbError([&] {
        refreshRows(store, Schema::SelExpert(), store.SelectionTable, ids);
        store.library().adoptOwnChanges({Schema::SelExpert().name});
    });
}

void LoadUsers(DataStore &store) { loadTable(store, Schema::LoginPwd(), store.UserTable); }
void LoadTitleTypes(DataStore &store) { loadTable(store, Schema::ResourceZhicheng(), store.TitleTypeTable); }
void LoadDegrees(DataStore &store) { loadTable(store, Schema::ResourceDegree(), store.DegreeTable); }
void LoadExperts(DataStore &store) { loadTable(store, Schema::ExpertMsg(), store.ExpertTable, true); }
void LoadSelections(DataStore &store) { loadTable(store, Schema::SelExpert(), store.SelectionTable, true); }

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
    return {{{Schema::ExpertMsg().name}, LoadExperts},    {{Schema::ResourceZhicheng().name}, LoadTitleTypes},
            {{Schema::SelExpert().name}, LoadSelections}, {{Schema::ResourceDegree().name}, LoadDegrees},
            {{Schema::LoginPwd().name}, LoadUsers},       {ProjectTableNames(), LoadProjects}};
}

}   // namespace

QStringList ChangedTables(const DataStore &store) { return store.library().changedSinceLoad(); }

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
