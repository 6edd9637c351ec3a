#pragma once

#include "shell/AppState.h"

#include <QDate>
#include <QString>
#include <functional>

// The maintenance operations of the data maintenance screen, kept apart from
// the window so that they can run and be checked without one. Each either
// completes or leaves the database file exactly as it was, and reloads the
// in-memory tables it changed.

struct MaintenanceOutcome {
    bool ok = false;
    QString message;   // what to tell the user, success or failure
};

// Where a safety copy goes before an operation replaces or clears data: the
// backup folder of the application folder, a name with the day and the
// reason, never an existing file ("ProSys_初始化前_20261209.mdb", then
// "..._2.mdb", ...).
QString SafetyCopyPath(const QString &appDir, const QDate &day, const QString &reason);
// Copies the database file to a new safety copy; returns "" and sets *path,
// or returns what went wrong.
QString WriteSafetyCopy(const AppState &state, const QString &reason, QString *path);

// Deletes every expert, every extraction record and every user who is not
// an administrator, after writing a safety copy. The reference tables stay.
// An unsaved draw is dropped.
MaintenanceOutcome InitialiseDatabase(AppState &state);

// Default file name offered for a backup: "专家库备份_20261209.mdb".
QString DefaultBackupFileName(const QDate &day);
// Writes a consistent encrypted copy of the whole database to target. The
// copy is made beside the target and renamed over it only when complete.
MaintenanceOutcome BackupDatabase(const AppState &state, const QString &target);

// "" when path is a database this program can use in place of its own: it
// opens with the program's key, holds the five tables with their fields in
// order and passes the engine's integrity check. Otherwise why it cannot be
// used.
QString CheckBackupFile(const AppState &state, const QString &path);
// Replaces the database file by a checked backup, after keeping the current
// file as a safety copy, and reloads every table. An unsaved draw is dropped.
MaintenanceOutcome RestoreDatabase(AppState &state, const QString &backup);

// Drops the draw in progress (its experts may be gone).
void DropUnsavedDraw(AppState &state);
