#include "data/DrawStore.h"

#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Vocabulary.h"

namespace {
const QString kStoredMark = QStringLiteral("已保存");
}

bool IsDrawRowStored(const QStringList &row)
{
    return row.value(kDrawRowStoredColumn) == kStoredMark;
}

qsizetype UnstoredDrawRows(const TextTable &drawList)
{
    return std::count_if(drawList.rows.cbegin(), drawList.rows.cend(),
                         [](const QStringList &row) { return !IsDrawRowStored(row); });
}

qsizetype StoreDrawList(const DataStore &store, TextTable &drawList, const QDate &today)
{
    QList<qsizetype> rows;
    for (qsizetype i = 0; i < drawList.count(); ++i)
        if (!IsDrawRowStored(drawList.rows.at(i)))
            rows.append(i);
    if (rows.isEmpty())
        return 0;
    const QString date = today.toString(kStoredDateFormat);
    Connection conn = OpenDataFile(store);
    Transaction tx(conn);
    const qlonglong base = HighestRecordNumber(conn, Schema::SelExpert());
    Recordset rs(conn, Schema::SelExpert());
    for (qsizetype k = 0; k < rows.size(); ++k) {
        rs.addNew();
        rs.setField(0, RecordIdText(base + k + 1));
        rs.setField(1, date);
        rs.setField(2, drawList.cell(rows.at(k), 0));
        rs.update();
    }
    rs.close();
    tx.commit();
    for (qsizetype i : rows) {
        QStringList &row = drawList.rows[i];
        while (row.size() <= kDrawRowStoredColumn)
            row.append(QString());
        row[kDrawRowStoredColumn] = kStoredMark;
    }
    return rows.size();
}
