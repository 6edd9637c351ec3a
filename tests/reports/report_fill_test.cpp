// Filling a template, checked on the in-memory spreadsheet.

#include "ReportTestHelpers.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

struct KindCase {
    ReportKind kind;
    int h;
    int listColumns;
    QVector<int> sheetColumns;   // of list columns 1, 2, ...
    int lastColumn;              // of the data block
};

const KindCase kKinds[] = {
    {ReportKind::Selection, 3, 8, {3, 5, 6, 8, 12, 16, 20}, 20},
    {ReportKind::Search, 10, 7, {3, 5, 7, 11, 15, 19}, 19},
    {ReportKind::History, 9, 8, {3, 5, 6, 8, 12, 16, 20}, 20},
};

class FillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        templatePath = dir.filePath(QStringLiteral("template.xls"));
        // The in-memory spreadsheet reads nothing of it; it only has to
        // start like a workbook.
        QFile f(templatePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromHex("D0CF11E0A1B11AE1"));
    }
    Outcome fill(ReportMode mode, const KindCase &k, int n, const QVector<ReportHeaderCell> &header = {})
    {
        engine = MakeFakeSpreadsheet(log);
        return FillExcelReport(*engine, mode, k.kind, templatePath, dir.filePath(QStringLiteral("out")),
                               MakeReportList(n, k.listColumns), header);
    }

    QTemporaryDir dir;
    QString templatePath;
    std::shared_ptr<FakeSpreadsheetLog> log = std::make_shared<FakeSpreadsheetLog>();
    std::unique_ptr<SpreadsheetEngine> engine;
};

TEST_F(FillTest, RowsAreFittedWithOneCallAndDataWrittenInOneBlock)
{
    for (const KindCase &k : kKinds) {
        for (int n : {1, 3, 10, 25}) {
            SCOPED_TRACE(QStringLiteral("kind h=%1 n=%2").arg(k.h).arg(n).toStdString());
            log->calls.clear();
            ASSERT_TRUE(fill(ReportMode::Save, k, n));

            const int first = k.h + 1;
            EXPECT_EQ(log->countCalls("deleteRows"), n < 10 ? 1 : 0);
            EXPECT_EQ(log->countCalls("insertRowCopies"), n > 10 ? 1 : 0);
            if (n < 10) {
                EXPECT_TRUE(log->calls.contains(QStringLiteral("deleteRows %1 %2").arg(first).arg(10 - n)));
            }
            if (n > 10) {
                EXPECT_TRUE(log->calls.contains(QStringLiteral("insertRowCopies %1 %2").arg(first).arg(n - 10)));
            }
            EXPECT_EQ(log->countCalls("setTexts"), 1);
            EXPECT_TRUE(
                log->calls.contains(QStringLiteral("setTexts %1 2 %2x%3").arg(first).arg(n).arg(k.lastColumn - 1)));

            // The rows left are those Excel's row-by-row deleting or
            // copy-inserting at the first data row would leave: deleting
            // keeps the last template rows, copies of the first go in front.
            for (int i = 0; i < n; ++i) {
                const int expected = n <= 10 ? first + (10 - n) + i : (i < n - 10 ? first : first + i - (n - 10));
                EXPECT_EQ(log->origin(first + i), expected) << "sheet row " << first + i;
            }
            EXPECT_EQ(log->origin(first + n), first + 10) << "the row under the template rows";
            EXPECT_EQ(log->origin(k.h), k.h);

            // Sequence numbers from 1 in B, list columns 1.. in the kind's columns,
            // the record key nowhere.
            for (int i = 0; i < n; ++i) {
                const int row = first + i;
                EXPECT_EQ(log->text(row, 2), QString::number(i + 1));
                for (int c = 0; c < k.sheetColumns.size(); ++c)
                    EXPECT_EQ(log->text(row, k.sheetColumns[c]), QStringLiteral("r%1c%2").arg(i + 1).arg(c + 1));
                for (int col = 1; col <= 21; ++col)
                    EXPECT_FALSE(log->text(row, col).startsWith(QLatin1Char('K')));
            }
            EXPECT_EQ(log->calls.last(), QStringLiteral("close"));
            EXPECT_EQ(log->countCalls("saveAsXls"), 1);
            EXPECT_EQ(log->countCalls("exportPdf"), 0);
        }
    }
}

TEST_F(FillTest, PreviewExportsPdfAndSaveWritesXls)
{
    ASSERT_TRUE(fill(ReportMode::Preview, kKinds[0], 2));
    EXPECT_EQ(log->countCalls("exportPdf"), 1);
    EXPECT_EQ(log->countCalls("saveAsXls"), 0);
    EXPECT_EQ(log->openedPath, templatePath);
}

TEST_F(FillTest, ValuesStayText)
{
    engine = MakeFakeSpreadsheet(log);
    TextTable list;
    list.append({"000001", "001", "男", "1960-01-01", "=1+1", "12", "  a ", "013900000000"});
    ASSERT_TRUE(
        FillExcelReport(*engine, ReportMode::Save, ReportKind::Selection, templatePath, dir.filePath("out"), list, {}));
    EXPECT_EQ(log->text(4, 3), "001");
    EXPECT_EQ(log->text(4, 8), "=1+1");
    EXPECT_EQ(log->text(4, 16), "  a ");
    EXPECT_EQ(log->text(4, 20), "013900000000");
}

TEST_F(FillTest, HeaderCellsOfSearchAndHistory)
{
    QStringList criteria;
    for (int i = 0; i < 13; ++i)
        criteria << QStringLiteral("s%1").arg(i);
    const QStringList combos{" 男 ", "启用", "临时", "本科", "高级", "★★★☆☆ "};
    const QVector<ReportHeaderCell> search = SearchHeaderCells(criteria, combos);
    const QVector<ReportHeaderCell> expected{
        {3, 4, "s0"},  {3, 9, "男"},    {3, 14, "启用"},  {3, 19, "临时"}, {4, 4, "本科"},
        {4, 9, "s5"},  {4, 14, "高级"}, {4, 19, "★★★☆☆"}, {5, 4, "s7"},    {5, 9, "s8"},
        {5, 14, "s9"}, {5, 19, "s10"},  {6, 4, "s11"},    {6, 9, "s12"},
    };
    EXPECT_EQ(search, expected);

    const QVector<ReportHeaderCell> history = HistoryHeaderCells({"2026-01-01", "2026-12-31", "土木", "设计院"});
    const QVector<ReportHeaderCell> expectedHistory{
        {3, 4, "2026-01-01"}, {3, 9, "2026-12-31"}, {4, 4, "土木"}, {5, 4, "设计院"}};
    EXPECT_EQ(history, expectedHistory);

    ASSERT_TRUE(fill(ReportMode::Save, kKinds[1], 3, search));
    EXPECT_EQ(log->text(3, 4), "s0");
    EXPECT_EQ(log->text(4, 19), "★★★☆☆");
    EXPECT_EQ(log->text(6, 9), "s12");
    // The header is above the rows that were deleted: it stays where it is.
    EXPECT_EQ(log->origin(6), 6);
}

TEST_F(FillTest, EngineFailureIsReportedAndTheWorkbookClosed)
{
    for (const char *operation : {"open", "deleteRows", "setTexts", "saveAsXls"}) {
        SCOPED_TRACE(operation);
        log->calls.clear();
        log->failOn = QStringList{QString::fromLatin1(operation)};
        const Outcome filled = fill(ReportMode::Save, kKinds[0], 3);
        EXPECT_FALSE(filled.ok());
        EXPECT_EQ(filled.message(), QStringLiteral("%1 failed").arg(QString::fromLatin1(operation)))
            << "the engine's own words";
        EXPECT_EQ(log->calls.last(), QStringLiteral("close"));
    }
}

TEST_F(FillTest, ListsLongerThan32766RowsPrintButAnXlsSheetHasItsLimit)
{
    EXPECT_TRUE(fill(ReportMode::Preview, kKinds[0], 40000));
    EXPECT_TRUE(log->calls.contains(QStringLiteral("insertRowCopies 4 39990")));
    EXPECT_EQ(log->text(4 + 39999, 2), "40000");

    // Saving more rows than an .xls sheet holds would cut the list off.
    log->calls.clear();
    EXPECT_FALSE(fill(ReportMode::Save, kKinds[0], kXlsMaxRows).ok());
    EXPECT_EQ(log->countCalls("saveAsXls"), 0);
}

TEST_F(FillTest, LongListsAreWrittenInBlocksAndSavedWithPlainCells)
{
    const KindCase &k = kKinds[2];
    const int first = k.h + 1;
    struct Case {
        ReportMode mode;
        int n;
        bool flattened;
    };
    const Case cases[] = {
        {ReportMode::Save, kLongReportRows, false},
        {ReportMode::Save, kLongReportRows + 1, true},
        {ReportMode::Save, 2 * kRowsPerWrite + 5, true},
        {ReportMode::Preview, 2 * kRowsPerWrite + 5, false},   // merged cells cost a printout nothing
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("n=%1 mode=%2").arg(c.n).arg(int(c.mode)).toStdString());
        log->calls.clear();
        ASSERT_TRUE(fill(c.mode, k, c.n));
        // The ten template rows lose their merged blocks before the first is copied.
        const qsizetype flatten = log->calls.indexOf(QStringLiteral("flattenMergedCells %1 10").arg(first));
        EXPECT_EQ(flatten >= 0, c.flattened);
        EXPECT_EQ(log->countCalls("flattenMergedCells"), c.flattened ? 1 : 0);
        if (c.flattened) {
            EXPECT_LT(flatten, log->calls.indexOf(QStringLiteral("insertRowCopies %1 %2").arg(first).arg(c.n - 10)));
        }

        // Consecutive blocks of kRowsPerWrite rows, the last one shorter.
        const int blocks = (c.n + kRowsPerWrite - 1) / kRowsPerWrite;
        EXPECT_EQ(log->countCalls("setTexts"), blocks);
        for (int b = 0; b < blocks; ++b) {
            const int rows = std::min(kRowsPerWrite, c.n - b * kRowsPerWrite);
            EXPECT_TRUE(log->calls.contains(
                QStringLiteral("setTexts %1 2 %2x%3").arg(first + b * kRowsPerWrite).arg(rows).arg(k.lastColumn - 1)))
                << "block " << b;
        }
        for (int i : {0, kRowsPerWrite - 1, kRowsPerWrite, c.n - 1}) {
            if (i >= c.n)
                continue;
            EXPECT_EQ(log->text(first + i, 2), QString::number(i + 1));
            EXPECT_EQ(log->text(first + i, k.sheetColumns.last()),
                      QStringLiteral("r%1c%2").arg(i + 1).arg(k.sheetColumns.size()));
        }
        EXPECT_TRUE(log->text(first + c.n, 2).isEmpty());
    }
}

TEST_F(FillTest, ProgressRisesToTheEndAndACancelStopsBeforeAnythingIsWritten)
{
    const int n = 3 * kRowsPerWrite;
    QList<int> steps;
    FillProgress progress;
    progress.advanced = [&](int done) { steps << done; };
    engine = MakeFakeSpreadsheet(log);
    ASSERT_TRUE(FillExcelReport(*engine, ReportMode::Save, ReportKind::Search, templatePath, dir.filePath("out"),
                                MakeReportList(n, 7), {}, progress)
                    .ok());
    ASSERT_FALSE(steps.isEmpty());
    EXPECT_EQ(steps.first(), 0);
    EXPECT_EQ(steps.last(), kFillSteps);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    // Each block moves the bar on.
    EXPECT_GE(std::set<int>(steps.begin(), steps.end()).size(), size_t(3 + 3));

    // Cancelled after the first block of rows: nothing more is written.
    for (ReportMode mode : {ReportMode::Save, ReportMode::Preview}) {
        log->calls.clear();
        int blocksSeen = 0;
        progress.advanced = [&](int done) { blocksSeen += done > 20 ? 1 : 0; };
        progress.cancelled = [&] { return blocksSeen > 0; };
        engine = MakeFakeSpreadsheet(log);
        const Outcome filled = FillExcelReport(*engine, mode, ReportKind::Search, templatePath, dir.filePath("out2"),
                                               MakeReportList(n, 7), {}, progress);
        EXPECT_FALSE(filled.ok());
        EXPECT_FALSE(filled.message().isEmpty());
        EXPECT_EQ(log->countCalls("setTexts"), 1);
        EXPECT_EQ(log->countCalls("saveAsXls") + log->countCalls("exportPdf") + log->countCalls("exportPdfPages"), 0);
        EXPECT_EQ(log->calls.last(), QStringLiteral("close"));
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("out2")));
    }
}

TEST_F(FillTest, LongPreviewWritesItsFirstPagesBeforeTheWholePrintout)
{
    log->pdfPages = 25;
    FillProgress progress;
    progress.firstPagesPath = dir.filePath("first.pdf");
    QStringList callsWhenAnnounced;
    progress.firstPagesWritten = [&] { callsWhenAnnounced = log->calls; };
    engine = MakeFakeSpreadsheet(log);
    ASSERT_TRUE(FillExcelReport(*engine, ReportMode::Preview, ReportKind::Selection, templatePath,
                                dir.filePath("whole.pdf"), MakeReportList(kLongReportRows + 1, 8), {}, progress)
                    .ok());
    ASSERT_FALSE(callsWhenAnnounced.isEmpty());
    EXPECT_EQ(callsWhenAnnounced.last(),
              QStringLiteral("exportPdfPages %1 1-%2").arg(progress.firstPagesPath).arg(kFirstPreviewPages));
    EXPECT_EQ(log->countCalls("exportPdf"), 1);
    EXPECT_GT(log->calls.indexOf(QStringLiteral("exportPdf ") + dir.filePath("whole.pdf")),
              callsWhenAnnounced.size() - 1);
}

}   // namespace

namespace {

// The first row whose cell in column holds text; 0 for none.
int RowWithText(const FakeSpreadsheetLog &log, int column, const QString &text)
{
    for (int r = 1; r <= log.rowCount(); ++r)
        if (log.text(r, column) == text)
            return r;
    return 0;
}

}   // namespace

TEST_F(FillTest, TheLogHeadStandsUnderTheSignatureLineWhateverTheListsLength)
{
    const QString head = QStringLiteral("日志链头：42:0123456789abcdef");
    for (const KindCase &k : kKinds) {
        for (int n : {1, 10, 25}) {
            SCOPED_TRACE(QStringLiteral("kind h=%1 n=%2").arg(k.h).arg(n).toStdString());
            for (ReportMode mode : {ReportMode::Preview, ReportMode::Save}) {
                engine = MakeFakeSpreadsheet(log);
                ASSERT_TRUE(FillExcelReport(*engine, mode, k.kind, templatePath, dir.filePath(QStringLiteral("out")),
                                            MakeReportList(n, k.listColumns), {}, {}, head));
                const int row = RowWithText(*log, 2, head);
                ASSERT_GT(row, k.h + n) << "under the list";
                // Two rows under the template's signature line, which moved with the list.
                EXPECT_EQ(log->origin(row - 2), k.h + kTemplateDataRows + 2);
                EXPECT_EQ(log->text(row - 4, 2), QString::number(n)) << "the list ends above the signature line";
            }
        }
    }
    // No head given: nothing is written under the list.
    log->calls.clear();
    ASSERT_TRUE(fill(ReportMode::Save, kKinds[0], 3));
    EXPECT_EQ(log->countCalls(QStringLiteral("setText")), 0);
}
