#include "data/Database.h"

#include "data/DataSource.h"
#include "data/DbError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <libpq-fe.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>

namespace {

// The file format's key derivation (SQLCipher 3): PBKDF2-HMAC-SHA1 over the
// password with the file's 16-byte salt, 64000 rounds, 256-bit key. New files
// are keyed the same way, never with the library's own defaults (which a
// newer engine changes), so every file opens with the password in any
// SQLCipher 3 program.
constexpr int kSaltBytes = 16;
constexpr int kKdfIterations = 64000;
constexpr int kKeyBytes = 32;

// Deriving the key costs tens of milliseconds, and every operation opens the
// file; the derived key only depends on the file's salt, so it is kept per salt.
QByteArray rawKeyForSalt(const QByteArray &salt)
{
    static QMutex mutex;
    static QHash<QByteArray, QByteArray> cache;
    QMutexLocker lock(&mutex);
    auto it = cache.constFind(salt);
    if (it != cache.constEnd())
        return *it;
    QByteArray key(kKeyBytes, '\0');
    const QByteArray password(kDatabasePassword);
    PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                      reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), kKdfIterations,
                      EVP_sha1(), kKeyBytes, reinterpret_cast<unsigned char *>(key.data()));
    cache.insert(salt, key);
    return key;
}

QByteArray readSalt(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(kSaltBytes);
}

// The raw key and the salt, as the engine takes them: x'<key><salt>'. For a
// new file the engine writes this salt into it.
void applyKey(sqlite3 *db, const QByteArray &salt)
{
    const QByteArray value = "x'" + rawKeyForSalt(salt).toHex() + salt.toHex() + "'";
    sqlite3_key(db, value.constData(), int(value.size()));
}

// The program's SQL marks each bound value with "?"; the server numbers them
// ($1, $2, ...). Quoted text and names are passed over untouched.
QByteArray serverStatement(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    int n = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            out += QLatin1Char('$') + QString::number(++n);
            continue;
        }
        out += c;
    }
    return out.toUtf8();
}

QString serverMessage(const char *text) { return QString::fromUtf8(text).trimmed(); }

}   // namespace

QString DataFilePath(const QString &appDir) { return QDir(appDir).filePath(QStringLiteral("ProSys.mdb")); }

void Connection::fail(int code) const
{
    if (m_pg)
        throw DbError(QStringLiteral("%1\n%2").arg(serverMessage(PQerrorMessage(m_pg)), m_path));
    const int engineCode = m_db ? sqlite3_extended_errcode(m_db) : code;
    const char *msg = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    throw DbError(engineCode, m_path, QString::fromUtf8(msg));
}

namespace {

// Another program holding the file is waited for this long before a read or
// a write gives up.
constexpr int kBusyTimeoutMs = 3000;

void configure(Connection &c)
{
    // The one file must be the whole database: no write-ahead log beside it.
    c.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
}

}   // namespace

Connection Connection::open(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        throw DbError(QStringLiteral("找不到数据库文件。\n%1").arg(native));
    const QByteArray salt = readSalt(path);
    if (salt.size() != kSaltBytes)
        throw DbError(SQLITE_NOTADB, path, QString::fromUtf8(sqlite3_errstr(SQLITE_NOTADB)));

    sqlite3 *db = nullptr;
    // A connection is used by one thread at a time, so it goes without the
    // engine's lock on every call (two per cell when a table is read).
    int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection c(db, path);
    if (rc != SQLITE_OK)
        c.fail(rc);
    // Before the first read: a program in the middle of a write is waited
    // for from the start, not only after the file was opened.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    applyKey(db, salt);
    // The first read checks the key: a wrong key or a foreign file fails here.
    Statement probe = c.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    probe.step();
    configure(c);
    return c;
}

Connection Connection::create(const QString &path)
{
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("数据库文件已存在。\n%1").arg(QDir::toNativeSeparators(path)));
    QByteArray salt(kSaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), kSaltBytes) != 1)
        throw DbError(QStringLiteral("无法生成数据库文件的密钥。\n%1").arg(QDir::toNativeSeparators(path)));
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection c(db, path);
    if (rc != SQLITE_OK)
        c.fail(rc);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    applyKey(db, salt);
    configure(c);
    return c;
}

Connection Connection::connect(const DataSource &source)
{
    const QByteArray uri = source.uri.toUtf8();
    const QByteArray password = source.password.toUtf8();
    // The URI may itself carry every setting; the password, when given
    // apart, and the encoding are added to it.
    const char *keys[] = {
        "dbname", "client_encoding", "application_name", "connect_timeout", password.isEmpty() ? nullptr : "password",
        nullptr};
    const char *values[] = {uri.constData(), "UTF8", "kestrune", "10", password.constData(), nullptr};
    PGconn *pg = PQconnectdbParams(keys, values, 1);
    if (!pg)
        throw DbError(QStringLiteral("无法连接数据库服务器。"));
    QString where = source.uri;
    if (PQstatus(pg) == CONNECTION_OK)
        where = QStringLiteral("%1:%2/%3")
                    .arg(QString::fromUtf8(PQhost(pg)), QString::fromUtf8(PQport(pg)), QString::fromUtf8(PQdb(pg)));
    Connection c(pg, where);
    if (PQstatus(pg) != CONNECTION_OK)
        throw DbError(QStringLiteral("无法连接数据库服务器：\n%1").arg(serverMessage(PQerrorMessage(pg))));
    c.exec(QStringLiteral("SET client_min_messages = warning"));
    return c;
}

Connection::Connection(Connection &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_pg(std::exchange(other.m_pg, nullptr)),
      m_path(std::move(other.m_path))
{
}

Connection &Connection::operator=(Connection &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_pg = std::exchange(other.m_pg, nullptr);
        m_path = std::move(other.m_path);
    }
    return *this;
}

Connection::~Connection() { close(); }

void Connection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    if (m_pg) {
        PQfinish(m_pg);
        m_pg = nullptr;
    }
}

bool Connection::inTransaction() const
{
    if (m_pg)
        return PQtransactionStatus(m_pg) != PQTRANS_IDLE;
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

QString Connection::textType() const { return m_pg ? QStringLiteral("TEXT COLLATE \"C\"") : QStringLiteral("TEXT"); }

QStringList Connection::tableFields(const QString &table)
{
    QStringList found;
    if (m_pg) {
        Statement st = prepare(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                              "WHERE table_schema = current_schema() AND table_name = lower(?) "
                                              "ORDER BY ordinal_position"));
        st.bind(1, table);
        while (st.step())
            found << st.text(0);
        return found;
    }
    // The table name is one of the program's own fixed names, not user input.
    Statement st = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (st.step())
        found << st.text(1);
    return found;
}

QStringList Connection::tableNames()
{
    QStringList names;
    Statement st = prepare(
        m_pg ? QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
                              "AND table_type = 'BASE TABLE' AND table_name <> 'kestrune_changes' ORDER BY table_name")
             : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                              "ESCAPE '\\' ORDER BY name"));
    while (st.step())
        names << st.text(0);
    return names;
}

void Connection::exec(const QString &sql)
{
    if (m_pg) {
        PGresult *r = PQexec(m_pg, sql.toUtf8().constData());
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            fail(0);
        return;
    }
    char *err = nullptr;
    int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    if (err)
        sqlite3_free(err);
    if (rc != SQLITE_OK)
        fail(rc);
}

Statement Connection::prepare(const QString &sql)
{
    if (m_pg)
        return Statement(*this, serverStatement(sql));
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
    return Statement(*this, stmt);
}

Statement::Statement(Statement &&other) noexcept
    : m_conn(other.m_conn), m_stmt(std::exchange(other.m_stmt, nullptr)), m_serverSql(std::move(other.m_serverSql)),
      m_values(std::move(other.m_values)), m_result(std::exchange(other.m_result, nullptr)), m_row(other.m_row)
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        if (m_result)
            PQclear(m_result);
        m_conn = other.m_conn;
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_serverSql = std::move(other.m_serverSql);
        m_values = std::move(other.m_values);
        m_result = std::exchange(other.m_result, nullptr);
        m_row = other.m_row;
    }
    return *this;
}

Statement::~Statement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    if (m_result)
        PQclear(m_result);
}

void Statement::runOnServer()
{
    QVector<const char *> values(m_values.size());
    for (qsizetype i = 0; i < m_values.size(); ++i)
        values[i] = m_values[i].isNull() ? nullptr : m_values[i].constData();
    m_result = PQexecParams(m_conn->m_pg, m_serverSql.constData(), int(values.size()), nullptr, values.constData(),
                            nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(m_result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const QString message = serverMessage(PQresultErrorMessage(m_result));
        PQclear(m_result);
        m_result = nullptr;
        throw DbError(QStringLiteral("%1\n%2").arg(message, m_conn->m_path));
    }
    m_row = -1;
}

void Statement::bind(int index, const QString &value)
{
    if (m_conn->m_pg) {
        if (m_values.size() < index)
            m_values.resize(index);
        QByteArray utf8 = value.toUtf8();
        if (utf8.isNull())
            utf8 = QByteArray("");   // an empty text stays a text, never NULL
        m_values[index - 1] = std::move(utf8);
        return;
    }
    const QByteArray utf8 = value.toUtf8();
    int rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

void Statement::bindNull(int index)
{
    if (m_conn->m_pg) {
        if (m_values.size() < index)
            m_values.resize(index);
        m_values[index - 1] = QByteArray();
        return;
    }
    int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

void Statement::bindInt(int index, qint64 value)
{
    if (m_conn->m_pg) {
        bind(index, QString::number(value));
        return;
    }
    int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

void Statement::bindBlob(int index, const QByteArray &value)
{
    if (m_conn->m_pg) {
        // Bytes travel as the text form of bytea: binary-safe, no format flags.
        bind(index, QString::fromLatin1("\\x" + value.toHex()));
        return;
    }
    int rc = sqlite3_bind_blob(m_stmt, index, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

bool Statement::step()
{
    if (m_conn->m_pg) {
        if (!m_result)
            runOnServer();
        return ++m_row < PQntuples(m_result);
    }
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_conn->fail(rc);
}

void Statement::reset()
{
    if (m_conn->m_pg) {
        if (m_result)
            PQclear(m_result);
        m_result = nullptr;
        m_row = -1;
        m_values.clear();
        return;
    }
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const
{
    if (m_conn->m_pg)
        return m_result ? PQnfields(m_result) : 0;
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int i) const
{
    if (m_conn->m_pg)
        return m_result ? QString::fromUtf8(PQfname(m_result, i)) : QString();
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

bool Statement::isBinary(int i) const
{
    if (m_conn->m_pg) {
        constexpr Oid kByteaType = 17;
        return m_result && PQftype(m_result, i) == kByteaType;
    }
    return sqlite3_column_type(m_stmt, i) == SQLITE_BLOB;
}

bool Statement::isNull(int i) const
{
    if (m_conn->m_pg)
        return !m_result || m_row < 0 || m_row >= PQntuples(m_result) || PQgetisnull(m_result, m_row, i);
    return sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

QString Statement::text(int i) const
{
    if (m_conn->m_pg) {
        if (isNull(i))
            return QString();
        return QString::fromUtf8(PQgetvalue(m_result, m_row, i), PQgetlength(m_result, m_row, i));
    }
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    if (!p)
        return QString();
    return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, i));
}

QByteArrayView Statement::utf8(int i) const
{
    if (m_conn->m_pg) {
        if (isNull(i))
            return QByteArrayView();
        return QByteArrayView(PQgetvalue(m_result, m_row, i), PQgetlength(m_result, m_row, i));
    }
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    return p ? QByteArrayView(p, sqlite3_column_bytes(m_stmt, i)) : QByteArrayView();
}

QVariant Statement::value(int i) const
{
    if (isNull(i))
        return QVariant();
    return text(i);
}

QByteArray Statement::blob(int i) const
{
    if (m_conn->m_pg) {
        if (isNull(i))
            return QByteArray();
        size_t length = 0;
        unsigned char *bytes =
            PQunescapeBytea(reinterpret_cast<const unsigned char *>(PQgetvalue(m_result, m_row, i)), &length);
        if (!bytes)
            return QByteArray();
        QByteArray out(reinterpret_cast<const char *>(bytes), qsizetype(length));
        PQfreemem(bytes);
        return out;
    }
    const void *p = sqlite3_column_blob(m_stmt, i);
    if (!p)
        return QByteArray();
    return QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(m_stmt, i));
}

QString IntegrityProblem(Connection &conn)
{
    // The first lines say enough; a badly damaged file yields hundreds.
    constexpr int kShownProblems = 3;
    QStringList problems;
    try {
        Statement check = conn.prepare(QStringLiteral("PRAGMA quick_check(%1)").arg(kShownProblems + 1));
        while (check.step()) {
            const QString line = check.text(0);
            if (line == QLatin1String("ok"))
                return QString();
            // A heading of the attached database, not a problem.
            if (!line.startsWith(QLatin1String("***")))
                problems << line;
        }
    } catch (const DbError &e) {
        problems << e.message().section(QLatin1Char('\n'), 0, 0);
    }
    if (problems.isEmpty())
        problems << QStringLiteral("database disk image is malformed");
    return problems.mid(0, kShownProblems).join(QLatin1Char('\n'));
}

QString CheckFileIntegrity(const QString &path)
{
    try {
        Connection conn = Connection::open(path);
        return IntegrityProblem(conn);
    } catch (const DbError &e) {
        return e.message().section(QLatin1Char('\n'), 0, 0);
    }
}

Transaction::Transaction(Connection &conn) : m_conn(conn)
{
    // Inside a transaction already open on the connection: a savepoint of it.
    m_nested = m_conn.inTransaction();
    if (m_nested) {
        m_conn.exec(QStringLiteral("SAVEPOINT kestrune_write"));
        return;
    }
    if (m_conn.isServer()) {
        m_conn.exec(QStringLiteral("BEGIN"));
        m_conn.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kServerWriteLock));
        return;
    }
    m_conn.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (!m_done && m_conn.isServer()) {
        if (m_conn.isOpen())
            PQclear(PQexec(m_conn.m_pg, m_nested ? "ROLLBACK TO kestrune_write; RELEASE kestrune_write" : "ROLLBACK"));
    } else if (!m_done) {
        char *err = nullptr;
        sqlite3_exec(m_conn.handle(), m_nested ? "ROLLBACK TO kestrune_write; RELEASE kestrune_write" : "ROLLBACK",
                     nullptr, nullptr, &err);
        if (err)
            sqlite3_free(err);
    }
}

void Transaction::commit()
{
    m_conn.exec(m_nested ? QStringLiteral("RELEASE kestrune_write") : QStringLiteral("COMMIT"));
    m_done = true;
}
