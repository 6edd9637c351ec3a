#include "files/RunFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

const QString kPrefix = QStringLiteral("kestrune-");
const QString kNotePrefix = QStringLiteral("staged-");

bool processRuns(qint64 pid)
{
    // Signal 0 only asks whether the process exists; a process of another
    // user answers "not permitted", which still means it runs.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

int removeEndedFolders(const QString &where)
{
    static const QRegularExpression name(QStringLiteral("^kestrune-[a-z]+-(\\d+)-[A-Za-z0-9]{6}$"));
    int removed = 0;
    const QFileInfoList folders =
        QDir(where).entryInfoList({kPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &folder : folders) {
        const QRegularExpressionMatch m = name.match(folder.fileName());
        if (!m.hasMatch() || folder.isSymLink() || processRuns(m.captured(1).toLongLong()))
            continue;
        if (QDir(folder.filePath()).removeRecursively())
            ++removed;
    }
    return removed;
}

}   // namespace

QString RunAreaPath(const QString &appDir) { return QDir(appDir).filePath(QStringLiteral(".kestrune-run")); }

bool EnsureRunArea(const QString &appDir)
{
    const QString area = RunAreaPath(appDir);
    const QFileInfo info(area);
    if (info.isDir() && !info.isSymLink())
        return true;
    if (info.exists() || info.isSymLink())
        return false;
    return QDir().mkdir(area, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString RunFolderTemplate(const QString &purpose, const QString &area)
{
    return QDir(area.isEmpty() ? QDir::tempPath() : area)
        .filePath(QStringLiteral("%1%2-%3-XXXXXX").arg(kPrefix, purpose).arg(QCoreApplication::applicationPid()));
}

int RemoveLeftoverRunFolders(const QString &area)
{
    int removed = removeEndedFolders(QDir::tempPath());
    if (!area.isEmpty())
        removed += removeEndedFolders(area);
    return removed;
}

StagedFileNote::~StagedFileNote() { remove(); }

bool StagedFileNote::write(const QString &area, const QString &stagedPath)
{
    remove();
    QTemporaryFile note(QDir(area).filePath(kNotePrefix + QStringLiteral("XXXXXX")));
    note.setAutoRemove(false);
    if (!note.open())
        return false;
    const QByteArray bytes = QFileInfo(stagedPath).absoluteFilePath().toUtf8();
    if (note.write(bytes) != bytes.size() || !note.flush()) {
        note.remove();
        return false;
    }
    m_note = note.fileName();
    return true;
}

void StagedFileNote::remove()
{
    if (!m_note.isEmpty())
        QFile::remove(m_note);
    m_note.clear();
}

int RemoveLeftoverStagedFiles(const QString &area)
{
    // The form StagedFile gives its temporary names: ".NAME.XXXXXX.suffix".
    static const QRegularExpression staged(QStringLiteral("^\\..+\\.[A-Za-z0-9]{6}(\\.[A-Za-z0-9]+)?$"));
    int removed = 0;
    const QFileInfoList notes = QDir(area).entryInfoList({kNotePrefix + QLatin1Char('*')}, QDir::Files);
    for (const QFileInfo &note : notes) {
        QFile f(note.filePath());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString path = QString::fromUtf8(f.read(4096));
        f.close();
        const QFileInfo file(path);
        // Only what the note names, and only while it still has a staged
        // name: a file the user has since put there under that name is no
        // longer one.
        if (file.isAbsolute() && file.isFile() && !file.isSymLink() && staged.match(file.fileName()).hasMatch() &&
            QFile::remove(path))
            ++removed;
        QFile::remove(note.filePath());
    }
    return removed;
}
