#pragma once

#include "data/DrawStore.h"
#include "data/RecordIds.h"

// Stores a draw of these experts as a new project: one round that confirmed
// them all, as the draw screen's "确 定" leaves it; then reloads the
// extraction records, as the result screen does.
inline StoredDraw StoreTestDraw(DataStore &store, const QStringList &expertIds, const QString &project,
                                const QDateTime &at = QDateTime(QDate(2026, 12, 10), QTime(10, 0)))
{
    DrawRound round;
    round.type = RoundType::Manual;
    round.candidateIds = expertIds;
    round.confirmedIds = expertIds;
    round.drawnAt = at;
    DrawSession session;
    session.rounds = {round};
    TextTable drawList;
    for (const QString &id : expertIds)
        drawList.append({id, "n", "男", " ", " ", " ", " ", " "});
    const StoredDraw stored =
        StoreDrawProject(store, drawList, session, ProjectFacts{project}, QStringLiteral("admin"), at);
    LoadSelections(store);
    return stored;
}
