// What a killed run leaves outside the data file: an export's staged file in
// the user's folder and a preview in the run area. The next start removes
// exactly those.

#include "TestFiles.h"
#include "data/FileCopy.h"
#include "files/RunFolders.h"
#include "files/StagedFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList Hidden(const QString &dir) { return QDir(dir).entryList({".*"}, QDir::Files | QDir::Hidden); }

// Runs work in a child process that ends without any clean-up, as a killed
// run does; returns what the child wrote to its pipe.
QString InAKilledRun(const std::function<QString()> &work)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        const QByteArray said = work().toUtf8();
        (void)!::write(pipeEnds[1], said.constData(), size_t(said.size()));
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    QByteArray said;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, n);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return QString::fromUtf8(said);
}

TEST(KilledRun, TheExportsStagedFileIsRemovedAtTheNextStartAndNothingElse)
{
    QTemporaryDir appDir, exports;
    ASSERT_TRUE(EnsureRunArea(appDir.path()));
    const QString area = RunAreaPath(appDir.path());
    const QString target = exports.filePath("专家名单.xls");
    // The user's own files in the same folder, one of them hidden.
    ASSERT_TRUE(WriteAll(exports.filePath(".专家名单.backup.xls"), "mine"));
    ASSERT_TRUE(WriteAll(exports.filePath("专家名单.xls.202412"), "mine"));

    const QString staged = InAKilledRun([&] {
        auto *file = new StagedFile(target, ".xls", area);   // never destroyed: the run is killed
        return file->create() ? file->path() : QString();
    });
    ASSERT_FALSE(staged.isEmpty());
    ASSERT_TRUE(QFileInfo::exists(staged));
    // A note naming a file the user has since put there under another name
    // is no reason to remove it.
    ASSERT_TRUE(WriteAll(exports.filePath("报表.xls"), "mine"));
    QTemporaryFile note(QDir(area).filePath("staged-XXXXXX"));
    note.setAutoRemove(false);
    ASSERT_TRUE(note.open());
    note.write(exports.filePath("报表.xls").toUtf8());
    note.close();

    EXPECT_EQ(RemoveLeftoverStagedFiles(area), 1);
    EXPECT_FALSE(QFileInfo::exists(staged));
    for (const char *mine : {".专家名单.backup.xls", "专家名单.xls.202412", "报表.xls"})
        EXPECT_EQ(ReadAll(exports.filePath(QString::fromUtf8(mine))), "mine") << mine;
    // The notes went with it.
    EXPECT_TRUE(QDir(area).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(KilledRun, AnExportThatEndsLeavesNoNote)
{
    QTemporaryDir appDir, exports;
    ASSERT_TRUE(EnsureRunArea(appDir.path()));
    const QString area = RunAreaPath(appDir.path());
    for (bool placed : {false, true}) {
        {
            StagedFile file(exports.filePath("专家名单.xls"), ".xls", area);
            ASSERT_TRUE(file.create().ok());
            EXPECT_EQ(QDir(area).entryList(QDir::Files).size(), 1);
            if (placed)
                ASSERT_TRUE(file.place().ok());
        }
        EXPECT_TRUE(QDir(area).entryList(QDir::Files).isEmpty()) << placed;
    }
    EXPECT_TRUE(QDir(area).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(Hidden(exports.path()).isEmpty());
}

TEST(KilledRun, APreviewStaysInTheRunAreaAndGoesAtTheNextStart)
{
    QTemporaryDir appDir;
    ASSERT_TRUE(EnsureRunArea(appDir.path()));
    const QString area = RunAreaPath(appDir.path());
    // Only the user may look into the run area.
    EXPECT_EQ(QFile::permissions(area) & (QFile::ReadOther | QFile::ReadGroup), QFileDevice::Permissions());
    const QString preview = InAKilledRun([&] {
        auto *folder = new QTemporaryDir(RunFolderTemplate("preview", area));
        WriteAll(folder->filePath("report.pdf"), "%PDF 张三 13800000000");
        return folder->path();
    });
    ASSERT_TRUE(preview.startsWith(area + "/kestrune-preview-")) << preview.toStdString();
    ASSERT_TRUE(QFileInfo::exists(preview + "/report.pdf"));
    // This run's own preview stays while it runs.
    QTemporaryDir mine(RunFolderTemplate("preview", area));
    ASSERT_TRUE(mine.isValid());

    EXPECT_GE(RemoveLeftoverRunFolders(area), 1);
    EXPECT_FALSE(QFileInfo::exists(preview));
    EXPECT_TRUE(QFileInfo::exists(mine.path()));
}

TEST(KilledRun, StagedCopyNamesAreTheProgramsAndNoUsers)
{
    struct Case {
        const char *name;
        bool staged;
    };
    const Case cases[] = {
        {".ProSys.mdb.kestrune-staged-a1b2c3", true},
        {"ProSys.mdb.a1B2c3", true},   // earlier versions
        {"ProSys.mdb.QwErTy", true},
        {"ProSys.mdb.backup", false},
        {"ProSys.mdb.Backup", false},
        {"ProSys.mdb.202412", false},
        {"ProSys.mdb.BACKUP", false},
        {"ProSys.mdb.old2024", false},
        {"ProSys.mdb", false},
        {"ProSys.mdb.kestrune-staged-a1b2c3", false},   // not hidden: not made so
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsStagedCopyName(QString::fromUtf8(c.name)), c.staged) << c.name;
    // Whatever CopyFileReplacing stages under is recognised.
    const QString name = QFileInfo(StagedNameTemplate("/data/ProSys.mdb")).fileName().replace("XXXXXX", "Ab3xZ9");
    EXPECT_TRUE(IsStagedCopyName(name)) << name.toStdString();
}

}   // namespace
