#include "data/DrawStore.h"

#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Vocabulary.h"

QStringList StoreDrawList(const DataStore &store, const TextTable &drawList, const QDate &today)
{
    QStringList ids;
    if (drawList.isEmpty())
        return ids;
    const QString date = today.toString(kStoredDateFormat);
    Connection conn = OpenDataFile(store);
    Transaction tx(conn);
    Recordset rs(conn, Schema::SelExpert());
    for (qsizetype i = 0; i < drawList.count(); ++i) {
        ids.append(NextRecordId(store.SelectionTable, i + 1));
        rs.addNew();
        rs.setField(0, ids.last());
        rs.setField(1, date);
        rs.setField(2, drawList.cell(i, 0).toString());
        rs.update();
    }
    rs.close();
    tx.commit();
    return ids;
}
