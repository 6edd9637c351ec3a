#pragma once

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
