#include "data/RecordIds.h"

#include "data/DbError.h"

QString NextRecordId(const TextTable &table, qsizetype k)
{
    qlonglong base = 0;
    if (table.count() > 0) {
        bool ok = false;
        const QString last = table.cell(table.count() - 1, 0).toString();
        base = last.trimmed().toLongLong(&ok);
        if (!ok)
            throw DbError(QStringLiteral("记录编号“%1”不是数字，无法生成新编号。").arg(last));
    }
    return QStringLiteral("%1").arg(base + k, 6, 10, QLatin1Char('0'));
}
