#include "BenchSupport.h"

#include "DemoDatabase.h"
#include "app/Composition.h"
#include "data/Schema.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"
#include "ui/Twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

const QString &DemoLibraryFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("demo.mdb"));
        WriteDemoDatabase(file, DemoOptions{40000, 40000, 7});
        return file;
    }();
    return path;
}

double ResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024.0;
    return 0;
}

BenchHost::BenchHost(AppState &state) : ScreenHost(state, AllScreens()) { area.resize(1280, 900); }

PlacementMetrics BenchHost::metrics() const { return PlacementMetrics{Tw(1280), 2880, Tw(850), 1900}; }

BenchApp::BenchApp(Library library)
{
    state.store.appDir = dir.path();
    state.services = Services::real();
    state.services.messages = messages;
    state.services.files = dialogs;
    state.services.desktop = desktop;
    state.services.makeSpreadsheet = MakeLibreOfficeEngine;
    desktop->folder = dir.path();
    InitRoleNames(state.session);
    InitPathTitles(state.nav);
    state.session.CurrentUserId = QStringLiteral("000001");
    state.session.CurrentUserRole = 0;
    if (library == Library::Demo)
        QFile::copy(DemoLibraryFile(), state.store.dataFilePath());
    else
        CreateDataFile(state.store.dataFilePath());
    // The build puts the templates beside its programs.
    const QDir templates(QCoreApplication::applicationDirPath());
    for (const QString &name : templates.entryList({QStringLiteral("*.xls")}))
        QFile::copy(templates.filePath(name), dir.filePath(name));
    LoadAllTables(state.store);
    host = std::make_unique<BenchHost>(state);
}

namespace {

class TimedEngine final : public SpreadsheetEngine {
public:
    TimedEngine(std::unique_ptr<SpreadsheetEngine> inner, std::shared_ptr<EngineTimes> times)
        : m_inner(std::move(inner)), m_times(std::move(times))
    {
    }
    ~TimedEngine() override
    {
        QElapsedTimer t;
        t.start();
        m_inner.reset();
        m_times->add(QStringLiteral("end"), double(t.nsecsElapsed()) / 1e6);
    }

    void open(const QString &path, bool hidden) override
    {
        timed("open", [&] { m_inner->open(path, hidden); });
    }
    void create() override
    {
        timed("create", [&] { m_inner->create(); });
    }
    void close() override
    {
        timed("close", [&] { m_inner->close(); });
    }
    void deleteRows(int first, int count) override
    {
        timed("deleteRows", [&] { m_inner->deleteRows(first, count); });
    }
    void insertRowCopies(int source, int count) override
    {
        timed("insertRowCopies", [&] { m_inner->insertRowCopies(source, count); });
    }
    void flattenMergedCells(int first, int count) override
    {
        timed("flattenMergedCells", [&] { m_inner->flattenMergedCells(first, count); });
    }
    void setTexts(int row, int column, const QList<QStringList> &rows) override
    {
        timed("setTexts", [&] { m_inner->setTexts(row, column, rows); });
    }
    void setText(int row, int column, const QString &text) override
    {
        timed("setText", [&] { m_inner->setText(row, column, text); });
    }
    QString text(int row, int column) override { return m_inner->text(row, column); }
    int lastUsedRow() override
    {
        int last = 0;
        timed("lastUsedRow", [&] { last = m_inner->lastUsedRow(); });
        return last;
    }
    CellLook look(int row, int column) override { return m_inner->look(row, column); }
    void setFormat(int r, int c, int rows, int columns, const CellFormat &f) override
    {
        m_inner->setFormat(r, c, rows, columns, f);
    }
    void merge(int row, int first, int count) override { m_inner->merge(row, first, count); }
    void setColumnWidth(int column, int width) override { m_inner->setColumnWidth(column, width); }
    void setRowHeight(int row, int height) override { m_inner->setRowHeight(row, height); }
    void setPageSetup(const PageSetup &setup) override { m_inner->setPageSetup(setup); }
    void setPageFooter(const QString &text) override { m_inner->setPageFooter(text); }
    void insertImage(int row, int column, const QString &path, int width, int height) override
    {
        timed("insertImage", [&] { m_inner->insertImage(row, column, path, width, height); });
    }
    QList<QPair<int, int>> imageCells() override { return m_inner->imageCells(); }
    void saveAsXls(const QString &path) override
    {
        timed("saveAsXls", [&] { m_inner->saveAsXls(path); });
    }
    void exportPdf(const QString &path) override
    {
        timed("exportPdf", [&] { m_inner->exportPdf(path); });
    }
    void exportPdfPages(const QString &path, int first, int last) override
    {
        timed("exportPdfPages", [&] { m_inner->exportPdfPages(path, first, last); });
    }
    void saveAsCsv(const QString &path) override
    {
        timed("saveAsCsv", [&] { m_inner->saveAsCsv(path); });
    }
    void cancel() override { m_inner->cancel(); }

private:
    template <typename F> void timed(const char *operation, F &&work)
    {
        QElapsedTimer t;
        t.start();
        try {
            work();
        } catch (...) {
            m_times->add(QString::fromLatin1(operation), double(t.nsecsElapsed()) / 1e6);
            throw;
        }
        m_times->add(QString::fromLatin1(operation), double(t.nsecsElapsed()) / 1e6);
    }

    std::unique_ptr<SpreadsheetEngine> m_inner;
    std::shared_ptr<EngineTimes> m_times;
};

}   // namespace

std::function<std::unique_ptr<SpreadsheetEngine>()> TimedEngines(std::shared_ptr<EngineTimes> times)
{
    return [times]() -> std::unique_ptr<SpreadsheetEngine> {
        return std::make_unique<TimedEngine>(MakeLibreOfficeEngine(), times);
    };
}
