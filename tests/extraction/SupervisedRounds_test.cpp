// Supervised rounds end to end: the draw screen asks the supervisor through
// its dialog and keeps the seed; the stored round verifies; substitutes come
// from the reserve in order, passing over the unavailable with a reason; the
// candidate-list export carries what a separate program needs.

#include "TestApp.h"
#include "data/Database.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/ExpertRecord.h"
#include "data/LibrarySettings.h"
#include "data/Schema.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmNewProSelExpert.h"
#include "extraction/frmSupervisedDraw.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#ifndef KESTRUNE_TEST_FILES
#define KESTRUNE_TEST_FILES ""
#endif

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(9, 30, 0));

QByteArray Bytes(char fill)
{
    QByteArray b(32, fill);
    b[0] = 'K';
    return b;
}

// Answers the supervised dialog with the given numbers; records what it showed.
FakeDialogs::Handler Supervisor(const QString &number, const QString &again, QString *shownCommitment = nullptr,
                                const QString &publicNumber = {})
{
    return [=](QDialog &d) {
        if (shownCommitment)
            *shownCommitment = d.findChild<QLabel *>("labCommitment")->text();
        d.findChild<QLineEdit *>("txtNumber")->setText(number);
        d.findChild<QLineEdit *>("txtNumberAgain")->setText(again);
        d.findChild<QLineEdit *>("txtPublic")->setText(publicNumber);
        return FakeDialogs::Press(d, "cmdOK");
    };
}

class SupervisedRounds : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 12; ++i)
            ids << app.addExpert(QStringLiteral("专家%1").arg(i + 1));
        ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "1"));
    }

    // A supervised round of n over every enabled expert, stored as a project.
    QString storeSupervisedProject(qsizetype n, const QByteArray &bytes, const QString &number)
    {
        DataStore &store = app.state.store;
        TextTable candidates;
        const KeptOut removed = BuildCandidates(store, SelectionCriteria{}, {}, kNow.date(), candidates).value();
        DrawRound round =
            NewRound(RoundType::Random, SelectionCriteria{}, store.TitleTypeTable, {}, removed, candidates, kNow);
        const SupervisedSeed seed = DeriveSupervised(round.candidateIds, bytes, number, {}, kNow);
        const TextTable picked = SupervisedPick(round, candidates, n, seed);
        TextTable drawList;
        for (qsizetype r = 0; r < picked.count(); ++r) {
            round.confirmedIds << picked.cell(r, 0).toString();
            drawList.appendRowOf(picked, r);
        }
        DrawSession session;
        session.rounds << round;
        const QString id =
            StoreDrawProject(store, drawList, session, ProjectFacts{"监督项目"}, "admin", kNow).projectId;
        LoadSelections(store);
        return id;
    }

    ProjectDetail project(const QString &id)
    {
        std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
        EXPECT_TRUE(p);
        return p.value_or(ProjectDetail{});
    }

    ProjectVerification verify(const QString &id)
    {
        Connection conn = OpenDataFile(app.state.store);
        return VerifyProject(conn, id);
    }

    void exec(const QString &sql)
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec(sql);
    }

    TestApp app;
    QStringList ids;
};

TEST_F(SupervisedRounds, DrawScreenCommitsFirstThenOrdersWithTheSupervisorsNumber)
{
    TestHost host(app.state);
    host.area.show();
    host.openScreen(ScreenId::Draw);
    auto *screen = static_cast<frmNewProSelExpert *>(host.screen("frmNewProSelExpert"));
    host.find<QComboBox>("frmNewProSelExpert", "com_Type")->setCurrentIndex(1);
    host.find<QLineEdit>("frmNewProSelExpert", "txtNum")->setText("3");

    const QByteArray bytes = Bytes('a');
    app.random->bytes.enqueue(bytes);
    QString shown;
    // A mismatch is refused and the dialog stays; then the numbers agree.
    app.dialogs->script.enqueue([&](QDialog &d) {
        Supervisor("246810", "246801")(d);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_EQ(app.messages->shown.last().text, QStringLiteral("两次输入的监督人号码不一致，请重新输入。"));
        return Supervisor("246810", "246810", &shown)(d);
    });
    QTest::mouseClick(host.find<QPushButton>("frmNewProSelExpert", "cmdSearch"), Qt::LeftButton);

    ASSERT_EQ(app.dialogs->shown, QStringList{"frmSupervisedDraw"});
    EXPECT_TRUE(shown.contains(Commitment(bytes))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QString::fromLatin1(bytes.toHex())));
    ASSERT_TRUE(screen->roundOnShow());
    const DrawRound &round = *screen->roundOnShow();
    ASSERT_TRUE(round.supervised);
    EXPECT_EQ(round.supervised->revealed, bytes);
    EXPECT_EQ(round.supervised->supervisorNumber, "246810");
    const SupervisedSeed expected = DeriveSupervised(ids, bytes, "246810", {}, kNow);
    EXPECT_EQ(round.supervised->order, expected.order);
    QStringList drawn;
    for (qsizetype k = 0; k < 3; ++k)
        drawn << ids[expected.order[k]];
    QStringList listed;
    for (qsizetype r = 0; r < app.state.draw.CandidateList.count(); ++r)
        listed << app.state.draw.CandidateList.cell(r, 0).toString();
    EXPECT_EQ(listed, drawn);
}

TEST_F(SupervisedRounds, CallingTheSupervisorOffDrawsNothing)
{
    TestHost host(app.state);
    host.area.show();
    host.openScreen(ScreenId::Draw);
    host.find<QComboBox>("frmNewProSelExpert", "com_Type")->setCurrentIndex(1);
    host.find<QLineEdit>("frmNewProSelExpert", "txtNum")->setText("3");
    app.dialogs->script.enqueue([](QDialog &d) { return FakeDialogs::Press(d, "cmdCancel"); });
    QTest::mouseClick(host.find<QPushButton>("frmNewProSelExpert", "cmdSearch"), Qt::LeftButton);
    EXPECT_TRUE(app.state.draw.CandidateList.isEmpty());
    EXPECT_FALSE(static_cast<frmNewProSelExpert *>(host.screen("frmNewProSelExpert"))->roundOnShow());
}

TEST_F(SupervisedRounds, StoredRoundVerifiesAndTamperingShows)
{
    const QString id = storeSupervisedProject(3, Bytes('b'), "135790");
    const ProjectDetail p = project(id);
    ASSERT_EQ(p.rounds.size(), 1);
    ASSERT_TRUE(p.rounds[0].supervised);
    EXPECT_EQ(p.rounds[0].supervised->order.size(), ids.size());
    const ProjectVerification ok = verify(id);
    EXPECT_TRUE(ok.ok()) << ok.line().toStdString();
    EXPECT_TRUE(ok.line().contains("监督抽取1轮")) << ok.line().toStdString();

    const char *tampering[] = {
        "UPDATE draw_supervised SET Supervisor_number = '135791'",
        "UPDATE draw_supervised SET Revealed = '00' || substr(Revealed, 3)",
        "UPDATE draw_round SET Picks = '0,1,2'",
    };
    for (const char *sql : tampering) {
        SCOPED_TRACE(sql);
        // Each change inside a transaction that is never committed.
        Connection conn = OpenDataFile(app.state.store);
        Transaction tx(conn);
        conn.exec(QString::fromLatin1(sql));
        EXPECT_FALSE(VerifyProject(conn, id).ok());
    }
    EXPECT_TRUE(verify(id).ok());
}

TEST_F(SupervisedRounds, SubstitutesFollowTheReserveSkippingTheUnavailable)
{
    const QString id = storeSupervisedProject(3, Bytes('c'), "975310");
    ProjectDetail p = project(id);
    const QVector<qsizetype> order = p.rounds[0].supervised->order;
    // The first of the reserve has been disabled since; the first and the
    // second of the panel decline.
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare("UPDATE expert_msg SET Status = '停用' WHERE Id = ?");
        st.bind(1, ids[order[3]]);
        st.step();
    }
    LoadExperts(app.state.store);
    ASSERT_TRUE(SetAttendance(app.state.store, id, 1, Attendance::Declined, "出差", "admin", kNow).value());
    ASSERT_TRUE(SetAttendance(app.state.store, id, 2, Attendance::Declined, "生病", "admin", kNow).value());
    p = project(id);
    QList<int> unfilled;
    int asked = 0;
    QList<SubstituteRound> subs = DrawSubstitutes(app.state.store, p, *app.random, kNow.addSecs(60), &unfilled,
                                                  [&](const DrawRound &, qsizetype) -> std::optional<SupervisedSeed> {
                                                      ++asked;
                                                      return std::nullopt;
                                                  });
    EXPECT_EQ(asked, 0);   // the reserve decides; nobody is asked again
    ASSERT_EQ(subs.size(), 1);
    ASSERT_EQ(subs[0].picks.size(), 2);
    EXPECT_EQ(subs[0].picks[0].row.value(0), ids[order[4]]);
    EXPECT_EQ(subs[0].picks[0].replacesSeq, 1);
    EXPECT_EQ(subs[0].picks[1].row.value(0), ids[order[5]]);
    ASSERT_TRUE(subs[0].round.reserve);
    ASSERT_EQ(subs[0].round.reserve->skipped.size(), 1);
    EXPECT_EQ(subs[0].round.reserve->skipped[0].id, ids[order[3]]);
    EXPECT_EQ(subs[0].round.reserve->skipped[0].reason, QStringLiteral("已停用"));
    ASSERT_TRUE(StoreSubstituteRounds(app.state.store, id, subs).ok());
    LoadSelections(app.state.store);
    const ProjectVerification v = verify(id);
    EXPECT_TRUE(v.ok()) << v.line().toStdString();

    // The next substitute goes on after the last position used.
    ASSERT_TRUE(SetAttendance(app.state.store, id, 3, Attendance::Declined, "", "admin", kNow).value());
    p = project(id);
    EXPECT_EQ(ReserveStart(p, 1), 6);
    subs = DrawSubstitutes(app.state.store, p, *app.random, kNow.addSecs(120));
    ASSERT_EQ(subs.size(), 1);
    EXPECT_EQ(subs[0].picks.value(0).row.value(0), ids[order[6]]);
    ASSERT_TRUE(StoreSubstituteRounds(app.state.store, id, subs).ok());
    EXPECT_TRUE(verify(id).ok());

    // Passing someone over without a reason, or taking out of order, shows.
    Connection conn = OpenDataFile(app.state.store);
    Transaction tx(conn);
    conn.exec(
        "UPDATE draw_supervised SET Reserve_use = replace(Reserve_use, '\"skipped\":[{', '\"skipped\":[],\"x\":[{') "
        "WHERE Round_no = 2");
    const ProjectVerification bad = VerifyProject(conn, id);
    EXPECT_FALSE(bad.ok());
    EXPECT_TRUE(bad.problems.join(";").contains("却没有记录原因")) << bad.line().toStdString();
}

TEST_F(SupervisedRounds, TakeFromReserveRecordsEachSkip)
{
    DrawRound source;
    source.number = 2;
    source.candidateIds = {"a", "b", "c", "d", "e"};
    source.supervised = SupervisedSeed{};
    source.supervised->order = {4, 2, 0, 3, 1};
    source.picks = {4};
    const ReserveDraw d = TakeFromReserve(source, 1, 2, [](const QString &id) {
        return id == "c" ? QStringLiteral("已为本项目抽出") : id == "a" ? QStringLiteral("已停用") : QString();
    });
    EXPECT_EQ(d.picks, (QVector<qsizetype>{3, 1}));
    EXPECT_EQ(d.use.taken, (QVector<qsizetype>{3, 4}));
    ASSERT_EQ(d.use.skipped.size(), 2);
    EXPECT_EQ(d.use.skipped[0], (ReserveUse::Skip{1, "c", "已为本项目抽出"}));
    EXPECT_EQ(d.use.skipped[1], (ReserveUse::Skip{2, "a", "已停用"}));
    // The reserve running out takes fewer.
    EXPECT_EQ(TakeFromReserve(source, 4, 3, [](const QString &) { return QString(); }).picks.size(), 1);
}

// The export a supervisor takes home, checked byte for byte against the file
// the separate re-derivation (rederive_supervised.py, run by ctest) reads.
TEST_F(SupervisedRounds, CandidateListExportMatchesTheReDerivationFixture)
{
    DrawRound r;
    r.number = 1;
    r.type = RoundType::Random;
    for (int i = 1; i <= 10; ++i)
        r.candidateIds << QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
    QByteArray bytes;
    for (int i = 0; i < 32; ++i)
        bytes.append(char(i));
    const SupervisedSeed seed = DeriveSupervised(r.candidateIds, bytes, "000123456",
                                                 QStringLiteral("2026-12-09 双色球 03 07 15 22 28 31 + 09"), kNow);
    r.requested = 4;
    r.supervised = seed;
    r.picks = seed.order.mid(0, 4);
    r.drawnAt = kNow;
    const QString csv = CandidateListCsv("000007", r);
    // KESTRUNE_WRITE_FIXTURE=1 writes the file afresh after a deliberate change of the export.
    if (qEnvironmentVariableIsSet("KESTRUNE_WRITE_FIXTURE")) {
        QFile out(QStringLiteral(KESTRUNE_TEST_FILES "/supervised_round.csv"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(csv.toUtf8());
    }
    QFile fixture(QStringLiteral(KESTRUNE_TEST_FILES "/supervised_round.csv"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly)) << fixture.fileName().toStdString();
    EXPECT_EQ(csv, QString::fromUtf8(fixture.readAll()));
    EXPECT_TRUE(csv.contains("抽中专家编号,000008 000006 000009 000003\n")) << csv.toStdString();
}

}   // namespace

// The library's eligibility rules go with the round that met them, show on
// the project screen, and keep a reserve expert who no longer meets them
// from standing in.
TEST_F(SupervisedRounds, EligibilityRulesAreRecordedAndHoldForTheReserve)
{
    exec("UPDATE expert_msg SET zhicheng_id = '03'");
    LoadExperts(app.state.store);
    EligibilityRules rules;
    rules.titleLevels = {"03"};
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, rules).ok());

    const QString id = storeSupervisedProject(3, Bytes('d'), "246801");
    ProjectDetail p = project(id);
    ASSERT_EQ(p.rounds.size(), 1);
    EXPECT_EQ(p.rounds[0].eligibility, rules);
    EXPECT_EQ(p.rounds[0].candidateIds.size(), ids.size());
    EXPECT_TRUE(ProjectRoundsText(p).contains("抽取规则：职称级别限于03")) << ProjectRoundsText(p).toStdString();

    // The first of the reserve now holds another title; the first of the panel declines.
    const QVector<qsizetype> order = p.rounds[0].supervised->order;
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare("UPDATE expert_msg SET zhicheng_id = '01' WHERE Id = ?");
        st.bind(1, ids[order[3]]);
        st.step();
    }
    LoadExperts(app.state.store);
    ASSERT_TRUE(SetAttendance(app.state.store, id, 1, Attendance::Declined, "出差", "admin", kNow).value());
    p = project(id);
    QList<SubstituteRound> subs = DrawSubstitutes(app.state.store, p, *app.random, kNow.addSecs(60));
    ASSERT_EQ(subs.size(), 1);
    ASSERT_EQ(subs[0].picks.size(), 1);
    EXPECT_EQ(subs[0].picks[0].row.value(0), ids[order[4]]);
    ASSERT_TRUE(subs[0].round.reserve);
    ASSERT_EQ(subs[0].round.reserve->skipped.size(), 1);
    EXPECT_EQ(subs[0].round.reserve->skipped[0].reason, QStringLiteral("不符合抽取规则"));
    ASSERT_TRUE(StoreSubstituteRounds(app.state.store, id, subs).ok());
    EXPECT_TRUE(verify(id).ok());
    EXPECT_EQ(project(id).rounds[1].eligibility, rules);
}
