#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// Password of the database file.
inline constexpr const char *kDatabasePassword = "583920";

// Path of ProSys.mdb inside an application folder.
QString DataFilePath(const QString &appDir);

class Statement;

// One open connection to an encrypted database file. Every operation of the
// program opens the file, works and closes it again; nothing stays open.
class Connection {
public:
    // Opens an existing file shared and read-write. Throws DbError naming the
    // file when it is missing, not a database, has another key or is locked.
    static Connection open(const QString &path);
    // Creates a new, empty encrypted file with a fresh salt, keyed the way
    // open() keys it. Throws DbError when it exists.
    static Connection create(const QString &path);

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
    bool isOpen() const { return m_db != nullptr; }

    // The engine's last message, with the file named.
    QString errorText(int code) const;
    [[noreturn]] void fail(int code) const;

private:
    Connection(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path)) {}
    sqlite3 *m_db = nullptr;
    QString m_path;
};

// A prepared statement with bound parameters (values are never spliced into
// the SQL text).
class Statement {
public:
    Statement(Connection &conn, sqlite3_stmt *stmt) : m_conn(&conn), m_stmt(stmt) {}
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    void bind(int index, const QString &value);    // 1-based
    void bindNull(int index);
    void bindInt(int index, qint64 value);
    void bindBlob(int index, const QByteArray &value);
    // Steps once; true while a row is available.
    bool step();
    void reset();
    int columnCount() const;
    QString columnName(int i) const;
    bool isNull(int i) const;
    QString text(int i) const;     // null reads as ""
    QByteArrayView utf8(int i) const;   // the engine's own bytes, valid until the next step
    QVariant value(int i) const;   // null reads as an invalid QVariant
    QByteArray blob(int i) const;

private:
    Connection *m_conn;
    sqlite3_stmt *m_stmt;
};

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
