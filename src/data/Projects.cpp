#include "data/Projects.h"

#include "data/AuditLog.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/EligibilityRules.h"
#include "data/Users.h"
#include "data/Schema.h"
#include "data/SeededDraw.h"
#include "data/Vocabulary.h"
#include "data/Wildcard.h"

#include <QRegularExpression>

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
        p.access.operatorName = p.operatorName;
        p.access.reviewTime = p.facts.reviewTime;
    }
    if (HasTable(conn, QStringLiteral("draw_disclosure"))) {
        Statement st = conn.prepare(
            QStringLiteral("SELECT Operator_Id, Published_at, Published_by FROM draw_disclosure WHERE Project_Id = ?"));
        st.bind(1, projectId);
        if (st.step()) {
            p.access.operatorId = st.text(0);
            p.access.publishedAt = st.text(1);
            p.access.publishedBy = st.text(2);
        }
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

QDateTime PanelOpensAt(const QString &reviewTime)
{
    // The day leads what was typed: "2026-12-10 09:30", "2026年12月10日上午".
    QStringView text = QStringView(reviewTime).trimmed();
    const qsizetype space = text.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space > 0)
        text = text.first(space);
    QDate day = ReadRecordDate(text);
    if (!day.isValid() && text.contains(QChar(0x65E5)))   // 日
        day = ReadRecordDate(text.first(text.indexOf(QChar(0x65E5)) + 1));
    return day.isValid() ? QDateTime(day.addDays(1), QTime(0, 0)) : QDateTime();
}

bool PanelIsConfidential(const PanelAccess &panel, const PanelViewer &viewer, const QDateTime &now)
{
    if (panel.published())
        return false;
    const QDateTime opens = PanelOpensAt(panel.reviewTime);
    if (opens.isValid() && now >= opens)
        return false;
    if (viewer.role == kAdministratorRole)
        return false;
    const bool drewIt = panel.operatorId.isEmpty() ? !viewer.userName.isEmpty() && panel.operatorName == viewer.userName
                                                   : !viewer.userId.isEmpty() && panel.operatorId == viewer.userId;
    return !drewIt;
}

QHash<QString, PanelAccess> LoadPanelAccess(Connection &conn)
{
    QHash<QString, PanelAccess> out;
    if (!HasProjectTables(conn))
        return out;
    ReadSnapshot snapshot(conn);
    {
        Statement st = conn.prepare(QStringLiteral("SELECT Id, Operator, Review_time FROM draw_project"));
        while (st.step()) {
            PanelAccess &a = out[st.text(0)];
            a.operatorName = st.text(1);
            a.reviewTime = st.text(2);
        }
    }
    if (HasTable(conn, QStringLiteral("draw_disclosure"))) {
        Statement st = conn.prepare(
            QStringLiteral("SELECT Project_Id, Operator_Id, Published_at, Published_by FROM draw_disclosure"));
        while (st.step()) {
            const auto it = out.find(st.text(0));
            if (it == out.end())
                continue;
            it->operatorId = st.text(1);
            it->publishedAt = st.text(2);
            it->publishedBy = st.text(3);
        }
    }
    return out;
}

Result<QHash<QString, PanelAccess>> LoadPanelAccess(const DataStore &store)
{
    return CatchDbError([&store] { return LoadPanelAccess(LibraryConnection(store)); });
}

QSet<QString> HiddenSelections(Connection &conn, const PanelViewer &viewer, const QDateTime &now)
{
    QSet<QString> hidden;
    if (!HasProjectTables(conn))
        return hidden;
    ReadSnapshot snapshot(conn);
    const QHash<QString, PanelAccess> access = LoadPanelAccess(conn);
    QSet<QString> concealed;
    for (auto it = access.cbegin(); it != access.cend(); ++it)
        if (PanelIsConfidential(*it, viewer, now))
            concealed.insert(it.key());
    if (concealed.isEmpty())
        return hidden;
    Statement st = conn.prepare(QStringLiteral("SELECT Project_Id, Sel_Id FROM draw_expert"));
    while (st.step())
        if (concealed.contains(st.text(0)) && !st.isNull(1))
            hidden.insert(st.text(1));
    return hidden;
}

Result<QSet<QString>> HiddenSelections(const DataStore &store, const PanelViewer &viewer, const QDateTime &now)
{
    return CatchDbError([&] { return HiddenSelections(LibraryConnection(store), viewer, now); });
}

bool PublishPanel(Connection &conn, const QString &projectId, const PanelViewer &by, const QDateTime &now)
{
    if (by.role != kAdministratorRole)
        return false;
    Transaction tx(conn);
    EnsureProjectTables(conn);
    const std::optional<ProjectDetail> project = LoadProject(conn, projectId);
    if (!project || project->access.published())
        return false;
    const QString at = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    Statement update = conn.prepare(
        QStringLiteral("UPDATE draw_disclosure SET Published_at = ?, Published_by = ? WHERE Project_Id = ?"));
    update.bind(1, at);
    update.bind(2, by.userName);
    update.bind(3, projectId);
    update.step();
    // A project stored before its operator was kept has no row yet.
    Statement exists = conn.prepare(QStringLiteral("SELECT count(*) FROM draw_disclosure WHERE Project_Id = ?"));
    exists.bind(1, projectId);
    if (!exists.step() || exists.text(0).toInt() == 0) {
        Statement insert = conn.prepare(QStringLiteral(
            "INSERT INTO draw_disclosure (Project_Id, Operator_Id, Published_at, Published_by) VALUES (?, ?, ?, ?)"));
        insert.bind(1, projectId);
        insert.bindNull(2);
        insert.bind(3, at);
        insert.bind(4, by.userName);
        insert.step();
    }
    AppendAudit(conn, by.userName, AuditKind::ProjectPublish, projectId,
                {{"name", project->facts.name}, {"review_time", project->facts.reviewTime}}, now);
    tx.commit();
    return true;
}

Result<bool> PublishPanel(const DataStore &store, const QString &projectId, const PanelViewer &by, const QDateTime &now)
{
    return CatchDbError([&] { return PublishPanel(LibraryConnection(store), projectId, by, now); });
}

void ConcealPanel(ProjectDetail &project)
{
    // Sex, profession and qualification stay: they say what the panel needs,
    // not who sits on it.
    for (ProjectExpert &e : project.experts) {
        for (int c : {0, 1, 3, 4, 7})
            if (c < e.row.size())
                e.row[c] = kHiddenText;
        e.title.clear();
        e.selId.clear();
        e.snapshotHash.clear();
    }
    auto concealRound = [](DrawRound &r) {
        // The positions and the numbers behind a random draw name the
        // experts as surely as their numbers do, once the candidate list
        // is derived again from the criteria.
        for (QString &id : r.candidateIds)
            id = kHiddenText;
        for (QString &id : r.confirmedIds)
            id = kHiddenText;
        if (!r.rolledId.isEmpty())
            r.rolledId = kHiddenText;
        r.picks.clear();
        r.seed.reset();
        r.supervised.reset();
        r.reserve.reset();
        r.storedHash.clear();
    };
    for (DrawRound &r : project.rounds)
        concealRound(r);
    project.trail.clear();
}
