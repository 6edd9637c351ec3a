#include "lists/ListEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// The largest grid a screen has: nine columns, check boxes and two row links.
struct Grid {
    QWidget screen;
    ListControls c;
    PagingState paging;
    TextTable rows;
    ListCall call;

    explicit Grid(qsizetype rowCount)
    {
        for (int m = 0; m < 9; ++m)
            for (int i = 0; i < kRowsPerPage; ++i)
                c.lab[m][i] = new QLabel(&screen);
        for (int i = 0; i < kRowsPerPage; ++i) {
            c.chk[i] = new QCheckBox(&screen);
            c.labOP_1[i] = new QLabel(&screen);
            c.labOP_2[i] = new QLabel(&screen);
        }
        c.chkAll = new QCheckBox(&screen);
        c.labPage = new QLabel(&screen);
        c.labFirst = new QLabel(&screen);
        c.labPre = new QLabel(&screen);
        c.labNext = new QLabel(&screen);
        c.labLast = new QLabel(&screen);
        rows.reserve(rowCount);
        for (qsizetype r = 0; r < rowCount; ++r) {
            QStringList row{QString::number(r)};
            for (int j = 1; j < 9; ++j)
                row << QStringLiteral("cell %1-%2").arg(j).arg(r);
            rows.append(row);
        }
        call = ListCall{9, &rows, QStringLiteral("[查看]"), QStringLiteral("[修改]"), true};
    }
};

void BM_ShowListPage40000(benchmark::State &state)
{
    Grid g(40000);
    for (auto _ : state)
        ShowListPage(g.paging, g.c, g.call);
}
BENCHMARK(BM_ShowListPage40000)->Unit(benchmark::kMicrosecond);

// Alternating next and previous keeps every iteration a real page move.
void BM_NextPage40000(benchmark::State &state)
{
    Grid g(40000);
    ShowListPage(g.paging, g.c, g.call);
    for (auto _ : state) {
        if (g.paging.NextLinkOn)
            ShowNextPage(g.paging, g.c, g.call);
        else
            ShowListPage(g.paging, g.c, g.call);
    }
}
BENCHMARK(BM_NextPage40000)->Unit(benchmark::kMicrosecond);

void BM_LastPage40000(benchmark::State &state)
{
    Grid g(40000);
    for (auto _ : state) {
        state.PauseTiming();
        ShowListPage(g.paging, g.c, g.call);
        state.ResumeTiming();
        ShowLastPage(g.paging, g.c, g.call);
    }
}
BENCHMARK(BM_LastPage40000)->Unit(benchmark::kMicrosecond);

}   // namespace
