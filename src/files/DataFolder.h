#pragma once

#include "data/DataSource.h"
#include "data/Outcome.h"

#include <QDate>
#include <QString>

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
// The same for the store's library, wherever it lives: a server's library is
// written as a data file.
Outcome WriteSafetyCopy(const DataStore &store, const QDate &day, const QString &reason);
