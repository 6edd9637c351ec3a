#include "ReportTestHelpers.h"
#include "TestApp.h"
#include "TestFiles.h"

#include "admin/ExpertImport.h"
#include "data/Schema.h"
#include "reports/SpreadsheetEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

bool officeInstalled()
{
    return !QStandardPaths::findExecutable("soffice").isEmpty() ||
           QFile::exists("/usr/lib/libreoffice/program/soffice");
}

// Download the workbook, fill it through the real spreadsheet program as a
// user would, save it in the formats the upload accepts and upload it.
TEST(ImportWorkbookTest, DownloadedWorkbookFilledAndUploadedRoundTrips)
{
    if (!officeInstalled())
        GTEST_SKIP() << "LibreOffice is not installed";
    TestApp app;
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    const QString existing = app.addExpert("老专家");

    const QString blank = QDir(app.appDir()).filePath("专家数据导入表.xls");
    {
        auto engine = app.state.services.makeSpreadsheet();
        ExpertImport::WriteTemplate(*engine, blank, app.state.store);
    }
    const int columns = int(ExpertImport::Columns(app.state.store).size());

    const QString filled = QDir(app.appDir()).filePath("filled.xls");
    {
        auto engine = app.state.services.makeSpreadsheet();
        engine->open(blank);
        EXPECT_EQ(engine->text(1, 1), "专家姓名");
        EXPECT_EQ(engine->lastUsedRow(), 3);
        QStringList a(columns), b(columns);
        a[0] = "钱七";
        a[1] = "女";
        a[4] = "1970-5-6";
        b[0] = "孙八";
        b[2] = "停用";
        // Every list is filled: an empty one is refused.
        const QVector<ExpertImport::Column> cols = ExpertImport::Columns(app.state.store);
        for (int c = 0; c < columns; ++c)
            if (cols[c].kind != ExpertImport::Column::Text && cols[c].kind != ExpertImport::Column::Date) {
                a[c] = a[c].isEmpty() ? cols[c].items.value(0) : a[c];
                b[c] = b[c].isEmpty() ? cols[c].items.value(0) : b[c];
            }
        engine->setTexts(4, 1, {a, b});
        engine->saveAsXls(filled);
    }

    const QList<QStringList> rows = ExpertImport::ReadSheet(app.state.services.makeSpreadsheet, filled, columns);
    ASSERT_EQ(rows.size(), 5);
    const Outcome out = ExpertImport::ImportRows(app.state.store, app.state.today(), rows);
    ASSERT_TRUE(out.ok()) << out.message().toStdString();
    ASSERT_EQ(app.state.store.ExpertTable.count(), 3);
    EXPECT_EQ(app.state.store.ExpertTable.cell(0, Schema::E_Name).toString(), "老专家");
    const QStringList &qian = app.state.store.ExpertTable.row(1);
    EXPECT_EQ(qian[Schema::E_Id], "000002");
    EXPECT_EQ(qian[Schema::E_Name], "钱七");
    EXPECT_EQ(qian[Schema::E_Sex], "女");
    EXPECT_EQ(qian[Schema::E_birth_date], "1970-05-06");
    EXPECT_EQ(app.state.store.ExpertTable.cell(2, Schema::E_Status).toString(), "停用");
}

// An .xlsx workbook as the office saves it, after reading typed values into
// numbers and dates, reads the same straight from its XML as through the
// office.
TEST(ImportWorkbookTest, XlsxReadDirectlyAsTheOfficeReadsIt)
{
    if (!officeInstalled())
        GTEST_SKIP() << "LibreOffice is not installed";
    QTemporaryDir dir;
    const QString csv = dir.filePath("typed.csv");
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("专家姓名,性别,出生时间,身份证号,电话号码,邮编,备注\n"
                "张三,男,1965-03-08,110101196503081234,13800138000,100045,\"a, \"\"b\"\"\"\n"
                "李四,女,1970-12-31,3.5,-12,0.25,TRUE\n"
                ",,,,,,\n"
                "王五,,,,,,末行\n");
    }
    QTemporaryDir profile;
    QProcess office;
    office.start(QStringLiteral("soffice"),
                 {QStringLiteral("--headless"), QStringLiteral("--norestore"),
                  QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                  QStringLiteral("--infilter=CSV:44,34,76,1,,0,false,true"), QStringLiteral("--convert-to"),
                  QStringLiteral("xlsx"), QStringLiteral("--outdir"), dir.path(), csv});
    ASSERT_TRUE(office.waitForFinished(180000));
    const QString xlsx = dir.filePath("typed.xlsx");
    ASSERT_TRUE(QFile::exists(xlsx));

    // Without a spreadsheet program: only the direct reader can read it.
    const QList<QStringList> direct = ExpertImport::ReadSheet({}, xlsx, 7);

    auto engine = MakeSharedOfficeEngine();
    engine->open(xlsx);
    engine->saveAsCsv(dir.filePath("shown.csv"));
    engine->close();
    QFile shownFile(dir.filePath("shown.csv"));
    ASSERT_TRUE(shownFile.open(QIODevice::ReadOnly));
    QList<QStringList> shown = ExpertImport::ParseCsv(shownFile.readAll());
    for (QStringList &row : shown)
        row.resize(7);

    EXPECT_EQ(direct, shown);
    ASSERT_EQ(direct.size(), 5);
    EXPECT_EQ(direct[1][2], "1965-03-08");
    EXPECT_EQ(direct[1][4], "13800138000");
    EXPECT_EQ(direct[1][6], "a, \"b\"");
}

// A workbook another program wrote with number and date cells: what the
// sheet shows of them is not taken at its word.
TEST(ImportWorkbookTest, NumberAndDateCellsOfAWorkbookAreFoundInOneQuery)
{
    if (!officeInstalled())
        GTEST_SKIP() << "LibreOffice is not installed";
    TestApp app;
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    const QVector<ExpertImport::Column> columns = ExpertImport::Columns(app.state.store);
    auto columnOf = [&](int field) {
        for (int c = 0; c < columns.size(); ++c)
            if (columns[c].field == field)
                return c;
        return -1;
    };
    // Written by another program: a flat OpenDocument sheet whose cells
    // carry their types, a date shown with its time.
    enum Kind { Text, Number, Date };
    struct Cell {
        int column;
        Kind kind;
        QString value;
    };
    auto cellXml = [](const Cell *c) {
        if (!c)
            return QStringLiteral("<table:table-cell/>");
        switch (c->kind) {
        case Number:
            return QStringLiteral(
                       "<table:table-cell office:value-type=\"float\" office:value=\"%1\"><text:p>%1</text:p>"
                       "</table:table-cell>")
                .arg(c->value);
        case Date:
            return QStringLiteral("<table:table-cell table:style-name=\"ce1\" office:value-type=\"date\" "
                                  "office:date-value=\"%1T00:00:00\"><text:p>%1 0:00:00</text:p></table:table-cell>")
                .arg(c->value);
        case Text:
            break;
        }
        return QStringLiteral("<table:table-cell office:value-type=\"string\"><text:p>%1</text:p></table:table-cell>")
            .arg(c->value.toHtmlEscaped());
    };
    QList<QList<Cell>> rows;
    QList<Cell> heading;
    for (int c = 0; c < columns.size(); ++c)
        heading.append({c, Text, columns[c].caption});
    rows << heading;
    // Every list filled: an empty one is refused.
    QList<Cell> lists;
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].kind != ExpertImport::Column::Text && columns[c].kind != ExpertImport::Column::Date)
            lists.append({c, Text, columns[c].items.value(0)});
    rows << QList<Cell>{{0, Text, "周九"},
                        {columnOf(Schema::E_birth_date), Date, "1988-07-01"},
                        {columnOf(Schema::E_Company_name), Number, "12345"}} +
                lists;
    rows << QList<Cell>{{0, Text, "吴十"}, {columnOf(Schema::E_Profession), Number, "110101196503081234"}} + lists;
    QString body;
    for (const QList<Cell> &r : rows) {
        body += QStringLiteral("<table:table-row>");
        for (int c = 0; c < columns.size(); ++c) {
            const Cell *found = nullptr;
            for (const Cell &cell : r)
                if (cell.column == c)
                    found = &cell;
            body += cellXml(found);
        }
        body += QStringLiteral("</table:table-row>");
    }
    const QString fods =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\" "
            "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
            "<office:automatic-styles><number:date-style style:name=\"N1\"><number:year number:style=\"long\"/>"
            "<number:text>-</number:text><number:month number:style=\"long\"/><number:text>-</number:text>"
            "<number:day number:style=\"long\"/><number:text> </number:text><number:hours/><number:text>:</number:text>"
            "<number:minutes number:style=\"long\"/><number:text>:</number:text><number:seconds number:style=\"long\"/>"
            "</number:date-style><style:style style:name=\"ce1\" style:family=\"table-cell\" "
            "style:data-style-name=\"N1\"/></office:automatic-styles>"
            "<office:body><office:spreadsheet><table:table table:name=\"Sheet1\">%1</table:table>"
            "</office:spreadsheet></office:body></office:document>")
            .arg(body);
    const QString source = QDir(app.appDir()).filePath("typed.fods");
    ASSERT_TRUE(WriteAll(source, fods.toUtf8()));
    // An .xls goes through the office; an .xlsx is read straight from its
    // XML, and must know its number cells as well.
    const QString xls = QDir(app.appDir()).filePath("typed.xls");
    {
        auto engine = app.state.services.makeSpreadsheet();
        engine->open(source);
        engine->saveAsXls(xls);
    }
    QTemporaryDir profile;
    QProcess office;
    office.start(QStringLiteral("soffice"),
                 {QStringLiteral("--headless"), QStringLiteral("--norestore"),
                  QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                  QStringLiteral("--convert-to"), QStringLiteral("xlsx"), QStringLiteral("--outdir"), app.appDir(),
                  source});
    ASSERT_TRUE(office.waitForFinished(180000));
    const QString xlsx = QDir(app.appDir()).filePath("typed.xlsx");
    ASSERT_TRUE(QFile::exists(xlsx));

    for (const QString &workbook : {xls, xlsx}) {
        SCOPED_TRACE(workbook.toStdString());
        const ExpertImport::ImportSheet sheet =
            ExpertImport::ReadImportSheet(app.state.services.makeSpreadsheet, workbook);
        const ExpertImport::CheckResult check = ExpertImport::CheckSheet(sheet, app.state.store, app.state.today());
        ASSERT_EQ(check.problems.size(), 1) << check.problems.join('\n').toStdString();
        EXPECT_TRUE(
            check.problems[0].startsWith(QStringLiteral("第3行第%1列“身份证号”")
                                             .arg(ExpertImport::ColumnLetter(columnOf(Schema::E_Profession) + 1))))
            << check.problems[0].toStdString();
        ASSERT_EQ(check.records.size(), 1);
        EXPECT_EQ(check.records[0][Schema::E_birth_date - 1], "1988-07-01");
        EXPECT_EQ(check.records[0][Schema::E_Company_name - 1], "12345");
    }
}

TEST(ImportWorkbookTest, AProtectedWorkbookIsSaidToBeProtected)
{
    if (!officeInstalled())
        GTEST_SKIP() << "LibreOffice is not installed";
    // A workbook saved by the office with the open password "secret".
    const QString workbook = QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath("files/protected.xls");
    ASSERT_TRUE(QFileInfo::exists(workbook)) << workbook.toStdString();
    try {
        ExpertImport::ReadImportSheet(MakeSharedOfficeEngine, workbook);
        ADD_FAILURE() << "a protected workbook was read";
    } catch (const SpreadsheetError &e) {
        EXPECT_TRUE(e.message().contains("设置了打开密码")) << e.message().toStdString();
        EXPECT_FALSE(e.message().contains("Not a spreadsheet")) << e.message().toStdString();
    }
}

}   // namespace
