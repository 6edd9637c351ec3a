#pragma once

#include "data/Outcome.h"

#include <QString>
#include <QTemporaryFile>

// A file that another program (the office, the database engine) writes by
// its path: it is made under a temporary name beside its target and takes
// the target's place only when complete, so a failed write never leaves a
// partial file behind nor spoils the file it was to replace.
class StagedFile {
public:
    // suffix ends the temporary name (".xls"): the writer may go by it.
    StagedFile(const QString &target, const QString &suffix);

    // Makes the empty temporary file; a failure gives the reason.
    Outcome create();
    // Where the writer writes.
    QString path() const { return m_part.fileName(); }
    // Renames the written file over the target. A new file is readable by
    // everyone, a replaced one keeps its permissions. Until then (or when
    // this fails) the temporary file is removed with this object.
    Outcome place();

private:
    QString m_target;
    QTemporaryFile m_part;
};
