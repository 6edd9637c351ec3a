#include "TestApp.h"
#include "data/RecordIds.h"
#include "data/Schema.h"
#include "extraction/frmNewProSelExpert.h"
#include "lists/ListEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kForm = QStringLiteral("frmNewProSelExpert");

class DrawScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = std::make_unique<TestHost>(app.state);
        host->area.show();
    }

    void open() { host->openScreen(ScreenId::Draw); }
    frmNewProSelExpert *screen() { return static_cast<frmNewProSelExpert *>(host->screen(kForm)); }

    template <typename T> T *find(const QString &name)
    {
        T *w = host->find<T>(kForm, name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit *txtDis(int i) { return find<QLineEdit>(ArrayName(QStringLiteral("txtDis"), i)); }
    QLineEdit *txtNum() { return find<QLineEdit>(QStringLiteral("txtNum")); }
    QComboBox *combo(const char *name) { return find<QComboBox>(QString::fromLatin1(name)); }
    QPushButton *button(const char *name) { return find<QPushButton>(QString::fromLatin1(name)); }
    QLabel *label(const QString &name) { return find<QLabel>(name); }
    QLabel *cell(int column, int slot) { return label(ArrayName(QStringLiteral("lab%1").arg(column), slot)); }
    QCheckBox *box(int slot) { return find<QCheckBox>(ArrayName(QStringLiteral("chk"), slot)); }
    QTimer *timer() { return find<QTimer>(QStringLiteral("tmeSelExp")); }

    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void clickLabel(const char *name) { QTest::mouseClick(label(QString::fromLatin1(name)), Qt::LeftButton); }
    void tick(int slot) { QTest::mouseClick(box(slot), Qt::LeftButton); }
    void chooseType(int index) { combo("com_Type")->setCurrentIndex(index); }
    void draw() { click("cmdSearch"); }

    // Names on the page shown.
    QStringList shownNames()
    {
        QStringList names;
        for (int i = 0; i < kRowsPerPage; ++i)
            if (!cell(2, i)->text().isEmpty())
                names << cell(2, i)->text();
        return names;
    }
    static QStringList Column(const TextTable &t, int column)
    {
        QStringList out;
        for (const QStringList &row : t.toLists())
            out << row.value(column);
        return out;
    }
    QStringList candidateIds() { return Column(app.state.draw.CandidateList, 0); }
    QStringList drawIds() { return Column(app.state.draw.DrawList, 0); }

    // Experts straight into the in-memory table the screen reads (fast for
    // long lists); names "专家1", "专家2", ...
    void addMemoryExperts(int n, const QString &status = QStringLiteral("启用"))
    {
        for (int k = 0; k < n; ++k) {
            QStringList row;
            for (int f = 0; f < Schema::ExpertFieldCount; ++f)
                row << QStringLiteral(" ");
            row[Schema::E_Id] = NextRecordId(app.state.store.ExpertTable);
            row[Schema::E_Name] = QStringLiteral("专家%1").arg(app.state.store.ExpertTable.count() + 1);
            row[Schema::E_Status] = status;
            row[Schema::E_Is_temp] = QStringLiteral("正式");
            row[Schema::E_zhicheng_id] = QStringLiteral("01");
            app.state.store.ExpertTable.append(row);
        }
    }

    const FakeMessages::Shown &lastMessage() const { return app.messages->shown.last(); }

    TestApp app;
    std::unique_ptr<TestHost> host;
};

TEST_F(DrawScreen, LoadsWithItsCaptionsAndLists)
{
    open();
    EXPECT_EQ(label("labTitle")->text(), QStringLiteral("抽取专家"));
    EXPECT_EQ(label("labWhere")->text(), QStringLiteral("检索条件："));
    EXPECT_EQ(label("labPath")->text(), QStringLiteral("抽取专家"));
    EXPECT_EQ(host->bannerWidth, 11737);
    EXPECT_EQ(label(QStringLiteral("StatusBar1Panel1"))->text(), QStringLiteral("登录日期: 2026/12/09"));
    const char *captions[] = {"专家姓名：", "职称类别：", "参评专业：", "从事专业：", "职称级别：", "专家性质：",
                              "资格名称：", "抽取类型：", "抽取个数：", "专家编号：", "工作单位："};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(label(ArrayName(QStringLiteral("labDis"), i))->text(), QString::fromUtf8(captions[i]));
    for (int i = 12; i <= 18; ++i) {
        EXPECT_EQ(label(ArrayName(QStringLiteral("labDis"), i))->text(), QStringLiteral("*"));
        EXPECT_EQ(TextColor(label(ArrayName(QStringLiteral("labDis"), i))), kWarningRed);
    }
    EXPECT_EQ(label("Label1")->text(), QStringLiteral(" 序号    姓名     性别    出生时间         工作单位             "
                                                      "   从事专业              资格名称           电话号码"));
    EXPECT_EQ(label("Label1")->palette().color(QPalette::Window).rgb(), kHeadingBack);
    EXPECT_EQ(label("labAll")->text(), QStringLiteral("全选"));
    EXPECT_EQ(button("cmd_OK")->text(), QStringLiteral("确 定"));
    EXPECT_EQ(button("cmd_Back")->text(), QStringLiteral("返 回"));
    EXPECT_EQ(button("cmd_Clear")->text(), QStringLiteral("清 空"));
    EXPECT_EQ(button("cmdSearch")->text(), QStringLiteral("开始抽取"));

    auto items = [](QComboBox *c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    };
    EXPECT_EQ(items(combo("com_Lin")), (QStringList{"全部", "正式", "临时"}));
    EXPECT_EQ(items(combo("com_Type")), (QStringList{"手工抽取", "随机抽取", "滚动按停"}));
    QStringList titles;
    for (const QStringList &row : app.state.store.TitleTypeTable.toLists())
        titles << row.at(1);
    EXPECT_EQ(items(combo("com_Zhicheng")), titles);

    QLabel *number = label("labExpertID");
    EXPECT_TRUE(number->font().bold());
    EXPECT_DOUBLE_EQ(number->font().pointSizeF(), 14.25);
    EXPECT_EQ(TextColor(number), kWarningRed);
    EXPECT_FALSE(timer()->isActive());
}

TEST_F(DrawScreen, EveryActivationStartsEmptyAndManual)
{
    app.addExpert(QStringLiteral("张卫"));
    app.addExpert(QStringLiteral("李明"));
    app.state.draw.DrawList.append({"000009", "旧", "", "", "", "", "", ""});
    open();
    EXPECT_EQ(label("labPage")->text(), QStringLiteral("0/0"));

    txtDis(0)->setText(QStringLiteral("张"));
    combo("com_Lin")->setCurrentIndex(1);
    combo("com_Zhicheng")->setCurrentIndex(1);
    chooseType(1);
    txtNum()->setText(QStringLiteral("1"));
    draw();
    ASSERT_EQ(app.state.draw.CandidateList.count(), 1);

    host->openScreen(ScreenId::DrawHistory);
    open();
    EXPECT_TRUE(app.state.draw.CandidateList.isEmpty());
    EXPECT_EQ(label("labPage")->text(), QStringLiteral("0/0"));
    EXPECT_TRUE(box(0)->isHidden());
    for (const QString &c : screen()->criteria())
        EXPECT_EQ(c, QStringLiteral("NoRecord"));
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(txtDis(i)->text().isEmpty());
    EXPECT_TRUE(txtNum()->text().isEmpty());
    EXPECT_EQ(combo("com_Lin")->currentIndex(), 0);
    EXPECT_EQ(combo("com_Zhicheng")->currentIndex(), 0);
    EXPECT_EQ(combo("com_Type")->currentIndex(), 0);
    EXPECT_EQ(screen()->extractionType(), DrawType::Manual);
    EXPECT_FALSE(txtNum()->isVisible());
    EXPECT_EQ(button("cmdSearch")->text(), QStringLiteral("开始抽取"));
    EXPECT_EQ(drawIds(), QStringList{"000009"});   // the draw list is not touched
}

TEST_F(DrawScreen, ManualDrawListsEnabledExpertsOnlyInIdOrder)
{
    app.addExpert(QStringLiteral("甲"));
    app.addExpert(QStringLiteral("乙"), QStringLiteral("停用"));
    app.addExpert(QStringLiteral("丙"), QStringLiteral("启用"), QStringLiteral("临时"));
    app.addExpert(QStringLiteral("丁"));
    open();
    draw();
    EXPECT_EQ(shownNames(), (QStringList{"甲", "丙", "丁"}));
    EXPECT_EQ(candidateIds(), (QStringList{"000001", "000003", "000004"}));
    EXPECT_EQ(label("labPage")->text(), QStringLiteral("1/1"));
    EXPECT_TRUE(box(2)->isVisible());
    EXPECT_FALSE(box(3)->isVisible());

    // Whatever the criteria, the disabled expert never appears.
    txtDis(0)->setText(QStringLiteral("乙"));
    draw();
    EXPECT_TRUE(app.state.draw.CandidateList.isEmpty());
}

TEST_F(DrawScreen, FieldsFillTheirCriteria)
{
    app.addExpert(QStringLiteral("卫亮"), QStringLiteral("启用"), QStringLiteral("正式"), QStringLiteral("01"));
    app.addExpert(QStringLiteral("孙卫平"), QStringLiteral("启用"), QStringLiteral("临时"), QStringLiteral("02"));
    app.addExpert(QStringLiteral("李华卫"), QStringLiteral("启用"), QStringLiteral("正式"), QStringLiteral("02"));
    app.addExpert(QStringLiteral("赵钱"), QStringLiteral("启用"), QStringLiteral("临时"), QStringLiteral("03"));
    open();

    struct Case {
        const char *what;
        std::function<void()> set;
        QStringList names;
    } cases[] = {
        {"nothing", [] {}, {"卫亮", "孙卫平", "李华卫", "赵钱"}},
        {"name, trimmed", [&] { txtDis(0)->setText(QStringLiteral("  卫 ")); }, {"卫亮", "孙卫平", "李华卫"}},
        {"name as pattern", [&] { txtDis(0)->setText(QStringLiteral("?")); }, {"卫亮", "孙卫平", "李华卫", "赵钱"}},
        {"kind 临时", [&] { combo("com_Lin")->setCurrentIndex(2); }, {"孙卫平", "赵钱"}},
        {"title level, third item", [&] { combo("com_Zhicheng")->setCurrentIndex(2); }, {"孙卫平", "李华卫"}},
        {"title type", [&] { txtDis(1)->setText(QStringLiteral("工程")); }, {"卫亮", "孙卫平", "李华卫", "赵钱"}},
        {"assessed speciality", [&] { txtDis(2)->setText(QStringLiteral("无此专业")); }, {}},
        {"working speciality",
         [&] { txtDis(3)->setText(QStringLiteral("土木")); },
         {"卫亮", "孙卫平", "李华卫", "赵钱"}},
        {"qualification", [&] { txtDis(4)->setText(QStringLiteral("二级")); }, {}},
        {"work unit and kind",
         [&] {
             txtDis(5)->setText(QStringLiteral("建工"));
             combo("com_Lin")->setCurrentIndex(1);
         },
         {"卫亮", "李华卫"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        click("cmd_Clear");
        c.set();
        draw();
        EXPECT_EQ(Column(app.state.draw.CandidateList, 1), c.names);
    }
    EXPECT_EQ(screen()->criteria()[1], QStringLiteral("正式"));
    EXPECT_EQ(screen()->criteria()[7], QStringLiteral("建工"));
    EXPECT_TRUE(screen()->criteria()[5].isEmpty());
}

TEST_F(DrawScreen, ClearEmptiesTheFieldsButKeepsTypeAndList)
{
    addMemoryExperts(3);
    open();
    draw();
    chooseType(1);
    for (int i = 0; i < 6; ++i)
        txtDis(i)->setText(QStringLiteral("x"));
    txtNum()->setText(QStringLiteral("2"));
    combo("com_Lin")->setCurrentIndex(2);
    combo("com_Zhicheng")->setCurrentIndex(3);
    click("cmd_Clear");
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(txtDis(i)->text().isEmpty());
    EXPECT_TRUE(txtNum()->text().isEmpty());
    EXPECT_EQ(combo("com_Lin")->currentIndex(), 0);
    EXPECT_EQ(combo("com_Zhicheng")->currentIndex(), 0);
    EXPECT_EQ(combo("com_Type")->currentIndex(), 1);
    EXPECT_EQ(shownNames().size(), 3);
}

TEST_F(DrawScreen, ConfirmingOnPageTwoTakesCandidatesElevenToTwenty)
{
    addMemoryExperts(25);
    open();
    draw();
    clickLabel("labNext");
    ASSERT_EQ(label("labPage")->text(), QStringLiteral("2/3"));
    tick(0);
    tick(9);
    ASSERT_TRUE(box(0)->isChecked());
    click("cmd_OK");

    EXPECT_EQ(drawIds(), (QStringList{"000011", "000020"}));
    EXPECT_EQ(app.state.draw.DrawList.row(0).size(), 8);
    EXPECT_EQ(app.state.draw.DrawList.row(0).at(1), QStringLiteral("专家11"));
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_EQ(app.state.nav.CurrentScreen, 13);
}

TEST_F(DrawScreen, ConfirmingWithNothingTickedChangesNothing)
{
    addMemoryExperts(3);
    app.state.draw.DrawList.append({"000009", "旧", "", "", "", "", "", ""});
    open();
    draw();
    click("cmd_OK");
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(lastMessage().text, QStringLiteral("请您至少选择一条记录！"));
    EXPECT_EQ(lastMessage().title, QStringLiteral("Kestrune"));
    EXPECT_EQ(lastMessage().icon, MessageService::Icon::Information);
    EXPECT_EQ(drawIds(), QStringList{"000009"});
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
    EXPECT_EQ(app.state.nav.CurrentScreen, 15);
}

// The rows of the draw-list life cycle that belong to this screen.
TEST_F(DrawScreen, DrawListLifeCycle)
{
    addMemoryExperts(3);
    struct Case {
        const char *event;
        bool confirm;   // otherwise "返 回"
        bool unsavedBefore;
        QStringList ids;
        bool unsavedAfter;
    } cases[] = {
        {"confirmation, nothing unsaved", true, false, {"000002"}, true},
        {"confirmation, picks unsaved", true, true, {"000009", "000002"}, true},
        {"back, nothing unsaved", false, false, {}, false},
        {"back, picks unsaved", false, true, {"000009"}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.event);
        app.state.draw.DrawList.clear();
        app.state.draw.DrawList.append({"000009", "旧", "", "", "", "", "", ""});
        app.state.draw.DrawUnsaved = c.unsavedBefore;
        open();
        draw();
        if (c.confirm) {
            tick(1);
            click("cmd_OK");
        } else {
            click("cmd_Back");
        }
        EXPECT_EQ(drawIds(), c.ids);
        EXPECT_EQ(app.state.draw.DrawUnsaved, c.unsavedAfter);
        EXPECT_EQ(app.state.nav.CurrentScreen, 13);
    }
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_F(DrawScreen, PicksAreKeptWhicheverScreenWasOpenedLast)
{
    addMemoryExperts(3);
    open();
    draw();
    tick(2);
    // Another screen was opened through the panel; the draw screen is still
    // there with its ticked row.
    app.state.nav.CurrentScreen = 16;
    click("cmd_OK");
    EXPECT_EQ(drawIds(), QStringList{"000003"});
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_EQ(app.state.nav.CurrentScreen, 13);
}

TEST_F(DrawScreen, AnExpertConfirmedTwiceKeepsOneRow)
{
    addMemoryExperts(4);
    open();
    draw();
    tick(1);
    click("cmd_OK");

    open();
    app.state.store.ExpertTable.setCell(1, Schema::E_Mobile, QStringLiteral("13911112222"));
    draw();
    tick(3);
    tick(1);
    click("cmd_OK");
    EXPECT_EQ(drawIds(), (QStringList{"000002", "000004"}));
    EXPECT_EQ(app.state.draw.DrawList.row(0).at(7), QStringLiteral("13911112222"));   // refreshed in place
}

TEST_F(DrawScreen, RandomCountChecksComeFirstAndLeaveEverythingAlone)
{
    addMemoryExperts(3);
    addMemoryExperts(1, QStringLiteral("停用"));   // four experts stored, three candidates
    open();
    draw();
    ASSERT_EQ(candidateIds().size(), 3);
    const SelectionCriteria before = screen()->criteria();
    chooseType(1);

    struct Case {
        const char *text;
        const char *message;
        MessageService::Icon icon;
    } cases[] = {
        {"", "请输入抽取个数！", MessageService::Icon::Information},
        {"  ", "请输入抽取个数！", MessageService::Icon::Information},
        {"abc", "请输入抽取个数！", MessageService::Icon::Information},   // pasted, not a number
        {"0", "抽取个数至少为1。", MessageService::Icon::Critical},
        {"-2", "抽取个数至少为1。", MessageService::Icon::Critical},
        {"5", "抽取个数已超过本数据库所存的专家人数。", MessageService::Icon::Critical},
        {"123456789012345678901234567890", "抽取个数已超过本数据库所存的专家人数。", MessageService::Icon::Critical},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        app.messages->clear();
        txtNum()->setText(QString::fromUtf8(c.text));
        txtDis(0)->setText(QStringLiteral("无人匹配"));   // would empty the list if it were read
        draw();
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(lastMessage().text, QString::fromUtf8(c.message));
        EXPECT_EQ(lastMessage().title, QStringLiteral("Kestrune"));
        EXPECT_EQ(lastMessage().icon, c.icon);
        EXPECT_EQ(candidateIds().size(), 3);
        EXPECT_EQ(shownNames().size(), 3);
        EXPECT_EQ(screen()->criteria(), before);
    }

    // Above the number of candidates but not of experts: everyone, no message.
    app.messages->clear();
    txtDis(0)->clear();
    txtNum()->setText(QStringLiteral("4"));
    draw();
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_EQ(candidateIds(), (QStringList{"000001", "000002", "000003"}));
}

TEST_F(DrawScreen, FocusGoesToTheNameOnActivationAndToTheCountAfterACountMessage)
{
    // Focus moves are only seen in the active window.
    host->area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host->area));
    addMemoryExperts(2);
    open();
    EXPECT_TRUE(txtDis(0)->hasFocus());

    chooseType(1);
    for (const char *text : {"", "0", "3"}) {
        SCOPED_TRACE(text);
        txtDis(2)->setFocus();
        txtNum()->setText(QString::fromUtf8(text));
        draw();
        EXPECT_TRUE(txtNum()->hasFocus());
    }

    txtDis(3)->setFocus();
    host->openScreen(ScreenId::DrawHistory);
    open();
    EXPECT_TRUE(txtDis(0)->hasFocus());
}

TEST_F(DrawScreen, RandomDrawOfAtLeastAllCandidatesListsThemInTableOrder)
{
    addMemoryExperts(6);
    addMemoryExperts(1, QStringLiteral("停用"));   // seven stored, six candidates
    open();
    chooseType(1);
    txtDis(0)->setText(QStringLiteral("专家"));
    app.random->script.append({0.99, 0.5});
    for (const char *n : {"6", "7"}) {
        txtNum()->setText(QString::fromLatin1(n));
        draw();
        EXPECT_EQ(candidateIds(), (QStringList{"000001", "000002", "000003", "000004", "000005", "000006"}));
    }
    EXPECT_EQ(app.random->script.size(), 2);   // no number was drawn

    // No candidate at all: an empty list, no message.
    txtDis(0)->setText(QStringLiteral("无人匹配"));
    txtNum()->setText(QStringLiteral("1"));
    draw();
    EXPECT_TRUE(app.state.draw.CandidateList.isEmpty());
    EXPECT_EQ(label("labPage")->text(), QStringLiteral("0/0"));
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_F(DrawScreen, RandomDrawListsDistinctPicksInTheOrderDrawn)
{
    addMemoryExperts(10);
    open();
    chooseType(1);
    txtNum()->setText(QStringLiteral("3"));
    // Each random draw takes a fresh seed and draws with mt19937_64 from it:
    // seed 2034 over ten candidates gives indexes 6, 8 and 1, two repeated
    // indexes having been drawn again on the way.
    app.random->seeds.append(2034);
    draw();
    EXPECT_EQ(candidateIds(), (QStringList{"000007", "000009", "000002"}));
    EXPECT_EQ(shownNames(), (QStringList{"专家7", "专家9", "专家2"}));
    EXPECT_EQ(label("labPage")->text(), QStringLiteral("1/1"));
    EXPECT_TRUE(app.random->seeds.isEmpty());
    ASSERT_TRUE(screen()->roundOnShow());
    EXPECT_EQ(screen()->roundOnShow()->seed, std::optional<quint64>(2034));
    EXPECT_EQ(screen()->roundOnShow()->picks, (QVector<qsizetype>{6, 8, 1}));

    // The drawn rows are confirmed like any others.
    tick(1);
    click("cmd_OK");
    EXPECT_EQ(drawIds(), QStringList{"000009"});
}

TEST_F(DrawScreen, EveryCandidateCanBeDrawn)
{
    addMemoryExperts(4);
    open();
    chooseType(1);
    QHash<QString, int> seen;
    const int draws = 400;
    for (int i = 0; i < draws; ++i) {
        txtNum()->setText(QStringLiteral("1"));
        draw();
        ASSERT_EQ(app.state.draw.CandidateList.count(), 1);
        ++seen[app.state.draw.CandidateList.cell(0, 0).toString()];
    }
    ASSERT_EQ(seen.size(), 4);
    for (int count : seen)
        EXPECT_NEAR(count, draws / 4, 40);   // about ±4 standard deviations
}

TEST_F(DrawScreen, CountBoxTakesDigitsAndBackspaceOnly)
{
    open();
    chooseType(1);
    QLineEdit *num = txtNum();
    QTest::keyClicks(num, QStringLiteral("1a2-. b3"));
    EXPECT_EQ(num->text(), QStringLiteral("123"));
    QTest::keyClick(num, Qt::Key_Backspace);
    EXPECT_EQ(num->text(), QStringLiteral("12"));
    QTest::keyClick(num, Qt::Key_Left);
    QTest::keyClick(num, '9');
    EXPECT_EQ(num->text(), QStringLiteral("192"));
}

TEST_F(DrawScreen, TypeShowsAndHidesItsControls)
{
    open();
    struct Case {
        int index;
        DrawType type;
        bool count, number;
        const char *caption;
    } cases[] = {
        {1, DrawType::Random, true, false, "开始抽取"},
        {2, DrawType::Rolling, false, true, "开 始"},
        {0, DrawType::Manual, false, false, "开始抽取"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        txtNum()->setText(QStringLiteral("7"));
        label("labExpertID")->setText(QStringLiteral("000001"));
        chooseType(c.index);
        EXPECT_EQ(screen()->extractionType(), c.type);
        EXPECT_EQ(label("labDis(8)")->isVisible(), c.count);
        EXPECT_EQ(txtNum()->isVisible(), c.count);
        EXPECT_EQ(label("labDis(9)")->isVisible(), c.number);
        EXPECT_EQ(label("labExpertID")->isVisible(), c.number);
        EXPECT_EQ(button("cmdSearch")->text(), QString::fromUtf8(c.caption));
        EXPECT_EQ(txtNum()->text().isEmpty(), c.type == DrawType::Random);
        EXPECT_EQ(label("labExpertID")->text().isEmpty(), c.type == DrawType::Rolling);
    }
}

TEST_F(DrawScreen, ChoosingTheTypeOnShowAgainHasItsEffectsAgain)
{
    open();
    QComboBox *type = combo("com_Type");
    auto chooseFromList = [&](int index) {
        // What the list reports when the user picks an item, even the one on show.
        type->setCurrentIndex(index);
        Q_EMIT type->activated(index);
    };
    chooseFromList(1);
    txtNum()->setText(QStringLiteral("7"));
    chooseFromList(1);
    EXPECT_TRUE(txtNum()->text().isEmpty());
    EXPECT_EQ(screen()->extractionType(), DrawType::Random);

    chooseFromList(2);
    label("labExpertID")->setText(QStringLiteral("000001"));
    chooseFromList(2);
    EXPECT_TRUE(label("labExpertID")->text().isEmpty());
    EXPECT_EQ(button("cmdSearch")->text(), QStringLiteral("开 始"));
}

class RollingDraw : public DrawScreen {
protected:
    void expectRollingControls(bool rolling)
    {
        EXPECT_EQ(screen()->isRolling(), rolling);
        EXPECT_EQ(timer()->isActive(), rolling);
        EXPECT_EQ(button("cmdSearch")->text(), rolling ? QStringLiteral("结 束") : QStringLiteral("开 始"));
        EXPECT_EQ(combo("com_Type")->isEnabled(), !rolling);
        EXPECT_EQ(button("cmd_Clear")->isEnabled(), !rolling);
        EXPECT_EQ(button("cmd_OK")->isEnabled(), !rolling);
        EXPECT_EQ(button("cmd_Back")->isEnabled(), !rolling);
        EXPECT_TRUE(button("cmdSearch")->isEnabled());
    }
};

TEST_F(RollingDraw, StartTicksAndStopTakeTheNumberLastShown)
{
    addMemoryExperts(6);
    open();
    draw();   // manual: the list shows six rows
    chooseType(2);
    txtDis(0)->setText(QStringLiteral("专家"));
    draw();
    expectRollingControls(true);
    EXPECT_EQ(timer()->interval(), 50);
    EXPECT_EQ(shownNames().size(), 6);   // the list area is not redrawn at the start

    app.random->script.append({0.5, 0.1});
    screen()->tmeSelExp_Timer();
    EXPECT_EQ(label("labExpertID")->text(), QStringLiteral("000004"));
    screen()->tmeSelExp_Timer();
    EXPECT_EQ(label("labExpertID")->text(), QStringLiteral("000001"));

    // Disabled controls ignore the user while rolling.
    QTest::mouseClick(button("cmd_Back"), Qt::LeftButton);
    EXPECT_EQ(app.state.nav.CurrentScreen, 15);

    draw();
    expectRollingControls(false);
    EXPECT_EQ(candidateIds(), QStringList{"000001"});
    EXPECT_EQ(shownNames(), QStringList{"专家1"});
    EXPECT_EQ(label("labExpertID")->text(), QStringLiteral("000001"));
    EXPECT_EQ(label("labPage")->text(), QStringLiteral("1/1"));

    tick(0);
    click("cmd_OK");
    EXPECT_EQ(drawIds(), QStringList{"000001"});
}

TEST_F(RollingDraw, TheTimerRollsTheNumbersOnItsOwn)
{
    addMemoryExperts(3);
    open();
    chooseType(2);
    draw();
    QTRY_VERIFY_WITH_TIMEOUT(!label("labExpertID")->text().isEmpty(), 2000);
    const QString shown = label("labExpertID")->text();
    EXPECT_TRUE(QStringList({"000001", "000002", "000003"}).contains(shown));
    draw();
    EXPECT_EQ(candidateIds().size(), 1);
    EXPECT_EQ(label("labExpertID")->text(), candidateIds().first());
}

TEST_F(RollingDraw, NoCandidatesNoRoll)
{
    addMemoryExperts(3);
    open();
    draw();   // three rows on show
    chooseType(2);
    txtDis(0)->setText(QStringLiteral("无人匹配"));
    draw();
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(lastMessage().title, QStringLiteral("Kestrune"));
    EXPECT_EQ(lastMessage().icon, MessageService::Icon::Information);
    EXPECT_FALSE(lastMessage().text.isEmpty());
    expectRollingControls(false);
    EXPECT_TRUE(label("labExpertID")->text().isEmpty());
    EXPECT_TRUE(app.state.draw.CandidateList.isEmpty());
    EXPECT_EQ(label("labPage")->text(), QStringLiteral("0/0"));

    // A stray tick shows nothing, and nothing blank can be confirmed.
    screen()->tmeSelExp_Timer();
    EXPECT_TRUE(label("labExpertID")->text().isEmpty());
    click("cmd_OK");
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("请您至少选择一条记录！"));
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
}

TEST_F(RollingDraw, StopBeforeTheFirstTickTakesAFreshCandidateOfTheCurrentList)
{
    addMemoryExperts(5);
    open();
    chooseType(2);
    draw();
    app.random->script.append({0.9});   // index 4 of five
    screen()->tmeSelExp_Timer();
    draw();
    ASSERT_EQ(candidateIds(), QStringList{"000005"});

    // Now only two candidates; stopped at once, index 4 would lie outside.
    txtDis(0)->setText(QStringLiteral("专家[12]"));
    draw();
    app.random->script.append({0.6});
    draw();
    EXPECT_EQ(candidateIds(), QStringList{"000002"});
    EXPECT_EQ(label("labExpertID")->text(), QStringLiteral("000002"));
    EXPECT_TRUE(app.random->script.isEmpty());
}

TEST_F(RollingDraw, ActivationEndsARollWithoutAPick)
{
    addMemoryExperts(4);
    app.state.draw.DrawList.append({"000009", "旧", "", "", "", "", "", ""});
    app.state.draw.DrawUnsaved = true;
    open();
    chooseType(2);
    draw();
    screen()->tmeSelExp_Timer();
    ASSERT_TRUE(screen()->isRolling());

    open();
    EXPECT_FALSE(screen()->isRolling());
    EXPECT_FALSE(timer()->isActive());
    EXPECT_TRUE(combo("com_Type")->isEnabled());
    EXPECT_TRUE(button("cmd_Clear")->isEnabled());
    EXPECT_TRUE(button("cmd_OK")->isEnabled());
    EXPECT_TRUE(button("cmd_Back")->isEnabled());
    EXPECT_EQ(screen()->extractionType(), DrawType::Manual);
    EXPECT_EQ(button("cmdSearch")->text(), QStringLiteral("开始抽取"));
    EXPECT_TRUE(app.state.draw.CandidateList.isEmpty());
    EXPECT_EQ(drawIds(), QStringList{"000009"});
}

}   // namespace
