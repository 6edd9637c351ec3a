#include "TestApp.h"

#include "admin/frmDbPassword.h"
#include "admin/frmSecuritySettings.h"
#include "data/LibrarySettings.h"

#include <QCheckBox>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace {

QString setting(TestApp &app, const QString &name)
{
    const Result<QString> value = ReadLibrarySetting(app.state.store, name, "<none>");
    return value ? value.value() : "<failed>";
}

}   // namespace

TEST(SecuritySettings, ShowsTheLibrarysValuesAndWritesAllThreeTogether)
{
    TestApp app;
    {
        SCOPED_TRACE("a library that never had them: the defaults");
        frmSecuritySettings dialog(app.state);
        EXPECT_FALSE(dialog.findChild<QCheckBox *>("chkMask")->isChecked());
        EXPECT_EQ(dialog.findChild<QSpinBox *>("txtIdle")->value(), LibrarySetting::kDefaultIdleLockMinutes);
        EXPECT_FALSE(dialog.findChild<QCheckBox *>("chkSupervised")->isChecked());
    }
    {
        SCOPED_TRACE("changed and confirmed");
        frmSecuritySettings dialog(app.state);
        dialog.findChild<QCheckBox *>("chkMask")->setChecked(true);
        dialog.findChild<QSpinBox *>("txtIdle")->setValue(0);
        dialog.findChild<QCheckBox *>("chkSupervised")->setChecked(true);
        dialog.cmdOK_Click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(setting(app, LibrarySetting::MaskPersonalData), "1");
        EXPECT_EQ(setting(app, LibrarySetting::IdleLockMinutes), "0");
        EXPECT_EQ(setting(app, LibrarySetting::SupervisedDraw), "1");
    }
    {
        SCOPED_TRACE("shown again: what the library holds");
        frmSecuritySettings dialog(app.state);
        EXPECT_TRUE(dialog.findChild<QCheckBox *>("chkMask")->isChecked());
        EXPECT_EQ(dialog.findChild<QSpinBox *>("txtIdle")->value(), 0);
        EXPECT_TRUE(dialog.findChild<QCheckBox *>("chkSupervised")->isChecked());
    }
    {
        SCOPED_TRACE("a write refused halfway changes none of them");
        {
            Connection conn = OpenDataFile(app.state.store);
            conn.exec("CREATE TRIGGER refuse BEFORE INSERT ON library_setting WHEN NEW.Name = 'supervised_draw' "
                      "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        }
        frmSecuritySettings dialog(app.state);
        dialog.findChild<QCheckBox *>("chkMask")->setChecked(false);
        dialog.findChild<QSpinBox *>("txtIdle")->setValue(30);
        dialog.findChild<QCheckBox *>("chkSupervised")->setChecked(false);
        dialog.cmdOK_Click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(app.messages->lastText().contains("设置没有改变"));
        EXPECT_EQ(setting(app, LibrarySetting::MaskPersonalData), "1");
        EXPECT_EQ(setting(app, LibrarySetting::IdleLockMinutes), "0");
        EXPECT_EQ(setting(app, LibrarySetting::SupervisedDraw), "1");
    }
}
