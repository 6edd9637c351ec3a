#pragma once

#include <QString>

// Name of the backup folder inside the application folder.
inline const QString kBackupFolderName = QStringLiteral("数据库备份");

QString BackupFolderPath(const QString &appDir);

// Copies source to target byte for byte without ever leaving a partial
// target: the copy is written to a temporary file beside the target and only
// renamed over it once complete. A failure leaves an existing target as it
// was. Returns "" on success, otherwise what went wrong.
QString CopyFileReplacing(const QString &source, const QString &target);

// Copies a database file as it stands between two writes: a file that does
// not open as a database, or that another program is writing, is not copied
// (the reason is returned) and an existing target stays as it was.
QString CopyDataFile(const QString &dataFile, const QString &target);

// Copies ProSys.mdb into the backup folder (created when missing), replacing
// the previous backup only once the new copy is complete. A data file that
// does not open as the program's database, or that another program is
// writing, is not copied and the previous backup stays.
QString BackupDataFile(const QString &appDir);

// Opens the application folder's data file, or creates it when the program
// has never run there. A missing file beside an exit backup is no first
// start: the user's data is elsewhere, and a new empty file would replace
// that backup at the next exit. Throws DbError naming both files then.
void PrepareDataFile(const QString &appDir);
