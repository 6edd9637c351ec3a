#pragma once

#include "data/Outcome.h"

#include <QString>

// Copies source to target byte for byte without ever leaving a partial
// target: the copy is written to a temporary file beside the target, flushed
// to the disk and only then renamed over it, and the rename is flushed too.
// A failure leaves an existing target as it was. A failure says what went
// wrong.
Outcome CopyFileReplacing(const QString &source, const QString &target);

// Copies a database file as it stands between two writes: a file that does
// not open as a database, fails the engine's integrity check, or that another
// program is writing, is not copied (the failure gives the reason) and an
// existing target stays as it was.
// key: the file's own password, empty for the default one.
Outcome CopyDataFile(const QString &dataFile, const QString &target, const QString &key = {});
