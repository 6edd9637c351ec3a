#include "TestApp.h"

#include "admin/ExpertImport.h"
#include "data/Schema.h"
#include "files/XlsxSheet.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QDir>
#include <QElapsedTimer>
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
    app.state.services.makeSpreadsheet = [] { return MakeLibreOfficeEngine(); };
    const QString existing = app.addExpert("老专家");

    const QString blank = QDir(app.appDir()).filePath("专家数据导入表.xls");
    {
        auto engine = app.state.services.makeSpreadsheet();
        ExpertImport::WriteTemplate(*engine, blank, app.state);
    }
    const int columns = int(ExpertImport::Columns(app.state).size());

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
        engine->setTexts(4, 1, {a, b});
        engine->saveAsXls(filled);
    }

    const QList<QStringList> rows = ExpertImport::ReadSheet(app.state.services.makeSpreadsheet, filled, columns);
    ASSERT_EQ(rows.size(), 5);
    const Outcome out = ExpertImport::ImportRows(app.state, app.state.today(), rows);
    ASSERT_TRUE(out.ok) << out.message.toStdString();
    ASSERT_EQ(app.state.ExpertTable.count(), 3);
    EXPECT_EQ(app.state.ExpertTable.cell(0, Schema::E_Name).toString(), "老专家");
    const QStringList &qian = app.state.ExpertTable.row(1);
    EXPECT_EQ(qian[Schema::E_Id], "000002");
    EXPECT_EQ(qian[Schema::E_Name], "钱七");
    EXPECT_EQ(qian[Schema::E_Sex], "女");
    EXPECT_EQ(qian[Schema::E_birth_date], "1970-05-06");
    EXPECT_EQ(app.state.ExpertTable.cell(2, Schema::E_Status).toString(), "停用");
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

    QList<QStringList> direct;
    QString error;
    ASSERT_TRUE(ReadXlsxSheet(xlsx, 7, &direct, &error)) << error.toStdString();

    auto engine = MakeLibreOfficeEngine();
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

} // namespace
