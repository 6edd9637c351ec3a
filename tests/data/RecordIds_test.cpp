#include "data/DbError.h"
#include "data/RecordIds.h"

#include <gtest/gtest.h>

static TextTable tableWithIds(const QStringList &ids)
{
    TextTable t;
    for (const QString &id : ids)
        t.append({id, "x"});
    return t;
}

struct IdCase {
    QStringList ids;
    int k;
    QString expected;
};

class NextRecordIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(NextRecordIdTest, IsLastIdPlusK)
{
    const IdCase c = GetParam();
    EXPECT_EQ(NextRecordId(tableWithIds(c.ids), c.k), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, NextRecordIdTest,
                         ::testing::Values(IdCase{{}, 1, "000001"}, IdCase{{"000041"}, 1, "000042"},
                                           IdCase{{"000001", "000009"}, 1, "000010"},
                                           IdCase{{"000009"}, 2, "000011"}, IdCase{{"000009"}, 3, "000012"},
                                           IdCase{{"000001", "000006"}, 1, "000007"},
                                           IdCase{{"999999"}, 1, "1000000"}));

TEST(NextRecordIdErrors, NonNumericLastIdIsReportedNotMisnumbered)
{
    EXPECT_THROW(NextRecordId(tableWithIds({"abc"})), DbError);
}
