// The two lists 抽取规则 opens: the alias groups of work units, and the
// experts whose details should be confirmed again.

#include "TestApp.h"
#include "admin/frmDrawRules.h"
#include "admin/frmReconfirm.h"
#include "admin/frmUnitAliases.h"
#include "data/EligibilityRules.h"
#include "data/LibrarySettings.h"
#include "data/Schema.h"
#include "data/UnitHistory.h"
#include "TestFiles.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace Schema;

TEST(UnitAliasesDialog, ShowsTheGroupsAndWritesOnlyWhatReadsAsGroups)
{
    TestApp app;
    ASSERT_TRUE(WriteUnitAliases(app.state.store, {{"中铁八局", "中铁第八工程局有限公司"}}).ok());
    {
        frmUnitAliases dialog(app.state);
        auto *text = dialog.findChild<QPlainTextEdit *>("txtAliases");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->toPlainText(), "中铁八局 = 中铁第八工程局有限公司");
        EXPECT_EQ(dialog.findChild<QLabel *>("labNote")->textFormat(), Qt::PlainText);

        // A line of one name says nothing: refused, the file as it was.
        text->setPlainText("中铁八局 = 中铁第八工程局有限公司\n华东院");
        const QByteArray before = ReadAll(app.dataFile());
        dialog.cmdOK_Click();
        EXPECT_TRUE(app.messages->lastText().contains("第2行只有一个名称")) << app.messages->lastText().toStdString();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(ReadAll(app.dataFile()), before);

        text->setPlainText("中铁八局 = 中铁第八工程局有限公司\n华东院 = 华东建筑设计研究院");
        dialog.cmdOK_Click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(ReadUnitAliases(app.state.store).value(),
              (UnitAliases{{"中铁八局", "中铁第八工程局有限公司"}, {"华东院", "华东建筑设计研究院"}}));
}

TEST(ReconfirmList, ListsWhatTheRuleFindsWithPhonesMaskedAsTheLibraryMasks)
{
    TestApp app;
    app.clock->date = QDate(2026, 6, 1);
    const struct {
        const char *name, *regDate, *mobile;
    } people[] = {
        {"甲", "2026-05-20", "13812345678"},   // saved lately: not listed
        {"乙", "2025-01-01", "13912345678"},
        {"丙", " ", "13712345678"},   // nothing known: listed
    };
    for (const auto &p : people) {
        QStringList f(ExpertFieldCount - 1, QStringLiteral(" "));
        f[E_Name - 1] = QString::fromUtf8(p.name);
        f[E_Status - 1] = kStatusEnabled;
        f[E_Is_temp - 1] = kKindRegular;
        f[E_Mobile - 1] = QString::fromUtf8(p.mobile);
        f[E_Company_name - 1] = QStringLiteral("北京建工集团");
        f[E_Reg_date - 1] = QString::fromUtf8(p.regDate);
        app.addExpert(f);
    }
    {
        frmReconfirm off(app.state);
        EXPECT_TRUE(off.findChild<QLabel *>("labCount")->text().contains("未启用信息确认规则"));
        EXPECT_EQ(off.findChild<QTableWidget *>("grdExperts")->rowCount(), 0);
    }
    EligibilityRules rules;
    rules.confirmGapDays = 180;
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, rules).ok());
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, "1").ok());

    const TextTable expected = ExpertsToReconfirm(app.state.store, app.state.today()).value();
    ASSERT_EQ(expected.count(), 2);
    for (const auto &[role, phone] : {std::pair{0, "13912345678"}, std::pair{1, "139****5678"}}) {
        app.state.session.CurrentUserRole = role;
        frmReconfirm dialog(app.state);
        const QTableWidget *grid = dialog.findChild<QTableWidget *>("grdExperts");
        ASSERT_EQ(grid->rowCount(), expected.count());
        EXPECT_TRUE(dialog.findChild<QLabel *>("labCount")->text().contains("超过180天"));
        EXPECT_EQ(grid->item(0, 1)->text(), "乙");
        EXPECT_EQ(grid->item(0, 2)->text(), "北京建工集团");
        EXPECT_EQ(grid->item(0, 3)->text(), QString::fromUtf8(phone)) << role;
        EXPECT_EQ(grid->item(0, 4)->text(), "无");   // never on a panel
        EXPECT_EQ(grid->item(1, 1)->text(), "丙");
    }
}

TEST(DrawRulesDialog, OpensTheAliasesAndTheReconfirmList)
{
    TestApp app;
    frmDrawRules dialog(app.state);
    for (const auto &[button, opened] :
         {std::pair{"cmdAliases", "frmUnitAliases"}, std::pair{"cmdReconfirm", "frmReconfirm"}}) {
        app.dialogs->script.enqueue([](QDialog &) { return false; });
        QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
        EXPECT_EQ(app.dialogs->shown.last(), opened);
    }
}
