#include "TestApp.h"
#include "TestFiles.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/Recordset.h"
#include "data/Schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sqlite3.h>
#include <thread>

namespace {

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Runs the sqlcipher shell on a file; its output, or "<failed>" when it
// reports an error.
QString SqlcipherShell(const QString &path, const QString &script)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), QStringLiteral("-bail"), path});
    if (!shell.waitForStarted())
        return QStringLiteral("<sqlcipher did not start>");
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished();
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0)
        return QStringLiteral("<failed>");
    return QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
}

// The password with the file format's settings, as another SQLCipher 3
// program opens the data file.
QString PasswordKeyScript(const char *password)
{
    return QStringLiteral("PRAGMA key = '%1';\nPRAGMA cipher_page_size = 1024;\nPRAGMA kdf_iter = 64000;\n")
        .arg(QString::fromLatin1(password));
}

// While alive, connections opened in this process tell when the engine
// pauses to wait for a file that another program holds: the default file
// layer is wrapped so that each of its sleeps releases `slept`.
class EngineSleeps {
public:
    EngineSleeps()
    {
        s_real = sqlite3_vfs_find(nullptr);
        m_vfs = *s_real;
        m_vfs.zName = "kestrune-test-sleeps";
        m_vfs.xSleep = [](sqlite3_vfs *, int microseconds) {
            s_slept->release();
            return s_real->xSleep(s_real, microseconds);
        };
        s_slept = &slept;
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~EngineSleeps()
    {
        sqlite3_vfs_unregister(&m_vfs);
        s_slept = nullptr;
    }
    EngineSleeps(const EngineSleeps &) = delete;
    EngineSleeps &operator=(const EngineSleeps &) = delete;

    QSemaphore slept;

private:
    sqlite3_vfs m_vfs;
    static inline sqlite3_vfs *s_real = nullptr;
    static inline QSemaphore *s_slept = nullptr;
};

}   // namespace

TEST(FirstStart, CreatesTheSchemaAndInitialContent)
{
    TestApp app;
    ASSERT_TRUE(QFile::exists(app.dataFile()));
    ASSERT_EQ(app.state.store.UserTable.count(), 1);
    EXPECT_EQ(OpenedBy(app.state.store.UserTable.row(0), kInitialAdminPassword),
              QStringList({"000001", kInitialAdminName, kInitialAdminPassword, "0"}));
    // Row n of the title levels has an Id whose value is n, two digits.
    ASSERT_EQ(app.state.store.TitleTypeTable.count(), 6);
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(app.state.store.TitleTypeTable.cell(n, 0).toInt(), n);
    EXPECT_EQ(app.state.store.TitleTypeTable.cell(0, 1).toString(), "全部");
    EXPECT_EQ(app.state.store.TitleTypeTable.cell(3, 0).toString(), "03");
    EXPECT_EQ(app.state.store.DegreeTable.cell(0, 1).toString(), "全部");
    EXPECT_GT(app.state.store.DegreeTable.count(), 1);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 0);
    EXPECT_EQ(app.state.store.SelectionTable.count(), 0);

    Connection conn = OpenDataFile(app.state.store);
    EXPECT_TRUE(CheckSchema(conn).ok());
    Statement st = conn.prepare("PRAGMA journal_mode");
    st.step();
    EXPECT_EQ(st.text(0).toLower(), "delete");
}

TEST(FirstStart, FieldsStandInTheirPositions)
{
    TestApp app;
    Connection conn = OpenDataFile(app.state.store);
    for (const TableDef *t : Schema::AllTables()) {
        Statement st = conn.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(t->name));
        QStringList names;
        while (st.step())
            names << st.text(1);
        EXPECT_EQ(names, t->fields) << t->name.toStdString();
    }
    EXPECT_EQ(Schema::ExpertMsg().fields.size(), 29);
    EXPECT_EQ(Schema::ExpertMsg().fields[15], "zhicheng_id");
    EXPECT_EQ(Schema::ExpertMsg().fields[28], "Reg_date");
}

TEST(FileIsEncrypted, PlainSqliteCannotReadIt)
{
    TestApp app;
    QFile f(app.dataFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.read(16).startsWith("SQLite format 3"));
    f.close();
    // Opening without the key fails to read.
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(app.dataFile()).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    EXPECT_NE(sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Files are made with the same key derivation that opens them, so a file the
// program makes opens by the password elsewhere too, and a file made by the
// password opens in the program.
TEST(KeyDerivation, CreatedFilesOpenWithTheRawKeyAndWithThePassword)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ProSys.mdb");
    CreateDataFile(path);
    {
        Connection conn = Connection::open(path);
        EXPECT_TRUE(CheckSchema(conn).ok());
    }
    EXPECT_EQ(SqlcipherShell(path, PasswordKeyScript(kDatabasePassword) + "SELECT User_name FROM login_pwd;\n"),
              QString::fromLatin1(kInitialAdminName));
    EXPECT_EQ(SqlcipherShell(path, PasswordKeyScript("000000") + "SELECT count(*) FROM login_pwd;\n"), "<failed>")
        << "only the program's password opens it";

    // Every new file has a salt of its own.
    const QString second = dir.filePath("second.mdb");
    Connection::create(second).close();
    EXPECT_NE(ReadAll(path).left(16), ReadAll(second).left(16));

    const QString byPassword = dir.filePath("by-password.mdb");
    ASSERT_EQ(SqlcipherShell(byPassword, PasswordKeyScript(kDatabasePassword) +
                                             "CREATE TABLE t(x);\nINSERT INTO t VALUES('张三');\n"),
              "");
    Connection conn = Connection::open(byPassword);
    Statement st = conn.prepare("SELECT x FROM t");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.text(0), "张三");
}

struct BadFileCase {
    const char *name;
    QByteArray content;
};

class RefusesUnreadableFile : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(RefusesUnreadableFile, RaisesTheEngineErrorAndLeavesTheFileAlone)
{
    QTemporaryDir dir;
    const QString path = DataFilePath(dir.path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(GetParam().content);
    f.close();
    const QByteArray before = fileHash(path);
    try {
        EnsureDataFile(path);
        FAIL() << "no error for " << GetParam().name;
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains("ProSys.mdb")) << e.message().toStdString();
    }
    EXPECT_EQ(fileHash(path), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusesUnreadableFile,
                         ::testing::Values(BadFileCase{"garbage", QByteArray(4096, 'x')},
                                           BadFileCase{"short", QByteArray("abc")},
                                           BadFileCase{"empty", QByteArray()}));

TEST(RefusesUnreadableFile, WrongKeyIsRefused)
{
    QTemporaryDir dir;
    const QString path = DataFilePath(dir.path());
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_key(db, "other", 5);
        sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QByteArray before = fileHash(path);
    EXPECT_THROW(EnsureDataFile(path), DbError);
    EXPECT_EQ(fileHash(path), before);
}

TEST(RefusesUnreadableFile, MissingTableIsRefused)
{
    QTemporaryDir dir;
    const QString path = DataFilePath(dir.path());
    {
        Connection c = Connection::create(path);
        c.exec("CREATE TABLE login_pwd(Id TEXT PRIMARY KEY, User_name TEXT, Password TEXT, Limits TEXT)");
    }
    EXPECT_THROW(EnsureDataFile(path), DbError);
}

TEST(Loaders, NullsBecomeEmptyAndNothingIsTrimmed)
{
    TestApp app;
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("INSERT INTO sel_expert (Id, Sel_data, Expert_Id) VALUES ('000002', NULL, ' 7 ')");
        conn.exec("INSERT INTO sel_expert (Id, Sel_data, Expert_Id) VALUES ('000001', '2026-01-01', '000003')");
    }
    LoadSelections(app.state.store);
    ASSERT_EQ(app.state.store.SelectionTable.count(), 2);
    // Ascending Id order, whatever the insertion order.
    EXPECT_EQ(app.state.store.SelectionTable.row(0), QStringList({"000001", "2026-01-01", "000003"}));
    EXPECT_EQ(app.state.store.SelectionTable.row(1), QStringList({"000002", "", " 7 "}));
}

TEST(Loaders, ReloadAfterDeleteLeavesNoStaleRows)
{
    TestApp app;
    app.addExpert("甲");
    app.addExpert("乙");
    app.addExpert("丙");
    ASSERT_EQ(app.state.store.ExpertTable.count(), 3);
    {
        Connection conn = OpenDataFile(app.state.store);
        Recordset rs(conn, Schema::ExpertMsg());
        rs.findFirst("Id", "000002");
        ASSERT_FALSE(rs.noMatch());
        rs.deleteCurrent();
    }
    LoadExperts(app.state.store);
    ASSERT_EQ(app.state.store.ExpertTable.count(), 2);
    EXPECT_EQ(app.state.store.ExpertTable.cell(0, 1).toString(), "甲");
    EXPECT_EQ(app.state.store.ExpertTable.cell(1, 1).toString(), "丙");
    EXPECT_EQ(app.state.store.ExpertTable.row(1).size(), 29);
}

TEST(Loaders, EmptyTableGivesCountZero)
{
    TestApp app;
    LoadExperts(app.state.store);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 0);
}

TEST(Recordset, FindEditUpdateAndNoMatch)
{
    TestApp app;
    const QString id = app.addExpert("王五");
    Connection conn = OpenDataFile(app.state.store);
    Recordset rs(conn, Schema::ExpertMsg());
    rs.findFirst("Id", "999999");
    EXPECT_TRUE(rs.noMatch());
    rs.findFirst("Id", id);
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.field("Name"), "王五");
    rs.edit();
    rs.setField(1, "王六'); DROP TABLE expert_msg; --");
    rs.update();
    rs.close();
    LoadExperts(app.state.store);
    ASSERT_EQ(app.state.store.ExpertTable.count(), 1);
    EXPECT_EQ(app.state.store.ExpertTable.cell(0, 1).toString(), "王六'); DROP TABLE expert_msg; --");
    // An unknown field name is an error, never SQL text.
    Recordset rs2(conn, Schema::ExpertMsg());
    EXPECT_THROW(rs2.findFirst("Name = Name OR 1", "x"), DbError);
}

TEST(Transactions, FailedBatchLeavesNothingBehind)
{
    TestApp app;
    Connection conn = OpenDataFile(app.state.store);
    try {
        Transaction tx(conn);
        Recordset rs(conn, Schema::SelExpert());
        rs.addNew();
        rs.setField(0, "000001");
        rs.update();
        rs.addNew();
        rs.setField(0, "000001");   // duplicate key
        rs.update();
        tx.commit();
        FAIL();
    } catch (const DbError &) {
    }
    conn.close();
    EXPECT_EQ(app.countRows("sel_expert"), 0);
}

TEST(LargeTables, UsersOf32767AndExpertsAndSelectionsOf40000Load)
{
    TestApp app;
    {
        Connection conn = OpenDataFile(app.state.store);
        Transaction tx(conn);
        Statement u = conn.prepare("INSERT INTO login_pwd VALUES (?, ?, ?, '1')");
        for (int i = 2; i <= 32767; ++i) {
            u.reset();
            const QString id = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
            u.bind(1, id);
            u.bind(2, "u" + id);
            u.bind(3, "p");
            u.step();
        }
        Statement e = conn.prepare("INSERT INTO expert_msg (Id, Name) VALUES (?, ?)");
        Statement s = conn.prepare("INSERT INTO sel_expert VALUES (?, '2026-01-01', ?)");
        for (int i = 1; i <= 40000; ++i) {
            const QString id = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
            e.reset();
            e.bind(1, id);
            e.bind(2, "专家" + id);
            e.step();
            s.reset();
            s.bind(1, id);
            s.bind(2, id);
            s.step();
        }
        tx.commit();
    }
    app.reloadAll();
    EXPECT_EQ(app.state.store.UserTable.count(), 32767);
    EXPECT_EQ(app.state.store.ExpertTable.count(), 40000);
    EXPECT_EQ(app.state.store.SelectionTable.count(), 40000);
    EXPECT_EQ(app.state.store.ExpertTable.cell(39999, 0).toString(), "040000");
    EXPECT_EQ(app.state.store.ExpertTable.cell(39999, 2).toString(), "");
}

// A large table is read in two halves at once; whatever order the records
// were written in and whatever their Ids, the table is the file's in Id
// order, as one ordered read gives it.
TEST(LargeTables, ExpertsWrittenOutOfOrderLoadInIdOrder)
{
    TestApp app;
    const int n = 9001;
    {
        Connection conn = OpenDataFile(app.state.store);
        Transaction tx(conn);
        Statement e = conn.prepare("INSERT INTO expert_msg (Id, Name, Resume) VALUES (?, ?, ?)");
        for (int k = 0; k < n; ++k) {
            const int i = (k * 7919) % n;   // every number once, scattered
            // Ids of the engine's text order beyond ASCII, as an old file may hold.
            const QString id =
                i % 97 == 0 ? QStringLiteral("专%1").arg(i) : QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
            e.reset();
            e.bind(1, id);
            e.bind(2, QStringLiteral("名字%1").arg(i));
            if (i % 5 == 0)
                e.bindNull(3);
            else
                e.bind(3, QStringLiteral("简历 %1\n𠀀").arg(i));
            e.step();
        }
        tx.commit();
    }
    QList<QStringList> ordered;
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement read = conn.prepare(Schema::ExpertMsg().selectStatement());
        while (read.step()) {
            QStringList row;
            for (int c = 0; c < read.columnCount(); ++c)
                row << read.text(c);
            ordered << row;
        }
    }
    ASSERT_EQ(ordered.size(), n);
    LoadExperts(app.state.store);
    EXPECT_EQ(app.state.store.ExpertTable.toLists(), ordered);
}

TEST(Waiting, AnotherProgramsWriteIsWaitedForFromTheFirstRead)
{
    TestApp app;
    // Another program writes for a moment; it holds the file exclusively
    // while it commits.
    Connection other = Connection::open(app.dataFile());
    other.exec("BEGIN EXCLUSIVE");
    {
        // Every connection on the wrapped file layer closes before it goes.
        EngineSleeps sleeps;
        // The other program commits once the open has met its lock and waits;
        // the deadline only keeps a broken open from hanging the test.
        std::thread finishes([&other, &sleeps] {
            sleeps.slept.tryAcquire(1, 20000);
            other.exec("COMMIT");
        });
        std::optional<Connection> mine;
        EXPECT_NO_THROW(mine.emplace(Connection::open(app.dataFile())));
        sleeps.slept.release();   // an open that failed at once frees the other side too
        finishes.join();
        ASSERT_TRUE(mine);
    }
    EXPECT_NO_THROW(LoadUsers(app.state.store));
}

TEST(EngineFailures, TellWhatHappenedToWhichFileAndWhatToDo)
{
    struct Case {
        int code;
        const char *engineText;
        const char *says;   // what happened or what to do
    };
    const Case cases[] = {
        {SQLITE_BUSY, "database is locked", "另一个程序"},
        {SQLITE_LOCKED, "database table is locked", "另一个程序"},
        {SQLITE_READONLY, "attempt to write a readonly database", "权限"},
        {SQLITE_FULL, "database or disk is full", "释放磁盘空间"},
        {SQLITE_IOERR_WRITE, "disk I/O error", "磁盘"},
        {SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: sel_expert.Id", "编号相同"},
        {SQLITE_CONSTRAINT_UNIQUE, "UNIQUE constraint failed: expert_msg.Id", "编号相同"},
        // Refused for another reason: nothing about numbers.
        {SQLITE_CONSTRAINT_TRIGGER, "refused by a trigger", "操作数据库文件"},
        {SQLITE_CONSTRAINT_NOTNULL, "NOT NULL constraint failed: sel_expert.Id", "操作数据库文件"},
        {SQLITE_CORRUPT, "database disk image is malformed", "已损坏"},
        {SQLITE_NOTADB, "file is not a database", "不是本程序的数据库文件"},
        {SQLITE_CANTOPEN, "unable to open database file", "无法打开"},
    };
    const QString file = QDir::toNativeSeparators(QStringLiteral("/data/专家库/ProSys.mdb"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.engineText);
        const DbError e(c.code, "/data/专家库/ProSys.mdb", QString::fromLatin1(c.engineText));
        EXPECT_TRUE(e.sentence().contains(file)) << e.sentence().toStdString();
        EXPECT_TRUE(e.sentence().contains(QString::fromUtf8(c.says))) << e.sentence().toStdString();
        EXPECT_FALSE(e.sentence().contains(QString::fromLatin1(c.engineText)));
        EXPECT_EQ(e.detail(), QString::fromLatin1(c.engineText));
    }
    // The program's own messages are already for the user.
    const DbError own(QStringLiteral("找不到数据库文件。"));
    EXPECT_EQ(own.sentence(), QStringLiteral("找不到数据库文件。"));
    EXPECT_EQ(own.detail(), QString());
}

TEST(EngineFailures, AFailureOfTheEngineCarriesItsCodeAndFile)
{
    TestApp app;
    Connection conn = Connection::open(app.dataFile());
    try {
        conn.exec("INSERT INTO login_pwd VALUES ('000001', 'x', 'y', '0')");
        FAIL() << "a taken Id was accepted";
    } catch (const DbError &e) {
        EXPECT_EQ(e.engineCode() & 0xFF, SQLITE_CONSTRAINT);
        EXPECT_EQ(e.file(), app.dataFile());
        EXPECT_TRUE(e.detail().contains("UNIQUE constraint failed")) << e.detail().toStdString();
        // What callers always had: the engine's words and the file.
        EXPECT_EQ(e.message(), e.detail() + "\n" + QDir::toNativeSeparators(app.dataFile()));
    }
}
