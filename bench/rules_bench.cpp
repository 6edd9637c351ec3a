#include "data/EligibilityRules.h"
#include "data/Schema.h"
#include "extraction/CandidateFilter.h"

#include <benchmark/benchmark.h>

namespace {

// An 18-digit card number for a birth date, with its check character.
QString CardFor(const QDate &born, int serial)
{
    QString n = QStringLiteral("110105") + born.toString(QStringLiteral("yyyyMMdd")) +
                QStringLiteral("%1").arg(serial % 1000, 3, 10, QLatin1Char('0'));
    static constexpr int kWeights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (n[i].unicode() - '0') * kWeights[i];
    return n + QLatin1Char("10X98765432"[sum % 11]);
}

// 40,000 experts as the loaders leave them, four in five enabled, every
// field the rules read filled the way libraries fill them: one in four
// without 出生日期 (so the card is read), one in twenty without 毕业时间,
// five title levels.
const TextTable &FortyThousandExperts()
{
    static const TextTable table = [] {
        using namespace Schema;
        TextTable t;
        t.reserve(40000);
        for (int i = 0; i < 40000; ++i) {
            QStringList row;
            row.reserve(ExpertFieldCount);
            for (int f = 0; f < ExpertFieldCount; ++f)
                row << QStringLiteral(" ");
            const QDate born(1945 + i % 50, 1 + i % 12, 1 + i % 28);
            row[E_Id] = QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0'));
            row[E_Name] = QStringLiteral("专家%1").arg(i + 1);
            row[E_Status] = i % 5 == 4 ? QStringLiteral("停用") : QStringLiteral("启用");
            row[E_Is_temp] = QStringLiteral("正式");
            row[E_birth_date] = i % 4 == 0 ? QStringLiteral(" ") : born.toString(QStringLiteral("yyyy-MM-dd"));
            row[E_Profession] = CardFor(born, i);
            row[E_graduate_date] =
                i % 20 == 0 ? QStringLiteral(" ") : born.addYears(22 + i % 4).toString(QStringLiteral("yyyy-MM-dd"));
            row[E_zhicheng_id] = QStringLiteral("0%1").arg(1 + i % 5);
            row[E_Company_name] = QStringLiteral("北京建工集团");
            row[E_Mobile] = QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
            t.append(row);
        }
        return t;
    }();
    return table;
}

// Every rule on, 40,000 confirmations over the last year (8,000 panels of
// five) for the limit to count, and 400 experts suspended.
DrawEligibility AllRules()
{
    DrawEligibility e;
    e.reviewDate = QDate(2026, 12, 9);
    e.rules.ageLimit = 70;
    e.rules.minWorkYears = 8;
    e.rules.titleLevels = {QStringLiteral("03"), QStringLiteral("04"), QStringLiteral("05")};
    e.rules.panelSize = 5;
    e.rules.confirmGapDays = 365;
    e.rules.confirmLimit = 4;
    e.rules.confirmDays = 90;
    e.confirmed.reserve(40000);
    for (int p = 0; p < 8000; ++p)
        for (int k = 0; k < 5; ++k)
            e.confirmed.append({QStringLiteral("%1").arg((p * 7 + k * 1601) % 40000 + 1, 6, 10, QLatin1Char('0')),
                                QStringLiteral("P%1").arg(p), e.reviewDate.addDays(-(p % 365))});
    for (int i = 0; i < 400; ++i)
        e.suspended.insert(QStringLiteral("%1").arg(i * 97 % 40000 + 1, 6, 10, QLatin1Char('0')));
    return e;
}

void BM_CandidateFilterAllRules40000(benchmark::State &state)
{
    const TextTable &experts = FortyThousandExperts();
    const DrawEligibility eligibility = AllRules();
    TextTable candidates;
    EligibilityCounts counts;
    for (auto _ : state) {
        counts = FilterCandidates(experts, SelectionCriteria{}, eligibility, candidates);
        benchmark::DoNotOptimize(candidates.count());
    }
    state.counters["candidates"] = double(candidates.count());
    state.counters["removed"] = double(counts.total);
}
BENCHMARK(BM_CandidateFilterAllRules40000)->Unit(benchmark::kMillisecond);

}   // namespace
