#include "TestFiles.h"
#include "TestApp.h"
#include "ReportTestHelpers.h"

#include "admin/ExpertImport.h"
#include "data/Schema.h"
#include "files/DataFolder.h"
#include "data/FileCopy.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

class DataInOutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.addUser("000002", "lisi", "pw", "1");
        app.addExpert("张三");
        host.openScreen(ScreenId::DataInOut);
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

// Every control of the screen where the layout puts it, inside its frame
// where it has one, with its full text. Labels may grow to hold their text
// in the font in use but never move or shrink.
TEST_F(DataInOutTest, ControlsStandWhereTheLayoutPutsThemWithTheirTexts)
{
    struct Placed {
        const char *name;
        const char *frame;   // "" for the screen itself
        QRect rect;
        QString text;
    };
    const QString backupLine =
        QStringLiteral("3： 自动备份数据库\r\n\r\n\r\n选中状态（默认）： 每次关闭本软件时会自动备份数据库到以下目录："
                       "  （安装目录）\\数据库备份\\\r\n非选中状态： 每次关闭本软件时不会自动备份数据库。");
    const Placed table[] = {
        {"labTitle", "", TwRect(5340, 360, 2415, 375), "数据的导入与导出"},
        {"labTu(0)", "", TwRect(525, 1050, 300, 300), "●"},
        {"labClrDB", "", TwRect(825, 1050, 3540, 315), "初始化数据库"},
        {"fraClr", "", TwRect(825, 1500, 5040, 1815), "具体操作："},
        {"labClr", "fraClr", TwRect(150, 300, 4740, 540),
         "1： 初始化数据库\r\n     "
         "此功能为将当前数据库中的测试数据全部删除（只保留系统管理员权限），以方便您的正式使用。"},
        {"cmdClrDB", "fraClr", TwRect(375, 1200, 1890, 390), "初始化数据库"},
        {"labTu(1)", "", TwRect(525, 3750, 300, 300), "●"},
        {"labExpInput(0)", "", TwRect(825, 3750, 3840, 315), "初始专家数据的导入"},
        {"fraOP(0)", "", TwRect(825, 4200, 5040, 3390), "具体操作："},
        {"labOP1", "fraOP(0)", TwRect(150, 300, 4740, 540),
         "1： 下载专家数据导入表\r\n     "
         "请先下载专家数据导入表（Excel表）保存到本机，然后按照表中的项目把专家信息正确的填入此表。"},
        {"cmdDownLoadExp", "fraOP(0)", TwRect(375, 1200, 1890, 390), "下载专家数据导入表"},
        {"labOP2", "fraOP(0)", TwRect(150, 1875, 4740, 390),
         "2： 上传初始专家数据\r\n     把已经填好的专家数据导入表上传到当前的数据库中，"},
        {"labOP5", "fraOP(0)", TwRect(150, 2250, 4440, 165), "不覆盖原有的专家数据信息。"},
        {"cmdUpExp", "fraOP(0)", TwRect(375, 2775, 1890, 390), "上传初始专家数据"},
        {"labTu(2)", "", TwRect(6225, 1050, 300, 300), "●"},
        {"labExpInput(1)", "", TwRect(6525, 1050, 2490, 315), "专家库的备份与更新"},
        {"fraOP(1)", "", TwRect(6525, 1500, 4965, 6090), "具体操作："},
        {"labOP3", "fraOP(1)", TwRect(150, 300, 4665, 540),
         "1： 专家库的备份\r\n     此功能为把现有的专家库中的全部数据进行备份（生成XXX.mdb文件并保存到本机）。"},
        {"cmdDBBak", "fraOP(1)", TwRect(375, 1200, 1365, 390), "备份专家库"},
        {"labOP4", "fraOP(1)", TwRect(150, 2100, 4740, 615),
         "2： 专家库的更新\r\n     用以前备份过的专家库的所有信息代替现有的专家库，使现有的专家库得到更新。"},
        {"cmdDBUpd", "fraOP(1)", TwRect(375, 3000, 1365, 390), "更新专家库"},
        {"labOP6", "fraOP(1)", TwRect(150, 3825, 4740, 1290), backupLine},
        {"chkSaveDB", "fraOP(1)", TwRect(375, 4050, 2265, 240), "自动备份数据库"},
    };
    for (const Placed &p : table) {
        SCOPED_TRACE(p.name);
        QWidget *w = find<QWidget>(QString::fromLatin1(p.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), *p.frame ? QString::fromLatin1(p.frame) : "frmDataInOut");
        if (auto *label = qobject_cast<QLabel *>(w)) {
            EXPECT_EQ(label->pos(), p.rect.topLeft());
            EXPECT_GE(label->width(), p.rect.width());
            EXPECT_GE(label->height(), p.rect.height());
            const QString text = label->textFormat() == Qt::RichText ? label->accessibleName() : label->text();
            EXPECT_EQ(text, p.text);
        } else {
            EXPECT_EQ(w->geometry(), p.rect);
            if (auto *frame = qobject_cast<QGroupBox *>(w))
                EXPECT_EQ(frame->title(), p.text);
            else if (auto *button = qobject_cast<QAbstractButton *>(w))
                EXPECT_EQ(button->text(), p.text);
        }
    }
    // The check box lies over the blank lines of its explanation, in front of it.
    QWidget *chk = find<QWidget>("chkSaveDB");
    const QObjectList &siblings = chk->parentWidget()->children();
    EXPECT_GT(siblings.indexOf(chk), siblings.indexOf(find<QWidget>("labOP6")));
}

TEST_F(DataInOutTest, BackupSwitchSetsAutoBackupAndKeepsItsStateWhenReopened)
{
    QCheckBox *chk = find<QCheckBox>("chkSaveDB");
    QTest::mouseClick(chk, Qt::LeftButton);
    EXPECT_FALSE(chk->isChecked());
    EXPECT_FALSE(app.state.AutoBackupOn);
    host.openScreen(ScreenId::ExpertList);
    host.openScreen(ScreenId::DataInOut);
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
    QList<QStringList> rows = ExpertImport::TemplateRows(app.state.store);
    rows << rows[2];
    rows.last()[0] = "李四";
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(toCsv(rows));
    f.close();

    const QByteArray bytes = ReadAll(app.dataFile());
    for (const char *button : {"cmdClrDB", "cmdUpExp", "cmdDBUpd"}) {
        SCOPED_TRACE(button);
        app.messages->clear();
        app.messages->answers.enqueue(false);
        app.files->nextOpenPath = QString(button) == "cmdUpExp" ? csv : backup;
        click(button);
        ASSERT_FALSE(app.messages->shown.isEmpty());
        EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Question);
        EXPECT_EQ(app.messages->shown.last().title, "Kestrune");
        EXPECT_EQ(ReadAll(app.dataFile()), bytes);
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
    app.state.session.CurrentUserRole = 1;
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

    // The dialog never asked about the completed name: "No" keeps the file.
    const QByteArray first = ReadAll(path("copy.mdb"));
    app.messages->clear();
    app.messages->answers.enqueue(false);
    click("cmdDBBak");
    EXPECT_EQ(app.messages->texts(), QStringList{"copy.mdb 已存在。\n要替换它吗？"});
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Question);
    EXPECT_EQ(ReadAll(path("copy.mdb")), first);
}

TEST_F(DataInOutTest, RestoreRefusesAFileThatIsNotABackup)
{
    const QString junk = path("junk.mdb");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database at all");
    f.close();
    const QByteArray bytes = ReadAll(app.dataFile());
    app.files->nextOpenPath = junk;
    click("cmdDBUpd");
    ASSERT_EQ(app.messages->shown.size(), 1);   // no question asked
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_TRUE(app.messages->shown[0].text.contains("不是本程序的专家库备份"));
    EXPECT_EQ(ReadAll(app.dataFile()), bytes);
}

TEST_F(DataInOutTest, UploadAddsTheRowsOfAFilledWorkbook)
{
    QList<QStringList> rows = ExpertImport::TemplateRows(app.state.store);
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
    EXPECT_EQ(app.state.store.ExpertTable.count(), 3);
    EXPECT_EQ(app.state.store.ExpertTable.cell(2, Schema::E_Id).toString(), "000003");
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

TEST_F(DataInOutTest, DownloadToAPlaceWhereNothingCanBeSavedNamesTheCause)
{
    auto log = InstallFakeSpreadsheet(app.state);
    ASSERT_TRUE(WriteAll(path("notes.txt"), "a file, not a folder"));
    ASSERT_TRUE(QDir(app.appDir()).mkdir("taken.xls"));
    struct Case {
        QString target;
        QString says;
    };
    const Case cases[] = {
        {path("missing-folder/导入表.xls"),
         QStringLiteral("文件夹“%1”不存在").arg(QDir::toNativeSeparators(path("missing-folder")))},
        {path("notes.txt/导入表.xls"),
         QStringLiteral("“%1”不是文件夹").arg(QDir::toNativeSeparators(path("notes.txt")))},
        {path("taken.xls"), QStringLiteral("“%1”是一个文件夹").arg(QDir::toNativeSeparators(path("taken.xls")))},
        // A folder that nobody may write in, whoever runs the tests.
        {"/proc/导入表.xls", "不能在文件夹“/proc”中写入文件。\n请检查文件夹的权限"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        app.messages->clear();
        app.files->nextSavePath = c.target;
        click("cmdDownLoadExp");
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
        EXPECT_TRUE(app.messages->lastText().startsWith("下载专家数据导入表失败"))
            << app.messages->lastText().toStdString();
        EXPECT_TRUE(app.messages->lastText().contains(c.says)) << app.messages->lastText().toStdString();
        EXPECT_EQ(log->enginesMade, 0);
    }
    EXPECT_TRUE(QFileInfo(path("taken.xls")).isDir());
    EXPECT_FALSE(QFileInfo::exists(path("missing-folder")));
}

TEST_F(DataInOutTest, UploadSaysWhatItWouldDoUnaskedAndNoStoresNothing)
{
    app.addExpert("李四");   // mobile 13800000000
    QList<QStringList> rows = ExpertImport::TemplateRows(app.state.store);
    rows << rows[2];
    rows.last()[0] = "李四";
    rows.last()[int(ExpertImport::Columns(app.state.store).size()) - 1] = "";
    rows[0] << "备注";
    rows.last() << "老朋友";
    const int mobile = [&] {
        const auto columns = ExpertImport::Columns(app.state.store);
        for (int c = 0; c < columns.size(); ++c)
            if (columns[c].field == Schema::E_Mobile)
                return c;
        return -1;
    }();
    rows.last()[mobile] = "13800000000";
    const QString csv = path("again.csv");
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(toCsv(rows));
    f.close();
    app.files->nextOpenPath = csv;
    app.messages->answers.enqueue(false);
    const int before = app.countRows("expert_msg");
    click("cmdUpExp");
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Question);
    EXPECT_TRUE(app.messages->shown[0].text.contains("第AA列“备注”")) << app.messages->shown[0].text.toStdString();
    EXPECT_TRUE(app.messages->shown[0].text.contains("“李四”（13800000000）已在专家库中"))
        << app.messages->shown[0].text.toStdString();
    EXPECT_EQ(app.countRows("expert_msg"), before);
}

}   // namespace

namespace {

// What the upload changes on its way in is in the question before it; a
// file that is no workbook is refused in Chinese, the office's words kept
// for the details.
TEST_F(DataInOutTest, UploadTellsLineBreaksBeforeAndUnreadableFilesInChinese)
{
    QList<QStringList> rows = ExpertImport::TemplateRows(app.state.store);
    rows << rows[2];
    rows.last()[0] = "李\n四";
    const QString csv = path("breaks.csv");
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(toCsv(rows));
    }
    app.files->nextOpenPath = csv;
    app.messages->answers.enqueue(false);
    const int before = app.countRows("expert_msg");
    click("cmdUpExp");
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_TRUE(app.messages->shown[0].text.contains("第4行第A列“专家姓名”：换行已改为空格，导入为“李 四”"))
        << app.messages->shown[0].text.toStdString();
    EXPECT_EQ(app.countRows("expert_msg"), before);

    app.messages->shown.clear();
    const QString image = path("照片.xls");
    {
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    }
    app.files->nextOpenPath = image;
    click("cmdUpExp");
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_TRUE(app.messages->shown[0].text.contains("不是电子表格")) << app.messages->shown[0].text.toStdString();
    EXPECT_FALSE(app.messages->shown[0].text.contains("Not a spreadsheet"));
}

}   // namespace
