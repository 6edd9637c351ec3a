#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

struct DataSource;

// Password of the database file whose administrator never gave it one of
// its own (a library's own password replaces it: DataSource::key).
inline constexpr const char *kDatabasePassword = "583920";

// Path of ProSys.mdb inside an application folder.
QString DataFilePath(const QString &appDir);

class Statement;

// What one engine does for a statement; the file's engine and the server's
// each have their own (FileBackend.cpp, ServerBackend.cpp).
class StatementEngine {
public:
    virtual ~StatementEngine() = default;
    virtual void bindText(int index, const QByteArray &utf8) = 0;   // 1-based
    virtual void bindNull(int index) = 0;
    virtual void bindInt(int index, qint64 value) = 0;
    virtual void bindBlob(int index, const QByteArray &value) = 0;
    virtual bool step() = 0;
    virtual void reset() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int i) const = 0;
    virtual bool isNull(int i) const = 0;
    virtual QByteArrayView utf8(int i) const = 0;
    virtual QByteArray blob(int i) const = 0;
    virtual bool isBinary(int i) const = 0;
};

// What one engine does for a connection, and how it spells what the two
// dialects say differently. Only the two implementations know which engine
// they talk to; everything else asks them.
class ConnectionEngine {
public:
    virtual ~ConnectionEngine() = default;
    // The file, or the server and database, as messages name it.
    virtual QString where() const = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    virtual void exec(const QString &sql) = 0;
    virtual std::unique_ptr<StatementEngine> prepare(const QString &sql) = 0;
    virtual bool inTransaction() const = 0;
    // Starts the one write transaction: writers follow each other, so a new
    // record's number is read and used by one writer at a time.
    virtual void beginWrite() = 0;
    // Ends the write transaction, keeping what it wrote.
    virtual void commitWrite() { exec(QStringLiteral("COMMIT")); }
    // Starts a read that sees the library at one moment.
    virtual void beginSnapshot() = 0;
    // Rolls back what is open, never throwing (a destructor's last word).
    virtual void rollbackQuietly(bool toSavepoint) noexcept = 0;

    virtual QStringList tableFields(const QString &table) = 0;
    virtual QStringList tableNames() = 0;
    // The column type of text fields.
    virtual QString textType() const = 0;
    // A table definition written for the file, in this engine's words.
    virtual QString tableDefinition(const QString &fileDefinition) const = 0;
    // The SQL of "column holds something other than digits" and of its
    // value as a wide integer.
    virtual QString notOnlyDigits(const QString &column) const = 0;
    virtual QString wideInteger(const QString &column) const = 0;

    // Whether other programs may change the library while this one has it
    // loaded (a shared server); a single-user file is changed by nobody else.
    virtual bool sharedWithOthers() const = 0;
    // The change counts of these tables, where the engine keeps any.
    virtual QHash<QString, qlonglong> changeCounts(const QStringList &tables) = 0;
    // Makes every change to these tables count (a trigger per table).
    virtual void addChangeCounters(const QStringList &tables) = 0;
    // Makes the engine refuse every UPDATE and DELETE of the table (an
    // append-only log), whoever sends it.
    virtual void refuseChanges(const QString &table) = 0;
    // The engine's check of every page: "" when sound (or nothing to check),
    // otherwise the first problems it names.
    virtual QString integrityProblem() = 0;
    // Whether a read waits for a writer that holds the library, or gives up
    // at once (a second reader that is only worth having without waiting).
    virtual void setWaitForWriters(bool wait) = 0;
};

// One open connection to the library: an encrypted database file, or a
// PostgreSQL server database. The SQL the program writes is the common part
// of both dialects, with "?" for every bound value.
class Connection {
public:
    // Opens an existing file shared and read-write. Throws DbError naming the
    // file when it is missing, not a database, has another key or is locked.
    // key: the library's own password, empty for the default one.
    static Connection open(const QString &path, const QString &key = {});
    // Creates a new, empty encrypted file with a fresh salt, keyed the way
    // open() keys it. Throws DbError when it exists.
    static Connection create(const QString &path, const QString &key = {});
    // Connects to the server database the source names. Throws DbError with
    // the server's message (never the password).
    static Connection connect(const DataSource &source);

    explicit Connection(std::unique_ptr<ConnectionEngine> engine) : m_engine(std::move(engine)) {}
    Connection(Connection &&other) noexcept = default;
    Connection &operator=(Connection &&other) noexcept = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();

    void exec(const QString &sql) { m_engine->exec(sql); }
    Statement prepare(const QString &sql);
    QString path() const { return m_engine ? m_engine->where() : QString(); }
    void close();
    bool isOpen() const { return m_engine && m_engine->isOpen(); }
    bool inTransaction() const { return m_engine && m_engine->inTransaction(); }

    // The fields of a table in their order (names as the engine keeps them:
    // a server folds them to lower case); empty when there is no such table.
    QStringList tableFields(const QString &table) { return m_engine->tableFields(table); }
    // The tables of the database, without the engine's own and the
    // server's change counters.
    QStringList tableNames() { return m_engine->tableNames(); }

    ConnectionEngine &engine() const { return *m_engine; }
    // Whether a Transaction or ReadSnapshot scope is open on the connection:
    // a transaction open outside any scope was cut short and may be ended.
    bool inScope() const { return m_scopes > 0; }

private:
    friend class Transaction;
    friend class ReadSnapshot;
    std::unique_ptr<ConnectionEngine> m_engine;
    int m_scopes = 0;
};

// A prepared statement with bound parameters (values are never spliced into
// the SQL text).
class Statement {
public:
    explicit Statement(std::unique_ptr<StatementEngine> engine) : m_engine(std::move(engine)) {}
    Statement(Statement &&other) noexcept = default;
    Statement &operator=(Statement &&other) noexcept = default;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement() = default;

    void bind(int index, const QString &value);   // 1-based
    void bindNull(int index) { m_engine->bindNull(index); }
    void bindInt(int index, qint64 value) { m_engine->bindInt(index, value); }
    void bindBlob(int index, const QByteArray &value) { m_engine->bindBlob(index, value); }
    // Steps once; true while a row is available.
    bool step() { return m_engine->step(); }
    void reset() { m_engine->reset(); }
    int columnCount() const { return m_engine->columnCount(); }
    QString columnName(int i) const { return m_engine->columnName(i); }
    bool isNull(int i) const { return m_engine->isNull(i); }
    QString text(int i) const;   // null reads as ""
    // The engine's own bytes, valid until the next step.
    QByteArrayView utf8(int i) const { return m_engine->utf8(i); }
    QVariant value(int i) const;   // null reads as an invalid QVariant
    QByteArray blob(int i) const { return m_engine->blob(i); }
    // Whether the current row's value is bytes rather than text.
    bool isBinary(int i) const { return m_engine->isBinary(i); }

private:
    std::unique_ptr<StatementEngine> m_engine;
};

// The engine's own check of every page of the open library (a file's quick
// check: each table and index page is read and its structure verified; a
// server keeps its own pages sound). "" when sound, otherwise the first
// problems the engine names. A file whose pages cannot even be read counts
// as damaged, with the engine's error.
QString IntegrityProblem(Connection &conn);
// Opens the file and checks it; a file that does not open gives the reason.
QString CheckFileIntegrity(const QString &path, const QString &key = {});
// Whether key (empty: the default) reads the file's pages. False for another
// key and for a file that is no database at all (the engine cannot tell them
// apart); a file that is missing or busy counts as opening, so that the
// caller's own open says what is wrong with it.
bool KeyOpensFile(const QString &path, const QString &key);

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

// A read of several statements that sees the library at one moment; ended
// on leaving the scope, whatever happened inside. Inside a transaction
// already open it adds nothing.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Connection &conn);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot &) = delete;
    ReadSnapshot &operator=(const ReadSnapshot &) = delete;

private:
    Connection &m_conn;
    bool m_own = false;
};
