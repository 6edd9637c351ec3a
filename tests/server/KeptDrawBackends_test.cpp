// An unsaved draw kept across a crash, and a panel kept secret until its
// review, on both engines.

#include "TestApp.h"
#include "data/DrawStore.h"
#include "data/Projects.h"
#include "extraction/ProjectDraws.h"
#include "files/RunFolders.h"
#include "shell/UnsavedDraw.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kDraw = QStringLiteral("frmNewProSelExpert");

class KeptDrawOnBothBackends : public ::testing::TestWithParam<DataSource::Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == DataSource::Server && !ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        app = std::make_unique<TestApp>(GetParam());
        host = std::make_unique<TestHost>(app->state);
        host->area.show();
        for (int i = 0; i < 6; ++i)
            app->addExpert(QStringLiteral("专家%1").arg(i + 1));
    }
    void TearDown() override
    {
        host.reset();
        app.reset();
    }

    std::unique_ptr<TestApp> app;
    std::unique_ptr<TestHost> host;
};

std::string backendName(const ::testing::TestParamInfo<DataSource::Kind> &info)
{
    return info.param == DataSource::Server ? "Server" : "File";
}

TEST_P(KeptDrawOnBothBackends, AKilledRunsDrawIsOfferedAndRestored)
{
    host->openScreen(ScreenId::Draw);
    host->find<QComboBox>(kDraw, "com_Type")->setCurrentIndex(1);
    host->find<QLineEdit>(kDraw, "txtNum")->setText("2");
    app->random->seeds.append(77);
    QTest::mouseClick(host->find<QPushButton>(kDraw, "cmdSearch"), Qt::LeftButton);
    for (int slot : {0, 1})
        QTest::mouseClick(host->find<QCheckBox>(kDraw, ArrayName(QStringLiteral("chk"), slot)), Qt::LeftButton);
    QTest::mouseClick(host->find<QPushButton>(kDraw, "cmd_OK"), Qt::LeftButton);
    const TextTable list = app->state.draw.DrawList;
    const DrawSession record = app->state.draw.DrawRecord;
    ASSERT_EQ(list.count(), 2);
    ASSERT_TRUE(QFile::exists(KeptDrawPath(app->appDir(), app->state.session.CurrentUserId)));

    // The program ends without a word; the next run starts on the same library.
    app->state.draw = DrawWorkspace();
    app->messages->clear();
    EXPECT_EQ(OfferKeptDraw(app->state), KeptDrawOutcome::Restored);
    ASSERT_EQ(app->state.draw.DrawList.count(), 2);
    for (qsizetype r = 0; r < 2; ++r)
        EXPECT_EQ(app->state.draw.DrawList.row(r), list.row(r));
    EXPECT_EQ(app->state.draw.DrawRecord.trailId, record.trailId);
    ASSERT_EQ(app->state.draw.DrawRecord.rounds.size(), 1);
    EXPECT_EQ(app->state.draw.DrawRecord.rounds[0].seed, record.rounds[0].seed);
    EXPECT_EQ(app->state.draw.DrawRecord.rounds[0].candidateIds, record.rounds[0].candidateIds);
}

TEST_P(KeptDrawOnBothBackends, APanelIsHiddenUntilMadePublic)
{
    app->addUser("000003", "领导", "pw", "2");
    const QString a = app->state.store.ExpertTable.cell(0, 0).toString();
    DrawRound round = TemporaryRound({a}, app->clock->now());
    DrawSession session;
    session.rounds = {round};
    TextTable list;
    list.append({a, "专家1", "男", " ", " ", " ", " ", " "});
    ProjectFacts facts{QStringLiteral("项目")};
    facts.reviewTime = QStringLiteral("2026-12-20");
    const QString id =
        StoreDrawProject(app->state.store, list, session, facts, "admin", app->clock->now(), "000001").projectId;
    LoadSelections(app->state.store);
    const PanelViewer leader{QStringLiteral("000003"), QStringLiteral("领导"), 2};
    const Result<QSet<QString>> hidden = HiddenSelections(app->state.store, leader, app->clock->now());
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->size(), 1);

    const PanelViewer admin{QStringLiteral("000001"), QStringLiteral("admin"), 0};
    const Result<bool> published = PublishPanel(app->state.store, id, admin, app->clock->now());
    ASSERT_TRUE(published);
    EXPECT_TRUE(published.value());
    EXPECT_TRUE(HiddenSelections(app->state.store, leader, app->clock->now())->isEmpty());
    const Result<QHash<QString, PanelAccess>> access = LoadPanelAccess(app->state.store);
    ASSERT_TRUE(access);
    EXPECT_EQ(access->value(id).operatorId, QStringLiteral("000001"));
    EXPECT_TRUE(access->value(id).published());
}

}   // namespace

INSTANTIATE_TEST_SUITE_P(Backends, KeptDrawOnBothBackends, ::testing::Values(DataSource::File, DataSource::Server),
                         backendName);
