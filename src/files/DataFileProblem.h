#pragma once

#include "files/DataFolder.h"

#include <QString>
#include <optional>

// Why the data file cannot be used at start. The advice differs: a sound
// file the user may not read must be given back its permissions, never
// replaced by an older copy; only a file whose content is lost is replaced.
enum class DataFileProblem {
    None,           // opens, and its pages read
    Missing,        // nothing of that name
    NoPermission,   // the user may not read or write it (or its folder)
    NotAFile,       // a folder or something else that is no regular file
    Empty,          // zero length
    CutShort,       // shorter than its own pages say: a copy or a disk that stopped
    Foreign,        // no database of this program: another password, or another kind of file
    Damaged,        // opens, but pages inside do not read
};

// Looks at the file as it lies (mode, kind, length) and then at what the
// engine makes of it with key (empty: the default). Never changes it.
DataFileProblem DiagnoseDataFile(const QString &path, const QString &key = {});

// What to tell the user about a data file with this problem: the file, what
// is wrong, and what to do. Wherever replacing the file is the advice, the
// newest sound copy is named with its date (or the lack of one is said).
QString DataFileProblemMessage(DataFileProblem problem, const QString &dataFile, const QString &backupFolder,
                               const std::optional<GoodCopy> &newest);

// Both together for an application folder's data file.
QString DataFileProblemMessage(const QString &appDir, const QString &path, const QString &key = {});
