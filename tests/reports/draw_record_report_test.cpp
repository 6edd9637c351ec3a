// The printed record of a stored draw: filled on the in-memory spreadsheet,
// and through the real LibreOffice from DrawRecord_Plate.xls.

#include "ReportTestHelpers.h"
#include "TestApp.h"

#include "reports/QrCode.h"

#include <QDir>
#include <QImage>
#include <QPdfDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
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

// What zbarimg reads from a picture; empty when it finds no code.
QByteArray ReadQr(const QImage &image)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scan.png"));
    if (!image.save(path))
        return "<not saved>";
    QProcess reader;
    reader.start(QStringLiteral("zbarimg"),
                 {QStringLiteral("--raw"), QStringLiteral("-q"), QStringLiteral("-Sbinary"), path});
    reader.waitForFinished(60000);
    return reader.readAllStandardOutput();
}

bool HaveZbar() { return !QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty(); }

// A record's verification data as a stored project gives it: several
// rounds, Ids and hashes, "|" escaped.
QString Verification()
{
    QString text = QStringLiteral("KESTRUNE-RECORD/1\nP|20260001\n");
    for (int r = 1; r <= 4; ++r)
        text += QStringLiteral("R|%1|随机抽取|128|%2|%3||||5|0001,0002,0003,0004,0005|0001,0002\n")
                    .arg(r)
                    .arg(QString(64, QChar('a' + r)))
                    .arg(1000 + r);
    return text;
}

QString WriteTemplateStub(const QTemporaryDir &dir)
{
    const QString path = dir.filePath("DrawRecord_Plate.xls");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write("x");
    return path;
}

TEST(DrawRecordReport, TheHeadTheQrCodeAndThePageFooterFollowTheSignatures)
{
    QTemporaryDir dir;
    const QString templatePath = WriteTemplateStub(dir);
    const DrawRecordLayout &layout = DrawRecordTemplate();
    DrawRecordContent content = Record(3, 12);
    content.verification = Verification();
    content.logHead = QStringLiteral("日志链头：57:0123456789abcdef");
    auto log = std::make_shared<FakeSpreadsheetLog>();
    auto engine = MakeFakeSpreadsheet(log);
    ASSERT_TRUE(FillDrawRecordReport(*engine, ReportMode::Preview, templatePath, dir.filePath("out.pdf"), content));

    const int signature = layout.signatureRow - 7 + 2;
    ASSERT_EQ(log->origin(signature), layout.signatureRow);
    EXPECT_EQ(log->text(signature + layout.headBelowSignature, 2), content.logHead);
    EXPECT_EQ(log->footer, content.logHead) << "on every page with the page numbers";
    ASSERT_EQ(log->images.size(), 1);
    const FakeSpreadsheetLog::Image &qr = log->images.first();
    EXPECT_EQ(qr.row, signature + layout.qrBelowSignature);
    EXPECT_EQ(log->text(qr.row, layout.qrCaptionColumn), kRecordQrCaption);
    EXPECT_EQ(qr.width, qr.height);
    // Half a millimetre a module at least, so that a printout reads.
    EXPECT_GE(qr.width, (QrModules(content.verification.toUtf8()) + 8) * 50);
    EXPECT_TRUE(log->calls.contains(QStringLiteral("setRowHeight %1 %2").arg(qr.row).arg(qr.height + 200)))
        << "its row is as tall as the picture";
    if (!HaveZbar())
        GTEST_SKIP() << "zbarimg is not installed (scripts/install-deps.sh installs it)";
    EXPECT_EQ(ReadQr(QImage::fromData(qr.png)), content.verification.toUtf8());
}

TEST(DrawRecordReport, DataTooLongForACodeIsSaidAndNoPictureIsPut)
{
    QTemporaryDir dir;
    const QString templatePath = WriteTemplateStub(dir);
    DrawRecordContent content = Record(1, 1);
    content.verification = QString(4000, QChar('x'));
    auto log = std::make_shared<FakeSpreadsheetLog>();
    auto engine = MakeFakeSpreadsheet(log);
    ASSERT_TRUE(FillDrawRecordReport(*engine, ReportMode::Save, templatePath, dir.filePath("out.xls"), content));
    EXPECT_TRUE(log->images.isEmpty());
    const DrawRecordLayout &layout = DrawRecordTemplate();
    const int signature = layout.signatureRow - 9 - 9;
    EXPECT_EQ(log->text(signature + layout.qrBelowSignature, 2), kRecordQrTooLong);
}

TEST(DrawRecordReport, RowsGrowToShowLongTextsInFull)
{
    QTemporaryDir dir;
    const QString templatePath = WriteTemplateStub(dir);
    const DrawRecordLayout &layout = DrawRecordTemplate();
    DrawRecordContent content = Record(3, 2);
    // Round 2's avoidance rules run to several lines; the others fit.
    content.rounds.setCell(1, 4, QStringLiteral("回避单位：") + QStringList(12, "北京市建筑设计研究院").join("、"));
    auto log = std::make_shared<FakeSpreadsheetLog>();
    auto engine = MakeFakeSpreadsheet(log);
    ASSERT_TRUE(FillDrawRecordReport(*engine, ReportMode::Save, templatePath, dir.filePath("out.xls"), content));
    QMap<int, int> heights;
    static const QRegularExpression form(QStringLiteral("^setRowHeight (\\d+) (\\d+)$"));
    for (const QString &call : log->calls)
        if (const QRegularExpressionMatch m = form.match(call); m.hasMatch())
            heights[m.captured(1).toInt()] = m.captured(2).toInt();
    ASSERT_TRUE(heights.contains(layout.roundsRow + 1));
    // About 120 two-byte characters across the four columns of the avoidance
    // (58 mm, some 16 a line): eight lines or more, well above the rounds
    // beside it.
    EXPECT_GT(heights[layout.roundsRow + 1], heights.value(layout.roundsRow, layout.roundRowHeight) + 4 * 400);
    EXPECT_GE(heights[layout.roundsRow + 1], 8 * 400);
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

namespace {

// What zbarimg finds on the printout's pages, rendered at 200 dpi.
QByteArray ReadQrFromPdf(const QString &path)
{
    QPdfDocument pdf;
    if (pdf.load(path) != QPdfDocument::Error::None)
        return "<no pdf>";
    for (int page = 0; page < pdf.pageCount(); ++page) {
        const QSizeF points = pdf.pagePointSize(page);
        const QImage image = pdf.render(page, (points * 200.0 / 72.0).toSize());
        const QByteArray read = ReadQr(image.convertToFormat(QImage::Format_RGB32));
        if (!read.isEmpty())
            return read;
    }
    return {};
}

}   // namespace

TEST(DrawRecordReport, ThroughLibreOfficeTheQrCodeReadsBackFromThePrintoutAndTheWorkbookKeepsIt)
{
    if (!HaveZbar())
        GTEST_SKIP() << "zbarimg is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir dir;
    const QString templatePath = QDir(SourceTemplateFolder()).filePath(DrawRecordTemplate().templateName);
    DrawRecordContent content = Record(4, 7);
    content.verification = Verification();
    content.logHead = QStringLiteral("日志链头：57:0123456789abcdef");
    auto engine = MakeSharedOfficeEngine();
    const QString pdf = dir.filePath("record.pdf");
    ASSERT_TRUE(FillDrawRecordReport(*engine, ReportMode::Preview, templatePath, pdf, content));
    EXPECT_EQ(ReadQrFromPdf(pdf), content.verification.toUtf8());
    QPdfDocument printout;
    ASSERT_EQ(printout.load(pdf), QPdfDocument::Error::None);
    const QString lastPage = printout.getAllText(printout.pageCount() - 1).text();
    EXPECT_TRUE(lastPage.contains(content.logHead)) << lastPage.toStdString();
    EXPECT_TRUE(lastPage.contains(QStringLiteral("第 %1 页，共 %1 页").arg(printout.pageCount())))
        << "page numbers in the footer";

    const QString xls = dir.filePath("record.xls");
    ASSERT_TRUE(FillDrawRecordReport(*engine, ReportMode::Save, templatePath, xls, content));
    engine->open(xls);
    const DrawRecordLayout &layout = DrawRecordTemplate();
    const int signature = layout.signatureRow - 6 - 3;
    EXPECT_EQ(engine->text(signature, layout.supervisorColumn), "监督人：王监督    签字：");
    EXPECT_EQ(engine->text(signature + layout.headBelowSignature, 2), content.logHead);
    EXPECT_EQ(engine->imageCells(), (QList<QPair<int, int>>{{signature + layout.qrBelowSignature, 2}}));
    engine->close();
}
