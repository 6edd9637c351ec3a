#include "TestApp.h"

#include "admin/ExpertImport.h"
#include "data/Schema.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
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
    const MaintenanceOutcome out = ExpertImport::ImportRows(app.state, app.state.today(), rows);
    ASSERT_TRUE(out.ok) << out.message.toStdString();
    ASSERT_EQ(app.state.ExpertTable.count(), 3);
    EXPECT_EQ(app.state.ExpertTable.cell(0, Schema::E_Name), "老专家");
    const QStringList &qian = app.state.ExpertTable.rows[1];
    EXPECT_EQ(qian[Schema::E_Id], "000002");
    EXPECT_EQ(qian[Schema::E_Name], "钱七");
    EXPECT_EQ(qian[Schema::E_Sex], "女");
    EXPECT_EQ(qian[Schema::E_birth_date], "1970-05-06");
    EXPECT_EQ(app.state.ExpertTable.cell(2, Schema::E_Status), "停用");
}

} // namespace
