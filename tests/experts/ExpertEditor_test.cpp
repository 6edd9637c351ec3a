#include "TestApp.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/ExpertRecord.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace Schema;

namespace {

const QString kNew = QStringLiteral("frmNewExpert");
const QString kUpd = QStringLiteral("frmExpertListUpd");
const QString kStar5 = QStringLiteral("★★★★★");
const QString kStar2 = QStringLiteral("★★☆☆☆");

class ExpertEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.area.show();
        host.area.activateWindow();
        QApplication::setActiveWindow(&host.area);
    }

    template <typename T> T *control(const QString &form, const QString &name)
    {
        T *c = host.find<T>(form, name);
        EXPECT_NE(c, nullptr) << form.toStdString() << " " << name.toStdString();
        return c;
    }
    QLineEdit *box(const QString &form, int i) { return control<QLineEdit>(form, ArrayName("txtDis", i)); }
    QPlainTextEdit *memo(const QString &form, int i) { return control<QPlainTextEdit>(form, ArrayName("txtDis", i)); }
    QComboBox *list(const QString &form, const char *name)
    {
        return control<QComboBox>(form, QString::fromLatin1(name));
    }
    QPushButton *button(const QString &form, const char *name)
    {
        return control<QPushButton>(form, QString::fromLatin1(name));
    }
    QString title(const QString &form) { return control<QLabel>(form, "labTitle")->text(); }
    QString path(const QString &form) { return control<QLabel>(form, "labPath")->text(); }
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }
    void pick(QComboBox *c, int index) { c->setCurrentIndex(index); }

    // Opens the update screen the way the expert list's "[修改]" does.
    void openUpdate(const QString &id)
    {
        app.state.ExpertListRows.clear();
        app.state.ExpertListRows.append({QStringLiteral("000999"), "x"});
        app.state.ExpertListRows.append({id, "y"});
        app.state.paging.SelectedRow = 2;
        host.openScreen(ScreenId::ExpertListEdit);
    }

    QStringList storedRow(const QString &id)
    {
        LoadExperts(app.state.store);
        const qsizetype r = FindExpertRow(app.state.store, id);
        return r < 0 ? QStringList() : app.state.store.ExpertTable.row(r);
    }

    // An expert whose every field holds a different text.
    QString addDistinctExpert()
    {
        QStringList f;
        for (int i = 1; i < ExpertFieldCount; ++i)
            f << QStringLiteral("v%1").arg(i);
        f[E_Status - 1] = "停用";
        f[E_Is_temp - 1] = "临时";
        f[E_star_number - 1] = kStar5;
        f[E_Sex - 1] = "女";
        f[E_degree_type_id - 1] = "04";
        f[E_zhicheng_id - 1] = "02";
        f[E_province - 1] = " ";
        f[E_area_id - 1] = "A9";
        return app.addExpert(f);
    }

    TestApp app;
    TestHost host{app.state};
};

// ---------------------------------------------------------------------------
// Layout and modes

TEST_F(ExpertEditor, FieldsStandInTheirPlacesWithTheirCaptions)
{
    host.openScreen(ScreenId::NewExpert);
    struct Cap {
        int index;
        const char *text;
        int left, top;
    };
    for (const Cap &c :
         {Cap{0, "专家姓名：", 120, 900}, Cap{4, "性    别：", 3000, 900}, Cap{2, "专家性质：", 8760, 900},
          Cap{8, "学    历：", 5880, 1260}, Cap{14, "职称级别：", 5880, 1980}, Cap{3, "专家星级：", 8760, 1980},
          Cap{17, "资格名称：", 3000, 2340}, Cap{22, "邮    编：", 8760, 2700}, Cap{25, "地    址：", 120, 3060}}) {
        QLabel *l = control<QLabel>(kNew, ArrayName("labDis", c.index));
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(l->geometry().topLeft(), QPoint(Px(c.left), Px(c.top))) << c.index;
        EXPECT_EQ(l->width(), Px(975));
    }
    EXPECT_EQ(host.find<QLabel>(kNew, ArrayName("labDis", 6)), nullptr);
    EXPECT_EQ(host.find<QLabel>(kNew, ArrayName("labDis", 19)), nullptr);
    EXPECT_EQ(box(kNew, 0)->geometry(), TwRect(1140, 840, 1695, 315));
    EXPECT_EQ(box(kNew, 3)->geometry(), TwRect(4020, 1920, 1695, 315));
    EXPECT_EQ(box(kNew, 22)->geometry(), TwRect(9780, 2640, 1695, 315));
    EXPECT_EQ(box(kNew, 24)->geometry(), TwRect(4020, 2640, 4575, 315));
    EXPECT_EQ(box(kNew, 25)->geometry(), TwRect(1140, 3000, 10355, 315));
    EXPECT_EQ(memo(kNew, 26)->geometry(), TwRect(1140, 3360, 10335, 1695));
    EXPECT_EQ(memo(kNew, 27)->geometry(), TwRect(1140, 5100, 10335, 1695));
    EXPECT_EQ(memo(kNew, 26)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(list(kNew, "com_Star")->geometry(), TwRect(9780, 1920, 1695, 300));
    for (int missing : {6, 7, 8, 14, 16, 17, 18, 19})
        EXPECT_EQ(host.find<QWidget>(kNew, ArrayName("txtDis", missing)), nullptr) << missing;
    EXPECT_EQ(button(kNew, "cmd_Save")->geometry(), TwRect(3900, 7095, 1095, 435));
    EXPECT_EQ(button(kNew, "cmd_Save")->text(), QStringLiteral("保 存"));
    EXPECT_EQ(button(kNew, "cmd_Clear")->text(), QStringLiteral("清 空"));
    EXPECT_EQ(button(kNew, "cmd_Back")->text(), QStringLiteral("返 回"));
    EXPECT_TRUE(control<QLabel>(kNew, "labTitle")->font().bold());
}

TEST_F(ExpertEditor, ListsOfferTheirItemsWithoutRowZero)
{
    host.openScreen(ScreenId::NewExpert);
    auto items = [](QComboBox *c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    };
    EXPECT_EQ(items(list(kNew, "com_Sex")), (QStringList{"男", "女"}));
    EXPECT_EQ(items(list(kNew, "com_Sta")), (QStringList{"启用", "停用"}));
    EXPECT_EQ(items(list(kNew, "com_Lin")), (QStringList{"正式", "临时"}));
    EXPECT_EQ(items(list(kNew, "com_Degree")), (QStringList{"中专", "大专", "本科", "硕士研究生", "博士研究生"}));
    EXPECT_EQ(items(list(kNew, "com_Zhicheng")), (QStringList{"员级", "助理级", "中级", "副高级", "正高级"}));
    EXPECT_EQ(items(list(kNew, "com_Star")), (QStringList{"★☆☆☆☆", "★★☆☆☆", "★★★☆☆", "★★★★☆", "★★★★★"}));
    EXPECT_FALSE(list(kNew, "com_Sex")->isEditable());
    // Opening again does not fill the lists twice.
    host.openScreen(ScreenId::NewExpert);
    EXPECT_EQ(list(kNew, "com_Sex")->count(), 2);
}

TEST_F(ExpertEditor, NewExpertModeHidesBackAndFocusesTheName)
{
    host.openScreen(ScreenId::NewExpert);
    EXPECT_EQ(title(kNew), QStringLiteral("新建专家"));
    EXPECT_EQ(path(kNew), QStringLiteral("新建专家"));
    EXPECT_FALSE(button(kNew, "cmd_Back")->isVisible());
    EXPECT_TRUE(button(kNew, "cmd_Clear")->isVisible());
    EXPECT_EQ(button(kNew, "cmd_Clear")->x(), Px(7020));
    EXPECT_TRUE(list(kNew, "com_Lin")->isEnabled());
    EXPECT_EQ(list(kNew, "com_Lin")->currentText(), QStringLiteral("正式"));
    EXPECT_EQ(QApplication::focusWidget(), box(kNew, 0));
    EXPECT_EQ(host.bannerWidth, 11515);
}

TEST_F(ExpertEditor, TemporaryModeFixesTheKindAlsoAfterClearingAndSwitchesBack)
{
    host.openScreen(ScreenId::DrawResultNewTemporary);
    EXPECT_EQ(title(kNew), QStringLiteral("新建临时专家"));
    EXPECT_EQ(path(kNew), QStringLiteral("抽取专家 -> 抽取专家结果 -> 新建临时专家"));
    EXPECT_TRUE(button(kNew, "cmd_Back")->isVisible());
    EXPECT_EQ(button(kNew, "cmd_Clear")->x(), Px(5460));
    QComboBox *kind = list(kNew, "com_Lin");
    EXPECT_EQ(kind->currentText(), QStringLiteral("临时"));
    EXPECT_FALSE(kind->isEnabled());
    click(button(kNew, "cmd_Clear"));
    EXPECT_EQ(kind->currentText(), QStringLiteral("临时"));
    EXPECT_FALSE(kind->isEnabled());

    // The same window serves the regular mode on its next activation.
    host.openScreen(ScreenId::NewExpert);
    EXPECT_EQ(title(kNew), QStringLiteral("新建专家"));
    EXPECT_EQ(kind->currentText(), QStringLiteral("正式"));
    EXPECT_TRUE(kind->isEnabled());
    EXPECT_FALSE(button(kNew, "cmd_Back")->isVisible());
    EXPECT_EQ(button(kNew, "cmd_Clear")->x(), Px(7020));
}

TEST_F(ExpertEditor, TitleLevelAndStarGradeMoveTogether)
{
    host.openScreen(ScreenId::NewExpert);
    QComboBox *level = list(kNew, "com_Zhicheng");
    QComboBox *star = list(kNew, "com_Star");
    pick(level, 2);
    EXPECT_EQ(star->currentText(), QStringLiteral("★★★☆☆"));
    pick(star, 4);
    EXPECT_EQ(level->currentIndex(), 4);
    pick(star, 0);
    EXPECT_EQ(level->currentIndex(), 0);
}

TEST_F(ExpertEditor, ATitleLevelBeyondTheFifthLeavesTheStarGrade)
{
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare("INSERT INTO resource_zhicheng VALUES ('06', '特级')");
        st.step();
    }
    LoadTitleTypes(app.state.store);
    host.openScreen(ScreenId::NewExpert);
    QComboBox *level = list(kNew, "com_Zhicheng");
    QComboBox *star = list(kNew, "com_Star");
    ASSERT_EQ(level->count(), 6);
    pick(star, 3);
    pick(level, 5);
    EXPECT_EQ(star->currentIndex(), 3);
    EXPECT_EQ(level->currentIndex(), 5);
    pick(star, 1);
    EXPECT_EQ(level->currentIndex(), 1);
}

TEST_F(ExpertEditor, ClearAndEveryActivationEmptyTheForm)
{
    host.openScreen(ScreenId::NewExpert);
    box(kNew, 0)->setText("张三");
    box(kNew, 24)->setText("a@b.c");
    memo(kNew, 26)->setPlainText("简历");
    pick(list(kNew, "com_Sex"), 1);
    pick(list(kNew, "com_Degree"), 3);
    pick(list(kNew, "com_Zhicheng"), 3);
    click(button(kNew, "cmd_Clear"));
    EXPECT_EQ(box(kNew, 0)->text(), QString());
    EXPECT_EQ(box(kNew, 24)->text(), QString());
    EXPECT_EQ(memo(kNew, 26)->toPlainText(), QString());
    for (const char *name : {"com_Sex", "com_Sta", "com_Lin", "com_Degree", "com_Zhicheng", "com_Star"})
        EXPECT_EQ(list(kNew, name)->currentIndex(), 0) << name;

    box(kNew, 12)->setText("单位");
    host.openScreen(ScreenId::ExpertList);
    host.openScreen(ScreenId::NewExpert);
    EXPECT_EQ(box(kNew, 12)->text(), QString());
}

// ---------------------------------------------------------------------------
// Saving a new expert

TEST_F(ExpertEditor, MissingNameIsReportedAndNothingIsWritten)
{
    host.openScreen(ScreenId::NewExpert);
    box(kNew, 0)->setText("   ");
    box(kNew, 12)->setText("单位");
    box(kNew, 12)->setFocus();
    click(button(kNew, "cmd_Save"));
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->lastText(), QStringLiteral("请输入专家姓名！"));
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Information);
    EXPECT_EQ(app.messages->shown[0].title, QStringLiteral("Kestrune"));
    EXPECT_EQ(QApplication::focusWidget(), box(kNew, 0));
    EXPECT_EQ(app.countRows("expert_msg"), 0);
}

TEST_F(ExpertEditor, SavingANewExpertStoresTheFormAndKeepsIt)
{
    host.openScreen(ScreenId::NewExpert);
    box(kNew, 0)->setText("  张三 ");
    box(kNew, 5)->setText("1965-3-8");
    box(kNew, 1)->setText("北京");
    box(kNew, 3)->setText("工程类");
    box(kNew, 2)->setText("建筑工程");
    box(kNew, 4)->setText("一级建造师");
    box(kNew, 23)->setText("2005-1-15");
    box(kNew, 22)->setText("100000");
    memo(kNew, 27)->setPlainText("业绩一\n业绩二");
    pick(list(kNew, "com_Sta"), 1);
    pick(list(kNew, "com_Sex"), 1);
    pick(list(kNew, "com_Degree"), 2);
    pick(list(kNew, "com_Zhicheng"), 1);
    click(button(kNew, "cmd_Save"));

    EXPECT_EQ(app.messages->texts(), QStringList{"增加成功。"});
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Information);
    ASSERT_EQ(app.state.store.ExpertTable.count(), 1);   // reloaded
    const QStringList row = storedRow("000001");
    EXPECT_EQ(row[E_Name], QStringLiteral("张三"));
    EXPECT_EQ(row[E_Status], QStringLiteral("停用"));
    EXPECT_EQ(row[E_Is_temp], QStringLiteral("正式"));
    EXPECT_EQ(row[E_star_number], kStar2);
    EXPECT_EQ(row[E_Sex], QStringLiteral("女"));
    EXPECT_EQ(row[E_birth_date], QStringLiteral("1965-03-08"));
    EXPECT_EQ(row[E_area_id], QStringLiteral(" "));
    EXPECT_EQ(row[E_province], QStringLiteral("北京"));
    EXPECT_EQ(row[E_degree_type_id], QStringLiteral("03"));
    EXPECT_EQ(row[E_school_name], QStringLiteral(" "));
    EXPECT_EQ(row[E_zhicheng_id], QStringLiteral("02"));
    EXPECT_EQ(row[E_type], QStringLiteral("工程类"));
    EXPECT_EQ(row[E_resource_industry], QStringLiteral("建筑工程"));
    EXPECT_EQ(row[E_zige_name], QStringLiteral("一级建造师"));
    EXPECT_EQ(row[E_pinren_time], QStringLiteral("2005-01-15"));
    EXPECT_EQ(row[E_Zip_code], QStringLiteral("100000"));
    EXPECT_EQ(row[E_Main_project], QStringLiteral("业绩一\n业绩二"));
    EXPECT_EQ(row[E_Reg_date], QStringLiteral("2026-12-09"));

    // The form stays as it was; saving again adds a second expert.
    EXPECT_EQ(box(kNew, 0)->text(), QStringLiteral("  张三 "));
    EXPECT_EQ(app.state.nav.CurrentScreen, 8);
    click(button(kNew, "cmd_Save"));
    EXPECT_EQ(app.countRows("expert_msg"), 2);
    EXPECT_EQ(storedRow("000002")[E_Name], QStringLiteral("张三"));
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
}

TEST_F(ExpertEditor, ATemporaryExpertJoinsTheDrawListAndReturnsToTheResult)
{
    const QString drawn = app.addExpert(QStringLiteral("李四"));
    app.state.draw.DrawList.append({drawn, "李四", "男", "1970-01-01", "单位", "专业", "资格", "138"});
    app.state.draw.DrawUnsaved = true;
    host.openScreen(ScreenId::DrawResult);
    click(button(QStringLiteral("frmNewPro"), "cmdNewLinExp"));
    ASSERT_EQ(host.frontScreen()->objectName(), kNew);
    EXPECT_EQ(app.state.nav.CurrentScreen, 14);

    box(kNew, 0)->setText("王五");
    box(kNew, 21)->setText("1234567890123456789012345");
    box(kNew, 5)->setText("1980-2-3");
    box(kNew, 12)->setText("  临时单位 ");
    click(button(kNew, "cmd_Save"));

    EXPECT_EQ(app.messages->texts(), QStringList{"增加成功。"});
    const QStringList row = storedRow("000002");
    EXPECT_EQ(row[E_Is_temp], QStringLiteral("临时"));
    EXPECT_EQ(row[E_Mobile], QStringLiteral("12345678901234567890"));
    ASSERT_EQ(app.state.draw.DrawList.count(), 2);
    EXPECT_EQ(app.state.draw.DrawList.row(1),
              (QStringList{"000002", "王五", "男", "1980-02-03", "临时单位", " ", " ", "1234567890123456789012345"}));
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_EQ(app.state.nav.CurrentScreen, 13);
    EXPECT_EQ(host.frontScreen()->objectName(), QStringLiteral("frmNewPro"));
}

TEST_F(ExpertEditor, BackLeadsToTheResultScreenOnlyFromScreen14)
{
    host.openScreen(ScreenId::DrawResultNewTemporary);
    box(kNew, 0)->setText("放弃");
    click(button(kNew, "cmd_Back"));
    EXPECT_EQ(app.state.nav.CurrentScreen, 13);
    EXPECT_EQ(host.frontScreen()->objectName(), QStringLiteral("frmNewPro"));
    EXPECT_EQ(app.countRows("expert_msg"), 0);
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
}

TEST_F(ExpertEditor, ADatabaseErrorOnAddIsShownAndTheFormKept)
{
    app.addExpert(QStringLiteral("李四"));
    host.openScreen(ScreenId::DrawResultNewTemporary);
    box(kNew, 0)->setText("王五");
    ASSERT_TRUE(QFile::remove(app.dataFile()));
    click(button(kNew, "cmd_Save"));
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_FALSE(app.messages->lastText().isEmpty());
    EXPECT_NE(app.messages->lastText(), QStringLiteral("增加成功。"));
    EXPECT_EQ(box(kNew, 0)->text(), QStringLiteral("王五"));
    EXPECT_EQ(app.state.store.ExpertTable.count(), 1);   // not reloaded
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
    EXPECT_EQ(app.state.nav.CurrentScreen, 14);
}

// ---------------------------------------------------------------------------
// The update screen

TEST_F(ExpertEditor, UpdateScreenShowsTheChosenExpertAsStored)
{
    const QString id = addDistinctExpert();
    openUpdate(id);
    EXPECT_EQ(title(kUpd), QStringLiteral("专家详细信息"));
    EXPECT_EQ(path(kUpd), QStringLiteral("专家列表 -> 修改"));
    EXPECT_TRUE(button(kUpd, "cmd_Back")->isVisible());
    // Which box shows which field.
    const QList<QPair<int, int>> boxes{
        {0, E_Name},         {5, E_birth_date},        {9, E_school_name}, {10, E_graduate_date},
        {11, E_Profession},  {12, E_Company_name},     {13, E_Position},   {15, E_cong_shi_zhuanye},
        {3, E_type},         {2, E_resource_industry}, {4, E_zige_name},   {20, E_zige_gettime},
        {23, E_pinren_time}, {21, E_Mobile},           {24, E_email},      {25, E_Address},
        {22, E_Zip_code}};
    for (const auto &[index, field] : boxes)
        EXPECT_EQ(box(kUpd, index)->text(), QStringLiteral("v%1").arg(field)) << index;
    EXPECT_EQ(box(kUpd, 1)->text(), QStringLiteral(" "));   // a stored blank shows as one blank
    EXPECT_EQ(memo(kUpd, 26)->toPlainText(), QStringLiteral("v26"));
    EXPECT_EQ(memo(kUpd, 27)->toPlainText(), QStringLiteral("v27"));
    EXPECT_EQ(list(kUpd, "com_Sta")->currentText(), QStringLiteral("停用"));
    EXPECT_EQ(list(kUpd, "com_Lin")->currentText(), QStringLiteral("临时"));
    EXPECT_EQ(list(kUpd, "com_Sex")->currentText(), QStringLiteral("女"));
    EXPECT_EQ(list(kUpd, "com_Degree")->currentText(), QStringLiteral("硕士研究生"));
    EXPECT_EQ(list(kUpd, "com_Zhicheng")->currentText(), QStringLiteral("助理级"));
    // The title level is shown last: the star grade follows it.
    EXPECT_EQ(list(kUpd, "com_Star")->currentText(), kStar2);
    EXPECT_TRUE(list(kUpd, "com_Lin")->isEnabled());
}

TEST_F(ExpertEditor, SavingAnUpdateRewritesTheRecordAndReturnsToTheList)
{
    const QString id = addDistinctExpert();
    const QString other = app.addExpert(QStringLiteral("李四"));
    openUpdate(id);
    box(kUpd, 0)->setText(" 赵六 ");
    box(kUpd, 13)->setText("");
    click(button(kUpd, "cmd_Save"));
    EXPECT_EQ(app.messages->texts(), QStringList{"修改成功。"});
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Information);
    const QStringList row = storedRow(id);
    EXPECT_EQ(row[E_Name], QStringLiteral("赵六"));
    EXPECT_EQ(row[E_Position], QStringLiteral(" "));
    EXPECT_EQ(row[E_province], QStringLiteral(" "));
    EXPECT_EQ(row[E_star_number], kStar2);   // the grade shown is the grade stored
    EXPECT_EQ(row[E_zhicheng_id], QStringLiteral("02"));
    EXPECT_EQ(row[E_degree_type_id], QStringLiteral("04"));
    EXPECT_EQ(row[E_area_id], QStringLiteral(" "));
    EXPECT_EQ(row[E_Reg_date], QStringLiteral("2026-12-09"));
    EXPECT_EQ(row[E_Resume], QStringLiteral("v26"));
    EXPECT_EQ(storedRow(other)[E_Name], QStringLiteral("李四"));
    EXPECT_EQ(app.countRows("expert_msg"), 2);
    EXPECT_EQ(app.state.nav.CurrentScreen, 5);
    EXPECT_EQ(host.frontScreen()->objectName(), QStringLiteral("frmExpertList"));
}

TEST_F(ExpertEditor, ClearOnTheUpdateScreenTouchesOnlyTheScreen)
{
    const QString id = addDistinctExpert();
    const QStringList before = storedRow(id);
    openUpdate(id);
    click(button(kUpd, "cmd_Clear"));
    EXPECT_EQ(list(kUpd, "com_Sta")->currentText(), QStringLiteral("启用"));
    EXPECT_EQ(list(kUpd, "com_Lin")->currentText(), QStringLiteral("正式"));
    EXPECT_EQ(list(kUpd, "com_Star")->currentText(), QStringLiteral("★☆☆☆☆"));
    EXPECT_EQ(list(kUpd, "com_Degree")->currentIndex(), 0);
    EXPECT_EQ(box(kUpd, 0)->text(), QString());
    click(button(kUpd, "cmd_Back"));
    EXPECT_EQ(app.state.nav.CurrentScreen, 5);
    EXPECT_EQ(storedRow(id), before);
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_F(ExpertEditor, ValuesTheListsDoNotOfferAreShownAndKept)
{
    QStringList f(ExpertFieldCount - 1, QStringLiteral(" "));
    f[E_Name - 1] = "孙七";
    f[E_Status - 1] = "暂停";
    f[E_Is_temp - 1] = "";
    f[E_star_number - 1] = "☆";
    f[E_Sex - 1] = " ";
    f[E_degree_type_id - 1] = "99";
    f[E_zhicheng_id - 1] = "abc";
    const QString id = app.addExpert(f);
    openUpdate(id);
    QComboBox *status = list(kUpd, "com_Sta");
    EXPECT_EQ(status->currentIndex(), -1);
    EXPECT_EQ(status->placeholderText(), QStringLiteral("暂停"));
    EXPECT_EQ(list(kUpd, "com_Degree")->currentIndex(), -1);
    EXPECT_EQ(list(kUpd, "com_Degree")->placeholderText(), QStringLiteral("99"));
    EXPECT_EQ(list(kUpd, "com_Zhicheng")->currentIndex(), -1);
    EXPECT_EQ(list(kUpd, "com_Star")->currentIndex(), -1);

    click(button(kUpd, "cmd_Save"));
    EXPECT_EQ(app.messages->texts(), QStringList{"修改成功。"});
    QStringList row = storedRow(id);
    EXPECT_EQ(row[E_Status], QStringLiteral("暂停"));
    EXPECT_EQ(row[E_Is_temp], QStringLiteral(" "));
    EXPECT_EQ(row[E_star_number], QStringLiteral("☆"));
    EXPECT_EQ(row[E_Sex], QStringLiteral(" "));
    EXPECT_EQ(row[E_degree_type_id], QStringLiteral("99"));
    EXPECT_EQ(row[E_zhicheng_id], QStringLiteral("abc"));

    // Picking an item replaces the kept value; the star grade follows.
    openUpdate(id);
    pick(list(kUpd, "com_Zhicheng"), 3);
    pick(status, 0);
    click(button(kUpd, "cmd_Save"));
    row = storedRow(id);
    EXPECT_EQ(row[E_zhicheng_id], QStringLiteral("04"));
    EXPECT_EQ(row[E_star_number], QStringLiteral("★★★★☆"));
    EXPECT_EQ(row[E_Status], QStringLiteral("启用"));
}

TEST_F(ExpertEditor, AStarTextTheListLacksFollowsAnOfferedTitleLevel)
{
    // On a fresh form whose title level already stands at the first row, and
    // after an expert with the same title level: either way the title level's
    // selection does not change, so nothing but the screen moves the grade.
    for (const QString &level : {QStringLiteral("01"), QStringLiteral("02")}) {
        QStringList f(ExpertFieldCount - 1, QStringLiteral(" "));
        f[E_Name - 1] = "周八";
        f[E_star_number - 1] = kStar5;
        f[E_zhicheng_id - 1] = level;
        const QString before = app.addExpert(f);
        f[E_star_number - 1] = " ";
        const QString odd = app.addExpert(f);
        if (level == QLatin1String("02"))
            openUpdate(before);
        openUpdate(odd);
        QComboBox *star = list(kUpd, "com_Star");
        EXPECT_EQ(list(kUpd, "com_Zhicheng")->currentIndex(), level.toInt() - 1);
        EXPECT_EQ(star->currentIndex(), level.toInt() - 1) << level.toStdString();
        click(button(kUpd, "cmd_Save"));
        EXPECT_EQ(storedRow(odd)[E_star_number], star->itemText(level.toInt() - 1));
    }
}

TEST_F(ExpertEditor, AnExpertGoneFromTheFileIsReportedOnSave)
{
    const QString first = addDistinctExpert();
    const QString gone = app.addExpert(QStringLiteral("李四"));
    openUpdate(first);
    // Deleted behind the screen's back: the table no longer has it.
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare("DELETE FROM expert_msg WHERE Id = ?");
        st.bind(1, gone);
        st.step();
    }
    LoadExperts(app.state.store);
    openUpdate(gone);
    EXPECT_EQ(box(kUpd, 0)->text(), QStringLiteral("v1"));   // previous content kept
    click(button(kUpd, "cmd_Save"));
    EXPECT_EQ(app.messages->texts(), QStringList{"没有匹配的记录！"});
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_EQ(app.state.nav.CurrentScreen, 6);
    EXPECT_EQ(app.countRows("expert_msg"), 1);
    EXPECT_EQ(storedRow(first)[E_Name], QStringLiteral("v1"));

    // A row number outside the list is no record either.
    app.messages->clear();
    app.state.paging.SelectedRow = 0;
    host.openScreen(ScreenId::ExpertListEdit);
    click(button(kUpd, "cmd_Save"));
    EXPECT_EQ(app.messages->texts(), QStringList{"没有匹配的记录！"});
}

TEST_F(ExpertEditor, TheListsEditLinkOpensTheChosenExpert)
{
    app.addExpert(QStringLiteral("甲"));
    const QString second = app.addExpert(QStringLiteral("乙"), "停用", "正式", "05");
    host.openScreen(ScreenId::ExpertList);
    click(control<QLabel>(QStringLiteral("frmExpertList"), ArrayName("labOP_2", 1)));
    ASSERT_EQ(host.frontScreen()->objectName(), kUpd);
    EXPECT_EQ(box(kUpd, 0)->text(), QStringLiteral("乙"));
    EXPECT_EQ(list(kUpd, "com_Star")->currentText(), kStar5);
    box(kUpd, 0)->setText("乙二");
    click(button(kUpd, "cmd_Save"));
    EXPECT_EQ(storedRow(second)[E_Name], QStringLiteral("乙二"));
    EXPECT_EQ(host.frontScreen()->objectName(), QStringLiteral("frmExpertList"));
}

}   // namespace
