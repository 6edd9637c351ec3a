#include "data/LibraryCopy.h"

#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

void copyRows(Statement &read, Statement &write, int columns)
{
    while (read.step()) {
        for (int c = 0; c < columns; ++c) {
            if (read.isNull(c))
                write.bindNull(c + 1);
            else if (read.isBinary(c))
                write.bindBlob(c + 1, read.blob(c));
            else
                write.bind(c + 1, read.text(c));
        }
        write.step();
        write.reset();
    }
}

Statement insertInto(Connection &to, const QString &table, const QStringList &fields)
{
    const QStringList marks(fields.size(), QStringLiteral("?"));
    return to.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(table, fields.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
}

}   // namespace

void CopyLibraryTables(Connection &from, Connection &to)
{
    for (const TableDef *t : Schema::AllTables()) {
        // Columns by name on both sides: the server keeps them in lower case.
        Statement read = from.prepare(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY Id").arg(t->fields.join(QLatin1Char(',')), t->name));
        Statement write = insertInto(to, t->name, t->fields);
        copyRows(read, write, int(t->fields.size()));
    }
    // The project tables in the order their rows were written (a file made
    // before projects were kept has none).
    const QStringList present = from.tableNames();
    for (const QString &table : ProjectTableNames() + KeptTableNames()) {
        if (!present.contains(table))
            continue;
        // A library keeps its own operation log; only one that has none yet
        // takes the log of the library copied in.
        if (table == QLatin1String(kAuditTable) && !ReadAuditHead(to).empty())
            continue;
        QStringList fields = from.tableFields(table);
        fields.removeIf([](const QString &f) { return f.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0; });
        Statement read =
            from.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(fields.join(QLatin1Char(',')), table));
        Statement write = insertInto(to, table, fields);
        copyRows(read, write, int(fields.size()));
    }
}

void ClearLibraryTables(Connection &conn)
{
    ClearProjectTables(conn);
    // The copy brings the settings of the library it came from.
    const QStringList present = conn.tableNames();
    for (const QString &table : KeptTableNames())
        if (present.contains(table) && table != QLatin1String(kAuditTable))
            conn.exec(QStringLiteral("DELETE FROM %1").arg(table));
    for (const TableDef *t : Schema::AllTables())
        conn.exec(QStringLiteral("DELETE FROM %1").arg(t->name));
}

void CopyFileToServer(const QString &file, const DataSource &server, const QString &fileKey)
{
    Connection from = Connection::open(file, fileKey);
    const Outcome schema = CheckSchema(from);
    if (!schema)
        throw DbError(schema.message());
    Connection to = Connection::connect(server);
    Transaction tx(to);
    if (HasLibraryTables(to))
        throw DbError(QStringLiteral("数据库服务器上的数据库不是空的，不会覆盖其中的数据。\n%1").arg(to.path()));
    CreateTables(to);
    CopyLibraryTables(from, to);
    tx.commit();
}

void CopyServerToFile(const DataSource &server, const QString &file, const QString &fileKey)
{
    // Said before the server is asked for anything: the engine would only
    // find out when it makes the file, in its own words.
    const QFileInfo folder(QFileInfo(file).absolutePath());
    if (!folder.isDir())
        throw DbError(QStringLiteral("文件夹“%1”不存在，无法在其中写入“%2”。请先建立这个文件夹，或另选一个位置。")
                          .arg(QDir::toNativeSeparators(folder.filePath()), QFileInfo(file).fileName()));
    Connection from = Connection::connect(server);
    const Outcome schema = CheckSchema(from);
    if (!schema)
        throw DbError(schema.message());
    if (QFileInfo::exists(file))
        throw DbError(QStringLiteral("文件“%1”已存在，不会覆盖它。").arg(QDir::toNativeSeparators(file)));
    // One snapshot of the server, however long the copy takes.
    ReadSnapshot snapshot(from);
    // Made here, outside the clean-up below: a file that appeared meanwhile
    // is refused, never removed.
    Connection to = Connection::create(file, fileKey);
    try {
        {
            Transaction tx(to);
            CreateTables(to);
            CopyLibraryTables(from, to);
            tx.commit();
        }
        to.close();
    } catch (const DbError &) {
        to.close();
        QFile::remove(file + QStringLiteral("-journal"));
        QFile::remove(file);
        throw;
    }
}
