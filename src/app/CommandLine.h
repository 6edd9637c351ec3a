#pragma once

#include <QString>
#include <QStringList>

// What the command line asks the program to do.
struct CommandLine {
    bool run = true;   // false: print the texts below and end with exitCode
    int exitCode = 0;
    QString output;             // for standard output (help, version)
    QString errorOutput;        // for standard error (a wrong command line)
    QString dataDir;            // --data-dir, "" when not given
    QString serverUri;          // --server, a checked PostgreSQL URI; "" when not given
    bool listBackups = false;   // --list-backups: print the restore points and end
};

// Parses the arguments (the first is the program) without any application
// object, so that --help, --version and a wrong command line end before a
// window opens or a file is touched. Qt's own options (-platform, -style, ...)
// are accepted and left to the application object.
CommandLine ParseCommandLine(const QStringList &arguments, const QString &version);
