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
Outcome CheckBackupFile(const DataStore &store, const QString &path);
// Replaces the database file by a checked backup, after keeping the current
// file as a safety copy, and reloads every table. An unsaved draw is dropped.
Outcome RestoreDatabase(const MaintenanceTarget &target, const QString &backup);

// Replaces the library by one read from an Access file (see
// Migrate::ImportLibrary); an unsaved draw is dropped when it succeeds.
Outcome ImportAccessLibrary(const MaintenanceTarget &target, const Migrate::ImportPlan &plan);

// Drops the draw in progress (its experts may be gone).
void DropUnsavedDraw(const MaintenanceTarget &target);
