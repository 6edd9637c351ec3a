#pragma once

#include "data/Outcome.h"
#include "files/RunFolders.h"

#include <QString>
#include <QTemporaryFile>
#include <sys/types.h>

// The permissions a new file of this user gets: read and write for all,
// less the user's umask.
mode_t NewFileMode();

// A file that another program (the office, the database engine) writes by
// its path: it is made under a temporary name beside its target and takes
// the target's place only when complete, so a failed write never leaves a
// partial file behind nor spoils the file it was to replace.
class StagedFile {
public:
    // suffix ends the temporary name (".xls"): the writer may go by it.
    // noteArea, when given, is the run area where a note of the temporary
    // file is kept while it exists, so that the next start removes it when
    // this run is killed first.
    StagedFile(const QString &target, const QString &suffix, const QString &noteArea = {});

    // Makes the empty temporary file; a failure gives the reason.
    Outcome create();
    // Where the writer writes.
    QString path() const { return m_part.fileName(); }
    // Renames the written file over the target. A new file gets the
    // permissions of any new file of the user (read and write for all, less
    // the user's umask), a replaced one keeps its permissions, whether the
    // writer wrote into the temporary file or put a file of its own in its
    // place. Until then (or when this fails) the temporary file is removed
    // with this object.
    Outcome place();

private:
    QString m_target;
    QString m_noteArea;
    // Goes after the temporary file is gone.
    StagedFileNote m_note;
    QTemporaryFile m_part;
};
