// The expert list and the advanced search on a library of 40,000 experts.
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "experts/ExpertFilters.h"
#include "experts/frmExpertList.h"
#include "experts/frmSearchExpert.h"
#include "lists/PagedList.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

constexpr int kExperts = 40000;

struct BenchClock : Clock {
    QDate today() const override { return QDate(2026, 12, 9); }
};
struct SilentMessages : MessageService {
    void show(const QString &, const QString &, Icon, const QString &) override {}
    bool ask(const QString &, const QString &) override { return false; }
    bool retry(const QString &, const QString &, const QString &) override { return false; }
};
struct NoNavigation : ScreenNavigator {
    void openScreen(ScreenId, const ScreenArgs &) override {}
    void setBannerWidth(int) override {}
    void exitApplication() override {}
    void openChangePassword() override {}
};

template <size_t N> const QString &Pick(const QString (&pool)[N], std::mt19937 &rng)
{
    return pool[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

QString Date(std::mt19937 &rng, int fromYear, int toYear)
{
    return QDate(std::uniform_int_distribution<int>(fromYear, toYear)(rng),
                 std::uniform_int_distribution<int>(1, 12)(rng), std::uniform_int_distribution<int>(1, 28)(rng))
        .toString(QStringLiteral("yyyy-MM-dd"));
}

// Writes kExperts experts with varied, plausible values into a new data file.
void FillDemoExperts(const QString &path)
{
    static const QString surnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马",
                                       "朱", "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "卫"};
    static const QString given[] = {"伟", "芳", "娜", "敏", "静",   "丽", "强", "磊", "军",   "洋",   "勇",   "艳",
                                    "杰", "涛", "明", "超", "秀英", "华", "平", "亮", "建国", "志强", "海燕", "晓东"};
    static const QString cities[] = {"北京", "上海", "广州", "深圳", "天津", "重庆", "南京", "杭州",
                                     "武汉", "成都", "西安", "沈阳", "长沙", "郑州", "济南"};
    static const QString schools[] = {"清华大学",     "同济大学", "东南大学",     "天津大学",       "浙江大学",
                                      "华中科技大学", "重庆大学", "西安交通大学", "哈尔滨工业大学", "中南大学"};
    static const QString companies[] = {"建工集团",   "电力公司",     "地铁集团",     "设计研究院",
                                        "路桥公司",   "水务集团",     "咨询有限公司", "勘察院",
                                        "交通规划院", "市政工程公司", "监理有限公司"};
    static const QString professions[] = {"土木工程", "电气工程", "给排水",   "暖通空调", "工程造价", "工程管理",
                                          "道路桥梁", "隧道工程", "环境工程", "建筑设计", "机电安装", "软件工程"};
    static const QString kinds[] = {"工程类", "经济类", "管理类", "技术类"};
    static const QString industries[] = {"建筑工程", "市政工程", "电力系统", "交通工程",
                                         "水利水电", "信息技术", "工程造价", "环境保护"};
    static const QString qualifications[] = {"一级建造师",     "二级建造师",     "注册监理工程师", "注册造价工程师",
                                             "注册电气工程师", "注册结构工程师", "高级工程师",     "注册咨询工程师"};
    static const QString stars[] = {"★☆☆☆☆", "★★☆☆☆", "★★★☆☆", "★★★★☆", "★★★★★"};

    CreateDataFile(path);
    Connection conn = Connection::open(path);
    Transaction tx(conn);
    QStringList marks;
    for (int i = 0; i < Schema::ExpertFieldCount; ++i)
        marks << QStringLiteral("?");
    Statement insert = conn.prepare(QStringLiteral("INSERT INTO expert_msg VALUES (%1)").arg(marks.join(',')));
    std::mt19937 rng(20261209);
    auto chance = [&](int percent) { return std::uniform_int_distribution<int>(0, 99)(rng) < percent; };
    for (int n = 1; n <= kExperts; ++n) {
        const int level = std::uniform_int_distribution<int>(1, 5)(rng);
        const QString city = Pick(cities, rng);
        const QStringList row{
            QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')),
            Pick(surnames, rng) + Pick(given, rng) + (chance(50) ? Pick(given, rng) : QString()),
            chance(90) ? QStringLiteral("启用") : QStringLiteral("停用"),
            chance(85) ? QStringLiteral("正式") : QStringLiteral("临时"),
            stars[level - 1],
            chance(70) ? QStringLiteral("男") : QStringLiteral("女"),
            Date(rng, 1950, 1985),
            QStringLiteral(" "),
            city,
            ReferenceCode(std::uniform_int_distribution<int>(1, 5)(rng)),
            Pick(schools, rng),
            Date(rng, 1972, 2008),
            QStringLiteral("1101011970%1").arg(n, 8, 10, QLatin1Char('0')),
            city + Pick(companies, rng),
            QStringLiteral("总工程师"),
            ReferenceCode(level),
            Pick(professions, rng),
            Pick(kinds, rng),
            Pick(industries, rng),
            Pick(qualifications, rng),
            Date(rng, 1990, 2025),
            Date(rng, 1995, 2025),
            QStringLiteral("139%1").arg(n, 8, 10, QLatin1Char('0')),
            QStringLiteral("expert%1@example.com").arg(n),
            city + QStringLiteral("市中山路%1号").arg(n % 500 + 1),
            QStringLiteral("100000"),
            QStringLiteral("1990年至今从事工程技术工作。"),
            QStringLiteral("主持多项重点工程。"),
            Date(rng, 2010, 2026),
        };
        for (int i = 0; i < row.size(); ++i)
            insert.bind(i + 1, row[i]);
        insert.step();
        insert.reset();
    }
    tx.commit();
}

// One program state over the demo library with both screens loaded.
struct Library {
    QTemporaryDir dir;
    AppState state;
    NoNavigation nav;
    std::unique_ptr<frmExpertList> list;
    std::unique_ptr<frmSearchExpert> search;

    Library()
    {
        state.store.appDir = dir.path();
        state.services.clock = std::make_shared<BenchClock>();
        state.services.messages = std::make_shared<SilentMessages>();
        state.session.CurrentUserRole = 0;
        InitPathTitles(state.nav);
        FillDemoExperts(DataFilePath(state.store.appDir));
        LoadAllTables(state.store);
        list = std::make_unique<frmExpertList>(state, nav);
        list->load();
        list->activate();
        search = std::make_unique<frmSearchExpert>(state, nav);
        search->load();
        search->activate();
    }
};

Library &Demo()
{
    static Library library;
    return library;
}

// Activation and "检索" without a filter: all 40,000 rows rebuilt, page 1 shown.
void BM_ExpertListRebuildAndFirstPage(benchmark::State &st)
{
    Library &lib = Demo();
    for (auto _ : st) {
        lib.list->cmdSearch_Click();
        benchmark::DoNotOptimize(lib.state.ExpertListRows.count());
    }
    st.counters["rows"] = double(lib.state.ExpertListRows.count());
}
BENCHMARK(BM_ExpertListRebuildAndFirstPage)->Unit(benchmark::kMillisecond);

// One page link on the full list, forward and back by turns.
void BM_ExpertListPageMove(benchmark::State &st)
{
    Library &lib = Demo();
    lib.list->cmdSearch_Click();
    PagedList *pages = lib.list->list();
    for (auto _ : st) {
        if (lib.state.paging.CurrentPage == 1)
            pages->nextPage();
        else
            pages->previousPage();
    }
}
BENCHMARK(BM_ExpertListPageMove)->Unit(benchmark::kMicrosecond);

// "检 索" with all thirteen criteria set, results listed from page 1.
void BM_AdvancedSearchThirteenCriteria(benchmark::State &st)
{
    Library &lib = Demo();
    frmSearchExpert &s = *lib.search;
    auto text = [&](int i, const QString &t) {
        s.findChild<QLineEdit *>(ArrayName(QStringLiteral("txtDis"), i))->setText(t);
    };
    text(0, QStringLiteral("王"));
    s.comSex()->setCurrentIndex(1);
    s.comSta()->setCurrentIndex(1);
    s.comLin()->setCurrentIndex(1);
    s.comDegree()->setCurrentIndex(3);
    text(1, QStringLiteral("类"));
    s.comZhicheng()->setCurrentIndex(4);
    text(2, QStringLiteral("?"));
    text(3, QStringLiteral("公司"));
    text(4, QStringLiteral("工程"));
    text(5, QStringLiteral("工程"));
    text(6, QStringLiteral("师"));
    text(7, QStringLiteral("20"));
    for (auto _ : st) {
        s.cmdSearch_Click();
        benchmark::DoNotOptimize(lib.state.SearchResultRows.count());
    }
    st.counters["rows"] = double(lib.state.SearchResultRows.count());
}
BENCHMARK(BM_AdvancedSearchThirteenCriteria)->Unit(benchmark::kMillisecond);

// Thirteen criteria whose partial ones all carry wildcards, so no test is a
// plain substring search: the filter alone, at its slowest.
void BM_SearchFilterWildcardCriteria(benchmark::State &st)
{
    Library &lib = Demo();
    const SearchCriteria criteria{"?", "男", "启用", "正式", "03", "?类", "03", "?", "?司", "*程", "?", "*师", "20##-"};
    TextTable rows;
    for (auto _ : st) {
        sExpert_MsgDetTemp(lib.state.store, criteria, rows);
        benchmark::DoNotOptimize(rows.count());
    }
    st.counters["rows"] = double(rows.count());
}
BENCHMARK(BM_SearchFilterWildcardCriteria)->Unit(benchmark::kMillisecond);

}   // namespace
