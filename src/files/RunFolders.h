#pragma once

#include "data/Outcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Temporary folders that hold personal data for a moment (an imported sheet
// as plain text, a preview, the office's working profile). Each is named
// after what it holds and the process that made it, so that a later start
// can remove what a killed run left behind.

// The template for a new QTemporaryDir in the system's temporary folder:
// "kestrune-<purpose>-<process id>-XXXXXX".
QString RunFolderTemplate(const QString &purpose);

// Removes the run folders of processes that no longer run; returns how
// many were removed. Folders of running programs are left alone.
int RemoveLeftoverRunFolders();

// The data folder's run area: what one run leaves for the next (an unsaved
// draw), in a hidden folder of the data folder that only the user may enter.
QString RunAreaPath(const QString &appDir);
// Where a user's unsaved draw list is kept while it changes (one file per
// user: two operators of one data folder each keep their own).
QString KeptDrawPath(const QString &appDir, const QString &userId);

// Writes bytes to a file of the run area (made when missing) whole or not
// at all: a staged file, synced to disk, renamed over the old one.
Outcome WriteRunFile(const QString &path, const QByteArray &bytes);
// Moves a run-area file the program cannot use out of its way, to
// "NAME.refused-yyyyMMdd-HHmmss" beside it; returns the new path, or ""
// when it could not be moved and was removed instead.
QString SetAsideRunFile(const QString &path, const QDateTime &now);
