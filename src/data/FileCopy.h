#pragma once

#include "data/Outcome.h"

#include <QString>

// Copies source to target byte for byte without ever leaving a partial
// target: the copy is written to a temporary file beside the target, flushed
// to the disk and only then renamed over it, and the rename is flushed too.
// A failure leaves an existing target as it was. A failure says what went
// wrong.
Outcome CopyFileReplacing(const QString &source, const QString &target);

// The name a file is written under until it is complete: hidden, beside its
// target, with a tag no user gives a file (".ProSys.mdb.kestrune-staged-Ab3xZ9"),
// so that a later start can tell what a killed run left from the user's own
// files. The six X stand for the random part.
QString StagedNameTemplate(const QString &target);
// Whether a file's name is one the program stages copies under: the form
// above, or the "NAME.mdb.Ab3xZ9" of earlier versions, recognised only by a
// random-looking tail (capitals, small letters and digits mixed) that no
// user's "ProSys.mdb.backup" or "ProSys.mdb.202412" has.
bool IsStagedCopyName(const QString &fileName);

// Copies a database file as it stands between two writes: a file that does
// not open as a database, fails the engine's integrity check, or that another
// program is writing, is not copied (the failure gives the reason) and an
// existing target stays as it was.
// key: the file's own password, empty for the default one.
Outcome CopyDataFile(const QString &dataFile, const QString &target, const QString &key = {});
