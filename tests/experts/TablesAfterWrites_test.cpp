// After every write a user makes through the screens, the in-memory tables
// hold what a full reload of the file would read.

#include "TestApp.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TablesAfterWrites : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.area.show();
        for (int i = 1; i <= 12; ++i)
            ids << app.addExpert(QStringLiteral("专家%1").arg(i, 2, 10, QLatin1Char('0')));
        for (int i : {0, 3, 3, 7})
            app.addSelection(QStringLiteral("2026-03-0%1").arg(i % 9 + 1), ids[i]);
    }

    void expectAsReloaded(const char *after)
    {
        SCOPED_TRACE(after);
        DataStore fresh;
        fresh.appDir = app.appDir();
        LoadAllTables(fresh);
        EXPECT_EQ(app.state.store.ExpertTable.toLists(), fresh.ExpertTable.toLists());
        EXPECT_EQ(app.state.store.SelectionTable.toLists(), fresh.SelectionTable.toLists());
        EXPECT_EQ(app.state.store.UserTable.toLists(), fresh.UserTable.toLists());
    }
    template <typename T> T *control(const QString &form, const QString &name)
    {
        T *c = host.find<T>(form, name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }
    QLineEdit *editorBox(const QString &form, int i) { return control<QLineEdit>(form, ArrayName("txtDis", i)); }

    TestApp app;
    TestHost host{app.state};
    QStringList ids;
};

TEST_F(TablesAfterWrites, SavingEditingDeletingAndStoringADraw)
{
    // 新建专家 → 保存
    host.openScreen(ScreenId::NewExpert);
    editorBox("frmNewExpert", 0)->setText(QStringLiteral("  新来的专家 "));
    editorBox("frmNewExpert", 12)->setText(QStringLiteral("某设计院"));
    click(control<QPushButton>("frmNewExpert", "cmd_Save"));
    ASSERT_EQ(app.messages->lastText(), QStringLiteral("增加成功。"));
    expectAsReloaded("a new expert");
    EXPECT_EQ(app.state.store.ExpertTable.count(), 13);

    // 专家列表 → [修改] on the fourth row → 保存
    host.openScreen(ScreenId::ExpertList);
    click(control<QLabel>("frmExpertList", "labOP_2(3)"));
    ASSERT_EQ(app.state.nav.CurrentScreen, ScreenNumber(ScreenId::ExpertListEdit));
    editorBox("frmExpertListUpd", 0)->setText(QStringLiteral("改名的专家"));
    click(control<QPushButton>("frmExpertListUpd", "cmd_Save"));
    ASSERT_EQ(app.messages->lastText(), QStringLiteral("修改成功。"));
    expectAsReloaded("an edited expert");
    EXPECT_EQ(app.state.store.ExpertTable.cell(3, Schema::E_Name), QStringLiteral("改名的专家"));

    // Two experts ticked, one with two draw records → 删除
    ASSERT_EQ(app.state.nav.CurrentScreen, ScreenNumber(ScreenId::ExpertList));
    click(control<QCheckBox>("frmExpertList", "chk(1)"));
    click(control<QCheckBox>("frmExpertList", "chk(3)"));
    app.messages->answers.enqueue(true);
    click(control<QPushButton>("frmExpertList", "cmdDel"));
    expectAsReloaded("two experts deleted");
    EXPECT_EQ(app.state.store.ExpertTable.count(), 11);
    EXPECT_EQ(app.state.store.SelectionTable.count(), 2);

    // A draw of two experts stored on the result screen ("完成").
    app.state.draw.DrawList.clear();
    app.state.draw.DrawList.append({ids[0], QStringLiteral("专家01")});
    app.state.draw.DrawList.append({ids[5], QStringLiteral("专家06")});
    app.state.draw.DrawUnsaved = true;
    host.openScreen(ScreenId::DrawResult);
    click(control<QPushButton>("frmNewPro", "cmdSave"));
    ASSERT_EQ(app.messages->lastText(), QStringLiteral("增加成功。"));
    expectAsReloaded("a draw stored");
    EXPECT_EQ(app.state.store.SelectionTable.count(), 4);
}

// A write that fails (another program holds the file for writing) changes
// neither the file nor the tables.
TEST_F(TablesAfterWrites, AFailedWriteLeavesTheTablesAsTheFileIs)
{
    host.openScreen(ScreenId::NewExpert);
    editorBox("frmNewExpert", 0)->setText(QStringLiteral("被挡住的专家"));
    {
        Connection other = Connection::open(app.dataFile());
        other.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        click(control<QPushButton>("frmNewExpert", "cmd_Save"));
        ASSERT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
        other.exec(QStringLiteral("ROLLBACK"));
    }
    expectAsReloaded("a failed save");
    EXPECT_EQ(app.state.store.ExpertTable.count(), 12);

    // The same save goes through once the file is free.
    click(control<QPushButton>("frmNewExpert", "cmd_Save"));
    ASSERT_EQ(app.messages->lastText(), QStringLiteral("增加成功。"));
    expectAsReloaded("the save made again");
}

}   // namespace
