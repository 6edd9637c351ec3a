// Every draw is on record the moment it is made: the draws thrown away
// before the one stored stay visible beside the project, draws never stored
// are listed by day, rows deleted on the result screen are recorded, a gap
// in the record is reported, project numbers are never given out twice, and
// a printed record's verification data is checked against the file.

#include "TestApp.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/LibrarySettings.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmNewProSelExpert.h"
#include "lists/ListEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kDraw = QStringLiteral("frmNewProSelExpert");

class DrawTrail : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 10; ++i)
            app.addExpert(QStringLiteral("专家%1").arg(i + 1));
        host = std::make_unique<TestHost>(app.state);
        host->area.show();
    }

    void randomDraw(int n, quint64 seed)
    {
        host->openScreen(ScreenId::Draw);
        host->find<QComboBox>(kDraw, "com_Type")->setCurrentIndex(1);
        host->find<QLineEdit>(kDraw, "txtNum")->setText(QString::number(n));
        app.random->seeds.append(seed);
        QTest::mouseClick(host->find<QPushButton>(kDraw, "cmdSearch"), Qt::LeftButton);
    }
    void tickAndConfirm(const QList<int> &rows)
    {
        for (int slot : rows)
            QTest::mouseClick(host->find<QCheckBox>(kDraw, ArrayName(QStringLiteral("chk"), slot)), Qt::LeftButton);
        QTest::mouseClick(host->find<QPushButton>(kDraw, "cmd_OK"), Qt::LeftButton);
    }
    QString store()
    {
        const QString id = StoreDrawProject(app.state.store, app.state.draw.DrawList, app.state.draw.DrawRecord,
                                            ProjectFacts{"记录项目"}, "admin", app.clock->now())
                               .projectId;
        app.state.draw.DrawUnsaved = false;
        LoadSelections(app.state.store);
        return id;
    }
    FileVerification verifyFile()
    {
        Connection conn = OpenDataFile(app.state.store);
        return VerifyDataFile(conn);
    }
    QList<DrawEvent> unstored()
    {
        Connection conn = OpenDataFile(app.state.store);
        return LoadUnstoredTrail(conn);
    }

    TestApp app;
    std::unique_ptr<TestHost> host;
};

TEST_F(DrawTrail, DrawsThrownAwayBeforeTheStoredOneStayVisible)
{
    randomDraw(3, 11);   // not liked: drawn again
    randomDraw(3, 22);
    const QStringList drawn{app.state.draw.CandidateList.cell(0, 0).toString(),
                            app.state.draw.CandidateList.cell(1, 0).toString(),
                            app.state.draw.CandidateList.cell(2, 0).toString()};
    tickAndConfirm({0, 2});   // the second drawn left unticked
    const QString id = store();

    const std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
    ASSERT_TRUE(p);
    QStringList kinds;
    for (const DrawEvent &e : p->trail)
        kinds << e.kind;
    EXPECT_EQ(kinds,
              (QStringList{DrawEventKind::Draw, DrawEventKind::Draw, DrawEventKind::Confirm, DrawEventKind::Store}));
    ASSERT_EQ(p->discardedDraws().size(), 1);
    EXPECT_EQ(p->discardedDraws()[0].round->seed, std::optional<quint64>(11));
    EXPECT_EQ(p->trail[2].notConfirmed, QStringList{drawn[1]});
    EXPECT_EQ(p->trail[2].operatorName, QStringLiteral("admin"));
    EXPECT_TRUE(ProjectRoundsText(*p).contains("其中未保存的抽取1次")) << ProjectRoundsText(*p).toStdString();

    const FileVerification f = verifyFile();
    EXPECT_TRUE(f.ok()) << f.summary().toStdString();
    ASSERT_EQ(f.projects.size(), 1);
    EXPECT_EQ(f.projects[0].discardedDraws, 1);
    EXPECT_TRUE(f.projects[0].line().contains("另有1次抽取未保存")) << f.projects[0].line().toStdString();
    EXPECT_TRUE(unstored().isEmpty());

    // Draws after the store belong to the next draw list, not this project.
    randomDraw(2, 33);
    EXPECT_EQ(LoadProject(app.state.store, id)->trail.size(), 4);
    EXPECT_EQ(unstored().size(), 1);
}

TEST_F(DrawTrail, DrawsNeverStoredAreListedUnderTheirDay)
{
    randomDraw(2, 5);
    host->openScreen(ScreenId::Draw);
    host->find<QComboBox>(kDraw, "com_Type")->setCurrentIndex(0);
    QTest::mouseClick(host->find<QPushButton>(kDraw, "cmdSearch"), Qt::LeftButton);
    const QList<DrawEvent> events = unstored();
    ASSERT_EQ(events.size(), 2);
    const QString text = UnstoredTrailText(events, {}, {});
    EXPECT_TRUE(text.startsWith("未保存为项目的抽取：1组，2条记录\n2026-12-09\n")) << text.toStdString();
    EXPECT_TRUE(text.contains(RoundType::Manual));
    EXPECT_EQ(UnstoredTrailText(events, "2026-12-10", {}), QStringLiteral("没有未保存的抽取。"));
    EXPECT_EQ(verifyFile().unstoredSessions, 1);
}

TEST_F(DrawTrail, DeletingADrawnRowIsRecorded)
{
    randomDraw(3, 7);
    tickAndConfirm({0, 1});
    const QString first = app.state.draw.DrawList.cell(0, 0).toString();
    app.messages->answers.enqueue(true);   // 您确定删除吗？
    QTest::mouseClick(host->find<QLabel>("frmNewPro", ArrayName(QStringLiteral("labOP_1"), 0)), Qt::LeftButton);
    ASSERT_EQ(app.state.draw.DrawList.count(), 1);
    const QList<DrawEvent> events = unstored();
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.last().kind, DrawEventKind::Remove);
    EXPECT_EQ(events.last().expertIds, QStringList{first});
}

TEST_F(DrawTrail, AGapInTheRecordIsReported)
{
    randomDraw(2, 1);
    randomDraw(2, 2);
    randomDraw(2, 3);
    EXPECT_TRUE(verifyFile().ok());
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("DELETE FROM draw_trail WHERE Event_no = 2");
    }
    const FileVerification f = verifyFile();
    EXPECT_FALSE(f.ok());
    ASSERT_EQ(f.trailProblems.size(), 1);
    EXPECT_TRUE(f.trailProblems[0].contains("缺少第2至2条")) << f.trailProblems[0].toStdString();
}

// The draw the operator wants hidden is the last one, or the only one of
// its session: numbering alone cannot show it gone, the log does.
TEST_F(DrawTrail, TheLogShowsADrawDeletedOrChangedAfterwards)
{
    struct Case {
        const char *name;
        const char *sql;
        const char *expected;
    } cases[] = {
        {"last draw deleted", "DELETE FROM draw_trail WHERE Event_no = 2", "已被删除"},
        {"whole session deleted", "DELETE FROM draw_trail", "已被删除"},
        {"picks rewritten", "UPDATE draw_trail SET Detail = '{}' WHERE Event_no = 1", "事后被改动"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestApp fresh;
        for (int i = 0; i < 10; ++i)
            fresh.addExpert(QStringLiteral("专家%1").arg(i + 1));
        TestHost h(fresh.state);
        h.area.show();
        for (quint64 seed : {11, 12}) {
            h.openScreen(ScreenId::Draw);
            h.find<QComboBox>(kDraw, "com_Type")->setCurrentIndex(1);
            h.find<QLineEdit>(kDraw, "txtNum")->setText("2");
            fresh.random->seeds.append(seed);
            QTest::mouseClick(h.find<QPushButton>(kDraw, "cmdSearch"), Qt::LeftButton);
        }
        Connection conn = OpenDataFile(fresh.state.store);
        EXPECT_EQ(VerifyChain(conn), QStringList());
        conn.exec(QString::fromUtf8(c.sql));
        const QStringList problems = VerifyChain(conn);
        ASSERT_FALSE(problems.isEmpty());
        EXPECT_TRUE(problems.join('\n').contains(QString::fromUtf8(c.expected))) << problems.join('\n').toStdString();
    }
}

TEST_F(DrawTrail, ProjectNumbersAreNeverGivenOutTwice)
{
    randomDraw(2, 1);
    tickAndConfirm({0});
    EXPECT_EQ(store(), "000001");
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("DELETE FROM draw_project");
    }
    app.state.draw.StartNewDraw();
    randomDraw(2, 2);
    tickAndConfirm({0});
    EXPECT_EQ(store(), "000002");
}

TEST_F(DrawTrail, APrintedRecordIsCheckedAgainstTheFile)
{
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "1"));
    app.dialogs->script.enqueue([](QDialog &d) {
        d.findChild<QLineEdit *>("txtNumber")->setText("8642097");
        d.findChild<QLineEdit *>("txtNumberAgain")->setText("8642097");
        d.findChild<QLineEdit *>("txtPublic")->setText("a|b%c");
        return FakeDialogs::Press(d, "cmdOK");
    });
    randomDraw(3, 0);
    tickAndConfirm({0, 1, 2});
    const QString id = store();
    const std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
    ASSERT_TRUE(p);
    const QString printed = RecordVerificationText(*p);
    EXPECT_TRUE(printed.contains("|8642097|")) << printed.toStdString();

    Connection conn = OpenDataFile(app.state.store);
    QStringList notes;
    EXPECT_TRUE(CheckRecordText(conn, printed, &notes).isEmpty());
    EXPECT_TRUE(notes.isEmpty());
    // A record whose printed panel was changed, or a file changed since.
    QString forged = printed;
    forged.replace("|8642097|", "|8642098|");
    EXPECT_FALSE(CheckRecordText(conn, forged).isEmpty());
    EXPECT_EQ(CheckRecordText(conn, "hello"), QStringList{"不是本程序打印的抽取记录验证数据"});
    {
        Transaction tx(conn);
        conn.exec("UPDATE draw_round SET Confirmed = '000001'");
        EXPECT_FALSE(CheckRecordText(conn, printed).isEmpty());
    }
    EXPECT_TRUE(CheckRecordText(conn, printed).isEmpty());
}

}   // namespace
