// The editor's list of former work units: kept with the record in the same
// save, checked before anything is written, shown again on the update screen.

#include "TestApp.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/ExpertRecord.h"
#include "data/Schema.h"
#include "data/UnitHistory.h"
#include "TestFiles.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace Schema;

namespace {

const QString kNew = QStringLiteral("frmNewExpert");
const QString kUpd = QStringLiteral("frmExpertListUpd");

class FormerUnitsEditor : public ::testing::Test {
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
    QTableWidget *grid(const QString &form) { return control<QTableWidget>(form, "grdFormerUnits"); }
    void click(const QString &form, const char *name)
    {
        QTest::mouseClick(control<QPushButton>(form, QString::fromLatin1(name)), Qt::LeftButton);
    }
    // Adds a row with the button and types into it.
    void addRow(const QString &form, const QString &unit, const QString &from, const QString &to)
    {
        click(form, "cmdAddUnit");
        QTableWidget *g = grid(form);
        const int row = g->rowCount() - 1;
        g->item(row, 0)->setText(unit);
        g->item(row, 1)->setText(from);
        g->item(row, 2)->setText(to);
    }
    QList<FormerUnit> stored(const QString &id)
    {
        Connection conn = OpenDataFile(app.state.store);
        return ReadFormerUnits(conn, id);
    }
    void openUpdate(const QString &id)
    {
        app.state.ExpertListRows.clear();
        app.state.ExpertListRows.append({id, "x"});
        app.state.paging.SelectedRow = 1;
        host.openScreen(ScreenId::ExpertListEdit);
    }

    TestApp app;
    TestHost host{app.state};
};

}   // namespace

TEST_F(FormerUnitsEditor, ANewExpertIsSavedWithItsFormerUnitsInOneGo)
{
    host.openScreen(ScreenId::NewExpert);
    EXPECT_EQ(grid(kNew)->rowCount(), 0);
    EXPECT_EQ(grid(kNew)->geometry().top(), Px(7680));   // below the buttons: the form above is untouched
    control<QLineEdit>(kNew, ArrayName("txtDis", 0))->setText("张三");
    addRow(kNew, " 中铁八局 ", "2015-3-1", "2020-06-30");
    addRow(kNew, "", "", "");   // an empty row is no unit
    addRow(kNew, "上海建工集团", "", "");
    click(kNew, "cmd_Save");
    EXPECT_EQ(app.messages->texts(), QStringList{"增加成功。"});
    LoadExperts(app.state.store);
    const QString id = app.state.store.ExpertTable.cell(app.state.store.ExpertTable.count() - 1, E_Id).toString();
    EXPECT_EQ(stored(id), (QList<FormerUnit>{{"中铁八局", "2015-03-01", "2020-06-30"}, {"上海建工集团", "", ""}}));

    AuditFilter filter;
    filter.kind = AuditKind::ExpertAdd;
    const QList<AuditEntry> entries = ReadAuditEntries(app.state.store, filter).value();
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_TRUE(entries.last().detail.contains("former_units")) << entries.last().detail.toStdString();

    // Every activation starts from an empty list.
    host.openScreen(ScreenId::ExpertList);
    host.openScreen(ScreenId::NewExpert);
    EXPECT_EQ(grid(kNew)->rowCount(), 0);
}

TEST_F(FormerUnitsEditor, AWrongFormerUnitStopsTheSaveBeforeAnythingIsWritten)
{
    const struct {
        const char *unit, *from, *to, *message;
    } cases[] = {
        {"", "2015-01-01", "", "请输入曾任职单位的名称！"},
        {"中铁八局", "2015-01-01", "不详", "截止日期“不详”不是日期"},
        {"中铁八局", "2020-01-01", "2015-01-01", "截止日期早于起始日期"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        host.openScreen(ScreenId::NewExpert);
        control<QLineEdit>(kNew, ArrayName("txtDis", 0))->setText("李四");
        addRow(kNew, QString::fromUtf8(c.unit), QString::fromUtf8(c.from), QString::fromUtf8(c.to));
        const QByteArray before = ReadAll(app.dataFile());
        app.messages->shown.clear();
        click(kNew, "cmd_Save");
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_TRUE(app.messages->lastText().contains(QString::fromUtf8(c.message)))
            << app.messages->lastText().toStdString();
        EXPECT_EQ(ReadAll(app.dataFile()), before);
        host.openScreen(ScreenId::ExpertList);
    }
}

TEST_F(FormerUnitsEditor, TheUpdateScreenShowsTheUnitsAndSavesTheChangedList)
{
    const QString id = app.addExpert(QStringLiteral("王五"));
    const QString other = app.addExpert(QStringLiteral("赵六"));
    {
        Connection conn = OpenDataFile(app.state.store);
        WriteFormerUnits(conn, id, {{"甲单位", "2010-01-01", "2012-01-01"}, {"乙单位", "2012-01-02", "2019-05-31"}});
        WriteFormerUnits(conn, other, {{"丙单位", "", ""}});
    }
    openUpdate(id);
    QTableWidget *g = grid(kUpd);
    ASSERT_EQ(g->rowCount(), 2);
    EXPECT_EQ(g->item(1, 0)->text(), "乙单位");
    EXPECT_EQ(g->item(1, 2)->text(), "2019-05-31");

    g->setCurrentCell(0, 0);
    g->selectRow(0);
    click(kUpd, "cmdDelUnit");
    addRow(kUpd, "丁单位", "2019-06-01", "2024-12-31");
    click(kUpd, "cmd_Save");
    EXPECT_EQ(app.messages->texts(), QStringList{"修改成功。"});
    EXPECT_EQ(stored(id),
              (QList<FormerUnit>{{"乙单位", "2012-01-02", "2019-05-31"}, {"丁单位", "2019-06-01", "2024-12-31"}}));
    EXPECT_EQ(stored(other), (QList<FormerUnit>{{"丙单位", "", ""}}));

    // Deleting the expert takes their former units with them.
    ASSERT_TRUE(DeleteExpertsWithSelections(app.state.store, {id}).ok());
    EXPECT_TRUE(stored(id).isEmpty());
    EXPECT_EQ(stored(other).size(), 1);
}
