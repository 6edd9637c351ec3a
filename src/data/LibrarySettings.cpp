#include "data/LibrarySettings.h"

#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"
#include "data/Tables.h"

namespace {
const QString kTable = QStringLiteral("library_setting");
}

QString ReadLibrarySetting(Connection &conn, const QString &name, const QString &fallback)
{
    if (!conn.tableNames().contains(kTable))
        return fallback;
    Statement st = conn.prepare(QStringLiteral("SELECT Value FROM library_setting WHERE Name = ?"));
    st.bind(1, name);
    if (!st.step() || st.isNull(0))
        return fallback;
    return st.text(0);
}

void WriteLibrarySetting(Connection &conn, const QString &name, const QString &value, const QString &operatorName)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    Statement del = conn.prepare(QStringLiteral("DELETE FROM library_setting WHERE Name = ?"));
    del.bind(1, name);
    del.step();
    Statement ins = conn.prepare(QStringLiteral("INSERT INTO library_setting (Name, Value) VALUES (?, ?)"));
    ins.bind(1, name);
    ins.bind(2, value);
    ins.step();
    AppendAudit(conn, operatorName, AuditKind::Setting, name, {{"value", value}});
    tx.commit();
}

Result<QString> ReadLibrarySetting(const DataStore &store, const QString &name, const QString &fallback)
{
    return CatchDbError([&] { return ReadLibrarySetting(LibraryConnection(store), name, fallback); });
}

Outcome WriteLibrarySetting(const DataStore &store, const QString &name, const QString &value)
{
    return CatchDbError([&] { WriteLibrarySetting(LibraryConnection(store), name, value, store.operatorName); });
}

bool SettingIsOn(const QString &value) { return value.trimmed() == QLatin1String("1"); }

int SettingMinutes(const QString &value, int fallback)
{
    bool ok = false;
    const int minutes = value.trimmed().toInt(&ok);
    return ok && minutes >= 0 ? minutes : fallback;
}
