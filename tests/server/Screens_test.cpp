// The screens on a server library, with a colleague working on it too.

#include "Draws.h"
#include "TestApp.h"
#include "data/ExpertRecord.h"
#include "data/Projects.h"
#include "data/Schema.h"
#include "lists/ListEngine.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kList = QStringLiteral("frmExpertList");
const QString kUpd = QStringLiteral("frmExpertListUpd");

class ScreensOnBothBackends : public ::testing::TestWithParam<DataSource::Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == DataSource::Server && !ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        app = std::make_unique<TestApp>(GetParam());
        host = std::make_unique<TestHost>(app->state);
        host->area.show();
    }
    void TearDown() override
    {
        host.reset();
        app.reset();
    }
    bool server() const { return GetParam() == DataSource::Server; }

    template <typename T> T *control(const QString &form, const QString &name)
    {
        T *c = host->find<T>(form, name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

    // Opens the update screen the way the expert list's "[修改]" does.
    void openUpdate(const QString &id)
    {
        app->state.ExpertListRows.clear();
        app->state.ExpertListRows.append({id, "x"});
        app->state.paging.SelectedRow = 1;
        host->openScreen(ScreenId::ExpertListEdit);
    }

    // The names the expert list shows after searching for every expert.
    QStringList listedNames()
    {
        control<QLineEdit>(kList, "txtName")->setText("");
        click(control<QPushButton>(kList, "cmdSearch"));
        QStringList names;
        for (int i = 0; i < kRowsPerPage; ++i) {
            const QString name = control<QLabel>(kList, ArrayName("lab2", i))->text();
            if (name.isEmpty())
                break;
            names << name;
        }
        return names;
    }

    // Completes a draw of these experts on the result screen ("完成").
    void completeDraw(const QStringList &ids)
    {
        app->state.draw.StartNewDraw();
        app->state.draw.DrawList.clear();
        for (const QString &id : ids)
            app->state.draw.DrawList.append({id, "n", "男", " ", " ", " ", " ", " "});
        app->state.draw.DrawUnsaved = true;
        host->openScreen(ScreenId::DrawResult);
        click(control<QPushButton>("frmNewPro", "cmdSave"));
    }

    QStringList storedSelectionIds()
    {
        LoadSelections(app->state.store);
        QStringList ids;
        for (const QStringList &r : app->state.store.SelectionTable.toLists())
            ids << r[0] + ":" + r[2];
        return ids;
    }

    ExpertRecordBuffer expert(const QString &name)
    {
        ExpertFormValues v;
        v.byField[Schema::E_Name] = name;
        return *GatherExpertFields(v, QDate(2026, 12, 10));
    }

    std::unique_ptr<TestApp> app;
    std::unique_ptr<TestHost> host;
};

std::string backendName(const ::testing::TestParamInfo<DataSource::Kind> &info)
{
    return info.param == DataSource::Server ? "Server" : "File";
}

}   // namespace

TEST_P(ScreensOnBothBackends, SavingAnUpdateThroughTheEditor)
{
    const QString id = app->addExpert("原名");
    openUpdate(id);
    control<QLineEdit>(kUpd, ArrayName("txtDis", 0))->setText(" 新名 ");
    click(control<QPushButton>(kUpd, "cmd_Save"));
    EXPECT_EQ(app->messages->texts(), QStringList{"修改成功。"});
    ASSERT_EQ(app->state.store.ExpertTable.count(), 1);
    EXPECT_EQ(app->state.store.ExpertTable.cell(0, Schema::E_Name).toString(), "新名");
}

TEST_P(ScreensOnBothBackends, CompletingADrawStoresItsRecords)
{
    const QString a = app->addExpert("甲");
    const QString b = app->addExpert("乙");
    completeDraw({a, b});
    EXPECT_EQ(app->messages->lastText(), "增加成功。");
    EXPECT_FALSE(app->state.draw.DrawUnsaved);
    EXPECT_EQ(storedSelectionIds(), QStringList({"000001:" + a, "000002:" + b}));
    EXPECT_EQ(app->state.store.ProjectTable.count(), 1);
}

// What only a server sees: a colleague working on the same library.
class ScreensOnServer : public ScreensOnBothBackends {};

// On a server a colleague may change the expert while it is open here: the
// save says so and keeps the colleague's record.
TEST_P(ScreensOnServer, AnUpdateOverAColleaguesChangeIsRefused)
{
    const QString id = app->addExpert("原名");
    openUpdate(id);
    TestApp::Colleague colleague(*app);
    ASSERT_TRUE(UpdateExpertRecord(colleague.store, id, expert("同事改的")));

    control<QLineEdit>(kUpd, ArrayName("txtDis", 0))->setText("我改的");
    click(control<QPushButton>(kUpd, "cmd_Save"));
    ASSERT_EQ(app->messages->texts(), QStringList{QString::fromUtf8(kExpertChangedElsewhere)});
    EXPECT_EQ(app->messages->shown[0].icon, MessageService::Icon::Critical);
    LoadExperts(app->state.store);
    EXPECT_EQ(app->state.store.ExpertTable.cell(0, Schema::E_Name).toString(), "同事改的");

    // Opened again, the editor shows the colleague's record and saves over it.
    app->messages->clear();
    openUpdate(id);
    EXPECT_EQ(control<QLineEdit>(kUpd, ArrayName("txtDis", 0))->text(), "同事改的");
    control<QLineEdit>(kUpd, ArrayName("txtDis", 0))->setText("我改的");
    click(control<QPushButton>(kUpd, "cmd_Save"));
    EXPECT_EQ(app->messages->texts(), QStringList{"修改成功。"});
}

TEST_P(ScreensOnServer, AColleaguesNewExpertIsListedWhenTheListComesBack)
{
    app->addExpert("甲");
    host->openScreen(ScreenId::ExpertList);
    EXPECT_EQ(listedNames(), QStringList({"甲"}));

    TestApp::Colleague colleague(*app);
    ASSERT_TRUE(AddExpertRecord(colleague.store, expert("同事的专家")).ok());
    host->openScreen(ScreenId::ExpertList);
    EXPECT_EQ(listedNames(), QStringList({"甲", "同事的专家"}));
}

// A colleague stores a draw while this screen's tables are older: the
// numbers follow the colleague's records instead of repeating them.
TEST_P(ScreensOnServer, ADrawAfterAColleaguesDrawTakesTheNextNumbers)
{
    const QString a = app->addExpert("甲");
    const QString b = app->addExpert("乙");
    TestApp::Colleague colleague(*app);
    EXPECT_EQ(StoreTestDraw(colleague.store, {b}, "同事的项目").projectId, "000001");
    completeDraw({a});
    EXPECT_EQ(app->messages->lastText(), "增加成功。");
    EXPECT_EQ(storedSelectionIds(), QStringList({"000001:" + b, "000002:" + a}));
    LoadProjects(app->state.store);
    EXPECT_EQ(app->state.store.ProjectTable.count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, ScreensOnBothBackends, ::testing::Values(DataSource::File, DataSource::Server),
                         backendName);
INSTANTIATE_TEST_SUITE_P(Backends, ScreensOnServer, ::testing::Values(DataSource::Server), backendName);
