#include "data/Credit.h"

#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawRecord.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "data/Vocabulary.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QHash>

#include <algorithm>

namespace {

const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString stamp(const QDateTime &at) { return at.toString(kDateTimeFormat); }
QDateTime readStamp(const QString &text) { return QDateTime::fromString(text, kDateTimeFormat); }

bool hasTable(Connection &conn, const char *name) { return HasTable(conn, QString::fromLatin1(name)); }

// The last attendance of every expert of a project (seq -> status).
QHash<int, QString> currentAttendance(Connection &conn, const QString &projectId)
{
    QHash<int, QString> status;
    Statement st =
        conn.prepare(QStringLiteral("SELECT Seq, Status FROM draw_attendance WHERE Project_Id = ? ORDER BY rowid"));
    st.bind(1, projectId);
    while (st.step())
        status.insert(st.text(0).toInt(), st.text(1));
    return status;
}

QString recordLine(const QString &kind, const QString &text)
{
    return text.isEmpty() ? kind : QStringLiteral("%1：%2").arg(kind, text);
}

QString stars(int rating) { return QString(rating, QChar(0x2605)) + QString(5 - rating, QChar(0x2606)); }

}   // namespace

QString ConductProblem(const ConductEntry &e)
{
    if (e.rating < 0 || e.rating > 5)
        return QStringLiteral("评价应为1至5分！");
    if (e.rating == 0 && !e.remark.trimmed().isEmpty())
        return QStringLiteral("请先选择评价分数，再填写评语！");
    if (e.recordKind.isEmpty() && !e.recordText.trimmed().isEmpty())
        return QStringLiteral("请选择不良记录的类别！");
    if (!e.recordKind.isEmpty() && !MisconductKind::All().contains(e.recordKind))
        return QStringLiteral("不良记录的类别不正确！");
    if (!e.recordKind.isEmpty() && e.recordText.trimmed().isEmpty())
        return QStringLiteral("请填写不良记录的内容！");
    return {};
}

QList<ConductEntry> ReadConduct(Connection &conn, const QString &projectId)
{
    QList<ConductEntry> out;
    if (!hasTable(conn, "expert_conduct"))
        return out;
    Statement st = conn.prepare(QStringLiteral("SELECT Seq, Expert_Id, Rating, Remark, Record_kind, Record_text, "
                                               "Recorded_at, Operator FROM expert_conduct WHERE Project_Id = ? "
                                               "ORDER BY Seq"));
    st.bind(1, projectId);
    while (st.step()) {
        ConductEntry e;
        e.seq = st.text(0).toInt();
        e.expertId = st.text(1);
        e.rating = st.isNull(2) ? 0 : st.text(2).toInt();
        e.remark = st.text(3);
        e.recordKind = st.text(4);
        e.recordText = st.text(5);
        e.recordedAt = st.text(6);
        e.operatorName = st.text(7);
        out.append(e);
    }
    return out;
}

Result<QList<ConductEntry>> ReadConduct(const DataStore &store, const QString &projectId)
{
    return CatchDbError([&] { return ReadConduct(LibraryConnection(store), projectId); });
}

void WriteConduct(Connection &conn, const QString &projectId, const QList<ConductEntry> &entries,
                  const QString &operatorName, const QDateTime &at)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    const QHash<int, QString> status = currentAttendance(conn, projectId);
    Statement expert =
        conn.prepare(QStringLiteral("SELECT Expert_Id FROM draw_expert WHERE Project_Id = ? AND Seq = ?"));
    Statement remove = conn.prepare(QStringLiteral("DELETE FROM expert_conduct WHERE Project_Id = ? AND Seq = ?"));
    Statement insert = conn.prepare(
        QStringLiteral("INSERT INTO expert_conduct (Project_Id, Seq, Expert_Id, Rating, Remark, Record_kind, "
                       "Record_text, Recorded_at, Operator) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QJsonArray logged;
    for (const ConductEntry &e : entries) {
        if (const QString problem = ConductProblem(e); !problem.isEmpty())
            throw DbError(QStringLiteral("第%1位专家：%2").arg(e.seq).arg(problem));
        expert.reset();
        expert.bind(1, projectId);
        expert.bindInt(2, e.seq);
        if (!expert.step())
            throw DbError(QStringLiteral("项目 %1 没有第%2位专家。").arg(projectId).arg(e.seq));
        const QString expertId = expert.text(0);
        remove.reset();
        remove.bind(1, projectId);
        remove.bindInt(2, e.seq);
        remove.step();
        QJsonObject line{{"seq", e.seq}};
        if (!e.isEmpty()) {
            // Only a review the expert attended can be judged.
            if (status.value(e.seq) != Attendance::Confirmed)
                throw DbError(QStringLiteral("第%1位专家的出席情况不是“已确认”，不能记录评价或不良记录。").arg(e.seq));
            insert.reset();
            insert.bind(1, projectId);
            insert.bindInt(2, e.seq);
            insert.bind(3, expertId);
            if (e.rating > 0)
                insert.bindInt(4, e.rating);
            else
                insert.bindNull(4);
            insert.bind(5, e.remark.trimmed());
            if (e.hasRecord()) {
                insert.bind(6, e.recordKind);
                insert.bind(7, e.recordText.trimmed());
            } else {
                insert.bindNull(6);
                insert.bindNull(7);
            }
            insert.bind(8, stamp(at));
            insert.bind(9, operatorName);
            insert.step();
            if (e.rating > 0)
                line.insert(QStringLiteral("rating"), e.rating);
            if (e.hasRecord())
                line.insert(QStringLiteral("record"), e.recordKind);
        }
        logged.append(line);
    }
    AppendAuditCovering(conn, operatorName, AuditKind::Conduct, projectId, {projectId}, {{"experts", logged}}, at);
    tx.commit();
}

Outcome WriteConduct(const DataStore &store, const QString &projectId, const QList<ConductEntry> &entries,
                     const QDateTime &at)
{
    const Result<bool> done = CatchDbError([&] {
        WriteConduct(LibraryConnection(store), projectId, entries, store.operatorName, at);
        return true;
    });
    if (!done)
        return done.failure();
    return Outcome::success();
}

QString Suspension::term() const
{
    return longTerm() ? QStringLiteral("长期") : QStringLiteral("至%1").arg(until.toString(kStoredDateFormat));
}

namespace {

const QString kSuspensionColumns = QStringLiteral("Id, Expert_Id, Record_project, Record_seq, Until_date, Reason, "
                                                  "Suspended_at, Suspended_by, Lifted_at, Lifted_by");

Suspension readSuspension(Statement &st)
{
    Suspension s;
    s.id = st.text(0).toLongLong();
    s.expertId = st.text(1);
    s.recordProject = st.text(2);
    s.recordSeq = st.text(3).toInt();
    s.until = st.isNull(4) ? QDate() : QDate::fromString(st.text(4), kStoredDateFormat);
    s.reason = st.text(5);
    s.suspendedAt = readStamp(st.text(6));
    s.suspendedBy = st.text(7);
    s.liftedAt = st.isNull(8) ? QDateTime() : readStamp(st.text(8));
    s.liftedBy = st.text(9);
    return s;
}

// Closes every suspension of the expert still in force on the day.
int liftInForce(Connection &conn, const QString &expertId, const QString &operatorName, const QDateTime &at)
{
    int lifted = 0;
    for (const Suspension &s : ReadSuspensions(conn, expertId)) {
        if (!s.inForce(at.date()))
            continue;
        Statement st =
            conn.prepare(QStringLiteral("UPDATE expert_suspension SET Lifted_at = ?, Lifted_by = ? WHERE Id = ?"));
        st.bind(1, stamp(at));
        st.bind(2, operatorName);
        st.bindInt(3, s.id);
        st.step();
        ++lifted;
    }
    return lifted;
}

}   // namespace

qint64 SuspendExpert(Connection &conn, const Suspension &s, const QString &operatorName, const QDateTime &at)
{
    if (const QString problem = SuspensionProblem(s, at.date()); !problem.isEmpty())
        throw DbError(problem);
    Transaction tx(conn);
    EnsureProjectTables(conn);
    {
        Statement st = conn.prepare(QStringLiteral("SELECT Record_kind FROM expert_conduct WHERE Project_Id = ? AND "
                                                   "Seq = ? AND Expert_Id = ?"));
        st.bind(1, s.recordProject);
        st.bindInt(2, s.recordSeq);
        st.bind(3, s.expertId);
        if (!st.step() || st.isNull(0) || st.text(0).isEmpty())
            throw DbError(QStringLiteral("该专家在此项目中没有不良记录，不能据此暂停。"));
    }
    const int replaced = liftInForce(conn, s.expertId, operatorName, at);
    qint64 id = 1;
    {
        Statement st = conn.prepare(QStringLiteral("SELECT max(Id) FROM expert_suspension"));
        if (st.step() && !st.isNull(0))
            id = st.text(0).toLongLong() + 1;
    }
    Statement st =
        conn.prepare(QStringLiteral("INSERT INTO expert_suspension (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, NULL, NULL)")
                         .arg(kSuspensionColumns));
    st.bindInt(1, id);
    st.bind(2, s.expertId);
    st.bind(3, s.recordProject);
    st.bindInt(4, s.recordSeq);
    if (s.longTerm())
        st.bindNull(5);
    else
        st.bind(5, s.until.toString(kStoredDateFormat));
    st.bind(6, s.reason.trimmed());
    st.bind(7, stamp(at));
    st.bind(8, operatorName);
    st.step();
    AppendAudit(conn, operatorName, AuditKind::Suspension, s.expertId,
                {{"action", QStringLiteral("suspend")},
                 {"until", s.longTerm() ? QStringLiteral("长期") : s.until.toString(kStoredDateFormat)},
                 {"project", s.recordProject},
                 {"seq", s.recordSeq},
                 {"replaced", replaced}},
                at);
    tx.commit();
    return id;
}

Result<qint64> SuspendExpert(const DataStore &store, const Suspension &suspension, const QDateTime &at)
{
    return CatchDbError([&] { return SuspendExpert(LibraryConnection(store), suspension, store.operatorName, at); });
}

bool LiftSuspension(Connection &conn, const QString &expertId, const QString &operatorName, const QDateTime &at)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    const int lifted = liftInForce(conn, expertId, operatorName, at);
    if (lifted == 0)
        return false;
    AppendAudit(conn, operatorName, AuditKind::Suspension, expertId, {{"action", QStringLiteral("lift")}}, at);
    tx.commit();
    return true;
}

Result<bool> LiftSuspension(const DataStore &store, const QString &expertId, const QDateTime &at)
{
    return CatchDbError([&] { return LiftSuspension(LibraryConnection(store), expertId, store.operatorName, at); });
}

QList<Suspension> ReadSuspensions(Connection &conn, const QString &expertId)
{
    QList<Suspension> out;
    if (!hasTable(conn, "expert_suspension"))
        return out;
    Statement st = conn.prepare(
        QStringLiteral("SELECT %1 FROM expert_suspension %2 ORDER BY Id")
            .arg(kSuspensionColumns, expertId.isEmpty() ? QString() : QStringLiteral("WHERE Expert_Id = ?")));
    if (!expertId.isEmpty())
        st.bind(1, expertId);
    while (st.step())
        out.append(readSuspension(st));
    return out;
}

Result<QList<Suspension>> ReadSuspensions(const DataStore &store, const QString &expertId)
{
    return CatchDbError([&] { return ReadSuspensions(LibraryConnection(store), expertId); });
}

QSet<QString> SuspendedExperts(Connection &conn, const QDate &day)
{
    QSet<QString> ids;
    if (!hasTable(conn, "expert_suspension"))
        return ids;
    // Dates are stored as yyyy-MM-dd, so text order is date order.
    Statement st = conn.prepare(QStringLiteral("SELECT Expert_Id FROM expert_suspension WHERE Lifted_at IS NULL AND "
                                               "(Until_date IS NULL OR Until_date >= ?)"));
    st.bind(1, day.toString(kStoredDateFormat));
    while (st.step())
        ids.insert(st.text(0));
    return ids;
}

const Suspension *SuspensionInForce(const QList<Suspension> &all, const QString &expertId, const QDate &day)
{
    for (auto it = all.crbegin(); it != all.crend(); ++it)
        if (it->expertId == expertId && it->inForce(day))
            return &*it;
    return nullptr;
}

TextTable ExpertCreditRecord(Connection &conn, const QString &expertId)
{
    struct Line {
        QString when;
        int order;   // keeps events of one moment in the order they happen
        QStringList cells;
    };
    QList<Line> lines;
    QHash<QString, QPair<QString, QString>> projects;   // Id -> name, code
    if (HasProjectTables(conn)) {
        Statement st = conn.prepare(
            QStringLiteral("SELECT e.Project_Id, e.Seq, p.Name, p.Code, r.Drawn_date, r.Drawn_time, r.Round_no, "
                           "r.Round_type FROM draw_expert e JOIN draw_project p ON p.Id = e.Project_Id "
                           "LEFT JOIN draw_round r ON r.Project_Id = e.Project_Id AND r.Round_no = e.Round_no "
                           "WHERE e.Expert_Id = ? ORDER BY e.Project_Id, e.Seq"));
        st.bind(1, expertId);
        QList<QPair<QString, int>> places;
        while (st.step()) {
            const QString project = st.text(0);
            const int seq = st.text(1).toInt();
            projects.insert(project, {st.text(2), st.text(3)});
            places.append({project, seq});
            lines.append({st.text(4) + QLatin1Char(' ') + st.text(5),
                          0,
                          {st.text(4) + QLatin1Char(' ') + st.text(5), st.text(2), st.text(3), QStringLiteral("抽取"),
                           QStringLiteral("第%1位，第%2轮%3").arg(seq).arg(st.text(6), st.text(7)), project}});
        }
        const bool kinds = HasColumn(conn, QStringLiteral("draw_attendance"), QStringLiteral("Reason_kind"));
        Statement att = conn.prepare(QStringLiteral("SELECT Status, Reason, Changed_at, %1 FROM draw_attendance "
                                                    "WHERE Project_Id = ? AND Seq = ? ORDER BY rowid DESC LIMIT 1")
                                         .arg(kinds ? QStringLiteral("Reason_kind") : QStringLiteral("NULL")));
        for (const auto &[project, seq] : places) {
            att.reset();
            att.bind(1, project);
            att.bindInt(2, seq);
            if (!att.step() || att.text(0) == Attendance::NotContacted)
                continue;
            const QString status = att.text(0);
            QString detail;
            if (status == Attendance::Declined)
                detail = recordLine(DeclineKindOf(status, att.isNull(3) ? QString() : att.text(3)), att.text(1));
            else if (status == Attendance::NoShow)
                detail = att.text(1);
            const auto [name, code] = projects.value(project);
            lines.append({att.text(2), 1, {att.text(2), name, code, status, detail, project}});
        }
    }
    if (hasTable(conn, "expert_conduct")) {
        Statement st = conn.prepare(QStringLiteral("SELECT Project_Id, Seq, Rating, Remark, Record_kind, Record_text, "
                                                   "Recorded_at FROM expert_conduct WHERE Expert_Id = ?"));
        st.bind(1, expertId);
        while (st.step()) {
            const QString project = st.text(0);
            const auto [name, code] = projects.value(project);
            if (!st.isNull(2)) {
                const int rating = st.text(2).toInt();
                QString detail = QStringLiteral("%1 %2分").arg(stars(std::clamp(rating, 0, 5))).arg(rating);
                if (!st.text(3).isEmpty())
                    detail += QStringLiteral("，") + st.text(3);
                lines.append({st.text(6), 2, {st.text(6), name, code, QStringLiteral("评价"), detail, project}});
            }
            if (!st.isNull(4) && !st.text(4).isEmpty())
                lines.append({st.text(6),
                              3,
                              {st.text(6), name, code, QStringLiteral("不良记录"), recordLine(st.text(4), st.text(5)),
                               project}});
        }
    }
    for (const Suspension &s : ReadSuspensions(conn, expertId)) {
        const auto [name, code] = projects.value(s.recordProject);
        QString detail = s.term();
        if (!s.reason.isEmpty())
            detail += QStringLiteral("，") + s.reason;
        detail += QStringLiteral("（%1）").arg(s.suspendedBy);
        lines.append({stamp(s.suspendedAt),
                      4,
                      {stamp(s.suspendedAt), name, code, QStringLiteral("暂停"), detail, s.recordProject}});
        if (s.lifted())
            lines.append({stamp(s.liftedAt),
                          5,
                          {stamp(s.liftedAt), QString(), QString(), QStringLiteral("解除暂停"),
                           QStringLiteral("（%1）").arg(s.liftedBy), QString()}});
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) {
        return a.when != b.when ? a.when < b.when : a.order < b.order;
    });
    TextTable t;
    for (const Line &l : lines)
        t.append(l.cells);
    return t;
}

Result<TextTable> ExpertCreditRecord(const DataStore &store, const QString &expertId)
{
    return CatchDbError([&] { return ExpertCreditRecord(LibraryConnection(store), expertId); });
}

TextTable SuspendedExpertRows(Connection &conn, const QDate &day)
{
    TextTable t;
    const QList<Suspension> all = ReadSuspensions(conn, {});
    if (all.isEmpty())
        return t;
    Statement expert = conn.prepare(QStringLiteral("SELECT Name, Company_name FROM expert_msg WHERE Id = ?"));
    Statement snapshot = conn.prepare(QStringLiteral("SELECT Name, Company_name FROM draw_expert WHERE Project_Id = ? "
                                                     "AND Seq = ?"));
    Statement record = conn.prepare(QStringLiteral("SELECT Record_kind, Record_text FROM expert_conduct WHERE "
                                                   "Project_Id = ? AND Seq = ?"));
    for (const Suspension &s : all) {
        if (!s.inForce(day))
            continue;
        QString name, company;
        expert.reset();
        expert.bind(1, s.expertId);
        if (expert.step()) {
            name = expert.text(0).trimmed();
            company = expert.text(1).trimmed();
        } else {
            snapshot.reset();
            snapshot.bind(1, s.recordProject);
            snapshot.bindInt(2, s.recordSeq);
            if (snapshot.step()) {
                name = snapshot.text(0).trimmed();
                company = snapshot.text(1).trimmed();
            }
        }
        record.reset();
        record.bind(1, s.recordProject);
        record.bindInt(2, s.recordSeq);
        const QString what = record.step() ? recordLine(record.text(0), record.text(1)) : QString();
        t.append({s.expertId, name, company, s.term(), what, stamp(s.suspendedAt), s.suspendedBy, s.reason});
    }
    return t;
}

Result<TextTable> SuspendedExpertRows(const DataStore &store, const QDate &day)
{
    return CatchDbError([&] { return SuspendedExpertRows(LibraryConnection(store), day); });
}

QString MisconductRecord::line() const
{
    return QStringLiteral("%1（%2）：%3").arg(projectName.trimmed(), recordedAt.left(10), recordLine(kind, text));
}

QList<MisconductRecord> MisconductOf(Connection &conn, const QString &expertId)
{
    QList<MisconductRecord> out;
    if (!hasTable(conn, "expert_conduct"))
        return out;
    Statement st =
        conn.prepare(QStringLiteral("SELECT c.Project_Id, p.Name, c.Seq, c.Record_kind, c.Record_text, c.Recorded_at "
                                    "FROM expert_conduct c LEFT JOIN draw_project p ON p.Id = c.Project_Id "
                                    "WHERE c.Expert_Id = ? AND c.Record_kind IS NOT NULL AND c.Record_kind <> '' "
                                    "ORDER BY c.Recorded_at, c.Project_Id, c.Seq"));
    st.bind(1, expertId);
    while (st.step())
        out.append({st.text(0), st.text(1), st.text(2).toInt(), st.text(3), st.text(4), st.text(5)});
    return out;
}

Result<QList<MisconductRecord>> MisconductOf(const DataStore &store, const QString &expertId)
{
    return CatchDbError([&] { return MisconductOf(LibraryConnection(store), expertId); });
}

Result<QSet<QString>> SuspendedExperts(const DataStore &store, const QDate &day)
{
    return CatchDbError([&] { return SuspendedExperts(LibraryConnection(store), day); });
}

QString SuspensionProblem(const Suspension &s, const QDate &today)
{
    if (s.expertId.isEmpty() || s.recordProject.isEmpty() || s.recordSeq <= 0)
        return QStringLiteral("请选择作为暂停依据的不良记录！");
    if (!s.longTerm() && s.until < today)
        return QStringLiteral("暂停截止日期不能早于今天！");
    return {};
}
