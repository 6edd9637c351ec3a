#include "data/RecordIds.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"

namespace {

[[noreturn]] void notANumber(const QString &id)
{
    throw DbError(QStringLiteral("记录编号“%1”不是数字，无法生成新编号。").arg(id));
}

} // namespace

QString RecordIdText(qlonglong number)
{
    return QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0'));
}

qlonglong HighestRecordNumber(Connection &conn, const TableDef &table)
{
    // The table name is one of the program's own, never user input.
    {
        Statement odd = conn.prepare(
            QStringLiteral("SELECT Id FROM %1 WHERE Id IS NULL OR trim(Id) = '' OR trim(Id) GLOB '*[^0-9]*' LIMIT 1")
                .arg(table.name));
        if (odd.step())
            notANumber(odd.text(0));
    }
    Statement highest = conn.prepare(QStringLiteral("SELECT max(CAST(Id AS INTEGER)) FROM %1").arg(table.name));
    highest.step();
    return highest.isNull(0) ? 0 : highest.text(0).toLongLong();
}

QString NextRecordId(const TextTable &table, qsizetype k)
{
    qlonglong base = 0;
    for (const QStringList &row : table.rows) {
        bool ok = false;
        const qlonglong number = row.value(0).trimmed().toLongLong(&ok);
        if (!ok)
            notANumber(row.value(0));
        base = qMax(base, number);
    }
    return RecordIdText(base + k);
}
