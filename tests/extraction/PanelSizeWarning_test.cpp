// 完成 under the library's panel-size rule: a panel that breaks it is stored
// only when the operator answers 是, and the warning and the answer are in
// the operation log either way.

#include "TestApp.h"
#include "TestFiles.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/EligibilityRules.h"
#include "extraction/frmNewPro.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

ScreenRegistry ResultRegistry()
{
    ScreenRegistry r = AllScreens().only({Form::frmNewPro, Form::frmExpertHistory});
    for (const Form form : {Form::frmNewProSelExpert, Form::frmNewExpert})
        r.add(form, [form](AppState &s, ScreenNavigator &n, QWidget *p) { return new ChildScreen(s, n, form, p); });
    return r;
}

class PanelSizeWarning : public ::testing::Test {
public:
    void SetUp() override { host.area.show(); }

    void draw(int n)
    {
        if (!app.state.draw.DrawUnsaved)
            app.state.draw.StartNewDraw();
        app.state.draw.DrawList.clear();
        for (int i = 1; i <= n; ++i)
            app.state.draw.DrawList.append({QStringLiteral("%1").arg(100 + i, 6, 10, QLatin1Char('0')),
                                            QStringLiteral("专家%1").arg(i), "男", "1970-01-01", "单位", "土木工程",
                                            "一级建造师", "138"});
        app.state.draw.DrawUnsaved = true;
        host.openScreen(ScreenId::DrawResult);
    }
    void finish() { QTest::mouseClick(host.find<QPushButton>("frmNewPro", "cmdSave"), Qt::LeftButton); }
    QList<AuditEntry> warnings()
    {
        AuditFilter filter;
        filter.kind = AuditKind::PanelWarning;
        return ReadAuditEntries(app.state.store, filter).value();
    }

    TestApp app;
    TestHost host{app.state, ResultRegistry()};
};

}   // namespace

TEST_F(PanelSizeWarning, APanelOfFourIsQuestionedAndNoKeepsItUnstored)
{
    EligibilityRules rules;
    rules.panelSize = 5;
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, rules).ok());
    draw(4);
    app.messages->answers.enqueue(false);
    const int before = app.countRows("sel_expert");
    finish();
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Question);
    EXPECT_TRUE(app.messages->lastText().contains("确认参加的专家只有4人，抽取规则要求评审专家不少于5人。"));
    EXPECT_TRUE(app.messages->lastText().contains("抽取规则：评审专家不少于5人且为单数。"));
    EXPECT_EQ(app.countRows("sel_expert"), before);
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    QList<AuditEntry> logged = warnings();
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].detail.contains("\"answer\":\"否\"")) << logged[0].detail.toStdString();
    EXPECT_TRUE(logged[0].detail.contains("\"experts\":4"));

    // 是: stored, and said so in the log too.
    app.messages->answers.enqueue(true);
    finish();
    EXPECT_EQ(app.countRows("sel_expert"), before + 4);
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
    logged = warnings();
    ASSERT_EQ(logged.size(), 2);
    EXPECT_TRUE(logged[1].detail.contains("\"answer\":\"是\""));
}

TEST_F(PanelSizeWarning, PanelsThatKeepTheRuleOrNoRuleAreStoredWithoutAQuestion)
{
    const struct {
        int panelSize;
        int experts;
        bool asked;
    } cases[] = {
        {5, 5, false}, {5, 7, false}, {0, 4, false}, {5, 6, true}, {3, 2, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.panelSize) + " " + std::to_string(c.experts));
        EligibilityRules rules;
        rules.panelSize = c.panelSize;
        ASSERT_TRUE(WriteEligibilityRules(app.state.store, rules).ok());
        const qsizetype logged = warnings().size();
        app.messages->shown.clear();
        app.messages->answers.enqueue(true);
        draw(c.experts);
        finish();
        EXPECT_EQ(warnings().size(), logged + (c.asked ? 1 : 0));
        EXPECT_EQ(!app.messages->shown.isEmpty() && app.messages->shown[0].icon == MessageService::Icon::Question,
                  c.asked);
        EXPECT_FALSE(app.state.draw.DrawUnsaved);
        app.messages->answers.clear();
    }
}
