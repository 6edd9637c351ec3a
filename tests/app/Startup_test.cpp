// The start of the program: one copy per data file, the removal of what a
// killed run left behind, and the integrity check of the data file.

#include "TestApp.h"
#include "TestFiles.h"
#include "app/Startup.h"
#include "data/Database.h"
#include "files/DataFolder.h"
#include "data/FileCopy.h"
#include "files/RunFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The id of a process that has ended.
qint64 EndedProcessId()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

bool SetWritten(const QString &path, const QDateTime &when)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

QString BackupCopy(const TestApp &app, const QString &name)
{
    return QDir(BackupFolderPath(app.appDir())).filePath(name);
}

TEST(Startup, ASecondStartOnTheSameDataFileIsRefused)
{
    TestApp app;
    Startup first(app.appDir());
    ASSERT_TRUE(first.prepare().ok());
    const QByteArray before = ReadAll(app.dataFile());

    Startup second(app.appDir());
    const QString refused = second.prepare().message();
    EXPECT_TRUE(refused.contains("已经在运行")) << refused.toStdString();
    EXPECT_TRUE(refused.contains(QDir::toNativeSeparators(app.dataFile()))) << refused.toStdString();
    EXPECT_TRUE(refused.contains(QString::number(QCoreApplication::applicationPid())));
    EXPECT_EQ(ReadAll(app.dataFile()), before);
    // The first copy keeps the file.
    EXPECT_TRUE(first.prepare().ok());
}

// A start for a server library shares the data folder (backups, safety
// copies) but no data file: the refusal names the folder.
TEST(Startup, ASecondServerStartIsRefusedNamingTheFolder)
{
    TestApp app;
    Startup first(app.appDir());
    ASSERT_TRUE(first.prepare(true).ok());
    Startup second(app.appDir());
    const QString refused = second.prepare(true).message();
    EXPECT_TRUE(refused.contains("已经在运行")) << refused.toStdString();
    EXPECT_TRUE(refused.contains(QDir::toNativeSeparators(app.appDir()))) << refused.toStdString();
    EXPECT_FALSE(refused.contains("ProSys.mdb")) << refused.toStdString();
    EXPECT_FALSE(refused.contains("数据库文件")) << refused.toStdString();
}

TEST(Startup, ALockLeftByAProgramThatEndedDoesNotCount)
{
    TestApp app;
    const QString lockPath = app.dataFile() + ".lock";
    {
        // A lock as the program writes it, but of a process that has ended.
        QLockFile lock(lockPath);
        ASSERT_TRUE(lock.tryLock(0));
        QByteArray content = ReadAll(lockPath);
        content = QByteArray::number(EndedProcessId()) + content.mid(content.indexOf('\n'));
        lock.unlock();
        ASSERT_TRUE(WriteAll(lockPath, content));
    }
    Startup start(app.appDir());
    EXPECT_TRUE(start.prepare().ok());
}

TEST(Startup, AnUnreadableOldLockDoesNotCount)
{
    // A program killed between making its lock and writing it leaves an
    // empty file, which must not keep every later start out.
    TestApp app;
    const QString lockPath = app.dataFile() + ".lock";
    ASSERT_TRUE(WriteAll(lockPath, ""));
    QFile lock(lockPath);
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    lock.close();
    Startup start(app.appDir());
    EXPECT_TRUE(start.prepare().ok());
}

TEST(Startup, LeftOverStagedCopiesAreRemovedAndNothingElse)
{
    TestApp app;
    ASSERT_TRUE(QDir(app.appDir()).mkdir(kBackupFolderName));
    struct Case {
        const char *path;
        bool removed;
    };
    const Case cases[] = {
        {"ProSys.mdb.a1B2c3", true},
        {"数据库备份/ProSys.mdb.Zz9Yy8", true},
        {"数据库备份/ProSys_更新前_20261209.mdb.Qw12Er", true},
        {"Other.mdb.a1B2c3", false},   // not the data file's copy
        {"数据库备份/ProSys.mdb", false},
        {"数据库备份/说明.txt.a1B2c3", false},
        {"数据库备份/ProSys.mdb.a1B2c", false},   // five characters
        // The user's own copies, whatever six characters they end with.
        {"ProSys.mdb.backup", false},
        {"ProSys.mdb.202412", false},
        {"ProSys.mdb.Backup", false},
        {"数据库备份/ProSys.mdb.202412", false},
        {"数据库备份/专家库.mdb.old123", false},
        // The names copies are staged under now.
        {".ProSys.mdb.kestrune-staged-a1b2c3", true},
        {"数据库备份/.专家库备份_20261209.mdb.kestrune-staged-Q1w2E3", true},
        {".Other.mdb.kestrune-staged-a1b2c3", false},
        // A server's backup works in a hidden folder of its own.
        {"数据库备份/.kestrune-Ab12Cd/ProSys.mdb", true},
        {"数据库备份/kestrune-Ab12Cd/ProSys.mdb", false},
        {".kestrune-Ab12Cd/ProSys.mdb", false},
    };
    for (const Case &c : cases) {
        const QString path = QDir(app.appDir()).filePath(QString::fromUtf8(c.path));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        ASSERT_TRUE(WriteAll(path, "x")) << c.path;
    }

    Startup start(app.appDir());
    ASSERT_TRUE(start.prepare().ok());
    for (const Case &c : cases)
        EXPECT_EQ(QFileInfo::exists(QDir(app.appDir()).filePath(QString::fromUtf8(c.path))), !c.removed) << c.path;
    EXPECT_TRUE(QFileInfo::exists(app.dataFile()));
    EXPECT_TRUE(QFileInfo::exists(app.dataFile() + ".lock"));
}

TEST(Startup, TemporaryFoldersOfEndedRunsAreRemoved)
{
    const QString tmp = QDir::tempPath();
    const QString ended = QStringLiteral("kestrune-import-%1-Ab12Cd").arg(EndedProcessId());
    const QString running = QStringLiteral("kestrune-import-%1-Ef34Gh").arg(QCoreApplication::applicationPid());
    for (const QString &name : {ended, running}) {
        ASSERT_TRUE(QDir(tmp).mkpath(name + "/sub"));
        ASSERT_TRUE(WriteAll(QDir(tmp).filePath(name + "/sub/sheet.csv"), "身份证号"));
    }
    // A folder made by this run carries this process's id.
    QTemporaryDir mine(RunFolderTemplate("import"));
    ASSERT_TRUE(mine.isValid());

    RemoveLeftoverRunFolders();
    EXPECT_FALSE(QFileInfo::exists(QDir(tmp).filePath(ended)));
    EXPECT_TRUE(QFileInfo::exists(QDir(tmp).filePath(running)));
    EXPECT_TRUE(QFileInfo::exists(mine.path()));
    QDir(QDir(tmp).filePath(running)).removeRecursively();
}

TEST(Startup, ASoundDataFileGivesNoReport)
{
    TestApp app;
    app.addExperts(60);
    Startup start(app.appDir());
    ASSERT_TRUE(start.prepare().ok());
    EXPECT_EQ(start.integrityReport(), "");
}

TEST(Startup, ADamagedDataFileIsReportedWithTheNewestSoundCopy)
{
    enum Copies { ExitBackupOnly, NewerDamagedSafetyCopy, NewerSoundSafetyCopy, None };
    for (Copies copies : {ExitBackupOnly, NewerDamagedSafetyCopy, NewerSoundSafetyCopy, None}) {
        SCOPED_TRACE(int(copies));
        TestApp app;
        app.addExperts(80);
        const QString exitBackup = BackupCopy(app, "ProSys.mdb");
        const QString safetyCopy = BackupCopy(app, "ProSys_更新前_20261209.mdb");
        if (copies != None) {
            ASSERT_TRUE(BackupDataFile(app.appDir()).ok());
            ASSERT_TRUE(SetWritten(exitBackup, QDateTime(QDate(2026, 12, 1), QTime(17, 30))));
        }
        if (copies == NewerDamagedSafetyCopy || copies == NewerSoundSafetyCopy) {
            ASSERT_TRUE(QFile::copy(exitBackup, safetyCopy));
            if (copies == NewerDamagedSafetyCopy)
                ASSERT_TRUE(DamagePages(safetyCopy));
            ASSERT_TRUE(SetWritten(safetyCopy, QDateTime(QDate(2026, 12, 8), QTime(9, 5))));
        }
        ASSERT_TRUE(DamagePages(app.dataFile()));
        const QByteArray damaged = ReadAll(app.dataFile());

        Startup start(app.appDir());
        // The file opens: only the check finds the damage.
        ASSERT_TRUE(start.prepare().ok());
        bool told = false;
        QObject context;
        start.startIntegrityCheck(&context, [&](const QString &) { told = true; });
        const QString report = start.integrityReport();
        EXPECT_TRUE(report.contains("已损坏")) << report.toStdString();
        EXPECT_TRUE(report.contains(QDir::toNativeSeparators(app.dataFile()))) << report.toStdString();
        switch (copies) {
        case ExitBackupOnly:
        case NewerDamagedSafetyCopy:
            EXPECT_TRUE(report.contains(QDir::toNativeSeparators(exitBackup) + "\n（2026-12-01 17:30 保存）"))
                << report.toStdString();
            EXPECT_FALSE(report.contains(QDir::toNativeSeparators(safetyCopy)));
            break;
        case NewerSoundSafetyCopy:
            EXPECT_TRUE(report.contains(QDir::toNativeSeparators(safetyCopy) + "\n（2026-12-08 09:05 保存）"))
                << report.toStdString();
            break;
        case None:
            EXPECT_TRUE(report.contains("没有完好的副本")) << report.toStdString();
            break;
        }
        // Told on the thread that waits for it, once the check is done.
        QCoreApplication::processEvents();
        EXPECT_TRUE(told);
        EXPECT_EQ(ReadAll(app.dataFile()), damaged);
    }
}

TEST(Startup, ADamagedFileNeverReplacesASoundCopy)
{
    TestApp app;
    app.addExperts(80);
    ASSERT_TRUE(BackupDataFile(app.appDir()).ok());
    const QString exitBackup = BackupCopy(app, "ProSys.mdb");
    const QByteArray sound = ReadAll(exitBackup);
    ASSERT_TRUE(DamagePages(app.dataFile()));

    // The exit backup and a safety copy both refuse it.
    const Outcome backup = BackupDataFile(app.appDir());
    EXPECT_FALSE(backup.ok());
    EXPECT_TRUE(backup.message().contains("已损坏")) << backup.message().toStdString();
    EXPECT_FALSE(backup.detail().isEmpty());
    EXPECT_EQ(ReadAll(exitBackup), sound);
    const QString target = BackupCopy(app, "ProSys_初始化前_20261209.mdb");
    EXPECT_FALSE(CopyDataFile(app.dataFile(), target).ok());
    EXPECT_FALSE(QFileInfo::exists(target));
}

}   // namespace
