// The candidate filter with the library's eligibility rules: the draws'
// entry point.

#include "TestApp.h"
#include "data/Database.h"
#include "data/EligibilityRules.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "extraction/CandidateFilter.h"

#include <gtest/gtest.h>

namespace {

using namespace Schema;

const QDate kReview(2026, 3, 10);

// Experts of every sort the rules look at: ages either side of 65, cards
// for missing birth dates, short and long careers, four title levels.
void AddExperts(TestApp &app)
{
    const struct {
        const char *name;
        const char *birth;
        const char *card;
        const char *graduated;
        const char *title;
        const char *status;
    } people[] = {
        {"甲", "1961-03-10", " ", "1983-07-01", "03", "启用"},
        {"乙", "1961-03-11", " ", "2020-07-01", "02", "启用"},
        {"丙", " ", "11010519491231002X", " ", "04", "启用"},
        {"丁", " ", "110105194912310021", "1990-07-01", "03", "启用"},
        {"戊", "1975-05-05", " ", "1997-07-01", "01", "启用"},
        {"己", "1940-01-01", " ", "1962-07-01", "03", "停用"},
        {"庚", "1980-01-01", " ", "2002-07-01", "04", "启用"},
        {"辛", "1985-01-01", " ", "2019-07-01", "03", "启用"},
    };
    for (const auto &p : people) {
        QStringList f;
        for (int i = 1; i < ExpertFieldCount; ++i)
            f << " ";
        f[E_Name - 1] = QString::fromUtf8(p.name);
        f[E_Status - 1] = QString::fromUtf8(p.status);
        f[E_Is_temp - 1] = kKindRegular;
        f[E_birth_date - 1] = QString::fromUtf8(p.birth);
        f[E_Profession - 1] = QString::fromUtf8(p.card);
        f[E_graduate_date - 1] = QString::fromUtf8(p.graduated);
        f[E_zhicheng_id - 1] = QString::fromUtf8(p.title);
        f[E_Company_name - 1] = QStringLiteral("北京建工集团");
        app.addExpert(f);
    }
}

QStringList Ids(const TextTable &candidates)
{
    QStringList ids;
    for (qsizetype r = 0; r < candidates.count(); ++r)
        ids << candidates.cell(r, 0).toString();
    return ids;
}

QList<SelectionCriteria> SomeCriteria()
{
    SelectionCriteria none;
    SelectionCriteria name;
    name[0] = QStringLiteral("甲");
    SelectionCriteria unit;
    unit[7] = QStringLiteral("建工");
    SelectionCriteria level;
    level[5] = QStringLiteral("03");
    return {none, name, unit, level, NoRecordCriteria()};
}

}   // namespace

TEST(CandidateRules, WithoutRulesEveryDrawListsWhatTheFilterAloneLists)
{
    TestApp app;
    AddExperts(app);
    EligibilityRules notFiltering;
    notFiltering.panelSize = 5;
    notFiltering.confirmGapDays = 60;
    for (const EligibilityRules &rules : {EligibilityRules(), notFiltering}) {
        ASSERT_TRUE(WriteEligibilityRules(app.state.store, rules).ok());
        for (const SelectionCriteria &criteria : SomeCriteria()) {
            TextTable plain;
            FilterCandidates(app.state.store.ExpertTable, criteria, plain);
            TextTable ruled;
            ruled.append({"stale"});
            const Result<EligibilityCounts> counts = FilterCandidates(app.state.store, criteria, kReview, ruled);
            ASSERT_TRUE(counts.ok());
            EXPECT_EQ(ruled, plain) << criteria[0].toStdString() << criteria[5].toStdString();
            EXPECT_EQ(counts.value(), EligibilityCounts());
        }
    }
}

TEST(CandidateRules, RulesTakeOutOfTheCriteriasCandidatesWhatTheyExclude)
{
    TestApp app;
    AddExperts(app);
    EligibilityRules rules;
    rules.ageLimit = 65;
    rules.minWorkYears = 8;
    rules.titleLevels = {"03", "04"};
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, rules).ok());

    for (const SelectionCriteria &criteria : SomeCriteria()) {
        SCOPED_TRACE(criteria[0].toStdString() + criteria[5].toStdString() + criteria[7].toStdString());
        // What the rules exclude from the experts the criteria let through,
        // judged on the whole expert rows.
        TextTable plain;
        FilterCandidates(app.state.store.ExpertTable, criteria, plain);
        const QStringList passing = Ids(plain);
        TextTable rows = app.state.store.ExpertTable;
        rows.removeRowsIf([&](const TextTable &t, qsizetype r) { return !passing.contains(t.cell(r, E_Id)); });
        const EligibilityCounts expectedCounts = ApplyEligibility(rows, rules, kReview, {});
        QStringList expected;
        for (qsizetype r = 0; r < rows.count(); ++r)
            expected << rows.cell(r, E_Id).toString();

        TextTable ruled;
        const Result<EligibilityCounts> counts = FilterCandidates(app.state.store, criteria, kReview, ruled);
        ASSERT_TRUE(counts.ok());
        EXPECT_EQ(Ids(ruled), expected);
        EXPECT_EQ(counts.value(), expectedCounts);
        // The rows keep the candidate list's eight columns and its order.
        for (qsizetype r = 0; r < ruled.count(); ++r)
            EXPECT_EQ(ruled.row(r), plain.row(passing.indexOf(ruled.cell(r, 0).toString())));
    }

    // With no criteria, by name: 甲 is 65 on the day, 乙 has a short career
    // and the wrong title, 丙 is old by the card and has no graduation date,
    // 戊 holds title 01, 辛 has six years; 丁's age cannot be told.
    TextTable all;
    const EligibilityCounts counts = FilterCandidates(app.state.store, SelectionCriteria{}, kReview, all).value();
    QStringList names;
    for (qsizetype r = 0; r < all.count(); ++r)
        names << all.cell(r, 1).toString();
    EXPECT_EQ(names, (QStringList{"丁", "庚"}));
    EXPECT_EQ(counts.age, 2);
    EXPECT_EQ(counts.ageUnknown, 1);
    EXPECT_EQ(counts.workYears, 3);
    EXPECT_EQ(counts.workYearsUnknown, 1);
    EXPECT_EQ(counts.titleLevel, 2);
    EXPECT_EQ(counts.total, 5);
}

TEST(CandidateRules, RulesThatCannotBeReadStopTheDraw)
{
    TestApp app;
    AddExperts(app);
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("DROP TABLE library_setting");
        conn.exec("CREATE TABLE library_setting (Name TEXT)");
    }
    TextTable candidates;
    candidates.append({"stale"});
    const Result<EligibilityCounts> counts =
        FilterCandidates(app.state.store, SelectionCriteria{}, kReview, candidates);
    EXPECT_FALSE(counts.ok());
    EXPECT_TRUE(counts.message().contains("抽取规则"));
    EXPECT_TRUE(candidates.isEmpty());
}
