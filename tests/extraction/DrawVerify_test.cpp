// Verifying stored draws: a draw made and stored by the program passes; a
// changed pick, seed, candidate list, link or snapshot fails; editing or
// deleting experts afterwards does not matter.

#include "TestApp.h"
#include "data/Database.h"
#include "data/DrawVerify.h"
#include "data/Schema.h"
#include "data/SeededDraw.h"
#include "extraction/ProjectDraws.h"
#include "data/ExpertRecord.h"

#include <QCoreApplication>
#include <algorithm>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(9, 15, 0));
const QStringList kCompanies{"北京建工集团", "上海建工集团", "中铁十二局", "华东院"};

// A library of twenty experts and a project drawn from it the way the draw
// screen does: a random round, a rolling round, a manual round and a
// temporary expert, then one decline replaced by a substitute round.
class VerifiedProject {
public:
    VerifiedProject()
    {
        for (int i = 0; i < 20; ++i) {
            QStringList fields(28, QStringLiteral(" "));
            fields[0] = QStringLiteral("专家%1").arg(i + 1);
            fields[1] = QStringLiteral("启用");
            fields[2] = QStringLiteral("正式");
            fields[4] = QStringLiteral("男");
            fields[12] = kCompanies[i % kCompanies.size()];
            fields[14] = QStringLiteral("03");
            ids << app.addExpert(fields);
        }
        app.random->seeds.append({20261209, 77});
        draw();
        store();
    }

    void draw()
    {
        DataStore &store = app.state.store;
        AvoidanceRules avoid{{QStringLiteral("华东院")}, {}, {}, 0};
        SelectionCriteria all{};

        // Random: three of the candidates.
        TextTable candidates;
        const KeptOut removed = BuildCandidates(store, all, avoid, kNow.date(), candidates).value();
        DrawRound random = NewRound(RoundType::Random, all, store.TitleTypeTable, avoid, removed, candidates, kNow);
        const TextTable picked = SeededPick(random, candidates, 3, *app.random);
        for (qsizetype r = 0; r < picked.count(); ++r) {
            random.confirmedIds << picked.cell(r, 0).toString();
            drawList.appendRowOf(picked, r);
        }
        session.rounds << random;

        // Rolling: the roll stopped on the sixth candidate.
        DrawRound rolling = NewRound(RoundType::Rolling, all, store.TitleTypeTable, {}, {}, candidates, kNow);
        rolling.rolledId = candidates.cell(5, 0).toString();
        rolling.confirmedIds << rolling.rolledId;
        if (!drawList.toLists().contains(candidates.row(5)))
            drawList.appendRowOf(candidates, 5);
        session.rounds << rolling;

        // Manual: the first candidate ticked.
        DrawRound manual = NewRound(RoundType::Manual, all, store.TitleTypeTable, {}, {}, candidates, kNow);
        manual.confirmedIds << candidates.cell(0, 0).toString();
        if (!drawList.toLists().contains(candidates.row(0)))
            drawList.appendRowOf(candidates, 0);
        session.rounds << manual;

        // A temporary expert.
        QStringList temp(28, QStringLiteral(" "));
        temp[0] = QStringLiteral("临时专家");
        temp[1] = QStringLiteral("启用");
        temp[2] = QStringLiteral("临时");
        const QString tempId = app.addExpert(temp);
        const QStringList tempRow{tempId, QStringLiteral("临时专家"), " ", " ", " ", " ", " ", " "};
        drawList.append(tempRow);
        session.rounds << TemporaryRound(tempRow, kNow);
    }

    void store()
    {
        projectId =
            StoreDrawProject(app.state.store, drawList, session, ProjectFacts{"体育中心评标"}, "admin", kNow).projectId;
        LoadSelections(app.state.store);
        // The first expert declines and is replaced.
        ASSERT_TRUE(SetAttendance(app.state.store, projectId, 1, Attendance::Declined, "出差", "admin", kNow).value());
        const std::optional<ProjectDetail> p = LoadProject(app.state.store, projectId);
        ASSERT_TRUE(p);
        QList<SubstituteRound> subs = DrawSubstitutes(app.state.store, *p, *app.random, kNow.addDays(1));
        ASSERT_EQ(subs.size(), 1);
        ASSERT_TRUE(StoreSubstituteRounds(app.state.store, projectId, subs).ok());
        LoadSelections(app.state.store);
    }

    ProjectDetail project()
    {
        std::optional<ProjectDetail> p = LoadProject(app.state.store, projectId);
        EXPECT_TRUE(p);
        return p.value_or(ProjectDetail{});
    }

    FileVerification verify()
    {
        Connection conn = OpenDataFile(app.state.store);
        return VerifyDataFile(conn);
    }

    void exec(const QString &sql)
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec(sql);
    }

    void setBlob(const QString &sql, const QByteArray &blob)
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare(sql);
        st.bindBlob(1, blob);
        st.step();
    }

    TestApp app;
    QStringList ids;
    TextTable drawList;
    DrawSession session;
    QString projectId;
};

TEST(DrawVerification, ADrawStoredByTheProgramPasses)
{
    VerifiedProject f;
    const ProjectDetail p = f.project();
    ASSERT_EQ(p.rounds.size(), 5);
    EXPECT_EQ(p.rounds[4].type, RoundType::Substitute);
    EXPECT_EQ(p.rounds[4].drawnAt.date(), kNow.date().addDays(1));
    ASSERT_EQ(p.experts.size(), 7);
    EXPECT_EQ(p.experts[6].replacesSeq, 1);
    // The avoided unit never became a candidate.
    for (const QString &id : p.rounds[0].candidateIds)
        EXPECT_NE(f.app.state.store.ExpertTable.cell(id.toInt() - 1, Schema::E_Company_name).toString(), "华东院");

    const FileVerification v = f.verify();
    ASSERT_EQ(v.projects.size(), 1);
    EXPECT_TRUE(v.ok()) << v.projects[0].line().toStdString();
    EXPECT_EQ(v.projects[0].seededRounds, 2);
    EXPECT_EQ(v.unlinkedSelections, 0);
    EXPECT_TRUE(v.projects[0].line().contains("通过"));
}

// A row deleted on the result screen before the store leaves the panel but
// stays among what its round confirmed: the trail's deletion accounts for it,
// and nothing else does.
TEST(DrawVerification, AConfirmedExpertDeletedBeforeTheStoreNeedsTheTrailsDeletion)
{
    VerifiedProject f;
    ProjectDetail p = f.project();
    const QString gone = p.rounds[0].confirmedIds.value(1);
    ASSERT_FALSE(gone.isEmpty());
    p.experts.erase(
        std::remove_if(p.experts.begin(), p.experts.end(), [&](const ProjectExpert &e) { return e.id() == gone; }),
        p.experts.end());
    Connection conn = OpenDataFile(f.app.state.store);
    const SelectionIndex selections = ReadSelections(conn);
    const auto saysNoRecord = [&](const ProjectVerification &v) {
        return v.problems.join("\n").contains(QStringLiteral("确认的专家%1没有抽取记录").arg(gone));
    };
    EXPECT_TRUE(saysNoRecord(VerifyProject(p, selections)));

    DrawEvent removed;
    removed.kind = DrawEventKind::Remove;
    removed.expertIds << gone;
    p.trail << removed;
    EXPECT_FALSE(saysNoRecord(VerifyProject(p, selections)));
    // Another expert's deletion does not account for it.
    p.trail.last().expertIds = QStringList{QStringLiteral("999999")};
    EXPECT_TRUE(saysNoRecord(VerifyProject(p, selections)));
}

struct Change {
    const char *name;
    std::function<void(VerifiedProject &, const ProjectDetail &)> apply;
    bool passes;
    const char *problem;   // a part of the reported problem when it fails
};

void PrintTo(const Change &c, std::ostream *os) { *os << c.name; }

class DrawVerificationAfter : public ::testing::TestWithParam<Change> {};

TEST_P(DrawVerificationAfter, Change)
{
    VerifiedProject f;
    const ProjectDetail p = f.project();
    GetParam().apply(f, p);
    const FileVerification v = f.verify();
    ASSERT_EQ(v.projects.size(), 1);
    const ProjectVerification &result = v.projects[0];
    EXPECT_EQ(result.ok(), GetParam().passes) << result.line().toStdString();
    EXPECT_EQ(v.ok(), GetParam().passes);
    if (!GetParam().passes) {
        EXPECT_TRUE(result.line().contains(QString::fromUtf8(GetParam().problem))) << result.line().toStdString();
        EXPECT_TRUE(result.line().contains(p.id));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, DrawVerificationAfter,
    ::testing::Values(
        // A manual round given a seed and picks, as if it had been random.
        Change{"ManualRoundGivenASeed",
               [](VerifiedProject &f, const ProjectDetail &) {
                   f.exec("UPDATE draw_round SET Seed = '5', Picks = '0' WHERE Round_type = '手工抽取'");
               },
               false, "却记有随机种子或抽取结果"},
        // A confirmation added to a round without the expert being drawn.
        Change{"ConfirmedWithoutADrawRecord",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   const DrawRound &manual = *std::find_if(p.rounds.begin(), p.rounds.end(), [](const DrawRound &r) {
                       return r.type == RoundType::Manual;
                   });
                   f.exec(QStringLiteral("UPDATE draw_round SET Confirmed = '%1' WHERE Round_no = %2")
                              .arg((manual.confirmedIds + QStringList{"999999"}).join('\n'))
                              .arg(manual.number));
               },
               false, "没有抽取记录"},
        // A later round that draws an expert already on the list again keeps
        // the earlier row (the draw list holds each expert once): no fault.
        Change{"AnExpertDrawnAgainByALaterRound",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   f.exec(QStringLiteral("UPDATE draw_round SET Confirmed = '%1' WHERE Round_no = 3")
                              .arg((p.rounds[2].confirmedIds + QStringList{p.rounds[0].confirmedIds[0]}).join('\n')));
               },
               true, ""},
        // An earlier round cannot confirm an expert first drawn later.
        Change{"ConfirmedBeforeBeingDrawn",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   f.exec(QStringLiteral("UPDATE draw_round SET Confirmed = '%1' WHERE Round_no = 2")
                              .arg((p.rounds[1].confirmedIds + QStringList{p.rounds[2].confirmedIds[0]}).join('\n')));
               },
               false, "没有抽取记录"},
        // The decline that the substitute answered is taken back out of the record.
        Change{"SubstituteForAnExpertWhoNeverDeclined",
               [](VerifiedProject &f, const ProjectDetail &) { f.exec("DELETE FROM draw_attendance WHERE Seq = 1"); },
               false, "从未拒绝出席"},
        Change{"PickChanged",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   QVector<qsizetype> picks = p.rounds[0].picks;
                   std::swap(picks[0], picks[1]);
                   f.exec(
                       QStringLiteral("UPDATE draw_round SET Picks = '%1' WHERE Round_no = 1").arg(PicksText(picks)));
               },
               false, "按随机种子重新抽取的结果与记录不符"},
        Change{
            "SeedChanged",
            [](VerifiedProject &f, const ProjectDetail &p) {
                f.exec(
                    QStringLiteral("UPDATE draw_round SET Seed = '%1' WHERE Round_no = 1").arg(*p.rounds[0].seed + 1));
            },
            false, "按随机种子重新抽取的结果与记录不符"},
        Change{"CandidateListChanged",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   QStringList ids = p.rounds[0].candidateIds;
                   ids.removeLast();
                   f.setBlob("UPDATE draw_round SET Candidates = ? WHERE Round_no = 1", PackCandidates(ids));
               },
               false, "候选"},
        // Reordering the list and writing a matching hash still shows: the
        // seed then picks other experts than the ones recorded.
        Change{"CandidateListAndHashChanged",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   const DrawRound &r = p.rounds[0];
                   QStringList ids = r.candidateIds;
                   qsizetype other = 0;
                   while (r.picks.contains(other))
                       ++other;
                   ids.swapItemsAt(r.picks[0], other);
                   f.setBlob("UPDATE draw_round SET Candidates = ? WHERE Round_no = 1", PackCandidates(ids));
                   f.exec(QStringLiteral("UPDATE draw_round SET Candidate_hash = '%1' WHERE Round_no = 1")
                              .arg(CandidateHash(ids)));
               },
               false, "不在本轮的抽取结果中"},
        Change{"LinkChanged",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   f.exec(QStringLiteral("UPDATE sel_expert SET Expert_Id = '%1' WHERE Id = '%2'")
                              .arg(p.experts[2].id(), p.experts[1].selId));
               },
               false, "现在记的是专家"},
        Change{"SelectionDeletedByHand",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   f.exec(QStringLiteral("DELETE FROM sel_expert WHERE Id = '%1'").arg(p.experts[1].selId));
               },
               false, "已不存在"},
        Change{"SnapshotChanged",
               [](VerifiedProject &f, const ProjectDetail &) {
                   f.exec("UPDATE draw_expert SET Company_name = '别的单位' WHERE Seq = 2");
               },
               false, "抽取时信息已被改动"},
        Change{"ConfirmationChanged",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   f.exec(QStringLiteral("UPDATE draw_round SET Confirmed = '%1' WHERE Round_no = 3")
                              .arg(p.rounds[2].candidateIds.last()));
               },
               false, "不是第3轮确认的专家"},
        Change{"RoundRemoved",
               [](VerifiedProject &f, const ProjectDetail &) { f.exec("DELETE FROM draw_round WHERE Round_no = 2"); },
               false, "缺少第2轮"},
        Change{"ExpertsEdited",
               [](VerifiedProject &f, const ProjectDetail &) {
                   f.exec("UPDATE expert_msg SET Name = '改名', Company_name = '新单位', Status = '停用'");
               },
               true, ""},
        Change{"ExpertsDeletedByTheProgram",
               [](VerifiedProject &f, const ProjectDetail &p) {
                   ASSERT_TRUE(DeleteExpertsWithSelections(f.app.state.store, {p.experts[0].id(), p.experts[6].id()},
                                                           QDate(2027, 1, 1))
                                   .value()
                                   .deleted);
               },
               true, ""},
        Change{"SelectionWithoutProjectAdded",
               [](VerifiedProject &f, const ProjectDetail &p) { f.app.addSelection("2026-12-20", p.experts[0].id()); },
               true, ""}),
    [](const ::testing::TestParamInfo<Change> &info) { return std::string(info.param.name); });

TEST(DrawVerification, SameSeedSameCandidatesSamePicks)
{
    TextTable candidates;
    for (int i = 0; i < 500; ++i)
        candidates.append({QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0'))});
    ScriptedRandom a, b;
    a.seeds.append(424242);
    b.seeds.append(424242);
    DrawRound ra, rb;
    const TextTable pa = SeededPick(ra, candidates, 12, a);
    const TextTable pb = SeededPick(rb, candidates, 12, b);
    EXPECT_EQ(pa.toLists(), pb.toLists());
    EXPECT_EQ(ra.picks, rb.picks);
    EXPECT_EQ(ra.seed, std::optional<quint64>(424242));
    EXPECT_EQ(ra.picks, SeededDraw(500, 12, 424242));
    // Asking for every candidate lists them all and draws nothing.
    DrawRound all;
    EXPECT_EQ(SeededPick(all, candidates, 500, a).toLists(), candidates.toLists());
    EXPECT_FALSE(all.seed);
    EXPECT_TRUE(all.picks.isEmpty());
}

// Libraries made the way the program makes them verify clean, whatever the
// draws happened to do: a small pool draws the same experts again in later
// rounds, declines and substitutes come and go.
TEST(VerifyTool, DemoLibrariesOfManySeedsPass)
{
    const QString bin = QCoreApplication::applicationDirPath() + "/..";
    const QString demo = bin + "/kestrune-demo-db", verify = bin + "/kestrune-verify";
    if (!QFileInfo::exists(demo) || !QFileInfo::exists(verify))
        GTEST_SKIP() << "kestrune-demo-db and kestrune-verify are not built";
    QTemporaryDir dir;
    for (int seed = 1; seed <= 12; ++seed) {
        const QString file = dir.filePath(QStringLiteral("demo%1.mdb").arg(seed));
        QProcess p;
        p.start(demo, {"--experts", "40", "--projects", "3", "--seed", QString::number(seed), "--out", file});
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        p.start(verify, {file});
        ASSERT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << "seed " << seed << "\n" << p.readAllStandardOutput().toStdString();
    }
}

// The command-line tool on a demo file: exit 0, then non-zero naming the
// project once sel_expert is changed behind the program's back.
TEST(VerifyTool, PassesOnADemoFileAndFailsAfterSelExpertIsChanged)
{
    const QString bin = QCoreApplication::applicationDirPath() + "/..";
    const QString demo = bin + "/kestrune-demo-db", verify = bin + "/kestrune-verify";
    if (!QFileInfo::exists(demo) || !QFileInfo::exists(verify))
        GTEST_SKIP() << "kestrune-demo-db and kestrune-verify are not built";
    QTemporaryDir dir;
    const QString file = dir.filePath("demo.mdb");
    QProcess p;
    p.start(demo, {"--experts", "300", "--selections", "50", "--projects", "4", "--seed", "3", "--out", file});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    p.start(verify, {file});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    EXPECT_EQ(out.count("通过（"), 4) << out.toStdString();
    EXPECT_TRUE(out.contains("共4个项目：4个通过，0个未通过。")) << out.toStdString();

    QString selId, projectId;
    {
        Connection conn = Connection::open(file);
        Statement st = conn.prepare("SELECT Sel_Id, Project_Id FROM draw_expert ORDER BY Project_Id DESC, Seq LIMIT 1");
        ASSERT_TRUE(st.step());
        selId = st.text(0);
        projectId = st.text(1);
        Statement upd =
            conn.prepare("UPDATE sel_expert SET Expert_Id = '000001' WHERE Id = ? AND Expert_Id <> '000001'");
        upd.bind(1, selId);
        upd.step();
        Statement other =
            conn.prepare("UPDATE sel_expert SET Expert_Id = '000002' WHERE Id = ? AND Expert_Id = '000001'");
        other.bind(1, selId);
        other.step();
    }
    p.start(verify, {file});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString failed = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 1) << failed.toStdString();
    EXPECT_TRUE(failed.contains(QStringLiteral("项目 %1").arg(projectId))) << failed.toStdString();
    EXPECT_TRUE(failed.contains("未通过")) << failed.toStdString();

    p.start(verify, {dir.filePath("missing.mdb")});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 2);
}

}   // namespace

// Files that are no library the tool can check: each gets a sentence in
// Chinese and exit code 2, the engine's words at most as details.
TEST(VerifyTool, FilesThatAreNoLibraryAreToldInChinese)
{
    const QString verify = QCoreApplication::applicationDirPath() + "/../kestrune-verify";
    if (!QFileInfo::exists(verify))
        GTEST_SKIP() << "kestrune-verify is not built";
    QTemporaryDir dir;
    // Opens with the program's key, but holds another program's table.
    const QString foreign = dir.filePath("foreign.mdb");
    {
        Connection conn = Connection::create(foreign);
        conn.exec("CREATE TABLE kunden (id INTEGER, name TEXT)");
        conn.close();
    }
    // A library whose expert table lost a field.
    const QString changed = dir.filePath("changed.mdb");
    {
        TestApp app;
        app.addExpert("张三");
        ASSERT_TRUE(QFile::copy(app.dataFile(), changed));
        Connection conn = Connection::open(changed);
        conn.exec("ALTER TABLE expert_msg RENAME TO expert_old");
        conn.exec("CREATE TABLE expert_msg (Id TEXT)");
        conn.close();
    }
    QDir(dir.path()).mkdir("folder.mdb");
    struct Case {
        QStringList args;
        const char *expected;
    };
    const Case cases[] = {
        {{foreign}, "不是本软件的专家库文件"},
        {{changed}, "不是本软件的专家库文件"},
        {{"--record", "KESTRUNE-RECORD 1", foreign}, "不是本软件的专家库文件"},
        {{dir.filePath("folder.mdb")}, "不是文件"},
        {{dir.filePath("missing.mdb")}, "找不到文件"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess p;
        p.start(verify, c.args);
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 2) << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.expected))) << err.toStdString();
        EXPECT_FALSE(err.contains("no such table")) << err.toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
}
