#include "TestApp.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "extraction/CandidateFilter.h"
#include "extraction/frmNewPro.h"
#include "lists/ListEngine.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

// The result screen with the two screens it opens standing in as plain screens.
ScreenRegistry ResultRegistry()
{
    ScreenRegistry r = AllScreens().only({Form::frmNewPro, Form::frmExpertHistory});
    for (const Form form : {Form::frmNewProSelExpert, Form::frmNewExpert})
        r.add(form, [form](AppState &s, ScreenNavigator &n, QWidget *p) { return new ChildScreen(s, n, form, p); });
    return r;
}

QStringList DrawRow(int n)
{
    const QString id = QStringLiteral("%1").arg(100 + n, 6, 10, QLatin1Char('0'));
    return {id, QStringLiteral("专家%1").arg(n), "男", "1970-01-01", "单位", "土木工程", "一级建造师", "138"};
}

struct SelRecord {
    QString id, date, expert;
    bool operator==(const SelRecord &) const = default;
};
void PrintTo(const SelRecord &r, std::ostream *os) { *os << qPrintable(r.id + " " + r.date + " " + r.expert); }

class ResultScreenTest : public ::testing::Test {
public:   // the change table below drives the fixture
    TestApp app;
    AppState &state = app.state;
    TestHost host{state, ResultRegistry()};

    void SetUp() override { host.area.show(); }

    // Stands in for a draw: n confirmed experts waiting to be stored. As on
    // the draw screen, a confirmation after a save begins a new draw.
    void draw(int n, int first = 1)
    {
        if (!state.draw.DrawUnsaved)
            state.draw.StartNewDraw();
        state.draw.DrawList.clear();
        for (int i = first; i < first + n; ++i)
            state.draw.DrawList.append(DrawRow(i));
        state.draw.DrawUnsaved = true;
    }
    void open() { host.openScreen(ScreenId::DrawResult); }

    template <typename T> T *control(const QString &name) { return host.find<T>("frmNewPro", name); }
    QLabel *label(const QString &name) { return control<QLabel>(name); }
    QLabel *cell(int column, int slot) { return label(ArrayName(QStringLiteral("lab%1").arg(column), slot)); }
    QLabel *deleteLink(int slot) { return label(ArrayName("labOP_1", slot)); }
    QPushButton *button(const char *name) { return control<QPushButton>(QString::fromLatin1(name)); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void clickLabel(QLabel *l) { QTest::mouseClick(l, Qt::LeftButton); }

    QList<SelRecord> storedSelections()
    {
        Connection conn = OpenDataFile(state.store);
        Statement st = conn.prepare("SELECT Id, Sel_data, Expert_Id FROM sel_expert ORDER BY Id");
        QList<SelRecord> out;
        while (st.step())
            out.append({st.text(0), st.text(1), st.text(2)});
        return out;
    }
};

TEST_F(ResultScreenTest, ActivationListsTheDrawListWithDeleteLinks)
{
    draw(3);
    open();
    EXPECT_EQ(label("labPath")->text(), QStringLiteral("抽取专家 -> 抽取专家结果"));
    EXPECT_EQ(host.bannerWidth, 11895);
    EXPECT_EQ(label("labPage")->text(), "1/1");
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(cell(1, slot)->text(), QString::number(slot + 1));
        EXPECT_EQ(cell(2, slot)->text(), DrawRow(slot + 1)[1]);
        EXPECT_EQ(cell(8, slot)->text(), "138");
        EXPECT_TRUE(deleteLink(slot)->isVisible());
        EXPECT_EQ(deleteLink(slot)->text(), QStringLiteral("[删除]"));
    }
    EXPECT_FALSE(deleteLink(3)->isVisible());
    for (const char *name : {"cmdSelExpert", "cmdNewLinExp", "cmdSave", "cmdPreview", "cmdExcel"})
        EXPECT_TRUE(button(name)->isEnabled()) << name;
    EXPECT_EQ(button("cmdSave")->text(), QStringLiteral("完成"));
    EXPECT_EQ(button("cmdPreview")->text(), QStringLiteral("打印预览"));
    EXPECT_EQ(button("cmdExcel")->text(), QStringLiteral("导出Excel"));
    EXPECT_EQ(button("cmdSelExpert")->text(), QStringLiteral("继续抽取专家"));
    EXPECT_EQ(button("cmdNewLinExp")->text(), QStringLiteral("新建临时专家"));
    EXPECT_EQ(label("labTitle")->text(), QStringLiteral("抽取专家结果"));
    EXPECT_EQ(label("labTitleRet")->text(), QStringLiteral("抽取结果"));
    EXPECT_EQ(
        label("Label1")->text(),
        QStringLiteral(" 序号    姓名     性别    出生时间         工作单位                 从事专业                "
                       "资格名称           电话号码     操作"));
    EXPECT_EQ(label("Label1")->palette().color(QPalette::Window).rgb(), kHeadingBack);
    EXPECT_EQ(label("StatusBar1Panel1")->text(), QStringLiteral("登录日期: 2026/12/09"));
    const char *links[] = {"labFirst", "首页", "labPre", "上一页", "labNext", "下一页", "labLast", "尾页"};
    for (int i = 0; i < 8; i += 2)
        EXPECT_EQ(label(QString::fromLatin1(links[i]))->text(), QString::fromUtf8(links[i + 1]));
    // No row ticks on this list.
    EXPECT_EQ(host.find<QWidget>("frmNewPro", "chkAll"), nullptr);
}

TEST_F(ResultScreenTest, DeletingOnPageTwoRemovesThatRowAndShowsPageOne)
{
    draw(15);
    open();
    clickLabel(label("labNext"));
    ASSERT_EQ(label("labPage")->text(), "2/2");

    app.messages->answers.enqueue(false);
    clickLabel(deleteLink(2));
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("您确定删除吗？"));
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Question);
    EXPECT_EQ(state.draw.DrawList.count(), 15);
    EXPECT_EQ(label("labPage")->text(), "2/2");

    app.messages->answers.enqueue(true);
    clickLabel(deleteLink(2));
    ASSERT_EQ(state.draw.DrawList.count(), 14);
    EXPECT_EQ(state.paging.SelectedRow, 0);   // the list was shown again
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(state.draw.DrawList.cell(i, 0), DrawRow(i < 12 ? i + 1 : i + 2)[0]) << i;
    EXPECT_EQ(label("labPage")->text(), "1/2");
    EXPECT_TRUE(state.draw.DrawUnsaved);
}

TEST_F(ResultScreenTest, DeletingTheOnlyRowLeavesNothingToStore)
{
    draw(1);
    open();
    clickLabel(deleteLink(0));
    EXPECT_TRUE(state.draw.DrawList.isEmpty());
    EXPECT_EQ(label("labPage")->text(), "0/0");
    EXPECT_FALSE(deleteLink(0)->isVisible());
    EXPECT_TRUE(state.draw.DrawUnsaved);

    click("cmdSave");
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("请进行专家抽取。"));
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Information);
    EXPECT_EQ(app.countRows("sel_expert"), 0);
}

TEST_F(ResultScreenTest, SavingStoresOneDatedRecordPerRowWithConsecutiveIds)
{
    app.clock->date = QDate(2027, 3, 4);
    draw(3);
    open();
    click("cmdSave");

    EXPECT_EQ(storedSelections(), (QList<SelRecord>{{"000001", "2027-03-04", DrawRow(1)[0]},
                                                    {"000002", "2027-03-04", DrawRow(2)[0]},
                                                    {"000003", "2027-03-04", DrawRow(3)[0]}}));
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("增加成功。"));
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Information);
    EXPECT_FALSE(state.draw.DrawUnsaved);
    EXPECT_EQ(state.store.SelectionTable.count(), 3);
    // The stored draw stays listed for printing.
    EXPECT_EQ(state.draw.DrawList.count(), 3);
    EXPECT_EQ(cell(2, 2)->text(), DrawRow(3)[1]);
    EXPECT_FALSE(button("cmdSelExpert")->isEnabled());
    EXPECT_FALSE(button("cmdNewLinExp")->isEnabled());
    EXPECT_TRUE(button("cmdSave")->isEnabled());

    open();   // activated again
    EXPECT_TRUE(button("cmdSelExpert")->isEnabled());
    EXPECT_TRUE(button("cmdNewLinExp")->isEnabled());

    // The next draw's numbers follow the records just written.
    draw(2, 10);
    open();
    click("cmdSave");
    const QList<SelRecord> all = storedSelections();
    ASSERT_EQ(all.size(), 5);
    EXPECT_EQ(all[3], (SelRecord{"000004", "2027-03-04", DrawRow(10)[0]}));
    EXPECT_EQ(all[4], (SelRecord{"000005", "2027-03-04", DrawRow(11)[0]}));
}

TEST_F(ResultScreenTest, NumbersFollowTheHighestRecordOfTheFile)
{
    struct Case {
        const char *name;
        QStringList inFile;     // record numbers in the file
        QStringList cached;     // what this program last loaded
        QStringList expected;   // numbers of the two new records
    };
    const Case cases[] = {
        {"cache current", {"000001", "000041"}, {"000001", "000041"}, {"000042", "000043"}},
        // Another program stored records since this one loaded the table.
        {"cache stale", {"000001", "000041"}, {"000001"}, {"000042", "000043"}},
        // As text "999999" sorts after "1000000"; as numbers it is below.
        {"past a million", {"999999", "1000000"}, {"1000000", "999999"}, {"1000001", "1000002"}},
        {"below a million", {"000007"}, {}, {"000008", "000009"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        {
            Connection conn = OpenDataFile(state.store);
            conn.exec("DELETE FROM sel_expert");
            for (const QString &id : c.inFile) {
                Statement add = conn.prepare("INSERT INTO sel_expert VALUES (?, '2026-01-01', '000001')");
                add.bind(1, id);
                add.step();
            }
        }
        state.store.SelectionTable.clear();
        for (const QString &id : c.cached)
            state.store.SelectionTable.append({id, "2026-01-01", "000001"});
        draw(2);
        open();
        click("cmdSave");
        EXPECT_EQ(app.messages->lastText(), QStringLiteral("增加成功。"));
        const QList<SelRecord> all = storedSelections();
        QStringList added;
        for (const SelRecord &r : all)
            if (r.expert != "000001")
                added << r.id;
        EXPECT_EQ(added, c.expected);
    }
}

TEST_F(ResultScreenTest, SecondPressWithoutChangeStoresNothing)
{
    draw(2);
    open();
    click("cmdSave");
    ASSERT_EQ(app.countRows("sel_expert"), 2);

    click("cmdSave");
    EXPECT_EQ(app.countRows("sel_expert"), 2);
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("本次抽取结果已保存。"));

    open();   // coming back to the screen is not a change either
    click("cmdSave");
    EXPECT_EQ(app.countRows("sel_expert"), 2);
}

// After a save, "完成" stores only what is new: a new draw as a new project
// (asking for it), a temporary expert into the same project (without
// asking), and nothing at all when a stored row was only deleted from view.
struct ChangeAfterSave {
    const char *name;
    std::function<void(ResultScreenTest &)> apply;
    QList<int> storedRows;   // DrawRow numbers of the second save, in order
    int projects;            // projects in the file afterwards
};

class ResultScreenChangeTest : public ResultScreenTest, public ::testing::WithParamInterface<ChangeAfterSave> {};

TEST_P(ResultScreenChangeTest, StoresOnlyWhatIsNotStoredYet)
{
    draw(3);
    open();
    click("cmdSave");
    ASSERT_EQ(app.countRows("sel_expert"), 3);
    ASSERT_EQ(app.dialogs->shown, QStringList{"frmProject"});

    GetParam().apply(*this);
    click("cmdSave");
    const bool stored = !GetParam().storedRows.isEmpty();
    EXPECT_EQ(app.messages->lastText(), stored ? QStringLiteral("增加成功。") : QStringLiteral("本次抽取结果已保存。"));
    EXPECT_FALSE(state.draw.DrawUnsaved);
    const QList<SelRecord> all = storedSelections();
    ASSERT_EQ(all.size(), 3 + GetParam().storedRows.size());
    for (int i = 0; i < GetParam().storedRows.size(); ++i) {
        EXPECT_EQ(all[3 + i].id, QStringLiteral("%1").arg(4 + i, 6, 10, QLatin1Char('0')));
        EXPECT_EQ(all[3 + i].expert, DrawRow(GetParam().storedRows[i])[0]);
    }
    // The rows stored first stay stored, also those deleted from the list since.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(all[i].expert, DrawRow(i + 1)[0]);
    EXPECT_EQ(app.countRows("draw_project"), GetParam().projects);
    EXPECT_EQ(app.dialogs->shown.size(), GetParam().projects);
    EXPECT_EQ(app.countRows("draw_expert"), all.size());
    // ... and a press right after that stores nothing again.
    click("cmdSave");
    EXPECT_EQ(app.countRows("sel_expert"), all.size());
}

// As the temporary-expert editor does: it appends its row and its round and
// opens the screen again.
void AddTemporaryExpert(ResultScreenTest &t)
{
    t.state.draw.DrawList.append(DrawRow(50));
    t.state.draw.DrawRecord.rounds.append(TemporaryRound(DrawRow(50), QDateTime(t.state.today(), QTime(10, 0))));
    t.open();
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ResultScreenChangeTest,
    ::testing::Values(ChangeAfterSave{"RowDeleted", [](ResultScreenTest &t) { t.clickLabel(t.deleteLink(0)); }, {}, 1},
                      ChangeAfterSave{"TemporaryExpertAdded", AddTemporaryExpert, {50}, 1},
                      ChangeAfterSave{"RowDeletedAndTemporaryExpertAdded",
                                      [](ResultScreenTest &t) {
                                          t.clickLabel(t.deleteLink(1));
                                          AddTemporaryExpert(t);
                                      },
                                      {50},
                                      1},
                      ChangeAfterSave{"StoredExpertPickedAgainWithANewOne",
                                      [](ResultScreenTest &t) {
                                          // More picks while the draw goes on: a stored expert
                                          // picked again is merged into its row, not stored twice.
                                          t.state.draw.DrawUnsaved = true;
                                          TextTable picks;
                                          picks.append(DrawRow(2));
                                          picks.append(DrawRow(60));
                                          MergePicks(t.state.draw.DrawList, picks);
                                          t.open();
                                      },
                                      {60},
                                      1},
                      ChangeAfterSave{"SameExpertsConfirmedAgain",
                                      [](ResultScreenTest &t) {
                                          // A new confirmation is a new draw, even of the same experts.
                                          t.draw(3);
                                          t.open();
                                      },
                                      {1, 2, 3},
                                      2}),
    [](const ::testing::TestParamInfo<ChangeAfterSave> &info) { return std::string(info.param.name); });

TEST_F(ResultScreenTest, FailedSaveWritesNothingAndKeepsTheDraw)
{
    // The second record of the draw cannot be written (the engine refuses
    // it as a failing disk would), after the first one was.
    app.addSelection("2026-01-01", "000001");
    {
        Connection conn = OpenDataFile(state.store);
        conn.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON sel_expert WHEN NEW.Expert_Id = '%1' "
                                 "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END")
                      .arg(DrawRow(2)[0]));
    }
    draw(3);
    open();
    click("cmdSave");

    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
    EXPECT_EQ(app.messages->shown.last().title, QStringLiteral("Kestrune"));
    EXPECT_FALSE(app.messages->lastText().isEmpty());
    EXPECT_FALSE(app.messages->texts().contains(QStringLiteral("增加成功。")));
    EXPECT_EQ(storedSelections().size(), 1);   // 000002 was rolled back with the rest
    EXPECT_TRUE(state.draw.DrawUnsaved);
    EXPECT_EQ(state.draw.DrawList.count(), 3);
    EXPECT_TRUE(button("cmdSelExpert")->isEnabled());
    EXPECT_TRUE(button("cmdNewLinExp")->isEnabled());

    // Once the disk works again the whole draw is stored, none of it twice.
    OpenDataFile(state.store).exec("DROP TRIGGER refuse");
    click("cmdSave");
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("增加成功。"));
    EXPECT_EQ(storedSelections().size(), 4);
}

TEST_F(ResultScreenTest, ButtonsOpenTheDrawScreenAndTheEditor)
{
    draw(1);
    open();
    click("cmdSelExpert");
    EXPECT_EQ(state.nav.CurrentScreen, 15);
    ASSERT_TRUE(host.frontScreen());
    EXPECT_EQ(host.frontScreen()->objectName(), "frmNewProSelExpert");

    open();
    click("cmdNewLinExp");
    EXPECT_EQ(state.nav.CurrentScreen, 14);
    EXPECT_EQ(host.frontScreen()->objectName(), "frmNewExpert");
    // Going elsewhere does not touch the draw.
    EXPECT_EQ(state.draw.DrawList.count(), 1);
    EXPECT_TRUE(state.draw.DrawUnsaved);
}

TEST_F(ResultScreenTest, ReportControlsAreTheOnesAReportDisables)
{
    open();
    auto *screen = static_cast<frmNewPro *>(host.screen("frmNewPro"));
    QStringList names;
    for (QWidget *w : screen->reportControls())
        names << w->objectName();
    EXPECT_EQ(names, (QStringList{"cmdSelExpert", "cmdNewLinExp", "cmdSave", "cmdPreview", "cmdExcel"}));
    EXPECT_EQ(screen->previewButton(), button("cmdPreview"));
    EXPECT_EQ(screen->excelButton(), button("cmdExcel"));
}

TEST_F(ResultScreenTest, ReportButtonsPrintTheDrawList)
{
    struct Case {
        int rows;
        const char *button;
        QString message;
        MessageService::Icon icon;
    } cases[] = {
        {0, "cmdPreview", QStringLiteral("请进行专家抽取。"), MessageService::Icon::Information},
        {0, "cmdExcel", QStringLiteral("请进行专家抽取。"), MessageService::Icon::Information},
        // The test folder has no templates.
        {2, "cmdPreview", QStringLiteral("模板文件“SelExpert_Plate.xls”不存在！"), MessageService::Icon::Critical},
        {2, "cmdExcel", QStringLiteral("模板文件“SelExpert_Plate.xls”不存在！"), MessageService::Icon::Critical},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, " << c.button);
        draw(c.rows);
        open();
        app.messages->clear();
        click(c.button);
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->lastText(), c.message);
        EXPECT_EQ(app.messages->shown.last().icon, c.icon);
        EXPECT_TRUE(button("cmdSave")->isEnabled());
    }
}

TEST_F(ResultScreenTest, TemporaryExpertComesBackAsTheLastRow)
{
    draw(11);
    open();
    click("cmdNewLinExp");
    state.draw.DrawList.append(DrawRow(99));   // what the editor does after saving
    open();
    EXPECT_EQ(label("labPage")->text(), "1/2");
    clickLabel(label("labLast"));
    EXPECT_EQ(cell(1, 1)->text(), "12");
    EXPECT_EQ(cell(2, 1)->text(), DrawRow(99)[1]);
}

}   // namespace
