#include "data/Database.h"

#include "data/DbError.h"

#include <QDir>

QString DataFilePath(const QString &appDir) { return QDir(appDir).filePath(QStringLiteral("ProSys.mdb")); }

Connection::~Connection() { close(); }

void Connection::close()
{
    if (m_engine)
        m_engine->close();
}

Statement Connection::prepare(const QString &sql) { return Statement(m_engine->prepare(sql)); }

void Statement::bind(int index, const QString &value)
{
    QByteArray utf8 = value.toUtf8();
    if (utf8.isNull())
        utf8 = QByteArray("");   // an empty text stays a text, never NULL
    m_engine->bindText(index, utf8);
}

QString Statement::text(int i) const
{
    const QByteArrayView bytes = m_engine->utf8(i);
    return bytes.isNull() ? QString() : QString::fromUtf8(bytes);
}

QVariant Statement::value(int i) const
{
    if (isNull(i))
        return QVariant();
    return text(i);
}

QString IntegrityProblem(Connection &conn) { return conn.engine().integrityProblem(); }

QString CheckFileIntegrity(const QString &path, const QString &key)
{
    try {
        Connection conn = Connection::open(path, key);
        return IntegrityProblem(conn);
    } catch (const DbError &e) {
        return e.message().section(QLatin1Char('\n'), 0, 0);
    }
}

Transaction::Transaction(Connection &conn) : m_conn(conn)
{
    // Inside a transaction already open on the connection: a savepoint of it.
    m_nested = m_conn.inTransaction();
    if (m_nested)
        m_conn.exec(QStringLiteral("SAVEPOINT kestrune_write"));
    else
        m_conn.m_engine->beginWrite();
    ++m_conn.m_scopes;
}

Transaction::~Transaction()
{
    --m_conn.m_scopes;
    if (!m_done && m_conn.isOpen())
        m_conn.m_engine->rollbackQuietly(m_nested);
}

void Transaction::commit()
{
    if (m_nested)
        m_conn.exec(QStringLiteral("RELEASE kestrune_write"));
    else
        m_conn.m_engine->commitWrite();
    m_done = true;
}

ReadSnapshot::ReadSnapshot(Connection &conn) : m_conn(conn)
{
    if (!m_conn.inTransaction()) {
        m_conn.m_engine->beginSnapshot();
        m_own = true;
    }
    ++m_conn.m_scopes;
}

ReadSnapshot::~ReadSnapshot()
{
    --m_conn.m_scopes;
    // Nothing was written: ending the read either way leaves the library as it was.
    if (m_own && m_conn.isOpen())
        m_conn.m_engine->rollbackQuietly(false);
}
