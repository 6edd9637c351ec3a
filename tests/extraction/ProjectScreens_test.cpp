// Draws kept as projects, seen from the screens: rounds recorded by the draw
// screen, avoidance in every draw type, the project dialog on 完成 and at
// exit, the project list and detail screens, attendance, substitutes,
// verification and an expert's projects.

#include "ReportTestHelpers.h"
#include "TestApp.h"
#include "TestFiles.h"
#include "data/Database.h"
#include "data/DrawStore.h"
#include "data/AuditLog.h"
#include "data/DrawVerify.h"
#include "data/LibrarySettings.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "data/SeededDraw.h"
#include "extraction/frmNewProSelExpert.h"
#include "extraction/frmProList.h"
#include "extraction/frmProListDis.h"
#include "reports/ReportPreview.h"
#include "shell/MDIFrm.h"
#include "shell/frmEndSaveDB.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kDraw = QStringLiteral("frmNewProSelExpert");

// A library of experts in three work units, a draw screen and the screens it
// leads to.
class ProjectScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *const units[] = {"北京建工集团", "上海建工集团", "华东院"};
        for (int i = 0; i < 9; ++i) {
            QStringList fields(28, QStringLiteral(" "));
            fields[0] = QStringLiteral("专家%1").arg(i + 1);
            fields[1] = QStringLiteral("启用");
            fields[2] = QStringLiteral("正式");
            fields[4] = QStringLiteral("男");
            fields[12] = QString::fromUtf8(units[i % 3]);
            fields[14] = QStringLiteral("03");
            ids << app.addExpert(fields);
        }
        host.area.show();
    }

    template <typename T> T *find(const QString &form, const QString &name)
    {
        T *w = host.find<T>(form, name);
        EXPECT_NE(w, nullptr) << form.toStdString() << " " << name.toStdString();
        return w;
    }
    void click(const QString &form, const char *name)
    {
        QTest::mouseClick(find<QPushButton>(form, QString::fromLatin1(name)), Qt::LeftButton);
    }
    void clickLabel(const QString &form, const QString &name)
    {
        QTest::mouseClick(find<QLabel>(form, name), Qt::LeftButton);
    }
    frmNewProSelExpert *drawScreen() { return static_cast<frmNewProSelExpert *>(host.screen(kDraw)); }

    void openDraw() { host.openScreen(ScreenId::Draw); }
    void chooseType(int type) { find<QComboBox>(kDraw, "com_Type")->setCurrentIndex(type); }
    void draw() { click(kDraw, "cmdSearch"); }
    void tick(int slot) { QTest::mouseClick(find<QCheckBox>(kDraw, ArrayName("chk", slot)), Qt::LeftButton); }
    void confirm() { click(kDraw, "cmd_OK"); }
    QStringList candidateIds() const
    {
        QStringList out;
        for (qsizetype r = 0; r < app.state.draw.CandidateList.count(); ++r)
            out << app.state.draw.CandidateList.cell(r, 0).toString();
        return out;
    }

    // A manual round confirming the first two candidates, a random round
    // drawing two with a fixed seed, and the draw stored as a project.
    QString drawAndStore(const QString &name = QStringLiteral("体育中心评标"))
    {
        openDraw();
        draw();
        tick(0);
        tick(1);
        confirm();
        host.openScreen(ScreenId::Draw);
        chooseType(1);
        find<QLineEdit>(kDraw, "txtNum")->setText("2");
        app.random->seeds.append(77);
        draw();
        tick(0);
        tick(1);
        confirm();
        app.dialogs->script.enqueue([name](QDialog &d) {
            d.findChild<QLineEdit *>("txtName")->setText(name);
            d.findChild<QLineEdit *>("txtSupervisor")->setText("王监督");
            return FakeDialogs::Press(d, "cmdOK");
        });
        click("frmNewPro", "cmdSave");
        EXPECT_EQ(app.messages->lastText(), "增加成功。");
        return app.state.draw.DrawRecord.projectId;
    }

    TestApp app;
    TestHost host{app.state};
    QStringList ids;
};

TEST_F(ProjectScreens, EachConfirmationIsOneRoundAndANewDrawStartsAfreshAfterAStore)
{
    openDraw();
    draw();   // manual: all nine
    tick(2);
    tick(4);
    confirm();
    ASSERT_EQ(app.state.draw.DrawRecord.rounds.size(), 1);
    const DrawRound &manual = app.state.draw.DrawRecord.rounds[0];
    EXPECT_EQ(manual.type, RoundType::Manual);
    EXPECT_EQ(manual.candidateIds, ids);
    EXPECT_EQ(manual.confirmedIds, (QStringList{ids[2], ids[4]}));
    EXPECT_EQ(manual.criteriaText, "无");
    EXPECT_FALSE(manual.seed);

    host.openScreen(ScreenId::Draw);
    find<QLineEdit>(kDraw, ArrayName("txtDis", 5))->setText("上海");
    chooseType(2);
    draw();   // start rolling
    app.random->script.append({0.99});
    drawScreen()->tmeSelExp_Timer();
    draw();   // stop
    tick(0);
    confirm();
    ASSERT_EQ(app.state.draw.DrawRecord.rounds.size(), 2);
    const DrawRound &rolling = app.state.draw.DrawRecord.rounds[1];
    EXPECT_EQ(rolling.type, RoundType::Rolling);
    EXPECT_EQ(rolling.criteriaText, "工作单位：上海");
    EXPECT_EQ(rolling.candidateIds, (QStringList{ids[1], ids[4], ids[7]}));
    EXPECT_EQ(rolling.rolledId, ids[7]);
    EXPECT_EQ(rolling.confirmedIds, QStringList{ids[7]});

    app.dialogs->script.enqueue(FakeDialogs::FillAndAccept);
    click("frmNewPro", "cmdSave");
    const QString first = app.state.draw.DrawRecord.projectId;
    EXPECT_EQ(first, "000001");
    // A confirmation after the store begins a new draw and a new project.
    host.openScreen(ScreenId::Draw);
    draw();
    tick(0);
    confirm();
    EXPECT_EQ(app.state.draw.DrawRecord.rounds.size(), 1);
    EXPECT_TRUE(app.state.draw.DrawRecord.projectId.isEmpty());
    EXPECT_EQ(app.state.draw.DrawList.count(), 1);
}

// Each rule removes exactly its experts, whichever way the draw is made.
TEST_F(ProjectScreens, EachAvoidanceRuleRemovesItsExpertsInAllThreeDrawTypes)
{
    // ids[4] was drawn today: kept out by "the last 7 days".
    app.addSelection(app.state.today().toString("yyyy-MM-dd"), ids[4]);
    app.addSelection(app.state.today().addDays(-7).toString("yyyy-MM-dd"), ids[5]);   // 8 days back
    app.state.draw.Avoidance = {{"华东*"}, {ids[0]}, {"专家1"}, 7};
    // Units 华东院 are ids 2, 5, 8; the named expert is ids 0; recent is ids 4.
    const QStringList kept{ids[1], ids[3], ids[6], ids[7]};
    const AvoidanceCounts counts{3, 1, 1, 5};

    for (int type : {0, 1, 2}) {
        SCOPED_TRACE(type);
        host.openScreen(ScreenId::Draw);
        chooseType(type);
        if (type == 1) {
            find<QLineEdit>(kDraw, "txtNum")->setText("3");
            app.random->seeds.append(5);
        }
        draw();
        if (type == 2) {
            app.random->script.append({0.0});
            drawScreen()->tmeSelExp_Timer();
            draw();
        }
        ASSERT_TRUE(drawScreen()->roundOnShow());
        const DrawRound &round = *drawScreen()->roundOnShow();
        EXPECT_EQ(round.candidateIds, kept);
        EXPECT_EQ(round.avoided, counts);
        EXPECT_EQ(round.avoidance, app.state.draw.Avoidance);
        for (const QString &id : candidateIds())
            EXPECT_TRUE(kept.contains(id)) << id.toStdString();
        if (type == 0)
            EXPECT_EQ(candidateIds(), kept);
        if (type == 1) {
            EXPECT_EQ(round.picks, SeededDraw(4, 3, 5));
            EXPECT_EQ(candidateIds().size(), 3);
        }
        if (type == 2)
            EXPECT_EQ(candidateIds(), QStringList{kept[0]});
    }
}

TEST_F(ProjectScreens, TheAvoidanceDialogCountsWhatEachRuleRemovesAndKeepsTheRules)
{
    openDraw();
    find<QLineEdit>(kDraw, ArrayName("txtDis", 0))->setText("专家");
    app.addSelection(app.state.today().toString("yyyy-MM-dd"), ids[3]);
    QString counts;
    app.dialogs->script.enqueue([&](QDialog &d) {
        d.findChild<QPlainTextEdit *>("txtUnits")->setPlainText("上海建工集团\n华东?");
        d.findChild<QLineEdit *>("txtExpertName")->setText("专家1");
        FakeDialogs::Press(d, "cmdFind");
        QListWidget *found = d.findChild<QListWidget *>("lstLibrary");
        EXPECT_EQ(found->count(), 1);   // 专家1 only: the name contains the text
        found->item(0)->setSelected(true);
        FakeDialogs::Press(d, "cmdAdd");
        d.findChild<QCheckBox *>("chkRecent")->setChecked(true);
        d.findChild<QLineEdit *>("txtDays")->setText("30");
        d.findChild<QLineEdit *>("txtUnitsReason")->setText("投标单位");
        d.findChild<QLineEdit *>("txtExpertsReason")->setText("与招标人有亲属关系");
        d.findChild<QLineEdit *>("txtRecentReason")->setText("轮换");
        counts = d.findChild<QLabel *>("labCounts")->text();
        return FakeDialogs::Press(d, "cmdOK");
    });
    click(kDraw, "cmdAvoid");
    EXPECT_TRUE(counts.contains("候选专家9人")) << counts.toStdString();
    EXPECT_TRUE(counts.contains("按工作单位回避6人，指定专家回避1人，近期抽取过的回避1人；共回避8人，剩余1人"))
        << counts.toStdString();
    EXPECT_EQ(app.state.draw.Avoidance, (AvoidanceRules{{"上海建工集团", "华东?"},
                                                        {ids[0]},
                                                        {"专家1"},
                                                        30,
                                                        AvoidanceRules::kDefaultFormerYears,
                                                        "投标单位",
                                                        "与招标人有亲属关系",
                                                        "轮换"}));

    // The rules stay until cleared; cancelling changes nothing.
    app.dialogs->script.enqueue(FakeDialogs::Cancel);
    click(kDraw, "cmdAvoid");
    EXPECT_FALSE(app.state.draw.Avoidance.isEmpty());
    app.dialogs->script.enqueue([](QDialog &d) {
        FakeDialogs::Press(d, "cmdClear");
        return FakeDialogs::Press(d, "cmdOK");
    });
    click(kDraw, "cmdAvoid");
    EXPECT_TRUE(app.state.draw.Avoidance.isEmpty());
}

TEST_F(ProjectScreens, CancellingTheProjectDialogStoresNothing)
{
    openDraw();
    draw();
    tick(0);
    confirm();
    const QByteArray before = ReadAll(app.dataFile());
    app.dialogs->script.enqueue(FakeDialogs::Cancel);
    click("frmNewPro", "cmdSave");
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_TRUE(find<QPushButton>("frmNewPro", "cmdSelExpert")->isEnabled());

    // Without a name the dialog stays open (here: is not accepted).
    app.dialogs->script.enqueue([](QDialog &d) { return FakeDialogs::Press(d, "cmdOK"); });
    click("frmNewPro", "cmdSave");
    EXPECT_EQ(app.messages->lastText(), "请输入项目名称！");
    EXPECT_EQ(ReadAll(app.dataFile()), before);

    const QString id = drawAndStore("地铁评标");
    const std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->facts.name, "地铁评标");
    EXPECT_EQ(p->facts.supervisor, "王监督");
    EXPECT_EQ(p->operatorName, "admin");
    EXPECT_EQ(p->rounds.size(), 3);
}

// Every row deleted on the result screen: 是 at exit stores nothing, as 完成
// would not.
TEST(ProjectAtExit, AnEmptyDrawListStoresNothing)
{
    TestApp app;
    const auto main = MakeMainWindow(app.state, AllScreens().only({Form::frmDisMsg}));
    main->endProgram = [] {};
    main->show();
    main->start();
    const QString a = app.addExpert("甲");
    app.state.draw.DrawRecord.rounds.append(
        TemporaryRound({a, "甲", "男", "", "", "", "", ""}, QDateTime(app.state.today(), QTime(9, 0))));
    app.state.draw.DrawUnsaved = true;
    app.messages->answers.enqueue(true);
    main->ExitApplication();
    EXPECT_EQ(app.messages->lastText(), "请进行专家抽取。");
    EXPECT_TRUE(app.dialogs->shown.isEmpty());
    EXPECT_EQ(app.countRows("draw_project"), 0);
    EXPECT_EQ(app.countRows("draw_round"), 0);
    if (frmEndSaveDB *w = main->backupWindow())
        for (int i = 0; i < 25 && !w->ended(); ++i)
            w->Timer1_Timer();
}

TEST(ProjectAtExit, CancellingTheDialogReturnsToTheQuestion)
{
    for (bool finallyStore : {true, false}) {
        SCOPED_TRACE(finallyStore);
        TestApp app;
        const auto main = MakeMainWindow(app.state, AllScreens().only({Form::frmDisMsg}));
        main->endProgram = [] {};
        main->show();
        main->start();
        const QString a = app.addExpert("甲");
        app.state.draw.DrawList.append({a, "甲", "男", "", "", "", "", ""});
        app.state.draw.DrawRecord.rounds.append(
            TemporaryRound(app.state.draw.DrawList.row(0), QDateTime(app.state.today(), QTime(9, 0))));
        app.state.draw.DrawUnsaved = true;
        app.messages->answers.enqueue(true);
        app.dialogs->script.enqueue(FakeDialogs::Cancel);
        app.messages->answers.enqueue(finallyStore);
        main->ExitApplication();
        QStringList questions;
        for (const auto &m : app.messages->shown)
            questions << m.text;
        const QString q = QStringLiteral("您有未保存的抽取记录,是否需要保存？");
        EXPECT_EQ(questions, (QStringList{q, q}));
        EXPECT_EQ(app.dialogs->shown.size(), finallyStore ? 2 : 1);
        EXPECT_EQ(app.countRows("sel_expert"), finallyStore ? 1 : 0);
        EXPECT_EQ(app.countRows("draw_project"), finallyStore ? 1 : 0);
        if (frmEndSaveDB *w = main->backupWindow())
            for (int i = 0; i < 25 && !w->ended(); ++i)
                w->Timer1_Timer();
    }
}

TEST_F(ProjectScreens, TheProjectListFindsProjectsAndOpensOne)
{
    drawAndStore("体育中心评标");
    host.openScreen(ScreenId::DrawResult);
    drawAndStore("地铁三号线评标");
    host.openScreen(ScreenId::ProjectList);
    const QString list = QStringLiteral("frmProList");
    EXPECT_EQ(find<QLabel>(list, "labPath")->text(), "项目列表");
    auto *screen = static_cast<frmProList *>(host.screen(list));
    ASSERT_EQ(screen->projectRows().count(), 2);
    EXPECT_EQ(find<QLabel>(list, ArrayName("lab3", 1))->text(), "地铁三号线评标");
    EXPECT_EQ(find<QLabel>(list, ArrayName("lab5", 0))->text(), "2");   // rounds
    EXPECT_EQ(find<QLabel>(list, ArrayName("lab6", 0))->text(), "4");   // experts

    find<QLineEdit>(list, ArrayName("txtDis", 0))->setText("地铁");
    click(list, "cmdSearch");
    ASSERT_EQ(screen->projectRows().count(), 1);
    find<QLineEdit>(list, "txtFrom")->setText("2026-13-01");
    click(list, "cmdSearch");
    EXPECT_EQ(app.messages->lastText(), "请按“YYYY-MM-DD”的格式输入日期，例如2026-12-09。");
    find<QLineEdit>(list, "txtFrom")->setText("2026-12-10");
    click(list, "cmdSearch");
    EXPECT_EQ(screen->projectRows().count(), 0);
    find<QLineEdit>(list, "txtFrom")->setText("2026-12-09");
    click(list, "cmdSearch");
    ASSERT_EQ(screen->projectRows().count(), 1);

    clickLabel(list, ArrayName("labOP_1", 0));
    EXPECT_EQ(app.state.nav.CurrentScreen, 12);
    const QString detail = QStringLiteral("frmProListDis");
    EXPECT_EQ(find<QLabel>(detail, "labPath")->text(), "项目列表 -> 查看");
    EXPECT_EQ(find<QLabel>(detail, ArrayName("labFact", 0))->text(), "地铁三号线评标");
    EXPECT_EQ(find<QLabel>(detail, ArrayName("labFact", 5))->text(), "王监督");
    const QString rounds = find<QPlainTextEdit>(detail, "txtRounds")->toPlainText();
    EXPECT_TRUE(rounds.contains("第2轮  随机抽取")) << rounds.toStdString();
    EXPECT_TRUE(rounds.contains("随机种子：77")) << rounds.toStdString();
    click(detail, "cmd_Back");
    EXPECT_EQ(app.state.nav.CurrentScreen, 11);
}

TEST_F(ProjectScreens, AttendanceSubstitutesAndVerificationOnTheProjectScreen)
{
    const QString id = drawAndStore();
    host.openScreen(ScreenId::ProjectListView, {.projectId = id});
    const QString detail = QStringLiteral("frmProListDis");
    auto *screen = static_cast<frmProListDis *>(host.screen(detail));
    ASSERT_EQ(screen->expertRows().count(), 4);

    // The first expert declines: a kind of reason is required, and 其他
    // needs its text.
    QStringList refusals;
    app.dialogs->script.enqueue([this, &refusals](QDialog &d) {
        d.findChild<QRadioButton *>("optStatus(2)")->setChecked(true);
        FakeDialogs::Press(d, "cmdOK");   // refused without a reason
        EXPECT_EQ(d.result(), QDialog::Rejected);
        refusals << app.messages->lastText();
        d.findChild<QComboBox *>("cboReasonKind")->setCurrentText(DeclineKind::Other);
        FakeDialogs::Press(d, "cmdOK");   // 其他 without its text
        EXPECT_EQ(d.result(), QDialog::Rejected);
        refusals << app.messages->lastText();
        d.findChild<QLineEdit *>("txtReason")->setText("出差");
        return FakeDialogs::Press(d, "cmdOK");
    });
    clickLabel(detail, ArrayName("labOP_1", 0));
    EXPECT_EQ(refusals, QStringList({"请选择拒绝原因！", "请输入拒绝原因的说明！"}));
    EXPECT_EQ(screen->expertRows().cell(0, 6), Attendance::Declined);
    EXPECT_EQ(screen->expertRows().cell(0, 8).toString(), "拒绝原因：其他（出差）");
    EXPECT_EQ(screen->project()->experts[0].reasonKind, DeclineKind::Other);

    // A substitute under the first round's criteria: never one drawn before.
    app.messages->answers.enqueue(true);
    click(detail, "cmdSubstitute");
    ASSERT_EQ(screen->expertRows().count(), 5);
    const std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
    ASSERT_TRUE(p);
    const ProjectExpert &sub = p->experts[4];
    EXPECT_EQ(sub.replacesSeq, 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(sub.id(), p->experts[i].id());
    EXPECT_EQ(p->rounds.last().type, RoundType::Substitute);
    EXPECT_TRUE(app.messages->lastText().startsWith("补抽完成")) << app.messages->lastText().toStdString();
    EXPECT_EQ(screen->expertRows().cell(4, 8), QStringLiteral("替换第1位%1").arg(p->experts[0].name().trimmed()));
    EXPECT_EQ(app.state.store.SelectionTable.count(), 5);

    // Nobody else awaits a substitute.
    click(detail, "cmdSubstitute");
    EXPECT_TRUE(app.messages->lastText().startsWith("没有需要补抽的专家"));

    click(detail, "cmdVerify");
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Information);
    EXPECT_TRUE(app.messages->lastText().startsWith("验证通过")) << app.messages->lastText().toStdString();
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare("UPDATE sel_expert SET Expert_Id = ? WHERE Id = ?");
        st.bind(1, ids[8]);
        st.bind(2, p->experts[1].selId);
        st.step();
    }
    click(detail, "cmdVerify");
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
    EXPECT_TRUE(app.messages->lastText().contains(p->experts[1].selId));
}

// With few experts left the substitute draw runs dry instead of repeating
// anyone drawn or declined.
TEST_F(ProjectScreens, SubstitutesNeverRepeatADrawnOrDeclinedExpert)
{
    const QString id = drawAndStore();   // four of nine drawn
    // Only the unit of the first round's experts matters here: keep five
    // experts out of the library, so one candidate is left.
    for (int i = 0; i < 9; ++i) {
        const std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
        bool drawn = false;
        for (const ProjectExpert &e : p->experts)
            drawn = drawn || e.id() == ids[i];
        if (!drawn && i != 8) {
            Connection conn = OpenDataFile(app.state.store);
            Statement st = conn.prepare("UPDATE expert_msg SET Status = '停用' WHERE Id = ?");
            st.bind(1, ids[i]);
            st.step();
        }
    }
    LoadExperts(app.state.store);
    ASSERT_TRUE(SetAttendance(app.state.store, id, 1, Attendance::Declined, "病", "admin", QDateTime::currentDateTime())
                    .value());
    ASSERT_TRUE(SetAttendance(app.state.store, id, 2, Attendance::Declined, "忙", "admin", QDateTime::currentDateTime())
                    .value());
    host.openScreen(ScreenId::ProjectListView, {.projectId = id});
    const QString detail = QStringLiteral("frmProListDis");
    app.messages->answers.enqueue(true);
    click(detail, "cmdSubstitute");
    std::optional<ProjectDetail> p = LoadProject(app.state.store, id);
    ASSERT_EQ(p->experts.size(), 5);
    EXPECT_EQ(p->experts[4].id(), ids[8]);
    EXPECT_EQ(p->experts[4].replacesSeq, 1);
    EXPECT_TRUE(app.messages->lastText().contains("以下专家没有可补抽的专家：第2位"));

    // The substitute declines too: nobody is left.
    ASSERT_TRUE(SetAttendance(app.state.store, id, 5, Attendance::Declined, "忙", "admin", QDateTime::currentDateTime())
                    .value());
    host.openScreen(ScreenId::ProjectListView, {.projectId = id});
    app.messages->answers.enqueue(true);
    click(detail, "cmdSubstitute");
    EXPECT_EQ(app.messages->lastText(), "没有符合条件的专家可以补抽。");
    EXPECT_EQ(LoadProject(app.state.store, id)->experts.size(), 5);

    Connection conn = OpenDataFile(app.state.store);
    EXPECT_TRUE(VerifyProject(conn, id).ok());
}

// An installed copy keeps its templates apart from the data: the record is
// printed from the templates folder, not from beside the data file.
TEST_F(ProjectScreens, TheDrawRecordComesFromTheTemplatesFolder)
{
    const QString id = drawAndStore();
    QTemporaryDir templates;
    ASSERT_TRUE(CopyReportTemplates(templates.path()));
    app.state.templateDir = templates.path();
    ASSERT_FALSE(QFile::exists(QDir(app.appDir()).filePath("DrawRecord_Plate.xls")));
    auto log = InstallFakeSpreadsheet(app.state);
    QTemporaryDir desktop;
    app.files->nextSavePath = QDir(desktop.path()).filePath("record.xls");
    host.openScreen(ScreenId::ProjectListView, {.projectId = id});
    app.messages->clear();
    click("frmProListDis", "cmdExcel");
    EXPECT_TRUE(app.messages->shown.isEmpty()) << app.messages->lastText().toStdString();
    EXPECT_EQ(log->openedPath, QDir(templates.path()).filePath("DrawRecord_Plate.xls"));
}

TEST_F(ProjectScreens, TheExpertDetailViewListsTheExpertsProjects)
{
    drawAndStore("体育中心评标");
    const QString expert = app.state.draw.DrawList.cell(0, 0).toString();
    host.openScreen(ScreenId::ExpertListView, {.expertId = expert});
    click("frmExpertListDis", "cmdProjects");
    EXPECT_EQ(app.state.nav.CurrentScreen, 21);
    const QString form = QStringLiteral("frmExpertProjects");
    EXPECT_EQ(find<QLabel>(form, "labPath")->text(), "专家列表 -> 查看 -> 参与项目");
    EXPECT_EQ(find<QLabel>(form, ArrayName("lab3", 0))->text(), "体育中心评标");
    EXPECT_EQ(find<QLabel>(form, ArrayName("lab5", 0))->text(), RoundType::Manual);
    click(form, "cmd_Back");
    EXPECT_EQ(app.state.nav.CurrentScreen, 7);
    // The detail view still knows its expert: its projects open again.
    click("frmExpertListDis", "cmdProjects");
    EXPECT_TRUE(find<QLabel>(form, "labExpert")->text().contains(expert));
    click(form, "cmd_Back");

    host.openScreen(ScreenId::ExpertSearchView, {.expertId = expert});
    click("frmExpertListDis", "cmdProjects");
    EXPECT_EQ(app.state.nav.CurrentScreen, 22);
    EXPECT_EQ(find<QLabel>(form, "labPath")->text(), "专家高级检索 -> 查看 -> 参与项目");
}

}   // namespace

TEST_F(ProjectScreens, ThePrintedRecordCarriesItsCheckAndEveryPrintAndExportIsLogged)
{
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec(QStringLiteral("UPDATE expert_msg SET Mobile = '13812345678'"));
    }
    app.reloadAll();
    const QString id = drawAndStore();
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, QStringLiteral("1")));
    QTemporaryDir templates;
    ASSERT_TRUE(CopyReportTemplates(templates.path()));
    app.state.templateDir = templates.path();
    auto log = InstallFakeSpreadsheet(app.state);
    QTemporaryDir desktop;
    host.openScreen(ScreenId::ProjectListView, {.projectId = id});
    const std::optional<ProjectDetail> project = LoadProject(app.state.store, id);
    ASSERT_TRUE(project);
    const DrawRecordLayout &layout = DrawRecordTemplate();
    const auto mobiles = [&] {
        QStringList out;
        const int first = layout.expertsRow - kTemplateDataRows + int(project->rounds.size());
        for (int row = first; row < first + int(project->experts.size()); ++row)
            out << log->text(row, layout.expertColumns[4]);
        return out;
    };
    const auto entries = [&] { return ReadAuditEntries(app.state.store, AuditFilter{}).value(); };

    struct Case {
        const char *button;
        QString kind;
        QString path;   // the file an export writes
        int role;       // of the user who prints
        QString mobile;
    };
    const Case cases[] = {
        {"cmdPreview", AuditKind::Print, {}, 0, "13812345678"},
        {"cmdExcel", AuditKind::Export, desktop.filePath("record.xls"), 2, "138****5678"},
        {"cmdExportCandidates", AuditKind::Export, desktop.filePath("candidates.csv"), 2, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        app.state.session.CurrentUserRole = c.role;
        app.files->nextSavePath = c.path;
        const AuditHead before = ReadAuditHead(app.state.store).value();
        app.messages->clear();
        log->images.clear();
        click("frmProListDis", c.button);
        // The preview holds the screen's buttons until it is closed.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *preview = qobject_cast<ReportPreview *>(w))
                preview->close();
        for (const auto &shown : app.messages->shown)
            EXPECT_NE(shown.icon, MessageService::Icon::Critical) << shown.text.toStdString();
        const AuditEntry last = entries().last();
        EXPECT_EQ(last.seq, before.seq + 1);
        EXPECT_EQ(last.kind, c.kind);
        EXPECT_TRUE(last.subject.contains(id)) << last.subject.toStdString();
        if (!c.path.isEmpty())
            EXPECT_TRUE(last.detail.contains(QJsonValue(c.path).toString())) << last.detail.toStdString();
        if (c.mobile.isEmpty())
            continue;
        // The head the record shows is the one before its own entry.
        EXPECT_EQ(log->footer, LogHeadLine(before));
        for (const QString &mobile : mobiles())
            EXPECT_EQ(mobile, c.mobile);
        ASSERT_EQ(log->images.size(), 1);
        if (!QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
            QTemporaryDir scan;
            const QString png = scan.filePath("qr.png");
            QFile f(png);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(log->images.first().png);
            f.close();
            QProcess zbar;
            zbar.start("zbarimg", {"--raw", "-q", "-Sbinary", png});
            ASSERT_TRUE(zbar.waitForFinished(60000));
            EXPECT_EQ(zbar.readAllStandardOutput(), RecordVerificationText(*project).toUtf8());
        }
    }
}
