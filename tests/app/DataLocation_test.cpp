#include "TestFiles.h"

#include "app/CommandLine.h"
#include "app/DataLocation.h"
#include "data/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A temporary tree: a program folder, maybe a share folder beside its bin
// folder, and a user data folder.
struct Tree {
    QTemporaryDir root;
    QString path(const QString &relative) const { return QDir::cleanPath(root.filePath(relative)); }
    void file(const QString &relative) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        ASSERT_TRUE(WriteAll(path(relative), "x"));
    }
    void folder(const QString &relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }
};

}   // namespace

TEST(DataLocation, PortableInstalledAndChosenFolders)
{
    struct Case {
        const char *name;
        QStringList files;     // relative to the tree
        QString program;       // the program's folder
        QString explicitDir;   // "" or relative to the tree
        QString dataDir, templateDir;
        bool portable;
    } cases[] = {
        {"a build folder holds the templates", {"prog/SelExpert_Plate.xls"}, "prog", "", "prog", "prog", true},
        {"a folder with only its database file", {"prog/ProSys.mdb"}, "prog", "", "prog", "prog", true},
        {"templates beside the program win over a share folder",
         {"usr/bin/ExpertSearch_Plate.xls", "usr/share/kestrune/ExpertSearch_Plate.xls"},
         "usr/bin",
         "",
         "usr/bin",
         "usr/bin",
         true},
        {"an installed tree",
         {"usr/bin/kestrune", "usr/share/kestrune/ExpertHistroy_Plate.xls"},
         "usr/bin",
         "",
         "home/data",
         "usr/share/kestrune",
         false},
        {"a database in share is no reason to write beside the program",
         {"usr/bin/kestrune", "usr/share/kestrune/ProSys.mdb"},
         "usr/bin",
         "",
         "home/data",
         "usr/share/kestrune",
         false},
        {"a lone program never writes beside itself", {"opt/kestrune"}, "opt", "", "home/data", "opt", false},
        {"a chosen folder for an installed program",
         {"usr/bin/kestrune", "usr/share/kestrune/SelExpert_Plate.xls"},
         "usr/bin",
         "elsewhere/data",
         "elsewhere/data",
         "usr/share/kestrune",
         false},
        {"a chosen folder for a portable program",
         {"prog/SelExpert_Plate.xls"},
         "prog",
         "stick",
         "stick",
         "prog",
         false},
        {"the program's own folder chosen", {"prog/SelExpert_Plate.xls"}, "prog", "prog", "prog", "prog", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Tree t;
        for (const QString &f : c.files)
            t.file(f);
        const DataLocation where = ResolveDataLocation(
            t.path(c.program), c.explicitDir.isEmpty() ? QString() : t.path(c.explicitDir), t.path("home/data"));
        EXPECT_EQ(where.dataDir, t.path(c.dataDir));
        EXPECT_EQ(where.templateDir, t.path(c.templateDir));
        EXPECT_EQ(where.portable, c.portable);
    }
}

TEST(DataLocation, ARelativeChosenFolderIsMadeAbsolute)
{
    Tree t;
    t.folder("prog");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(t.path("")));
    const DataLocation where = ResolveDataLocation(t.path("prog"), "mine/../data", t.path("home"));
    QDir::setCurrent(before);
    EXPECT_EQ(where.dataDir, t.path("data"));
}

TEST(DataLocation, TheDataFolderIsCreatedOrItsProblemNamed)
{
    Tree t;
    EXPECT_EQ(PrepareDataFolder(t.path("a/b/c")), QString());
    EXPECT_TRUE(QFileInfo(t.path("a/b/c")).isDir());
    EXPECT_EQ(PrepareDataFolder(t.path("a/b/c")), QString());   // already there

    // A folder the program makes is its owner's alone even under a lax
    // umask; one the user made keeps the user's mode.
    const mode_t was = ::umask(0);
    EXPECT_EQ(PrepareDataFolder(t.path("lax/data")), QString());
    ::umask(was);
    const auto mode = [](const QString &path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    EXPECT_EQ(mode(t.path("lax/data")), 0700);
    ASSERT_TRUE(QDir().mkpath(t.path("mine")));
    ::chmod(QFile::encodeName(t.path("mine")).constData(), 0755);
    EXPECT_EQ(PrepareDataFolder(t.path("mine")), QString());
    EXPECT_EQ(mode(t.path("mine")), 0755);

    t.file("plain");
    EXPECT_EQ(PrepareDataFolder(t.path("plain")),
              QStringLiteral("“%1”不是文件夹。").arg(QDir::toNativeSeparators(t.path("plain"))));
    EXPECT_EQ(ReadAll(t.path("plain")), "x");
    t.file("locked/inner");
    QFile::setPermissions(t.path("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(t.path("locked")).isWritable() || !QDir().mkdir(t.path("locked/probe"))) {
        EXPECT_TRUE(PrepareDataFolder(t.path("locked/sub")).startsWith("无法创建数据文件夹"));
    }   // else: running as root, every folder is writable
    QFile::setPermissions(t.path("locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // No home folder: no silent fallback to the current folder.
    EXPECT_TRUE(ResolveDataLocation(t.path("opt"), QString(), QString()).dataDir.isEmpty());
    EXPECT_TRUE(PrepareDataFolder(QString()).contains("--data-dir"));
}

TEST(CommandLine, OptionsAndWrongCommandLines)
{
    struct Case {
        QStringList args;
        bool run;
        int exitCode;   // when not run
        QString dataDir;
        const char *stdoutHas;
        const char *stderrHas;
    } cases[] = {
        {{}, true, 0, "", "", ""},
        {{"--data-dir", "/tmp/x"}, true, 0, "/tmp/x", "", ""},
        {{"--data-dir=/tmp/y"}, true, 0, "/tmp/y", "", ""},
        {{"-platform", "offscreen", "-style=fusion", "-reverse"}, true, 0, "", "", ""},
        {{"--help"}, false, 0, "", "--data-dir <DIR>", ""},
        {{"-h"}, false, 0, "", "Usage: kestrune", ""},
        {{"--version"}, false, 0, "", "kestrune 1.2.3", ""},
        {{"--bogus"}, false, 2, "", "", "--data-dir <DIR>"},
        {{"-x"}, false, 2, "", "", "Usage: kestrune"},
        {{"--data-dir"}, false, 2, "", "", "--data-dir"},
        {{"--data-dir", "  "}, false, 2, "", "", "--data-dir"},
        {{"stray"}, false, 2, "", "", "stray"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CommandLine cl = ParseCommandLine(QStringList{"/usr/bin/kestrune"} + c.args, "1.2.3");
        EXPECT_EQ(cl.run, c.run);
        if (c.run) {
            EXPECT_EQ(cl.dataDir, c.dataDir);
            EXPECT_TRUE(cl.output.isEmpty());
            EXPECT_TRUE(cl.errorOutput.isEmpty());
            continue;
        }
        EXPECT_EQ(cl.exitCode, c.exitCode);
        EXPECT_TRUE(cl.output.contains(QString::fromUtf8(c.stdoutHas))) << cl.output.toStdString();
        EXPECT_TRUE(cl.errorOutput.contains(QString::fromUtf8(c.stderrHas))) << cl.errorOutput.toStdString();
        if (c.exitCode != 0)
            EXPECT_TRUE(cl.output.isEmpty());
    }
}
