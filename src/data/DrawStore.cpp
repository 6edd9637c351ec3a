#include "data/DrawStore.h"

#include "data/AuditLog.h"

#include "data/ExpertRecord.h"
#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/SeededDraw.h"
#include "data/Vocabulary.h"

#include <QSet>

namespace {

QString dateText(const QDate &d) { return d.toString(kStoredDateFormat); }
QString timeText(const QTime &t) { return t.toString(QStringLiteral("HH:mm:ss")); }

QString nextProjectId(Connection &conn)
{
    Statement st = conn.prepare(QStringLiteral("SELECT max(CAST(Id AS INTEGER)) FROM draw_project"));
    qlonglong last = 0;
    if (st.step() && !st.isNull(0))
        last = st.text(0).toLongLong();
    return QStringLiteral("%1").arg(last + 1, 6, 10, QLatin1Char('0'));
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
    st.bind(6, AvoidanceToText(r.avoidance, r.avoided));
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
                            const ProjectFacts &facts, const QString &operatorName, const QDateTime &now)
{
    Connection &conn = LibraryConnection(store);
    StoredDraw result = StoreDrawProject(conn, store, drawList, session, facts, operatorName, now);
    return result;
}

StoredDraw StoreDrawProject(Connection &conn, const DataStore &store, const TextTable &drawList, DrawSession &session,
                            const ProjectFacts &facts, const QString &operatorName, const QDateTime &now)
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
        e.round = roundOf(e.id());
        e.title = TitleNameOf(store, e.id());
        experts.append(e);
    }
    addSelections(conn, experts, dateText(now.date()));
    for (const ProjectExpert &e : experts)
        insertExpert(conn, result.projectId, e);
    AppendAuditCovering(conn, operatorName, AuditKind::ProjectStore, result.projectId, {result.projectId},
                        {{"rounds", int(rounds.size() - session.storedRounds)}, {"experts", int(experts.size())}}, now);
    tx.commit();

    // Only now does the session know: a failed store leaves it as it was.
    session.projectId = result.projectId;
    session.rounds = rounds;
    session.storedRounds = rounds.size();
    for (const ProjectExpert &e : experts)
        session.storedIds.append(e.id());
    result.rowsAdded = experts.size();
    return result;
}

void StoreSubstituteRounds(const DataStore &store, const QString &projectId, QList<SubstituteRound> &rounds)
{
    Connection &conn = LibraryConnection(store);
    StoreSubstituteRounds(conn, store, projectId, rounds);
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

bool SetAttendance(const DataStore &store, const QString &projectId, int seq, const QString &status,
                   const QString &reason, const QString &operatorName, const QDateTime &at)
{
    Connection &conn = LibraryConnection(store);
    const bool done = SetAttendance(conn, projectId, seq, status, reason, operatorName, at);
    return done;
}

bool SetAttendance(Connection &conn, const QString &projectId, int seq, const QString &status, const QString &reason,
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
    Statement st = conn.prepare(QStringLiteral("INSERT INTO draw_attendance (Project_Id, Seq, Changed_at, Status, "
                                               "Reason, Operator) VALUES (?, ?, ?, ?, ?, ?)"));
    st.bind(1, projectId);
    st.bindInt(2, seq);
    st.bind(3, dateText(at.date()) + QLatin1Char(' ') + timeText(at.time()));
    st.bind(4, status);
    st.bind(5, status == Attendance::Declined ? reason.trimmed() : QString());
    st.bind(6, operatorName);
    st.step();
    AppendAuditCovering(conn, operatorName, AuditKind::Attendance, projectId, {projectId},
                        {{"seq", seq}, {"status", status}}, at);
    tx.commit();
    return true;
}
