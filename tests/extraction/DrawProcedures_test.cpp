#include "FakeServices.h"
#include "extraction/DrawProcedures.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QSet>
#include <cmath>

namespace {

// Always the same number: a source that repeats itself forever.
class ConstantRandom : public RandomSource {
public:
    explicit ConstantRandom(double v) : value(v) {}
    double next() override { return value; }
    double value;
};

TEST(DrawCount, ChecksTheCountBoxText)
{
    struct Case {
        const char *text;
        DrawCount::Status status;
        qsizetype n;
    } cases[] = {
        {"", DrawCount::Missing, 0},
        {"   ", DrawCount::Missing, 0},
        {"abc", DrawCount::Missing, 0},   // pasted text that is no number
        {"1.5", DrawCount::Missing, 0},
        {"3个", DrawCount::Missing, 0},
        {"-", DrawCount::Missing, 0},
        {"0", DrawCount::BelowOne, 0},
        {"000", DrawCount::BelowOne, 0},
        {"-3", DrawCount::BelowOne, 0},
        {"-99999999999999999999999", DrawCount::BelowOne, 0},
        {"1", DrawCount::Ok, 1},
        {" 007 ", DrawCount::Ok, 7},
        {"+10", DrawCount::Ok, 10},
        {"11", DrawCount::AboveExperts, 0},   // more than the ten experts stored
        {"32768", DrawCount::AboveExperts, 0},
        {"99999999999999999999999999999", DrawCount::AboveExperts, 0},   // too large to hold
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const DrawCount r = CheckDrawCount(QString::fromUtf8(c.text), 10);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.n, c.n);
    }
}

TEST(DrawCount, MessagesAndIcons)
{
    EXPECT_EQ(DrawCountMessage(DrawCount::Missing), QStringLiteral("请输入抽取个数！"));
    EXPECT_EQ(DrawCountMessage(DrawCount::BelowOne), QStringLiteral("抽取个数至少为1。"));
    EXPECT_EQ(DrawCountMessage(DrawCount::AboveExperts), QStringLiteral("抽取个数已超过本数据库所存的专家人数。"));
    EXPECT_FALSE(DrawCountIsCritical(DrawCount::Missing));
    EXPECT_TRUE(DrawCountIsCritical(DrawCount::BelowOne));
    EXPECT_TRUE(DrawCountIsCritical(DrawCount::AboveExperts));
}

TEST(RandomIndex, IsTheWholePartOfCountTimesR)
{
    struct Case {
        qsizetype count;
        double r;
        qsizetype index;
    } cases[] = {
        {10, 0.0, 0},  {10, 0.099, 0},     {10, 0.1, 1},
        {10, 0.55, 5}, {10, 0.9999999, 9}, {40000, std::nextafter(1.0, 0.0), 39999},
        {10, 1.0, 9},   // a source at its edge still stays inside the list
        {10, -0.5, 0},
    };
    for (const Case &c : cases) {
        ConstantRandom random(c.r);
        EXPECT_EQ(RandomIndex(c.count, random), c.index) << c.count << " " << c.r;
    }
}

TEST(RandomDraw, RedrawsRepeatsAndKeepsTheOrderOfDrawing)
{
    ScriptedRandom random;
    // 0.05 -> 0; 0.05 -> 0 again, drawn anew; 0.55 -> 5; 0.52 -> 5 again; 0.25 -> 2.
    random.script.append({0.05, 0.05, 0.55, 0.52, 0.25, 0.99});
    EXPECT_EQ(RandomDraw(10, 3, random), (QVector<qsizetype>{0, 5, 2}));
    // One number per draw, repeats included: the last scripted one is left.
    ASSERT_EQ(random.script.size(), 1);
    EXPECT_EQ(random.script.head(), 0.99);
}

TEST(RandomDraw, AllButOneOfFortyThousandAreDistinctAndInRange)
{
    ScriptedRandom random;
    const qsizetype count = 40000;
    const QVector<qsizetype> picks = RandomDraw(count, count - 1, random);
    ASSERT_EQ(picks.size(), count - 1);
    QSet<qsizetype> seen;
    for (qsizetype p : picks) {
        ASSERT_GE(p, 0);
        ASSERT_LT(p, count);
        seen.insert(p);
    }
    EXPECT_EQ(seen.size(), count - 1);
}

TEST(RandomDraw, ASourceThatRepeatsItselfDoesNotFreezeTheDraw)
{
    ConstantRandom random(0.5);
    const QVector<qsizetype> picks = RandomDraw(5, 4, random);
    ASSERT_EQ(picks.size(), 4);
    EXPECT_EQ(picks.first(), 2);
    EXPECT_EQ(QSet<qsizetype>(picks.begin(), picks.end()).size(), 4);
}

// Every ordered choice of three distinct candidates out of five (60 of them)
// is equally likely, so every candidate can be drawn in every place.
TEST(RandomDraw, EveryOrderedChoiceIsEquallyLikely)
{
    ScriptedRandom random;
    const int trials = 60000;
    QHash<QVector<qsizetype>, int> counts;
    QVector<QVector<int>> byPlace(3, QVector<int>(5, 0));
    for (int t = 0; t < trials; ++t) {
        const QVector<qsizetype> picks = RandomDraw(5, 3, random);
        ++counts[picks];
        for (int k = 0; k < 3; ++k)
            ++byPlace[k][picks[k]];
    }
    ASSERT_EQ(counts.size(), 60);
    const double expected = trials / 60.0;
    double chi2 = 0;
    for (int c : counts)
        chi2 += (c - expected) * (c - expected) / expected;
    // 59 degrees of freedom: the 99.9 % point is about 98.3.
    EXPECT_LT(chi2, 98.3);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(byPlace[k][i], trials / 5, trials / 5 * 0.05) << "place " << k << " candidate " << i;
}

TEST(PickRows, CopiesRowsInTheGivenOrder)
{
    TextTable list;
    for (int i = 0; i < 5; ++i)
        list.append({QString::number(i), QStringLiteral("n%1").arg(i)});
    const TextTable picked = PickRows(list, {3, 0, 4});
    ASSERT_EQ(picked.count(), 3);
    EXPECT_EQ(picked.row(0), (QStringList{"3", "n3"}));
    EXPECT_EQ(picked.row(1), (QStringList{"0", "n0"}));
    EXPECT_EQ(picked.row(2), (QStringList{"4", "n4"}));
}

}   // namespace
