#include "TestApp.h"
#include "TestFiles.h"
#include "admin/frmRestorePoints.h"
#include "data/LibrarySettings.h"
#include "files/DataFolder.h"
#include "files/RestorePoints.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QDate D(const char *text) { return QDate::fromString(QString::fromLatin1(text), Qt::ISODate); }

class RestorePointChoiceTest : public ::testing::Test {
protected:
    void SetUp() override { host.openScreen(ScreenId::DataInOut); }
    void click(const QString &button)
    {
        QTest::mouseClick(host.find<QPushButton>("frmDataInOut", button), Qt::LeftButton);
    }
    // Restore points on three days: one, two and three experts.
    void keepThreeDays()
    {
        const QString folder = BackupFolderPath(app.appDir());
        for (const char *day : {"2026-12-07", "2026-12-08", "2026-12-09"}) {
            app.addExpert(QString::fromLatin1(day));
            ASSERT_TRUE(BackupLibrary(app.state.store).ok());
            ASSERT_TRUE(KeepRestorePoint(folder, QDir(folder).filePath("ProSys.mdb"), QString(), D(day)).ok());
        }
    }
    QTableWidget *grid(QDialog &d) { return d.findChild<QTableWidget *>("grdPoints"); }

    TestApp app;
    TestHost host{app.state};
};

}   // namespace

TEST_F(RestorePointChoiceTest, ChoosingARestorePointPutsItsLibraryBack)
{
    keepThreeDays();
    app.addExpert("今天加的");
    ASSERT_EQ(app.countRows("expert_msg"), 4);
    QStringList firstRow;
    int rows = 0;
    QString selected;
    app.dialogs->script.enqueue([&](QDialog &d) {
        QTableWidget *g = grid(d);
        rows = g->rowCount();
        for (int c = 0; c < g->columnCount(); ++c)
            firstRow << g->item(0, c)->text();
        selected = g->item(g->currentRow(), 0)->text();
        g->selectRow(2);   // the oldest: one expert
        return FakeDialogs::Press(d, "cmdOK");
    });
    click("cmdDBUpd");
    EXPECT_EQ(app.dialogs->shown, QStringList{"frmRestorePoints"});
    EXPECT_EQ(rows, 3);
    ASSERT_EQ(firstRow.size(), 5);
    EXPECT_EQ(firstRow[0], "2026-12-09");
    EXPECT_EQ(firstRow[2], "3");
    EXPECT_EQ(firstRow[3], "0");
    EXPECT_EQ(firstRow[4], "完好");
    EXPECT_EQ(selected, "2026-12-09");   // the newest sound one is offered first
    EXPECT_TRUE(app.files->openCalls.isEmpty());
    EXPECT_EQ(app.countRows("expert_msg"), 1) << app.messages->lastText().toStdString();
}

TEST(RestorePointChoice, BrowseCancelAndNoRestorePoints)
{
    struct Case {
        const char *what;
        bool withPoints;
        const char *button;   // pressed in the list; nullptr: no list expected
        int fileDialogs;
    };
    const Case cases[] = {
        {"浏览… opens the file dialog as before", true, "cmdBrowse", 1},
        {"取消 ends it", true, "cmdCancel", 0},
        {"without restore points the file dialog comes at once", false, nullptr, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        TestHost host{app.state};
        host.openScreen(ScreenId::DataInOut);
        if (c.withPoints) {
            const QString folder = BackupFolderPath(app.appDir());
            ASSERT_TRUE(BackupLibrary(app.state.store).ok());
            ASSERT_TRUE(KeepRestorePoint(folder, QDir(folder).filePath("ProSys.mdb"), QString(), D("2026-12-09")).ok());
            const char *button = c.button;
            app.dialogs->script.enqueue([button](QDialog &d) { return FakeDialogs::Press(d, button); });
        }
        QTest::mouseClick(host.find<QPushButton>("frmDataInOut", "cmdDBUpd"), Qt::LeftButton);
        EXPECT_EQ(app.dialogs->shown.size(), c.withPoints ? 1 : 0);
        EXPECT_EQ(app.files->openCalls.size(), c.fileDialogs);
        EXPECT_TRUE(app.messages->shown.isEmpty());
    }
}

TEST_F(RestorePointChoiceTest, ADamagedRestorePointIsShownButCannotBeChosen)
{
    app.addExperts(120);
    keepThreeDays();
    ASSERT_TRUE(DamagePages(RestorePointPath(BackupFolderPath(app.appDir()), D("2026-12-09"))));
    bool okEnabledOnDamaged = true;
    QString offered;
    QString check;
    app.dialogs->script.enqueue([&](QDialog &d) {
        QTableWidget *g = grid(d);
        offered = g->item(g->currentRow(), 0)->text();
        check = g->item(0, 4)->text();
        g->clearSelection();
        g->selectRow(0);
        okEnabledOnDamaged = d.findChild<QPushButton *>("cmdOK")->isEnabled();
        return FakeDialogs::Cancel(d);
    });
    click("cmdDBUpd");
    EXPECT_EQ(offered, "2026-12-08");
    EXPECT_TRUE(check.startsWith("已损坏")) << check.toStdString();
    EXPECT_FALSE(okEnabledOnDamaged);
}

// The backup settings: the folder and how many restore points are kept, set
// together or not at all.
TEST_F(RestorePointChoiceTest, BackupSettingsAreChosenOnTheScreen)
{
    QTemporaryDir stick;
    int shownDaily = -1;
    app.dialogs->script.enqueue([&](QDialog &d) {
        shownDaily = d.findChild<QSpinBox *>("spnDaily")->value();
        return FakeDialogs::Cancel(d);
    });
    click("cmdSecondBackup");
    EXPECT_EQ(shownDaily, 7);   // the defaults before anything is set

    const struct {
        QString typed;
        RetentionRule typedRule;
        QString stored;   // the settings afterwards
        RetentionRule storedRule;
        bool refused;
    } cases[] = {
        {stick.path(), {3, 0, 2}, stick.path(), {3, 0, 2}, false},
        {stick.filePath("没插上"), {5, 5, 5}, stick.path(), {3, 0, 2}, true},
        {app.appDir(), {5, 5, 5}, stick.path(), {3, 0, 2}, true},
        // An empty box: none any more. A day is always kept.
        {QString(), {0, 1, 1}, QString(), {1, 1, 1}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        app.messages->clear();
        const auto &typed = c.typed;
        const RetentionRule rule = c.typedRule;
        app.dialogs->script.enqueue([typed, rule](QDialog &d) {
            d.findChild<QLineEdit *>("txtFolder")->setText(typed);
            d.findChild<QSpinBox *>("spnDaily")->setValue(rule.daily);
            d.findChild<QSpinBox *>("spnWeekly")->setValue(rule.weekly);
            d.findChild<QSpinBox *>("spnMonthly")->setValue(rule.monthly);
            return FakeDialogs::Press(d, "cmdOK");
        });
        click("cmdSecondBackup");
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown[0].icon,
                  c.refused ? MessageService::Icon::Critical : MessageService::Icon::Information);
        EXPECT_EQ(SecondBackupFolder(app.state.store), c.stored);
        const RetentionRule now = RetentionRuleOf(app.state.store);
        EXPECT_EQ(now.daily, c.storedRule.daily);
        EXPECT_EQ(now.weekly, c.storedRule.weekly);
        EXPECT_EQ(now.monthly, c.storedRule.monthly);
    }
}
