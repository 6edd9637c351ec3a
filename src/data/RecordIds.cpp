#include "data/RecordIds.h"

#include "data/DbError.h"
#include "data/Schema.h"

QString RecordIdAfter(const std::optional<QString> &last, qsizetype k)
{
    qlonglong base = 0;
    if (last) {
        bool ok = false;
        base = last->trimmed().toLongLong(&ok);
        if (!ok)
            throw DbError(QStringLiteral("记录编号“%1”不是数字，无法生成新编号。").arg(*last));
    }
    return QStringLiteral("%1").arg(base + k, 6, 10, QLatin1Char('0'));
}

QString NextRecordId(const TextTable &table, qsizetype k)
{
    if (table.count() == 0)
        return RecordIdAfter(std::nullopt, k);
    return RecordIdAfter(table.cell(table.count() - 1, 0), k);
}

std::optional<QString> LastIdForWrite(Connection &conn, const TextTable &cached, const TableDef &table)
{
    if (!conn.isServer()) {
        if (cached.count() == 0)
            return std::nullopt;
        return cached.cell(cached.count() - 1, 0);
    }
    // The last row in Id order, as a loader would read it.
    Statement st = conn.prepare(QStringLiteral("SELECT Id FROM %1 ORDER BY Id DESC LIMIT 1").arg(table.name));
    if (!st.step())
        return std::nullopt;
    return st.text(0);
}
