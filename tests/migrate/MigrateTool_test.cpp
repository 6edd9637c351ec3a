#include "TestFiles.h"

#include "data/Schema.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
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

namespace {

// A real Access file with bytes of its data pages overwritten, the same
// bytes every run: what a failing disk or a broken copy leaves.
QString garbledCopy(const QTemporaryDir &dir, const QString &name, int bytesPerPage)
{
    QFile in(accessFile(name));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    quint32 state = 3;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    constexpr int kPage = 4096;
    for (qsizetype page = 3; page < bytes.size() / kPage; ++page)
        for (int k = 0; k < bytesPerPage; ++k)
            bytes[page * kPage + next() % kPage] = char(next() & 0xFF);
    const QString path = dir.filePath(QStringLiteral("garbled-%1-%2").arg(bytesPerPage).arg(name));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return path;
}

}   // namespace

// What the Access reader writes about pages it cannot make sense of never
// reaches the console on its own: the tool says in Chinese that the file is
// damaged, the reader's words only as details after it.
TEST(MigrateTool, ReaderComplaintsAboutADamagedFileComeAsDetailsOfAChineseSentence)
{
    QTemporaryDir dir;
    for (const int bytesPerPage : {20, 40, 80}) {
        SCOPED_TRACE(bytesPerPage);
        const QString garbled = garbledCopy(dir, "jet4-access2003-column-types.mdb", bytesPerPage);
        ASSERT_FALSE(garbled.isEmpty());
        // Every table is read to be listed.
        const ToolRun r = run({"--list", garbled});
        EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("无法读取 Access 数据库"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("压缩和修复数据库"))) << r.err.toStdString();
        // The reader's words only after the details' mark.
        const qsizetype details = r.err.indexOf(QStringLiteral("详细信息："));
        const QString before = details < 0 ? r.err : r.err.left(details);
        static const QRegularExpression reader(QStringLiteral("warning|mdb_|unknown|unrecognized|offset"),
                                               QRegularExpression::CaseInsensitiveOption);
        EXPECT_FALSE(before.contains(reader)) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("0000x")) << r.out.toStdString();   // the reader's page dumps
    }
}
