// Loading, clipping and matching on the scale of a 40,000-expert library.
#include "DemoDatabase.h"
#include "data/Database.h"
#include "data/Tables.h"
#include "data/TextWidth.h"
#include "data/Wildcard.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// One demo database for every benchmark of this file.
const DataStore &demoStore()
{
    static QTemporaryDir dir;
    static DataStore store = [] {
        DataStore s;
        s.appDir = dir.path();
        WriteDemoDatabase(s.dataFilePath(), DemoOptions{40000, 40000, 7});
        LoadExperts(s);
        return s;
    }();
    return store;
}

void BM_LoadExperts40000(benchmark::State &state)
{
    DataStore store = demoStore();
    for (auto _ : state) {
        LoadExperts(store);
        benchmark::DoNotOptimize(store.ExpertTable.count());
    }
    state.counters["rows"] = double(store.ExpertTable.count());
}
BENCHMARK(BM_LoadExperts40000)->Unit(benchmark::kMillisecond);

// The integrity check that runs at start while the login window waits: it
// reads every page, about as much as loading the tables does.
void BM_IntegrityCheck40000(benchmark::State &state)
{
    const QString path = demoStore().dataFilePath();
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckFileIntegrity(path));
}
BENCHMARK(BM_IntegrityCheck40000)->Unit(benchmark::kMillisecond);

void BM_CutToWidthLongMixedText(benchmark::State &state)
{
    QString text;
    for (int i = 0; i < 4000; ++i)
        text += (i % 3 ? QStringLiteral("工程业绩") : QStringLiteral("Project 12; "));
    for (auto _ : state)
        benchmark::DoNotOptimize(CutToWidth(text, 65535));
    state.counters["chars"] = double(text.size());
}
BENCHMARK(BM_CutToWidthLongMixedText)->Unit(benchmark::kMicrosecond);

void BM_CutToWidthFieldValue(benchmark::State &state)
{
    const QString text = QStringLiteral("中国建筑第八工程局有限公司第三建设分公司 Room 1203, 人民路100号");
    for (auto _ : state)
        benchmark::DoNotOptimize(CutToWidth(text, 50));
}
BENCHMARK(BM_CutToWidthFieldValue);

void BM_WildcardOver40000Names(benchmark::State &state)
{
    const TextTable &experts = demoStore().ExpertTable;
    const QString typed = state.range(0) == 0 ? QStringLiteral("卫") : QStringLiteral("王?[东国]");
    int hits = 0;
    for (auto _ : state) {
        const WildcardPattern pattern = WildcardPattern::contains(typed);
        hits = 0;
        for (qsizetype r = 0; r < experts.count(); ++r)
            hits += pattern.matches(experts.cell(r, 1)) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = hits;
}
BENCHMARK(BM_WildcardOver40000Names)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
