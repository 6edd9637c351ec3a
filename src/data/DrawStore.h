#pragma once

#include "data/DrawRecord.h"
#include "data/Outcome.h"
#include "data/Result.h"
#include "data/ProjectLinks.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <QDate>
#include <QDateTime>

// Draws are stored as projects beside sel_expert: the project, its rounds,
// for each stored expert a snapshot as drawn with the link to its sel_expert
// record (record number and expert Id), the attendance of each expert and
// the substitutes. Every write below is one transaction: it completes, or
// throws DbError and leaves the file as it was.

struct StoredDraw {
    QString projectId;
    qsizetype rowsAdded = 0;
    bool newProject = false;
};

// Stores the draw list as a project. The first store of a session creates
// the project with facts, its operator and the time; a later store of the same
// session adds to that project (facts are ignored then). Either way the rounds
// not yet stored are written, and for each draw-list row not yet stored one
// sel_expert record (dated today, consecutive identifiers after the highest
// record in the file, in draw-list order) with its snapshot and link.
// The session learns what was stored only once everything is committed.
// Neither reloads SelectionTable nor changes DrawUnsaved: callers decide.
// operatorId (the user's Id) is kept with a new project: its panel stays
// visible to the user who drew it until the review.
StoredDraw StoreDrawProject(const DataStore &store, const TextTable &drawList, DrawSession &session,
                            const ProjectFacts &facts, const QString &operatorName, const QDateTime &now,
                            const QString &operatorId = {});
StoredDraw StoreDrawProject(Connection &conn, const DataStore &store, const TextTable &drawList, DrawSession &session,
                            const ProjectFacts &facts, const QString &operatorName, const QDateTime &now,
                            const QString &operatorId = {});

// Draw-list rows whose expert the session has not stored yet, in order.
TextTable UnstoredRows(const TextTable &drawList, const DrawSession &session);

// One substitute of a substitute round: the expert (a draw-list row of eight
// columns) and the project expert it replaces.
struct SubstitutePick {
    int replacesSeq = 0;
    QStringList row;
};

// A substitute round with the substitutes it drew.
struct SubstituteRound {
    DrawRound round;
    QList<SubstitutePick> picks;
};

// Stores substitute rounds of a project in one transaction: each round
// (numbered after the project's last one; the number is set in rounds), and
// for each pick a sel_expert record dated the round's day, a snapshot with
// its link, and the substitute record. Through the store a failure comes
// back as the result; on a connection it throws DbError.
Outcome StoreSubstituteRounds(const DataStore &store, const QString &projectId, QList<SubstituteRound> &rounds);
void StoreSubstituteRounds(Connection &conn, const DataStore &store, const QString &projectId,
                           QList<SubstituteRound> &rounds);

// A change of a drawn expert's attendance: a decline names its kind
// (DeclineKind) and may add text, 其他 and a no-show need the text.
struct AttendanceChange {
    QString status;
    QString reasonKind;
    QString reason;
};
// What is missing from a change ("" when nothing), as the user is told it.
QString AttendanceProblem(const AttendanceChange &change);

// Records the attendance of project expert seq at a time. Returns false,
// writing nothing, when the project has no such expert; a change with a
// problem is refused (a failure through the store, DbError on a
// connection). Through the store a failure comes back as the result.
Result<bool> SetAttendance(const DataStore &store, const QString &projectId, int seq, const AttendanceChange &change,
                           const QString &operatorName, const QDateTime &at);
bool SetAttendance(Connection &conn, const QString &projectId, int seq, const AttendanceChange &change,
                   const QString &operatorName, const QDateTime &at);
// The same with a decline's free text alone, as decisions were recorded
// before their kinds were kept: a decline counts as 其他.
Result<bool> SetAttendance(const DataStore &store, const QString &projectId, int seq, const QString &status,
                           const QString &reason, const QString &operatorName, const QDateTime &at);
bool SetAttendance(Connection &conn, const QString &projectId, int seq, const QString &status, const QString &reason,
                   const QString &operatorName, const QDateTime &at);

// Writes the next event of a draw session at once, in its own transaction
// (or the caller's). The session gets its identity with its first event;
// the event learns its session and number only once written.
void RecordDrawEvent(Connection &conn, DrawSession &session, DrawEvent &event);
Outcome RecordDrawEvent(const DataStore &store, DrawSession &session, DrawEvent &event);

// The events of the sessions behind a project (those that stored into it),
// in order; and the events of sessions that never stored anything, by time.
QList<DrawEvent> LoadProjectTrail(Connection &conn, const QString &projectId);
QList<DrawEvent> LoadUnstoredTrail(Connection &conn);
Result<QList<DrawEvent>> LoadUnstoredTrail(const DataStore &store);
// Every event, by session and number (for the verifier).
QList<DrawEvent> LoadTrail(Connection &conn);
// The events of one session, by number.
QList<DrawEvent> LoadSessionTrail(Connection &conn, const QString &session);

// The title level's name of an expert as the snapshot keeps it: row n of
// TitleTypeTable for zhicheng_id n, "" when unknown.
QString TitleNameOf(const DataStore &store, const QString &expertId);
