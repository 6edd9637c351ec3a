// The login's check with the hash cost the program stores passwords at: one
// Argon2id verification and the reading of the user table, on a library
// file of its own. The target is well under half a second a login.
#include "data/Database.h"
#include "data/PasswordHash.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "data/Users.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_LoginPasswordHash(benchmark::State &state)
{
    PasswordHash::SetCost(PasswordHash::kLoginCost);
    QTemporaryDir dir;
    DataStore store;
    store.appDir = dir.path();
    CreateDataFile(store.dataFilePath());
    const QDateTime now = QDateTime::currentDateTime();
    for (auto _ : state) {
        const Result<LoginCheck> check = CheckLogin(store, QStringLiteral("admin"), QStringLiteral("123456"), now);
        if (!check || check->verdict != LoginCheck::Verdict::Accepted) {
            state.SkipWithError("the administrator was refused");
            break;
        }
    }
    state.counters["limit_ms"] = 500;
}
BENCHMARK(BM_LoginPasswordHash)->Unit(benchmark::kMillisecond)->Iterations(10);

// Making a hash: what adding a user, a new password and the first login of
// a password kept as typed cost once.
void BM_MakePasswordHash(benchmark::State &state)
{
    PasswordHash::SetCost(PasswordHash::kLoginCost);
    for (auto _ : state)
        benchmark::DoNotOptimize(PasswordHash::Make(QStringLiteral("s3cret")));
}
BENCHMARK(BM_MakePasswordHash)->Unit(benchmark::kMillisecond)->Iterations(10);

}   // namespace
