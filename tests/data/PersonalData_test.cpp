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

TEST(PersonalData, ListRowsAreMaskedOnlyForARestrictedRoleWithTheSettingOn)
{
    TestApp app;
    const QStringList row{"000001", "甲", "110101197001011234", "13812345678"};
    const QStringList masked{"000001", "甲", "110101********1234", "138****5678"};
    struct Case {
        int role;
        bool on;
        bool masks;
    } cases[] = {{0, false, false}, {1, false, false}, {2, false, false},
                 {0, true, false},  {1, true, true},   {2, true, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "role " << c.role << (c.on ? ", on" : ", off"));
        ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, c.on ? "1" : "0").ok());
        TextTable rows;
        rows.append(row);
        rows.append({"000002", "乙"});   // a short row: the columns it lacks stay absent
        EXPECT_EQ(MaskRowsFor(app.state.store, c.role, rows, {3, 2}), c.masks);
        EXPECT_EQ(rows.row(0), c.masks ? masked : row);
        EXPECT_EQ(rows.row(1), (QStringList{"000002", "乙"}));
        // Masking twice changes nothing more.
        MaskRowsFor(app.state.store, c.role, rows, {3, 2});
        EXPECT_EQ(rows.row(0), c.masks ? masked : row);
    }
}

TEST(PersonalData, AMaskSentBackStandsForTheStoredValue)
{
    struct Case {
        const char *what;
        QString shown, stored, phone, id;
    } cases[] = {
        // Either mask, sent back where it came from; a phone's mask has the
        // shape of a 身份证号 mask too, the other way round it has not.
        {"the phone's mask", "138****5678", "13812345678", "13812345678", "13812345678"},
        {"the 身份证号's mask", "110101********1234", "110101197001011234", "110101********1234", "110101197001011234"},
        {"a new value", "13900001111", "13812345678", "13900001111", "13900001111"},
        {"unchanged", "13812345678", "13812345678", "13812345678", "13812345678"},
        {"emptied", " ", "13812345678", " ", " "},
        // A mask made from a longer text than the library kept is still a mask.
        {"mask of a longer text", MaskPhone("1381234567800000000000"), "13812345678900000000", "13812345678900000000",
         "13812345678900000000"},
        {"a text with * that is no mask", "12*3456", "13812345678", "12*3456", "12*3456"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(UnmaskedPhone(c.shown, c.stored), c.phone);
        EXPECT_EQ(UnmaskedIdNumber(c.shown, c.stored), c.id);
    }
}
