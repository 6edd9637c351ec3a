// The printed record of a stored draw: filled on the in-memory spreadsheet,
// and through the real LibreOffice from DrawRecord_Plate.xls.

#include "ReportTestHelpers.h"
#include "TestApp.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

DrawRecordContent Record(int rounds, int experts)
{
    DrawRecordContent c;
    c.facts = {"体育中心评标", "ZB-2026-01",          "市体育局",      "2026-12-10 09:30", "三楼评标室", "王监督",
               "admin",        "2026-12-09 14:30:05", "资格审查后评标"};
    for (int r = 1; r <= rounds; ++r)
        c.rounds.append({QString::number(r), "随机抽取", "2026-12-09 14:3" + QString::number(r), "从事专业：土木", "无",
                         "120", QString(64, QChar('a' + r)), QString::number(1000 + r)});
    for (int e = 1; e <= experts; ++e)
        c.experts.append({QString::number(e), QStringLiteral("专家%1").arg(e), "男", "北京建工集团", "土木工程",
                          "13800000000", "1 随机抽取", "已确认", e == 2 ? "由第13位替换" : ""});
    return c;
}

TEST(DrawRecordReport, EachListIsFittedInItsOwnRowsAndTheSignaturesFollow)
{
    QTemporaryDir dir;
    const QString templatePath = dir.filePath("DrawRecord_Plate.xls");
    QFile f(templatePath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    auto log = std::make_shared<FakeSpreadsheetLog>();
    auto engine = MakeFakeSpreadsheet(log);
    const DrawRecordLayout &layout = DrawRecordTemplate();
    ASSERT_TRUE(FillDrawRecordReport(*engine, ReportMode::Save, templatePath, dir.filePath("out.xls"), Record(3, 12)));

    // Three rounds: seven template rows go; twelve experts: two copies come.
    const int expertsRow = layout.expertsRow - 7;
    EXPECT_TRUE(log->calls.contains(QStringLiteral("deleteRows %1 7").arg(layout.roundsRow)));
    EXPECT_TRUE(log->calls.contains(QStringLiteral("insertRowCopies %1 2").arg(expertsRow)));
    EXPECT_TRUE(log->calls.contains(
        QStringLiteral("setTexts %1 2 3x%2").arg(layout.roundsRow).arg(layout.roundColumns.last() - 1)));
    EXPECT_TRUE(log->calls.contains(QStringLiteral("setTexts %1 2 12x16").arg(expertsRow)));

    // Facts where the template keeps them.
    for (int i = 0; i < layout.factCells.size(); ++i)
        EXPECT_EQ(log->text(layout.factCells[i].row, layout.factCells[i].column), Record(0, 0).facts[i]);
    // Rounds and experts numbered from 1 in B, the columns of the layout.
    EXPECT_EQ(log->text(layout.roundsRow + 2, 2), "3");
    EXPECT_EQ(log->text(layout.roundsRow + 2, layout.roundColumns[5]), QString(64, QChar('d')));
    EXPECT_EQ(log->text(layout.roundsRow + 2, layout.roundColumns[6]), "1003");
    EXPECT_EQ(log->text(expertsRow + 11, 2), "12");
    EXPECT_EQ(log->text(expertsRow + 1, layout.expertColumns[0]), "专家2");
    EXPECT_EQ(log->text(expertsRow + 1, layout.expertColumns[7]), "由第13位替换");
    // The signature row of the template moved with both lists.
    const int signature = layout.signatureRow - 7 + 2;
    EXPECT_EQ(log->origin(signature), layout.signatureRow);
    EXPECT_EQ(log->text(signature, layout.operatorColumn), "操作员：admin    签字：");
    EXPECT_EQ(log->text(signature, layout.supervisorColumn), "监督人：王监督    签字：");
    EXPECT_TRUE(log->calls.contains("saveAsXls " + dir.filePath("out.xls")));
}

TEST(DrawRecordReport, TheButtonsOfferTheRecordsNameAndNeedTheTemplate)
{
    TestApp app(false);
    auto log = InstallFakeSpreadsheet(app.state);
    QWidget screen;
    const ReportContext ctx{app.state.services, app.state.store.appDir};
    EXPECT_FALSE(PreviewDrawRecord(ctx, &screen, Record(1, 1), {}));
    EXPECT_EQ(app.messages->lastText(), "模板文件“DrawRecord_Plate.xls”不存在！");

    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    QTemporaryDir out;
    app.files->nextSavePath = out.filePath("record.xls");
    EXPECT_EQ(ExportDrawRecord(ctx, &screen, Record(2, 3), {}), out.filePath("record.xls"));
    ASSERT_EQ(app.files->saveCalls.size(), 1);
    EXPECT_EQ(QFileInfo(app.files->saveCalls[0]).fileName(), "专家抽取记录表.xls");
    EXPECT_EQ(log->openedPath, QDir(app.appDir()).filePath("DrawRecord_Plate.xls"));
}

TEST(DrawRecordReport, TheTemplateAndAnExportThroughLibreOffice)
{
    TestApp app(false);
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    const DrawRecordLayout &layout = DrawRecordTemplate();
    auto engine = MakeSharedOfficeEngine();

    // The template: labels before the facts, the two list headings, ten
    // formatted rows each, the signature boxes.
    engine->open(QDir(SourceTemplateFolder()).filePath(layout.templateName));
    EXPECT_EQ(engine->text(1, 2), "专家抽取记录表");
    EXPECT_EQ(engine->text(3, 2), "项目名称：");
    EXPECT_EQ(engine->text(3, 11), "项目编号：");
    EXPECT_EQ(engine->text(layout.roundsRow - 1, layout.roundColumns[5]), "候选名单SHA-256");
    EXPECT_EQ(engine->text(layout.expertsRow - 1, layout.expertColumns[6]), "出席情况");
    for (int row : {layout.roundsRow, layout.roundsRow + 9, layout.expertsRow, layout.expertsRow + 9}) {
        const CellLook look = engine->look(row, 2);
        EXPECT_TRUE(look.borderTop && look.borderBottom && look.borderLeft) << row;
    }
    EXPECT_EQ(engine->text(layout.signatureRow, layout.operatorColumn), "操作员：    签字：");
    EXPECT_TRUE(engine->look(layout.signatureRow, layout.operatorColumn + 5).borderBottom);
    engine->close();

    QTemporaryDir out;
    QWidget screen;
    app.files->nextSavePath = out.filePath("record.xls");
    const QString path = ExportDrawRecord({app.state.services, app.state.store.appDir}, &screen, Record(2, 13), {});
    ASSERT_EQ(path, out.filePath("record.xls")) << app.messages->lastText().toStdString();
    engine->open(path);
    EXPECT_EQ(engine->text(3, 4), "体育中心评标");
    EXPECT_EQ(engine->text(7, 4), "资格审查后评标");
    EXPECT_EQ(engine->text(layout.roundsRow + 1, layout.roundColumns[6]), "1002");
    EXPECT_TRUE(engine->text(layout.roundsRow + 2, 2).isEmpty()) << "two round rows";
    const int expertsRow = layout.expertsRow - 8;
    EXPECT_EQ(engine->text(expertsRow - 1, 2), "序号");
    EXPECT_EQ(engine->text(expertsRow + 12, layout.expertColumns[0]), "专家13");
    const int signature = layout.signatureRow - 8 + 3;
    EXPECT_EQ(engine->text(signature, layout.supervisorColumn), "监督人：王监督    签字：");
    EXPECT_TRUE(engine->look(expertsRow + 12, 2).borderBottom);
    engine->close();
}

}   // namespace
