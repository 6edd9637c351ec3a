// Loading, clipping and matching on the scale of a 40,000-expert library.
#include "BenchSupport.h"
#include "DemoDatabase.h"
#include "data/Database.h"
#include "data/Tables.h"
#include "data/TextWidth.h"
#include "data/Wildcard.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// The first load of the process, as at login: the user table has been read
// (the key of the file derived) and nothing else has warmed up.
struct FirstLoad {
    double milliseconds = 0;
    double residentBefore = 0;
    double residentAfter = 0;
};

DataStore &demoStoreLoaded(FirstLoad *first = nullptr)
{
    static QTemporaryDir dir;
    static FirstLoad measured;
    static DataStore store = [] {
        DataStore s;
        s.appDir = dir.path();
        QFile::copy(DemoLibraryFile(), s.dataFilePath());
        LoadUsers(s);
        measured.residentBefore = ResidentBytes();
        QElapsedTimer timer;
        timer.start();
        LoadExperts(s);
        measured.milliseconds = double(timer.nsecsElapsed()) / 1e6;
        measured.residentAfter = ResidentBytes();
        return s;
    }();
    if (first)
        *first = measured;
    return store;
}

const DataStore &demoStore() { return demoStoreLoaded(); }

// Counters: the first load of the process (first_load_ms) and the resident
// memory right after it (rss_MB, the whole process; table_MB, what the load
// added). Run it first or alone for a first load that is really the first.
void BM_LoadExperts40000(benchmark::State &state)
{
    FirstLoad first;
    DataStore store = demoStoreLoaded(&first);
    for (auto _ : state) {
        LoadExperts(store);
        benchmark::DoNotOptimize(store.ExpertTable.count());
    }
    state.counters["rows"] = double(store.ExpertTable.count());
    state.counters["first_load_ms"] = first.milliseconds;
    state.counters["rss_MB"] = first.residentAfter / 1e6;
    state.counters["table_MB"] = (first.residentAfter - first.residentBefore) / 1e6;
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

// Many stars against a long run that almost matches: the matcher's worst case.
void BM_WildcardPathologicalPattern(benchmark::State &state)
{
    const QString text(65536, QLatin1Char('a'));
    const WildcardPattern pattern(QStringLiteral("*a*a*a*a*a*a*b"));
    for (auto _ : state)
        benchmark::DoNotOptimize(pattern.matches(text));
}
BENCHMARK(BM_WildcardPathologicalPattern)->Unit(benchmark::kMillisecond);

}   // namespace
