// The office processes that a report or an import starts end with the
// program, however it ends.

#include "TestFiles.h"
#include "files/RunFolders.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

// A process that runs, as opposed to one that has ended (a zombie that only
// waits to be reaped has ended too).
bool Runs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.size() > close + 2 && line.at(close + 2) != 'Z';
}

TEST(OfficeLifetime, TheOfficeEndsWhenTheProgramIsKilled)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The program below runs in a new process that runs this test again up
    // to that point: it finds the folder through the environment.
    const char *kFolder = "KESTRUNE_OFFICE_LIFETIME_DIR";
    std::optional<QTemporaryDir> made;
    if (qEnvironmentVariableIsEmpty(kFolder)) {
        made.emplace();
        qputenv(kFolder, QFile::encodeName(made->path()));
    }
    const QDir dir(qEnvironmentVariable(kFolder));
    const QString pidFile = dir.filePath("office.pid");
    // An "office" that starts and then never answers, as a hung one would.
    const QString office = dir.filePath("soffice");
    if (made) {
        // It lets go of every file it was given, so that only its life
        // counts, not what it holds open.
        ASSERT_TRUE(WriteAll(office, QStringLiteral("#!/bin/bash\n"
                                                    "for fd in $(ls /proc/$$/fd); do\n"
                                                    "  [ \"$fd\" -gt 2 ] && eval \"exec $fd>&-\"\n"
                                                    "done\n"
                                                    "exec </dev/null >/dev/null 2>&1\n"
                                                    "echo $$ > '%1.part' && mv '%1.part' '%1'\n"
                                                    "exec sleep 300\n")
                                         .arg(pidFile)
                                         .toLocal8Bit()));
        ASSERT_TRUE(QFile::setPermissions(office, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // The program: it starts the office for a report and is then killed.
    EXPECT_EXIT(
        {
            std::unique_ptr<SpreadsheetEngine> engine = MakeLibreOfficeEngineAt(office);
            std::thread([&engine] {
                try {
                    engine->create();
                } catch (const SpreadsheetError &) {
                }
            }).detach();
            QDeadlineTimer started(20000);
            while (!QFileInfo::exists(pidFile) && !started.hasExpired())
                QThread::msleep(20);
            ::kill(::getpid(), SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    qunsetenv(kFolder);

    const qint64 pid = ReadAll(pidFile).trimmed().toLongLong();
    ASSERT_GT(pid, 0) << "the office was never started";
    QDeadlineTimer gone(10000);
    while (Runs(pid) && !gone.hasExpired())
        QThread::msleep(20);
    const bool survived = Runs(pid);
    if (survived)
        ::kill(pid_t(pid), SIGKILL);
    EXPECT_FALSE(survived) << "the office outlived the program";
    // What the killed program left in the temporary folder goes at the next start.
    RemoveLeftoverRunFolders();
}

}   // namespace
