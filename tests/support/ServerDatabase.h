#pragma once

#include "data/DataSource.h"

#include <QString>

// A database of its own on the test run's PostgreSQL server (the one that
// ./test.sh starts with pg_virtualenv; libpq finds it through PGHOST,
// PGPORT, PGUSER and PGPASSWORD). Dropped again at the end of the test.
class ServerDatabase {
public:
    // Whether a test server is there to use.
    static bool available();
    // Why not, for the message of a skipped test.
    static const char *unavailableReason();

    ServerDatabase();
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase &) = delete;
    ServerDatabase &operator=(const ServerDatabase &) = delete;

    QString name() const { return m_name; }
    // The source that names this database; the password comes from the
    // environment, as a saved connection's would come from the keychain.
    DataSource source() const;

private:
    QString m_name;
};
