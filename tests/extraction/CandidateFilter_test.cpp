#include "data/Schema.h"
#include "extraction/CandidateFilter.h"

#include <gtest/gtest.h>

namespace {

using namespace Schema;

// An expert row of the in-memory table; fields not given are " ".
struct ExpertFixture {
    QString name;
    QString status = QStringLiteral("启用");
    QString kind = QStringLiteral("正式");
    QString titleId = QStringLiteral("01");
    QString titleType = QStringLiteral("工程类");
    QString assessed = QStringLiteral("建筑工程");
    QString working = QStringLiteral("土木工程");
    QString qualification = QStringLiteral("一级建造师");
    QString company = QStringLiteral("北京建工集团");
};

QStringList ExpertRow(int id, const ExpertFixture &s)
{
    QStringList row;
    for (int i = 0; i < ExpertFieldCount; ++i)
        row << QStringLiteral(" ");
    row[E_Id] = QStringLiteral("%1").arg(id, 6, 10, QLatin1Char('0'));
    row[E_Name] = s.name;
    row[E_Status] = s.status;
    row[E_Is_temp] = s.kind;
    row[E_Sex] = QStringLiteral("男");
    row[E_birth_date] = QStringLiteral("1970-01-0%1").arg(id % 9 + 1);
    row[E_zhicheng_id] = s.titleId;
    row[E_type] = s.titleType;
    row[E_resource_industry] = s.assessed;
    row[E_cong_shi_zhuanye] = s.working;
    row[E_zige_name] = s.qualification;
    row[E_Company_name] = s.company;
    row[E_Mobile] = QStringLiteral("1380000%1").arg(id, 4, 10, QLatin1Char('0'));
    return row;
}

TextTable Experts(const QList<ExpertFixture> &fixtures)
{
    TextTable t;
    int id = 1;
    for (const ExpertFixture &s : fixtures)
        t.append(ExpertRow(id++, s));
    return t;
}

QStringList Names(const TextTable &candidates)
{
    QStringList names;
    for (const QStringList &row : candidates.toLists())
        names << row.at(1);
    return names;
}

QStringList Filter(const TextTable &experts, const SelectionCriteria &criteria)
{
    TextTable candidates;
    candidates.append({QStringLiteral("stale")});
    FilterCandidates(experts, criteria, candidates);
    return Names(candidates);
}

SelectionCriteria Only(int slot, const QString &text)
{
    SelectionCriteria c;
    c[slot] = text;
    return c;
}

TEST(CandidateFilter, ListsEnabledExpertsOnlyInTableOrderWithTheEightColumns)
{
    const TextTable experts = Experts({{QStringLiteral("甲")},
                                       {QStringLiteral("乙"), QStringLiteral("停用")},
                                       {QStringLiteral("丙"), QStringLiteral("启用 ")},
                                       {QStringLiteral("丁"), QStringLiteral("启用"), QStringLiteral("临时")},
                                       {QStringLiteral("戊"), QStringLiteral("")}});
    TextTable candidates;
    FilterCandidates(experts, SelectionCriteria{}, candidates);
    EXPECT_EQ(Names(candidates), (QStringList{"甲", "丁"}));

    const QStringList &e = experts.row(3);
    EXPECT_EQ(candidates.row(1), (QStringList{e[E_Id], e[E_Name], e[E_Sex], e[E_birth_date], e[E_Company_name],
                                              e[E_cong_shi_zhuanye], e[E_zige_name], e[E_Mobile]}));

    // A disabled expert stays out whatever the criteria say.
    EXPECT_EQ(Filter(experts, Only(0, QStringLiteral("乙"))), QStringList{});
}

TEST(CandidateFilter, NoRecordCriteriaMatchNobody)
{
    const TextTable experts = Experts({{QStringLiteral("NoRecord")}, {QStringLiteral("甲")}});
    EXPECT_EQ(Filter(experts, NoRecordCriteria()), QStringList{});
}

TEST(CandidateFilter, EachCriterionTestsItsOwnField)
{
    ExpertFixture a{QStringLiteral("张卫国")};
    ExpertFixture b{QStringLiteral("李明"),     QStringLiteral("启用"),       QStringLiteral("临时"),
                    QStringLiteral("02"),       QStringLiteral("经济类"),     QStringLiteral("造价"),
                    QStringLiteral("工程经济"), QStringLiteral("造价工程师"), QStringLiteral("上海审计所")};
    ExpertFixture c{QStringLiteral("王芳"), QStringLiteral("启用"),       QStringLiteral("正式"),
                    QStringLiteral("12"),   QStringLiteral("经济师"),     QStringLiteral("审计"),
                    QStringLiteral("会计"), QStringLiteral("注册会计师"), QStringLiteral("北京会计事务所")};
    const TextTable experts = Experts({a, b, c});

    struct Case {
        int slot;
        const char *text;
        QStringList expected;
    } cases[] = {
        {0, "卫", {"张卫国"}},
        {1, "临时", {"李明"}},
        {1, "临", {}},   // the kind must be equal, not contained
        {2, "经济", {"李明", "王芳"}},
        {3, "审计", {"王芳"}},
        {4, "工程", {"张卫国", "李明"}},
        {5, "02", {"李明"}},
        {5, "2", {}},   // the title level must be equal too
        {6, "工程师", {"李明"}},
        {7, "北京", {"张卫国", "王芳"}},
        {7, "北京会计事务所", {"王芳"}},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(testing::Message() << "slot " << t.slot << " text " << t.text);
        EXPECT_EQ(Filter(experts, Only(t.slot, QString::fromUtf8(t.text))), t.expected);
    }

    // Criteria combine: every non-empty slot must pass.
    SelectionCriteria both;
    both[2] = QStringLiteral("经济");
    both[7] = QStringLiteral("上海");
    EXPECT_EQ(Filter(experts, both), QStringList{"李明"});
}

TEST(CandidateFilter, TextCriteriaAreWildcardPatterns)
{
    ExpertFixture blank{QStringLiteral("")};
    const TextTable experts = Experts({{QStringLiteral("卫亮")},
                                       {QStringLiteral("孙卫平")},
                                       {QStringLiteral("李华卫")},
                                       {QStringLiteral("赵钱")},
                                       blank,
                                       {QStringLiteral("Anna")},
                                       {QStringLiteral("王5")}});
    struct Case {
        const char *text;
        QStringList expected;
    } cases[] = {
        {"卫", {"卫亮", "孙卫平", "李华卫"}},
        {"?", {"卫亮", "孙卫平", "李华卫", "赵钱", "Anna", "王5"}},   // every non-empty name
        {"卫?", {"卫亮", "孙卫平"}},
        {"#", {"王5"}},
        {"[赵李]", {"李华卫", "赵钱"}},
        {"[!孙]卫", {"李华卫"}},
        {"anna", {}},   // case-sensitive
        {"孙*平", {"孙卫平"}},
        {"[卫", {}},   // an unclosed bracket is a plain character
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(t.text);
        EXPECT_EQ(Filter(experts, Only(0, QString::fromUtf8(t.text))), t.expected);
    }
}

TEST(CandidateFilter, MergeRefreshesKnownIdsInPlaceAndAppendsNewOnes)
{
    TextTable drawList;
    drawList.append({"000002", "乙", "女", "b", "c", "d", "e", "f"});
    drawList.append({"000005", "戊", "男", "b", "c", "d", "e", "f"});

    TextTable picks;
    picks.append({"000007", "庚", "男", "1", "2", "3", "4", "5"});
    picks.append({"000002", "乙改", "女", "1", "2", "3", "4", "5"});
    picks.append({"000007", "庚改", "男", "1", "2", "3", "4", "6"});   // twice in one merge
    MergePicks(drawList, picks);

    ASSERT_EQ(drawList.count(), 3);
    EXPECT_EQ(drawList.row(0), (QStringList{"000002", "乙改", "女", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(drawList.row(1), (QStringList{"000005", "戊", "男", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(drawList.row(2), (QStringList{"000007", "庚改", "男", "1", "2", "3", "4", "6"}));
}

}   // namespace
