#include "DemoDatabase.h"
#include "data/Database.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/Projects.h"
#include "extraction/ProjectDraws.h"
#include "lists/ListEngine.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

class BenchSeeds : public RandomSource {
public:
    double next() override { return 0.5; }
    quint64 nextSeed() override { return 20261209; }
};

// 40,000 experts, all enabled, and one project whose random round drew ten
// of them from all 40,000.
struct FortyThousandDraw {
    QTemporaryDir dir;
    DataStore store;
    QString projectId;

    FortyThousandDraw()
    {
        store.appDir = dir.path();
        WriteDemoDatabase(store.dataFilePath(), DemoOptions{40000, 0, 7});
        {
            Connection conn = OpenDataFile(store);
            conn.exec(QStringLiteral("UPDATE expert_msg SET Status = '启用'"));
        }
        LoadAllTables(store);
        TextTable candidates;
        const QDateTime now(QDate(2026, 12, 9), QTime(9, 0));
        const KeptOut none = BuildCandidates(store, SelectionCriteria{}, {}, now.date(), DrawEligibility{}, candidates);
        DrawRound round =
            NewRound(RoundType::Random, SelectionCriteria{}, store.TitleTypeTable, {}, none, candidates, now);
        BenchSeeds seeds;
        const TextTable picked = SeededPick(round, candidates, 10, seeds);
        for (qsizetype r = 0; r < picked.count(); ++r)
            round.confirmedIds << picked.cell(r, 0).toString();
        DrawSession session;
        session.rounds << round;
        projectId = StoreDrawProject(store, picked, session, ProjectFacts{QStringLiteral("基准项目")},
                                     QStringLiteral("admin"), now)
                        .projectId;
    }
};

// The 验证 of one project: open the file, read the project, unpack and hash
// the 40,000 candidate Ids, draw again from the seed, check the links.
void BM_VerifyRoundOf40000Candidates(benchmark::State &state)
{
    static FortyThousandDraw draw;
    for (auto _ : state) {
        Connection conn = OpenDataFile(draw.store);
        const ProjectVerification v = VerifyProject(conn, draw.projectId);
        if (!v.ok())
            state.SkipWithError("the round did not verify");
        benchmark::DoNotOptimize(v.rounds);
    }
    state.counters["candidates"] = 40000;
}
BENCHMARK(BM_VerifyRoundOf40000Candidates)->Unit(benchmark::kMillisecond);

// 10,000 projects made by the demo generator (several rounds, declines and
// substitutes each), loaded as the main window loads them.
const DataStore &TenThousandProjects()
{
    static QTemporaryDir dir;
    static DataStore store = [] {
        DataStore s;
        s.appDir = dir.path();
        WriteDemoDatabase(s.dataFilePath(), DemoOptions{300, 0, 11, 10000});
        LoadProjects(s);
        return s;
    }();
    return store;
}

// The project list as its screen shows it on activation: all 10,000
// projects listed, the first page filled.
void BM_ProjectListOf10000(benchmark::State &state)
{
    const DataStore &store = TenThousandProjects();
    PagingState paging;
    ListControls controls;
    TextTable rows;
    for (auto _ : state) {
        rows = FilterProjects(store.ProjectTable, QString(), QString(), QString());
        ListCall call;
        call.columnsUsed = P_Operator + 1;
        call.list = &rows;
        call.firstOperation = QStringLiteral("[查看]");
        ShowListPage(paging, controls, call);
        benchmark::DoNotOptimize(paging.PageCount);
    }
    state.counters["projects"] = double(rows.count());
}
BENCHMARK(BM_ProjectListOf10000)->Unit(benchmark::kMillisecond);

// Reading the list from the file, with each project's rounds and experts
// counted: at start and after each stored draw or substitute.
void BM_LoadProjectsOf10000(benchmark::State &state)
{
    DataStore store = TenThousandProjects();
    for (auto _ : state) {
        LoadProjects(store);
        benchmark::DoNotOptimize(store.ProjectTable.count());
    }
    state.counters["projects"] = double(store.ProjectTable.count());
}
BENCHMARK(BM_LoadProjectsOf10000)->Unit(benchmark::kMillisecond);

// A search of the list already read: date range and a name with a wildcard.
void BM_ProjectSearchOf10000(benchmark::State &state)
{
    const TextTable &all = TenThousandProjects().ProjectTable;
    TextTable rows;
    for (auto _ : state) {
        rows = FilterProjects(all, QStringLiteral("2026-01-01"), QStringLiteral("2030-12-31"),
                              QStringLiteral("中心*评标"));
        benchmark::DoNotOptimize(rows.count());
    }
    state.counters["found"] = double(rows.count());
}
BENCHMARK(BM_ProjectSearchOf10000)->Unit(benchmark::kMicrosecond);

}   // namespace
