#pragma once

#include "data/Outcome.h"

#include <QDate>
#include <QString>

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
