#include "TestApp.h"
#include "ReportTestHelpers.h"

#include "admin/ExpertImport.h"
#include "data/Schema.h"
#include "shell/FileCopy.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray toCsv(const QList<QStringList> &rows)
{
    QByteArray out;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (QString c : row)
            cells << '"' + c.replace('"', "\"\"") + '"';
        out += cells.join(',').toUtf8() + "\r\n";
    }
    return out;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DataInOutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.addUser("000002", "lisi", "pw", "1");
        app.addExpert("张三");
        host.openScreen(26, "frmDataInOut");
    }
    template <typename T> T *find(const QString &name) { return host.find<T>("frmDataInOut", name); }
    void click(const QString &button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    QString path(const QString &name) const { return QDir(app.appDir()).filePath(name); }

    TestApp app;
    TestHost host{app.state};
};

TEST_F(DataInOutTest, ScreenShowsItsTextsPathAndTickedBackupSwitch)
{
    EXPECT_EQ(find<QLabel>("labPath")->text(), "数据的导入与导出");
    EXPECT_EQ(host.bannerWidth, 11515);
    EXPECT_EQ(find<QLabel>("labTitle")->text(), "数据的导入与导出");
    EXPECT_TRUE(find<QLabel>("labTitle")->font().bold());
    EXPECT_EQ(find<QLabel>("labTu(2)")->text(), "●");
    EXPECT_EQ(find<QLabel>("labExpInput(1)")->text(), "专家库的备份与更新");
    EXPECT_EQ(find<QGroupBox>("fraOP(0)")->title(), "具体操作：");
    EXPECT_EQ(find<QLabel>("labOP5")->accessibleName(), "不覆盖原有的专家数据信息。");
    EXPECT_TRUE(find<QLabel>("labClr")->accessibleName().startsWith("1： 初始化数据库\r\n     此功能为"));
    EXPECT_EQ(find<QPushButton>("cmdDBUpd")->text(), "更新专家库");
    // Placed inside its frame, relative to it.
    EXPECT_EQ(find<QPushButton>("cmdUpExp")->parentWidget()->objectName(), "fraOP(0)");
    EXPECT_EQ(find<QPushButton>("cmdUpExp")->geometry(), TwRect(375, 2775, 1890, 390));
    EXPECT_TRUE(find<QCheckBox>("chkSaveDB")->isChecked());
    EXPECT_TRUE(app.state.AutoBackupOn);
}

TEST_F(DataInOutTest, BackupSwitchSetsAutoBackupAndKeepsItsStateWhenReopened)
{
    QCheckBox *chk = find<QCheckBox>("chkSaveDB");
    QTest::mouseClick(chk, Qt::LeftButton);
    EXPECT_FALSE(chk->isChecked());
    EXPECT_FALSE(app.state.AutoBackupOn);
    host.openScreen(5, "frmExpertList");
    host.openScreen(26, "frmDataInOut");
    EXPECT_FALSE(find<QCheckBox>("chkSaveDB")->isChecked());
    EXPECT_FALSE(app.state.AutoBackupOn);
    QTest::mouseClick(chk, Qt::LeftButton);
    EXPECT_TRUE(app.state.AutoBackupOn);
}

TEST_F(DataInOutTest, EveryChangingOperationAsksFirstAndNoChangesNothing)
{
    const QString backup = path("b.mdb");
    app.files->nextSavePath = backup;
    click("cmdDBBak");
    ASSERT_TRUE(QFile::exists(backup)) << app.messages->lastText().toStdString();

    const QString csv = path("in.csv");
    QList<QStringList> rows = ExpertImport::TemplateRows(app.state);
    rows << rows[2];
    rows.last()[0] = "李四";
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(toCsv(rows));
    f.close();

    const QByteArray bytes = fileBytes(app.dataFile());
    for (const char *button : {"cmdClrDB", "cmdUpExp", "cmdDBUpd"}) {
        SCOPED_TRACE(button);
        app.messages->clear();
        app.messages->answers.enqueue(false);
        app.files->nextOpenPath = QString(button) == "cmdUpExp" ? csv : backup;
        click(button);
        ASSERT_FALSE(app.messages->shown.isEmpty());
        EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Question);
        EXPECT_EQ(app.messages->shown.last().title, "Kestrune");
        EXPECT_EQ(fileBytes(app.dataFile()), bytes);
    }
    EXPECT_FALSE(QDir(BackupFolderPath(app.appDir())).exists());
}

TEST_F(DataInOutTest, InitialiseFromTheScreenReportsTheSafetyCopy)
{
    click("cmdClrDB");
    ASSERT_EQ(app.messages->shown.size(), 2);
    EXPECT_EQ(app.messages->shown[1].icon, MessageService::Icon::Information);
    EXPECT_TRUE(app.messages->shown[1].text.contains(kBackupFolderName));
    EXPECT_EQ(app.countRows("expert_msg"), 0);
    EXPECT_EQ(app.countRows("login_pwd"), 1);
}

TEST_F(DataInOutTest, OnlyAnAdministratorMayChangeData)
{
    app.state.CurrentUserRole = 1;
    for (const char *button : {"cmdClrDB", "cmdUpExp", "cmdDBUpd"}) {
        app.messages->clear();
        click(button);
        EXPECT_EQ(app.messages->texts(), QStringList{"只有系统管理员才能进行此操作！"});
    }
    EXPECT_EQ(app.countRows("expert_msg"), 1);
    EXPECT_TRUE(app.files->openCalls.isEmpty());
}

TEST_F(DataInOutTest, BackupOffersADatedNameOnTheDesktopAndCancelDoesNothing)
{
    click("cmdDBBak");   // cancelled: nextSavePath is empty
    ASSERT_EQ(app.files->saveCalls.size(), 1);
    EXPECT_EQ(app.files->saveCalls[0], QDir(app.desktop->desktop).filePath("专家库备份_20261209.mdb"));
    EXPECT_TRUE(app.messages->shown.isEmpty());

    app.files->nextSavePath = path("copy");   // the suffix is added
    click("cmdDBBak");
    EXPECT_TRUE(QFile::exists(path("copy.mdb")));
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Information);
}

TEST_F(DataInOutTest, RestoreRefusesAFileThatIsNotABackup)
{
    const QString junk = path("junk.mdb");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database at all");
    f.close();
    const QByteArray bytes = fileBytes(app.dataFile());
    app.files->nextOpenPath = junk;
    click("cmdDBUpd");
    ASSERT_EQ(app.messages->shown.size(), 1);   // no question asked
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_TRUE(app.messages->shown[0].text.contains("不是本程序的专家库备份"));
    EXPECT_EQ(fileBytes(app.dataFile()), bytes);
}

TEST_F(DataInOutTest, UploadAddsTheRowsOfAFilledWorkbook)
{
    QList<QStringList> rows = ExpertImport::TemplateRows(app.state);
    for (const char *name : {"李四", "王五"}) {
        rows << rows[2];
        rows.last()[0] = QString::fromUtf8(name);
    }
    const QString csv = path("filled.csv");
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(toCsv(rows));
    f.close();
    app.files->nextOpenPath = csv;
    click("cmdUpExp");
    ASSERT_EQ(app.messages->shown.size(), 2);
    EXPECT_TRUE(app.messages->shown[0].text.contains("共有 2 位专家"));
    EXPECT_TRUE(app.messages->shown[1].text.contains("2 位专家"));
    EXPECT_EQ(app.state.ExpertTable.count(), 3);
    EXPECT_EQ(app.state.ExpertTable.cell(2, Schema::E_Id), "000003");
    EXPECT_FALSE(find<QWidget>("ProgressBar1")->isVisible());
}

TEST_F(DataInOutTest, DownloadSavesTheImportWorkbookThroughTheSpreadsheetEngine)
{
    auto log = InstallFakeSpreadsheet(app.state);
    const QString target = path("导入表.xls");
    app.files->nextSavePath = target;
    click("cmdDownLoadExp");
    EXPECT_EQ(app.files->saveCalls.value(0), QDir(app.desktop->desktop).filePath("专家数据导入表.xls"));
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Information);
    EXPECT_EQ(log->text(1, 1), "专家姓名");
    EXPECT_TRUE(log->text(3, 1).startsWith(ExpertImport::kExampleMarker));
    EXPECT_EQ(log->enginesAlive, 0);
    EXPECT_TRUE(QDir(app.appDir()).entryList({"*.xls"}, QDir::Files | QDir::Hidden).size() == 1);

    log->failOn << "saveAsXls";
    app.files->nextSavePath = path("other.xls");
    click("cmdDownLoadExp");
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
    EXPECT_FALSE(QFile::exists(path("other.xls")));
}

} // namespace
