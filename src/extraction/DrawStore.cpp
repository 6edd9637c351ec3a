#include "extraction/DrawStore.h"

#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/Schema.h"

void StoreDrawList(AppState &state)
{
    if (state.DrawList.isEmpty())
        return;
    const QString date = state.today().toString(QStringLiteral("yyyy-MM-dd"));
    Connection conn = OpenDataFile(state);
    Transaction tx(conn);
    Recordset rs(conn, Schema::SelExpert());
    for (qsizetype i = 0; i < state.DrawList.count(); ++i) {
        rs.addNew();
        rs.setField(0, NextRecordId(state.SelectionTable, i + 1));
        rs.setField(1, date);
        rs.setField(2, state.DrawList.cell(i, 0));
        rs.update();
    }
    rs.close();
    tx.commit();
}
