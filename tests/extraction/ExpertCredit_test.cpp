// An expert's credit: reasons for declines and no-shows, ratings and
// 不良记录 after a review, suspensions that keep an expert out of every draw
// and substitute, and libraries made before any of it.

#include "TestApp.h"
#include "data/AuditLog.h"
#include "data/Credit.h"
#include "data/Database.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/ExpertRecord.h"
#include "data/LibrarySettings.h"
#include "data/Schema.h"
#include "experts/frmExpertList.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmConduct.h"
#include "lists/PagedList.h"
#include "ui/ScreenStyle.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(9, 30, 0));

TEST(AttendanceReasons, EveryAbsenceNeedsItsReason)
{
    struct Case {
        const char *what;
        AttendanceChange change;
        QString problem;
    };
    const Case cases[] = {
        {"not contacted", {Attendance::NotContacted, "", ""}, ""},
        {"confirmed", {Attendance::Confirmed, "", ""}, ""},
        {"decline without a kind", {Attendance::Declined, "", "出差"}, "请选择拒绝原因！"},
        {"decline with an unknown kind", {Attendance::Declined, "不想去", "x"}, "请选择拒绝原因！"},
        {"decline for a time conflict", {Attendance::Declined, DeclineKind::TimeConflict, ""}, ""},
        {"decline for avoidance with text", {Attendance::Declined, DeclineKind::Avoidance, "曾在投标单位任职"}, ""},
        {"other without its text", {Attendance::Declined, DeclineKind::Other, "  "}, "请输入拒绝原因的说明！"},
        {"other with its text", {Attendance::Declined, DeclineKind::Other, "出国"}, ""},
        {"no-show without text", {Attendance::NoShow, "", " "}, "请输入未到场的情况说明！"},
        {"no-show with text", {Attendance::NoShow, "", "电话未接"}, ""},
        {"no state", {"", "", ""}, "请选择出席情况！"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(AttendanceProblem(c.change), c.problem) << c.what;
}

TEST(ConductEntries, WhatIsMissingIsNamed)
{
    struct Case {
        const char *what;
        ConductEntry entry;
        QString problem;
    };
    const auto entry = [](int rating, QString remark, QString kind, QString text) {
        ConductEntry e;
        e.seq = 1;
        e.rating = rating;
        e.remark = remark;
        e.recordKind = kind;
        e.recordText = text;
        return e;
    };
    const Case cases[] = {
        {"nothing", entry(0, "", "", ""), ""},
        {"a rating", entry(5, "认真", "", ""), ""},
        {"a rating above five", entry(6, "", "", ""), "评价应为1至5分！"},
        {"a remark without a rating", entry(0, "认真", "", ""), "请先选择评价分数，再填写评语！"},
        {"a record text without its kind", entry(2, "", "", "迟到"), "请选择不良记录的类别！"},
        {"a record kind without its text", entry(2, "", MisconductKind::Absence, " "), "请填写不良记录的内容！"},
        {"an unknown kind", entry(2, "", "迟到", "x"), "不良记录的类别不正确！"},
        {"a record alone", entry(0, "", MisconductKind::Leak, "透露评委名单"), ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ConductProblem(c.entry), c.problem) << c.what;
}

class ExpertCredit : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 12; ++i)
            ids << app.addExpert(QStringLiteral("专家%1").arg(i + 1));
    }

    // A random round of n with a fixed seed, stored as a project.
    QString storeProject(qsizetype n, quint64 seed = 7, const QDateTime &at = kNow)
    {
        DataStore &store = app.state.store;
        TextTable candidates;
        const KeptOut removed = BuildCandidates(store, SelectionCriteria{}, {}, at.date(), candidates).value();
        DrawRound round =
            NewRound(RoundType::Random, SelectionCriteria{}, store.TitleTypeTable, {}, removed, candidates, at);
        app.random->seeds.append(seed);
        const TextTable picked = SeededPick(round, candidates, n, *app.random);
        TextTable drawList;
        for (qsizetype r = 0; r < picked.count(); ++r) {
            round.confirmedIds << picked.cell(r, 0).toString();
            drawList.appendRowOf(picked, r);
        }
        DrawSession session;
        session.rounds << round;
        const QString id = StoreDrawProject(store, drawList, session, ProjectFacts{"评审项目"}, "admin", at).projectId;
        LoadSelections(store);
        return id;
    }

    ProjectDetail project(const QString &id)
    {
        std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
        EXPECT_TRUE(p);
        return p.value_or(ProjectDetail{});
    }

    bool verified(const QString &id)
    {
        Connection conn = OpenDataFile(app.state.store);
        const ProjectVerification v = VerifyProject(conn, id);
        EXPECT_TRUE(v.ok()) << v.line().toStdString();
        return v.ok();
    }

    // Expert seq of the project attended and got a 不良记录; the expert is
    // then suspended from it (until: invalid for 长期).
    QString suspendFrom(const QString &projectId, int seq, const QDate &until = {})
    {
        EXPECT_TRUE(
            SetAttendance(app.state.store, projectId, seq, {Attendance::Confirmed, "", ""}, "admin", kNow).value());
        ConductEntry c;
        c.seq = seq;
        c.rating = 1;
        c.recordKind = MisconductKind::Discipline;
        c.recordText = "评审中离场";
        EXPECT_TRUE(WriteConduct(app.state.store, projectId, {c}, kNow).ok());
        Suspension s;
        s.expertId = project(projectId).expert(seq)->id();
        s.recordProject = projectId;
        s.recordSeq = seq;
        s.until = until;
        s.reason = "违反纪律";
        EXPECT_TRUE(SuspendExpert(app.state.store, s, kNow).ok());
        return s.expertId;
    }

    qint64 scalar(const QString &sql, const QStringList &params = {})
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare(sql);
        for (int i = 0; i < params.size(); ++i)
            st.bind(i + 1, params[i]);
        return st.step() ? st.text(0).toLongLong() : -1;
    }

    TestApp app;
    QStringList ids;
};

TEST_F(ExpertCredit, ConductIsKeptForAttendingExpertsOnlyAndAllOrNothing)
{
    const QString id = storeProject(3);
    ASSERT_TRUE(SetAttendance(app.state.store, id, 1, {Attendance::Confirmed, "", ""}, "admin", kNow).value());
    ASSERT_TRUE(
        SetAttendance(app.state.store, id, 2, {Attendance::Declined, DeclineKind::Health, ""}, "admin", kNow).value());
    const AuditHead before = ReadAuditHead(app.state.store).value();

    ConductEntry good;
    good.seq = 1;
    good.rating = 4;
    good.remark = "认真";
    good.recordKind = MisconductKind::Absence;
    good.recordText = "下午未回";
    ConductEntry declined;
    declined.seq = 2;
    declined.rating = 3;
    // The second entry is refused: the first is not written either.
    const Outcome refused = WriteConduct(app.state.store, id, {good, declined}, kNow);
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.message().contains("第2位专家")) << refused.message().toStdString();
    EXPECT_TRUE(ReadConduct(app.state.store, id).value().isEmpty());
    EXPECT_EQ(ReadAuditHead(app.state.store).value().seq, before.seq);

    ASSERT_TRUE(WriteConduct(app.state.store, id, {good}, kNow).ok());
    const QList<ConductEntry> kept = ReadConduct(app.state.store, id).value();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept[0].expertId, project(id).expert(1)->id());
    EXPECT_EQ(kept[0].rating, 4);
    EXPECT_EQ(kept[0].recordKind, MisconductKind::Absence);
    const QList<AuditEntry> log = ReadAuditEntries(app.state.store, {}).value();
    EXPECT_EQ(log.last().kind, AuditKind::Conduct);
    EXPECT_EQ(log.last().subject, id);
    EXPECT_TRUE(verified(id));

    // An empty entry takes the rating back.
    ConductEntry cleared;
    cleared.seq = 1;
    ASSERT_TRUE(WriteConduct(app.state.store, id, {cleared}, kNow.addSecs(60)).ok());
    EXPECT_TRUE(ReadConduct(app.state.store, id).value().isEmpty());
    EXPECT_TRUE(verified(id));
}

TEST_F(ExpertCredit, SuspensionNeedsABadRecordAndOneIsInForceAtATime)
{
    const QString id = storeProject(3);
    ASSERT_TRUE(SetAttendance(app.state.store, id, 1, {Attendance::Confirmed, "", ""}, "admin", kNow).value());
    ConductEntry rated;
    rated.seq = 1;
    rated.rating = 5;
    ASSERT_TRUE(WriteConduct(app.state.store, id, {rated}, kNow).ok());
    Suspension s;
    s.expertId = project(id).expert(1)->id();
    s.recordProject = id;
    s.recordSeq = 1;
    EXPECT_FALSE(SuspendExpert(app.state.store, s, kNow));   // a rating is no 不良记录
    EXPECT_TRUE(ReadSuspensions(app.state.store, s.expertId).value().isEmpty());

    const QString expert = suspendFrom(id, 1, kNow.date().addDays(30));
    s.until = kNow.date().addDays(-1);
    EXPECT_EQ(SuspensionProblem(s, kNow.date()), "暂停截止日期不能早于今天！");
    // A second suspension replaces the first.
    s.until = QDate();
    ASSERT_TRUE(SuspendExpert(app.state.store, s, kNow.addSecs(60)));
    const QList<Suspension> all = ReadSuspensions(app.state.store, expert).value();
    ASSERT_EQ(all.size(), 2);
    EXPECT_TRUE(all[0].lifted());
    EXPECT_TRUE(all[1].inForce(kNow.date().addYears(20)));
    EXPECT_EQ(SuspensionInForce(all, expert, kNow.date())->term(), "长期");

    ASSERT_TRUE(LiftSuspension(app.state.store, expert, kNow.addSecs(120)).value());
    EXPECT_FALSE(LiftSuspension(app.state.store, expert, kNow.addSecs(180)).value());
    EXPECT_TRUE(SuspendedExperts(app.state.store, kNow.date()).value().isEmpty());
    const QList<AuditEntry> log = ReadAuditEntries(app.state.store, {}).value();
    EXPECT_EQ(log.last().kind, AuditKind::Suspension);
    EXPECT_EQ(log.last().subject, expert);
    EXPECT_TRUE(verified(id));
}

TEST_F(ExpertCredit, ASuspendedExpertIsNeverDrawn)
{
    const QString id = storeProject(3);
    const QString expert = suspendFrom(id, 2);
    for (quint64 seed = 1; seed <= 40; ++seed) {
        TextTable candidates;
        const KeptOut kept = BuildCandidates(app.state.store, SelectionCriteria{}, {}, kNow.date(), candidates).value();
        EXPECT_EQ(kept.eligible.suspended, 1);
        EXPECT_EQ(candidates.count(), ids.size() - 1);
        DrawRound round = NewRound(RoundType::Random, SelectionCriteria{}, app.state.store.TitleTypeTable, {}, kept,
                                   candidates, kNow);
        app.random->seeds.append(seed);
        const TextTable picked = SeededPick(round, candidates, 6, *app.random);
        for (qsizetype r = 0; r < picked.count(); ++r)
            ASSERT_NE(picked.cell(r, 0).toString(), expert) << "seed " << seed;
        // The round says why the expert was missing, and keeps it.
        EXPECT_TRUE(DescribeKeptOut(round).contains("暂停1人")) << DescribeKeptOut(round).toStdString();
    }

    // Asking for everyone still leaves them out; lifting lets them back.
    TextTable all;
    BuildCandidates(app.state.store, SelectionCriteria{}, {}, kNow.date(), all).value();
    for (qsizetype r = 0; r < all.count(); ++r)
        EXPECT_NE(all.cell(r, 0).toString(), expert);
    ASSERT_TRUE(LiftSuspension(app.state.store, expert, kNow).value());
    BuildCandidates(app.state.store, SelectionCriteria{}, {}, kNow.date(), all).value();
    EXPECT_EQ(all.count(), ids.size());
}

TEST_F(ExpertCredit, ASuspensionEndsAfterItsLastDay)
{
    const QString id = storeProject(3);
    const QDate last = kNow.date().addDays(10);
    const QString expert = suspendFrom(id, 1, last);
    TextTable candidates;
    // A panel reviewed on the last day cannot have them; the day after can.
    EXPECT_EQ(BuildCandidates(app.state.store, SelectionCriteria{}, {}, kNow.date(), candidates, last)
                  .value()
                  .eligible.suspended,
              1);
    EXPECT_EQ(BuildCandidates(app.state.store, SelectionCriteria{}, {}, kNow.date(), candidates, last.addDays(1))
                  .value()
                  .eligible.suspended,
              0);
    EXPECT_EQ(candidates.count(), ids.size());
}

TEST_F(ExpertCredit, SubstitutesAreDrawnForRecordedAbsencesAndNeverASuspendedExpert)
{
    const QString id = storeProject(4);
    ProjectDetail p = project(id);
    // Nobody to replace until someone declines or fails to come.
    EXPECT_TRUE(AwaitingSubstitute(p).isEmpty());
    ASSERT_TRUE(
        SetAttendance(app.state.store, id, 1, {Attendance::Declined, DeclineKind::TimeConflict, ""}, "admin", kNow)
            .value());
    ASSERT_TRUE(SetAttendance(app.state.store, id, 2, {Attendance::Confirmed, "", ""}, "admin", kNow).value());
    ASSERT_TRUE(
        SetAttendance(app.state.store, id, 3, {Attendance::NoShow, "", "电话未接"}, "admin", kNow.addSecs(10)).value());
    // Not one of the panel, not drawn yet: suspend every expert but one.
    QSet<QString> drawn;
    for (const ProjectExpert &e : project(id).experts)
        drawn.insert(e.id());
    QString left;
    const QString other = storeProject(8, 11, kNow.addSecs(20));
    for (const ProjectExpert &e : project(other).experts) {
        if (drawn.contains(e.id()))
            continue;
        if (left.isEmpty()) {
            left = e.id();
            continue;
        }
        suspendFrom(other, e.seq);
    }
    ASSERT_FALSE(left.isEmpty());

    p = project(id);
    EXPECT_EQ(AwaitingSubstitute(p), QList<int>({1, 3}));
    QList<int> unfilled;
    app.random->seeds.append(3);
    QList<SubstituteRound> subs = DrawSubstitutes(app.state.store, p, *app.random, kNow.addSecs(600), &unfilled);
    QStringList picked;
    for (const SubstituteRound &s : subs)
        for (const SubstitutePick &pick : s.picks)
            picked << pick.row.value(0);
    const QSet<QString> suspended = SuspendedExperts(app.state.store, kNow.date()).value();
    for (const QString &x : picked)
        EXPECT_FALSE(suspended.contains(x)) << x.toStdString();
    // Whoever is not suspended and not drawn yet comes; the rest stay unfilled.
    QSet<QString> free;
    for (const QString &x : ids)
        if (!drawn.contains(x) && !suspended.contains(x))
            free.insert(x);
    EXPECT_EQ(picked.size() + unfilled.size(), 2);
    EXPECT_EQ(qsizetype(picked.size()), std::min<qsizetype>(2, free.size()));
    ASSERT_TRUE(StoreSubstituteRounds(app.state.store, id, subs).ok());
    EXPECT_TRUE(verified(id));
}

TEST_F(ExpertCredit, AReserveSkipsASuspendedExpertWithTheReason)
{
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "1"));
    DataStore &store = app.state.store;
    TextTable candidates;
    const KeptOut removed = BuildCandidates(store, SelectionCriteria{}, {}, kNow.date(), candidates).value();
    DrawRound round =
        NewRound(RoundType::Random, SelectionCriteria{}, store.TitleTypeTable, {}, removed, candidates, kNow);
    const SupervisedSeed seed = DeriveSupervised(round.candidateIds, QByteArray(32, 'k'), "123456", {}, kNow);
    const TextTable picked = SupervisedPick(round, candidates, 3, seed);
    TextTable drawList;
    for (qsizetype r = 0; r < picked.count(); ++r) {
        round.confirmedIds << picked.cell(r, 0).toString();
        drawList.appendRowOf(picked, r);
    }
    DrawSession session;
    session.rounds << round;
    const QString id = StoreDrawProject(store, drawList, session, ProjectFacts{"监督项目"}, "admin", kNow).projectId;
    LoadSelections(store);

    // The first of the reserve misbehaved elsewhere and is suspended.
    const QString firstReserve = round.candidateIds[seed.order[3]];
    const QString elsewhere = storeProject(12, 5, kNow.addSecs(5));
    for (const ProjectExpert &e : project(elsewhere).experts)
        if (e.id() == firstReserve)
            suspendFrom(elsewhere, e.seq);
    ASSERT_EQ(SuspendedExperts(store, kNow.date()).value(), QSet<QString>({firstReserve}));

    ASSERT_TRUE(SetAttendance(store, id, 1, {Attendance::Declined, DeclineKind::Avoidance, ""}, "admin", kNow).value());
    QList<SubstituteRound> subs = DrawSubstitutes(store, project(id), *app.random, kNow.addSecs(60));
    ASSERT_EQ(subs.size(), 1);
    ASSERT_EQ(subs[0].picks.size(), 1);
    EXPECT_EQ(subs[0].picks[0].row.value(0), round.candidateIds[seed.order[4]]);
    ASSERT_TRUE(subs[0].round.reserve);
    ASSERT_EQ(subs[0].round.reserve->skipped.size(), 1);
    EXPECT_EQ(subs[0].round.reserve->skipped[0].id, firstReserve);
    EXPECT_EQ(subs[0].round.reserve->skipped[0].reason, "已暂停抽取");
    ASSERT_TRUE(StoreSubstituteRounds(store, id, subs).ok());
    EXPECT_TRUE(verified(id));
}

TEST_F(ExpertCredit, TheFiltersSuspendedCountIsWhatTheFileHolds)
{
    // Suspensions of every sort straight into the file: in force for good,
    // to a later day, ended, lifted, of a disabled expert, and two of one
    // expert.
    {
        Connection conn = OpenDataFile(app.state.store);
        EnsureProjectTables(conn);
        conn.exec(QStringLiteral("UPDATE expert_msg SET Status = '停用' WHERE Id = '%1'").arg(ids[5]));
        Statement st =
            conn.prepare("INSERT INTO expert_suspension (Id, Expert_Id, Record_project, Record_seq, "
                         "Until_date, Suspended_at, Lifted_at) VALUES (?, ?, 'p', 1, ?, '2026-01-01 08:00:00', ?)");
        const struct {
            QString expert;
            QString until;   // "" for none
            QString lifted;
        } rows[] = {
            {ids[0], "", ""}, {ids[1], "2027-01-01", ""}, {ids[2], "2026-12-08", ""}, {ids[3], "", "2026-06-01"},
            {ids[5], "", ""}, {ids[6], "2026-12-09", ""}, {ids[6], "", ""},
        };
        int n = 0;
        for (const auto &r : rows) {
            st.reset();
            st.bindInt(1, ++n);
            st.bind(2, r.expert);
            if (r.until.isEmpty())
                st.bindNull(3);
            else
                st.bind(3, r.until);
            if (r.lifted.isEmpty())
                st.bindNull(4);
            else
                st.bind(4, r.lifted);
            st.step();
        }
    }
    LoadExperts(app.state.store);
    for (const QDate &day : {kNow.date(), QDate(2026, 12, 10), QDate(2027, 1, 2)}) {
        const qint64 expected = scalar(
            "SELECT COUNT(DISTINCT s.Expert_Id) FROM expert_suspension s JOIN expert_msg e ON e.Id = s.Expert_Id "
            "WHERE e.Status = '启用' AND s.Lifted_at IS NULL AND (s.Until_date IS NULL OR s.Until_date >= ?)",
            {day.toString("yyyy-MM-dd")});
        TextTable candidates;
        const EligibilityCounts counts =
            FilterCandidates(app.state.store, SelectionCriteria{}, day, candidates).value();
        EXPECT_EQ(counts.suspended, expected) << day.toString().toStdString();
        EXPECT_EQ(counts.total, expected);
        EXPECT_EQ(candidates.count(), ids.size() - 1 - expected);
    }
}

TEST_F(ExpertCredit, AnOldLibraryReadsItsDeclinesAsOtherAndGainsWhatIsNew)
{
    const QString id = storeProject(3);
    // Made before kinds, conduct and suspensions were kept.
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("DROP TABLE expert_conduct");
        conn.exec("DROP TABLE expert_suspension");
        conn.exec("DROP TABLE draw_attendance");
        conn.exec("CREATE TABLE draw_attendance (Project_Id TEXT NOT NULL, Seq INTEGER NOT NULL, Changed_at TEXT, "
                  "Status TEXT, Reason TEXT, Operator TEXT)");
        Statement st = conn.prepare("INSERT INTO draw_attendance VALUES (?, 1, '2026-12-09 09:40:00', '已拒绝', "
                                    "'出差', 'admin')");
        st.bind(1, id);
        st.step();
        EXPECT_FALSE(HasAllProjectTables(conn));
    }
    // Read as it is: the decline is 其他, and awaits its substitute.
    ProjectDetail p = project(id);
    EXPECT_EQ(p.experts[0].attendance, Attendance::Declined);
    EXPECT_EQ(p.experts[0].reasonKind, DeclineKind::Other);
    EXPECT_EQ(p.experts[0].reason, "出差");
    EXPECT_EQ(AwaitingSubstitute(p), QList<int>({1}));
    EXPECT_TRUE(SuspendedExperts(app.state.store, kNow.date()).value().isEmpty());
    EXPECT_EQ(ExpertCreditRecord(app.state.store, p.experts[0].id()).value().count(), 2);

    EnsureDataFile(app.dataFile());
    {
        Connection conn = OpenDataFile(app.state.store);
        EXPECT_TRUE(HasAllProjectTables(conn));
        EXPECT_TRUE(HasColumn(conn, "draw_attendance", "Reason_kind"));
    }
    p = project(id);
    EXPECT_EQ(p.experts[0].reasonKind, DeclineKind::Other);
    ASSERT_TRUE(
        SetAttendance(app.state.store, id, 2, {Attendance::Declined, DeclineKind::Health, "住院"}, "admin", kNow)
            .value());
    EXPECT_EQ(project(id).experts[1].reasonKind, DeclineKind::Health);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM draw_attendance WHERE Reason_kind IS NULL"), 1);
}

TEST_F(ExpertCredit, TheRecordShowsPanelsAbsencesRatingsRecordsAndSuspensionsInTimeOrder)
{
    const QString id = storeProject(3);
    const QString expert = project(id).expert(1)->id();
    suspendFrom(id, 1, kNow.date().addDays(5));   // confirmed, rated with a record, suspended
    ASSERT_TRUE(LiftSuspension(app.state.store, expert, kNow.addSecs(3600)).value());
    const TextTable record = ExpertCreditRecord(app.state.store, expert).value();
    QStringList what;
    for (qsizetype r = 0; r < record.count(); ++r)
        what << record.cell(r, ER_What).toString();
    EXPECT_EQ(what, QStringList({"抽取", "已确认", "评价", "不良记录", "暂停", "解除暂停"}));
    EXPECT_EQ(record.cell(3, ER_Detail).toString(), "违反纪律：评审中离场");
    EXPECT_EQ(record.cell(0, ER_Project).toString(), "评审项目");

    // The list of the suspended holds the expert only while suspended.
    EXPECT_TRUE(SuspendedExpertRows(app.state.store, kNow.date()).value().isEmpty());
    suspendFrom(id, 1);
    const TextTable suspended = SuspendedExpertRows(app.state.store, kNow.date()).value();
    ASSERT_EQ(suspended.count(), 1);
    EXPECT_EQ(suspended.cell(0, 0).toString(), expert);
    EXPECT_EQ(suspended.cell(0, 3).toString(), "长期");
    EXPECT_EQ(suspended.cell(0, 4).toString(), "违反纪律：评审中离场");
}

}   // namespace

namespace {

// The same from the screens: 专家评价 on the project screen, 暂停抽取 and
// 解除暂停 on the expert's projects screen, the mark on the detail view and
// the colour in the expert list.
class CreditScreens : public ExpertCredit {
protected:
    void SetUp() override
    {
        ExpertCredit::SetUp();
        app.state.session.CurrentUserRole = 0;
        host.area.show();
    }
    void click(const QString &form, const char *name)
    {
        QPushButton *b = host.find<QPushButton>(form, QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    TestHost host{app.state};
};

TEST_F(CreditScreens, ConductAndSuspensionFromTheScreens)
{
    const QString id = storeProject(3);
    const QString screen = QStringLiteral("frmProListDis");
    host.openScreen(ScreenId::ProjectListView, {.projectId = id});
    // Nobody attended yet: nothing to judge.
    click(screen, "cmdConduct");
    EXPECT_EQ(app.messages->lastText(), "没有出席情况为“已确认”的专家，无法评价。");

    ASSERT_TRUE(SetAttendance(app.state.store, id, 2, {Attendance::Confirmed, "", ""}, "admin", kNow).value());
    ASSERT_TRUE(SetAttendance(app.state.store, id, 3, {Attendance::Confirmed, "", ""}, "admin", kNow).value());
    host.openScreen(ScreenId::ProjectListView, {.projectId = id});
    int listed = 0;
    QString refused;
    app.dialogs->script.enqueue([&](QDialog &d) {
        listed = static_cast<frmConduct &>(d).rowCount();
        d.findChild<QComboBox *>("cboRating(0)")->setCurrentIndex(2);
        d.findChild<QComboBox *>("cboRecordKind(0)")->setCurrentText(MisconductKind::Absence);
        FakeDialogs::Press(d, "cmdOK");   // a record needs its text
        EXPECT_EQ(d.result(), QDialog::Rejected);
        refused = app.messages->lastText();
        d.findChild<QLineEdit *>("txtRecord(0)")->setText("下午未到");
        d.findChild<QComboBox *>("cboRating(1)")->setCurrentIndex(5);
        d.findChild<QLineEdit *>("txtRemark(1)")->setText("认真负责");
        return FakeDialogs::Press(d, "cmdOK");
    });
    click(screen, "cmdConduct");
    EXPECT_EQ(listed, 2);   // the two who attended
    EXPECT_TRUE(refused.contains("请填写不良记录的内容！")) << refused.toStdString();
    EXPECT_EQ(app.messages->lastText(), "专家评价已保存。");
    const QList<ConductEntry> kept = ReadConduct(app.state.store, id).value();
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept[0].seq, 2);
    EXPECT_EQ(kept[0].rating, 2);
    EXPECT_EQ(kept[0].recordText, "下午未到");
    EXPECT_EQ(kept[1].rating, 5);
    EXPECT_EQ(kept[1].remark, "认真负责");

    // The administrator suspends the expert with the record, to a date.
    const QString expert = project(id).expert(2)->id();
    const QString projects = QStringLiteral("frmExpertProjects");
    host.openScreen(ScreenId::ExpertListViewProjects, {.expertId = expert});
    app.dialogs->script.enqueue([&](QDialog &d) {
        EXPECT_EQ(d.findChild<QComboBox *>("cboRecord")->count(), 2);   // the blank and the one record
        d.findChild<QDateEdit *>("dtpUntil")->setDate(QDate(2027, 6, 30));
        return FakeDialogs::Press(d, "cmdOK");
    });
    click(projects, "cmdSuspend");
    EXPECT_EQ(host.find<QLabel>(projects, "labSuspension")->text(), "该专家已暂停抽取（至2027-06-30）");
    EXPECT_EQ(SuspendedExperts(app.state.store, kNow.date()).value(), QSet<QString>({expert}));

    // The detail view and the expert list show it.
    host.openScreen(ScreenId::ExpertListView, {.expertId = expert});
    EXPECT_EQ(host.find<QLabel>("frmExpertListDis", "labSuspension")->text(), "暂停抽取（至2027-06-30）");
    host.openScreen(ScreenId::ExpertList);
    auto *list = static_cast<frmExpertList *>(host.screen("frmExpertList"));
    // Their name brings them to the first page.
    host.find<QLineEdit>("frmExpertList", "txtName")->setText(project(id).expert(2)->name().trimmed());
    click("frmExpertList", "cmdSearch");
    int orange = 0;
    for (int slot = 0; slot < 10; ++slot) {
        const qsizetype row = list->list()->rowOfSlot(slot);
        if (row < 0)
            continue;
        const bool suspended = app.state.ExpertListRows.cell(row, 0).toString() == expert;
        QLabel *status = list->list()->controls().lab[6][slot];
        EXPECT_EQ(TextColor(status) == kSuspendedOrange, suspended) << slot;
        orange += suspended;
    }
    EXPECT_EQ(orange, 1);

    // Lifted, the mark goes.
    host.openScreen(ScreenId::ExpertListViewProjects, {.expertId = expert});
    app.messages->answers.enqueue(true);
    click(projects, "cmdLift");
    EXPECT_TRUE(host.find<QLabel>(projects, "labSuspension")->text().isEmpty());
    EXPECT_TRUE(SuspendedExperts(app.state.store, kNow.date()).value().isEmpty());
}

TEST_F(CreditScreens, OnlyAnAdministratorSuspends)
{
    app.state.session.CurrentUserRole = 1;
    const QString id = storeProject(3);
    host.openScreen(ScreenId::ExpertListViewProjects, {.expertId = project(id).expert(1)->id()});
    EXPECT_FALSE(host.find<QPushButton>("frmExpertProjects", "cmdSuspend")->isVisible());
    EXPECT_FALSE(host.find<QPushButton>("frmExpertProjects", "cmdLift")->isVisible());
    EXPECT_TRUE(host.find<QPushButton>("frmExpertProjects", "cmdExportRecord")->isVisible());
}

}   // namespace
