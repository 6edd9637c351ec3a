#pragma once

#include <QString>

// `kestrune --list-backups`: the restore points of the data folder's backup
// folder, one line each, newest first. Copies under a password of their own
// are listed as such; nothing is asked and nothing is written.
struct BackupListing {
    QString output;        // for standard output: one line a restore point
    QString errorOutput;   // for standard error: why there is nothing to list
    int exitCode = 0;
};
BackupListing ListBackups(const QString &dataDir);
