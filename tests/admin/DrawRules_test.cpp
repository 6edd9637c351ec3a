#include "TestApp.h"

#include "admin/frmDrawRules.h"
#include "data/AuditLog.h"
#include "data/EligibilityRules.h"
#include "data/Tables.h"
#include "shell/MDIFrm.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <functional>

namespace {

QCheckBox *Box(QDialog &d, const char *name) { return d.findChild<QCheckBox *>(name); }
QLineEdit *Edit(QDialog &d, const char *name) { return d.findChild<QLineEdit *>(name); }

EligibilityRules Stored(TestApp &app) { return ReadEligibilityRules(app.state.store).value(); }

}   // namespace

TEST(DrawRules, ShowTheLibrarysRulesAndWriteThemTogether)
{
    TestApp app;
    {
        SCOPED_TRACE("a library without rules: every rule off, its boxes disabled");
        frmDrawRules dialog(app.state);
        for (const char *chk : {"chkAge", "chkWorkYears", "chkTitles", "chkPanelSize", "chkGap", "chkLimit"})
            EXPECT_FALSE(Box(dialog, chk)->isChecked()) << chk;
        EXPECT_FALSE(Edit(dialog, "txtAgeLimit")->isEnabled());
        Box(dialog, "chkAge")->setChecked(true);
        EXPECT_TRUE(Edit(dialog, "txtAgeLimit")->isEnabled());
    }
    const qsizetype logged = ReadAuditEntries(app.state.store, {}).value().size();
    {
        SCOPED_TRACE("set and confirmed");
        frmDrawRules dialog(app.state);
        Box(dialog, "chkAge")->setChecked(true);
        Edit(dialog, "txtAgeLimit")->setText(" 70 ");
        Box(dialog, "chkWorkYears")->setChecked(true);
        Edit(dialog, "txtWorkYears")->setText("8");
        Box(dialog, "chkTitles")->setChecked(true);
        Box(dialog, "chkTitle_2")->setChecked(true);   // the third level: code 03
        Box(dialog, "chkPanelSize")->setChecked(true);
        Edit(dialog, "txtPanelSize")->setText("5");
        Box(dialog, "chkGap")->setChecked(true);
        Edit(dialog, "txtGapDays")->setText("365");
        Box(dialog, "chkLimit")->setChecked(true);
        Edit(dialog, "txtLimitDays")->setText("90");
        Edit(dialog, "txtLimitCount")->setText("4");
        dialog.cmdOK_Click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << app.messages->lastText().toStdString();
    }
    EligibilityRules expected;
    expected.ageLimit = 70;
    expected.minWorkYears = 8;
    expected.titleLevels = {"03"};
    expected.panelSize = 5;
    expected.confirmGapDays = 365;
    expected.confirmLimit = 4;
    expected.confirmDays = 90;
    EXPECT_EQ(Stored(app), expected);
    const QList<AuditEntry> entries = ReadAuditEntries(app.state.store, {}).value();
    ASSERT_EQ(entries.size(), logged + 1) << "one entry for the whole change";
    EXPECT_EQ(entries.last().kind, AuditKind::Setting);
    {
        SCOPED_TRACE("shown again, then a rule turned off");
        frmDrawRules dialog(app.state);
        EXPECT_TRUE(Box(dialog, "chkAge")->isChecked());
        EXPECT_EQ(Edit(dialog, "txtAgeLimit")->text(), "70");
        EXPECT_TRUE(Box(dialog, "chkTitle_2")->isChecked());
        EXPECT_FALSE(Box(dialog, "chkTitle_1")->isChecked());
        EXPECT_EQ(Edit(dialog, "txtLimitCount")->text(), "4");
        Box(dialog, "chkAge")->setChecked(false);
        dialog.cmdOK_Click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    expected.ageLimit = 0;
    EXPECT_EQ(Stored(app), expected);
}

TEST(DrawRules, BadInputIsRefusedWithAMessageAndNothingChanges)
{
    TestApp app;
    EligibilityRules before;
    before.panelSize = 5;
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, before).ok());

    using Set = std::function<void(QDialog &)>;
    const auto number = [](const char *chk, const char *edit, const char *text) -> Set {
        return [=](QDialog &d) {
            Box(d, chk)->setChecked(true);
            Edit(d, edit)->setText(QString::fromUtf8(text));
        };
    };
    const struct {
        const char *what;
        Set set;
        const char *message;   // part of it
    } cases[] = {
        {"even panel", number("chkPanelSize", "txtPanelSize", "4"), "单数"},
        {"panel of one", number("chkPanelSize", "txtPanelSize", "1"), "单数"},
        {"panel left empty", number("chkPanelSize", "txtPanelSize", ""), "单数"},
        {"negative age", number("chkAge", "txtAgeLimit", "-5"), "年龄上限"},
        {"age not a number", number("chkAge", "txtAgeLimit", "七十"), "年龄上限"},
        {"age beyond reason", number("chkAge", "txtAgeLimit", "700"), "年龄上限"},
        {"negative years", number("chkWorkYears", "txtWorkYears", "-1"), "工作年限"},
        {"zero gap", number("chkGap", "txtGapDays", "0"), "信息确认"},
        {"limit without its count",
         [](QDialog &d) {
             Box(d, "chkLimit")->setChecked(true);
             Edit(d, "txtLimitDays")->setText("90");
         },
         "次数"},
        {"limit with a fractional count",
         [](QDialog &d) {
             Box(d, "chkLimit")->setChecked(true);
             Edit(d, "txtLimitDays")->setText("90");
             Edit(d, "txtLimitCount")->setText("2.5");
         },
         "次数"},
        {"title rule with no level", [](QDialog &d) { Box(d, "chkTitles")->setChecked(true); }, "职称级别"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        app.messages->clear();
        frmDrawRules dialog(app.state);
        c.set(dialog);
        dialog.cmdOK_Click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Information);
        EXPECT_TRUE(app.messages->lastText().contains(QString::fromUtf8(c.message)))
            << app.messages->lastText().toStdString();
        EXPECT_EQ(Stored(app), before);
    }
}

TEST(DrawRules, AWriteThatFailsSaysSoAndLeavesTheRules)
{
    TestApp app;
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("CREATE TRIGGER refuse BEFORE INSERT ON library_setting WHEN NEW.Name = 'rule_panel_size' "
                  "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }
    frmDrawRules dialog(app.state);
    Box(dialog, "chkAge")->setChecked(true);
    Edit(dialog, "txtAgeLimit")->setText("70");
    Box(dialog, "chkPanelSize")->setChecked(true);
    Edit(dialog, "txtPanelSize")->setText("5");
    dialog.cmdOK_Click();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(app.messages->lastText().contains("规则没有改变"));
    EXPECT_EQ(Stored(app), EligibilityRules());
}

TEST(DrawRules, LabelsArePlainTextAndTitleLevelsComeFromTheLibrary)
{
    TestApp app;
    frmDrawRules dialog(app.state);
    for (QLabel *label : dialog.findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    const TextTable &types = app.state.store.TitleTypeTable;
    ASSERT_GT(types.count(), 1);
    for (qsizetype row = 1; row < types.count(); ++row) {
        QCheckBox *chk = Box(dialog, QStringLiteral("chkTitle_%1").arg(row - 1).toLatin1().constData());
        ASSERT_NE(chk, nullptr);
        EXPECT_EQ(chk->text(), types.cell(row, 1).toString());
    }
}

TEST(DrawRules, TheMenuItemOpensTheDialogForAdministratorsOnly)
{
    for (const auto &[role, shown] : {std::pair{0, true}, std::pair{1, false}, std::pair{2, false}}) {
        TestApp app;
        app.state.session.CurrentUserRole = role;
        auto window = MakeMainWindow(app.state);
        window->show();
        window->start();
        QAction *item = window->findChild<QAction *>("menuDrawRules");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->isVisible(), shown) << role;
        app.dialogs->script.enqueue([](QDialog &) { return false; });
        item->trigger();
        EXPECT_EQ(app.dialogs->shown.contains("frmDrawRules"), shown) << role;
    }
}
