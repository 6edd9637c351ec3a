#include "data/Wildcard.h"

#include <gtest/gtest.h>

struct LikeCase {
    const char *text;
    const char *pattern;
    bool matches;
};

class WildcardTest : public ::testing::TestWithParam<LikeCase> {};

TEST_P(WildcardTest, MatchesLikeThePattern)
{
    const LikeCase c = GetParam();
    EXPECT_EQ(WildcardPattern(QString::fromUtf8(c.pattern)).matches(QString::fromUtf8(c.text)), c.matches)
        << c.text << " vs " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WildcardTest,
    ::testing::Values(LikeCase{"张卫国", "*卫*", true}, LikeCase{"卫", "*卫*", true}, LikeCase{"张三", "*卫*", false},
                      LikeCase{"abc", "a?c", true}, LikeCase{"ac", "a?c", false}, LikeCase{"a5c", "a#c", true},
                      LikeCase{"abc", "a#c", false}, LikeCase{"abc", "a[abc]c", true},
                      LikeCase{"adc", "a[abc]c", false}, LikeCase{"adc", "a[!abc]c", true},
                      LikeCase{"abc", "a[!abc]c", false}, LikeCase{"m", "[a-z]", true}, LikeCase{"M", "[a-z]", false},
                      LikeCase{"5", "[!0-9]", false}, LikeCase{"Abc", "abc", false}, LikeCase{"abc", "ABC", false},
                      LikeCase{"a*c", "a[*]c", true}, LikeCase{"abc", "a[*]c", false}, LikeCase{"a?c", "a[?]c", true},
                      LikeCase{"a[b", "*[*", true}, LikeCase{"ab", "*[*", false}, LikeCase{"", "**", true},
                      LikeCase{"", "*?*", false}, LikeCase{"abc", "*", true}, LikeCase{"x-y", "x[-]y", true},
                      LikeCase{"a", "[b-a]", true}, LikeCase{"张", "[张李]", true},
                      // An empty list is the empty string, not a character that never matches.
                      LikeCase{"ab", "a[]b", true}, LikeCase{"axb", "a[]b", false}, LikeCase{"", "[]", true},
                      // A character beyond the 16-bit range (rare name characters) is one
                      // character, also after a star has to try again further on.
                      LikeCase{"𠮷野", "?野", true}, LikeCase{"𠮷野", "??野", false}, LikeCase{"张𠮷𠮷", "*𠮷", true},
                      LikeCase{"𠮷a𠮷b", "*𠮷b", true}, LikeCase{"𠮷", "[𠮷]", true}, LikeCase{"𠮷", "[!𠮷]", false}));

struct ContainsCase {
    const char *text;
    const char *typed;
    bool matches;
};

class PartialMatchTest : public ::testing::TestWithParam<ContainsCase> {};

TEST_P(PartialMatchTest, TypedTextKeepsItsWildcards)
{
    const ContainsCase c = GetParam();
    EXPECT_EQ(MatchesPartially(QString::fromUtf8(c.text), QString::fromUtf8(c.typed)), c.matches)
        << c.text << " / " << c.typed;
}

INSTANTIATE_TEST_SUITE_P(Cases, PartialMatchTest,
                         ::testing::Values(ContainsCase{"张卫国", "卫", true}, ContainsCase{"卫东", "卫", true},
                                           ContainsCase{"张三", "卫", false}, ContainsCase{"张三", "", true},
                                           ContainsCase{"", "", true}, ContainsCase{"", "a", false},
                                           ContainsCase{"abc", "B", false}, ContainsCase{"张卫国", "张?国", true},
                                           ContainsCase{"138001", "13#0", true}, ContainsCase{"abc", "[", false},
                                           ContainsCase{"a[c", "[", true}, ContainsCase{"a[c", "a[c", true},
                                           ContainsCase{"李四", "[张李]", true},
                                           ContainsCase{"张卫国", "卫[]国", true}));

// A matcher that backtracks over every way to place the stars would not
// finish these in any time; BM_WildcardPathologicalPattern in bench/ measures
// how long the real one takes.
TEST(WildcardPathological, LongRunsAgainstManyStarsGiveTheRightAnswer)
{
    const QString as(65536, QLatin1Char('a'));
    const struct {
        QString text;
        const char *pattern;
        bool matches;
    } cases[] = {
        {as, "*a*a*a*a*a*a*b", false},
        {as + QLatin1Char('b'), "*a*a*a*a*a*a*b", true},
        {as, "*a*a*a*a*a*a*?#", false},
        {as + QLatin1Char('5'), "*a*a*a*a*a*a*?#", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WildcardPattern(QString::fromUtf8(c.pattern)).matches(c.text), c.matches)
            << c.pattern << " on " << c.text.size() << " characters";
}
