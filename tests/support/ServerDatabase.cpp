#include "ServerDatabase.h"

#include "data/Database.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QRandomGenerator>

namespace {

// The maintenance database the scratch databases are made from.
DataSource adminSource()
{
    DataSource s;
    s.kind = DataSource::Server;
    s.uri = QStringLiteral("postgresql:///postgres");
    return s;
}

}   // namespace

bool ServerDatabase::available()
{
    return !qEnvironmentVariableIsEmpty("PGHOST") || !qEnvironmentVariableIsEmpty("PGPORT");
}

const char *ServerDatabase::unavailableReason()
{
    return "no PostgreSQL server for the tests (run them through ./test.sh, or inside pg_virtualenv)";
}

ServerDatabase::ServerDatabase()
{
    static QAtomicInt counter;
    m_name = QStringLiteral("kestrune_test_%1_%2_%3")
                 .arg(QCoreApplication::applicationPid())
                 .arg(counter.fetchAndAddRelaxed(1))
                 .arg(QRandomGenerator::global()->bounded(1000000));
    Connection admin = Connection::connect(adminSource());
    // The name is made here of digits and letters only.
    admin.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(m_name));
}

ServerDatabase::~ServerDatabase()
{
    try {
        Connection admin = Connection::connect(adminSource());
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    } catch (...) {
        // A database left behind goes with the throw-away cluster.
    }
}

DataSource ServerDatabase::source() const
{
    DataSource s;
    s.kind = DataSource::Server;
    s.uri = QStringLiteral("postgresql:///%1").arg(m_name);
    return s;
}
