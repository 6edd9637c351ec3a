#include "TestApp.h"

#include "data/LibrarySettings.h"
#include "data/PersonalData.h"

#include <gtest/gtest.h>

TEST(PersonalData, TheMiddleIsHiddenAndTheEndsKept)
{
    struct Case {
        QString in, id, phone;
    } cases[] = {
        {"110101197001011234", "110101********1234", "110***********1234"},
        {"13812345678", "138123*5678", "138****5678"},
        {"010-12345678", "010-12**5678", "010*****5678"},
        {"12345", "1***5", "1***5"},
        {"", "", ""},
        {"  13812345678 ", "138123*5678", "138****5678"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        EXPECT_EQ(MaskPhone(c.in), c.phone);
        EXPECT_EQ(MaskIdNumber(c.in), c.id);
    }
}

TEST(PersonalData, OnlyTheRestrictedRolesAndOnlyWhenTheLibraryAsks)
{
    TestApp app;
    for (int role : {0, 1, 2})
        EXPECT_FALSE(MasksPersonalData(app.state.store, role)) << "off by default";
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, "1").ok());
    EXPECT_FALSE(MasksPersonalData(app.state.store, 0)) << "administrators see everything";
    EXPECT_TRUE(MasksPersonalData(app.state.store, 1));
    EXPECT_TRUE(MasksPersonalData(app.state.store, 2));
}
