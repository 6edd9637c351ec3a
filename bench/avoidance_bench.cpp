#include "data/DrawRecord.h"
#include "data/UnitHistory.h"

#include <benchmark/benchmark.h>

namespace {

const QStringList kUnits = {"中铁八局", "中铁第八工程局有限公司", "上海建工集团",       "北京建工集团",
                            "华东院",   "华东建筑设计研究院",     "中交第二航务工程局", "四川省建筑科学研究院"};

// 40,000 candidates (Id, Name, Sex, birth_date, Company_name, ...) spread over
// the units, each with one or two former units ending over the last ten
// years, and the alias groups a library keeps.
struct Library {
    TextTable candidates;
    UnitRecords records;
};

const Library &FortyThousandWithHistory()
{
    static const Library lib = [] {
        Library l;
        l.candidates.reserve(40000);
        for (int i = 0; i < 40000; ++i) {
            const QString id = QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0'));
            l.candidates.append({id, QStringLiteral("专家%1").arg(i + 1), QStringLiteral("男"), QStringLiteral(" "),
                                 kUnits[i % kUnits.size()], QStringLiteral(" "), QStringLiteral(" "),
                                 QStringLiteral(" ")});
            QList<FormerUnit> &former = l.records.former[id];
            for (int k = 0; k < 1 + i % 2; ++k)
                former.append(
                    {kUnits[(i / 3 + k) % kUnits.size()], QStringLiteral("2010-01-01"),
                     QDate(2016, 1, 1).addDays((i * 37 + k * 101) % 3650).toString(QStringLiteral("yyyy-MM-dd"))});
        }
        l.records.aliases = {{"中铁八局", "中铁第八工程局有限公司"}, {"华东院", "华东建筑设计研究院"}};
        return l;
    }();
    return lib;
}

// The work-unit rule over a whole library: current units, aliases and
// former units within three years, as a draw with that rule runs it.
void BM_UnitAvoidanceWithHistory40000(benchmark::State &state)
{
    const Library &lib = FortyThousandWithHistory();
    AvoidanceRules rules;
    rules.units = {QStringLiteral("中铁八局"), QStringLiteral("华东*")};
    rules.formerYears = 3;
    AvoidanceCounts counts;
    for (auto _ : state) {
        TextTable candidates = lib.candidates;
        counts = ApplyAvoidance(candidates, rules, TextTable(), QDate(2026, 12, 9), &lib.records);
        benchmark::DoNotOptimize(candidates.count());
    }
    state.counters["removed"] = double(counts.total);
    state.counters["former"] = double(counts.formerUnits);
}
BENCHMARK(BM_UnitAvoidanceWithHistory40000)->Unit(benchmark::kMillisecond);

}   // namespace
