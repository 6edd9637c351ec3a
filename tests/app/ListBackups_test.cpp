// `kestrune --list-backups`, run as the built program: one line a restore
// point, newest first, with no display and without touching a file.
#include "TestApp.h"
#include "TestFiles.h"
#include "app/CommandLine.h"
#include "files/DataFolder.h"
#include "files/RestorePoints.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Listed {
    int exitCode = -1;
    QString out, err;
};

Listed RunListBackups(const QString &dataDir)
{
    const QString program = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../kestrune"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(program, {"--list-backups", "--data-dir", dataDir});
    Listed r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QMap<QString, QDateTime> Stamps(const QString &dir)
{
    QMap<QString, QDateTime> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        out.insert(f, QFileInfo(f).lastModified());
    }
    return out;
}

}   // namespace

TEST(ListBackups, TheOptionIsParsed)
{
    EXPECT_TRUE(ParseCommandLine({"kestrune", "--list-backups"}, "1").listBackups);
    EXPECT_FALSE(ParseCommandLine({"kestrune"}, "1").listBackups);
    EXPECT_TRUE(ParseCommandLine({"kestrune", "--help"}, "1").output.contains("--list-backups"));
}

TEST(ListBackups, PrintsOneLineARestorePointWithItsCounts)
{
    TestApp app;
    const QString folder = BackupFolderPath(app.appDir());
    const QString exitBackup = QDir(folder).filePath("ProSys.mdb");
    app.addExpert("甲");
    app.addSelection("2026-12-08", "000001");
    ASSERT_TRUE(BackupLibrary(app.state.store).ok());
    ASSERT_TRUE(KeepRestorePoint(folder, exitBackup, QString(), QDate(2026, 12, 8)).ok());
    app.addExpert("乙");
    ASSERT_TRUE(BackupLibrary(app.state.store).ok());
    ASSERT_TRUE(KeepRestorePoint(folder, exitBackup, QString(), QDate(2026, 12, 9)).ok());
    app.state.store.library().release();
    const auto before = Stamps(app.appDir());

    const Listed r = RunListBackups(app.appDir());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    const struct {
        const char *start;
        const char *counts;
    } expected[] = {{"2026-12-09", "专家 2  抽取记录 1  完好"}, {"2026-12-08", "专家 1  抽取记录 1  完好"}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(lines[i].startsWith(QString::fromUtf8(expected[i].start))) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].contains(QString::fromUtf8(expected[i].counts))) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].endsWith(QDir::toNativeSeparators(
            RestorePointPath(folder, QDate::fromString(QString::fromLatin1(expected[i].start), Qt::ISODate)))));
    }
    EXPECT_EQ(Stamps(app.appDir()), before);
}

TEST(ListBackups, SaysSoWhenThereIsNothingToList)
{
    QTemporaryDir empty;
    const Listed none = RunListBackups(empty.path());
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.contains("没有还原点")) << none.err.toStdString();

    const Listed missing = RunListBackups(empty.filePath("不存在"));
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.exitCode, -1);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(empty.filePath("不存在")));
}
