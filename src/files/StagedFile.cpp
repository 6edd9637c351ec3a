#include "files/StagedFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

mode_t NewFileMode()
{
    // The process's umask, read without changing it where the system tells
    // it (a change would race with other threads creating files).
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return 0666 & ~mode_t(mask);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

StagedFile::StagedFile(const QString &target, const QString &suffix, const QString &noteArea)
    : m_target(QFileInfo(target).absoluteFilePath()), m_noteArea(noteArea),
      m_part(QFileInfo(target).absoluteDir().filePath(
          QStringLiteral(".%1.XXXXXX%2").arg(QFileInfo(target).completeBaseName(), suffix)))
{
}

Outcome StagedFile::create()
{
    if (!m_part.open())
        return Outcome::fail(QStringLiteral("不能在文件夹“%1”中写入文件。")
                                 .arg(QDir::toNativeSeparators(QFileInfo(m_target).absolutePath())),
                             m_part.errorString());
    m_part.close();
    // The note only helps a later start; an export goes ahead without one.
    if (!m_noteArea.isEmpty())
        m_note.write(m_noteArea, m_part.fileName());
    return Outcome::success();
}

Outcome StagedFile::place()
{
    // By name, not through the temporary file's own handle: a writer that
    // saved by putting a new file in its place (as the office does) left
    // that handle on a file that is no longer there.
    const QByteArray part = QFile::encodeName(m_part.fileName());
    struct stat target {};
    const mode_t mode =
        ::stat(QFile::encodeName(m_target).constData(), &target) == 0 ? target.st_mode & 07777 : NewFileMode();
    if (::chmod(part.constData(), mode) != 0)
        return Outcome::fail(QStringLiteral("不能写入文件“%1”。").arg(QDir::toNativeSeparators(m_target)),
                             QString::fromLocal8Bit(std::strerror(errno)));
    if (std::rename(QFile::encodeName(m_part.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0)
        return Outcome::fail(QStringLiteral("不能写入文件“%1”。").arg(QDir::toNativeSeparators(m_target)),
                             QString::fromLocal8Bit(std::strerror(errno)));
    m_part.setAutoRemove(false);
    m_note.remove();
    return Outcome::success();
}
