#include "data/ProjectLinks.h"

#include "data/Database.h"
#include "data/Vocabulary.h"

void MarkProjectLinksRemoved(Connection &conn, const QStringList &expertIds, const QDate &day)
{
    if (!conn.tableNames().contains(QStringLiteral("draw_expert")))
        return;
    Statement st = conn.prepare(
        QStringLiteral("UPDATE draw_expert SET Link_removed = ? WHERE Expert_Id = ? AND Link_removed IS NULL"));
    for (const QString &id : expertIds) {
        st.bind(1, day.toString(kStoredDateFormat));
        st.bind(2, id);
        st.step();
        st.reset();
    }
}
