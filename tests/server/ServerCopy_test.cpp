// kestrune-server-copy: a library from a data file onto a server and back.

#include "Draws.h"
#include "data/ServerBackend.h"
#include "TestApp.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/LibraryCopy.h"
#include "data/Schema.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString output;
};

ToolRun runTool(const QStringList &args)
{
    QProcess tool;
    tool.start(QStringLiteral(KESTRUNE_SERVER_COPY_TOOL), args);
    tool.waitForFinished(120000);
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError())};
}

// Every table of a library, every record in Id order with nulls marked.
QList<QStringList> everything(Connection &conn)
{
    QList<QStringList> out;
    for (const TableDef *t : Schema::AllTables()) {
        Statement st = conn.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY Id").arg(t->fields.join(','), t->name));
        while (st.step()) {
            QStringList row{t->name};
            for (int c = 0; c < t->fields.size(); ++c)
                row << (st.isNull(c) ? QStringLiteral("<null>") : st.text(c));
            out << row;
        }
    }
    // The project tables in the order of writing, bytes as hex.
    for (const QString &table : ProjectTableNames()) {
        QStringList fields = conn.tableFields(table);
        fields.removeIf([](const QString &f) { return f.toLower() == "rowid"; });
        Statement st = conn.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(fields.join(','), table));
        while (st.step()) {
            QStringList row{table};
            for (int c = 0; c < fields.size(); ++c)
                row << (st.isNull(c)     ? QStringLiteral("<null>")
                        : st.isBinary(c) ? QString::fromLatin1(st.blob(c).toHex())
                                         : st.text(c));
            out << row;
        }
    }
    return out;
}

class ServerCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        // A library with gaps in its numbers, text that needs care and a null.
        file.addExpert("张三");
        file.addExpert("O'Brien; --");
        file.addExpert("李四");
        file.addSelection("2026-12-01", "000001");
        file.addSelection("2026-12-01", "000003");
        file.addUser("000005", "经理", "密码 ", "1");
        // Two stored draws: projects with their rounds (candidates kept as
        // bytes) and experts, and an attendance.
        StoreTestDraw(file.state.store, {"000001", "000002"}, "项目一");
        StoreTestDraw(file.state.store, {"000003"}, "项目二");
        ASSERT_TRUE(SetAttendance(file.state.store, "000001", 2, Attendance::Declined, "病假", "admin",
                                  QDateTime(QDate(2026, 12, 11), QTime(9, 0)))
                        .value());
        Connection conn = OpenDataFile(file.state.store);
        conn.exec("DELETE FROM expert_msg WHERE Id = '000002'");
        conn.exec("UPDATE expert_msg SET Resume = NULL WHERE Id = '000003'");
    }
    TestApp file;
};

}   // namespace

TEST_F(ServerCopy, FileToServerAndBackKeepsEveryRecord)
{
    ServerDatabase db;
    const ToolRun up = runTool({"--to-server", file.dataFile(), db.source().uri});
    ASSERT_EQ(up.exitCode, 0) << up.output.toStdString();

    Connection original = OpenDataFile(file.state.store);
    const QList<QStringList> before = everything(original);
    {
        Connection server = Connection::connect(db.source());
        EXPECT_TRUE(CheckSchema(server).ok());
        EXPECT_EQ(everything(server), before);
    }
    // The program uses the copy as it is.
    DataStore store;
    store.source = db.source();
    ServerBackend(store.source).prepare();
    LoadAllTables(store);
    EXPECT_EQ(store.ExpertTable.count(), 2);
    EXPECT_EQ(store.ProjectTable.count(), 2);
    EXPECT_EQ(store.ExpertTable.cell(1, Schema::E_Resume).toString(), "");

    const QString back = file.dir.filePath("back.mdb");
    const ToolRun down = runTool({"--to-file", db.source().uri, back});
    ASSERT_EQ(down.exitCode, 0) << down.output.toStdString();
    Connection copy = Connection::open(back);
    EXPECT_TRUE(CheckSchema(copy).ok());
    EXPECT_EQ(everything(copy), before);
}

TEST_F(ServerCopy, RefusesToOverwrite)
{
    ServerDatabase db;
    ASSERT_EQ(runTool({"--to-server", file.dataFile(), db.source().uri}).exitCode, 0);
    // A server database with a library already: nothing changes.
    file.addExpert("新人");
    const ToolRun again = runTool({"--to-server", file.dataFile(), db.source().uri});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.output.contains("不是空的")) << again.output.toStdString();
    {
        Connection server = Connection::connect(db.source());
        Statement st = server.prepare("SELECT count(*) FROM expert_msg");
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.text(0), "2");
    }
    // An existing file is left as it was.
    const QByteArray before = [&] {
        QFile f(file.dataFile());
        f.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }();
    const ToolRun down = runTool({"--to-file", db.source().uri, file.dataFile()});
    EXPECT_EQ(down.exitCode, 1);
    QFile f(file.dataFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256), before);

    EXPECT_EQ(runTool({"--to-server", file.dataFile()}).exitCode, 2);
}

namespace {

// Refused before any server is asked, so no server is needed: an address
// of another database system, a target folder that is not there.
TEST(ServerCopyTool, WrongAddressesAndMissingFoldersAreRefusedInChinese)
{
    TestApp file;
    file.addExpert("张三");
    QTemporaryDir dir;
    const QString missing = dir.filePath("没有的文件夹/ProSys.mdb");
    struct Case {
        QStringList args;
        int exitCode;
        const char *expected;
    };
    const Case cases[] = {
        {{"--to-server", file.dataFile(), "mysql://root@localhost/kestrune"},
         2,
         "须以 postgresql:// 或 postgres:// 开头"},
        {{"--to-file", "mysql://root@localhost/kestrune", dir.filePath("new.mdb")},
         2,
         "须以 postgresql:// 或 postgres:// 开头"},
        {{"--to-file", "sqlite:///tmp/x.db", dir.filePath("new.mdb")}, 2, "须以 postgresql:// 或 postgres:// 开头"},
        {{"--to-file", "postgresql://localhost", dir.filePath("new.mdb")}, 2, "缺少数据库名"},
        {{"--to-file", "postgresql://127.0.0.1:1/kestrune", missing}, 1, "文件夹"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output.toStdString();
        EXPECT_TRUE(r.output.contains(QString::fromUtf8(c.expected))) << r.output.toStdString();
        EXPECT_FALSE(r.output.contains("unable to open")) << r.output.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("new.mdb")));
    }
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(missing).absolutePath()));
}

}   // namespace
