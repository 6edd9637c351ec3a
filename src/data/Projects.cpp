#include "data/Projects.h"

#include "data/DrawStore.h"
#include "data/Schema.h"
#include "data/SeededDraw.h"
#include "data/Vocabulary.h"
#include "data/Wildcard.h"

namespace {

QStringList splitLines(const QString &text) { return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n')); }

DrawRound readRound(const Statement &st)
{
    // Columns as selected in LoadProject.
    DrawRound r;
    r.number = st.text(0).toInt();
    r.type = st.text(1);
    r.criteria = splitLines(st.text(2));
    r.criteriaText = st.text(3);
    if (!AvoidanceFromText(st.text(4), &r.avoidance, &r.avoided, &r.eligibility, &r.eligible))
        r.damage << QStringLiteral("回避条件无法读取");
    bool ok = false;
    r.storedCount = st.text(5).toLongLong(&ok);
    if (!ok)
        r.storedCount = -1;
    if (!UnpackCandidates(st.blob(6), &r.candidateIds))
        r.damage << QStringLiteral("候选名单无法读取");
    r.storedHash = st.text(7);
    if (!st.isNull(8)) {
        const quint64 seed = st.text(8).toULongLong(&ok);
        if (ok)
            r.seed = seed;
        else
            r.damage << QStringLiteral("随机种子无法读取");
    }
    r.requested = st.text(9).toLongLong();
    if (!ParsePicks(st.text(10), &r.picks))
        r.damage << QStringLiteral("抽取结果无法读取");
    r.rolledId = st.text(11);
    r.confirmedIds = splitLines(st.text(12));
    r.drawnAt = QDateTime(QDate::fromString(st.text(13), kStoredDateFormat),
                          QTime::fromString(st.text(14), QStringLiteral("HH:mm:ss")));
    return r;
}

}   // namespace

TextTable LoadProjectList(const DataStore &store) { return LoadProjectList(LibraryConnection(store)); }

void LoadProjects(DataStore &store)
{
    TextTable projects;
    store.library().readTracked(ProjectTableNames(),
                                [&projects](Connection &conn) { projects = LoadProjectList(conn); });
    store.ProjectTable = std::move(projects);
}

TextTable LoadProjectList(Connection &conn)
{
    TextTable t;
    if (!HasProjectTables(conn))
        return t;
    Statement st =
        conn.prepare(QStringLiteral("SELECT p.Id, p.Created_date, p.Created_time, p.Name, p.Code, "
                                    "(SELECT count(*) FROM draw_round r WHERE r.Project_Id = p.Id), "
                                    "(SELECT count(*) FROM draw_expert e WHERE e.Project_Id = p.Id), p.Operator "
                                    "FROM draw_project p ORDER BY p.Id"));
    while (st.step()) {
        const QString date = st.text(1);
        t.append({st.text(0), date + QLatin1Char(' ') + st.text(2), st.text(3), st.text(4), st.text(5), st.text(6),
                  st.text(7), date});
    }
    return t;
}

TextTable FilterProjects(const TextTable &projects, const QString &from, const QString &to, const QString &name)
{
    TextTable out;
    const std::optional<WildcardPattern> pattern =
        name.isEmpty() ? std::nullopt : std::optional<WildcardPattern>(WildcardPattern::contains(name));
    for (qsizetype r = 0; r < projects.count(); ++r) {
        const QStringView date = projects.cell(r, P_Date);
        if (!from.isEmpty() && date < from)
            continue;
        if (!to.isEmpty() && date > to)
            continue;
        if (pattern && !pattern->matches(projects.cell(r, P_Name)))
            continue;
        out.appendRowOf(projects, r);
    }
    return out;
}

const ProjectExpert *ProjectDetail::expert(int seq) const
{
    for (const ProjectExpert &e : experts)
        if (e.seq == seq)
            return &e;
    return nullptr;
}

QList<DrawEvent> ProjectDetail::discardedDraws() const
{
    QList<DrawEvent> out;
    for (const DrawEvent &e : trail) {
        if (e.kind != DrawEventKind::Draw || !e.round || !e.projectId.isEmpty())
            continue;
        bool stored = false;
        for (const DrawRound &r : rounds)
            stored =
                stored || (r.type == e.round->type && r.storedHash == e.round->storedHash && r.seed == e.round->seed &&
                           r.picks == e.round->picks && r.rolledId == e.round->rolledId &&
                           r.drawnAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) ==
                               e.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        if (!stored)
            out.append(e);
    }
    return out;
}

const DrawRound *ProjectDetail::round(int number) const
{
    for (const DrawRound &r : rounds)
        if (r.number == number)
            return &r;
    return nullptr;
}

std::optional<ProjectDetail> LoadProject(const DataStore &store, const QString &projectId)
{
    Connection &conn = LibraryConnection(store);
    std::optional<ProjectDetail> p = LoadProject(conn, projectId);
    return p;
}

std::optional<ProjectDetail> LoadProject(Connection &conn, const QString &projectId)
{
    if (!HasProjectTables(conn))
        return std::nullopt;
    ProjectDetail p;
    {
        Statement st = conn.prepare(QStringLiteral(
            "SELECT Id, Name, Code, Client, Review_time, Review_place, Supervisor, Remark, Operator, Created_date, "
            "Created_time FROM draw_project WHERE Id = ?"));
        st.bind(1, projectId);
        if (!st.step())
            return std::nullopt;
        p.id = st.text(0);
        p.facts = {st.text(1), st.text(2), st.text(3), st.text(4), st.text(5), st.text(6), st.text(7)};
        p.operatorName = st.text(8);
        p.createdDate = st.text(9);
        p.createdTime = st.text(10);
    }
    {
        Statement st = conn.prepare(QStringLiteral(
            "SELECT Round_no, Round_type, Criteria, Criteria_text, Avoidance, Candidate_count, Candidates, "
            "Candidate_hash, Seed, Requested, Picks, Rolled_id, Confirmed, Drawn_date, Drawn_time "
            "FROM draw_round WHERE Project_Id = ? ORDER BY Round_no"));
        st.bind(1, projectId);
        while (st.step())
            p.rounds.append(readRound(st));
    }
    if (HasTable(conn, QStringLiteral("draw_supervised"))) {
        Statement st = conn.prepare(QStringLiteral(
            "SELECT Round_no, Commitment, Committed_at, Revealed, Supervisor_number, Public_number, Draw_order, "
            "Reserve_use FROM draw_supervised WHERE Project_Id = ? ORDER BY Round_no"));
        st.bind(1, projectId);
        while (st.step()) {
            const int number = st.text(0).toInt();
            DrawRound *r = nullptr;
            for (DrawRound &round : p.rounds)
                if (round.number == number)
                    r = &round;
            if (!r) {
                p.damage << QStringLiteral("监督抽取记录 %1 没有对应的轮次").arg(number);
                continue;
            }
            if (!st.isNull(1)) {
                SupervisedSeed s;
                s.commitment = st.text(1);
                s.committedAt = QDateTime::fromString(st.text(2), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                s.revealed = QByteArray::fromHex(st.text(3).toLatin1());
                s.supervisorNumber = st.text(4);
                s.publicNumber = st.text(5);
                if (!UnpackOrder(st.blob(6), &s.order))
                    r->damage << QStringLiteral("监督抽取的排序无法读取");
                r->supervised = s;
            }
            if (!st.isNull(7)) {
                ReserveUse use;
                if (ReserveUseFromText(st.text(7), &use))
                    r->reserve = use;
                else
                    r->damage << QStringLiteral("替补名单的使用记录无法读取");
            }
        }
    }
    {
        Statement st = conn.prepare(QStringLiteral(
            "SELECT Seq, Round_no, Expert_Id, Name, Sex, birth_date, Company_name, cong_shi_zhuanye, zige_name, "
            "Mobile, Title, Sel_Id, Sel_data, Link_removed, Snapshot_hash FROM draw_expert WHERE Project_Id = ? "
            "ORDER BY Seq"));
        st.bind(1, projectId);
        while (st.step()) {
            ProjectExpert e;
            e.seq = st.text(0).toInt();
            e.round = st.text(1).toInt();
            for (int c = 2; c <= 9; ++c)
                e.row.append(st.text(c));
            e.title = st.text(10);
            e.selId = st.text(11);
            e.selDate = st.text(12);
            e.linkRemoved = st.text(13);
            e.snapshotHash = st.text(14);
            p.experts.append(e);
        }
    }
    {
        // The last change of each expert's attendance is the one that holds.
        // A library not yet opened for writing since kinds were kept reads
        // without them.
        const bool kinds = HasColumn(conn, QStringLiteral("draw_attendance"), QStringLiteral("Reason_kind"));
        Statement st = conn.prepare(QStringLiteral("SELECT Seq, Status, Reason, Changed_at, %1 FROM draw_attendance "
                                                   "WHERE Project_Id = ? ORDER BY rowid")
                                        .arg(kinds ? QStringLiteral("Reason_kind") : QStringLiteral("NULL")));
        st.bind(1, projectId);
        while (st.step()) {
            const int seq = st.text(0).toInt();
            for (ProjectExpert &e : p.experts) {
                if (e.seq == seq) {
                    e.attendance = st.text(1);
                    e.reason = st.text(2);
                    e.attendanceTime = st.text(3);
                    e.reasonKind = DeclineKindOf(e.attendance, st.isNull(4) ? QString() : st.text(4));
                }
            }
        }
    }
    p.trail = LoadProjectTrail(conn, projectId);
    {
        Statement st = conn.prepare(
            QStringLiteral("SELECT Seq, Replaces_seq FROM draw_substitute WHERE Project_Id = ? ORDER BY Seq"));
        st.bind(1, projectId);
        while (st.step()) {
            const int seq = st.text(0).toInt();
            const int replaces = st.text(1).toInt();
            bool found = false;
            for (ProjectExpert &e : p.experts) {
                if (e.seq == seq) {
                    e.replacesSeq = replaces;
                    found = true;
                }
            }
            if (!found)
                p.damage << QStringLiteral("补抽记录 %1 没有对应的专家").arg(seq);
        }
    }
    return p;
}

TextTable ProjectsOfExpert(const DataStore &store, const QString &expertId)
{
    Connection &conn = LibraryConnection(store);
    TextTable t = ProjectsOfExpert(conn, expertId);
    return t;
}

TextTable ProjectsOfExpert(Connection &conn, const QString &expertId)
{
    TextTable t;
    if (!HasProjectTables(conn))
        return t;
    Statement st = conn.prepare(
        QStringLiteral("SELECT e.Project_Id, p.Created_date, p.Created_time, p.Name, p.Code, r.Round_type, "
                       "(SELECT a.Status FROM draw_attendance a WHERE a.Project_Id = e.Project_Id AND a.Seq = e.Seq "
                       " ORDER BY a.rowid DESC LIMIT 1), p.Operator "
                       "FROM draw_expert e JOIN draw_project p ON p.Id = e.Project_Id "
                       "LEFT JOIN draw_round r ON r.Project_Id = e.Project_Id AND r.Round_no = e.Round_no "
                       "WHERE e.Expert_Id = ? ORDER BY e.Project_Id, e.Seq"));
    st.bind(1, expertId);
    while (st.step()) {
        const QString status = st.isNull(6) ? Attendance::NotContacted : st.text(6);
        t.append({st.text(0), st.text(1) + QLatin1Char(' ') + st.text(2), st.text(3), st.text(4), st.text(5), status,
                  st.text(7)});
    }
    return t;
}
