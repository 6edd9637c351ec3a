// Reports through the real LibreOffice Calc: the templates, saved workbooks
// read back, the preview's PDF, and a missing office.

#include "ReportTestHelpers.h"
#include "TestApp.h"
#include "reports/ReportPreview.h"
#include "reports/ReportRun.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QStringList kDrawHeadings{"序号", "姓名", "性别", "出生时间", "工作单位", "从事专业", "资格名称", "电话号码"};
const QStringList kSearchHeadings{"序号", "姓名", "出生时间", "工作单位", "从事专业", "资格名称", "电话号码"};

struct Kind {
    ReportKind kind;
    int listColumns;
    QStringList headings;
    QVector<ReportHeaderCell> header;
    QStringList labels;   // left of each header cell
};

QVector<Kind> Kinds()
{
    QStringList criteria;
    for (int i = 0; i < 13; ++i)
        criteria << QStringLiteral("条件%1").arg(i);
    return {
        {ReportKind::Selection, 8, kDrawHeadings, {}, {}},
        {ReportKind::Search,
         7,
         kSearchHeadings,
         SearchHeaderCells(criteria, {"男", "启用", "正式", "本科", "高级", "★★★★☆"}),
         {"专家姓名：", "性    别：", "专家状态：", "专家性质：", "学    历：", "职称类别：", "职称级别：",
          "专家星级：", "城    市：", "工作单位：", "从事专业：", "参评专业：", "资格名称：", "取资时间："}},
        {ReportKind::History,
         8,
         kDrawHeadings,
         HistoryHeaderCells({"2026-01-01", "2026-12-31", "土木", "设计院"}),
         {"开始日期：", "结束日期：", "从事专业：", "工作单位："}},
        {ReportKind::AuditLog,
         7,
         {"序号", "时间", "操作员", "类别", "对象", "内容", "链哈希"},
         AuditLogHeaderCells({"2026-12-01", "2026-12-31", "admin", "登录", "42:0123456789abcdef"}),
         {"开始日期：", "结束日期：", "操 作 员：", "类    别：", "日志链头："}},
        {ReportKind::ExpertRecord,
         6,
         {"序号", "时间", "项目名称", "项目编号", "事项", "说明"},
         ExpertRecordHeaderCells({"张三", "000012", "设计院", "暂停抽取（长期）"}),
         {"专家姓名：", "专家编号：", "工作单位：", "抽取状态："}},
        {ReportKind::Suspended,
         9,
         {"序号", "专家编号", "姓名", "工作单位", "暂停期限", "不良记录", "暂停时间", "操作员", "暂停原因"},
         SuspendedHeaderCells("2026-12-09"),
         {"截至日期："}},
    };
}

QByteArray Digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

bool IsXlsWorkbook(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(8) == QByteArray::fromHex("D0CF11E0A1B11AE1");
}

// The process group of a process, 0 when it has gone.
qint64 ProcessGroup(const QString &procDir)
{
    QFile stat(procDir + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 2 ? fields.at(2).toLongLong() : 0;
}

// Office processes this test program started and left behind; the shared
// office stays for the next test by design.
int OurOfficeProcesses()
{
    const QByteArray mark = QStringLiteral("kestrune_%1_").arg(QCoreApplication::applicationPid()).toUtf8();
    const qint64 shared = SharedTestOffice()->processGroup();
    int n = 0;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString dir = it.next();
        QFile cmdline(dir + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(mark) &&
            (shared == 0 || ProcessGroup(dir) != shared))
            ++n;
    }
    return n;
}

TEST(LibreOfficeReports, TemplatesHaveTheRowsAndCellsTheReportsUse)
{
    auto engine = MakeSharedOfficeEngine();
    for (const Kind &k : Kinds()) {
        const ReportLayout &layout = LayoutOf(k.kind);
        const QString path = QDir(SourceTemplateFolder()).filePath(layout.templateName);
        SCOPED_TRACE(layout.templateName.toStdString());
        ASSERT_TRUE(IsXlsWorkbook(path));
        engine->open(path);
        const int h = layout.headingRows;

        EXPECT_EQ(engine->text(h, 2), k.headings.first());
        for (int c = 0; c < layout.columns.size(); ++c)
            EXPECT_EQ(engine->text(h, layout.columns[c]), k.headings[c + 1]);
        for (int i = 0; i < k.header.size(); ++i)
            EXPECT_EQ(engine->text(k.header[i].row, k.header[i].column - 2), k.labels[i]);
        EXPECT_FALSE(engine->text(1, 2).isEmpty()) << "a title";

        // Ten formatted, empty data rows, the signature line under them.
        for (int row = h + 1; row <= h + kTemplateDataRows; ++row) {
            for (int col : layout.columns)
                EXPECT_TRUE(engine->text(row, col).isEmpty());
            const CellLook look = engine->look(row, 2);
            EXPECT_TRUE(look.borderTop && look.borderBottom && look.borderLeft && look.borderRight) << row;
            EXPECT_TRUE(engine->look(row, 3).merged) << row;
        }
        EXPECT_FALSE(engine->look(h + kTemplateDataRows + 1, 2).borderBottom);
        EXPECT_EQ(engine->text(h + kTemplateDataRows + 2, 2), "制表人：");
        EXPECT_EQ(engine->lastUsedRow(), h + kTemplateDataRows + 2);
        engine->close();
    }
}

TEST(LibreOfficeReports, ExportedWorkbooksHoldTheListInTheTemplateRows)
{
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    QTemporaryDir out;
    QWidget screen;

    struct Saved {
        Kind kind;
        int n;
        QString path;
    };
    QVector<Saved> saved;
    for (const Kind &k : Kinds()) {
        const QString templatePath = TemplatePath(app.state.store.appDir, k.kind);
        const QByteArray before = Digest(templatePath);
        for (int n : {3, 10, 25}) {
            TextTable list = MakeReportList(n, k.listColumns);
            list.setCell(0, 1, QStringLiteral("001"));   // stays text
            app.files->nextSavePath = out.filePath(QStringLiteral("%1-%2.xls").arg(int(k.kind)).arg(n));
            const QString path =
                ExportReport({app.state.services, app.state.store.appDir}, &screen, k.kind, list, k.header, {});
            ASSERT_EQ(path, app.files->nextSavePath) << app.messages->lastText().toStdString();
            EXPECT_TRUE(IsXlsWorkbook(path));
            saved.append({k, n, path});
        }
        EXPECT_EQ(Digest(templatePath), before) << "the template is never changed";
        EXPECT_FALSE(QFileInfo::exists(QDir(app.appDir()).filePath(".~lock." + LayoutOf(k.kind).templateName + "#")));
    }
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_EQ(app.desktop->opened.size(), saved.size());
    EXPECT_EQ(OurOfficeProcesses(), 0) << "every report ends its office";
    EXPECT_EQ(SharedTestOffice()->openDocuments(), 0) << "every report closes its workbook";

    auto reader = MakeSharedOfficeEngine();
    for (const Saved &s : saved) {
        const ReportLayout &layout = LayoutOf(s.kind.kind);
        const int h = layout.headingRows;
        SCOPED_TRACE(QStringLiteral("%1 with %2 rows").arg(layout.templateName).arg(s.n).toStdString());
        reader->open(s.path);
        EXPECT_EQ(reader->text(h, 2), "序号");
        for (const ReportHeaderCell &cell : s.kind.header)
            EXPECT_EQ(reader->text(cell.row, cell.column), cell.text);
        for (int i = 0; i < s.n; ++i) {
            const int row = h + 1 + i;
            EXPECT_EQ(reader->text(row, 2), QString::number(i + 1));
            for (int c = 0; c < layout.columns.size(); ++c)
                EXPECT_EQ(reader->text(row, layout.columns[c]),
                          i == 0 && c == 0 ? QStringLiteral("001") : QStringLiteral("r%1c%2").arg(i + 1).arg(c + 1));
            if (i == 0 || i == s.n - 1) {
                const CellLook look = reader->look(row, 2);
                EXPECT_TRUE(look.borderTop && look.borderBottom) << "formatted row " << row;
                EXPECT_TRUE(reader->look(row, 3).merged) << row;
            }
        }
        // Exactly n formatted rows: the template rows were deleted or copied to fit.
        EXPECT_TRUE(reader->text(h + s.n + 1, 2).isEmpty());
        EXPECT_FALSE(reader->look(h + s.n + 1, 2).borderBottom);
        EXPECT_EQ(reader->text(h + s.n + 2, 2), "制表人：");
        EXPECT_EQ(reader->lastUsedRow(), h + s.n + 2);
        reader->close();
    }
}

// Sequence numbers printed on a page (column B holds the only plain numbers).
QList<int> NumbersOnPage(QPdfDocument &pdf, int page)
{
    QList<int> numbers;
    const QStringList tokens = pdf.getAllText(page).text().split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    for (const QString &t : tokens) {
        bool ok = false;
        const int v = t.toInt(&ok);
        if (ok)
            numbers << v;
    }
    return numbers;
}

TEST(LibreOfficeReports, PreviewShowsEveryRowOnceWithTheHeadingOnEachPage)
{
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    QWidget screen;

    for (int n : {3, 100}) {
        SCOPED_TRACE(n);
        ReportPreview *preview = PreviewReport({app.state.services, app.state.store.appDir}, &screen,
                                               ReportKind::Selection, MakeReportList(n, 8), {}, {});
        ASSERT_NE(preview, nullptr) << app.messages->lastText().toStdString();
        QPdfDocument &pdf = *preview->document();
        // One page for a short list; a long one runs over several, each with
        // the heading row repeated.
        if (n == 3)
            EXPECT_EQ(preview->pageCount(), 1);
        else
            EXPECT_GE(preview->pageCount(), 3);
        QList<int> all;
        for (int page = 0; page < preview->pageCount(); ++page) {
            EXPECT_TRUE(pdf.getAllText(page).text().contains("序号")) << "page " << page + 1;
            const QList<int> numbers = NumbersOnPage(pdf, page);
            EXPECT_FALSE(numbers.isEmpty()) << "no empty page";
            all += numbers;
        }
        QList<int> expected;
        for (int i = 1; i <= n; ++i)
            expected << i;
        EXPECT_EQ(all, expected);
        EXPECT_TRUE(pdf.getAllText(preview->pageCount() - 1).text().contains("制表人"));
        delete preview;
    }
    EXPECT_EQ(OurOfficeProcesses(), 0);
    EXPECT_EQ(SharedTestOffice()->openDocuments(), 0);
}

TEST(LibreOfficeReports, MissingOfficeGivesTheSystemErrorAndWritesNothing)
{
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.services.makeSpreadsheet = [] { return MakeLibreOfficeEngineAt("/nonexistent/soffice"); };
    QTemporaryDir out;
    QWidget screen;
    app.files->nextSavePath = out.filePath("report.xls");
    EXPECT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Search,
                           MakeReportList(3, 7), {}, {}),
              QString());
    EXPECT_EQ(app.messages->lastText(), "系统错误。\n请确认打印机是否正确安装，MS Office中的Excel是否正确安装。");
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(app.desktop->opened.isEmpty());
    EXPECT_EQ(PreviewReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Search,
                            MakeReportList(3, 7), {}, {}),
              nullptr);
    EXPECT_EQ(app.messages->shown.size(), 2);
}

TEST(LibreOfficeReports, ExportedWorkbooksAreReadableAsAnyNewFileOfTheUser)
{
    // The office writes the workbook by putting a file of its own in the
    // staged file's place; the result still follows the user's umask, and
    // an export over an existing workbook keeps that file's permissions.
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    QTemporaryDir out;
    QWidget screen;
    const mode_t old = ::umask(022);
    const QString path = out.filePath("专家抽取表.xls");
    app.files->nextSavePath = path;
    const TextTable list = MakeReportList(3, 8);
    const auto modeOf = [](const QString &p) {
        struct stat st {};
        return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_mode & 07777 : 07777;
    };
    EXPECT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, {}),
              path);
    EXPECT_EQ(modeOf(path), mode_t(0644));
    EXPECT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, {}),
              path);
    EXPECT_EQ(modeOf(path), mode_t(0644));
    ::umask(old);
    EXPECT_TRUE(IsXlsWorkbook(path));
}

// A long list's workbook has plain cells where the template merges them (the
// office's .xls writer slows down with the square of the merged blocks),
// drawn as the same boxes: the text in the first cell, the outline around
// the block, no line inside it.
TEST(LibreOfficeReports, LongExportsKeepTheBoxesWithoutMergedCells)
{
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    QTemporaryDir out;
    QWidget screen;
    const int n = kLongReportRows + 200;
    app.files->nextSavePath = out.filePath(QStringLiteral("long.xls"));
    const Kind k = Kinds()[2];
    ASSERT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, k.kind,
                           MakeReportList(n, k.listColumns), k.header, {}),
              app.files->nextSavePath)
        << app.messages->lastText().toStdString();

    auto reader = MakeSharedOfficeEngine();
    reader->open(app.files->nextSavePath);
    const int h = LayoutOf(k.kind).headingRows;
    for (int row : {h + 1, h + kRowsPerWrite / 2, h + n}) {
        SCOPED_TRACE(row);
        const int i = row - h;
        EXPECT_EQ(reader->text(row, 2), QString::number(i));
        EXPECT_EQ(reader->text(row, 3), QStringLiteral("r%1c1").arg(i));
        EXPECT_EQ(reader->text(row, 12), QStringLiteral("r%1c5").arg(i));
        // C:D was one box: C keeps its left line, D its right one, nothing between.
        const CellLook c = reader->look(row, 3);
        const CellLook d = reader->look(row, 4);
        EXPECT_FALSE(c.merged);
        EXPECT_TRUE(c.borderLeft && c.borderTop && c.borderBottom);
        EXPECT_TRUE(d.borderRight && d.borderTop && d.borderBottom);
        EXPECT_FALSE(c.borderRight || d.borderLeft);
        // L:O likewise, over four cells.
        EXPECT_TRUE(reader->look(row, 12).borderLeft);
        EXPECT_FALSE(reader->look(row, 13).borderLeft || reader->look(row, 14).borderRight);
        EXPECT_TRUE(reader->look(row, 15).borderRight);
    }
    EXPECT_EQ(reader->text(h + n + 2, 2), "制表人：");
    reader->close();
}

TEST(LibreOfficeReports, CancelledReportEndsTheOfficeAndWritesNothing)
{
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    QTemporaryDir out;
    const QString target = out.filePath(QStringLiteral("cancelled.xls"));
    const TextTable list = MakeReportList(3 * kRowsPerWrite, 7);
    const auto fill = [&list](SpreadsheetEngine &engine, ReportMode mode, const QString &path, const QString &output,
                              const FillProgress &progress) {
        return FillExcelReport(engine, mode, ReportKind::Search, path, output, list, {}, progress);
    };
    // An office of its own: the cancel ends it.
    ReportRun run(
        MakeLibreOfficeEngine,
        ReportRun::Job{ReportMode::Save, TemplatePath(app.appDir(), ReportKind::Search), target, QString(), fill});
    // Cancelled once the office has the template open and works on the rows.
    int offices = -1;
    QObject::connect(&run, &ReportRun::advanced, &run, [&](int done) {
        if (done >= 20 && offices < 0) {
            offices = OurOfficeProcesses();
            run.cancel();
        }
    });
    QSignalSpy finished(&run, &ReportRun::finished);
    run.start();
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_GT(offices, 0) << "the office was running when the cancel came";
    EXPECT_TRUE(run.wasCancelled());
    EXPECT_FALSE(run.succeeded());
    EXPECT_EQ(OurOfficeProcesses(), 0);
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// A long preview: the first pages as the office prints them, then the whole
// printout in their place.
TEST(LibreOfficeReports, LongPreviewShowsTheFirstPagesThenEveryPage)
{
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    QWidget screen;
    const int n = kLongReportRows + 1;
    ReportPreview *preview = PreviewReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection,
                                           MakeReportList(n, 8), {}, {});
    ASSERT_NE(preview, nullptr) << app.messages->lastText().toStdString();
    QList<int> first;
    for (int page = 0; page < preview->pageCount(); ++page)
        first += NumbersOnPage(*preview->document(), page);
    EXPECT_EQ(preview->pageCount(), kFirstPreviewPages);
    if (!preview->isComplete()) {
        QSignalSpy completed(preview, &ReportPreview::completed);
        ASSERT_TRUE(completed.wait(120000));
        EXPECT_TRUE(completed.first().first().toBool());
    }
    ASSERT_TRUE(preview->isComplete());
    QList<int> all;
    for (int page = 0; page < preview->pageCount(); ++page)
        all += NumbersOnPage(*preview->document(), page);
    QList<int> expected;
    for (int i = 1; i <= n; ++i)
        expected << i;
    EXPECT_EQ(all, expected);
    EXPECT_EQ(all.mid(0, first.size()), first) << "the first pages are those of the whole printout";
    delete preview;
    EXPECT_EQ(OurOfficeProcesses(), 0);
    EXPECT_EQ(SharedTestOffice()->openDocuments(), 0);
}

}   // namespace
