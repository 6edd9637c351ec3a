// The seeded draw, the stored form of candidate lists and the avoidance rules.

#include "data/DrawRecord.h"
#include "data/SeededDraw.h"

#include <QSet>
#include <gtest/gtest.h>
#include <random>

namespace {

// The procedure as documented, written out independently of the program:
// std::mt19937_64 seeded with the seed, r = (x >> 11) * 2^-53, index =
// floor(count * r), an index already taken drawn again.
QVector<qsizetype> DocumentedDraw(qsizetype count, qsizetype n, quint64 seed)
{
    std::mt19937_64 engine(seed);
    QVector<qsizetype> picks;
    QSet<qsizetype> taken;
    while (picks.size() < n) {
        const double r = double(engine() >> 11) * 0x1.0p-53;
        const auto index = qsizetype(std::floor(double(count) * r));
        if (taken.contains(index))
            continue;
        taken.insert(index);
        picks.append(index);
    }
    return picks;
}

TEST(SeededDraw, FollowsTheDocumentedProcedureAndRepeatsItself)
{
    // The standard fixes the engine's output: its 10000th number is this one
    // on every conforming library, so the same seed draws alike everywhere.
    std::mt19937_64 standard;
    standard.discard(9999);
    ASSERT_EQ(standard(), 9981545732273789042ULL);

    struct Case {
        qsizetype count, n;
        quint64 seed;
    };
    const Case cases[] = {{10, 3, 0}, {10, 9, 42}, {2, 1, 0xFFFFFFFFFFFFFFFFULL}, {40000, 25, 7}, {5, 4, 123456789}};
    for (const Case &c : cases) {
        const QVector<qsizetype> picks = SeededDraw(c.count, c.n, c.seed);
        EXPECT_EQ(picks, DocumentedDraw(c.count, c.n, c.seed)) << c.count << " " << c.n << " " << c.seed;
        EXPECT_EQ(picks, SeededDraw(c.count, c.n, c.seed));
        EXPECT_EQ(QSet<qsizetype>(picks.begin(), picks.end()).size(), c.n);
    }
    // A different seed gives a different draw (checked over a wide list).
    EXPECT_NE(SeededDraw(40000, 10, 1), SeededDraw(40000, 10, 2));
}

TEST(SeededDraw, PicksAreStoredAsTextAndReadBackExactly)
{
    const QVector<qsizetype> picks{3, 17, 0, 39999};
    QVector<qsizetype> back;
    ASSERT_TRUE(ParsePicks(PicksText(picks), &back));
    EXPECT_EQ(back, picks);
    EXPECT_EQ(PicksText(picks), "3,17,0,39999");
    ASSERT_TRUE(ParsePicks("", &back));
    EXPECT_TRUE(back.isEmpty());
    for (const char *bad : {"1,,2", "a", "1, 2", "-1", "1;2"})
        EXPECT_FALSE(ParsePicks(QString::fromLatin1(bad), &back)) << bad;
}

TEST(CandidateList, IsPackedAndHashedAsIdsJoinedByNewlines)
{
    const QStringList ids{"000001", "000002", "000003"};
    EXPECT_EQ(CandidateHash(ids), "12e56edb227829094c5078c69d87a5d7eb80e94d2936b1111be0b76c0ba27a4e");
    EXPECT_EQ(CandidateHash({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    // UTF-8, not the local code page.
    EXPECT_EQ(CandidateHash({"王五", "000002"}), "211fc0399d424976c08792d7b0815242105fc5a8fd360c76243122aa7c7825b1");

    for (const QStringList &list : {ids, QStringList{}, QStringList{"000009"}}) {
        QStringList back{"junk"};
        ASSERT_TRUE(UnpackCandidates(PackCandidates(list), &back));
        EXPECT_EQ(back, list);
    }
    // Forty thousand Ids shrink well below their plain size.
    QStringList many;
    for (int i = 1; i <= 40000; ++i)
        many << QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
    EXPECT_LT(PackCandidates(many).size(), 40000 * 7 / 2);

    QByteArray damaged = PackCandidates(ids);
    damaged[damaged.size() - 3] = char(damaged[damaged.size() - 3] ^ 0x5A);
    QStringList back;
    EXPECT_FALSE(UnpackCandidates(damaged, &back) && back == ids);
    EXPECT_FALSE(UnpackCandidates(QByteArray("not packed"), &back));
}

// Candidates as the filter builds them: Id, Name, Sex, birth, company, ...
TextTable Candidates()
{
    TextTable t;
    const char *const rows[][2] = {{"000001", "北京建工集团"},   {"000002", "上海建工集团"},
                                   {"000003", "北京城建设计院"}, {"000004", "中铁十二局"},
                                   {"000005", "北京建工集团 "},  {"000006", "华东院"}};
    for (const auto &r : rows)
        t.append({QString::fromUtf8(r[0]), "专家", "男", "1970-01-01", QString::fromUtf8(r[1]), "土木", "一建", "138"});
    return t;
}

QStringList Ids(const TextTable &t)
{
    QStringList ids;
    for (qsizetype r = 0; r < t.count(); ++r)
        ids << t.cell(r, 0).toString();
    return ids;
}

TEST(Avoidance, EachRuleRemovesExactlyItsExperts)
{
    TextTable selections;
    selections.append({"000001", "2026-12-09", "000004"});   // today
    selections.append({"000002", "2026-11-10", "000006"});   // 30 days back
    selections.append({"000003", "2026-11-09", "000002"});   // 31 days back
    selections.append({"000004", "2026-12-10", "000003"});   // tomorrow: not drawn yet
    const QDate today(2026, 12, 9);

    struct Case {
        const char *name;
        AvoidanceRules rules;
        QStringList kept;
        AvoidanceCounts counts;
    };
    const Case cases[] = {
        {"none", {}, {"000001", "000002", "000003", "000004", "000005", "000006"}, {}},
        // A plain line is the whole unit, trimmed on both sides.
        {"exact unit", {{"北京建工集团"}, {}, {}, 0}, {"000002", "000003", "000004", "000006"}, {2, 0, 0, 2}},
        {"wildcard unit", {{"北京*", "", "华东?"}, {}, {}, 0}, {"000002", "000004"}, {4, 0, 0, 4}},
        {"named experts",
         {{}, {"000002", "000006"}, {"乙", "己"}, 0},
         {"000001", "000003", "000004", "000005"},
         {0, 2, 0, 2}},
        {"last 30 days", {{}, {}, {}, 30}, {"000001", "000002", "000003", "000005"}, {0, 0, 2, 2}},
        {"today only", {{}, {}, {}, 1}, {"000001", "000002", "000003", "000005", "000006"}, {0, 0, 1, 1}},
        // A candidate caught twice counts once in the total.
        {"overlapping", {{"中铁*"}, {"000004"}, {"丁"}, 30}, {"000001", "000002", "000003", "000005"}, {1, 1, 2, 2}},
    };
    for (const Case &c : cases) {
        TextTable list = Candidates();
        EXPECT_EQ(CountAvoidance(list, c.rules, selections, today), c.counts) << c.name;
        EXPECT_EQ(list.count(), 6) << c.name;
        const AvoidanceCounts counts = ApplyAvoidance(list, c.rules, selections, today);
        EXPECT_EQ(Ids(list), c.kept) << c.name;
        EXPECT_EQ(counts, c.counts) << c.name;
    }
}

TEST(Avoidance, IsStoredWithTheRoundAndDescribed)
{
    const AvoidanceRules rules{{"北京*", "华东院"}, {"000002"}, {"乙"}, 30};
    const AvoidanceCounts counts{3, 1, 2, 5};
    AvoidanceRules rulesBack;
    AvoidanceCounts countsBack;
    ASSERT_TRUE(AvoidanceFromText(AvoidanceToText(rules, counts), &rulesBack, &countsBack));
    EXPECT_EQ(rulesBack, rules);
    EXPECT_EQ(countsBack, counts);
    EXPECT_FALSE(AvoidanceFromText("{broken", &rulesBack, &countsBack));

    EXPECT_EQ(DescribeAvoidance({}), "无");
    EXPECT_EQ(DescribeAvoidance(rules), "回避单位：北京*、华东院；回避专家：乙(000002)；回避近30天内抽取过的专家");
    EXPECT_TRUE(DescribeAvoidance(rules, &counts).endsWith("共回避5人）"));
}

}   // namespace
