#include "data/ServerBackend.h"

#include "data/AuditLog.h"

#include "data/DataSource.h"
#include "data/DbError.h"
#include "data/FileBackend.h"
#include "data/FileCopy.h"
#include "data/LibraryCopy.h"
#include "data/Schema.h"
#include "data/ServerAddress.h"
#include "data/Tables.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <libpq-fe.h>

namespace {

// Writers take this one lock for their transaction, so that they follow
// each other as writers of the file do: a new record's number is read and
// used by one writer at a time.
constexpr long long kServerWriteLock = 0x4b657374;

QString serverMessage(const char *text) { return QString::fromUtf8(text).trimmed(); }

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

// A failure of the server, told by its SQLSTATE: a lost connection may come
// back and a lock held too long may be free later; anything else is the
// statement's own. result: the failed statement's, or null for the
// connection's last error.
[[noreturn]] void failOn(PGconn *pg, const PGresult *result, const QString &server)
{
    QString text = result ? serverMessage(PQresultErrorMessage(result)) : QString();
    if (text.isEmpty())
        text = serverMessage(PQerrorMessage(pg));
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    throw DbError::fromFailure(
        ServerFailure(QString::fromLatin1(state ? state : ""), PQstatus(pg) == CONNECTION_BAD, server, text));
}

class ServerStatement final : public StatementEngine {
public:
    ServerStatement(PGconn *pg, QByteArray sql, QString server)
        : m_pg(pg), m_sql(std::move(sql)), m_server(std::move(server))
    {
    }
    ~ServerStatement() override
    {
        if (m_result)
            PQclear(m_result);
    }

    void bindText(int index, const QByteArray &utf8) override { slot(index) = utf8; }
    void bindNull(int index) override { slot(index) = QByteArray(); }
    void bindInt(int index, qint64 value) override { slot(index) = QByteArray::number(value); }
    // Bytes travel as the text form of bytea: binary-safe, no format flags.
    void bindBlob(int index, const QByteArray &value) override { slot(index) = "\\x" + value.toHex(); }
    bool step() override
    {
        if (!m_result)
            run();
        return ++m_row < PQntuples(m_result);
    }
    void reset() override
    {
        if (m_result)
            PQclear(m_result);
        m_result = nullptr;
        m_row = -1;
        m_values.clear();
    }
    int columnCount() const override { return m_result ? PQnfields(m_result) : 0; }
    QString columnName(int i) const override { return m_result ? QString::fromUtf8(PQfname(m_result, i)) : QString(); }
    bool isNull(int i) const override
    {
        return !m_result || m_row < 0 || m_row >= PQntuples(m_result) || PQgetisnull(m_result, m_row, i);
    }
    QByteArrayView utf8(int i) const override
    {
        if (isNull(i))
            return QByteArrayView();
        return QByteArrayView(PQgetvalue(m_result, m_row, i), PQgetlength(m_result, m_row, i));
    }
    QByteArray blob(int i) const override
    {
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
    bool isBinary(int i) const override
    {
        constexpr Oid kByteaType = 17;
        return m_result && PQftype(m_result, i) == kByteaType;
    }

private:
    // A value never bound is NULL (a null QByteArray).
    QByteArray &slot(int index)
    {
        if (m_values.size() < index)
            m_values.resize(index);
        return m_values[index - 1];
    }
    void run()
    {
        QVector<const char *> values(m_values.size());
        for (qsizetype i = 0; i < m_values.size(); ++i)
            values[i] = m_values[i].isNull() ? nullptr : m_values[i].constData();
        m_result =
            PQexecParams(m_pg, m_sql.constData(), int(values.size()), nullptr, values.constData(), nullptr, nullptr, 0);
        const ExecStatusType status = PQresultStatus(m_result);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            PGresult *failed = std::exchange(m_result, nullptr);
            const auto clear = qScopeGuard([failed] { PQclear(failed); });
            failOn(m_pg, failed, m_server);
        }
        m_row = -1;
    }

    PGconn *m_pg;
    QByteArray m_sql;
    QString m_server;
    QVector<QByteArray> m_values;
    PGresult *m_result = nullptr;
    int m_row = -1;
};

class ServerEngine final : public ConnectionEngine {
public:
    ServerEngine(PGconn *pg, QString where, QString server)
        : m_pg(pg), m_where(std::move(where)), m_server(std::move(server))
    {
    }
    ~ServerEngine() override { close(); }

    PGconn *pg() const { return m_pg; }

    QString where() const override { return m_where; }
    bool isOpen() const override { return m_pg != nullptr; }
    void close() override
    {
        if (m_pg) {
            PQfinish(m_pg);
            m_pg = nullptr;
        }
    }
    void exec(const QString &sql) override
    {
        PGresult *r = PQexec(m_pg, sql.toUtf8().constData());
        const auto clear = qScopeGuard([r] { PQclear(r); });
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            failOn(m_pg, r, m_server);
    }
    std::unique_ptr<StatementEngine> prepare(const QString &sql) override
    {
        return std::make_unique<ServerStatement>(m_pg, serverStatement(sql), m_server);
    }
    bool inTransaction() const override { return m_pg && PQtransactionStatus(m_pg) != PQTRANS_IDLE; }
    void beginWrite() override
    {
        exec(QStringLiteral("BEGIN"));
        // A write that cannot finish in time (a colleague's long write, a
        // lock someone holds) gives up whole rather than freeze the program;
        // the wait for a lock is the session's lock_timeout.
        exec(QStringLiteral("SET LOCAL statement_timeout = %1").arg(m_waits.statementMs));
        exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kServerWriteLock));
        m_writeStart = countersNow();
    }
    void commitWrite() override
    {
        const QHash<QString, qlonglong> before = std::exchange(m_writeStart, {});
        const QHash<QString, qlonglong> after = before.isEmpty() ? before : countersNow();
        commitChecked();
        // What this write changed, from which count to which: the program's
        // own change, which its copy of the table may take in without
        // reading the table again.
        for (auto it = after.constBegin(); it != after.constEnd(); ++it)
            if (before.value(it.key(), -1) != it.value())
                m_ownSteps[it.key()].insert(before.value(it.key(), -1), it.value());
    }
    // Lock waits for every statement of the session, the run time for the
    // statements of a write.
    void setWaits(const ServerWaits &waits)
    {
        m_waits = waits;
        exec(QStringLiteral("SET lock_timeout = %1").arg(waits.lockMs));
    }
    // Each change-counted table's steps from one count to the next that
    // this connection's own writes made.
    QHash<QString, QHash<qlonglong, qlonglong>> &ownSteps() { return m_ownSteps; }
    void beginSnapshot() override { exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")); }
    void rollbackQuietly(bool toSavepoint) noexcept override
    {
        if (m_pg)
            PQclear(PQexec(m_pg, toSavepoint ? "ROLLBACK TO kestrune_write; RELEASE kestrune_write" : "ROLLBACK"));
    }

    QStringList tableFields(const QString &table) override
    {
        QStringList found;
        auto st = prepare(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                         "WHERE table_schema = current_schema() AND table_name = lower(?) "
                                         "ORDER BY ordinal_position"));
        st->bindText(1, table.toUtf8());
        while (st->step())
            found << QString::fromUtf8(st->utf8(0));
        return found;
    }
    QStringList tableNames() override
    {
        QStringList names;
        auto st = prepare(
            QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
                           "AND table_type = 'BASE TABLE' AND table_name <> 'kestrune_changes' ORDER BY table_name"));
        while (st->step())
            names << QString::fromUtf8(st->utf8(0));
        return names;
    }
    // Text compared and ordered byte by byte like the file does, whatever
    // the database's locale.
    QString textType() const override { return QStringLiteral("TEXT COLLATE \"C\""); }
    // Bytes as bytea, text compared as in the file, and a row number that
    // keeps the order of insertion, which the file's tables have without asking.
    QString tableDefinition(const QString &fileDefinition) const override
    {
        QString sql = fileDefinition;
        sql.replace(QLatin1String(" BLOB"), QLatin1String(" BYTEA"));
        sql.replace(QLatin1String(" TEXT"), QLatin1Char(' ') + textType());
        sql.insert(sql.lastIndexOf(QLatin1Char(')')), QLatin1String(", rowid BIGSERIAL"));
        return sql;
    }
    QString notOnlyDigits(const QString &column) const override
    {
        return QStringLiteral("trim(%1) !~ '^[0-9]+$'").arg(column);
    }
    QString wideInteger(const QString &column) const override
    {
        return QStringLiteral("CAST(trim(%1) AS BIGINT)").arg(column);
    }
    bool sharedWithOthers() const override { return true; }
    QHash<QString, qlonglong> changeCounts(const QStringList &tables) override
    {
        QHash<QString, qlonglong> counts;
        auto count = prepare(QStringLiteral("SELECT serial FROM kestrune_changes WHERE table_name = ?"));
        for (const QString &table : tables) {
            count->bindText(1, table.toUtf8());
            if (count->step())
                counts.insert(table, QString::fromUtf8(count->utf8(0)).toLongLong());
            count->reset();
        }
        return counts;
    }
    void addChangeCounters(const QStringList &tables) override
    {
        // Every statement that changes a table counts one change of it,
        // whoever sends it; a program compares the count with the one it
        // read with the table to know whether its copy is still current.
        exec(QStringLiteral("CREATE TABLE IF NOT EXISTS kestrune_changes "
                            "(table_name TEXT PRIMARY KEY, serial BIGINT NOT NULL DEFAULT 0)"));
        exec(QStringLiteral("CREATE OR REPLACE FUNCTION kestrune_count_change() RETURNS trigger "
                            "LANGUAGE plpgsql AS $$ BEGIN "
                            "UPDATE kestrune_changes SET serial = serial + 1 WHERE table_name = TG_TABLE_NAME; "
                            "RETURN NULL; END $$"));
        for (const QString &table : tables) {
            auto add = prepare(QStringLiteral("INSERT INTO kestrune_changes (table_name) VALUES (?) "
                                              "ON CONFLICT (table_name) DO NOTHING"));
            add->bindText(1, table.toUtf8());
            add->step();
            // The names are the program's own. Dropped and made again rather
            // than replaced, which servers before version 14 cannot.
            exec(QStringLiteral("DROP TRIGGER IF EXISTS %1_changes ON %1").arg(table));
            exec(QStringLiteral("CREATE TRIGGER %1_changes AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE "
                                "ON %1 FOR EACH STATEMENT EXECUTE FUNCTION kestrune_count_change()")
                     .arg(table));
        }
    }
    void refuseChanges(const QString &table) override
    {
        exec(QStringLiteral("CREATE OR REPLACE FUNCTION kestrune_refuse_change() RETURNS trigger "
                            "LANGUAGE plpgsql AS $$ BEGIN "
                            "RAISE EXCEPTION '% is append-only', TG_TABLE_NAME; END $$"));
        exec(QStringLiteral("DROP TRIGGER IF EXISTS %1_no_change ON %1").arg(table));
        exec(QStringLiteral("CREATE TRIGGER %1_no_change BEFORE UPDATE OR DELETE ON %1 "
                            "FOR EACH ROW EXECUTE FUNCTION kestrune_refuse_change()")
                 .arg(table));
        exec(QStringLiteral("DROP TRIGGER IF EXISTS %1_no_truncate ON %1").arg(table));
        exec(QStringLiteral("CREATE TRIGGER %1_no_truncate BEFORE TRUNCATE ON %1 "
                            "FOR EACH STATEMENT EXECUTE FUNCTION kestrune_refuse_change()")
                 .arg(table));
    }
    // The server keeps its own pages sound.
    QString integrityProblem() override { return QString(); }
    void setWaitForWriters(bool) override {}

private:
    // Every change count, or none where the library has no counters yet
    // (while it is being made).
    QHash<QString, qlonglong> countersNow()
    {
        QHash<QString, qlonglong> counts;
        if (!m_hasCounters) {
            auto probe = prepare(QStringLiteral("SELECT to_regclass('kestrune_changes') IS NOT NULL"));
            m_hasCounters = probe->step() && probe->utf8(0) == "t";
            if (!m_hasCounters)
                return counts;
        }
        auto read = prepare(QStringLiteral("SELECT table_name, serial FROM kestrune_changes"));
        while (read->step())
            counts.insert(QString::fromUtf8(read->utf8(0)), QString::fromUtf8(read->utf8(1)).toLongLong());
        return counts;
    }
    // A connection lost while COMMIT travels leaves open whether the server
    // kept the write: the user must not be told that nothing was written.
    void commitChecked()
    {
        PGresult *r = PQexec(m_pg, "COMMIT");
        const auto clear = qScopeGuard([r] { PQclear(r); });
        if (PQresultStatus(r) == PGRES_COMMAND_OK)
            return;
        if (PQstatus(m_pg) == CONNECTION_BAD)
            throw DbError::withDetail(
                QStringLiteral("保存时与%1的连接断开了，无法确定这次保存是否已经完成。请先点“取消”，"
                               "等服务器恢复后查看这次保存的内容是否已在专家库中，没有的话再保存一次。")
                    .arg(m_server),
                serverMessage(PQerrorMessage(m_pg)), Failure::Kind::Disconnected);
        failOn(m_pg, r, m_server);
    }

    PGconn *m_pg;
    QString m_where;
    QString m_server;
    ServerWaits m_waits;
    bool m_hasCounters = false;
    QHash<QString, qlonglong> m_writeStart;
    QHash<QString, QHash<qlonglong, qlonglong>> m_ownSteps;
};

struct ConninfoFree {
    void operator()(PQconninfoOption *options) const { PQconninfoFree(options); }
};

struct ConnFinish {
    void operator()(PGconn *c) const { PQfinish(c); }
};

// Connects with the URI's settings, the password when given apart, UTF-8
// and a time limit per address.
std::unique_ptr<PGconn, ConnFinish> connectTo(const QString &uri, const QString &password, int timeoutSeconds)
{
    const QByteArray conninfo = uri.toUtf8();
    const QByteArray secret = password.toUtf8();
    const QByteArray timeout = QByteArray::number(qMax(1, timeoutSeconds));
    // The URI expands in place of dbname; what is given here after it wins
    // over the same setting in the URI.
    const char *keys[] = {
        "dbname", "client_encoding", "application_name", "connect_timeout", password.isEmpty() ? nullptr : "password",
        nullptr};
    const char *values[] = {conninfo.constData(), "UTF8", "kestrune", timeout.constData(), secret.constData(), nullptr};
    return std::unique_ptr<PGconn, ConnFinish>(PQconnectdbParams(keys, values, 1));
}

}   // namespace

Connection Connection::connect(const DataSource &source)
{
    const QString server = ServerName(source.uri);
    auto pg = connectTo(source.uri, source.password, 10);
    if (!pg)
        throw DbError::withDetail(ServerFailure(QString(), true, server, QString()).message,
                                  QStringLiteral("out of memory"), Failure::Kind::Disconnected);
    if (PQstatus(pg.get()) != CONNECTION_OK) {
        DbError refused =
            DbError::fromFailure(ServerFailure(QString(), true, server, serverMessage(PQerrorMessage(pg.get()))));
        if (PQconnectionNeedsPassword(pg.get()))
            refused.setNeedsPassword();
        throw refused;
    }
    const QString where = QStringLiteral("%1:%2/%3")
                              .arg(QString::fromUtf8(PQhost(pg.get())), QString::fromUtf8(PQport(pg.get())),
                                   QString::fromUtf8(PQdb(pg.get())));
    PGconn *raw = pg.release();
    Connection c(std::make_unique<ServerEngine>(raw, where, server));
    c.exec(QStringLiteral("SET client_min_messages = warning"));
    static_cast<ServerEngine &>(c.engine()).setWaits(ServerWaits{});
    return c;
}

std::shared_ptr<LibraryBackend> LibraryBackend::ForSource(const DataSource &source, const QString &dataFolder)
{
    if (source.isServer())
        return std::make_shared<ServerBackend>(source);
    return std::make_shared<FileBackend>(source, source.path.isEmpty() ? DataFilePath(dataFolder) : source.path);
}

ServerBackend::ServerBackend(DataSource source) : m_source(std::move(source)) {}

QString ServerBackend::displayName() const
{
    // By host and database alone: the full URI is too long for the narrow
    // status panel, its parameters mean nothing to the user there, and it may
    // carry a password.
    return QStringLiteral("服务器 ") + ServerDisplayName(ServerAddressFromUri(m_source.uri));
}

void ServerBackend::prepare()
{
    Connection &conn = connection();
    if (!HasLibraryTables(conn)) {
        // A database that another program keeps its tables in is not made
        // into a library: its owner would find tables and a trigger function
        // of ours among theirs.
        if (const QStringList foreign = conn.tableNames(); !foreign.isEmpty())
            throw DbError::withDetail(ForeignDatabaseMessage(displayName()), foreign.join(QStringLiteral(", ")),
                                      Failure::Kind::Failed);
        // Two programs started at once on an empty database: the write lock
        // lets one create the library, the other then finds it.
        Transaction tx(conn);
        if (!HasLibraryTables(conn)) {
            CreateLibrary(conn);
            tx.commit();
            return;
        }
    }
    const Outcome schema = CheckSchema(conn);
    if (!schema)
        throw DbError::fromFailure(schema.failure());
    // A library made before draws were kept as projects gains their tables.
    if (!HasAllProjectTables(conn)) {
        Transaction tx(conn);
        if (!HasAllProjectTables(conn)) {
            EnsureProjectTables(conn);
            conn.engine().addChangeCounters(ChangeCountedTables());
        }
        tx.commit();
    }
}

Connection &ServerBackend::connection()
{
    // A connection the server dropped (restarted, or gone and back) is made
    // again, once no scope of a caller still stands on it; what it had open
    // is gone. Reading what waits on the socket, without blocking, finds a
    // connection the server has closed before anything is sent on it.
    if (m_session && !m_session->inScope() &&
        (!m_session->isOpen() || !PQconsumeInput(static_cast<ServerEngine &>(m_session->engine()).pg()) ||
         PQstatus(static_cast<ServerEngine &>(m_session->engine()).pg()) == CONNECTION_BAD))
        release();
    if (!m_session) {
        m_session.emplace(Connection::connect(m_source));
        applyWaits(*m_session);
    } else if (m_session->inTransaction() && !m_session->inScope()) {
        // A read or write that was cut short never stays open into the next;
        // one of a scope still running is the caller's own.
        m_session->engine().rollbackQuietly(false);
    }
    return *m_session;
}

void ServerBackend::release() { m_session.reset(); }

Connection ServerBackend::openSeparate()
{
    Connection c = Connection::connect(m_source);
    applyWaits(c);
    return c;
}

void ServerBackend::setWaits(const ServerWaits &waits)
{
    m_waits = waits;
    if (m_session && m_session->isOpen() && !m_session->inScope())
        applyWaits(*m_session);
}

void ServerBackend::applyWaits(Connection &conn) { static_cast<ServerEngine &>(conn.engine()).setWaits(m_waits); }

void ServerBackend::adoptOwnChanges(const QStringList &tables)
{
    if (!m_session || !m_session->isOpen())
        return;
    QHash<QString, QHash<qlonglong, qlonglong>> &steps = static_cast<ServerEngine &>(m_session->engine()).ownSteps();
    for (const QString &table : tables) {
        auto loaded = m_loadedChanges.find(table);
        auto own = steps.find(table);
        if (loaded == m_loadedChanges.end() || own == steps.end())
            continue;
        // Only a run of this program's own writes straight from the count
        // the table was read at: a colleague's change in between breaks it,
        // and the table is then read again as before.
        while (own->contains(*loaded))
            *loaded = own->take(*loaded);
    }
}

void ServerBackend::readTracked(const QStringList &tables, const std::function<void(Connection &)> &read)
{
    Connection &conn = connection();
    // The counts and the rows from one snapshot: a change made between them
    // would otherwise pass unnoticed.
    QHash<QString, qlonglong> counts;
    {
        ReadSnapshot snapshot(conn);
        counts = conn.engine().changeCounts(tables);
        read(conn);
    }
    m_loadedChanges.insert(counts);
}

TextTable ServerBackend::readWholeTable(Connection &conn, const TableDef &def) { return ReadTable(conn, def); }

QStringList ServerBackend::changedSinceLoad()
{
    QStringList changed;
    if (m_loadedChanges.isEmpty())
        return changed;
    const QHash<QString, qlonglong> now = connection().engine().changeCounts(m_loadedChanges.keys());
    for (auto it = now.constBegin(); it != now.constEnd(); ++it)
        if (m_loadedChanges.value(it.key()) != it.value())
            changed << it.key();
    changed.sort();
    return changed;
}

Outcome ServerBackend::writeDataFile(const QString &target)
{
    // Written whole beside the target first, then copied over it the way a
    // data file is: an old target is never left half replaced.
    QTemporaryDir scratch(QDir(QFileInfo(target).absolutePath()).filePath(QStringLiteral(".kestrune-XXXXXX")));
    if (!scratch.isValid())
        return Outcome::fail(QStringLiteral("无法在文件夹“%1”中写入文件。")
                                 .arg(QDir::toNativeSeparators(QFileInfo(target).absolutePath())));
    const QString part = scratch.filePath(QStringLiteral("ProSys.mdb"));
    try {
        CopyServerToFile(m_source, part);
    } catch (const DbError &e) {
        return e.failure();
    }
    return CopyDataFile(part, target);
}

Outcome ServerBackend::changeKey(const QString &, const KeyProbe &)
{
    return Outcome::fail(QStringLiteral("服务器上的专家库没有数据库文件密码：谁能读写它由数据库服务器的"
                                        "用户和权限决定，请在服务器上设置。"));
}

Outcome ServerBackend::replaceWith(const QString &backup, const QString &backupKey, const QString &operatorName)
{
    // The content is replaced in one transaction: every operator sees the
    // old library or the new one, never a mixture.
    try {
        Connection from = Connection::open(backup, backupKey);
        Connection &to = connection();
        Transaction tx(to);
        const AuditHead replaced = ReadAuditHead(to);
        ClearLibraryTables(to);
        CopyLibraryTables(from, to);
        AppendRestoreEntry(to, operatorName, backup, replaced, ReadAuditHead(from));
        tx.commit();
    } catch (const DbError &e) {
        return e.failure();
    }
    return Outcome::success();
}

Failure ServerBackend::exitBackupFailure(const Failure &cause) const
{
    const QString text = cause.detail.isEmpty() ? cause.message : cause.message + QLatin1Char('\n') + cause.detail;
    return {text, QString(), cause.kind};
}

std::map<QString, QString> ParseServerConninfo(const QString &uri, QString *problem)
{
    char *error = nullptr;
    std::unique_ptr<PQconninfoOption, ConninfoFree> options(PQconninfoParse(uri.toUtf8().constData(), &error));
    std::map<QString, QString> values;
    if (!options) {
        if (problem)
            *problem = error ? QString::fromUtf8(error).trimmed() : QStringLiteral("out of memory");
        PQfreemem(error);
        return values;
    }
    for (const PQconninfoOption *o = options.get(); o->keyword; ++o)
        if (o->val)
            values[QString::fromUtf8(o->keyword)] = QString::fromUtf8(o->val);
    return values;
}

Result<QString> TryServerConnection(const QString &uri, const QString &password, int timeoutSeconds)
{
    const auto pg = connectTo(uri, password, timeoutSeconds);
    if (!pg)
        return Result<QString>::fail(QString(), QStringLiteral("out of memory"), Failure::Kind::Disconnected);
    if (PQstatus(pg.get()) != CONNECTION_OK)
        return Result<QString>::fail(QString(), serverMessage(PQerrorMessage(pg.get())), Failure::Kind::Disconnected);
    const int version = PQserverVersion(pg.get());
    return QStringLiteral("PostgreSQL %1.%2%3")
        .arg(version / 10000)
        .arg(version % 10000)
        .arg(PQsslInUse(pg.get()) ? QStringLiteral("，加密连接") : QStringLiteral("，未加密"));
}

QString ServerName(const QString &uri)
{
    return QStringLiteral("服务器 ") + ServerDisplayName(ServerAddressFromUri(uri));
}

QString ForeignDatabaseMessage(const QString &server)
{
    return QStringLiteral("%1上的这个数据库已有其他程序的数据表，不是本软件的专家库，本软件没有在其中建立任何内容。"
                          "请为专家库新建一个空数据库，或连接已有的专家库。")
        .arg(server);
}

Failure ServerFailure(const QString &sqlstate, bool connectionLost, const QString &server, const QString &serverText)
{
    using K = Failure::Kind;
    const auto told = [&](const QString &sentence, K kind) { return Failure{sentence.arg(server), serverText, kind}; };
    const QString cls = sqlstate.left(2);
    // The server shutting down or gone: the connection ends with it.
    if (connectionLost || cls == QLatin1String("08") || sqlstate == QLatin1String("57P01") ||
        sqlstate == QLatin1String("57P02") || sqlstate == QLatin1String("57P03"))
        return told(QStringLiteral("%1 无法连接（连接已断开，或服务器没有响应），这次操作没有完成，"
                                   "专家库中没有写入任何内容，屏幕上的内容保持不变。"
                                   "请检查网络连接，并请数据库管理员确认服务器正在运行，然后再试一次。"),
                    K::Disconnected);
    // A lock held past the wait, a write past its time, two writers that
    // crossed: another user is writing; later it will go through.
    if (sqlstate == QLatin1String("55P03") || sqlstate == QLatin1String("57014") ||
        sqlstate == QLatin1String("40P01") || sqlstate == QLatin1String("40001"))
        return told(QStringLiteral("另一个用户正在写入%1上的专家库，这次操作等待过久，没有完成，"
                                   "专家库中没有写入任何内容。请稍等片刻后点“重试”。"),
                    K::Busy);
    if (sqlstate == QLatin1String("42501") || cls == QLatin1String("28"))
        return told(QStringLiteral("%1拒绝了这次操作：连接所用的数据库用户没有所需的权限。这次操作没有完成，"
                                   "请与数据库管理员联系。"),
                    K::Failed);
    if (cls == QLatin1String("53"))
        return told(QStringLiteral("%1的磁盘空间或内存不足，这次操作没有完成，专家库中没有写入任何内容。"
                                   "请与数据库管理员联系。"),
                    K::Failed);
    if (sqlstate == QLatin1String("23505"))
        return told(QStringLiteral("%1上的专家库中已有编号相同的记录，这次操作没有完成。"
                                   "请关闭本软件后重新启动，再试一次。"),
                    K::Failed);
    if (cls == QLatin1String("23") || cls == QLatin1String("22"))
        return told(QStringLiteral("%1上的专家库不接受写入的数据，这次操作没有完成，专家库中没有写入任何内容。"),
                    K::Failed);
    if (sqlstate == QLatin1String("25006"))
        return told(QStringLiteral("%1现在只允许读取（可能是只读的备用服务器），这次操作没有完成。"
                                   "请连接可以写入的主服务器。"),
                    K::Failed);
    if (cls == QLatin1String("42"))
        return told(QStringLiteral("%1上的数据库与本软件的专家库不符（缺少或改动了数据表），这次操作没有完成。"
                                   "请与数据库管理员联系。"),
                    K::Failed);
    return told(QStringLiteral("%1上的操作失败，这次操作没有完成。"), K::Failed);
}
