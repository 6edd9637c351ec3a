#pragma once

#include "data/Database.h"
#include "data/LibraryBackend.h"

#include <QHash>
#include <map>
#include <optional>

// How long a server session waits, in milliseconds: for a lock another
// session holds (any statement), and for one statement of a write to finish.
struct ServerWaits {
    int lockMs = 10000;
    int statementMs = 60000;
};

// The library in a PostgreSQL database that several operators share.
class ServerBackend final : public LibraryBackend {
public:
    explicit ServerBackend(DataSource source);

    const DataSource &source() const override { return m_source; }
    QString displayName() const override;
    void prepare() override;
    Connection &connection() override;
    void release() override;
    Connection openSeparate() override;
    void readTracked(const QStringList &tables, const std::function<void(Connection &)> &read) override;
    TextTable readWholeTable(Connection &conn, const TableDef &def) override;
    QStringList changedSinceLoad() override;
    bool checksPages() const override { return false; }
    bool isLibraryFile(const QString &) const override { return false; }
    Outcome settle() override { return Outcome::success(); }
    Outcome writeDataFile(const QString &target) override;
    Outcome replaceWith(const QString &backup, const QString &backupKey, const QString &operatorName) override;
    bool hasFileKey() const override { return false; }
    Outcome changeKey(const QString &newKey, const KeyProbe &probe = {}) override;
    Outcome keepIfDamaged(const QString &) override { return Outcome::fail(QString()); }
    Outcome compact() override { return Outcome::success(); }
    Failure exitBackupFailure(const Failure &cause) const override;
    void adoptOwnChanges(const QStringList &tables) override;

    // The waits of this backend's connections from now on.
    void setWaits(const ServerWaits &waits);

private:
    void applyWaits(Connection &conn);

    DataSource m_source;
    ServerWaits m_waits;
    std::optional<Connection> m_session;
    // Each loaded table's change count as read with it.
    QHash<QString, qlonglong> m_loadedChanges;
};

// A server as messages name it: "服务器 host/database".
QString ServerName(const QString &uri);

// Why a database that holds other tables but none of the library's is not
// made into a library on server.
QString ForeignDatabaseMessage(const QString &server);

// A server's failure as the user is told it: a sentence for the SQLSTATE
// (or for a connection that is gone) naming server, whether trying again may
// help, and the server's own text as the detail.
Failure ServerFailure(const QString &sqlstate, bool connectionLost, const QString &server, const QString &serverText);

// libpq's own reading of a connection string: the options it sets, or the
// reason it refuses the text (in problem).
std::map<QString, QString> ParseServerConninfo(const QString &uri, QString *problem);

// A trial connection: connects once (a connect_timeout of timeoutSeconds per
// address) and disconnects again; nothing is read or written. On success the
// server's version and whether the connection is encrypted; on failure the
// engine's text as the failure's detail.
Result<QString> TryServerConnection(const QString &uri, const QString &password, int timeoutSeconds);
