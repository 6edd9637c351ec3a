#include "data/DbError.h"

#include <QDir>
#include <sqlite3.h>

DbError::DbError(int engineCode, const QString &file, const QString &engineText)
    : std::runtime_error(engineText.toStdString()),
      m_message(QStringLiteral("%1\n%2").arg(engineText, QDir::toNativeSeparators(file))), m_code(engineCode),
      m_file(file), m_engineText(engineText)
{
}

bool DbError::notADatabase() const { return (m_code & 0xFF) == SQLITE_NOTADB; }

bool DbError::fileBusy() const { return (m_code & 0xFF) == SQLITE_BUSY || (m_code & 0xFF) == SQLITE_LOCKED; }

Failure::Kind DbError::kind() const { return fileBusy() ? Failure::Kind::Busy : m_kind; }

QString DbError::sentence() const
{
    if (m_code == 0)
        return m_message;
    const QString file = QDir::toNativeSeparators(m_file);
    switch (m_code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件“%1”正被另一个程序使用，这次操作没有完成。"
                              "请关闭正在使用它的程序（包括另一个打开的本软件），然后再试一次。")
            .arg(file);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("不能写入数据库文件“%1”，这次操作没有完成。"
                              "请检查该文件和它所在文件夹的权限（需要可以写入），然后再试一次。")
            .arg(file);
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间已满，不能写入“%1”，这次操作没有完成。请释放磁盘空间后再试一次。").arg(file);
    case SQLITE_IOERR:
        return QStringLiteral("读写“%1”时出错，这次操作没有完成。请检查磁盘空间和磁盘是否正常，然后再试一次。")
            .arg(file);
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开“%1”。请检查该文件是否存在，以及它所在文件夹的权限。").arg(file);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral(
                   "“%1”已损坏，或不是本程序的数据库文件。请用以前备份的专家库文件代替它，或与系统管理员联系。")
            .arg(file);
    case SQLITE_CONSTRAINT:
        // Only a taken number is a matter of numbering; any other refusal
        // falls to the general sentence.
        if (m_code == SQLITE_CONSTRAINT_PRIMARYKEY || m_code == SQLITE_CONSTRAINT_UNIQUE)
            return QStringLiteral("数据库文件“%1”中已有编号相同的记录，这次操作没有完成。"
                                  "请关闭本软件后重新启动，再试一次。")
                .arg(file);
        [[fallthrough]];
    default:
        return QStringLiteral("操作数据库文件“%1”失败，这次操作没有完成。").arg(file);
    }
}
