// A panel stays secret until its review is over or an administrator makes
// it public: only the operator who drew it and the administrators see its
// experts; everyone else sees the project with the experts hidden.

#include "TestApp.h"
#include "data/AuditLog.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/Schema.h"
#include "data/Projects.h"
#include "extraction/HistoryFilter.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmExpertProjects.h"
#include "extraction/frmProListDis.h"
#include "shell/DrawWorkspace.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 0));

TEST(PanelIsConfidential, FollowsRoleOperatorReviewDayAndPublication)
{
    struct Case {
        const char *what;
        int role;
        QString userId, userName;
        QString operatorId;   // "" for a project stored before the operator's Id was kept
        QString reviewTime;
        bool published;
        bool hidden;
    };
    const QString before = QStringLiteral("2026-12-10 09:30");
    const QString reviewDay = QStringLiteral("2026-12-09 08:00");
    const QString past = QStringLiteral("2026-12-08");
    const Case cases[] = {
        {"an administrator, before the review", 0, "000009", "管理员乙", "000002", before, false, false},
        {"a company leader, before the review", 2, "000003", "领导", "000002", before, false, true},
        {"the operator who drew it", 1, "000002", "经理", "000002", before, false, false},
        {"another project manager", 1, "000004", "经理乙", "000002", before, false, true},
        {"a restricted user", -1, "000005", "某人", "000002", before, false, true},
        {"on the review day itself", 2, "000003", "领导", "000002", reviewDay, false, true},
        {"the day after the review", 2, "000003", "领导", "000002", past, false, false},
        {"a review written the Chinese way, passed", 2, "000003", "领导", "000002", "2026年12月8日下午", false, false},
        {"a review written the Chinese way, to come", 2, "000003", "领导", "000002", "2026年12月9日 14:00", false,
         true},
        {"made public before the review", 2, "000003", "领导", "000002", before, true, false},
        {"no review date: until made public", 2, "000003", "领导", "000002", "下周二上午", false, true},
        {"no review date, made public", 2, "000003", "领导", "000002", "", true, false},
        // A user who took the operator's former name is not the operator.
        {"the operator's name, another user", 1, "000007", "经理", "000002", before, false, true},
        // Projects stored before the Id was kept know the operator by name.
        {"an old project, the operator by name", 1, "000002", "经理", "", before, false, false},
        {"an old project, someone else", 1, "000004", "经理乙", "", before, false, true},
        {"an old project, a user without a name", 1, "000004", "", "", before, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PanelAccess access;
        access.operatorId = c.operatorId;
        access.operatorName = QStringLiteral("经理");
        access.reviewTime = c.reviewTime;
        if (c.published)
            access.publishedAt = QStringLiteral("2026-12-09 09:00:00");
        const PanelViewer viewer{c.userId, c.userName, c.role};
        EXPECT_EQ(PanelIsConfidential(access, viewer, kNow), c.hidden);
    }
}

// A library with an operator (项目经理), a company leader (公司领导) and an
// administrator, and one project drawn by the operator.
class ConfidentialPanels : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.clock->date = kNow.date();
        app.addUser(kOperator, QStringLiteral("经理"), QStringLiteral("pw"), QStringLiteral("1"));
        app.addUser(kLeader, QStringLiteral("领导"), QStringLiteral("pw"), QStringLiteral("2"));
        QStringList fields(28, QStringLiteral(" "));
        fields[0] = QStringLiteral("张秘密");
        fields[1] = QStringLiteral("启用");
        fields[2] = QStringLiteral("正式");
        fields[4] = QStringLiteral("男");
        fields[5] = QStringLiteral("1970-01-01");
        fields[12] = QStringLiteral("华东设计院");
        fields[14] = QStringLiteral("03");
        fields[15] = QStringLiteral("土木工程");
        fields[21] = QStringLiteral("13812345678");
        drawn = app.addExpert(fields);
        other = app.addExpert(QStringLiteral("李公开"));
        host.area.show();
    }

    QString storeProject(const QString &reviewTime)
    {
        DrawWorkspace draw;
        const QStringList row{drawn,        "张秘密",   "男",         "1970-01-01",
                              "华东设计院", "土木工程", "一级建造师", "13812345678"};
        DrawRound round = TemporaryRound(row, kNow.addSecs(-3600));
        round.confirmedIds = {drawn};
        draw.DrawRecord.rounds = {round};
        draw.DrawList.append(row);
        ProjectFacts facts{QStringLiteral("体育馆评标")};
        facts.reviewTime = reviewTime;
        const StoredDraw stored = StoreDrawProject(app.state.store, draw.DrawList, draw.DrawRecord, facts,
                                                   QStringLiteral("经理"), kNow.addSecs(-3000), kOperator);
        LoadSelections(app.state.store);
        LoadProjects(app.state.store);
        return stored.projectId;
    }
    void logInAs(const QString &id, int role)
    {
        app.state.session.CurrentUserId = id;
        app.state.session.CurrentUserRole = role;
    }
    frmProListDis *openProject(const QString &id)
    {
        host.openScreen(ScreenId::ProjectListView, {.projectId = id});
        return static_cast<frmProListDis *>(host.screen("frmProListDis"));
    }
    // Every text the screen shows.
    QString shown(const QString &form)
    {
        QStringList out;
        for (const QLabel *l : host.screen(form)->findChildren<QLabel *>())
            out << l->text();
        for (const QPlainTextEdit *t : host.screen(form)->findChildren<QPlainTextEdit *>())
            out << t->toPlainText();
        return out.join('\n');
    }
    TextTable history(const QString &workUnit = {})
    {
        host.openScreen(ScreenId::DrawHistory);
        host.find<QLineEdit>("frmExpertHistory", "txtFrom")->setText("2026-12-01");
        host.find<QLineEdit>("frmExpertHistory", "txtDis(1)")->setText(workUnit);
        QTest::mouseClick(host.find<QPushButton>("frmExpertHistory", "cmdSearch"), Qt::LeftButton);
        return app.state.HistoryList;
    }
    TextTable expertProjects()
    {
        host.openScreen(ScreenId::ExpertListViewProjects, {.expertId = drawn});
        return static_cast<frmExpertProjects *>(host.screen("frmExpertProjects"))->projectRows();
    }
    // What the user sees of the drawn expert everywhere: the project screen,
    // the history and the expert's projects.
    void expectSees(bool names)
    {
        frmProListDis *screen = openProject(projectId);
        ASSERT_TRUE(screen->project());
        EXPECT_EQ(screen->concealed(), !names);
        const QString text = shown("frmProListDis");
        for (const char *leak : {"张秘密", "华东设计院", "13812345678", "138****5678"})
            EXPECT_EQ(text.contains(QString::fromUtf8(leak)), names && QString::fromUtf8(leak) != "138****5678")
                << leak;
        EXPECT_EQ(text.contains(drawn), names);
        EXPECT_EQ(text.contains("***"), !names);
        for (const char *button : {"cmdPreview", "cmdExcel", "cmdVerify", "cmdSubstitute", "cmdExportCandidates"})
            EXPECT_EQ(host.find<QPushButton>("frmProListDis", button)->isEnabled(), names) << button;
        EXPECT_EQ(host.find<QLabel>("frmProListDis", "labOP_1(0)")->text(), names ? "[出席]" : "");

        const TextTable rows = history();
        ASSERT_EQ(rows.count(), 1);
        EXPECT_EQ(rows.cell(0, 1), names ? QStringLiteral("张秘密") : kHiddenText);
        EXPECT_EQ(rows.cell(0, 4), names ? QStringLiteral("华东设计院") : kHiddenText);
        EXPECT_EQ(rows.cell(0, 7) == kHiddenText, !names);
        EXPECT_EQ(rows.cell(0, 5), QStringLiteral("土木工程"));   // what the panel needed stays
        // A hidden unit is never matched: the match would name it.
        EXPECT_EQ(history(QStringLiteral("华东")).count(), names ? 1 : 0);

        EXPECT_EQ(expertProjects().count(), names ? 1 : 0);
    }

    static inline const QString kOperator = QStringLiteral("000002");
    static inline const QString kLeader = QStringLiteral("000003");
    TestApp app;
    TestHost host{app.state};
    QString drawn, other, projectId;
};

TEST_F(ConfidentialPanels, HiddenFromALeaderShownToTheOperatorAndAnAdministrator)
{
    projectId = storeProject(QStringLiteral("2026-12-10 09:30"));
    struct Who {
        const char *what;
        QString id;
        int role;
        bool sees;
    } const people[] = {
        {"company leader", kLeader, 2, false},
        {"operator", kOperator, 1, true},
        {"administrator", QStringLiteral("000001"), 0, true},
    };
    for (const Who &w : people) {
        SCOPED_TRACE(w.what);
        logInAs(w.id, w.role);
        expectSees(w.sees);
    }

    // The leader's attempts to print or register attendance are refused.
    logInAs(kLeader, 2);
    openProject(projectId);
    app.messages->clear();
    static_cast<frmProListDis *>(host.screen("frmProListDis"))->cmdVerify_Click();
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_TRUE(app.messages->shown[0].text.contains("保密"));
}

TEST_F(ConfidentialPanels, EveryoneSeesThePanelOnceTheReviewDayIsOver)
{
    projectId = storeProject(QStringLiteral("2026-12-10 09:30"));
    logInAs(kLeader, 2);
    app.clock->date = QDate(2026, 12, 10);
    expectSees(false);
    app.clock->date = QDate(2026, 12, 11);
    expectSees(true);
}

TEST_F(ConfidentialPanels, AnAdministratorMakesItPublicOnRecord)
{
    projectId = storeProject(QString());
    logInAs(kLeader, 2);
    expectSees(false);
    // Only administrators see the action, and the data refuses anyone else.
    EXPECT_FALSE(host.find<QPushButton>("frmProListDis", "cmdPublish")->isVisibleTo(host.screen("frmProListDis")));
    const Result<bool> refused =
        PublishPanel(app.state.store, projectId, CurrentViewer(app.state.session, app.state.store.UserTable), kNow);
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused.value());

    logInAs(QStringLiteral("000001"), 0);
    openProject(projectId);
    auto *publish = host.find<QPushButton>("frmProListDis", "cmdPublish");
    ASSERT_TRUE(publish->isVisibleTo(host.screen("frmProListDis")));
    ASSERT_TRUE(publish->isEnabled());
    const qint64 before = ReadAuditHead(app.state.store).value().seq;
    app.messages->answers.enqueue(true);
    QTest::mouseClick(publish, Qt::LeftButton);
    EXPECT_FALSE(publish->isEnabled());
    const QList<AuditEntry> log = ReadAuditEntries(app.state.store, AuditFilter{}).value();
    ASSERT_EQ(log.last().seq, before + 1);
    EXPECT_EQ(log.last().kind, AuditKind::ProjectPublish);
    EXPECT_EQ(log.last().subject, projectId);
    EXPECT_EQ(log.last().operatorName, QStringLiteral("admin"));

    logInAs(kLeader, 2);
    expectSees(true);
    // Publishing changes who sees the panel, not what was drawn.
    const Result<ProjectVerification> verified = VerifyProject(app.state.store, projectId);
    ASSERT_TRUE(verified);
    EXPECT_TRUE(verified.value().ok()) << verified.value().problems.join("; ").toStdString();
}

TEST_F(ConfidentialPanels, HistoryOfDrawsWithoutAProjectIsUnchanged)
{
    projectId = storeProject(QStringLiteral("2026-12-10"));
    app.addSelection(kNow.date().toString("yyyy-MM-dd"), other);
    LoadSelections(app.state.store);
    logInAs(kLeader, 2);
    const TextTable rows = history();
    ASSERT_EQ(rows.count(), 2);
    // The plain record reads as the filter without any hidden record gives it.
    HistoryCriteria criteria;
    criteria.fill(QString());
    criteria[H_StartDate] = criteria[H_EndDate] = kNow.date().toString("yyyy-MM-dd");
    const TextTable plain = FilterHistory(app.state.store.SelectionTable, app.state.store.ExpertTable, criteria);
    ASSERT_EQ(plain.count(), 2);
    EXPECT_EQ(rows.row(1), plain.row(1));
    EXPECT_EQ(rows.cell(1, 1), QStringLiteral("李公开"));
    EXPECT_EQ(rows.cell(0, 1), kHiddenText);
    // With a unit criterion the plain record still matches by its unit.
    const QString unit = app.state.store.ExpertTable.cell(1, Schema::E_Company_name).toString();
    const TextTable byUnit = history(unit);
    ASSERT_EQ(byUnit.count(), 1);
    EXPECT_EQ(byUnit.cell(0, 1), QStringLiteral("李公开"));
}

}   // namespace
