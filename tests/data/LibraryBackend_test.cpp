// The file backend keeps one connection for the session and still reads
// the file that is in the data file's place now.

#include "data/Database.h"
#include "data/LibraryBackend.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void addExpertNamed(Connection &conn, const QString &id, const QString &name)
{
    QStringList marks;
    for (int i = 0; i < Schema::ExpertFieldCount; ++i)
        marks << QStringLiteral("?");
    Statement st = conn.prepare(QStringLiteral("INSERT INTO expert_msg VALUES (%1)").arg(marks.join(',')));
    for (int i = 0; i < Schema::ExpertFieldCount; ++i)
        st.bind(i + 1, i == 0 ? id : i == 1 ? name : QStringLiteral(" "));
    st.step();
}

QString makeLibrary(const QString &path, const QString &expertName)
{
    CreateDataFile(path);
    Connection conn = Connection::open(path);
    addExpertNamed(conn, QStringLiteral("000001"), expertName);
    return path;
}

QStringList names(const DataStore &store)
{
    QStringList out;
    for (qsizetype r = 0; r < store.ExpertTable.count(); ++r)
        out << store.ExpertTable.cell(r, Schema::E_Name).toString();
    return out;
}

}   // namespace

TEST(FileBackendSession, OneConnectionServesEveryReadOfTheSession)
{
    QTemporaryDir dir;
    makeLibrary(DataFilePath(dir.path()), QStringLiteral("甲"));
    DataStore store;
    store.appDir = dir.path();
    Connection *first = &LibraryConnection(store);
    LoadExperts(store);
    LoadUsers(store);
    EXPECT_EQ(&LibraryConnection(store), first);
    EXPECT_EQ(names(store), QStringList{"甲"});
}

// A file put in the data file's place while the program runs (a restore, a
// copy made by hand) is another file: the session must not go on reading
// the one that is gone, nor keep a read or write that was cut short open.
TEST(FileBackendSession, AFileReplacedUnderTheSessionIsTheOneRead)
{
    QTemporaryDir dir;
    const QString path = DataFilePath(dir.path());
    makeLibrary(path, QStringLiteral("甲"));
    const QString other = makeLibrary(QDir(dir.path()).filePath("other.mdb"), QStringLiteral("乙"));
    DataStore store;
    store.appDir = dir.path();
    LoadExperts(store);
    ASSERT_EQ(names(store), QStringList{"甲"});

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(other, path));
    LoadExperts(store);
    EXPECT_EQ(names(store), QStringList{"乙"});
}

TEST(FileBackendSession, AReadCutShortDoesNotStayOpen)
{
    QTemporaryDir dir;
    const QString path = DataFilePath(dir.path());
    makeLibrary(path, QStringLiteral("甲"));
    DataStore store;
    store.appDir = dir.path();
    {
        Connection &conn = LibraryConnection(store);
        conn.exec(QStringLiteral("BEGIN"));
        conn.exec(QStringLiteral("SELECT count(*) FROM expert_msg"));
    }
    // Another program can write at once: the session holds no read lock.
    EXPECT_FALSE(LibraryConnection(store).inTransaction());
    Connection other = Connection::open(path);
    EXPECT_NO_THROW({
        Transaction tx(other);
        addExpertNamed(other, QStringLiteral("000002"), QStringLiteral("丙"));
        tx.commit();
    });
    LoadExperts(store);
    EXPECT_EQ(names(store), (QStringList{"甲", "丙"}));
}

TEST(LibraryBackendKind, APageCheckOnlyWhereThereIsAFileOfOurs)
{
    DataSource file;
    DataSource server;
    server.kind = DataSource::Server;
    server.uri = QStringLiteral("postgresql://u@h/db");
    EXPECT_TRUE(LibraryBackend::ForSource(file, "/x")->checksPages());
    EXPECT_FALSE(LibraryBackend::ForSource(server, "/x")->checksPages());
    EXPECT_TRUE(LibraryBackend::ForSource(file, "/x")->isLibraryFile("/x/ProSys.mdb"));
    EXPECT_FALSE(LibraryBackend::ForSource(server, "/x")->isLibraryFile("/x/ProSys.mdb"));
}

// Reaching the session's connection again from inside a write (a lookup in
// the middle of a store) must leave the write whole: one transaction that
// commits everything or nothing.
TEST(FileBackendSession, TheConnectionReachedInsideAWriteKeepsTheWrite)
{
    QTemporaryDir dir;
    makeLibrary(DataFilePath(dir.path()), QStringLiteral("甲"));
    DataStore store;
    store.appDir = dir.path();
    {
        Connection &conn = LibraryConnection(store);
        Transaction tx(conn);
        addExpertNamed(conn, QStringLiteral("000002"), QStringLiteral("乙"));
        LoadUsers(store);   // reaches LibraryConnection(store) again
        EXPECT_TRUE(LibraryConnection(store).inTransaction());
        addExpertNamed(conn, QStringLiteral("000003"), QStringLiteral("丙"));
        // Not committed: both writes go.
    }
    LoadExperts(store);
    EXPECT_EQ(names(store), QStringList{"甲"});
}
