// Storing draws as projects beside sel_expert.

#include "TestApp.h"
#include "TestFiles.h"
#include "admin/DataMaintenance.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Projects.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/ExpertRecord.h"
#include "data/PersonalData.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

const QStringList kProjectTables{"draw_project", "draw_round", "draw_expert", "draw_attendance", "draw_substitute"};
const QDateTime kNow(QDate(2026, 12, 9), QTime(14, 30, 5));

class DrawStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *name : {"甲", "乙", "丙", "丁"})
            ids << app.addExpert(QString::fromUtf8(name), "启用", "正式", "03");
    }

    // The draw-list row of expert i, as the draw screen copies it.
    QStringList row(int i) const
    {
        const QStringList e = app.state.store.ExpertTable.row(i);
        using namespace Schema;
        return {e[E_Id],        e[E_Name],  e[E_Sex], e[E_birth_date], e[E_Company_name], e[E_cong_shi_zhuanye],
                e[E_zige_name], e[E_Mobile]};
    }

    // Two rounds: a manual one confirming experts 0 and 1 out of 0..2, a
    // random one drawing expert 2.
    // A trigger that refuses the sel_expert record of this expert.
    static QString refuseInsertOf(const QString &expertId)
    {
        return QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON sel_expert WHEN NEW.Expert_Id = '%1' "
                              "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END")
            .arg(expertId);
    }

    void drawTwoRounds()
    {
        DrawRound manual;
        manual.type = RoundType::Manual;
        manual.candidateIds = {ids[0], ids[1], ids[2]};
        manual.confirmedIds = {ids[0], ids[1]};
        manual.drawnAt = kNow;
        DrawRound random;
        random.type = RoundType::Random;
        random.candidateIds = {ids[0], ids[1], ids[2], ids[3]};
        random.seed = 99;
        random.requested = 1;
        random.picks = {2};
        random.confirmedIds = {ids[2]};
        random.drawnAt = kNow;
        session.rounds = {manual, random};
        drawList.clear();
        for (int i = 0; i < 3; ++i)
            drawList.append(row(i));
    }

    int count(const QString &table, const QString &where = QString())
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare(QStringLiteral("SELECT count(*) FROM %1 %2").arg(table, where));
        st.step();
        return st.text(0).toInt();
    }

    TestApp app;
    QStringList ids;
    TextTable drawList;
    DrawSession session;
    ProjectFacts facts{"体育中心评标", "ZB-2026-01", "市体育局", "2026-12-10 09:00", "三楼会议室", "王监督", "无"};
};

TEST_F(DrawStoreTest, StoresTheProjectItsRoundsAndEachExpertWithALinkToSelExpert)
{
    drawTwoRounds();
    const StoredDraw stored = StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow);
    EXPECT_TRUE(stored.newProject);
    EXPECT_EQ(stored.projectId, "000001");
    EXPECT_EQ(stored.rowsAdded, 3);
    EXPECT_EQ(session.projectId, "000001");
    EXPECT_EQ(session.storedRounds, 2);
    EXPECT_EQ(session.storedIds, (QStringList{ids[0], ids[1], ids[2]}));

    // sel_expert exactly as before projects were kept.
    LoadSelections(app.state.store);
    ASSERT_EQ(app.state.store.SelectionTable.count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(app.state.store.SelectionTable.row(i),
                  (QStringList{QStringLiteral("00000%1").arg(i + 1), "2026-12-09", ids[i]}));

    const std::optional<ProjectDetail> p = LoadProject(app.state.store, stored.projectId);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->facts.name, facts.name);
    EXPECT_EQ(p->facts.supervisor, "王监督");
    EXPECT_EQ(p->operatorName, "admin");
    EXPECT_EQ(p->createdDate, "2026-12-09");
    EXPECT_EQ(p->createdTime, "14:30:05");
    ASSERT_EQ(p->rounds.size(), 2);
    EXPECT_EQ(p->rounds[1].type, RoundType::Random);
    EXPECT_EQ(p->rounds[1].seed, std::optional<quint64>(99));
    EXPECT_EQ(p->rounds[1].candidateIds, session.rounds[1].candidateIds);
    EXPECT_EQ(p->rounds[1].storedHash, CandidateHash(session.rounds[1].candidateIds));
    EXPECT_TRUE(p->rounds[1].damage.isEmpty());
    ASSERT_EQ(p->experts.size(), 3);
    const int rounds[] = {1, 1, 2};
    for (int i = 0; i < 3; ++i) {
        const ProjectExpert &e = p->experts[i];
        EXPECT_EQ(e.seq, i + 1);
        EXPECT_EQ(e.round, rounds[i]);
        EXPECT_EQ(e.row, row(i));
        EXPECT_EQ(e.title, "中级");   // title level 03
        EXPECT_EQ(e.selId, app.state.store.SelectionTable.cell(i, 0));
        EXPECT_EQ(e.selDate, "2026-12-09");
        EXPECT_EQ(e.attendance, Attendance::NotContacted);
    }

    const TextTable list = LoadProjectList(app.state.store);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.row(0),
              (QStringList{"000001", "2026-12-09 14:30:05", facts.name, facts.code, "2", "3", "admin", "2026-12-09"}));
}

TEST_F(DrawStoreTest, ASecondStoreAddsOnlyWhatIsNewToTheSameProject)
{
    drawTwoRounds();
    StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow);
    LoadSelections(app.state.store);

    // A temporary expert joins the stored list.
    drawList.append(row(3));
    session.rounds.append(TemporaryRound(row(3), kNow.addSecs(60)));
    const StoredDraw again =
        StoreDrawProject(app.state.store, drawList, session, ProjectFacts{"另一个名字"}, "manager", kNow.addSecs(60));
    EXPECT_FALSE(again.newProject);
    EXPECT_EQ(again.projectId, "000001");
    EXPECT_EQ(again.rowsAdded, 1);
    EXPECT_EQ(count("draw_project"), 1);
    EXPECT_EQ(count("sel_expert"), 4);
    const std::optional<ProjectDetail> p = LoadProject(app.state.store, "000001");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->facts.name, facts.name);
    ASSERT_EQ(p->rounds.size(), 3);
    EXPECT_EQ(p->rounds[2].type, RoundType::Temporary);
    ASSERT_EQ(p->experts.size(), 4);
    EXPECT_EQ(p->experts[3].id(), ids[3]);
    EXPECT_EQ(p->experts[3].round, 3);
    EXPECT_EQ(p->experts[3].selId, "000004");

    // Nothing new: nothing is written at all.
    LoadSelections(app.state.store);
    const QByteArray before = ReadAll(app.dataFile());
    const StoredDraw nothing = StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow);
    EXPECT_EQ(nothing.rowsAdded, 0);
    EXPECT_EQ(ReadAll(app.dataFile()), before);

    // A new session is a new project.
    DrawSession next;
    next.rounds.append(TemporaryRound(row(0), kNow));
    TextTable one;
    one.append(row(0));
    EXPECT_EQ(StoreDrawProject(app.state.store, one, next, ProjectFacts{"第二个项目"}, "admin", kNow).projectId,
              "000002");
}

TEST_F(DrawStoreTest, AFailedStoreLeavesNoHalfProjectAndTheSessionUnchanged)
{
    // The second record of the draw is refused, as a failing disk would.
    OpenDataFile(app.state.store).exec(refuseInsertOf(ids[1]));
    drawTwoRounds();
    const QByteArray before = ReadAll(app.dataFile());
    const DrawSession sessionBefore = session;
    EXPECT_THROW(StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow), DbError);
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    for (const QString &t : kProjectTables)
        EXPECT_EQ(count(t), 0) << t.toStdString();
    EXPECT_EQ(session.projectId, sessionBefore.projectId);
    EXPECT_EQ(session.storedRounds, 0);
    EXPECT_TRUE(session.storedIds.isEmpty());
}

// Another program stored records since this one loaded its table, and the
// numbers have passed a million (where text order puts "999999" last).
TEST_F(DrawStoreTest, RecordNumbersFollowTheHighestInTheFileNotTheCache)
{
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("INSERT INTO sel_expert VALUES ('999999', '2020-01-01', 'other')");
        conn.exec("INSERT INTO sel_expert VALUES ('1000000', '2020-01-01', 'other')");
    }
    app.state.store.SelectionTable.clear();
    drawTwoRounds();
    const QString projectId = StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow).projectId;
    SubstituteRound substitute;
    substitute.round.type = RoundType::Substitute;
    substitute.round.drawnAt = kNow;
    substitute.picks = {SubstitutePick{1, row(3)}};
    QList<SubstituteRound> rounds{substitute};
    ASSERT_TRUE(StoreSubstituteRounds(app.state.store, projectId, rounds).ok());

    QStringList numbers;
    Connection conn = OpenDataFile(app.state.store);
    Statement st = conn.prepare("SELECT Id FROM sel_expert WHERE Expert_Id <> 'other' ORDER BY CAST(Id AS INTEGER)");
    while (st.step())
        numbers << st.text(0);
    EXPECT_EQ(numbers, (QStringList{"1000001", "1000002", "1000003", "1000004"}));
}

TEST_F(DrawStoreTest, AFileWithoutProjectTablesGainsThemAndKeepsWorking)
{
    app.addSelection("2020-01-01", ids[0]);
    {
        Connection conn = OpenDataFile(app.state.store);
        for (const QString &t : kProjectTables)
            conn.exec("DROP TABLE " + t);
        EXPECT_FALSE(HasProjectTables(conn));
    }
    // Reading an old file finds no projects; nothing fails.
    EXPECT_TRUE(LoadProjectList(app.state.store).isEmpty());
    EXPECT_FALSE(LoadProject(app.state.store, "000001"));
    EXPECT_TRUE(ProjectsOfExpert(app.state.store, ids[0]).isEmpty());

    // The start adds them and leaves the old data alone.
    EnsureDataFile(app.dataFile());
    {
        Connection conn = OpenDataFile(app.state.store);
        EXPECT_TRUE(HasProjectTables(conn));
        EXPECT_TRUE(CheckSchema(conn).ok());
    }
    EXPECT_EQ(count("sel_expert"), 1);
    EXPECT_EQ(count("expert_msg"), 4);

    // A store into a file restored from an old backup makes them itself.
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("DROP TABLE draw_round");
    }
    drawTwoRounds();
    EXPECT_EQ(StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow).rowsAdded, 3);
    EXPECT_EQ(count("draw_round"), 2);
}

TEST_F(DrawStoreTest, AttendanceKeepsEveryChangeAndShowsTheLast)
{
    drawTwoRounds();
    StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow);
    ASSERT_TRUE(
        SetAttendance(app.state.store, "000001", 2, Attendance::Confirmed, "忽略", "admin", kNow.addSecs(10)).value());
    ASSERT_TRUE(
        SetAttendance(app.state.store, "000001", 2, Attendance::Declined, " 出差 ", "admin", kNow.addSecs(20)).value());
    EXPECT_FALSE(SetAttendance(app.state.store, "000001", 9, Attendance::Declined, "", "admin", kNow).value());
    EXPECT_FALSE(SetAttendance(app.state.store, "000002", 1, Attendance::Declined, "", "admin", kNow).value());
    EXPECT_EQ(count("draw_attendance"), 2);

    const std::optional<ProjectDetail> p = LoadProject(app.state.store, "000001");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->experts[0].attendance, Attendance::NotContacted);
    EXPECT_EQ(p->experts[1].attendance, Attendance::Declined);
    EXPECT_EQ(p->experts[1].reason, "出差");
    EXPECT_EQ(p->experts[1].attendanceTime, "2026-12-09 14:30:25");

    const TextTable mine = ProjectsOfExpert(app.state.store, ids[1]);
    ASSERT_EQ(mine.count(), 1);
    EXPECT_EQ(mine.row(0), (QStringList{"000001", "2026-12-09 14:30:05", facts.name, facts.code, RoundType::Manual,
                                        Attendance::Declined, "admin"}));
}

TEST_F(DrawStoreTest, DeletingAnExpertKeepsTheSnapshotAndMarksTheLink)
{
    drawTwoRounds();
    StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow);
    ASSERT_TRUE(DeleteExpertsWithSelections(app.state.store, {ids[1]}, QDate(2027, 1, 2)).value().deleted);
    EXPECT_EQ(count("sel_expert"), 2);
    const std::optional<ProjectDetail> p = LoadProject(app.state.store, "000001");
    ASSERT_TRUE(p);
    ASSERT_EQ(p->experts.size(), 3);
    EXPECT_EQ(p->experts[1].name(), "乙");
    EXPECT_EQ(p->experts[1].linkRemoved, "2027-01-02");
    EXPECT_EQ(p->experts[0].linkRemoved, "");
    EXPECT_EQ(ProjectsOfExpert(app.state.store, ids[1]).count(), 1);
}

TEST_F(DrawStoreTest, InitialisingTheDatabaseEmptiesTheProjects)
{
    drawTwoRounds();
    StoreDrawProject(app.state.store, drawList, session, facts, "admin", kNow);
    SetAttendance(app.state.store, "000001", 1, Attendance::Confirmed, "", "admin", kNow).value();
    ASSERT_TRUE(InitialiseDatabase(app.maintenanceTarget()).ok());
    for (const QString &t : kProjectTables)
        EXPECT_EQ(count(t), 0) << t.toStdString();
}

TEST(ProjectList, FiltersByDateRangeAndName)
{
    TextTable all;
    all.append({"000001", "2026-01-05 09:00:00", "体育中心评标", "A", "1", "3", "admin", "2026-01-05"});
    all.append({"000002", "2026-02-01 10:00:00", "地铁三号线", "B", "2", "5", "admin", "2026-02-01"});
    all.append({"000003", "2026-03-01 11:00:00", "体育馆改造", "C", "1", "2", "admin", "2026-03-01"});
    struct Case {
        QString from, to, name;
        QStringList ids;
    };
    const Case cases[] = {
        {"", "", "", {"000001", "000002", "000003"}}, {"2026-02-01", "2026-02-01", "", {"000002"}},
        {"2026-01-06", "", "", {"000002", "000003"}}, {"", "", "体育", {"000001", "000003"}},
        {"", "2026-02-28", "体育", {"000001"}},       {"", "", "体育?心", {"000001"}},
        {"2026-03-01", "2026-01-01", "", {}},
    };
    for (const Case &c : cases) {
        const TextTable t = FilterProjects(all, c.from, c.to, c.name);
        QStringList got;
        for (qsizetype r = 0; r < t.count(); ++r)
            got << t.cell(r, P_Id).toString();
        EXPECT_EQ(got, c.ids) << c.from.toStdString() << " " << c.to.toStdString() << " " << c.name.toStdString();
    }
}

}   // namespace

namespace {

// Several stores can be grouped into one transaction (the demo file does):
// each is a savepoint of it, and a failed one takes back only itself.
TEST_F(DrawStoreTest, StoresGroupedInOneTransactionFailAlone)
{
    drawTwoRounds();
    Connection conn = OpenDataFile(app.state.store);
    {
        Transaction all(conn);
        StoreDrawProject(conn, app.state.store, drawList, session, facts, "admin", kNow);
        // The next project's second record is refused, as a failing disk would.
        conn.exec(refuseInsertOf(ids[1]));
        DrawSession second;
        second.rounds = session.rounds;
        TextTable two;
        two.append(row(0));
        two.append(row(1));
        EXPECT_THROW(StoreDrawProject(conn, app.state.store, two, second, ProjectFacts{"第二个"}, "admin", kNow),
                     DbError);
        EXPECT_FALSE(second.isStored());
        conn.exec("DROP TRIGGER refuse");
        all.commit();
    }
    conn.close();
    EXPECT_EQ(count("draw_project"), 1);
    EXPECT_EQ(count("draw_expert"), 3);
    EXPECT_EQ(count("sel_expert"), 3);

    // An outer transaction that is not committed takes everything back.
    {
        Connection again = OpenDataFile(app.state.store);
        Transaction all(again);
        DrawSession third;
        third.rounds.append(TemporaryRound(row(3), kNow));
        TextTable one;
        one.append(row(3));
        app.state.store.SelectionTable = ReadTable(again, Schema::SelExpert());
        StoreDrawProject(again, app.state.store, one, third, ProjectFacts{"第三个"}, "admin", kNow);
    }
    EXPECT_EQ(count("draw_project"), 1);
    EXPECT_EQ(count("sel_expert"), 3);
}

}   // namespace

TEST_F(DrawStoreTest, AListShownMaskedIsStoredWithTheLibrarysNumbers)
{
    drawTwoRounds();
    const QString real = drawList.cell(0, 7).toString();
    MaskRows(drawList, kDrawRowColumns);
    ASSERT_NE(drawList.cell(0, 7), real);
    const StoredDraw stored = StoreDrawProject(app.state.store, drawList, session, facts, "manager", kNow);
    const std::optional<ProjectDetail> p = LoadProject(app.state.store, stored.projectId);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->experts.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p->experts[i].row, row(i));
        // The record's seal is over the numbers stored, not the masks.
        EXPECT_EQ(p->experts[i].snapshotHash, SnapshotHash(row(i), p->experts[i].title));
    }
}
