// Checking and adding an import workbook of 10,000 experts (the rows as the
// spreadsheet engine hands them over; reading the workbook itself is one
// CSV export of the office program, measured separately).
#include "admin/ExpertImport.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QList<QStringList> importSheet(const DataStore &store, int count)
{
    QList<QStringList> rows = ExpertImport::TemplateRows(store);
    const QStringList example = rows[2];
    for (int i = 0; i < count; ++i) {
        QStringList row = example;
        row[0] = QStringLiteral("专家%1").arg(i);
        rows << row;
    }
    return rows;
}

void BM_ImportTenThousandExperts(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        DataStore store;
        store.appDir = dir.path();
        CreateDataFile(store.dataFilePath());
        LoadAllTables(store);
        const QList<QStringList> rows = importSheet(store, 10000);
        state.ResumeTiming();

        const Outcome out = ExpertImport::ImportRows(store, QDate(2026, 12, 9), rows);
        if (!out.ok() || store.ExpertTable.count() != 10000)
            state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_ImportTenThousandExperts)->Unit(benchmark::kMillisecond)->Iterations(3);

}   // namespace
