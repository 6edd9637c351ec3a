// Runs the built program itself: what its command line does before any
// window opens, and where it puts its data file.
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The program is built beside the tests' folder.
QString programPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../kestrune"));
}

QStringList filesUnder(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

// A copy of the program in a folder of its own, with a home of its own: the
// copy's folder holds nothing else until the program writes there.
struct Sandbox {
    QTemporaryDir root;
    QString program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    explicit Sandbox(const QString &programFolder = QStringLiteral("prog"))
    {
        QDir().mkpath(root.filePath(programFolder));
        program = root.filePath(programFolder + QStringLiteral("/kestrune"));
        QFile::copy(programPath(), program);
        QFile::setPermissions(program, QFile::permissions(programPath()));
        QDir().mkpath(root.filePath("home"));
        env.insert("HOME", root.filePath("home"));
        env.insert("XDG_DATA_HOME", root.filePath("home/data"));
        env.insert("XDG_CONFIG_HOME", root.filePath("home/config"));
        env.insert("XDG_RUNTIME_DIR", root.filePath("home"));
    }

    struct Run {
        int exitCode = -1;
        QString out, err;
    };
    Run run(const QStringList &args, bool withDisplay) const
    {
        QProcess p;
        QProcessEnvironment e = env;
        if (!withDisplay) {
            // Nothing to show a window on: only a program that never tries
            // to gets through.
            e.remove("QT_QPA_PLATFORM");
            e.remove("DISPLAY");
            e.remove("WAYLAND_DISPLAY");
        }
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(root.filePath("home"));
        p.start(program, args);
        Run r;
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    // Starts the program offscreen and waits until it has made the data
    // file: the file has its pages and no journal beside it, so the first
    // start's write has committed. Ends it again.
    bool startUntil(const QStringList &args, const QString &file) const
    {
        QProcess p;
        QProcessEnvironment e = env;
        e.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(root.filePath("home"));
        p.start(program, args);
        const auto made = [&file] {
            return QFileInfo(file).size() > 0 && !QFileInfo::exists(file + QStringLiteral("-journal"));
        };
        // The deadline only keeps a program that never gets there from
        // hanging the test.
        const QDeadlineTimer deadline(20000);
        bool appeared = made();
        while (!appeared && p.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            p.waitForFinished(20);   // a short pause, or at once when it ends
            appeared = made();
        }
        p.kill();
        p.waitForFinished();
        return appeared;
    }
};

}   // namespace

TEST(Program, HelpAndVersionNeedNoDisplayAndTouchNoFile)
{
    ASSERT_TRUE(QFileInfo(programPath()).isExecutable()) << programPath().toStdString();
    Sandbox box;
    const QStringList before = filesUnder(box.root.path());
    const Sandbox::Run help = box.run({"--help"}, false);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains("--data-dir <DIR>"));
    EXPECT_TRUE(help.out.contains("--version"));
    const Sandbox::Run version = box.run({"--version"}, false);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("kestrune ")) << version.out.toStdString();
    EXPECT_EQ(filesUnder(box.root.path()), before);
}

TEST(Program, AnUnknownOptionPrintsTheUsageAndEndsWithoutAWindowOrAFile)
{
    Sandbox box;
    // Templates beside it: a start would make ProSys.mdb right here.
    ASSERT_TRUE(WriteAll(box.root.filePath("prog/SelExpert_Plate.xls"), "x"));
    const QStringList before = filesUnder(box.root.path());
    for (const QStringList &args : {QStringList{"--bogus"}, QStringList{"--data-dir"}, QStringList{"stray"},
                                    QStringList{"--server", "mysql://dbhost/lib"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Sandbox::Run r = box.run(args, false);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.exitCode, -1);   // it ended by itself, and did not crash
        EXPECT_TRUE(r.err.contains("Usage: kestrune")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(filesUnder(box.root.path()), before);
}

TEST(Program, AnInstalledTreeKeepsItsDataInTheUsersDataFolder)
{
    Sandbox box(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QDir().mkpath(box.root.filePath("usr/share/kestrune")));
    ASSERT_TRUE(WriteAll(box.root.filePath("usr/share/kestrune/SelExpert_Plate.xls"), "x"));
    EXPECT_TRUE(box.startUntil({}, box.root.filePath("home/data/kestrune/ProSys.mdb")));
    // Nothing under the prefix but what was installed.
    EXPECT_EQ(filesUnder(box.root.filePath("usr")),
              QStringList({"bin/kestrune", "share/kestrune/SelExpert_Plate.xls"}));
}

TEST(Program, TheChosenDataFolderHoldsTheData)
{
    Sandbox box;
    ASSERT_TRUE(WriteAll(box.root.filePath("prog/SelExpert_Plate.xls"), "x"));
    EXPECT_TRUE(
        box.startUntil({"--data-dir", box.root.filePath("chosen/data")}, box.root.filePath("chosen/data/ProSys.mdb")));
    EXPECT_EQ(filesUnder(box.root.filePath("prog")), QStringList({"SelExpert_Plate.xls", "kestrune"}));
    EXPECT_FALSE(QFileInfo::exists(box.root.filePath("home/data")));
}
