#include "data/Schema.h"
#include "data/SupervisedDraw.h"
#include "data/Wildcard.h"
#include "extraction/CandidateFilter.h"
#include "extraction/DrawProcedures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <random>

namespace {

// 40,000 experts as the loaders leave them; four in five enabled, a mix of
// kinds, title levels and texts so that every criterion has work to do.
const TextTable &FortyThousandExperts()
{
    static const TextTable table = [] {
        using namespace Schema;
        static const char *surnames[] = {"张", "王", "李", "赵", "孙", "周", "吴", "郑"};
        static const char *given[] = {"卫", "明", "华", "平", "亮", "芳", "强", "敏", "静", "军"};
        static const char *units[] = {"北京建工集团", "上海审计事务所", "广州设计研究院", "天津第三建筑公司"};
        static const char *fields[] = {"土木工程", "工程经济", "给排水", "电气自动化", "会计"};
        TextTable t;
        t.reserve(40000);
        for (int i = 0; i < 40000; ++i) {
            QStringList row;
            row.reserve(ExpertFieldCount);
            for (int f = 0; f < ExpertFieldCount; ++f)
                row << QStringLiteral(" ");
            row[E_Id] = QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0'));
            row[E_Name] = QString::fromUtf8(surnames[i % 8]) + QString::fromUtf8(given[(i / 8) % 10]) +
                          QString::fromUtf8(given[(i / 80) % 10]);
            row[E_Status] = i % 5 == 4 ? QStringLiteral("停用") : QStringLiteral("启用");
            row[E_Is_temp] = i % 7 == 0 ? QStringLiteral("临时") : QStringLiteral("正式");
            row[E_Sex] = i % 2 ? QStringLiteral("女") : QStringLiteral("男");
            row[E_birth_date] = QStringLiteral("19%1-0%2-1%3").arg(50 + i % 40).arg(1 + i % 9).arg(i % 10);
            row[E_zhicheng_id] = QStringLiteral("0%1").arg(1 + i % 5);
            row[E_type] = i % 3 ? QStringLiteral("工程类") : QStringLiteral("经济类");
            row[E_resource_industry] = QString::fromUtf8(fields[(i + 2) % 5]);
            row[E_cong_shi_zhuanye] = QString::fromUtf8(fields[i % 5]);
            row[E_zige_name] = i % 4 ? QStringLiteral("一级建造师") : QStringLiteral("注册造价工程师");
            row[E_Company_name] = QString::fromUtf8(units[i % 4]);
            row[E_Mobile] = QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
            t.append(row);
        }
        return t;
    }();
    return table;
}

// The same kind of generator the program uses, seeded once.
class BenchRandom : public RandomSource {
public:
    double next() override { return double(m_engine() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 m_engine{20261209};
};

// Every criterion set, wildcards included, and most experts passing: the
// most work one expert can cost.
SelectionCriteria EveryCriterion()
{
    SelectionCriteria criteria;
    criteria[0] = QStringLiteral("?");
    criteria[1] = QStringLiteral("正式");
    criteria[2] = QStringLiteral("类");
    criteria[3] = QStringLiteral("*");
    criteria[4] = QStringLiteral("[!x]");
    criteria[6] = QStringLiteral("师");
    criteria[7] = QStringLiteral("?*[!0-9]");
    return criteria;
}

void BM_CandidateFilterNoCriteria40000(benchmark::State &state)
{
    const TextTable &experts = FortyThousandExperts();
    TextTable candidates;
    for (auto _ : state) {
        FilterCandidates(experts, SelectionCriteria{}, candidates);
        benchmark::DoNotOptimize(candidates.count());
    }
    state.counters["candidates"] = double(candidates.count());
}
BENCHMARK(BM_CandidateFilterNoCriteria40000)->Unit(benchmark::kMillisecond);

void BM_CandidateFilterAllCriteria40000(benchmark::State &state)
{
    const TextTable &experts = FortyThousandExperts();
    const SelectionCriteria criteria = EveryCriterion();
    TextTable candidates;
    for (auto _ : state) {
        FilterCandidates(experts, criteria, candidates);
        benchmark::DoNotOptimize(candidates.count());
    }
    state.counters["candidates"] = double(candidates.count());
}
BENCHMARK(BM_CandidateFilterAllCriteria40000)->Unit(benchmark::kMillisecond);

// The candidate filter as plainly written, without compiling the tests once
// or building the list aside: the baseline FilterCandidates is measured
// against.
void PlainFilterCandidates(const TextTable &experts, const SelectionCriteria &criteria, TextTable &candidates)
{
    using namespace Schema;
    static constexpr ExpertField kFields[kSelectionCriteriaCount] = {
        E_Name, E_Is_temp, E_type, E_resource_industry, E_cong_shi_zhuanye, E_zhicheng_id, E_zige_name, E_Company_name};
    static constexpr bool kPartial[kSelectionCriteriaCount] = {true, false, true, true, true, false, true, true};
    struct Test {
        ExpertField field;
        QString exact;
        std::optional<WildcardPattern> pattern;
    };
    QVector<Test> tests;
    for (int slot = 0; slot < kSelectionCriteriaCount; ++slot) {
        if (criteria[slot].isEmpty())
            continue;
        Test t{kFields[slot], criteria[slot], std::nullopt};
        if (kPartial[slot])
            t.pattern = WildcardPattern::contains(criteria[slot]);
        tests.append(std::move(t));
    }
    candidates.clear();
    candidates.reserve(experts.count());
    const QString enabled = QStringLiteral("启用");
    for (qsizetype r = 0; r < experts.count(); ++r) {
        if (experts.cell(r, E_Status) != enabled)
            continue;
        const bool passes = std::all_of(tests.begin(), tests.end(), [&](const Test &t) {
            const QString value = experts.cell(r, t.field).toString();
            return t.pattern ? t.pattern->matches(value) : value == t.exact;
        });
        if (passes)
            candidates.appendCells(CandidateColumns(experts, r));
    }
}

void BM_PlainCandidateFilterNoCriteria40000(benchmark::State &state)
{
    const TextTable &experts = FortyThousandExperts();
    TextTable candidates;
    for (auto _ : state) {
        PlainFilterCandidates(experts, SelectionCriteria{}, candidates);
        benchmark::DoNotOptimize(candidates.count());
    }
    state.counters["candidates"] = double(candidates.count());
}
BENCHMARK(BM_PlainCandidateFilterNoCriteria40000)->Unit(benchmark::kMillisecond);

void BM_PlainCandidateFilterAllCriteria40000(benchmark::State &state)
{
    const TextTable &experts = FortyThousandExperts();
    const SelectionCriteria criteria = EveryCriterion();
    TextTable candidates;
    for (auto _ : state) {
        PlainFilterCandidates(experts, criteria, candidates);
        benchmark::DoNotOptimize(candidates.count());
    }
    state.counters["candidates"] = double(candidates.count());
}
BENCHMARK(BM_PlainCandidateFilterAllCriteria40000)->Unit(benchmark::kMillisecond);

// The hardest random draw: all candidates but one out of 40,000.
void BM_RandomDrawAllButOne40000(benchmark::State &state)
{
    const qsizetype count = 40000;
    BenchRandom random;
    for (auto _ : state) {
        const QVector<qsizetype> picks = RandomDraw(count, count - 1, random);
        benchmark::DoNotOptimize(picks.data());
    }
}
BENCHMARK(BM_RandomDrawAllButOne40000)->Unit(benchmark::kMillisecond);

// The whole random draw of the screen: filter, draw, copy the picked rows.
void BM_FilterAndRandomDrawAllButOne40000(benchmark::State &state)
{
    const TextTable &experts = FortyThousandExperts();
    BenchRandom random;
    TextTable candidates;
    for (auto _ : state) {
        FilterCandidates(experts, SelectionCriteria{}, candidates);
        const QVector<qsizetype> picks = RandomDraw(candidates.count(), candidates.count() - 1, random);
        candidates = PickRows(candidates, picks);
        benchmark::DoNotOptimize(candidates.count());
    }
}
BENCHMARK(BM_FilterAndRandomDrawAllButOne40000)->Unit(benchmark::kMillisecond);

// A supervised draw over 40,000 candidates: the list's hash, the key and the
// order of the whole list (the panel and the reserve). Target: under 200 ms.
void BM_SupervisedDraw40000(benchmark::State &state)
{
    QStringList ids;
    for (int i = 0; i < 40000; ++i)
        ids << QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0'));
    const QByteArray bytes(32, '\x2a');
    for (auto _ : state) {
        const SupervisedSeed seed = DeriveSupervised(ids, bytes, QStringLiteral("20261209"), QString(), QDateTime());
        benchmark::DoNotOptimize(seed.order.data());
    }
}
BENCHMARK(BM_SupervisedDraw40000)->Unit(benchmark::kMillisecond);

}   // namespace
