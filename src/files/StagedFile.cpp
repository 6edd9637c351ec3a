#include "files/StagedFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

StagedFile::StagedFile(const QString &target, const QString &suffix)
    : m_target(QFileInfo(target).absoluteFilePath()),
      m_part(QFileInfo(target).absoluteDir().filePath(
          QStringLiteral(".%1.XXXXXX%2").arg(QFileInfo(target).completeBaseName(), suffix)))
{
}

Outcome StagedFile::create()
{
    if (!m_part.open())
        return Outcome::failure(
            QStringLiteral("无法写入文件夹“%1”：%2")
                .arg(QDir::toNativeSeparators(QFileInfo(m_target).absolutePath()), m_part.errorString()));
    m_part.close();
    return Outcome::success();
}

Outcome StagedFile::place()
{
    m_part.setPermissions(QFileInfo::exists(m_target) ? QFile::permissions(m_target)
                                                      : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                            QFile::ReadOther);
    if (std::rename(QFile::encodeName(m_part.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0)
        return Outcome::failure(
            QStringLiteral("无法写入文件“%1”：%2")
                .arg(QDir::toNativeSeparators(m_target), QString::fromLocal8Bit(std::strerror(errno))));
    m_part.setAutoRemove(false);
    return Outcome::success();
}
