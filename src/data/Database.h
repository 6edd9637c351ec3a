#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;
struct pg_result;
struct DataSource;

// Password of the database file.
inline constexpr const char *kDatabasePassword = "583920";

// Path of ProSys.mdb inside an application folder.
QString DataFilePath(const QString &appDir);

class Statement;

// One open connection to the library: an encrypted database file, or a
// PostgreSQL server database. Every operation of the program opens it, works
// and closes it again; nothing stays open. The SQL the program writes is the
// common part of both dialects, with "?" for every bound value.
class Connection {
public:
    // Opens an existing file shared and read-write. Throws DbError naming the
    // file when it is missing, not a database, has another key or is locked.
    static Connection open(const QString &path);
    // Creates a new, empty encrypted file with a fresh salt, keyed the way
    // open() keys it. Throws DbError when it exists.
    static Connection create(const QString &path);
    // Connects to the server database the source names. Throws DbError with
    // the server's message (never the password).
    static Connection connect(const DataSource &source);

    Connection(Connection &&other) noexcept;
    Connection &operator=(Connection &&other) noexcept;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();

    void exec(const QString &sql);
    Statement prepare(const QString &sql);
    QString path() const { return m_path; }
    sqlite3 *handle() const { return m_db; }
    void close();
    bool isOpen() const { return m_db != nullptr || m_pg != nullptr; }
    bool isServer() const { return m_pg != nullptr; }
    bool inTransaction() const;

    // The fields of a table in their order (names as the engine keeps them:
    // a server folds them to lower case); empty when there is no such table.
    QStringList tableFields(const QString &table);
    // The tables of the database, without the engine's own and the
    // server's change counters.
    QStringList tableNames();
    // The column type of text fields: the server compares and orders them
    // byte by byte like the file does, whatever the database's locale.
    QString textType() const;

    [[noreturn]] void fail(int code) const;

private:
    Connection(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path)) {}
    Connection(pg_conn *pg, QString where) : m_pg(pg), m_path(std::move(where)) {}
    friend class Statement;
    friend class Transaction;
    sqlite3 *m_db = nullptr;
    pg_conn *m_pg = nullptr;
    QString m_path;   // the file, or the server and database
};

// A prepared statement with bound parameters (values are never spliced into
// the SQL text).
class Statement {
public:
    Statement(Connection &conn, sqlite3_stmt *stmt) : m_conn(&conn), m_stmt(stmt) {}
    // A statement of a server connection: sent with its values at the first step.
    Statement(Connection &conn, QByteArray serverSql) : m_conn(&conn), m_serverSql(std::move(serverSql)) {}
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    void bind(int index, const QString &value);   // 1-based
    void bindNull(int index);
    void bindInt(int index, qint64 value);
    void bindBlob(int index, const QByteArray &value);
    // Steps once; true while a row is available.
    bool step();
    void reset();
    int columnCount() const;
    QString columnName(int i) const;
    bool isNull(int i) const;
    QString text(int i) const;          // null reads as ""
    QByteArrayView utf8(int i) const;   // the engine's own bytes, valid until the next step
    QVariant value(int i) const;        // null reads as an invalid QVariant
    QByteArray blob(int i) const;
    // Whether the current row's value is bytes rather than text.
    bool isBinary(int i) const;

private:
    void runOnServer();
    Connection *m_conn;
    sqlite3_stmt *m_stmt = nullptr;
    // Server: the statement text, its values (a null QByteArray is NULL),
    // the result once sent and the current row in it.
    QByteArray m_serverSql;
    QVector<QByteArray> m_values;
    pg_result *m_result = nullptr;
    int m_row = -1;
};

// The engine's own check of every page of the open file (its quick check:
// each table and index page is read and its structure verified). "" when
// the file is sound, otherwise the first problems the engine names. A file
// whose pages cannot even be read counts as damaged, with the engine's error.
QString IntegrityProblem(Connection &conn);
// Opens the file and checks it; a file that does not open gives the reason.
QString CheckFileIntegrity(const QString &path);

// All-or-nothing scope: commits on commit(), rolls back otherwise. Inside a
// transaction already open on the connection it is a savepoint of it, so
// that several writes can be grouped into one.
class Transaction {
public:
    explicit Transaction(Connection &conn);
    ~Transaction();
    void commit();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    Connection &m_conn;
    bool m_done = false;
    bool m_nested = false;
};

// Writers on a server take this one lock for their transaction, so that
// they follow each other as writers of the file do: a new record's number is
// read and used by one writer at a time.
inline constexpr long long kServerWriteLock = 0x4b657374;
