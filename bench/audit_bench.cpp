// Checking the operation log of a library that has been used for years.
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A library whose log holds 100,000 entries, made once.
QString chainFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("ProSys.mdb"));
        CreateDataFile(p);
        Connection conn = Connection::open(p);
        Transaction tx(conn);
        const QDateTime at(QDate(2026, 1, 5), QTime(8, 0));
        for (int i = 0; i < 100000; ++i)
            AppendAudit(conn, QStringLiteral("admin"), i % 3 ? AuditKind::Login : AuditKind::Print,
                        QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), {{"n", i}}, at.addSecs(i * 60));
        tx.commit();
        return p;
    }();
    return path;
}

// Target: under 1 s for the whole chain.
void BM_VerifyChain100000(benchmark::State &state)
{
    Connection conn = Connection::open(chainFile());
    for (auto _ : state) {
        const QStringList problems = VerifyChain(conn);
        if (!problems.isEmpty())
            state.SkipWithError("the chain does not verify");
        benchmark::DoNotOptimize(problems);
    }
}
BENCHMARK(BM_VerifyChain100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}   // namespace
