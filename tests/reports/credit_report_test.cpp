// An expert's record and the list of suspended experts, exported from the
// expert's projects screen through the real LibreOffice and read back.

#include "ReportTestHelpers.h"
#include "TestApp.h"
#include "data/AuditLog.h"
#include "data/Credit.h"
#include "data/DrawStore.h"
#include "data/ExpertRecord.h"
#include "data/Schema.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmExpertProjects.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(9, 30, 0));

TEST(CreditReports, TheExpertsRecordAndTheSuspendedListAreExportedAsShown)
{
    TestApp app;
    ASSERT_TRUE(CopyReportTemplates(app.appDir()));
    app.state.templateDir = app.appDir();
    app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    app.state.session.CurrentUserRole = 0;
    app.state.store.operatorName = "admin";   // whom the suspension and the log name
    QStringList ids;
    for (int i = 0; i < 5; ++i)
        ids << app.addExpert(QStringLiteral("专家%1").arg(i + 1));

    // Every expert drawn; the first confirms, is rated with a 不良记录 and
    // suspended for good; the second declines.
    DataStore &store = app.state.store;
    TextTable candidates;
    const KeptOut removed = BuildCandidates(store, SelectionCriteria{}, {}, kNow.date(), candidates).value();
    DrawRound round =
        NewRound(RoundType::Manual, SelectionCriteria{}, store.TitleTypeTable, {}, removed, candidates, kNow);
    round.confirmedIds = ids;
    DrawSession session;
    session.rounds << round;
    ProjectFacts facts{"体育中心评标"};
    facts.code = "ZB-2026-07";
    const QString project = StoreDrawProject(store, candidates, session, facts, "admin", kNow).projectId;
    LoadSelections(store);
    ASSERT_TRUE(SetAttendance(store, project, 1, {Attendance::Confirmed, "", ""}, "admin", kNow.addSecs(60)).value());
    ASSERT_TRUE(SetAttendance(store, project, 2, {Attendance::Declined, DeclineKind::Avoidance, "曾在投标单位任职"},
                              "admin", kNow.addSecs(120))
                    .value());
    ConductEntry c;
    c.seq = 1;
    c.rating = 2;
    c.remark = "态度一般";
    c.recordKind = MisconductKind::Leak;
    c.recordText = "向他人透露评审意见";
    ASSERT_TRUE(WriteConduct(store, project, {c}, kNow.addSecs(180)).ok());
    Suspension s;
    s.expertId = ids[0];
    s.recordProject = project;
    s.recordSeq = 1;
    s.reason = "泄露信息";
    ASSERT_TRUE(SuspendExpert(store, s, kNow.addSecs(240)));

    TestHost host{app.state};
    host.openScreen(ScreenId::ExpertListViewProjects, {.expertId = ids[0]});
    auto *screen = static_cast<frmExpertProjects *>(host.screen("frmExpertProjects"));
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->recordRows().count(), 5);   // 抽取, 已确认, 评价, 不良记录, 暂停

    QTemporaryDir out;
    app.files->nextSavePath = out.filePath("record.xls");
    QTest::mouseClick(host.find<QPushButton>("frmExpertProjects", "cmdExportRecord"), Qt::LeftButton);
    ASSERT_TRUE(QFileInfo::exists(app.files->nextSavePath)) << app.messages->lastText().toStdString();
    app.files->nextSavePath = out.filePath("suspended.xls");
    QTest::mouseClick(host.find<QPushButton>("frmExpertProjects", "cmdExportSuspended"), Qt::LeftButton);
    ASSERT_TRUE(QFileInfo::exists(app.files->nextSavePath)) << app.messages->lastText().toStdString();
    EXPECT_TRUE(app.messages->shown.isEmpty());

    const QString company =
        store.ExpertTable.cell(FindExpertRow(store, ids[0]), Schema::E_Company_name).trimmed().toString();
    auto reader = MakeSharedOfficeEngine();
    {
        reader->open(out.filePath("record.xls"));
        const ReportLayout &layout = LayoutOf(ReportKind::ExpertRecord);
        const int h = layout.headingRows;
        for (const ReportHeaderCell &cell : ExpertRecordHeaderCells({"专家1", ids[0], company, "暂停抽取（长期）"}))
            EXPECT_EQ(reader->text(cell.row, cell.column), cell.text) << cell.row << "," << cell.column;
        const TextTable &shown = screen->recordRows();
        for (int r = 0; r < shown.count(); ++r) {
            EXPECT_EQ(reader->text(h + 1 + r, 2), QString::number(r + 1));
            for (int col = 0; col < 5; ++col)
                EXPECT_EQ(reader->text(h + 1 + r, layout.columns[col]), shown.cell(r, col).toString())
                    << "row " << r << " column " << col;
        }
        EXPECT_EQ(reader->text(h + 1 + 3, layout.columns[3]), "不良记录");
        EXPECT_EQ(reader->text(h + 1 + 3, layout.columns[4]), "泄露信息：向他人透露评审意见");
        EXPECT_EQ(reader->text(h + 1 + 1, layout.columns[1]), "体育中心评标");
        EXPECT_EQ(reader->text(h + shown.count() + 2, 2), "制表人：");
        reader->close();
    }
    {
        reader->open(out.filePath("suspended.xls"));
        const ReportLayout &layout = LayoutOf(ReportKind::Suspended);
        const int h = layout.headingRows;
        EXPECT_EQ(reader->text(3, 4), "2026-12-09");
        const QStringList expected{
            ids[0],  "专家1",   company, "长期", "泄露信息：向他人透露评审意见", "2026-12-09 09:34:00",
            "admin", "泄露信息"};
        for (int col = 0; col < expected.size(); ++col)
            EXPECT_EQ(reader->text(h + 1, layout.columns[col]), expected[col]) << col;
        EXPECT_TRUE(reader->text(h + 2, 2).isEmpty());
        reader->close();
    }
    // Both exports are in the operation log.
    const QList<AuditEntry> log = ReadAuditEntries(store, {}).value();
    int exports = 0;
    for (const AuditEntry &e : log)
        exports += e.kind == AuditKind::Export;
    EXPECT_EQ(exports, 2);
}

}   // namespace
