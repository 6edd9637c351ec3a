// Loading the expert table of a 40,000-expert library from a PostgreSQL
// server on the loopback address, beside psql copying the same table to
// /dev/null. Needs a server: run inside pg_virtualenv (PGHOST, PGPORT, ...).
#include "DemoDatabase.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/ExpertRecord.h"
#include "data/LibraryCopy.h"
#include "data/Tables.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

bool serverAvailable() { return !qEnvironmentVariableIsEmpty("PGHOST") || !qEnvironmentVariableIsEmpty("PGPORT"); }

DataSource serverDatabase(const QString &name)
{
    DataSource s;
    s.kind = DataSource::Server;
    s.uri = QStringLiteral("postgresql:///%1").arg(name);
    return s;
}

// The demo library on a database of its own, dropped at the end of the run.
struct ServerLibrary {
    QString name = QStringLiteral("kestrune_bench_%1").arg(QCoreApplication::applicationPid());
    DataStore store;

    ServerLibrary()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ProSys.mdb"));
        WriteDemoDatabase(file, DemoOptions{40000, 40000, 7});
        Connection admin = Connection::connect(serverDatabase(QStringLiteral("postgres")));
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
        admin.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(name));
        store.source = serverDatabase(name);
        CopyFileToServer(file, store.source);
        Connection conn = Connection::connect(store.source);
        conn.exec(QStringLiteral("VACUUM ANALYZE expert_msg"));
    }
    ~ServerLibrary()
    {
        try {
            Connection admin = Connection::connect(serverDatabase(QStringLiteral("postgres")));
            admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        } catch (const DbError &) {
        }
    }
};

ServerLibrary *library(benchmark::State &state)
{
    if (!serverAvailable()) {
        state.SkipWithError("no PostgreSQL server (run inside pg_virtualenv)");
        return nullptr;
    }
    static ServerLibrary lib;
    return &lib;
}

void BM_LoadExpertsServer40000(benchmark::State &state)
{
    ServerLibrary *lib = library(state);
    if (!lib)
        return;
    DataStore store = lib->store;
    for (auto _ : state) {
        LoadExperts(store);
        benchmark::DoNotOptimize(store.ExpertTable.count());
    }
    state.counters["rows"] = double(store.ExpertTable.count());
}
BENCHMARK(BM_LoadExpertsServer40000)->Unit(benchmark::kMillisecond);

// The reference: psql copying the whole table out, rows thrown away.
void BM_PsqlCopyExpertMsgToDevNull(benchmark::State &state)
{
    ServerLibrary *lib = library(state);
    if (!lib)
        return;
    for (auto _ : state) {
        QProcess psql;
        psql.start(QStringLiteral("psql"), {QStringLiteral("-q"), QStringLiteral("-d"), lib->name, QStringLiteral("-c"),
                                            QStringLiteral("\\copy expert_msg to '/dev/null'")});
        if (!psql.waitForFinished(60000) || psql.exitCode() != 0) {
            state.SkipWithError("psql failed");
            return;
        }
    }
}
BENCHMARK(BM_PsqlCopyExpertMsgToDevNull)->Unit(benchmark::kMillisecond);

// One expert's 修改 → 保存 on the 40,000-expert library, with its copy in
// the program brought up to date: only that record is read and written,
// whatever the size of the table (target: 50 ms on the loopback address).
void BM_SaveExpertServer40000(benchmark::State &state)
{
    ServerLibrary *lib = library(state);
    if (!lib)
        return;
    DataStore store = lib->store;
    LoadExperts(store);
    const QString id = store.ExpertTable.cell(store.ExpertTable.count() / 2, 0).toString();
    ExpertFormValues values;
    int round = 0;
    for (auto _ : state) {
        const qsizetype row = FindExpertRow(store, id);
        values.byField[Schema::E_Name] = QStringLiteral("改名%1").arg(++round);
        const std::optional<ExpertRecordBuffer> record = GatherExpertFields(values, QDate(2026, 12, 11));
        if (UpdateExpertAsRead(store, id, *record, store.ExpertTable.row(row)) != ExpertUpdate::Updated ||
            !RefreshExperts(store, {id}).ok()) {
            state.SkipWithError("the save failed");
            return;
        }
    }
    state.counters["rows"] = double(store.ExpertTable.count());
}
BENCHMARK(BM_SaveExpertServer40000)->Unit(benchmark::kMillisecond);

}   // namespace
