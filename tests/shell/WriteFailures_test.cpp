// Every path that writes the database or a file beside it, run against a
// write that fails: the file must stay as it was, nothing may be reported as
// done, and what the user had in hand stays where the program can keep it.

#include "TestFiles.h"
#include "TestApp.h"
#include "admin/DataMaintenance.h"
#include "admin/ExpertImport.h"
#include "admin/frmChangePwd.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"
#include "data/ExpertRecord.h"
#include "experts/frmExpertList.h"
#include "data/DrawStore.h"
#include "files/DataFolder.h"
#include "data/FileCopy.h"
#include "shell/MDIFrm.h"
#include "shell/frmEndSaveDB.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cctype>
#include <csignal>
#include <functional>
#include <optional>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// Another program in the middle of a transaction on the file.
class ForeignProgram {
public:
    ForeignProgram(const QString &path, const char *begin) : m_conn(Connection::open(path))
    {
        m_conn.exec(QString::fromLatin1(begin));
    }
    void exec(const QString &sql) { m_conn.exec(sql); }
    ~ForeignProgram()
    {
        try {
            m_conn.exec(QStringLiteral("ROLLBACK"));
        } catch (const DbError &) {
        }
    }

private:
    Connection m_conn;
};

// A full disk, as far as this process is concerned: no file may grow past a
// few bytes, so every write that appends (a journal, a copy) fails.
class DiskFull {
public:
    DiskFull()
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny{16, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~DiskFull()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

// One way of making the database write fail, active while its guard lives.
struct Injection {
    const char *name;
    std::function<std::shared_ptr<void>(TestApp &)> start;
    bool needsPermissions = false;   // only works where permissions stop writes
};

void PrintTo(const Injection &injection, std::ostream *os) { *os << injection.name; }

const Injection kLocked{"locked by another writer", [](TestApp &app) -> std::shared_ptr<void> {
                            return std::make_shared<ForeignProgram>(app.dataFile(), "BEGIN IMMEDIATE");
                        }};
// Another program reading: a commit has to wait for it and then gives up.
const Injection kReading{"read by another program", [](TestApp &app) -> std::shared_ptr<void> {
                             auto reader = std::make_shared<ForeignProgram>(app.dataFile(), "BEGIN");
                             reader->exec("SELECT count(*) FROM expert_msg");
                             return reader;
                         }};
const Injection kDiskFull{"disk full", [](TestApp &) -> std::shared_ptr<void> { return std::make_shared<DiskFull>(); }};
const Injection kFolderInPlace{"a folder where the file was", [](TestApp &app) -> std::shared_ptr<void> {
                                   const QString moved = app.dataFile() + ".moved";
                                   QFile::rename(app.dataFile(), moved);
                                   QDir().mkdir(app.dataFile());
                                   return std::shared_ptr<void>(nullptr, [&app, moved](void *) {
                                       QDir().rmdir(app.dataFile());
                                       QFile::rename(moved, app.dataFile());
                                   });
                               }};

const Injection kReadOnly{
    "read-only file",
    [](TestApp &app) -> std::shared_ptr<void> {
        const QFile::Permissions old = QFile::permissions(app.dataFile());
        QFile::setPermissions(app.dataFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        return std::shared_ptr<void>(nullptr, [&app, old](void *) { QFile::setPermissions(app.dataFile(), old); });
    },
    true};

const std::vector<Injection> &DatabaseWriteFailures()
{
    static const std::vector<Injection> all{kLocked, kReading, kDiskFull, kFolderInPlace, kReadOnly};
    return all;
}

// Whether file permissions stop this process's writes (they do not for root).
bool PermissionsAreEnforced()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("probe");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.close();
    QFile::setPermissions(path, QFile::ReadOwner);
    return !f.open(QIODevice::WriteOnly);
}

class WriteFailures : public ::testing::TestWithParam<Injection> {
protected:
    void SetUp() override
    {
        if (GetParam().needsPermissions && !PermissionsAreEnforced())
            GTEST_SKIP() << "file permissions do not stop writes of this user";
        expertA = app.addExpert("甲");
        expertB = app.addExpert("乙");
        app.addSelection("2020-01-01", expertA);
        before = ReadAll(app.dataFile());
        expertsBefore = app.state.store.ExpertTable.toLists();
        selectionsBefore = app.state.store.SelectionTable.toLists();
        usersBefore = app.state.store.UserTable.toLists();
    }
    void inject() { guard = GetParam().start(app); }
    void release() { guard.reset(); }

    // The file and the in-memory tables are exactly as before the attempt,
    // and no success was reported.
    void expectNothingChanged()
    {
        release();
        EXPECT_EQ(ReadAll(app.dataFile()), before);
        EXPECT_FALSE(QFileInfo::exists(app.dataFile() + "-journal"));
        EXPECT_EQ(app.state.store.ExpertTable.toLists(), expertsBefore);
        EXPECT_EQ(app.state.store.SelectionTable.toLists(), selectionsBefore);
        EXPECT_EQ(app.state.store.UserTable.toLists(), usersBefore);
        for (const auto &m : app.messages->shown)
            EXPECT_NE(m.icon, MessageService::Icon::Information) << m.text.toStdString();
    }
    // One critical box that says in the program's language what happened
    // to the data file and what to do, the engine's own words below.
    void expectOneCriticalMessage()
    {
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
        const QString text = app.messages->shown[0].text;
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators(app.dataFile()))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("请"))) << text.toStdString();
        EXPECT_FALSE(app.messages->shown[0].detail.trimmed().isEmpty()) << text.toStdString();
    }
    void drawBoth()
    {
        app.state.draw.DrawList.append({expertA, "甲", "男", "", "", "", "", ""});
        app.state.draw.DrawList.append({expertB, "乙", "男", "", "", "", "", ""});
        app.state.draw.DrawUnsaved = true;
    }
    ExpertRecordBuffer record(const QString &name)
    {
        ExpertFormValues values;
        values.byField[Schema::E_Name] = name;
        return *GatherExpertFields(values, app.state.today());
    }

    TestApp app;
    QString expertA, expertB;
    QByteArray before;
    QList<QStringList> expertsBefore, selectionsBefore, usersBefore;
    std::shared_ptr<void> guard;
};

TEST_P(WriteFailures, NewExpertIsNotStoredAndTheEditorKeepsItsValues)
{
    TestHost host(app.state);
    host.openScreen(ScreenId::NewExpert);
    QLineEdit *name = host.find<QLineEdit>("frmNewExpert", ArrayName("txtDis", 0));
    QLineEdit *school = host.find<QLineEdit>("frmNewExpert", ArrayName("txtDis", 9));
    ASSERT_TRUE(name && school);
    name->setText("丙");
    school->setText("某大学");
    inject();
    QTest::mouseClick(host.find<QPushButton>("frmNewExpert", "cmd_Save"), Qt::LeftButton);
    expectOneCriticalMessage();
    expectNothingChanged();
    EXPECT_EQ(name->text(), "丙");
    EXPECT_EQ(school->text(), "某大学");

    // Once the file can be written, the same values are saved whole.
    app.messages->clear();
    QTest::mouseClick(host.find<QPushButton>("frmNewExpert", "cmd_Save"), Qt::LeftButton);
    EXPECT_EQ(app.messages->lastText(), "增加成功。");
    EXPECT_EQ(app.countRows("expert_msg"), 3);
}

TEST_P(WriteFailures, ExpertUpdateRaisesAndLeavesTheRecord)
{
    inject();
    EXPECT_THROW(UpdateExpertRecord(app.state.store, expertA, record("改名")), DbError);
    expectNothingChanged();
}

TEST_P(WriteFailures, DeletingExpertsRaisesAndDeletesNothing)
{
    inject();
    EXPECT_FALSE(DeleteExpertsWithSelections(app.state.store, {expertA, expertB}).ok());
    expectNothingChanged();
    EXPECT_EQ(app.countRows("expert_msg"), 2);
    EXPECT_EQ(app.countRows("sel_expert"), 1);
}

TEST_P(WriteFailures, DeletingOnTheListFailsLikeASaveAndTheProgramGoesOn)
{
    TestHost host(app.state);
    host.area.show();
    host.openScreen(ScreenId::ExpertList);
    QTest::mouseClick(host.find<QPushButton>("frmExpertList", "cmdSearch"), Qt::LeftButton);
    QCheckBox *first = host.find<QCheckBox>("frmExpertList", ArrayName("chk", 0));
    ASSERT_TRUE(first);
    QTest::mouseClick(first, Qt::LeftButton);
    app.messages->answers.enqueue(true);
    inject();
    QTest::mouseClick(host.find<QPushButton>("frmExpertList", "cmdDel"), Qt::LeftButton);
    // The question, then the failure in words the user can act on.
    ASSERT_EQ(app.messages->shown.size(), 2);
    EXPECT_EQ(app.messages->shown[1].icon, MessageService::Icon::Critical);
    EXPECT_TRUE(app.messages->shown[1].text.contains(QDir::toNativeSeparators(app.dataFile())))
        << app.messages->shown[1].text.toStdString();
    app.messages->shown.removeFirst();
    expectNothingChanged();
    EXPECT_EQ(app.countRows("expert_msg"), 2);
    EXPECT_EQ(app.countRows("sel_expert"), 1);
}

TEST_P(WriteFailures, DrawIsNotStoredAndStaysUnsavedOnTheResultScreen)
{
    drawBoth();
    TestHost host(app.state);
    host.openScreen(ScreenId::DrawResult);
    const QList<QStringList> draw = app.state.draw.DrawList.toLists();
    inject();
    QTest::mouseClick(host.find<QPushButton>("frmNewPro", "cmdSave"), Qt::LeftButton);
    expectOneCriticalMessage();
    expectNothingChanged();
    EXPECT_EQ(app.state.draw.DrawList.toLists(), draw);
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_TRUE(host.find<QPushButton>("frmNewPro", "cmdSelExpert")->isEnabled());

    app.messages->clear();
    QTest::mouseClick(host.find<QPushButton>("frmNewPro", "cmdSave"), Qt::LeftButton);
    EXPECT_EQ(app.messages->lastText(), "增加成功。");
    EXPECT_EQ(app.countRows("sel_expert"), 3);
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
}

TEST_P(WriteFailures, DrawStoredAtExitFailsWithAMessage)
{
    const auto mainWindow = MakeMainWindow(app.state, AllScreens().only({Form::frmDisMsg}));
    MDIFrm &main = *mainWindow;
    int ended = 0;
    main.endProgram = [&ended] { ++ended; };
    main.show();
    main.start();
    drawBoth();
    app.messages->answers.enqueue(true);
    inject();
    main.ExitApplication();
    release();
    // The question, then the failure; the program still ends.
    ASSERT_GE(app.messages->shown.size(), 2);
    EXPECT_EQ(app.messages->shown[1].icon, MessageService::Icon::Critical);
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    EXPECT_EQ(app.countRows("sel_expert"), 1);
    if (frmEndSaveDB *w = main.backupWindow())
        for (int i = 0; i < 25 && !w->ended(); ++i)
            w->Timer1_Timer();
    EXPECT_EQ(ended, 1);
}

TEST_P(WriteFailures, PasswordChangeRaisesAndKeepsTheDialogOpen)
{
    frmChangePwd dialog(app.state, nullptr);
    dialog.show();
    dialog.findChild<QLineEdit *>("txtUser")->setText("boss");
    dialog.findChild<QLineEdit *>("txtPwd")->setText("new");
    dialog.findChild<QLineEdit *>("txtPwdCheck")->setText("new");
    inject();
    EXPECT_THROW(dialog.cmdOK_Click(), DbError);
    expectNothingChanged();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_P(WriteFailures, InitialisingFailsAndKeepsEverything)
{
    drawBoth();
    app.addUser("000002", "lisi", "pw", "1");
    before = ReadAll(app.dataFile());
    usersBefore = app.state.store.UserTable.toLists();
    inject();
    const Outcome outcome = InitialiseDatabase(app.maintenanceTarget());
    EXPECT_FALSE(outcome.ok());
    EXPECT_FALSE(outcome.message().isEmpty());
    expectNothingChanged();
    EXPECT_EQ(app.state.draw.DrawList.count(), 2);
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
}

TEST_P(WriteFailures, ImportAddsNoExpert)
{
    const QList<QStringList> records{record("丁").storedFields(), record("戊").storedFields()};
    inject();
    const Outcome outcome = ExpertImport::AddExperts(app.state.store, records);
    EXPECT_FALSE(outcome.ok());
    expectNothingChanged();
    EXPECT_EQ(app.countRows("expert_msg"), 2);
}

INSTANTIATE_TEST_SUITE_P(Injected, WriteFailures, ::testing::ValuesIn(DatabaseWriteFailures()), [](const auto &info) {
    std::string s;
    for (const char *c = info.param.name; *c; ++c)
        s += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return s;
});

// Files written beside the database: backups, restores, the exit backup.
class FileWriteFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.addExpert("甲");
        before = ReadAll(app.dataFile());
    }
    QStringList filesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString exitBackup() const { return QDir(BackupFolderPath(app.appDir())).filePath("ProSys.mdb"); }
    void keepPreviousExitBackup()
    {
        QDir(app.appDir()).mkdir(kBackupFolderName);
        ASSERT_TRUE(WriteAll(exitBackup(), "previous backup"));
    }

    TestApp app;
    QByteArray before;
    QTemporaryDir target;
};

TEST_F(FileWriteFailures, CopyCutShortByAFullDiskKeepsTheTarget)
{
    for (const qsizetype size : {qsizetype(8 << 10), qsizetype(3 << 20)}) {
        SCOPED_TRACE(size);
        const QString source = target.filePath("source");
        const QString copy = target.filePath("copy");
        ASSERT_TRUE(WriteAll(source, QByteArray(size, 'z')));
        ASSERT_TRUE(WriteAll(copy, "old"));
        Outcome copied;
        {
            DiskFull full;
            copied = CopyFileReplacing(source, copy);
        }
        EXPECT_FALSE(copied.ok());
        // Says which file could not be written and what to do, with the
        // system's own reason as the detail, never that the program
        // cancelled it.
        const QString said = copied.message() + "\n" + copied.detail();
        EXPECT_TRUE(copied.message().startsWith(QStringLiteral("不能写入文件“%1”").arg(QDir::toNativeSeparators(copy))))
            << said.toStdString();
        EXPECT_TRUE(copied.message().contains("磁盘空间")) << said.toStdString();
        EXPECT_FALSE(copied.detail().isEmpty());
        EXPECT_FALSE(said.contains("取消")) << said.toStdString();
        EXPECT_FALSE(said.contains("cancel", Qt::CaseInsensitive)) << said.toStdString();
        EXPECT_EQ(ReadAll(copy), "old");
        EXPECT_EQ(filesIn(target.path()), (QStringList{"copy", "source"}));
    }
}

TEST(FirstStart, DataFileThatCannotBeMadeLeavesNothingBehind)
{
    QTemporaryDir dir;
    const QString path = DataFilePath(dir.path());
    {
        DiskFull full;
        EXPECT_THROW(CreateDataFile(path), DbError);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    // The next start makes the file afresh.
    EnsureDataFile(path);
    Connection conn = Connection::open(path);
    EXPECT_TRUE(CheckSchema(conn).ok());
}

TEST(FirstStart, MissingDataFileBesideAnExitBackupIsNotMadeAfresh)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(kBackupFolderName));
    const QString backup = QDir(BackupFolderPath(dir.path())).filePath("ProSys.mdb");
    ASSERT_TRUE(WriteAll(backup, "the user's last backup"));
    try {
        PrepareDataFile(dir.path());
        ADD_FAILURE() << "a missing data file was made afresh";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(backup)));
    }
    EXPECT_FALSE(QFileInfo::exists(DataFilePath(dir.path())));
    EXPECT_EQ(ReadAll(backup), "the user's last backup");

    // Where the program never ran, the file is made.
    QTemporaryDir fresh;
    PrepareDataFile(fresh.path());
    Connection conn = Connection::open(DataFilePath(fresh.path()));
    EXPECT_TRUE(CheckSchema(conn).ok());
}

TEST_F(FileWriteFailures, BackupThatCannotBeWrittenLeavesNoFile)
{
    struct Case {
        const char *name;
        std::function<QString()> prepare;   // returns the chosen backup path
        bool diskFull;
    };
    const Case cases[] = {
        {"missing folder", [&] { return target.filePath("no such folder/b.mdb"); }, false},
        {"a folder of that name",
         [&] {
             QDir(target.path()).mkdir("b.mdb");
             return target.filePath("b.mdb");
         },
         false},
        {"disk full", [&] { return target.filePath("b.mdb"); }, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.prepare();
        const QStringList existing = filesIn(target.path());
        Outcome outcome;
        {
            std::optional<DiskFull> full;
            if (c.diskFull)
                full.emplace();
            outcome = BackupDatabase(app.state.store, path);
        }
        EXPECT_FALSE(outcome.ok());
        EXPECT_FALSE(outcome.message().isEmpty());
        // The message names the backup the user chose, not the data file.
        EXPECT_TRUE(outcome.message().contains(QDir::toNativeSeparators(path)) ||
                    outcome.message().contains(QDir::toNativeSeparators(QFileInfo(path).absolutePath())))
            << outcome.message().toStdString();
        EXPECT_FALSE(outcome.message().contains(QDir::toNativeSeparators(app.dataFile())))
            << outcome.message().toStdString();
        EXPECT_EQ(filesIn(target.path()), existing);
        EXPECT_EQ(ReadAll(app.dataFile()), before);
    }
}

TEST_F(FileWriteFailures, RestoreThatCannotBeWrittenKeepsTheDatabase)
{
    const QString good = target.filePath("good.mdb");
    ASSERT_TRUE(BackupDatabase(app.state.store, good).ok());
    app.addExpert("乙");
    before = ReadAll(app.dataFile());
    const QString garbage = target.filePath("garbage.mdb");
    ASSERT_TRUE(WriteAll(garbage, QByteArray(8192, 'x')));

    EXPECT_FALSE(RestoreDatabase(app.maintenanceTarget(), garbage).ok());
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    Outcome outcome;
    {
        DiskFull full;
        outcome = RestoreDatabase(app.maintenanceTarget(), good);
    }
    EXPECT_FALSE(outcome.ok());
    EXPECT_FALSE(outcome.message().contains("取消")) << outcome.message().toStdString();
    EXPECT_TRUE(outcome.message().contains("磁盘空间")) << outcome.message().toStdString();
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 2);
}

TEST_F(FileWriteFailures, RestoreWaitsUntilAnotherProgramHasFinishedWriting)
{
    const QString good = target.filePath("good.mdb");
    ASSERT_TRUE(BackupDatabase(app.state.store, good).ok());
    app.addExpert("乙");
    before = ReadAll(app.dataFile());
    {
        ForeignProgram writer(app.dataFile(), "BEGIN IMMEDIATE");
        writer.exec("INSERT INTO sel_expert VALUES ('000099', '2020-01-01', '000001')");
        const Outcome outcome = RestoreDatabase(app.maintenanceTarget(), good);
        EXPECT_FALSE(outcome.ok());
        EXPECT_FALSE(outcome.message().isEmpty());
        // The writer's journal still belongs to the file it is writing.
        EXPECT_TRUE(QFileInfo::exists(app.dataFile() + "-journal"));
    }
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 2);
    EXPECT_TRUE(RestoreDatabase(app.maintenanceTarget(), good).ok());
    EXPECT_EQ(app.state.store.ExpertTable.count(), 1);
}

TEST_F(FileWriteFailures, ExitBackupKeepsThePreviousBackupWhenTheCopyFails)
{
    struct Case {
        const char *name;
        std::function<std::shared_ptr<void>()> inject;
    };
    const Case cases[] = {
        {"disk full", [] { return std::make_shared<DiskFull>(); }},
        // A file that is no database any more must not replace a good backup.
        {"damaged database",
         [&] {
             EXPECT_TRUE(WriteAll(app.dataFile(), QByteArray(8192, 'x')));
             return std::shared_ptr<void>();
         }},
        // Another program committing: its pages are being written into the file.
        {"writer committing", [&] { return std::make_shared<ForeignProgram>(app.dataFile(), "BEGIN EXCLUSIVE"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteAll(app.dataFile(), before));
        keepPreviousExitBackup();
        app.messages->clear();
        Outcome backedUp;
        {
            std::shared_ptr<void> guard = c.inject();
            backedUp = BackupDataFile(app.appDir());
        }
        EXPECT_FALSE(backedUp.ok());
        EXPECT_FALSE(backedUp.message().isEmpty());
        EXPECT_EQ(ReadAll(exitBackup()), "previous backup");
        EXPECT_EQ(filesIn(BackupFolderPath(app.appDir())), QStringList{"ProSys.mdb"});
    }
    // And the window reports it the program's way.
    ASSERT_TRUE(WriteAll(app.dataFile(), QByteArray(8192, 'x')));
    int ended = 0;
    frmEndSaveDB w(app.state, [&ended] { ++ended; });
    w.start();
    EXPECT_EQ(app.messages->lastText(), "请先关闭打开的数据库！");
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(ReadAll(exitBackup()), "previous backup");
}

TEST_F(FileWriteFailures, ExitBackupCopiesWhileAnotherProgramOnlyHoldsItsWriteLock)
{
    // A write not yet committing has changed nothing in the file: the copy is whole.
    ForeignProgram writer(app.dataFile(), "BEGIN IMMEDIATE");
    EXPECT_TRUE(BackupDataFile(app.appDir()).ok());
    EXPECT_EQ(ReadAll(exitBackup()), before);
}

}   // namespace
