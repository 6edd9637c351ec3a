#include "data/RecordIds.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"

namespace {

[[noreturn]] void notANumber(const QString &id)
{
    throw DbError(QStringLiteral("记录编号“%1”不是数字，无法生成新编号。").arg(id));
}

}   // namespace

QString RecordIdText(qlonglong number) { return QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0')); }

qlonglong HighestRecordNumber(Connection &conn, const TableDef &table)
{
    // The table name is one of the program's own, never user input; each
    // engine spells "not only digits" and a wide integer its own way.
    const ConnectionEngine &engine = conn.engine();
    {
        Statement odd = conn.prepare(QStringLiteral("SELECT Id FROM %1 WHERE Id IS NULL OR trim(Id) = '' OR %2 LIMIT 1")
                                         .arg(table.name, engine.notOnlyDigits(QStringLiteral("Id"))));
        if (odd.step())
            notANumber(odd.text(0));
    }
    const QString number = engine.wideInteger(QStringLiteral("Id"));
    Statement highest = conn.prepare(QStringLiteral("SELECT max(%1) FROM %2").arg(number, table.name));
    highest.step();
    return highest.isNull(0) ? 0 : highest.text(0).toLongLong();
}

QString NextRecordId(const TextTable &table, qsizetype k)
{
    qlonglong base = 0;
    for (qsizetype r = 0; r < table.count(); ++r) {
        const QString id = table.cell(r, 0).toString();
        bool ok = false;
        const qlonglong number = id.trimmed().toLongLong(&ok);
        if (!ok)
            notANumber(id);
        base = qMax(base, number);
    }
    return RecordIdText(base + k);
}
