// The work-unit avoidance rule with former units and alias groups, the
// reasons of the rules, and what a stored round keeps of them: each rule
// takes out exactly what a query over the file says, and a round's record
// of it survives storing, printing and verification.

#include "TestApp.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/EligibilityRules.h"
#include "data/ExpertRecord.h"
#include "data/Schema.h"
#include "data/UnitHistory.h"
#include "extraction/ProjectDraws.h"
#include "extraction/frmAvoid.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace {

using namespace Schema;

const QDate kToday(2026, 3, 10);
const QDateTime kNow(kToday, QTime(10, 0, 0));
const QString kLong = QStringLiteral("中铁第八工程局有限公司");
const QString kShort = QStringLiteral("中铁八局");

// Experts either side of every line the unit rule draws: both spellings as
// the current unit, former units left on the day three years back, the day
// before it, without an end date, and a unit that only looks alike.
struct Person {
    const char *name;
    const char *company;
    const char *status;
    QList<FormerUnit> former;
};
const Person kPeople[] = {
    {"甲", "中铁八局", "启用", {}},
    {"乙", "中铁第八工程局有限公司", "启用", {}},
    {"丙", "北京建工集团", "启用", {{"中铁八局", "2015-01-01", "2023-03-10"}}},
    {"丁", "北京建工集团", "启用", {{"中铁第八工程局有限公司", "2016-05-01", "2023-03-09"}}},
    {"戊", "上海建工集团", "启用", {{"中铁第八工程局有限公司", "2018-01-01", ""}}},
    {"己", "上海建工集团", "启用", {}},
    {"庚", "华东院", "启用", {{"上海建工集团", "2020-01-01", "2025-12-31"}}},
    {"辛", "中铁八局", "停用", {}},
    {"壬", "北京建工集团", "启用", {{"中铁八局有限", "2019-01-01", "2025-01-01"}}},
    {"癸", "华东院", "启用", {{"北京建工集团", "2010-01-01", "2012-01-01"}, {"中铁八局", "2012-01-02", "2024-06-30"}}},
};

class AvoidanceHistory : public ::testing::Test {
public:
    void SetUp() override
    {
        app.clock->date = kToday;
        for (const Person &p : kPeople) {
            QStringList f(ExpertFieldCount - 1, QStringLiteral(" "));
            f[E_Name - 1] = QString::fromUtf8(p.name);
            f[E_Status - 1] = QString::fromUtf8(p.status);
            f[E_Is_temp - 1] = kKindRegular;
            f[E_Company_name - 1] = QString::fromUtf8(p.company);
            f[E_zhicheng_id - 1] = QStringLiteral("03");
            const QString id = app.addExpert(f);
            ids << id;
            Connection conn = OpenDataFile(app.state.store);
            WriteFormerUnits(conn, id, p.former);
        }
        ASSERT_TRUE(WriteUnitAliases(app.state.store, {{kShort, kLong}, {"华东院", "华东建筑设计研究院"}}).ok());
    }

    // The enabled experts that neither the current unit nor (when years > 0)
    // a former unit left within years ties to the avoided unit or a name of
    // its alias groups, by Id.
    QStringList ExpectedBySql(const QString &unit, int years)
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare(QStringLiteral(
            "WITH names(n) AS (SELECT ? UNION SELECT Name FROM unit_alias WHERE Grp IN "
            "  (SELECT Grp FROM unit_alias WHERE Name = ?)) "
            "SELECT Id FROM expert_msg WHERE Status = '启用' AND Id NOT IN ("
            "  SELECT Id FROM expert_msg WHERE trim(Company_name) IN (SELECT n FROM names) "
            "  UNION SELECT Expert_Id FROM expert_former_unit WHERE ? > 0 AND Unit IN (SELECT n FROM names) "
            "    AND (To_date = '' OR To_date >= ?)) "
            "ORDER BY Id"));
        st.bind(1, unit);
        st.bind(2, unit);
        st.bindInt(3, years);
        st.bind(4, kToday.addYears(-years).toString(kStoredDateFormat));
        QStringList out;
        while (st.step())
            out << st.text(0);
        return out;
    }

    static QStringList Ids(const TextTable &t)
    {
        QStringList out;
        for (qsizetype r = 0; r < t.count(); ++r)
            out << t.cell(r, 0).toString();
        return out;
    }

    TestApp app;
    QStringList ids;
};

}   // namespace

TEST_F(AvoidanceHistory, TheUnitRuleTakesOutWhatTheQueryOverTheFileSays)
{
    const struct {
        QString unit;
        int years;
        QStringList removed;   // by name, to read the case at a glance
    } cases[] = {
        // Either spelling reaches the other, current and former alike; left
        // three years ago to the day is within three years, a day earlier not.
        {kShort, 3, {"甲", "乙", "丙", "戊", "癸"}},
        {kLong, 3, {"甲", "乙", "丙", "戊", "癸"}},
        {kLong, 4, {"甲", "乙", "丙", "丁", "戊", "癸"}},
        {kShort, 1, {"甲", "乙", "戊"}},
        // Without years the current unit alone counts.
        {kShort, 0, {"甲", "乙"}},
        {QStringLiteral("华东建筑设计研究院"), 3, {"庚", "癸"}},
        {QStringLiteral("上海建工集团"), 3, {"戊", "己", "庚"}},
    };
    TextTable all;
    FilterCandidates(app.state.store.ExpertTable, SelectionCriteria{}, all);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.unit.toStdString() + " " + std::to_string(c.years));
        AvoidanceRules rules;
        rules.units = {c.unit};
        rules.formerYears = c.years;
        rules.unitsReason = QStringLiteral("投标单位");
        TextTable candidates;
        const Result<KeptOut> kept = BuildCandidates(app.state.store, SelectionCriteria{}, rules, kToday, candidates);
        ASSERT_TRUE(kept.ok());
        EXPECT_EQ(Ids(candidates), ExpectedBySql(c.unit, c.years));

        QStringList removedNames;
        for (const UnitMatch &m : kept.value().avoided.unitMatches)
            removedNames
                << app.state.store.ExpertTable.cell(FindExpertRow(app.state.store, m.expertId), E_Name).toString();
        EXPECT_EQ(removedNames, c.removed);
        EXPECT_EQ(kept.value().avoided.units, c.removed.size());
        EXPECT_EQ(kept.value().avoided.total, c.removed.size());
        EXPECT_EQ(all.count() - candidates.count(), c.removed.size());
    }
}

TEST_F(AvoidanceHistory, FormerUnitsAndAliasesChangeNothingWithoutAUnitRule)
{
    TextTable plain;
    FilterCandidates(app.state.store.ExpertTable, SelectionCriteria{}, plain);
    AvoidanceRules byName;
    byName.expertIds = {ids[0]};
    byName.expertsReason = QStringLiteral("亲属");
    for (const AvoidanceRules &rules : {AvoidanceRules(), byName}) {
        TextTable candidates;
        const Result<KeptOut> kept = BuildCandidates(app.state.store, SelectionCriteria{}, rules, kToday, candidates);
        ASSERT_TRUE(kept.ok());
        TextTable expected = plain;
        expected.removeRowsIf([&](const TextTable &t, qsizetype r) { return rules.expertIds.contains(t.cell(r, 0)); });
        EXPECT_EQ(candidates, expected);
        EXPECT_FALSE(kept.value().avoided.unitsRecorded);
        EXPECT_TRUE(kept.value().avoided.aliases.isEmpty());
        EXPECT_EQ(AvoidanceToText(rules, kept.value().avoided).contains("unitMatches"), false);
    }
}

TEST_F(AvoidanceHistory, ASubstituteCannotBeAnExpertWhoLeftTheAvoidedUnitRecently)
{
    AvoidanceRules rules;
    rules.units = {kShort};
    rules.formerYears = 3;
    rules.unitsReason = QStringLiteral("投标单位");
    Connection conn = OpenDataFile(app.state.store);
    const UnitRecords units = ReadUnitRecords(conn);
    const QSet<QString> drawn;
    // 丙 left on the boundary day, 丁 the day before it.
    EXPECT_EQ(UnavailableReason(app.state.store, ids[2], drawn, rules, kToday, nullptr, &units),
              QStringLiteral("按回避条件应回避"));
    EXPECT_EQ(UnavailableReason(app.state.store, ids[3], drawn, rules, kToday, nullptr, &units), QString());
}

TEST(AvoidanceReasons, EveryRuleSetNeedsItsReason)
{
    AvoidanceRules all;
    all.units = {"华东院"};
    all.expertIds = {"000001"};
    all.expertNames = {"甲"};
    all.recentDays = 30;
    all.unitsReason = "投标单位";
    all.expertsReason = "亲属";
    all.recentReason = "轮换";
    const struct {
        QString *reason;
        const char *problem;
    } cases[] = {
        {&all.unitsReason, "请输入回避工作单位的原因！"},
        {&all.expertsReason, "请输入回避指定专家的原因！"},
        {&all.recentReason, "请输入回避近期抽取过的专家的原因！"},
    };
    EXPECT_EQ(AvoidanceRulesProblem(all), QString());
    EXPECT_EQ(AvoidanceRulesProblem(AvoidanceRules()), QString());
    for (const auto &c : cases) {
        const QString kept = *c.reason;
        *c.reason = QStringLiteral("   ");
        EXPECT_EQ(AvoidanceRulesProblem(all), QString::fromUtf8(c.problem));
        *c.reason = kept;
    }
}

TEST_F(AvoidanceHistory, ReasonsAndAliasesAreStoredWithTheRoundAndPrinted)
{
    AvoidanceRules rules;
    rules.units = {kShort};
    rules.formerYears = 3;
    rules.unitsReason = QStringLiteral("投标单位");
    rules.expertIds = {ids[5]};
    rules.expertNames = {QStringLiteral("己")};
    rules.expertsReason = QStringLiteral("与招标人有亲属关系");
    rules.recentDays = 7;
    rules.recentReason = QStringLiteral("专家轮换");
    TextTable candidates;
    const KeptOut kept = BuildCandidates(app.state.store, SelectionCriteria{}, rules, kToday, candidates).value();
    DrawRound round =
        NewRound(RoundType::Manual, SelectionCriteria{}, app.state.store.TitleTypeTable, rules, kept, candidates, kNow);
    round.confirmedIds << candidates.cell(0, 0).toString();
    TextTable drawList;
    drawList.appendRowOf(candidates, 0);
    DrawSession session;
    session.rounds << round;
    const QString projectId =
        StoreDrawProject(app.state.store, drawList, session, ProjectFacts{"地铁评标"}, "admin", kNow).projectId;

    const std::optional<ProjectDetail> project = LoadProject(app.state.store, projectId);
    ASSERT_TRUE(project);
    ASSERT_EQ(project->rounds.size(), 1);
    const DrawRound &stored = project->rounds[0];
    EXPECT_EQ(stored.avoidance, rules);
    EXPECT_EQ(stored.avoided.aliases, (UnitAliases{{kShort, kLong}}));
    EXPECT_EQ(stored.avoided.unitMatches, kept.avoided.unitMatches);
    EXPECT_EQ(stored.avoided.formerUnits, 3);   // 丙, 戊, 癸

    const DrawRecordContent record = DrawRecordOf(*project);
    ASSERT_EQ(record.rounds.count(), 1);
    const QString printed = record.rounds.cell(0, 4).toString();
    for (const char *part : {"回避单位：中铁八局，含3年内曾在该单位任职的专家，同一单位：中铁八局="
                             "中铁第八工程局有限公司（原因：投标单位）",
                             "回避专家：己(", "（原因：与招标人有亲属关系）",
                             "回避近7天内抽取过的专家（原因：专家轮换）", "单位回避5人（其中按曾任职单位3人）"})
        EXPECT_TRUE(printed.contains(QString::fromUtf8(part))) << printed.toStdString() << "\n" << part;
}

TEST_F(AvoidanceHistory, VerificationChecksTheStoredUnitMatchesAndFailsWhenOneIsChanged)
{
    AvoidanceRules rules;
    rules.units = {kShort};
    rules.formerYears = 3;
    rules.unitsReason = QStringLiteral("投标单位");
    TextTable candidates;
    const KeptOut kept = BuildCandidates(app.state.store, SelectionCriteria{}, rules, kToday, candidates).value();
    ASSERT_EQ(kept.avoided.unitMatches.size(), 5);
    DrawRound round =
        NewRound(RoundType::Manual, SelectionCriteria{}, app.state.store.TitleTypeTable, rules, kept, candidates, kNow);
    round.confirmedIds << candidates.cell(0, 0).toString();
    TextTable drawList;
    drawList.appendRowOf(candidates, 0);
    DrawSession session;
    session.rounds << round;
    const QString projectId =
        StoreDrawProject(app.state.store, drawList, session, ProjectFacts{"地铁评标"}, "admin", kNow).projectId;
    const auto verify = [&] {
        Connection conn = OpenDataFile(app.state.store);
        return VerifyProject(conn, projectId);
    };
    ASSERT_TRUE(verify().ok()) << verify().line().toStdString();

    // Each stored value changed on its own must show.
    const struct {
        const char *name;
        const char *from;
        const char *to;
        const char *problem;
    } changes[] = {
        {"a former unit's end moved back", "\"to\":\"2023-03-10\"", "\"to\":\"2023-03-09\"", "已超过3年"},
        {"a unit renamed", "\"unit\":\"中铁八局\"", "\"unit\":\"北京建工集团\"", "不是回避的单位"},
        {"the alias group dropped", "\"aliases\":[[\"中铁八局\",\"中铁第八工程局有限公司\"]],", "", "不是回避的单位"},
        {"fewer years", "\"formerYears\":3", "\"formerYears\":1", "已超过1年"},
        {"a match dropped", "{\"id\":\"000001\",\"unit\":\"中铁八局\"},", "", "人数与回避记录不符"},
    };
    for (const auto &c : changes) {
        SCOPED_TRACE(c.name);
        QString before;
        {
            Connection conn = OpenDataFile(app.state.store);
            Statement read = conn.prepare(QStringLiteral("SELECT Avoidance FROM draw_round WHERE Project_Id = ?"));
            read.bind(1, projectId);
            ASSERT_TRUE(read.step());
            before = read.text(0);
            ASSERT_TRUE(before.contains(QString::fromUtf8(c.from))) << before.toStdString();
            Statement write = conn.prepare(QStringLiteral("UPDATE draw_round SET Avoidance = ? WHERE Project_Id = ?"));
            write.bind(1, QString(before).replace(QString::fromUtf8(c.from), QString::fromUtf8(c.to)));
            write.bind(2, projectId);
            write.step();
        }
        const ProjectVerification v = verify();
        EXPECT_FALSE(v.ok());
        EXPECT_TRUE(v.line().contains(QString::fromUtf8(c.problem))) << v.line().toStdString();
        Connection conn = OpenDataFile(app.state.store);
        Statement restore = conn.prepare(QStringLiteral("UPDATE draw_round SET Avoidance = ? WHERE Project_Id = ?"));
        restore.bind(1, before);
        restore.bind(2, projectId);
        restore.step();
    }
    EXPECT_TRUE(verify().ok());
}

TEST(UnitAliasText, LinesBecomeGroupsAndDoubtfulLinesAreRefused)
{
    const struct {
        const char *text;
        UnitAliases groups;
        const char *problem;
    } cases[] = {
        {"中铁八局 = 中铁第八工程局有限公司\n\n华东院＝华东建筑设计研究院 = 华东院",
         {{"中铁八局", "中铁第八工程局有限公司"}, {"华东院", "华东建筑设计研究院"}},
         ""},
        {"中铁八局", {}, "第1行只有一个名称"},
        {"甲=乙\n乙=丙", {{"甲", "乙"}, {"乙", "丙"}}, "“乙”同时出现在第1行和第2行"},
    };
    for (const auto &c : cases) {
        QString problem;
        EXPECT_EQ(ParseUnitAliases(QString::fromUtf8(c.text), &problem), c.groups) << c.text;
        EXPECT_TRUE(QString::fromUtf8(c.problem).isEmpty() ? problem.isEmpty()
                                                           : problem.contains(QString::fromUtf8(c.problem)))
            << problem.toStdString();
    }
    const UnitAliases groups{{"中铁八局", "中铁第八工程局有限公司"}, {"甲", "乙", "丙"}};
    QString problem;
    EXPECT_EQ(ParseUnitAliases(UnitAliasesText(groups), &problem), groups);
}

TEST(AliasesAndFormerUnits, WritesReplaceWhatWasThereAndLogTheChange)
{
    TestApp app;
    const UnitAliases groups{{"中铁八局", "中铁第八工程局有限公司"}};
    ASSERT_TRUE(WriteUnitAliases(app.state.store, groups).ok());
    ASSERT_TRUE(WriteUnitAliases(app.state.store, groups).ok());   // unchanged: no second entry
    EXPECT_EQ(ReadUnitAliases(app.state.store).value(), groups);
    AuditFilter filter;
    filter.kind = AuditKind::Setting;
    QList<AuditEntry> entries = ReadAuditEntries(app.state.store, filter).value();
    entries.removeIf([](const AuditEntry &e) { return e.subject != "unit_alias"; });
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].detail.contains("中铁第八工程局有限公司"));

    const QString id = app.addExpert("甲");
    Connection conn = OpenDataFile(app.state.store);
    WriteFormerUnits(conn, id, {{"甲单位", "2010-01-01", "2012-01-01"}, {" ", "", ""}, {"乙单位", "", ""}});
    EXPECT_EQ(ReadFormerUnits(conn, id),
              (QList<FormerUnit>{{"甲单位", "2010-01-01", "2012-01-01"}, {"乙单位", "", ""}}));
    WriteFormerUnits(conn, id, {{"丙单位", "2013-01-01", ""}});
    EXPECT_EQ(ReadFormerUnits(conn, id), (QList<FormerUnit>{{"丙单位", "2013-01-01", ""}}));
}

TEST(FormerUnitProblems, DatesMustBeDatesInOrder)
{
    const struct {
        FormerUnit unit;
        const char *problem;
    } cases[] = {
        {{"甲单位", "2010-01-01", "2012-01-01"}, ""},
        {{"甲单位", "", ""}, ""},
        {{"", "2010-01-01", ""}, "请输入曾任职单位的名称！"},
        {{"甲单位", "2010-13-01", ""}, "起始日期"},
        {{"甲单位", "", "去年"}, "截止日期“去年”不是日期"},
        {{"甲单位", "2012-01-01", "2010-01-01"}, "截止日期早于起始日期"},
    };
    for (const auto &c : cases) {
        const QString problem = FormerUnitProblem(c.unit);
        if (QString::fromUtf8(c.problem).isEmpty())
            EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(QString::fromUtf8(c.problem))) << problem.toStdString();
    }
}

TEST(EligibilityText, TitleLevelsAreNamedFromTheVocabulary)
{
    TestApp app;
    EligibilityRules rules;
    rules.titleLevels = {"03", "04", "99"};
    EXPECT_EQ(DescribeEligibility(rules, nullptr, &app.state.store.TitleTypeTable),
              QStringLiteral("职称级别限于中级、副高级、99"));
    EXPECT_EQ(DescribeEligibility(rules), QStringLiteral("职称级别限于03、04、99"));
}

TEST_F(AvoidanceHistory, TheAvoidanceDialogCountsFormerUnitsAndAliasesAndWantsAReason)
{
    TextTable all;
    FilterCandidates(app.state.store.ExpertTable, SelectionCriteria{}, all);
    frmAvoid dialog(app.state, all);
    auto *former = dialog.findChild<QCheckBox *>("chkFormer");
    auto *years = dialog.findChild<QLineEdit *>("txtFormerYears");
    auto *counts = dialog.findChild<QLabel *>("labCounts");
    ASSERT_TRUE(former && years && counts);
    // No unit rule yet: former units count for the usual three years.
    EXPECT_TRUE(former->isChecked());
    EXPECT_EQ(years->text(), "3");
    EXPECT_EQ(counts->textFormat(), Qt::PlainText);

    dialog.findChild<QPlainTextEdit *>("txtUnits")->setPlainText(kShort);
    EXPECT_TRUE(counts->text().contains("按工作单位回避5人")) << counts->text().toStdString();
    EXPECT_TRUE(counts->text().contains("3人是按曾任职单位回避的"));
    EXPECT_TRUE(counts->text().contains("按单位别名一并回避：中铁八局=中铁第八工程局有限公司"));
    former->setChecked(false);
    EXPECT_TRUE(counts->text().contains("按工作单位回避2人")) << counts->text().toStdString();
    former->setChecked(true);
    years->setText("4");
    EXPECT_TRUE(counts->text().contains("按工作单位回避6人")) << counts->text().toStdString();

    dialog.cmdOK_Click();
    EXPECT_EQ(app.messages->lastText(), "请输入回避工作单位的原因！");
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    dialog.findChild<QLineEdit *>("txtUnitsReason")->setText(" 投标单位 ");
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const AvoidanceRules rules = dialog.rules();
    EXPECT_EQ(rules.units, QStringList{kShort});
    EXPECT_EQ(rules.formerYears, 4);
    EXPECT_EQ(rules.unitsReason, "投标单位");
}
