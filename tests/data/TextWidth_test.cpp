#include "data/TextWidth.h"

#include <gtest/gtest.h>

struct CutCase {
    const char *text;
    int width;
    const char *expected;
};

class CutToWidthTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutToWidthTest, ClipsByGbkWidth)
{
    const CutCase c = GetParam();
    EXPECT_EQ(CutToWidth(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, CutToWidthTest,
                         ::testing::Values(CutCase{"abc", 2, "ab"}, CutCase{"abc", 10, "abc"},
                                           CutCase{"张三", 4, "张三"}, CutCase{"张三", 3, "张"}, CutCase{"a张", 2, "a"},
                                           CutCase{"张a", 2, "张"}, CutCase{"", 5, " "}, CutCase{"", 0, " "},
                                           CutCase{"abc", 3, "abc"}, CutCase{"ab张三", 5, "ab张"},
                                           CutCase{"ab张三", 6, "ab张三"},
                                           // full-width punctuation is two bytes in GBK
                                           CutCase{"：：", 3, "："},
                                           // an emoji has no GBK code and counts one
                                           CutCase{"😀😀x", 2, "😀😀"}));

TEST(CharWidthTest, FollowsTheGbkCodePage)
{
    EXPECT_EQ(CharWidth(U'a'), 1);
    EXPECT_EQ(CharWidth(U'\x7f'), 1);
    EXPECT_EQ(CharWidth(U'\0'), 2);
    EXPECT_EQ(CharWidth(U'张'), 2);
    EXPECT_EQ(CharWidth(U'★'), 2);
    EXPECT_EQ(CharWidth(U'\u0E01'), 1);   // Thai: not in GBK
}

TEST(CutToWidthLong, ClipsLongMixedTextToTheWidth)
{
    QString text;
    for (int i = 0; i < 1000; ++i)
        text += (i % 3 ? QStringLiteral("工程") : QStringLiteral("ab"));
    const QString cut = CutToWidth(text, 255);
    int width = 0;
    for (QChar c : cut)
        width += CharWidth(c.unicode());
    EXPECT_LE(width, 255);
    EXPECT_GE(width, 254);
    EXPECT_TRUE(text.startsWith(cut));
}

TEST(ShownOnOneLineTest, LineBreaksShowAsOneSpaceAndNothingElseChanges)
{
    struct Case {
        QString text, shown;
    } cases[] = {
        {"北京建工\n集团", "北京建工 集团"},
        {"北京建工\r\n集团", "北京建工 集团"},
        {"第一行\n\n\n第二行", "第一行 第二行"},
        {"甲\t乙\v丙\f丁", "甲 乙 丙 丁"},
        {QString("甲") + QChar(QChar::LineSeparator) + "乙" + QChar(QChar::ParagraphSeparator) + "丙", "甲 乙 丙"},
        {"结尾\n", "结尾 "},
        // Blanks are the value's own: a stored " " stays one blank.
        {" ", " "},
        {"  两端  ", "  两端  "},
        {"", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ShownOnOneLine(c.text), c.shown);
    }
}
