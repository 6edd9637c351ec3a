#include "data/PasswordHash.h"

#include <gtest/gtest.h>

namespace {

// The login cost for the length of a test, the light test cost after it.
class AtLoginCost {
public:
    AtLoginCost() : m_before(PasswordHash::CurrentCost()) { PasswordHash::SetCost(PasswordHash::kLoginCost); }
    ~AtLoginCost() { PasswordHash::SetCost(m_before); }

private:
    PasswordHash::Cost m_before;
};

}   // namespace

TEST(PasswordHash, AHashOpensOnlyWithItsPasswordAndEachHasItsOwnSalt)
{
    const QString a = PasswordHash::Make("123456");
    const QString b = PasswordHash::Make("123456");
    EXPECT_TRUE(a.startsWith("$argon2id$")) << a.toStdString();
    EXPECT_NE(a, b);   // the same password, another salt
    EXPECT_FALSE(a.contains("123456"));
    EXPECT_TRUE(PasswordHash::IsHash(a));
    struct Case {
        QString typed;
        bool opens;
    } cases[] = {{"123456", true}, {"1234567", false}, {"12345", false}, {" 123456", false}, {"", false}};
    for (const Case &c : cases) {
        EXPECT_EQ(PasswordHash::Matches(a, c.typed), c.opens) << c.typed.toStdString();
        EXPECT_EQ(PasswordHash::Matches(b, c.typed), c.opens) << c.typed.toStdString();
    }
    // Chinese passwords hash by their UTF-8 bytes.
    const QString chinese = PasswordHash::Make("旧密码");
    EXPECT_TRUE(PasswordHash::Matches(chinese, "旧密码"));
    EXPECT_FALSE(PasswordHash::Matches(chinese, "旧密"));
}

TEST(PasswordHash, APasswordKeptAsTypedComparesExactlyAndAsksForAnUpgrade)
{
    struct Case {
        QString stored;
        QString typed;
        bool opens;
    } cases[] = {
        {"pw", "pw", true},
        {"pw ", "pw", false},   // stored blanks are not trimmed
        {"PW", "pw", false},
        // A short password that merely starts like a hash is a password.
        {"$argon2id$x", "$argon2id$x", true},
        // The hash text itself typed as a password opens nothing.
        {PasswordHash::Make("a"), "", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(PasswordHash::Matches(c.stored, c.typed), c.opens) << c.stored.toStdString();
    }
    const QString hash = PasswordHash::Make("a");
    EXPECT_FALSE(PasswordHash::Matches(hash, hash));
    EXPECT_TRUE(PasswordHash::NeedsUpgrade("pw"));
    EXPECT_TRUE(PasswordHash::NeedsUpgrade("$argon2id$x"));
    EXPECT_FALSE(PasswordHash::NeedsUpgrade(hash));
}

TEST(PasswordHash, TheLoginCostIsStoredWithTheHashAndALighterHashIsUpgraded)
{
    const QString light = PasswordHash::Make("pw");
    AtLoginCost cost;
    const QString hash = PasswordHash::Make("pw");
    EXPECT_TRUE(hash.startsWith("$argon2id$v=19$m=19456,t=2,p=1$")) << hash.toStdString();
    EXPECT_TRUE(PasswordHash::Matches(hash, "pw"));
    EXPECT_FALSE(PasswordHash::NeedsUpgrade(hash));
    // Made at another cost: still opens, and is replaced at the next login.
    EXPECT_TRUE(PasswordHash::Matches(light, "pw"));
    EXPECT_TRUE(PasswordHash::NeedsUpgrade(light));
}
