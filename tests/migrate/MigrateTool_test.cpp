#include "TestFiles.h"

#include "data/Schema.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The built kestrune-migrate, run as IT staff run it.
namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun run(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(KESTRUNE_MIGRATE_TOOL), args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString accessFile(const QString &name) { return QDir(KESTRUNE_ACCESS_FILES).filePath(name); }

TEST(MigrateTool, ListsEachTableWithItsRecordsAndColumns)
{
    QStringList wide;
    for (int i = 1; i <= 89; ++i)
        wide << QString("column%1").arg(i);
    const QString fourTables = "Table1\t2\tA,B,C,D,E,F,G,H,I\n"
                               "Table2\t0\t" +
                               wide.join(',') +
                               "\n"
                               "Table3\t0\ta,b\n"
                               "Table4\t0\tname,data\n";
    struct Case {
        const char *file;
        QString out;
    } cases[] = {
        {"jet3-access97.mdb", fourTables},
        {"jet4-access2003-column-types.mdb", fourTables},
        {"jet4-access2000.mdb", "Table1\t3\tID,Data\n"},
        {"jet4-access2000-password.mdb", "Table1\t3\tID,Data\n"},
        {"jet4-access2003-password.mdb", "Table1\t3\tID,Data\n"},
        {"jet4-access2003-empty.mdb", ""},
    };
    for (const Case &c : cases) {
        const ToolRun r = run({"--list", accessFile(c.file)});
        EXPECT_EQ(r.exitCode, 0) << c.file << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, c.out) << c.file;
        EXPECT_EQ(r.err, "") << c.file;
    }
}

TEST(MigrateTool, RefusesWithAMessageAndAnErrorExit)
{
    QTemporaryDir dir;
    const QString kestrune = QDir(dir.path()).filePath("ProSys.mdb");
    CreateDataFile(kestrune);
    const QByteArray kestruneBytes = ReadAll(kestrune);
    const QString target = QDir(dir.path()).filePath("new.mdb");

    struct Case {
        QStringList args;
        int exitCode;
        const char *message;
    } cases[] = {
        {{"--list", accessFile("ace-access2010-password.accdb")}, 1, "是 Access 2010 的 .accdb 数据库，本程序无法读取"},
        {{"--list", kestrune}, 1, "是 Kestrune 的数据库文件（SQLCipher 加密），不是 Access 数据库"},
        {{accessFile("ace-access2010-password.accdb"), "--out", target}, 1, ".accdb"},
        {{kestrune, "--out", target}, 1, "Kestrune 的数据库文件"},
        {{accessFile("jet4-access2000.mdb"), "--out", target}, 1, "这不是专家库的数据库"},
        {{accessFile("jet4-access2000.mdb"), "--out", kestrune}, 1, "已存在，不会覆盖"},
        {{"--list"}, 2, "用法"},
        {{}, 2, "用法"},
    };
    for (const Case &c : cases) {
        const ToolRun r = run(c.args);
        const std::string what = c.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << what;
        EXPECT_TRUE(r.err.contains(c.message)) << what << ": " << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(target)) << what;
    }
    EXPECT_EQ(ReadAll(kestrune), kestruneBytes);
}

}   // namespace
