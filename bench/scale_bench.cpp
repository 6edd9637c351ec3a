// What a user waits for on a library of 40,000 experts and 40,000 draw
// records, driven through the screens as the user drives them: saving an
// edited expert until the list is back, deleting one expert, the exit
// backup, reports of 40,000 rows through the real LibreOffice, and imports
// of 50,000 rows.

#include "BenchSupport.h"

#include "admin/ExpertImport.h"
#include "admin/frmDataInOut.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "experts/frmExpertList.h"
#include "files/DataFolder.h"
#include "lists/PagedList.h"
#include "reports/ReportPreview.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

template <typename T> T *Control(BenchApp &app, const QString &form, const QString &name)
{
    T *control = app.host->find<T>(form, name);
    if (!control)
        qFatal("no control %s on %s", qPrintable(name), qPrintable(form));
    return control;
}

// Where the office's time went, per iteration and operation ("open_ms", ...).
void CountEngineTimes(benchmark::State &st, const EngineTimes &times)
{
    for (auto it = times.milliseconds.cbegin(); it != times.milliseconds.cend(); ++it)
        st.counters[(it.key() + QStringLiteral("_ms")).toStdString()] =
            benchmark::Counter(it.value(), benchmark::Counter::kAvgIterations);
}

// "修改" on the first expert of the list, one field changed, then "保 存":
// from the click until the expert list is shown again.
void BM_ExpertUpdateAndListBack40000(benchmark::State &st)
{
    BenchApp app;
    app.host->openScreen(ScreenId::ExpertList);
    auto *list = static_cast<frmExpertList *>(app.host->screen(Form::frmExpertList));
    int round = 0;
    for (auto _ : st) {
        st.PauseTiming();
        list->list()->secondOperationClicked(0);   // "[修改]" on the first row
        auto *position = Control<QLineEdit>(app, QStringLiteral("frmExpertListUpd"), QStringLiteral("txtDis(13)"));
        position->setText(QStringLiteral("总工程师%1").arg(++round));
        auto *save = Control<QPushButton>(app, QStringLiteral("frmExpertListUpd"), QStringLiteral("cmd_Save"));
        st.ResumeTiming();

        save->click();
        if (app.state.nav.CurrentScreen != ScreenNumber(ScreenId::ExpertList) ||
            app.messages->last != QStringLiteral("修改成功。")) {
            st.SkipWithError(qPrintable(QStringLiteral("not saved: ") + app.messages->last));
            break;
        }
    }
    st.counters["experts"] = double(app.state.store.ExpertTable.count());
}
BENCHMARK(BM_ExpertUpdateAndListBack40000)->Unit(benchmark::kMillisecond)->Iterations(10);

// One expert ticked on the list, "删除", "您确定删除吗？" answered Yes:
// until the list is shown again.
void BM_DeleteOneExpert40000(benchmark::State &st)
{
    BenchApp app;
    app.host->openScreen(ScreenId::ExpertList);
    auto *list = static_cast<frmExpertList *>(app.host->screen(Form::frmExpertList));
    auto *del = Control<QPushButton>(app, QStringLiteral("frmExpertList"), QStringLiteral("cmdDel"));
    for (auto _ : st) {
        st.PauseTiming();
        const qsizetype before = app.state.store.ExpertTable.count();
        list->list()->controls().chk[3]->setChecked(true);
        st.ResumeTiming();

        del->click();
        if (app.state.store.ExpertTable.count() != before - 1) {
            st.SkipWithError(qPrintable(QStringLiteral("not deleted: ") + app.messages->last));
            break;
        }
    }
    st.counters["experts"] = double(app.state.store.ExpertTable.count());
}
BENCHMARK(BM_DeleteOneExpert40000)->Unit(benchmark::kMillisecond)->Iterations(10);

// The copy the backup window makes before its progress bar runs (the bar's
// own second is not part of it). The engine's quick check of the file is
// timed on its own as a counter.
void BM_ExitBackup40000(benchmark::State &st)
{
    BenchApp app;
    for (auto _ : st) {
        const Outcome copied = BackupDataFile(app.state.store.appDir);
        if (!copied) {
            st.SkipWithError(qPrintable(copied.message()));
            break;
        }
    }
    QElapsedTimer check;
    check.start();
    Connection conn = Connection::open(app.state.store.dataFilePath());
    Statement quick = conn.prepare(QStringLiteral("PRAGMA quick_check"));
    quick.step();
    st.counters["quick_check_ms"] = double(check.nsecsElapsed()) / 1e6;
    st.counters["file_MB"] = double(QFileInfo(app.state.store.dataFilePath()).size()) / 1e6;
}
BENCHMARK(BM_ExitBackup40000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// The history of every stored draw (all 40,000 records), "导出Excel" into a
// new file: from the click until the workbook is saved.
void BM_HistoryExport40000Rows(benchmark::State &st)
{
    BenchApp app;
    auto times = std::make_shared<EngineTimes>();
    app.state.services.makeSpreadsheet = TimedEngines(times);
    app.host->openScreen(ScreenId::DrawHistory);
    const QString form = QStringLiteral("frmExpertHistory");
    Control<QLineEdit>(app, form, QStringLiteral("txtFrom"))->setText(QStringLiteral("2000-01-01"));
    Control<QLineEdit>(app, form, QStringLiteral("txtTo"))->setText(QStringLiteral("2099-12-31"));
    Control<QPushButton>(app, form, QStringLiteral("cmdSearch"))->click();
    auto *excel = Control<QPushButton>(app, form, QStringLiteral("cmdExcel"));
    const QString target = app.dir.filePath(QStringLiteral("history.xls"));
    app.dialogs->path = target;
    for (auto _ : st) {
        st.PauseTiming();
        QFile::remove(target);
        st.ResumeTiming();
        excel->click();
        if (!QFileInfo::exists(target)) {
            st.SkipWithError(qPrintable(QStringLiteral("not exported: ") + app.messages->last));
            break;
        }
    }
    st.counters["rows"] = double(app.state.HistoryList.count());
    CountEngineTimes(st, *times);
}
BENCHMARK(BM_HistoryExport40000Rows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The advanced search with no criterion (all 40,000 experts), "打印预览":
// from the click until the preview window shows its first page; whole_ms is
// the time until it shows every page.
void BM_SearchPreview40000Rows(benchmark::State &st)
{
    BenchApp app;
    auto times = std::make_shared<EngineTimes>();
    app.state.services.makeSpreadsheet = TimedEngines(times);
    app.host->openScreen(ScreenId::ExpertSearch);
    const QString form = QStringLiteral("frmSearchExpert");
    Control<QPushButton>(app, form, QStringLiteral("cmdSearch"))->click();
    auto *preview = Control<QPushButton>(app, form, QStringLiteral("cmdPreview"));
    int pages = 0;
    double wholeMs = 0;
    for (auto _ : st) {
        QElapsedTimer clock;
        clock.start();
        preview->click();
        ReportPreview *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *p = qobject_cast<ReportPreview *>(w); p && p->isVisible())
                window = p;
        if (!window) {
            st.SkipWithError(qPrintable(QStringLiteral("no preview: ") + app.messages->last));
            break;
        }
        QCoreApplication::processEvents();   // the first page is painted
        st.PauseTiming();
        while (!window->isComplete())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        wholeMs += double(clock.nsecsElapsed()) / 1e6;
        pages = window->pageCount();
        window->close();
        QCoreApplication::processEvents();
        st.ResumeTiming();
    }
    st.counters["rows"] = double(app.state.SearchResultRows.count());
    st.counters["pages"] = pages;
    st.counters["whole_ms"] = benchmark::Counter(wholeMs, benchmark::Counter::kAvgIterations);
    CountEngineTimes(st, *times);
}
BENCHMARK(BM_SearchPreview40000Rows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// An import workbook of 50,000 experts (the heading, note and example rows
// of the downloaded table, then the experts), written once per run.
QList<QStringList> ImportSheet(const DataStore &store, int count)
{
    QList<QStringList> rows = ExpertImport::TemplateRows(store);
    const QStringList example = rows[2];
    for (int i = 0; i < count; ++i) {
        QStringList row = example;
        row[0] = QStringLiteral("导入专家%1").arg(i);
        row[7] = QStringLiteral("110101196503%1").arg(i, 6, 10, QLatin1Char('0'));   // 身份证号
        row[20] = QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0'));
        rows << row;
    }
    return rows;
}

QByteArray CsvOf(const QList<QStringList> &rows)
{
    QByteArray out;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (QString cell : row)
            cells << QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        out += cells.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

const QString &ImportFile(const QString &suffix)
{
    static QTemporaryDir dir;
    static QHash<QString, QString> made;
    if (!made.contains(suffix)) {
        BenchApp empty(BenchApp::Library::Empty);
        const QList<QStringList> rows = ImportSheet(empty.state.store, 50000);
        const QString csv = dir.filePath(QStringLiteral("experts.csv"));
        QFile f(csv);
        if (!f.open(QIODevice::WriteOnly) || f.write(CsvOf(rows)) < 0)
            qFatal("cannot write the import table");
        f.close();
        QString path = csv;
        if (suffix != QLatin1String("csv")) {
            // The office converts the same rows, every column read as text.
            QStringList columnFormats;
            for (int c = 1; c <= rows.first().size(); ++c)
                columnFormats << QStringLiteral("%1/2").arg(c);
            QTemporaryDir profile;
            QProcess office;
            office.setProgram(QStringLiteral("soffice"));
            office.setArguments(
                {QStringLiteral("--headless"), QStringLiteral("--norestore"),
                 QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                 QStringLiteral("--infilter=CSV:44,34,76,1,") + columnFormats.join(QLatin1Char('/')),
                 QStringLiteral("--convert-to"), suffix, QStringLiteral("--outdir"), dir.path(), csv});
            office.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            office.start();
            office.waitForFinished(600000);
            path = dir.filePath(QStringLiteral("experts.") + suffix);
            if (!QFileInfo::exists(path))
                qFatal("the office did not convert the import table");
        }
        made.insert(suffix, path);
    }
    return made[suffix];
}

// "上传初始专家数据" on the data maintenance screen with a table of 50,000
// experts, into the 40,000-expert library: from the click (the file already
// chosen) until the success message.
void ImportBench(benchmark::State &st, const QString &suffix)
{
    const QString file = ImportFile(suffix);
    auto times = std::make_shared<EngineTimes>();
    for (auto _ : st) {
        st.PauseTiming();
        auto app = std::make_unique<BenchApp>();
        app->dialogs->path = file;
        app->state.services.makeSpreadsheet = TimedEngines(times);
        app->host->openScreen(ScreenId::DataInOut);
        auto *upload = Control<QPushButton>(*app, QStringLiteral("frmDataInOut"), QStringLiteral("cmdUpExp"));
        st.ResumeTiming();

        upload->click();

        st.PauseTiming();
        const bool ok = app->state.store.ExpertTable.count() == 90000;
        const QString last = app->messages->last;
        app.reset();
        st.ResumeTiming();
        if (!ok) {
            st.SkipWithError(qPrintable(QStringLiteral("not imported: ") + last));
            break;
        }
    }
    CountEngineTimes(st, *times);
}

void BM_ImportXlsx50000(benchmark::State &st) { ImportBench(st, QStringLiteral("xlsx")); }
BENCHMARK(BM_ImportXlsx50000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_ImportCsv50000(benchmark::State &st) { ImportBench(st, QStringLiteral("csv")); }
BENCHMARK(BM_ImportCsv50000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}   // namespace
