// Settings kept in the library itself.

#include "TestApp.h"
#include "admin/DataMaintenance.h"
#include "data/Database.h"
#include "data/LibrarySettings.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <gtest/gtest.h>

TEST(LibrarySettings, AreWrittenReplacedAndReadBack)
{
    TestApp app;
    EXPECT_EQ(ReadLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "0").value(), "0");
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "1").ok());
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "1").ok());
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::IdleLockMinutes, "30").ok());
    EXPECT_EQ(ReadLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw).value(), "1");
    // Another program on the same file sees them.
    Connection other = OpenDataFile(app.state.store);
    EXPECT_EQ(ReadLibrarySetting(other, LibrarySetting::IdleLockMinutes), "30");
}

TEST(LibrarySettings, AnOlderFileWithoutTheTableReadsTheFallbackAndGainsItOnWrite)
{
    TestApp app;
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("DROP TABLE library_setting");
    }
    LibraryConnection(app.state.store);
    EXPECT_EQ(ReadLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, "0").value(), "0");
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData, "1").ok());
    EXPECT_EQ(ReadLibrarySetting(app.state.store, LibrarySetting::MaskPersonalData).value(), "1");
}

TEST(LibrarySettings, SurviveInitialisingTheDatabase)
{
    TestApp app;
    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "1").ok());
    ASSERT_TRUE(InitialiseDatabase(app.maintenanceTarget()).ok());
    EXPECT_EQ(ReadLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw).value(), "1");
}

TEST(LibrarySettings, ValuesThatCannotBeReadCountAsTheFallback)
{
    struct Case {
        const char *value;
        int minutes;
        bool on;
    } cases[] = {{"15", 15, false}, {" 0 ", 0, false}, {"1", 1, true},
                 {"-3", 7, false},  {"abc", 7, false}, {"", 7, false}};
    for (const Case &c : cases) {
        EXPECT_EQ(SettingMinutes(c.value, 7), c.minutes) << c.value;
        EXPECT_EQ(SettingIsOn(c.value), c.on) << c.value;
    }
}
