#include "TestApp.h"

#include "admin/DataMaintenance.h"
#include "admin/frmDbPassword.h"

#include <gtest/gtest.h>

TEST(ServerLibraryKey, AServerLibraryHasNoFilePasswordToSet)
{
    if (!ServerDatabase::available())
        GTEST_SKIP() << "no test server";
    TestApp app(DataSource::Server);
    ShowDbPassword(app.state, nullptr);
    EXPECT_TRUE(app.dialogs->shown.isEmpty());
    EXPECT_TRUE(app.messages->lastText().contains("数据库服务器"));
    const Outcome refused = ChangeLibraryPassword(app.maintenanceTarget(), "Library-Pass-2026");
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.message().contains("服务器"));
}
