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

bool StagedFile::create(QString *error)
{
    if (!m_part.open()) {
        if (error)
            *error = QStringLiteral("无法写入文件夹“%1”：%2")
                         .arg(QDir::toNativeSeparators(QFileInfo(m_target).absolutePath()), m_part.errorString());
        return false;
    }
    m_part.close();
    return true;
}

bool StagedFile::place(QString *error)
{
    m_part.setPermissions(QFileInfo::exists(m_target) ? QFile::permissions(m_target)
                                                      : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                            QFile::ReadOther);
    if (std::rename(QFile::encodeName(m_part.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0) {
        if (error)
            *error = QStringLiteral("无法写入文件“%1”：%2")
                         .arg(QDir::toNativeSeparators(m_target), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_part.setAutoRemove(false);
    return true;
}
