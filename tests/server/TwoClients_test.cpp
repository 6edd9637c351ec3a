// Two operators on one server at the same time, each with a program of its
// own (here a thread with its own store and connections).

#include "Draws.h"
#include "data/ServerBackend.h"
#include "TestApp.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/ExpertRecord.h"
#include "data/Schema.h"

#include <QSet>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

constexpr int kRounds = 25;   // each client's saves
constexpr int kDrawSize = 3;

struct ClientLog {
    QStringList expertIds;
    QStringList projectIds;
    QStringList errors;
};

void runClient(const DataStore &shared, const QString &who, ClientLog &log)
{
    DataStore store;
    store.appDir = shared.appDir;
    store.source = shared.source;
    for (int i = 0; i < kRounds; ++i) {
        try {
            ExpertFormValues v;
            v.byField[Schema::E_Name] = QStringLiteral("%1-%2").arg(who).arg(i);
            const QString id = AddExpertRecord(store, *GatherExpertFields(v, QDate(2026, 12, 10))).value();
            log.expertIds << id;
            // The new expert and two of the first ones, as a panel of its own.
            const StoredDraw stored = StoreTestDraw(store, {id, QStringLiteral("000001"), QStringLiteral("000002")},
                                                    v.byField[Schema::E_Name]);
            log.projectIds << stored.projectId;
        } catch (const DbError &e) {
            log.errors << e.message();
        }
    }
}

QStringList column(const TextTable &t, int c)
{
    QStringList out;
    for (const QStringList &r : t.toLists())
        out << r[c];
    return out;
}

QStringList numbered(int count)
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
    return out;
}

class TwoClients : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        app = std::make_unique<TestApp>(DataSource::Server);
    }
    std::unique_ptr<TestApp> app;
};

}   // namespace

TEST_F(TwoClients, StoringAtOnceGivesEveryRecordItsOwnNumberAndLosesNone)
{
    // The first two experts, whom every panel includes.
    app->addExpert("常任一");
    app->addExpert("常任二");
    ClientLog first, second;
    std::thread a([&] { runClient(app->state.store, "甲", first); });
    std::thread b([&] { runClient(app->state.store, "乙", second); });
    a.join();
    b.join();
    EXPECT_EQ(first.errors, QStringList());
    EXPECT_EQ(second.errors, QStringList());

    app->reloadAll();
    const TextTable &experts = app->state.store.ExpertTable;
    const TextTable &selections = app->state.store.SelectionTable;
    // Numbers run 000001, 000002, ... without a gap or a repeat.
    EXPECT_EQ(column(experts, 0), numbered(2 + 2 * kRounds));
    EXPECT_EQ(column(selections, 0), numbered(2 * kRounds * kDrawSize));
    EXPECT_EQ(column(app->state.store.ProjectTable, 0), numbered(2 * kRounds));
    EXPECT_EQ(QSet<QString>(first.expertIds.begin(), first.expertIds.end())
                  .intersect(QSet<QString>(second.expertIds.begin(), second.expertIds.end())),
              QSet<QString>());

    // Every expert stored is there under the number its client was told, and
    // in the one panel drawn for it.
    const QStringList names = column(experts, Schema::E_Name);
    for (const auto &[who, log] : {std::pair{"甲", &first}, std::pair{"乙", &second}}) {
        ASSERT_EQ(log->expertIds.size(), kRounds);
        for (int i = 0; i < kRounds; ++i) {
            const qsizetype row = FindExpertRow(app->state.store, log->expertIds[i]);
            ASSERT_GE(row, 0);
            EXPECT_EQ(experts.cell(row, Schema::E_Name).toString(),
                      QStringLiteral("%1-%2").arg(QString::fromUtf8(who)).arg(i));
            EXPECT_EQ(column(selections, 2).count(log->expertIds[i]), 1);
        }
    }
    EXPECT_EQ(column(selections, 2).count("000001"), 2 * kRounds);
    std::printf("[ counts   ] two clients stored %lld experts, %lld projects and %lld extraction records at once; "
                "no duplicate number, none lost\n",
                static_cast<long long>(experts.count() - 2),
                static_cast<long long>(app->state.store.ProjectTable.count()),
                static_cast<long long>(selections.count()));
}

TEST_F(TwoClients, TheSecondOfTwoEditsOfOneExpertIsReported)
{
    const QString id = app->addExpert("原名");
    TestApp::Colleague colleague(*app);
    const QStringList mineAsRead = app->state.store.ExpertTable.row(0);
    const QStringList theirsAsRead = colleague.store.ExpertTable.row(0);

    ExpertFormValues v;
    v.byField[Schema::E_Name] = "同事改的";
    EXPECT_EQ(UpdateExpertAsRead(colleague.store, id, *GatherExpertFields(v, QDate(2026, 12, 10)), theirsAsRead),
              ExpertUpdate::Updated);
    v.byField[Schema::E_Name] = "我改的";
    EXPECT_EQ(UpdateExpertAsRead(app->state.store, id, *GatherExpertFields(v, QDate(2026, 12, 10)), mineAsRead),
              ExpertUpdate::Conflict);
    ASSERT_TRUE(DeleteExpertsWithSelections(colleague.store, {id}).value().deleted);
    EXPECT_EQ(UpdateExpertAsRead(app->state.store, id, *GatherExpertFields(v, QDate(2026, 12, 10)), mineAsRead),
              ExpertUpdate::Conflict);
    LoadExperts(app->state.store);
    EXPECT_EQ(app->state.store.ExpertTable.count(), 0);
}

// Two programs starting at once on an empty database: one makes the
// library, the other finds it; neither fails and nothing is made twice.
TEST(TwoClientsStarting, OnAnEmptyDatabaseMakeOneLibrary)
{
    if (!ServerDatabase::available())
        GTEST_SKIP() << ServerDatabase::unavailableReason();
    ServerDatabase db;
    QStringList errors;
    std::mutex lock;
    auto start = [&] {
        try {
            ServerBackend(db.source()).prepare();
        } catch (const DbError &e) {
            std::lock_guard<std::mutex> guard(lock);
            errors << e.message();
        }
    };
    std::thread a(start), b(start);
    a.join();
    b.join();
    EXPECT_EQ(errors, QStringList());
    DataStore store;
    store.source = db.source();
    LoadAllTables(store);
    EXPECT_EQ(store.UserTable.count(), 1);
    EXPECT_EQ(store.TitleTypeTable.count(), 6);
    EXPECT_EQ(store.DegreeTable.count(), 6);
}
