#include "data/Schema.h"
#include "data/Tables.h"
#include "extraction/HistoryFilter.h"

#include <QDate>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

namespace {

QString SixDigits(qsizetype n) { return QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')); }

// 40,000 experts and 40,000 selection records over two years, some of them
// naming experts deleted since.
const DataStore &HistoryData()
{
    static const DataStore store = [] {
        DataStore s;
        QRandomGenerator rng(40000);
        const QStringList professions{"土木工程", "给排水", "电气自动化", "工程造价", "暖通空调"};
        const QStringList units{"北京建工集团", "上海市政设计院", "中铁三局", "华东电力设计院", "广州地铁"};
        s.ExpertTable.reserve(40000);
        for (int i = 1; i <= 40000; ++i) {
            QStringList row(Schema::ExpertFieldCount, QStringLiteral(" "));
            row[Schema::E_Id] = SixDigits(i);
            row[Schema::E_Name] = QStringLiteral("专家%1").arg(i);
            row[Schema::E_Status] = QStringLiteral("启用");
            row[Schema::E_Sex] = i % 2 ? QStringLiteral("男") : QStringLiteral("女");
            row[Schema::E_birth_date] = QStringLiteral("1970-01-01");
            row[Schema::E_Company_name] = units[rng.bounded(units.size())];
            row[Schema::E_cong_shi_zhuanye] = professions[rng.bounded(professions.size())];
            row[Schema::E_zige_name] = QStringLiteral("一级建造师");
            row[Schema::E_Mobile] = QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
            s.ExpertTable.append(row);
        }
        const QDate first(2025, 1, 1);
        s.SelectionTable.reserve(40000);
        for (int i = 1; i <= 40000; ++i)
            s.SelectionTable.append({SixDigits(i), first.addDays(i / 60).toString(QStringLiteral("yyyy-MM-dd")),
                                     SixDigits(1 + rng.bounded(40400))});
        return s;
    }();
    return store;
}

// The history over every record: the range of all dates.
void BM_HistoryAllRecords(benchmark::State &state)
{
    const DataStore &s = HistoryData();
    const HistoryCriteria criteria{QStringLiteral("2000-01-01"), QStringLiteral("2099-12-31"), {}, {}};
    qsizetype rows = 0;
    for (auto _ : state) {
        TextTable list = FilterHistory(s.SelectionTable, s.ExpertTable, criteria);
        rows = list.count();
        benchmark::DoNotOptimize(list);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_HistoryAllRecords)->Unit(benchmark::kMillisecond);

// Every record with both partial criteria in use.
void BM_HistoryAllRecordsWithCriteria(benchmark::State &state)
{
    const DataStore &s = HistoryData();
    const HistoryCriteria criteria{QStringLiteral("2000-01-01"), QStringLiteral("2099-12-31"), QStringLiteral("工程"),
                                   QStringLiteral("设计院")};
    for (auto _ : state) {
        TextTable list = FilterHistory(s.SelectionTable, s.ExpertTable, criteria);
        benchmark::DoNotOptimize(list);
    }
}
BENCHMARK(BM_HistoryAllRecordsWithCriteria)->Unit(benchmark::kMillisecond);

}   // namespace
