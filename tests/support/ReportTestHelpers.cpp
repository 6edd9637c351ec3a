#include "ReportTestHelpers.h"

#include "reports/libreoffice/LibreOfficeEngine.h"
#include "shell/AppState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>
#include <mutex>

namespace {

constexpr int kOpenedRows = 40;

class FakeSpreadsheet : public SpreadsheetEngine {
public:
    explicit FakeSpreadsheet(std::shared_ptr<FakeSpreadsheetLog> log) : m_log(std::move(log))
    {
        ++m_log->enginesMade;
        ++m_log->enginesAlive;
    }
    ~FakeSpreadsheet() override { --m_log->enginesAlive; }

    void open(const QString &path, bool) override
    {
        call(QStringLiteral("open"), path);
        if (!QFileInfo(path).isFile())
            throw SpreadsheetError(QStringLiteral("no file"));
        m_log->openedPath = path;
        m_log->sheet.clear();
        m_log->images.clear();
        m_log->footer.clear();
        for (int r = 1; r <= kOpenedRows; ++r)
            m_log->sheet.append(FakeSpreadsheetLog::Row{r, {}});
        m_open = true;
    }
    void create() override
    {
        call(QStringLiteral("create"));
        m_log->sheet.clear();
        m_open = true;
    }
    void close() override
    {
        m_log->calls << QStringLiteral("close");
        m_open = false;
    }
    void deleteRows(int firstRow, int count) override
    {
        call(QStringLiteral("deleteRows"), QStringLiteral("%1 %2").arg(firstRow).arg(count));
        m_log->sheet.remove(firstRow - 1, count);
    }
    void insertRowCopies(int sourceRow, int count) override
    {
        call(QStringLiteral("insertRowCopies"), QStringLiteral("%1 %2").arg(sourceRow).arg(count));
        const FakeSpreadsheetLog::Row source = m_log->sheet.at(sourceRow - 1);
        m_log->sheet.insert(sourceRow - 1, count, source);
    }
    void flattenMergedCells(int firstRow, int count) override
    {
        call(QStringLiteral("flattenMergedCells"), QStringLiteral("%1 %2").arg(firstRow).arg(count));
    }
    void setTexts(int firstRow, int firstColumn, const QList<QStringList> &rows) override
    {
        call(QStringLiteral("setTexts"), QStringLiteral("%1 %2 %3x%4")
                                             .arg(firstRow)
                                             .arg(firstColumn)
                                             .arg(rows.size())
                                             .arg(rows.isEmpty() ? 0 : rows.first().size()));
        put(firstRow, firstColumn, rows);
    }
    void setText(int row, int column, const QString &text) override
    {
        call(QStringLiteral("setText"), QStringLiteral("%1 %2").arg(row).arg(column));
        put(row, column, {QStringList{text}});
    }
    QString text(int row, int column) override
    {
        call(QStringLiteral("text"));
        return m_log->text(row, column);
    }
    int lastUsedRow() override
    {
        call(QStringLiteral("lastUsedRow"));
        for (int r = m_log->rowCount(); r > 0; --r)
            for (const QString &t : m_log->sheet.at(r - 1).cells)
                if (!t.isEmpty())
                    return r;
        return 0;
    }
    CellLook look(int, int) override
    {
        call(QStringLiteral("look"));
        return {};
    }
    void setFormat(int, int, int, int, const CellFormat &) override { call(QStringLiteral("setFormat")); }
    void merge(int, int, int) override { call(QStringLiteral("merge")); }
    void setColumnWidth(int, int) override { call(QStringLiteral("setColumnWidth")); }
    void setRowHeight(int row, int height) override
    {
        call(QStringLiteral("setRowHeight"), QStringLiteral("%1 %2").arg(row).arg(height));
    }
    void setPageSetup(const PageSetup &) override { call(QStringLiteral("setPageSetup")); }
    void setPageFooter(const QString &text) override
    {
        call(QStringLiteral("setPageFooter"), text);
        m_log->footer = text;
    }
    void insertImage(int row, int column, const QString &pngPath, int width, int height) override
    {
        call(QStringLiteral("insertImage"), QStringLiteral("%1 %2 %3x%4").arg(row).arg(column).arg(width).arg(height));
        QFile file(pngPath);
        if (!file.open(QIODevice::ReadOnly))
            throw SpreadsheetError(QStringLiteral("no picture file"));
        m_log->images.append({row, column, file.readAll(), width, height});
    }
    QList<QPair<int, int>> imageCells() override
    {
        call(QStringLiteral("imageCells"));
        QList<QPair<int, int>> cells;
        for (const FakeSpreadsheetLog::Image &image : m_log->images)
            cells.append({image.row, image.column});
        return cells;
    }

    void saveAsXls(const QString &path) override
    {
        call(QStringLiteral("saveAsXls"), path);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw SpreadsheetError(QStringLiteral("cannot write"));
        file.write("fake workbook");
    }
    void exportPdf(const QString &path) override
    {
        call(QStringLiteral("exportPdf"), path);
        writePdf(path, 1, m_log->pdfPages);
    }
    void exportPdfPages(const QString &path, int firstPage, int lastPage) override
    {
        call(QStringLiteral("exportPdfPages"), QStringLiteral("%1 %2-%3").arg(path).arg(firstPage).arg(lastPage));
        writePdf(path, firstPage, std::min(lastPage, m_log->pdfPages));
    }
    void cancel() override
    {
        m_log->cancelled = true;
        if (m_log->onCancel)
            m_log->onCancel();
    }

private:
    // Pages "page N" from first to last.
    static void writePdf(const QString &path, int first, int last)
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&writer);
        for (int page = first; page <= last; ++page) {
            if (page > first)
                writer.newPage();
            painter.drawText(100, 100, QStringLiteral("page %1").arg(page));
        }
    }

    void call(const QString &operation, const QString &detail = QString())
    {
        m_log->calls << (detail.isEmpty() ? operation : operation + QLatin1Char(' ') + detail);
        if (m_log->onCall)
            m_log->onCall(operation);
        if (m_log->cancelled)
            throw SpreadsheetError(QStringLiteral("cancelled"));
        if (m_log->failOn.contains(operation))
            throw SpreadsheetError(QStringLiteral("%1 failed").arg(operation));
        if (!m_open && operation != QLatin1String("open") && operation != QLatin1String("create"))
            throw SpreadsheetError(QStringLiteral("no workbook"));
    }
    void put(int firstRow, int firstColumn, const QList<QStringList> &rows)
    {
        for (int i = 0; i < rows.size(); ++i) {
            const int r = firstRow + i;
            while (m_log->rowCount() < r)
                m_log->sheet.append(FakeSpreadsheetLog::Row{0, {}});
            for (int j = 0; j < rows.at(i).size(); ++j)
                m_log->sheet[r - 1].cells[firstColumn + j] = rows.at(i).at(j);
        }
    }

    std::shared_ptr<FakeSpreadsheetLog> m_log;
    bool m_open = false;
};

}   // namespace

QString FakeSpreadsheetLog::text(int row, int column) const
{
    if (row < 1 || row > rowCount())
        return QString();
    return sheet.at(row - 1).cells.value(column);
}

int FakeSpreadsheetLog::origin(int row) const { return row >= 1 && row <= rowCount() ? sheet.at(row - 1).origin : -1; }

int FakeSpreadsheetLog::countCalls(const QString &operation) const
{
    int n = 0;
    for (const QString &c : calls)
        if (c == operation || c.startsWith(operation + QLatin1Char(' ')))
            ++n;
    return n;
}

std::unique_ptr<SpreadsheetEngine> MakeFakeSpreadsheet(std::shared_ptr<FakeSpreadsheetLog> log)
{
    return std::make_unique<FakeSpreadsheet>(std::move(log));
}

std::shared_ptr<FakeSpreadsheetLog> InstallFakeSpreadsheet(AppState &state)
{
    auto log = std::make_shared<FakeSpreadsheetLog>();
    state.services.makeSpreadsheet = [log] { return MakeFakeSpreadsheet(log); };
    return log;
}

QString SourceTemplateFolder()
{
    // tests/support/ReportTestHelpers.cpp -> templates/
    return QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath(QStringLiteral("../../templates"));
}

bool CopyReportTemplates(const QString &folder)
{
    QStringList names{DrawRecordTemplate().templateName};
    for (ReportKind kind : {ReportKind::Selection, ReportKind::Search, ReportKind::History, ReportKind::AuditLog,
                            ReportKind::ExpertRecord, ReportKind::Suspended})
        names << LayoutOf(kind).templateName;
    for (const QString &name : names) {
        const QString target = QDir(folder).filePath(name);
        QFile::remove(target);
        if (!QFile::copy(QDir(SourceTemplateFolder()).filePath(name), target))
            return false;
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return true;
}

TextTable MakeReportList(int n, int columns)
{
    TextTable table;
    for (int k = 1; k <= n; ++k) {
        QStringList row{QStringLiteral("K%1").arg(k)};
        for (int c = 1; c < columns; ++c)
            row << QStringLiteral("r%1c%2").arg(k).arg(c);
        table.append(row);
    }
    return table;
}

namespace {

// Holds the shared office for the test program, so that it ends after the
// last test and before the application object goes.
class SharedOfficeEnvironment : public ::testing::Environment {
public:
    std::shared_ptr<OfficeProcess> office()
    {
        // Engines are made on the threads that fill the reports too.
        std::lock_guard lock(m_mutex);
        if (!m_office)
            m_office = std::make_shared<OfficeProcess>();
        return m_office;
    }
    void TearDown() override
    {
        std::lock_guard lock(m_mutex);
        m_office.reset();
    }

private:
    std::mutex m_mutex;
    std::shared_ptr<OfficeProcess> m_office;
};

SharedOfficeEnvironment *const sharedOffice =
    static_cast<SharedOfficeEnvironment *>(::testing::AddGlobalTestEnvironment(new SharedOfficeEnvironment));

}   // namespace

std::shared_ptr<OfficeProcess> SharedTestOffice() { return sharedOffice->office(); }

std::unique_ptr<SpreadsheetEngine> MakeSharedOfficeEngine() { return MakeLibreOfficeEngineOn(SharedTestOffice()); }
