#pragma once

#include "data/DataSource.h"
#include "data/Result.h"
#include "data/TextTable.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Connection;
struct TableDef;

// One kind of library: the encrypted data file (FileBackend) or a database on
// a PostgreSQL server (ServerBackend). Everything that differs between the
// two is asked of the backend; nothing else knows which one it is.
class LibraryBackend {
public:
    virtual ~LibraryBackend() = default;

    // The backend for a source: a server's, or the data file's of the data
    // folder (or the one the source names).
    static std::shared_ptr<LibraryBackend> ForSource(const DataSource &source, const QString &dataFolder);

    virtual const DataSource &source() const = 0;
    // The library as messages and the status bar name it: the data file's
    // path, or "服务器 host/database".
    virtual QString displayName() const = 0;

    // Start-up: opens the library, creating it where the program has never
    // run (a new file, or the tables of an empty server database); a library
    // of an older version gains the tables it lacks. An existing file that
    // cannot be opened is never overwritten. Throws DbError.
    virtual void prepare() = 0;

    // The session's connection: opened at first use and kept for the run
    // (the key is derived or the server logged into once); opened again
    // when the server dropped it or the file was replaced under it.
    virtual Connection &connection() = 0;
    // Ends the session's connection; the next use opens a new one.
    virtual void release() = 0;
    // A connection of its own, beside the session's (a second reader, a
    // thread, a check that must not disturb the session).
    virtual Connection openSeparate() = 0;

    // Runs read on the session's connection in one snapshot, and remembers
    // how far the tables had been changed at that moment, so that
    // changedSinceLoad() can tell whether another program changed them since.
    virtual void readTracked(const QStringList &tables, const std::function<void(Connection &)> &read) = 0;
    // Reads a whole table in Id order inside readTracked's read (a null
    // becomes ""); a large one possibly in two halves at once.
    virtual TextTable readWholeTable(Connection &conn, const TableDef &def) = 0;
    // The tables loaded whose content another program changed since; always
    // none for a library that one program uses at a time.
    virtual QStringList changedSinceLoad() = 0;
    // After the program brought its copies of these tables up to date with
    // its own writes (record by record): those writes no longer count as
    // another program's change.
    virtual void adoptOwnChanges(const QStringList &tables) { Q_UNUSED(tables); }

    // Whether a check of the data file's pages is worth making at start (a
    // server keeps its own pages sound).
    virtual bool checksPages() const = 0;
    // Whether path is the library itself (a copy must never be written over it).
    virtual bool isLibraryFile(const QString &path) const = 0;

    // Before the library is cleared or replaced: an interrupted write is
    // rolled back; fails when another program is writing now.
    virtual Outcome settle() = 0;
    // Writes the whole library as a data file of the usual format at target,
    // checked before it counts; an existing target is replaced only by a
    // complete copy and otherwise stays as it was.
    virtual Outcome writeDataFile(const QString &target) = 0;
    // Replaces the library's whole content with that of a backup file that
    // has been checked: at once for every user, never a mixture.
    // backupKey: the backup's own password (empty for the default one); the
    // library keeps its own key whatever the backup's was. The library keeps
    // its own operation log, which gains an entry by the operator naming the
    // head it had and the backup's.
    virtual Outcome replaceWith(const QString &backup, const QString &backupKey, const QString &operatorName) = 0;

    // Whether the library is a data file that can have a password of its
    // own (a server's own access control guards a server library).
    virtual bool hasFileKey() const = 0;
    // The points where a change of the file's key can be interrupted (tests
    // stop it there; the program passes no probe).
    enum class KeyStep { StagedCopy, Rekeyed, Checked, Placing };
    using KeyProbe = std::function<Outcome(KeyStep, const QString &stagedPath)>;
    // Gives the data file a new password (empty: back to the default key):
    // a copy beside it is re-keyed and checked, then renamed over it in one
    // step. Any failure leaves the file as it was, with its old key.
    virtual Outcome changeKey(const QString &newKey, const KeyProbe &probe = {}) = 0;
    // How a failed exit backup is told: for a file the user is asked to
    // close what holds it, the cause in the details; a server's reason is
    // its own and stands as the message.
    virtual Failure exitBackupFailure(const Failure &cause) const = 0;
    // When the library is a data file the engine finds damaged (or cannot
    // open as a database), keeps it byte for byte at copyPath and succeeds;
    // fails with an empty message when there is nothing of the kind to keep.
    virtual Outcome keepIfDamaged(const QString &copyPath) = 0;
    // Gives back the room of deleted records after an operation that clears
    // much of the library, so that neither the file's size nor its free
    // pages keep what was deleted. A file is rebuilt by the engine in one
    // transaction (a failure leaves it as it was); a server manages its own
    // storage and has nothing to do.
    virtual Outcome compact() = 0;
};
