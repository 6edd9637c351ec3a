#pragma once

#include "data/DataSource.h"
#include "data/Outcome.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

class QLockFile;

struct DataStore;

// The data file of an application folder, its backup folder and what
// happens to them at start and exit.

// Name of the backup folder inside the application folder.
inline const QString kBackupFolderName = QStringLiteral("数据库备份");

QString BackupFolderPath(const QString &appDir);

// Copies ProSys.mdb into the backup folder (created when missing), replacing
// the previous backup only once the new copy is complete. A data file that
// does not open as the program's database, or that another program is
// writing, is not copied and the previous backup stays; the failure says why.
Outcome BackupDataFile(const QString &appDir);

// Opens the application folder's data file, or creates it when the program
// has never run there. A missing file beside an exit backup is no first
// start: the user's data is elsewhere, and a new empty file would replace
// that backup at the next exit. Throws DbError naming both files then.
void PrepareDataFile(const QString &appDir);

// Start-up: opens the library the source names and records the source in
// the store. A file as PrepareDataFile does; a server is connected to, and an
// empty server database gets the tables and the initial content. Throws
// DbError with the engine's message when the library cannot be used.
void PrepareLibrary(DataStore &store, const DataSource &source);

// Writes the store's library as a data file of the usual format at target:
// a byte copy of the data file, or the whole server library. A failure
// leaves an existing target as it was and says why.
Outcome CopyLibraryToFile(const DataStore &store, const QString &target);
// BackupDataFile for the store's library, wherever it lives: a server's
// library is written as a data file into the backup folder.
Outcome BackupLibrary(const DataStore &store);

// Creates the backup folder when missing.
Outcome EnsureBackupFolder(const QString &appDir);

// Where a safety copy goes before an operation replaces or clears data: the
// backup folder of the application folder, a name with the day and the
// reason, never an existing file ("ProSys_初始化前_20261209.mdb", then
// "..._2.mdb", ...).
QString SafetyCopyPath(const QString &appDir, const QDate &day, const QString &reason);
// Copies the data file to a new safety copy; on success the message is the
// copy's path.
Outcome WriteSafetyCopy(const QString &appDir, const QString &dataFile, const QDate &day, const QString &reason);

// Keeps a second copy of the program away from a data file that one copy
// uses: two copies would each number new records from their own view of
// the file. The lock is a file beside the data file; a lock left by a
// program that has ended does not count.
class DataFileLock {
public:
    explicit DataFileLock(const QString &appDir);
    ~DataFileLock();
    DataFileLock(const DataFileLock &) = delete;
    DataFileLock &operator=(const DataFileLock &) = delete;

    // Succeeds when this program now holds the data file; otherwise says
    // what to tell the user. A folder where no lock can be written (nor then
    // the data file) is not refused: there is nothing to protect.
    // serverLibrary: the refusal names the data folder, which the copies
    // share whatever library they use, and no data file.
    Outcome acquire(bool serverLibrary = false);

private:
    QString m_dataFile;
    std::unique_ptr<QLockFile> m_lock;
};

// Removes what an interrupted run left while writing a copy: files under
// the names copies are staged under (IsStagedCopyName) beside the data file
// (its own copies only) and in the backup folder, and the hidden
// ".kestrune-XXXXXX" working folders of a server's backup in the backup
// folder. Anything else, such as the user's own "ProSys.mdb.backup", stays.
// Call it only while holding the DataFileLock. Returns how many were removed.
int RemoveLeftoverStagedCopies(const QString &appDir);

// A copy of the data file in the backup folder that passes the integrity
// check: the exit backup or a safety copy.
struct GoodCopy {
    QString path;
    QDateTime written;
};
// The most recently written sound copy, if any; key is the library's own
// password (copies written before it was set open with the default one).
std::optional<GoodCopy> NewestGoodCopy(const QString &appDir, const QString &key = {});

// What to tell the user about a data file that failed the integrity check:
// the file, the engine's findings, the newest sound copy with its date and
// how to put it back. The damaged file itself is left as it is.
QString DamagedDataFileMessage(const QString &appDir, const QString &problem, const QString &key = {});
// The same for the store's library, wherever it lives: a server's library is
// written as a data file.
Outcome WriteSafetyCopy(const DataStore &store, const QDate &day, const QString &reason);
