#include "data/FileBackend.h"

#include "data/AuditLog.h"

#include "data/DbError.h"
#include "data/FileCopy.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <thread>

namespace {

// The file format's key derivation (SQLCipher 3): PBKDF2-HMAC-SHA1 over the
// password with the file's 16-byte salt, 64000 rounds, 256-bit key. New files
// are keyed the same way, never with the library's own defaults (which a
// newer engine changes), so every file opens with the password in any
// SQLCipher 3 program.
constexpr int kSaltBytes = 16;
constexpr int kKdfIterations = 64000;
constexpr int kKeyBytes = 32;

// Another program holding the file is waited for this long before a read or
// a write gives up.
constexpr int kBusyTimeoutMs = 3000;

// The password a key stands for: the library's own, or the default one.
QByteArray passwordOf(const QString &key) { return key.isEmpty() ? QByteArray(kDatabasePassword) : key.toUtf8(); }

// Deriving the key costs tens of milliseconds; the derived key only depends
// on the password and the file's salt, so it is kept for every file the run
// opens.
QByteArray rawKeyForSalt(const QByteArray &salt, const QString &libraryKey)
{
    static QMutex mutex;
    static QHash<QByteArray, QByteArray> cache;
    const QByteArray password = passwordOf(libraryKey);
    // A password is any text; its length first keeps two pairs apart.
    const QByteArray cacheKey = QByteArray::number(password.size()) + ':' + password + salt;
    QMutexLocker lock(&mutex);
    auto it = cache.constFind(cacheKey);
    if (it != cache.constEnd())
        return *it;
    QByteArray key(kKeyBytes, '\0');
    PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                      reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), kKdfIterations,
                      EVP_sha1(), kKeyBytes, reinterpret_cast<unsigned char *>(key.data()));
    cache.insert(cacheKey, key);
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
QByteArray keyValue(const QByteArray &salt, const QString &libraryKey)
{
    return "x'" + rawKeyForSalt(salt, libraryKey).toHex() + salt.toHex() + "'";
}

void applyKey(sqlite3 *db, const QByteArray &salt, const QString &libraryKey)
{
    const QByteArray value = keyValue(salt, libraryKey);
    sqlite3_key(db, value.constData(), int(value.size()));
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

class FileEngine;

[[noreturn]] void failOn(sqlite3 *db, const QString &path, int code)
{
    const int engineCode = db ? sqlite3_extended_errcode(db) : code;
    const char *msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw DbError(engineCode, path, QString::fromUtf8(msg));
}

class FileStatement final : public StatementEngine {
public:
    FileStatement(sqlite3 *db, sqlite3_stmt *stmt, QString path) : m_db(db), m_stmt(stmt), m_path(std::move(path)) {}
    ~FileStatement() override { sqlite3_finalize(m_stmt); }

    void bindText(int index, const QByteArray &utf8) override
    {
        check(sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    }
    void bindNull(int index) override { check(sqlite3_bind_null(m_stmt, index)); }
    void bindInt(int index, qint64 value) override { check(sqlite3_bind_int64(m_stmt, index, value)); }
    void bindBlob(int index, const QByteArray &value) override
    {
        check(sqlite3_bind_blob(m_stmt, index, value.constData(), int(value.size()), SQLITE_TRANSIENT));
    }
    bool step() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        failOn(m_db, m_path, rc);
    }
    void reset() override
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int i) const override { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }
    bool isNull(int i) const override { return sqlite3_column_type(m_stmt, i) == SQLITE_NULL; }
    QByteArrayView utf8(int i) const override
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
        return p ? QByteArrayView(p, sqlite3_column_bytes(m_stmt, i)) : QByteArrayView();
    }
    QByteArray blob(int i) const override
    {
        const void *p = sqlite3_column_blob(m_stmt, i);
        if (!p)
            return QByteArray();
        return QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(m_stmt, i));
    }
    bool isBinary(int i) const override { return sqlite3_column_type(m_stmt, i) == SQLITE_BLOB; }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            failOn(m_db, m_path, rc);
    }
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt;
    QString m_path;
};

class FileEngine final : public ConnectionEngine {
public:
    FileEngine(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path)) {}
    ~FileEngine() override { close(); }

    sqlite3 *db() const { return m_db; }
    [[noreturn]] void fail(int code) const { failOn(m_db, m_path, code); }

    QString where() const override { return m_path; }
    bool isOpen() const override { return m_db != nullptr; }
    void close() override
    {
        if (m_db) {
            sqlite3_close_v2(m_db);
            m_db = nullptr;
        }
    }
    void exec(const QString &sql) override
    {
        char *err = nullptr;
        const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err);
        if (err)
            sqlite3_free(err);
        if (rc != SQLITE_OK)
            fail(rc);
    }
    std::unique_ptr<StatementEngine> prepare(const QString &sql) override
    {
        sqlite3_stmt *stmt = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr);
        if (rc != SQLITE_OK)
            fail(rc);
        return std::make_unique<FileStatement>(m_db, stmt, m_path);
    }
    bool inTransaction() const override { return m_db && sqlite3_get_autocommit(m_db) == 0; }
    // The write lock from the start: a writer never finds, halfway, that
    // another program has written meanwhile.
    void beginWrite() override { exec(QStringLiteral("BEGIN IMMEDIATE")); }
    void beginSnapshot() override { exec(QStringLiteral("BEGIN")); }
    void rollbackQuietly(bool toSavepoint) noexcept override
    {
        if (!m_db)
            return;
        char *err = nullptr;
        sqlite3_exec(m_db, toSavepoint ? "ROLLBACK TO kestrune_write; RELEASE kestrune_write" : "ROLLBACK", nullptr,
                     nullptr, &err);
        if (err)
            sqlite3_free(err);
    }

    QStringList tableFields(const QString &table) override
    {
        QStringList found;
        // The table name is one of the program's own fixed names, not user input.
        auto st = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (st->step())
            found << QString::fromUtf8(st->utf8(1));
        return found;
    }
    QStringList tableNames() override
    {
        QStringList names;
        auto st = prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                         "'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
        while (st->step())
            names << QString::fromUtf8(st->utf8(0));
        return names;
    }
    QString textType() const override { return QStringLiteral("TEXT"); }
    QString tableDefinition(const QString &fileDefinition) const override { return fileDefinition; }
    QString notOnlyDigits(const QString &column) const override
    {
        return QStringLiteral("trim(%1) GLOB '*[^0-9]*'").arg(column);
    }
    QString wideInteger(const QString &column) const override
    {
        return QStringLiteral("CAST(%1 AS INTEGER)").arg(column);
    }
    bool sharedWithOthers() const override { return false; }
    QHash<QString, qlonglong> changeCounts(const QStringList &) override { return {}; }
    void addChangeCounters(const QStringList &) override {}
    void refuseChanges(const QString &table) override
    {
        for (const char *what : {"UPDATE", "DELETE"})
            exec(QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_no_%2 BEFORE %3 ON %1 "
                                "BEGIN SELECT RAISE(ABORT, '%1 is append-only'); END")
                     .arg(table, QString::fromLatin1(what).toLower(), QString::fromLatin1(what)));
    }
    QString integrityProblem() override
    {
        // The first lines say enough; a badly damaged file yields hundreds.
        constexpr int kShownProblems = 3;
        QStringList problems;
        try {
            auto check = prepare(QStringLiteral("PRAGMA quick_check(%1)").arg(kShownProblems + 1));
            while (check->step()) {
                const QString line = QString::fromUtf8(check->utf8(0));
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
    void setWaitForWriters(bool wait) override { sqlite3_busy_timeout(m_db, wait ? kBusyTimeoutMs : 0); }

private:
    sqlite3 *m_db;
    QString m_path;
};

Connection openFile(const QString &path, int flags)
{
    sqlite3 *db = nullptr;
    // A connection is used by one thread at a time, so it goes without the
    // engine's lock on every call (two per cell when a table is read).
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    auto engine = std::make_unique<FileEngine>(db, path);
    FileEngine &e = *engine;
    Connection c(std::move(engine));
    if (rc != SQLITE_OK)
        e.fail(rc);
    // Before the first read: a program in the middle of a write is waited
    // for from the start, not only after the file was opened.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return c;
}

// The one file must be the whole database: no write-ahead log beside it.
void configure(Connection &c)
{
    c.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    // A deleted expert or user is overwritten, not left readable in a free
    // page of the file (nor in a copy of it).
    c.exec(QStringLiteral("PRAGMA secure_delete=ON"));
}

// Reads a large table as two halves at once, split at its middle Id, each on
// a connection of its own: decrypting the pages is most of a load, and a
// second core halves it. Both connections read in one snapshot: the first
// holds its read lock from the count on, and the second must take its lock
// while the first still holds it (no writer can commit in between), or the
// whole table is read on the first alone. Returns false when the table is
// too small to be worth it or the second lock was not had at once.
bool loadInHalves(Connection &conn, Connection &second, const TableDef &def, TextTable &table)
{
    constexpr qsizetype kHalvesFrom = 4096;
    const int columns = int(def.fields.size());
    Statement count = conn.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(def.name));
    count.step();
    const qsizetype rows = count.text(0).toLongLong();
    if (rows < kHalvesFrom)
        return false;
    // The Id index finds the middle without reading the records.
    Statement middle = conn.prepare(QStringLiteral("SELECT Id FROM %1 ORDER BY Id LIMIT 1 OFFSET ?").arg(def.name));
    middle.bind(1, QString::number(rows / 2));
    if (!middle.step())
        return false;
    const QString mid = middle.text(0);

    second.engine().setWaitForWriters(false);
    ReadSnapshot secondRead(second);
    Statement upper = second.prepare(QStringLiteral("SELECT * FROM %1 WHERE Id >= ? ORDER BY Id").arg(def.name));
    upper.bind(1, mid);
    bool upperRow = false;
    try {
        upperRow = upper.step();
    } catch (const DbError &) {
        return false;   // a writer waits for the file: no second snapshot
    }

    TextTable upperRows;
    std::exception_ptr upperFailure;
    std::thread reader([&] {
        try {
            ReadRows(upper, columns, upperRows, upperRow);
        } catch (...) {
            upperFailure = std::current_exception();
        }
    });
    try {
        Statement lower = conn.prepare(QStringLiteral("SELECT * FROM %1 WHERE Id < ? ORDER BY Id").arg(def.name));
        lower.bind(1, mid);
        ReadRows(lower, columns, table);
    } catch (...) {
        reader.join();
        throw;
    }
    reader.join();
    if (upperFailure)
        std::rethrow_exception(upperFailure);
    table.appendTable(std::move(upperRows));
    // An Id the comparisons cannot place (a null in an odd file) would be in
    // neither half.
    if (table.count() != rows) {
        table.clear();
        return false;
    }
    return true;
}

}   // namespace

Connection Connection::open(const QString &path, const QString &key)
{
    if (!QFileInfo::exists(path))
        throw DbError(QStringLiteral("找不到数据库文件。\n%1").arg(native(path)));
    const QByteArray salt = readSalt(path);
    if (salt.size() != kSaltBytes)
        throw DbError(SQLITE_NOTADB, path, QString::fromUtf8(sqlite3_errstr(SQLITE_NOTADB)));
    Connection c = openFile(path, SQLITE_OPEN_READWRITE);
    applyKey(static_cast<FileEngine &>(c.engine()).db(), salt, key);
    // The first read checks the key: a wrong key or a foreign file fails here.
    Statement probe = c.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    probe.step();
    configure(c);
    return c;
}

Connection Connection::create(const QString &path, const QString &key)
{
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("数据库文件已存在。\n%1").arg(native(path)));
    QByteArray salt(kSaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), kSaltBytes) != 1)
        throw DbError(QStringLiteral("无法生成数据库文件的密钥。\n%1").arg(native(path)));
    Connection c = openFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    applyKey(static_cast<FileEngine &>(c.engine()).db(), salt, key);
    configure(c);
    return c;
}

FileBackend::FileBackend(DataSource source, QString path) : m_source(std::move(source)), m_path(std::move(path)) {}

QString FileBackend::displayName() const { return native(m_path); }

void FileBackend::prepare() { EnsureDataFile(m_path, m_source.key); }

std::optional<FileBackend::FileIdentity> FileBackend::identity() const
{
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

Connection &FileBackend::connection()
{
    // A file put in the data file's place (a restore, a copy made by hand)
    // is another file: the connection to the old one would read what is gone.
    const std::optional<FileIdentity> now = identity();
    if (m_session && !m_session->inScope() && (!m_session->isOpen() || now != m_sessionFile))
        release();
    if (!m_session) {
        m_session.emplace(Connection::open(m_path, m_source.key));
        m_sessionFile = identity();
    } else if (m_session->inTransaction() && !m_session->inScope()) {
        // A read or write that was cut short never stays open into the next;
        // one of a scope still running is the caller's own.
        m_session->engine().rollbackQuietly(false);
    }
    return *m_session;
}

void FileBackend::release()
{
    m_session.reset();
    m_sessionFile.reset();
}

Connection FileBackend::openSeparate() { return Connection::open(m_path, m_source.key); }

void FileBackend::readTracked(const QStringList &, const std::function<void(Connection &)> &read)
{
    Connection &conn = connection();
    read(conn);
}

TextTable FileBackend::readWholeTable(Connection &conn, const TableDef &def)
{
    // Inside a transaction of the caller's, a second connection would not
    // see what that transaction wrote: the table is read on conn alone.
    if (conn.inTransaction())
        return ReadTable(conn, def);
    TextTable table;
    // Opened before the first read lock is taken, so that opening it never
    // waits on a writer that waits on that lock.
    Connection second = openSeparate();
    ReadSnapshot snapshot(conn);
    if (!loadInHalves(conn, second, def, table))
        table = ReadTable(conn, def);
    return table;
}

bool FileBackend::isLibraryFile(const QString &path) const
{
    const QFileInfo a(path), b(m_path);
    if (a.exists() && b.exists())
        return a.canonicalFilePath() == b.canonicalFilePath();
    return QDir::cleanPath(a.absoluteFilePath()) == QDir::cleanPath(b.absoluteFilePath());
}

Outcome FileBackend::settle()
{
    // A journal left beside the data file by an interrupted write belongs to
    // that file; taking the write lock once lets the engine roll it back.
    // Only another program in the middle of a write stops what comes next; a
    // damaged current file is one reason to restore and is copied as it is.
    try {
        Transaction probe(connection());
    } catch (const DbError &e) {
        const int code = e.engineCode() & 0xFF;
        if (code != SQLITE_CORRUPT && code != SQLITE_NOTADB)
            return Outcome::fail(e.sentence(), e.detail());
        release();
    }
    return Outcome::success();
}

Outcome FileBackend::writeDataFile(const QString &target) { return CopyDataFile(m_path, target, m_source.key); }

Outcome FileBackend::replaceWith(const QString &backup, const QString &backupKey, const QString &operatorName)
{
    // The library keeps its operation log: the staged copy of the backup is
    // given the current log and the restore entry before it is put in
    // place. A log that cannot be read (a damaged file) leaves the backup's
    // own.
    QList<AuditEntry> kept;
    try {
        kept = ReadAuditEntries(connection());
    } catch (const DbError &) {
        kept.clear();
    }
    // A backup under another key is re-keyed on its way in: the library
    // keeps the password its administrator gave it.
    return placeRekeyed(backup, backupKey, m_source.key, {}, [&](const QString &stagedPath) {
        Connection conn = Connection::open(stagedPath, m_source.key);
        {
            Transaction tx(conn);
            const AuditHead restored = ReadAuditHead(conn);
            EnsureProjectTables(conn);
            if (!kept.isEmpty())
                RebuildAuditLog(conn, kept);
            const AuditHead replaced = kept.isEmpty() ? AuditHead() : AuditHead{kept.last().seq, kept.last().hash};
            AppendRestoreEntry(conn, operatorName, backup, replaced, restored);
            tx.commit();
        }
        conn.close();
    });
}

Outcome FileBackend::changeKey(const QString &newKey, const KeyProbe &probe)
{
    const Outcome placed = placeRekeyed(m_path, m_source.key, newKey, probe);
    if (placed)
        m_source.key = newKey;
    return placed;
}

Outcome FileBackend::placeRekeyed(const QString &from, const QString &fromKey, const QString &toKey,
                                  const KeyProbe &probe, const std::function<void(const QString &)> &finish)
{
    const auto stop = [&](KeyStep step, const QString &staged) {
        return probe ? probe(step, staged) : Outcome::success();
    };
    // Made beside the data file under a name that a later start sweeps
    // away if this run is killed before the rename.
    QTemporaryFile staged(StagedNameTemplate(m_path));
    if (!staged.open())
        return Outcome::fail(
            QStringLiteral("无法在数据库文件旁边写入临时文件“%1”。").arg(native(staged.fileTemplate())),
            staged.errorString());
    const QString stagedPath = staged.fileName();
    try {
        // The bytes are copied inside a read of the source: an interrupted
        // write is rolled back first, and nothing commits halfway into the copy.
        {
            Connection source = Connection::open(from, fromKey);
            ReadSnapshot snapshot(source);
            source.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
            QFile in(from);
            if (!in.open(QIODevice::ReadOnly))
                return Outcome::fail(QStringLiteral("无法读取文件“%1”。").arg(native(from)), in.errorString());
            constexpr qint64 kChunk = 1 << 20;
            while (!in.atEnd()) {
                const QByteArray chunk = in.read(kChunk);
                if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
                    return Outcome::fail(QStringLiteral("无法读取文件“%1”。").arg(native(from)), in.errorString());
                if (staged.write(chunk) != chunk.size())
                    return Outcome::fail(QStringLiteral("无法写入临时文件“%1”。").arg(native(stagedPath)),
                                         staged.errorString());
            }
            if (!staged.flush() || staged.size() != in.size())
                return Outcome::fail(QStringLiteral("无法写入临时文件“%1”。").arg(native(stagedPath)),
                                     staged.errorString());
            staged.close();
        }
        if (const Outcome o = stop(KeyStep::StagedCopy, stagedPath); !o)
            return o;

        if (passwordOf(fromKey) != passwordOf(toKey)) {
            Connection copy = Connection::open(stagedPath, fromKey);
            const QByteArray value = keyValue(readSalt(stagedPath), toKey);
            auto &engine = static_cast<FileEngine &>(copy.engine());
            if (const int rc = sqlite3_rekey(engine.db(), value.constData(), int(value.size())); rc != SQLITE_OK)
                engine.fail(rc);
            copy.close();
        }
        if (const Outcome o = stop(KeyStep::Rekeyed, stagedPath); !o)
            return o;
        if (finish)
            finish(stagedPath);

        // Only a copy that opens with the new key alone, holds the library's
        // tables and whose every page reads may take the file's place.
        {
            Connection check = Connection::open(stagedPath, toKey);
            const Outcome schema = CheckSchema(check);
            if (!schema)
                return schema.prefixed(QStringLiteral("新密钥的副本检查未通过：\n"));
            const QString damage = IntegrityProblem(check);
            if (!damage.isEmpty())
                return Outcome::fail(QStringLiteral("新密钥的副本检查未通过。"), damage);
            check.close();
        }
        if (passwordOf(fromKey) != passwordOf(toKey) && KeyOpensFile(stagedPath, fromKey))
            return Outcome::fail(QStringLiteral("新密钥的副本检查未通过：旧密码仍能打开它。"));
        if (const Outcome o = stop(KeyStep::Checked, stagedPath); !o)
            return o;
    } catch (const DbError &e) {
        return Outcome::fail(e.onFile(from).sentence(), e.detail());
    }

    // The session's connection belongs to the file that is going.
    release();
    // A journal beside the data file belongs to the file that is going and
    // must never be played into the new one: one that cannot be removed
    // stops the replacement before anything changed.
    const QString journal = m_path + QStringLiteral("-journal");
    if (QFileInfo::exists(journal) && !QFile::remove(journal))
        return Outcome::fail(QStringLiteral("无法删除数据库文件旁边的日志文件“%1”。").arg(native(journal)));
    if (const Outcome o = stop(KeyStep::Placing, stagedPath); !o)
        return o;
    // A replaced data file keeps its permissions.
    if (QFileInfo::exists(m_path))
        QFile::setPermissions(stagedPath, QFileInfo(m_path).permissions());
    const QByteArray stagedName = QFile::encodeName(stagedPath);
    const int fd = ::open(stagedName.constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    if (::rename(stagedName.constData(), QFile::encodeName(m_path).constData()) != 0)
        return Outcome::fail(QStringLiteral("无法用新文件替换数据库文件“%1”。").arg(native(m_path)),
                             QString::fromLocal8Bit(std::strerror(errno)));
    staged.setAutoRemove(false);
    // The new name only survives a power cut once the folder is on the disk.
    const int folder = ::open(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return Outcome::success();
}

bool KeyOpensFile(const QString &path, const QString &key)
{
    try {
        Connection::open(path, key).close();
        return true;
    } catch (const DbError &e) {
        return !e.notADatabase();
    }
}

Outcome FileBackend::keepIfDamaged(const QString &copyPath)
{
    bool damaged = false;
    try {
        Connection conn = openSeparate();
        damaged = !IntegrityProblem(conn).isEmpty();
    } catch (const DbError &e) {
        damaged = !e.fileBusy() && QFileInfo(m_path).isFile();
    }
    if (!damaged)
        return Outcome::fail(QString());
    const Outcome copied = CopyFileReplacing(m_path, copyPath);
    return copied ? Outcome::success(copyPath) : copied;
}

Outcome FileBackend::compact()
{
    // VACUUM rebuilds the file through the rollback journal: a failure or a
    // kill midway leaves the file as it was.
    return CatchDbError([&] { connection().exec(QStringLiteral("VACUUM")); });
}

Failure FileBackend::exitBackupFailure(const Failure &cause) const
{
    const QString detail = cause.detail.isEmpty() ? cause.message : cause.message + QLatin1Char('\n') + cause.detail;
    return {QStringLiteral("请先关闭打开的数据库！"), detail, cause.kind};
}
