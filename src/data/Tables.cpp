#include "data/Tables.h"

#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Projects.h"
#include "data/Schema.h"

#include <sqlite3.h>

#include <exception>
#include <optional>
#include <thread>

Connection OpenDataFile(const DataStore &store)
{
    if (store.onServer())
        return Connection::connect(store.source);
    return Connection::open(store.dataFilePath());
}

namespace {

// Appends the rows of a statement, each straight from the engine's UTF-8
// into its buffer; the statement stands on its first row when haveRow.
void readRows(Statement &read, int columns, TextTable &table, bool haveRow = false)
{
    QList<QByteArrayView> cells(columns);
    for (bool row = haveRow || read.step(); row; row = read.step()) {
        for (int c = 0; c < columns; ++c)
            cells[c] = read.utf8(c);
        table.appendUtf8(cells);
    }
}

// Reads a large table as two halves at once, split at its middle Id, each on
// a connection of its own: decrypting the pages is most of a load, and a
// second core halves it. Both connections read in one snapshot: the first
// holds its read lock from the count on, and the second must take its lock
// while the first still holds it (no writer can commit in between), or the
// whole table is read on the first alone. Returns false when the table is
// too small to be worth it or the second lock was not had at once.
bool loadInHalves(Connection &conn, Connection &second, const TableDef &def, TextTable &table)
{
    constexpr qsizetype kHalvesFrom = 4096;
    const int columns = int(def.fields.size());
    Statement count = conn.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(def.name));
    count.step();
    const qsizetype rows = count.text(0).toLongLong();
    if (rows < kHalvesFrom)
        return false;
    // The Id index finds the middle without reading the records.
    Statement middle = conn.prepare(QStringLiteral("SELECT Id FROM %1 ORDER BY Id LIMIT 1 OFFSET ?").arg(def.name));
    middle.bind(1, QString::number(rows / 2));
    if (!middle.step())
        return false;
    const QString mid = middle.text(0);

    sqlite3_busy_timeout(second.handle(), 0);
    second.exec(QStringLiteral("BEGIN"));
    Statement upper = second.prepare(QStringLiteral("SELECT * FROM %1 WHERE Id >= ? ORDER BY Id").arg(def.name));
    upper.bind(1, mid);
    bool upperRow = false;
    try {
        upperRow = upper.step();
    } catch (const DbError &) {
        return false;   // a writer waits for the file: no second snapshot
    }

    TextTable upperRows;
    std::exception_ptr upperFailure;
    std::thread reader([&] {
        try {
            readRows(upper, columns, upperRows, upperRow);
        } catch (...) {
            upperFailure = std::current_exception();
        }
    });
    try {
        Statement lower = conn.prepare(QStringLiteral("SELECT * FROM %1 WHERE Id < ? ORDER BY Id").arg(def.name));
        lower.bind(1, mid);
        readRows(lower, columns, table);
    } catch (...) {
        reader.join();
        throw;
    }
    reader.join();
    if (upperFailure)
        std::rethrow_exception(upperFailure);
    table.appendTable(std::move(upperRows));
    // An Id the comparisons cannot place (a null in an odd file) would be in
    // neither half.
    if (table.count() != rows) {
        table.clear();
        return false;
    }
    return true;
}

}   // namespace

TextTable ReadTable(Connection &conn, const TableDef &def)
{
    TextTable table;
    Statement read = conn.prepare(def.selectStatement());
    readRows(read, int(def.fields.size()), table);
    return table;
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

// Reads a whole table in Id order; a null becomes "", nothing is trimmed.
// The new table is built aside and swapped in, so a failed read leaves the
// previous copy as it was.
void loadTable(DataStore &store, const TableDef &def, TextTable &target, bool large = false)
{
    TextTable table;
    if (store.onServer()) {
        // The change counts are read with the rows, so that a later change by
        // another program is seen.
        ReadWithChanges(store, {def.name}, [&](Connection &conn) { table = ReadTable(conn, def); });
    } else {
        Connection conn = OpenDataFile(store);
        if (large) {
            // Opened before the first read lock is taken, so that opening it
            // never waits on a writer that waits on that lock.
            Connection second = OpenDataFile(store);
            conn.exec(QStringLiteral("BEGIN"));
            if (!loadInHalves(conn, second, def, table))
                table = ReadTable(conn, def);
            conn.exec(QStringLiteral("COMMIT"));
        } else {
            table = ReadTable(conn, def);
        }
        conn.close();
    }
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
        Connection conn = OpenDataFile(store);
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
        Connection conn = OpenDataFile(store);
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

void RefreshExperts(DataStore &store, const QStringList &ids)
{
    refreshRows(store, Schema::ExpertMsg(), store.ExpertTable, ids);
}

void RefreshSelections(DataStore &store, const QStringList &ids)
{
    refreshRows(store, Schema::SelExpert(), store.SelectionTable, ids);
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
