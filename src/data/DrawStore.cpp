#include "data/DrawStore.h"

#include "data/DbError.h"
#include "data/AuditLog.h"

#include "data/ExpertRecord.h"
#include "data/LibrarySettings.h"
#include "data/PersonalData.h"
#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/SeededDraw.h"
#include "data/Vocabulary.h"

#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

QString dateText(const QDate &d) { return d.toString(kStoredDateFormat); }
QString timeText(const QTime &t) { return t.toString(QStringLiteral("HH:mm:ss")); }

// The library remembers the last project number it gave out, so a number
// is never given out again, even after its project is gone; libraries made
// before it remembered start after their highest project.
const QString kLastProjectNumber = QStringLiteral("last_project_number");

QString nextProjectId(Connection &conn)
{
    Statement st = conn.prepare(QStringLiteral("SELECT max(CAST(Id AS INTEGER)) FROM draw_project"));
    qlonglong last = 0;
    if (st.step() && !st.isNull(0))
        last = st.text(0).toLongLong();
    last = std::max(last, ReadLibrarySetting(conn, kLastProjectNumber, QStringLiteral("0")).toLongLong());
    const QString id = QStringLiteral("%1").arg(last + 1, 6, 10, QLatin1Char('0'));
    WriteLibrarySetting(conn, kLastProjectNumber, QString::number(last + 1));
    return id;
}

int lastNumber(Connection &conn, const QString &sql, const QString &projectId)
{
    Statement st = conn.prepare(sql);
    st.bind(1, projectId);
    if (st.step() && !st.isNull(0))
        return st.text(0).toInt();
    return 0;
}

void insertRound(Connection &conn, const QString &projectId, const DrawRound &r)
{
    Statement st = conn.prepare(QStringLiteral(
        "INSERT INTO draw_round (Project_Id, Round_no, Round_type, Criteria, Criteria_text, Avoidance, "
        "Candidate_count, Candidates, Candidate_hash, Seed, Requested, Picks, Rolled_id, Confirmed, Drawn_date, "
        "Drawn_time) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    st.bind(1, projectId);
    st.bindInt(2, r.number);
    st.bind(3, r.type);
    st.bind(4, r.criteria.join(QLatin1Char('\n')));
    st.bind(5, r.criteriaText);
    st.bind(6, AvoidanceToText(r.avoidance, r.avoided, r.eligibility, r.eligible));
    st.bindInt(7, r.candidateIds.size());
    st.bindBlob(8, PackCandidates(r.candidateIds));
    st.bind(9, CandidateHash(r.candidateIds));
    if (r.seed)
        st.bind(10, QString::number(*r.seed));
    else
        st.bindNull(10);
    st.bindInt(11, r.requested);
    st.bind(12, PicksText(r.picks));
    st.bind(13, r.rolledId);
    st.bind(14, r.confirmedIds.join(QLatin1Char('\n')));
    st.bind(15, dateText(r.drawnAt.date()));
    st.bind(16, timeText(r.drawnAt.time()));
    st.step();
    if (!r.supervised && !r.reserve)
        return;
    Statement sv = conn.prepare(QStringLiteral(
        "INSERT INTO draw_supervised (Project_Id, Round_no, Commitment, Committed_at, Revealed, Supervisor_number, "
        "Public_number, Draw_order, Reserve_use) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    sv.bind(1, projectId);
    sv.bindInt(2, r.number);
    if (r.supervised) {
        const SupervisedSeed &s = *r.supervised;
        sv.bind(3, s.commitment);
        sv.bind(4, dateText(s.committedAt.date()) + QLatin1Char(' ') + timeText(s.committedAt.time()));
        sv.bind(5, QString::fromLatin1(s.revealed.toHex()));
        sv.bind(6, s.supervisorNumber);
        sv.bind(7, s.publicNumber);
        sv.bindBlob(8, PackOrder(s.order));
    } else {
        for (int c = 3; c <= 7; ++c)
            sv.bindNull(c);
        sv.bindNull(8);
    }
    if (r.reserve)
        sv.bind(9, ReserveUseToText(*r.reserve));
    else
        sv.bindNull(9);
    sv.step();
}

void insertExpert(Connection &conn, const QString &projectId, const ProjectExpert &e)
{
    Statement st = conn.prepare(QStringLiteral(
        "INSERT INTO draw_expert (Project_Id, Seq, Round_no, Expert_Id, Name, Sex, birth_date, Company_name, "
        "cong_shi_zhuanye, zige_name, Title, Mobile, Sel_Id, Sel_data, Link_removed, Snapshot_hash) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, NULL, ?)"));
    st.bind(1, projectId);
    st.bindInt(2, e.seq);
    st.bindInt(3, e.round);
    const int rowFields[] = {0, 1, 2, 3, 4, 5, 6};
    for (int f : rowFields)
        st.bind(4 + f, e.row.value(f));
    st.bind(11, e.title);
    st.bind(12, e.row.value(7));
    st.bind(13, e.selId);
    st.bind(14, e.selDate);
    st.bind(15, SnapshotHash(e.row, e.title));
    st.step();
}

// Adds one sel_expert record per row, numbered after the highest record in
// the file inside the caller's transaction (not the cached table, which
// misses what another program or an earlier part of this store wrote); the
// experts learn the record that links them.
void addSelections(Connection &conn, QList<ProjectExpert> &experts, const QString &date)
{
    const qlonglong base = HighestRecordNumber(conn, Schema::SelExpert());
    Recordset rs(conn, Schema::SelExpert());
    for (qsizetype i = 0; i < experts.size(); ++i) {
        ProjectExpert &e = experts[i];
        e.selId = RecordIdText(base + i + 1);
        e.selDate = date;
        rs.addNew();
        rs.setField(0, e.selId);
        rs.setField(1, date);
        rs.setField(2, e.id());
        rs.update();
    }
    rs.close();
}

}   // namespace

TextTable UnstoredRows(const TextTable &drawList, const DrawSession &session)
{
    const QSet<QString> stored(session.storedIds.begin(), session.storedIds.end());
    TextTable out;
    for (qsizetype r = 0; r < drawList.count(); ++r)
        if (!stored.contains(drawList.cell(r, 0).toString()))
            out.appendRowOf(drawList, r);
    return out;
}

QString TitleNameOf(const DataStore &store, const QString &expertId)
{
    const qsizetype row = FindExpertRow(store, expertId);
    return row < 0 ? QString() : TitleNameForCode(store, store.ExpertTable.cell(row, Schema::E_zhicheng_id).toString());
}

StoredDraw StoreDrawProject(const DataStore &store, const TextTable &drawList, DrawSession &session,
                            const ProjectFacts &facts, const QString &operatorName, const QDateTime &now,
                            const QString &operatorId)
{
    Connection &conn = LibraryConnection(store);
    StoredDraw result = StoreDrawProject(conn, store, drawList, session, facts, operatorName, now, operatorId);
    return result;
}

StoredDraw StoreDrawProject(Connection &conn, const DataStore &store, const TextTable &drawList, DrawSession &session,
                            const ProjectFacts &facts, const QString &operatorName, const QDateTime &now,
                            const QString &operatorId)
{
    const TextTable rows = UnstoredRows(drawList, session);
    StoredDraw result;
    if (rows.isEmpty() && session.storedRounds >= session.rounds.size() && session.isStored()) {
        result.projectId = session.projectId;
        return result;
    }

    Transaction tx(conn);
    EnsureProjectTables(conn);

    result.newProject = !session.isStored();
    result.projectId = result.newProject ? nextProjectId(conn) : session.projectId;
    if (result.newProject) {
        Statement st = conn.prepare(QStringLiteral(
            "INSERT INTO draw_project (Id, Name, Code, Client, Review_time, Review_place, Supervisor, Remark, "
            "Operator, Created_date, Created_time) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QStringList values{result.projectId,           facts.name.trimmed(),       facts.code.trimmed(),
                                 facts.client.trimmed(),     facts.reviewTime.trimmed(), facts.reviewPlace.trimmed(),
                                 facts.supervisor.trimmed(), facts.remark.trimmed(),     operatorName,
                                 dateText(now.date()),       timeText(now.time())};
        for (int i = 0; i < values.size(); ++i)
            st.bind(i + 1, values[i]);
        st.step();
        Statement access =
            conn.prepare(QStringLiteral("INSERT INTO draw_disclosure (Project_Id, Operator_Id) VALUES (?, ?)"));
        access.bind(1, result.projectId);
        if (operatorId.isEmpty())
            access.bindNull(2);
        else
            access.bind(2, operatorId);
        access.step();
    }

    // The rounds not yet stored, numbered after the project's last round (a
    // substitute round may have come in between).
    QList<DrawRound> rounds = session.rounds;
    int number =
        lastNumber(conn, QStringLiteral("SELECT max(Round_no) FROM draw_round WHERE Project_Id = ?"), result.projectId);
    for (qsizetype i = session.storedRounds; i < rounds.size(); ++i) {
        rounds[i].number = ++number;
        insertRound(conn, result.projectId, rounds[i]);
    }

    // Each expert belongs to the first round that confirmed them.
    auto roundOf = [&rounds](const QString &id) {
        for (const DrawRound &r : rounds)
            if (r.confirmedIds.contains(id))
                return r.number;
        return 0;
    };
    QList<ProjectExpert> experts;
    int seq =
        lastNumber(conn, QStringLiteral("SELECT max(Seq) FROM draw_expert WHERE Project_Id = ?"), result.projectId);
    for (qsizetype r = 0; r < rows.count(); ++r) {
        ProjectExpert e;
        e.seq = ++seq;
        e.row = rows.row(r).mid(0, 8);
        while (e.row.size() < 8)
            e.row.append(QString());
        // A list shown to a masked role holds masked phone numbers: the record
        // keeps the number the library has, never its mask.
        if (const qsizetype expert = FindExpertRow(store, e.id()); expert >= 0)
            e.row[7] = UnmaskedPhone(e.row[7], store.ExpertTable.cell(expert, Schema::E_Mobile).toString());
        e.round = roundOf(e.id());
        e.title = TitleNameOf(store, e.id());
        experts.append(e);
    }
    addSelections(conn, experts, dateText(now.date()));
    for (const ProjectExpert &e : experts)
        insertExpert(conn, result.projectId, e);

    // The session's trail says where its draws went.
    DrawSession trailed = session;
    DrawEvent stored;
    stored.kind = DrawEventKind::Store;
    stored.at = now;
    stored.operatorName = operatorName;
    stored.projectId = result.projectId;
    for (const ProjectExpert &e : experts)
        stored.expertIds << e.id();
    RecordDrawEvent(conn, trailed, stored);
    AppendAuditCovering(conn, operatorName, AuditKind::ProjectStore, result.projectId, {result.projectId},
                        {{"rounds", int(rounds.size() - session.storedRounds)}, {"experts", int(experts.size())}}, now);
    tx.commit();

    // Only now does the session know: a failed store leaves it as it was.
    session.trailId = trailed.trailId;
    session.trailEvents = trailed.trailEvents;
    session.projectId = result.projectId;
    session.rounds = rounds;
    session.storedRounds = rounds.size();
    for (const ProjectExpert &e : experts)
        session.storedIds.append(e.id());
    result.rowsAdded = experts.size();
    return result;
}

Outcome StoreSubstituteRounds(const DataStore &store, const QString &projectId, QList<SubstituteRound> &rounds)
{
    return CatchDbError([&] { StoreSubstituteRounds(LibraryConnection(store), store, projectId, rounds); });
}

void StoreSubstituteRounds(Connection &conn, const DataStore &store, const QString &projectId,
                           QList<SubstituteRound> &rounds)
{
    if (rounds.isEmpty())
        return;
    QList<SubstituteRound> numbered = rounds;
    Transaction tx(conn);
    EnsureProjectTables(conn);
    int number =
        lastNumber(conn, QStringLiteral("SELECT max(Round_no) FROM draw_round WHERE Project_Id = ?"), projectId);
    int seq = lastNumber(conn, QStringLiteral("SELECT max(Seq) FROM draw_expert WHERE Project_Id = ?"), projectId);
    Statement sub =
        conn.prepare(QStringLiteral("INSERT INTO draw_substitute (Project_Id, Seq, Replaces_seq) VALUES (?, ?, ?)"));
    for (SubstituteRound &s : numbered) {
        s.round.number = ++number;
        insertRound(conn, projectId, s.round);
        QList<ProjectExpert> experts;
        for (const SubstitutePick &p : s.picks) {
            ProjectExpert e;
            e.seq = ++seq;
            e.round = s.round.number;
            e.row = p.row.mid(0, 8);
            while (e.row.size() < 8)
                e.row.append(QString());
            e.title = TitleNameOf(store, e.id());
            e.replacesSeq = p.replacesSeq;
            experts.append(e);
        }
        addSelections(conn, experts, dateText(s.round.drawnAt.date()));
        for (const ProjectExpert &e : experts) {
            insertExpert(conn, projectId, e);
            sub.bind(1, projectId);
            sub.bindInt(2, e.seq);
            sub.bindInt(3, e.replacesSeq);
            sub.step();
            sub.reset();
        }
    }
    AppendAuditCovering(conn, store.operatorName, AuditKind::Substitute, projectId, {projectId},
                        {{"rounds", int(numbered.size())}});
    tx.commit();
    rounds = numbered;
}

QString AttendanceProblem(const AttendanceChange &change)
{
    const QString text = change.reason.trimmed();
    if (change.status == Attendance::Declined) {
        if (!DeclineKind::All().contains(change.reasonKind))
            return QStringLiteral("请选择拒绝原因！");
        if (change.reasonKind == DeclineKind::Other && text.isEmpty())
            return QStringLiteral("请输入拒绝原因的说明！");
    } else if (change.status == Attendance::NoShow) {
        if (text.isEmpty())
            return QStringLiteral("请输入未到场的情况说明！");
    } else if (change.status != Attendance::NotContacted && change.status != Attendance::Confirmed) {
        return QStringLiteral("请选择出席情况！");
    }
    return {};
}

Result<bool> SetAttendance(const DataStore &store, const QString &projectId, int seq, const AttendanceChange &change,
                           const QString &operatorName, const QDateTime &at)
{
    if (const QString problem = AttendanceProblem(change); !problem.isEmpty())
        return Result<bool>::fail(problem);
    return CatchDbError(
        [&] { return SetAttendance(LibraryConnection(store), projectId, seq, change, operatorName, at); });
}

namespace {

bool WriteAttendance(Connection &conn, const QString &projectId, int seq, const AttendanceChange &change,
                     const QString &operatorName, const QDateTime &at)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    {
        Statement find = conn.prepare(QStringLiteral("SELECT 1 FROM draw_expert WHERE Project_Id = ? AND Seq = ?"));
        find.bind(1, projectId);
        find.bindInt(2, seq);
        if (!find.step())
            return false;
    }
    const bool absent = Attendance::IsAbsence(change.status);
    const bool declined = change.status == Attendance::Declined;
    Statement st = conn.prepare(QStringLiteral("INSERT INTO draw_attendance (Project_Id, Seq, Changed_at, Status, "
                                               "Reason, Operator, Reason_kind) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    st.bind(1, projectId);
    st.bindInt(2, seq);
    st.bind(3, dateText(at.date()) + QLatin1Char(' ') + timeText(at.time()));
    st.bind(4, change.status);
    st.bind(5, absent ? change.reason.trimmed() : QString());
    st.bind(6, operatorName);
    if (declined)
        st.bind(7, change.reasonKind);
    else
        st.bindNull(7);
    st.step();
    QJsonObject detail{{"seq", seq}, {"status", change.status}};
    if (declined)
        detail.insert(QStringLiteral("reasonKind"), change.reasonKind);
    AppendAuditCovering(conn, operatorName, AuditKind::Attendance, projectId, {projectId}, detail, at);
    tx.commit();
    return true;
}

// Callers that know no kinds: a decline is 其他, the text as it comes.
AttendanceChange LegacyChange(const QString &status, const QString &reason)
{
    return {status, status == Attendance::Declined ? DeclineKind::Other : QString(), reason};
}

}   // namespace

bool SetAttendance(Connection &conn, const QString &projectId, int seq, const AttendanceChange &change,
                   const QString &operatorName, const QDateTime &at)
{
    if (const QString problem = AttendanceProblem(change); !problem.isEmpty())
        throw DbError(problem);
    return WriteAttendance(conn, projectId, seq, change, operatorName, at);
}

Result<bool> SetAttendance(const DataStore &store, const QString &projectId, int seq, const QString &status,
                           const QString &reason, const QString &operatorName, const QDateTime &at)
{
    return CatchDbError([&] {
        return WriteAttendance(LibraryConnection(store), projectId, seq, LegacyChange(status, reason), operatorName,
                               at);
    });
}

bool SetAttendance(Connection &conn, const QString &projectId, int seq, const QString &status, const QString &reason,
                   const QString &operatorName, const QDateTime &at)
{
    return WriteAttendance(conn, projectId, seq, LegacyChange(status, reason), operatorName, at);
}

namespace {

QString newTrailId(const QDateTime &at)
{
    // Time first, so sessions sort by when they began; the random part keeps
    // two computers on one library apart.
    return at.toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('-') +
           QString::number(SystemSeed() & 0xffffffffffULL, 16).rightJustified(10, QLatin1Char('0'));
}

QList<DrawEvent> readEvents(Statement &st)
{
    QList<DrawEvent> events;
    while (st.step()) {
        DrawEvent e;
        e.session = st.text(0);
        e.number = st.text(1).toInt();
        e.kind = st.text(2);
        e.at = QDateTime::fromString(st.text(3), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        e.operatorName = st.text(4);
        e.projectId = st.text(5);
        if (!ReadDrawEventDetail(st.text(6), &e))
            e.note = QStringLiteral("记录内容无法读取");
        events.append(e);
    }
    return events;
}

const QString kTrailColumns = QStringLiteral("Session, Event_no, Kind, At, Operator, Project_Id, Detail");

}   // namespace

void RecordDrawEvent(Connection &conn, DrawSession &session, DrawEvent &event)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    const QString id = session.trailId.isEmpty() ? newTrailId(event.at) : session.trailId;
    // Numbered after what the file holds: the count the session keeps may
    // be behind a store that failed after writing nothing.
    Statement last = conn.prepare(QStringLiteral("SELECT max(Event_no) FROM draw_trail WHERE Session = ?"));
    last.bind(1, id);
    int number = 0;
    if (last.step() && !last.isNull(0))
        number = last.text(0).toInt();
    ++number;
    Statement st =
        conn.prepare(QStringLiteral("INSERT INTO draw_trail (%1) VALUES (?, ?, ?, ?, ?, ?, ?)").arg(kTrailColumns));
    st.bind(1, id);
    st.bindInt(2, number);
    st.bind(3, event.kind);
    st.bind(4, dateText(event.at.date()) + QLatin1Char(' ') + timeText(event.at.time()));
    st.bind(5, event.operatorName);
    if (event.projectId.isEmpty())
        st.bindNull(6);
    else
        st.bind(6, event.projectId);
    const QString detail = DrawEventDetail(event);
    st.bind(7, detail);
    st.step();
    // The log names every draw as it happens: one deleted later shows.
    const QString at = dateText(event.at.date()) + QLatin1Char(' ') + timeText(event.at.time());
    AppendAudit(conn, event.operatorName, AuditKind::DrawRound, id + QLatin1Char(':') + QString::number(number),
                {{QStringLiteral("trail_row"), DrawTrailRowHash({id, QString::number(number), event.kind, at,
                                                                 event.operatorName, event.projectId, detail})},
                 {QStringLiteral("event"), event.kind}},
                event.at);
    tx.commit();
    session.trailId = id;
    session.trailEvents = number;
    event.session = id;
    event.number = number;
}

Outcome RecordDrawEvent(const DataStore &store, DrawSession &session, DrawEvent &event)
{
    return CatchDbError([&] { RecordDrawEvent(LibraryConnection(store), session, event); });
}

QList<DrawEvent> LoadProjectTrail(Connection &conn, const QString &projectId)
{
    if (!HasTable(conn, QStringLiteral("draw_trail")))
        return {};
    Statement st = conn.prepare(QStringLiteral("SELECT %1 FROM draw_trail WHERE Session IN (SELECT Session FROM "
                                               "draw_trail WHERE Project_Id = ?) ORDER BY Session, Event_no")
                                    .arg(kTrailColumns));
    st.bind(1, projectId);
    return readEvents(st);
}

QList<DrawEvent> LoadUnstoredTrail(Connection &conn)
{
    if (!HasTable(conn, QStringLiteral("draw_trail")))
        return {};
    Statement st =
        conn.prepare(QStringLiteral("SELECT %1 FROM draw_trail WHERE Session NOT IN (SELECT Session FROM "
                                    "draw_trail WHERE Project_Id IS NOT NULL) ORDER BY At, Session, Event_no")
                         .arg(kTrailColumns));
    return readEvents(st);
}

Result<QList<DrawEvent>> LoadUnstoredTrail(const DataStore &store)
{
    return CatchDbError([&] { return LoadUnstoredTrail(LibraryConnection(store)); });
}

QList<DrawEvent> LoadSessionTrail(Connection &conn, const QString &session)
{
    if (!HasTable(conn, QStringLiteral("draw_trail")))
        return {};
    Statement st = conn.prepare(
        QStringLiteral("SELECT %1 FROM draw_trail WHERE Session = ? ORDER BY Event_no").arg(kTrailColumns));
    st.bind(1, session);
    return readEvents(st);
}

QList<DrawEvent> LoadTrail(Connection &conn)
{
    if (!HasTable(conn, QStringLiteral("draw_trail")))
        return {};
    Statement st =
        conn.prepare(QStringLiteral("SELECT %1 FROM draw_trail ORDER BY Session, Event_no").arg(kTrailColumns));
    return readEvents(st);
}
