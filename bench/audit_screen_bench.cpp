// The 操作日志 screen's search over a log of years: reading the entries and
// making the rows the list pages through.
// Target: the whole log of 100,000 entries into rows under 1 s.
#include "admin/AuditLogView.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A library whose log holds 100,000 linked entries, a tenth of them expert
// changes with a detail to make readable; made once.
QString logFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("ProSys.mdb"));
        CreateDataFile(p);
        Connection conn = Connection::open(p);
        QList<AuditEntry> entries;
        QString prev;
        for (int i = 1; i <= 100000; ++i) {
            AuditEntry e;
            e.seq = i;
            e.at = QDateTime(QDate(2026, 1, 1).addDays(i / 1000), QTime(8, 0).addSecs(i % 1000 * 30))
                       .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
            e.operatorName = QStringLiteral("admin");
            e.kind = i % 10 ? AuditKind::Login : AuditKind::ExpertChange;
            e.subject = QString::number(i);
            e.detail = i % 10 ? QStringLiteral("{}")
                              : QStringLiteral(R"({"after":{"Company_name":"新院","Mobile":"2"},)"
                                               R"("before":{"Company_name":"旧院","Mobile":"1"}})");
            e.prevHash = prev;
            e.hash = AuditEntryHash(e);
            prev = e.hash;
            entries << e;
        }
        Transaction tx(conn);
        RebuildAuditLog(conn, entries);
        tx.commit();
        return p;
    }();
    return path;
}

void BM_AuditLogRows100000(benchmark::State &state)
{
    Connection conn = Connection::open(logFile());
    for (auto _ : state) {
        const TextTable rows = AuditLogRows(ReadAuditEntries(conn, {}));
        if (rows.count() != 100000)
            state.SkipWithError("not every entry was read");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_AuditLogRows100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}   // namespace
