#pragma once

#include "data/DrawRecord.h"
#include "data/Outcome.h"
#include "data/Tables.h"
#include "files/DataFolder.h"
#include "migrate/LibraryImport.h"
#include "shell/DrawWorkspace.h"

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

// The maintenance operations of the data maintenance screen, kept apart from
// the window so that they can run and be checked without one. Each either
// completes or leaves the database file exactly as it was, and reloads the
// in-memory tables it changed. Their outcome's message is what to tell the
// user, on success as on failure.

// What an operation that clears or replaces the data works on: the data
// file with its tables, and the draw in progress, which is dropped because
// its experts may be gone. today dates the safety copy.
struct MaintenanceTarget {
    DataStore &store;
    DrawWorkspace &draw;
    QDate today;
};

// WriteSafetyCopy(store, today, reason): files/DataFolder.h.

// Deletes every expert, every extraction record and every user who is not
// an administrator, after writing a safety copy. The reference tables stay.
// An unsaved draw is dropped.
Outcome InitialiseDatabase(const MaintenanceTarget &target);

// Default file name offered for a backup: "专家库备份_20261209.mdb".
QString DefaultBackupFileName(const QDate &day);
// Writes a consistent encrypted copy of the whole database to target. The
// copy is made beside the target and renamed over it only when complete.
Outcome BackupDatabase(const DataStore &store, const QString &target);

// Succeeds when path is a database this program can use in place of its
// own: it opens with the program's key, holds the five tables with their
// fields in order and passes the engine's integrity check. Otherwise the
// failure says why it cannot be used.
// key: the backup's password (empty for the default one).
Outcome CheckBackupFile(const DataStore &store, const QString &path, const QString &key = {});
// The password that opens a backup among those the program knows: the
// library's own, then the default one. nullopt when neither does: the
// backup has a password of its own, or is no database at all.
std::optional<QString> KnownBackupKey(const DataStore &store, const QString &path);
// Whether path could be an encrypted library under some password: a file
// at least one page long that is no plain database file.
bool MayBeEncryptedLibrary(const QString &path);
// Replaces the database file by a checked backup, after keeping the current
// file as a safety copy, and reloads every table. An unsaved draw is dropped.
// The library keeps its own password: a backup under another is re-keyed.
Outcome RestoreDatabase(const MaintenanceTarget &target, const QString &backup, const QString &backupKey = {});

// Why a password cannot be the library's own; "" when it can.
QString LibraryPasswordProblem(const QString &password);
// Gives a data file library its own password (see LibraryBackend::changeKey),
// after a safety copy. Once the file is re-keyed that copy, readable with the
// old password, is removed and the exit backup is written anew under the new
// one. The store's source carries the new password from then on. A server
// library refuses: its server's access control applies.
Outcome ChangeLibraryPassword(const MaintenanceTarget &target, const QString &newKey,
                              const LibraryBackend::KeyProbe &probe = {});

// Replaces the library by one read from an Access file (see
// Migrate::ImportLibrary); an unsaved draw is dropped when it succeeds.
Outcome ImportAccessLibrary(const MaintenanceTarget &target, const Migrate::ImportPlan &plan);

// Drops the draw in progress (its experts may be gone).
void DropUnsavedDraw(const MaintenanceTarget &target);
