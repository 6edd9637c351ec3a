#include "data/LibraryCopy.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void CopyLibraryTables(Connection &from, Connection &to)
{
    for (const TableDef *t : Schema::AllTables()) {
        const qsizetype n = t->fields.size();
        const QStringList marks(n, QStringLiteral("?"));
        // Columns by name on both sides: the server keeps them in lower case.
        Statement read = from.prepare(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY Id").arg(t->fields.join(QLatin1Char(',')), t->name));
        Statement write = to.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(t->name, t->fields.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        while (read.step()) {
            for (int c = 0; c < n; ++c) {
                if (read.isNull(c))
                    write.bindNull(c + 1);
                else
                    write.bind(c + 1, read.text(c));
            }
            write.step();
            write.reset();
        }
    }
}

void ClearLibraryTables(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables())
        conn.exec(QStringLiteral("DELETE FROM %1").arg(t->name));
}

void CopyFileToServer(const QString &file, const DataSource &server)
{
    Connection from = Connection::open(file);
    const Outcome schema = CheckSchema(from);
    if (!schema)
        throw DbError(schema.message);
    Connection to = Connection::connect(server);
    Transaction tx(to);
    if (HasLibraryTables(to))
        throw DbError(QStringLiteral("数据库服务器上的数据库不是空的，不会覆盖其中的数据。\n%1").arg(to.path()));
    CreateSchema(to);
    CopyLibraryTables(from, to);
    tx.commit();
}

void CopyServerToFile(const DataSource &server, const QString &file)
{
    Connection from = Connection::connect(server);
    const Outcome schema = CheckSchema(from);
    if (!schema)
        throw DbError(schema.message);
    if (QFileInfo::exists(file))
        throw DbError(QStringLiteral("文件“%1”已存在，不会覆盖它。").arg(QDir::toNativeSeparators(file)));
    // One snapshot of the server, however long the copy takes.
    from.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    // Made here, outside the clean-up below: a file that appeared meanwhile
    // is refused, never removed.
    Connection to = Connection::create(file);
    try {
        {
            Transaction tx(to);
            CreateSchema(to);
            CopyLibraryTables(from, to);
            tx.commit();
        }
        to.close();
        from.exec(QStringLiteral("COMMIT"));
    } catch (const DbError &) {
        to.close();
        QFile::remove(file + QStringLiteral("-journal"));
        QFile::remove(file);
        throw;
    }
}
