#include "data/Schema.h"
#include "data/Wildcard.h"
#include "extraction/HistoryFilter.h"

#include <QDate>

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

using namespace Schema;

QStringList Expert(const QString &id, const QString &profession = "土木工程", const QString &unit = "北京建工集团",
                   const QString &status = "启用", const QString &kind = "正式")
{
    QStringList row(ExpertFieldCount, QStringLiteral(" "));
    row[E_Id] = id;
    row[E_Name] = "专家" + id;
    row[E_Status] = status;
    row[E_Is_temp] = kind;
    row[E_Sex] = "女";
    row[E_birth_date] = "1968-03-0" + id.right(1);
    row[E_Company_name] = unit;
    row[E_cong_shi_zhuanye] = profession;
    row[E_zige_name] = "注册会计师";
    row[E_Mobile] = "1390000" + id;
    return row;
}

TextTable Selections(const QList<QPair<QString, QString>> &dateAndExpert)
{
    TextTable t;
    int n = 0;
    for (const auto &[date, expert] : dateAndExpert)
        t.append({QStringLiteral("%1").arg(++n, 6, 10, QLatin1Char('0')), date, expert});
    return t;
}

QStringList Ids(const TextTable &list)
{
    QStringList ids;
    for (const auto &row : list.toLists())
        ids << row.at(0);
    return ids;
}

HistoryCriteria Range(const QString &from, const QString &to, const QString &profession = {}, const QString &unit = {})
{
    return {from, to, profession, unit};
}

class HistoryFilterTest : public ::testing::Test {
protected:
    TextTable experts;
    TextTable selections;
    void SetUp() override
    {
        experts.append(Expert("000001", "土木工程", "北京建工集团"));
        experts.append(Expert("000002", "给排水", "上海市政设计院", "停用"));
        experts.append(Expert("000003", "土木工程", "中铁三局", "启用", "临时"));
        // Record order is not date order: the list keeps record order.
        selections = Selections({{"2026-01-05", "000001"},
                                 {"2026-01-01", "000002"},
                                 {"2026-01-10", "000003"},
                                 {"2026-01-05", "000003"},
                                 {"2026-01-10", "000001"}});
    }
};

TEST_F(HistoryFilterTest, DateRangeIncludesBothEnds)
{
    struct Case {
        const char *from, *to;
        QStringList experts;
    } cases[] = {
        {"2026-01-01", "2026-01-10", {"000001", "000002", "000003", "000003", "000001"}},
        {"2026-01-05", "2026-01-05", {"000001", "000003"}},
        {"2026-01-01", "2026-01-04", {"000002"}},
        {"2026-01-06", "2026-01-10", {"000003", "000001"}},
        {"2026-01-10", "2026-01-01", {}},   // start after end
        {"2026-01-11", "2026-12-31", {}},
        {"NoRecord", "NoRecord", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " .. " << c.to);
        EXPECT_EQ(Ids(FilterHistory(selections, experts, Range(c.from, c.to))), c.experts);
    }
}

TEST_F(HistoryFilterTest, RowsCopyTheExpertsEightColumns)
{
    const TextTable list = FilterHistory(selections, experts, Range("2026-01-01", "2026-01-01"));
    ASSERT_EQ(list.count(), 1);
    const QStringList e = experts.row(1);
    EXPECT_EQ(list.row(0), (QStringList{e[E_Id], e[E_Name], e[E_Sex], e[E_birth_date], e[E_Company_name],
                                        e[E_cong_shi_zhuanye], e[E_zige_name], e[E_Mobile]}));
}

TEST_F(HistoryFilterTest, RecordsOfDeletedExpertsAreSkipped)
{
    experts.removeAt(0);   // 000001 deleted after being drawn twice
    EXPECT_EQ(Ids(FilterHistory(selections, experts, Range("2026-01-01", "2026-12-31"))),
              (QStringList{"000002", "000003", "000003"}));
}

TEST_F(HistoryFilterTest, ProfessionAndWorkUnitMatchPartially)
{
    struct Case {
        const char *profession, *unit;
        QStringList experts;
    } cases[] = {
        {"土木", "", {"000001", "000003", "000003", "000001"}},
        {"", "设计", {"000002"}},
        {"土木", "中铁", {"000003", "000003"}},
        {"工?", "", {"000001", "000003", "000003", "000001"}},   // wildcards act as wildcards
        {"[给]", "", {"000002"}},
        {"", "三局#", {}},
        {"水利", "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.profession << " / " << c.unit);
        EXPECT_EQ(Ids(FilterHistory(selections, experts, Range("2026-01-01", "2026-12-31", c.profession, c.unit))),
                  c.experts);
    }
}

TEST_F(HistoryFilterTest, MatchingIsCaseSensitive)
{
    experts.setCell(0, E_Company_name, QStringLiteral("Acme Ltd"));
    EXPECT_EQ(Ids(FilterHistory(selections, experts, Range("2026-01-01", "2026-12-31", "", "acme"))), QStringList());
    EXPECT_EQ(Ids(FilterHistory(selections, experts, Range("2026-01-01", "2026-12-31", "", "Acme"))),
              (QStringList{"000001", "000001"}));
}

// The look-up by Id must give exactly what a scan of the expert table for
// every record gives, on data with gaps, repeats and deleted experts.
TEST(HistoryFilterEquivalence, SameAsScanningTheExpertTable)
{
    QRandomGenerator rng(20261209);
    const QStringList professions{"土木工程", "给排水", "电气", "工程造价"};
    const QStringList units{"北京建工集团", "上海市政设计院", "中铁三局", "Acme"};
    TextTable experts;
    for (int i = 1; i <= 300; i += 1 + int(rng.bounded(3)))
        experts.append(Expert(QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')),
                              professions[rng.bounded(professions.size())], units[rng.bounded(units.size())]));
    QList<QPair<QString, QString>> picks;
    for (int i = 0; i < 2000; ++i)
        picks.append({QDate(2026, 1, 1).addDays(rng.bounded(60)).toString("yyyy-MM-dd"),
                      QStringLiteral("%1").arg(1 + rng.bounded(320), 6, 10, QLatin1Char('0'))});
    const TextTable selections = Selections(picks);

    const HistoryCriteria criteria[] = {
        Range("2026-01-10", "2026-02-10"),
        Range("2026-01-01", "2026-03-01", "工程"),
        Range("2026-01-15", "2026-01-15", "", "集团"),
        Range("2026-01-01", "2026-12-31", "土*", "[!A]"),
    };
    for (const HistoryCriteria &c : criteria) {
        TextTable expected;
        for (const auto &record : selections.toLists()) {
            if (!(c[0] <= record[1] && record[1] <= c[1]))
                continue;
            for (const auto &e : experts.toLists()) {
                if (e[E_Id] == record[2] &&
                    (c[2].isEmpty() || WildcardPattern::contains(c[2]).matches(e[E_cong_shi_zhuanye])) &&
                    (c[3].isEmpty() || WildcardPattern::contains(c[3]).matches(e[E_Company_name]))) {
                    expected.append({e[E_Id], e[E_Name], e[E_Sex], e[E_birth_date], e[E_Company_name],
                                     e[E_cong_shi_zhuanye], e[E_zige_name], e[E_Mobile]});
                    break;
                }
            }
        }
        EXPECT_GT(expected.count(), 0);
        EXPECT_EQ(FilterHistory(selections, experts, c).toLists(), expected.toLists());
    }
}

}   // namespace
