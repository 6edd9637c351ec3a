#include "data/Database.h"

#include "data/DbError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
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
                      reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()),
                      kKdfIterations, EVP_sha1(), kKeyBytes,
                      reinterpret_cast<unsigned char *>(key.data()));
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

} // namespace

QString DataFilePath(const QString &appDir)
{
    return QDir(appDir).filePath(QStringLiteral("ProSys.mdb"));
}

QString Connection::errorText(int code) const
{
    const char *msg = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    return QStringLiteral("%1\n%2").arg(QString::fromUtf8(msg), QDir::toNativeSeparators(m_path));
}

void Connection::fail(int code) const
{
    throw DbError(errorText(code));
}

static void configure(Connection &c)
{
    sqlite3_busy_timeout(c.handle(), 3000);
    // The one file must be the whole database: no write-ahead log beside it.
    c.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
}

Connection Connection::open(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        throw DbError(QStringLiteral("找不到数据库文件。\n%1").arg(native));
    const QByteArray salt = readSalt(path);
    if (salt.size() != kSaltBytes)
        throw DbError(QStringLiteral("file is not a database\n%1").arg(native));

    sqlite3 *db = nullptr;
    // A connection is used by one thread at a time, so it goes without the
    // engine's lock on every call (two per cell when a table is read).
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    Connection c(db, path);
    if (rc != SQLITE_OK)
        c.fail(rc);
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
    applyKey(db, salt);
    configure(c);
    return c;
}

Connection::Connection(Connection &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path)) {}

Connection &Connection::operator=(Connection &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
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
}

void Connection::exec(const QString &sql)
{
    char *err = nullptr;
    int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    if (err)
        sqlite3_free(err);
    if (rc != SQLITE_OK)
        fail(rc);
}

Statement Connection::prepare(const QString &sql)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
    return Statement(*this, stmt);
}

Statement::Statement(Statement &&other) noexcept
    : m_conn(other.m_conn), m_stmt(std::exchange(other.m_stmt, nullptr)) {}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_conn = other.m_conn;
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

Statement::~Statement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    int rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

void Statement::bindNull(int index)
{
    int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

void Statement::bindInt(int index, qint64 value)
{
    int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

void Statement::bindBlob(int index, const QByteArray &value)
{
    int rc = sqlite3_bind_blob(m_stmt, index, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        m_conn->fail(rc);
}

bool Statement::step()
{
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_conn->fail(rc);
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const { return sqlite3_column_count(m_stmt); }

QString Statement::columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }

bool Statement::isNull(int i) const { return sqlite3_column_type(m_stmt, i) == SQLITE_NULL; }

QString Statement::text(int i) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    if (!p)
        return QString();
    return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, i));
}

QByteArrayView Statement::utf8(int i) const
{
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
    const void *p = sqlite3_column_blob(m_stmt, i);
    if (!p)
        return QByteArray();
    return QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(m_stmt, i));
}

Transaction::Transaction(Connection &conn) : m_conn(conn)
{
    m_nested = sqlite3_get_autocommit(m_conn.handle()) == 0;
    m_conn.exec(m_nested ? QStringLiteral("SAVEPOINT kestrune_write") : QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (!m_done) {
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
