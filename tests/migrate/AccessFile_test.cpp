#include "TestFiles.h"

#include "data/Database.h"
#include "data/Schema.h"
#include "migrate/AccessFile.h"
#include "migrate/LibraryImport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace Migrate;

// Real files made by Access (see access/README.md).
namespace {

QString accessFile(const QString &name) { return QDir(KESTRUNE_ACCESS_FILES).filePath(name); }

using Format = AccessFile::Format;

TEST(AccessFile, OpensEveryKindOfMdb)
{
    struct Case {
        const char *file;
        Format format;
        QStringList tables;
    } cases[] = {
        {"jet3-access97.mdb", Format::Jet3, {"Table1", "Table2", "Table3", "Table4"}},
        {"jet4-access2000.mdb", Format::Jet4, {"Table1"}},
        {"jet4-access2000-password.mdb", Format::Jet4, {"Table1"}},
        {"jet4-access2003-password.mdb", Format::Jet4, {"Table1"}},
        {"jet4-access2003-column-types.mdb", Format::Jet4, {"Table1", "Table2", "Table3", "Table4"}},
        {"jet4-access2003-empty.mdb", Format::Jet4, {}},
    };
    for (const Case &c : cases) {
        std::unique_ptr<AccessFile> file;
        try {
            file = AccessFile::open(accessFile(c.file));
        } catch (const SourceError &e) {
            ADD_FAILURE() << c.file << ": " << e.message().toStdString();
            continue;
        }
        EXPECT_EQ(file->format(), c.format) << c.file;
        EXPECT_EQ(file->tableNames(), c.tables) << c.file;
        EXPECT_EQ(file->fileName(), accessFile(c.file));
    }
}

// Table1 of the column-type files: A..I are text, text, byte, integer,
// long, double, date/time, currency and yes/no; two records.
TEST(AccessFile, ReadsEveryColumnType)
{
    const QList<SourceColumn> expectedColumns = {
        {"A", ColumnType::Text},     {"B", ColumnType::Text},     {"C", ColumnType::Byte},
        {"D", ColumnType::Integer},  {"E", ColumnType::Long},     {"F", ColumnType::Double},
        {"G", ColumnType::DateTime}, {"H", ColumnType::Currency}, {"I", ColumnType::Boolean},
    };
    const SourceRow first = {QString("a"),
                             QString("b"),
                             qlonglong(0),
                             qlonglong(0),
                             qlonglong(0),
                             0.0,
                             QDateTime(QDate(1981, 12, 12), QTime(0, 0), Qt::UTC),
                             QString("0.0000"),
                             false};
    const SourceRow second = {QString("abcdefg"),
                              QString("hijklmnop"),
                              qlonglong(2),
                              qlonglong(222),
                              qlonglong(333333333),
                              444.555,
                              QDateTime(QDate(1974, 9, 21), QTime(0, 0), Qt::UTC),
                              QString("3.5000"),
                              true};
    for (const char *name : {"jet3-access97.mdb", "jet4-access2003-column-types.mdb"}) {
        const auto file = AccessFile::open(accessFile(name));
        const QList<SourceColumn> columns = file->columns("Table1");
        ASSERT_EQ(columns.size(), expectedColumns.size()) << name;
        for (int i = 0; i < columns.size(); ++i) {
            EXPECT_EQ(columns[i].name, expectedColumns[i].name) << name;
            EXPECT_EQ(columns[i].type, expectedColumns[i].type) << name << " " << columns[i].name.toStdString();
        }
        QList<SourceRow> rows = file->rows("Table1");
        ASSERT_EQ(rows.size(), 2) << name;
        EXPECT_EQ(file->rowCount("Table1"), 2) << name;
        // The two files hold the records in different order.
        if (rows[0].value(0) != QVariant(QString("a")))
            std::swap(rows[0], rows[1]);
        for (const auto &[row, expected] : {std::pair{rows[0], first}, std::pair{rows[1], second}}) {
            ASSERT_EQ(row.size(), expected.size());
            for (int c = 0; c < row.size(); ++c) {
                EXPECT_EQ(row[c].typeId(), expected[c].typeId()) << name << " column " << c;
                EXPECT_EQ(row[c], expected[c]) << name << " column " << c << ": " << row[c].toString().toStdString();
            }
        }

        // The other tables: an empty one of 89 text columns, a long and a text
        // column, a text and a replication id column.
        const QList<SourceColumn> wide = file->columns("Table2");
        EXPECT_EQ(wide.size(), 89) << name;
        EXPECT_EQ(wide.last().name, "column89");
        EXPECT_EQ(file->rows("Table2").size(), 0);
        const QList<SourceColumn> t3 = file->columns("Table3");
        ASSERT_EQ(t3.size(), 2);
        EXPECT_EQ(t3[0].type, ColumnType::Long);
        EXPECT_EQ(t3[1].type, ColumnType::Text);
        const QList<SourceColumn> t4 = file->columns("Table4");
        ASSERT_EQ(t4.size(), 2);
        EXPECT_EQ(t4[1].type, ColumnType::Guid);
    }
}

// A database password does not stop the reading: the records are those of
// the file without one.
TEST(AccessFile, ReadsFilesWithADatabasePassword)
{
    const QList<SourceRow> expected = {
        {qlonglong(1), QString("One")}, {qlonglong(2), QString("Two")}, {qlonglong(3), QString("Three")}};
    for (const char *name : {"jet4-access2000.mdb", "jet4-access2000-password.mdb", "jet4-access2003-password.mdb"}) {
        const auto file = AccessFile::open(accessFile(name));
        const QList<SourceColumn> columns = file->columns("Table1");
        ASSERT_EQ(columns.size(), 2) << name;
        EXPECT_EQ(columns[0].name, "ID");
        EXPECT_EQ(columns[1].name, "Data");
        EXPECT_EQ(file->rows("Table1"), expected) << name;
    }
}

// Access 97 keeps text in the code page of the machine that wrote it. The
// record "abcdefg" of the Access 97 file is changed, in place and with the
// same length, into GBK bytes.
TEST(AccessFile, ReadsAccess97TextAsGbk)
{
    QTemporaryDir dir;
    QByteArray bytes = ReadAll(accessFile("jet3-access97.mdb"));
    const qsizetype at = bytes.indexOf("abcdefg");
    ASSERT_GE(at, 0);
    ASSERT_EQ(bytes.indexOf("abcdefg", at + 1), -1);
    const QByteArray gbk("\xD5\xC5\xC8\xFD\xC0\xEE"
                         "a",
                         7);   // 张三李a
    bytes.replace(at, gbk.size(), gbk);
    const QString path = QDir(dir.path()).filePath("gbk.mdb");
    ASSERT_TRUE(WriteAll(path, bytes));

    const auto file = AccessFile::open(path);
    QStringList a;
    for (const SourceRow &row : file->rows("Table1"))
        a << row[0].toString();
    a.sort();
    EXPECT_EQ(a, QStringList({"a", "张三李a"}));
    // The setting is for the reading only.
    EXPECT_FALSE(qEnvironmentVariableIsSet("MDB_JET3_CHARSET"));
}

// Access keeps a date/time as days since 1899-12-30 in a double. The date
// 1974-09-21 of the column-type file is changed in place: a time of day is
// read with it; a day before 1899-12-30, which libmdb cannot turn into
// text, is refused rather than read as some other day.
TEST(AccessFile, ReadsTheTimeOfADateAndRefusesDaysBefore1900)
{
    const QByteArray bytes = ReadAll(accessFile("jet4-access2003-column-types.mdb"));
    const auto asBytes = [](double days) { return QByteArray(reinterpret_cast<const char *>(&days), sizeof days); };
    const qsizetype at = bytes.indexOf(asBytes(27293.0));   // 1974-09-21
    ASSERT_GE(at, 0);
    ASSERT_EQ(bytes.indexOf(asBytes(27293.0), at + 1), -1);
    QTemporaryDir dir;
    const auto withDate = [&](double days) {
        const QString path = QDir(dir.path()).filePath(QString("%1.mdb").arg(days));
        QByteArray changed = bytes;
        changed.replace(at, 8, asBytes(days));
        EXPECT_TRUE(WriteAll(path, changed));
        return AccessFile::open(path);
    };

    QList<QDateTime> dates;
    for (const SourceRow &row : withDate(27293.75)->rows("Table1"))
        dates << row[6].toDateTime();
    EXPECT_TRUE(dates.contains(QDateTime(QDate(1974, 9, 21), QTime(18, 0), Qt::UTC)));

    try {
        withDate(-36500.25)->rows("Table1");
        ADD_FAILURE() << "read";
    } catch (const SourceError &e) {
        EXPECT_TRUE(e.message().contains("数据表 Table1")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("字段 G 的日期超出可读的范围")) << e.message().toStdString();
    }
}

TEST(AccessFile, RefusesWhatItCannotReadNamingTheFile)
{
    QTemporaryDir dir;
    const auto at = [&](const char *name) { return QDir(dir.path()).filePath(name); };

    ASSERT_TRUE(QFile::copy(accessFile("ace-access2010-password.accdb"), at("locked.accdb")));
    CreateDataFile(at("ProSys.mdb"));
    {
        sqlite3 *db = nullptr;   // a plain, unencrypted SQLite file
        ASSERT_EQ(sqlite3_open(QFile::encodeName(at("plain.db")).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE t (a)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ASSERT_TRUE(WriteAll(at("notes.mdb"), "这不是数据库"));
    ASSERT_TRUE(WriteAll(at("empty.mdb"), ""));
    // An Access file cut short after its first page.
    ASSERT_TRUE(WriteAll(at("short.mdb"), ReadAll(accessFile("jet4-access2000.mdb")).left(4096)));
    QDir(dir.path()).mkdir("folder.mdb");
    const QByteArray dataFile = ReadAll(at("ProSys.mdb"));

    struct Case {
        const char *file;
        const char *message;
    } cases[] = {
        {"locked.accdb", "是 Access 2010 的 .accdb 数据库，本程序无法读取"},
        {"ProSys.mdb", "是 Kestrune 的数据库文件（SQLCipher 加密），不是 Access 数据库"},
        {"plain.db", "是 SQLite 数据库，不是 Access 数据库"},
        {"notes.mdb", "不是 Access 数据库文件"},
        {"empty.mdb", "不是 Access 数据库文件"},
        {"short.mdb", "可能已损坏"},
        {"folder.mdb", "不是文件"},
        {"missing.mdb", "找不到文件"},
    };
    for (const Case &c : cases) {
        try {
            AccessFile::open(at(c.file));
            ADD_FAILURE() << c.file << " opened";
        } catch (const SourceError &e) {
            EXPECT_TRUE(e.message().contains(c.message)) << c.file << ": " << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(at(c.file)))) << c.file;
        }
    }
    // Looking at the data file did not change it.
    EXPECT_EQ(ReadAll(at("ProSys.mdb")), dataFile);
}

TEST(AccessFile, ALibraryWithItsOwnPasswordIsKnownByTheKeysGiven)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("Own.mdb");
    CreateDataFile(path, "Own-Pass-2026");
    const QByteArray bytes = ReadAll(path);
    struct Case {
        QStringList keys;
        const char *message;
    } cases[] = {
        // Without its password it cannot be told from any other encrypted file.
        {{}, "不是 Access 数据库文件"},
        {{"Wrong-Pass-2026"}, "不是 Access 数据库文件"},
        {{"Own-Pass-2026"}, "是 Kestrune 的数据库文件（SQLCipher 加密），不是 Access 数据库"},
        {{"", "Wrong-Pass-2026", "Own-Pass-2026"}, "是 Kestrune 的数据库文件（SQLCipher 加密），不是 Access 数据库"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keys.join(", ").toStdString());
        try {
            AccessFile::open(path, c.keys);
            ADD_FAILURE() << "opened";
        } catch (const SourceError &e) {
            EXPECT_TRUE(e.message().contains(c.message)) << e.message().toStdString();
            if (!QString::fromUtf8(c.message).contains("Kestrune"))
                EXPECT_FALSE(e.message().contains("Kestrune")) << e.message().toStdString();
        }
        const Result<ImportPlan> planned = PlanAccessImport(path, c.keys);
        ASSERT_FALSE(planned);
        EXPECT_TRUE(planned.message().contains(c.message)) << planned.message().toStdString();
    }
    EXPECT_EQ(ReadAll(path), bytes);
}

TEST(AccessFile, AnUnknownTableIsAClearError)
{
    const auto file = AccessFile::open(accessFile("jet4-access2000.mdb"));
    try {
        file->rows("expert_msg");
        ADD_FAILURE() << "read";
    } catch (const SourceError &e) {
        EXPECT_TRUE(e.message().contains("没有数据表 expert_msg")) << e.message().toStdString();
    }
}

// A real Access file without the library's tables goes through the import
// as far as its refusal.
TEST(AccessFile, AFileWithoutTheLibraryIsRefused)
{
    const auto file = AccessFile::open(accessFile("jet4-access2000.mdb"));
    const ImportPlan plan = PlanImport(*file);
    EXPECT_FALSE(plan.canImport());
    EXPECT_EQ(plan.extraTables, QStringList{"Table1"});
    EXPECT_TRUE(RefusalText(plan).contains("这不是专家库的数据库")) << RefusalText(plan).toStdString();
}

}   // namespace
