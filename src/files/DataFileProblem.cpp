#include "files/DataFileProblem.h"

#include "data/Database.h"
#include "data/DbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// The smallest page the engine writes; every whole file is a number of them.
constexpr qint64 kSmallestPage = 512;

}   // namespace

DataFileProblem DiagnoseDataFile(const QString &path, const QString &key)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return DataFileProblem::Missing;
        return errno == EACCES ? DataFileProblem::NoPermission : DataFileProblem::NotAFile;
    }
    if (!S_ISREG(st.st_mode))
        return DataFileProblem::NotAFile;
    // Before any read: a file the engine cannot open for writing looks to it
    // like one it cannot open at all. The effective user is the one the
    // engine opens the file as.
    if (::faccessat(AT_FDCWD, name.constData(), R_OK | W_OK, AT_EACCESS) != 0)
        return DataFileProblem::NoPermission;
    if (st.st_size == 0)
        return DataFileProblem::Empty;
    if (st.st_size < kSmallestPage || st.st_size % kSmallestPage != 0)
        return DataFileProblem::CutShort;
    try {
        Connection conn = Connection::open(path, key);
        const QString damage = IntegrityProblem(conn);
        conn.close();
        return damage.isEmpty() ? DataFileProblem::None : DataFileProblem::Damaged;
    } catch (const DbError &e) {
        switch (e.engineCode() & 0xFF) {
        case SQLITE_NOTADB:
            return DataFileProblem::Foreign;
        case SQLITE_CORRUPT:
            // The first page read and names more pages than the file holds.
            return DataFileProblem::CutShort;
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH:
            return DataFileProblem::NoPermission;
        case SQLITE_CANTOPEN:
            return DataFileProblem::NotAFile;
        default:
            return DataFileProblem::Damaged;
        }
    }
}

QString DataFileProblemMessage(DataFileProblem problem, const QString &dataFile, const QString &backupFolder,
                               const std::optional<GoodCopy> &newest)
{
    const QString file = native(dataFile);
    QString what;
    bool replace = true;
    switch (problem) {
    case DataFileProblem::None:
        return QString();
    case DataFileProblem::Missing:
        what = QStringLiteral("找不到数据库文件：\n%1").arg(file);
        break;
    case DataFileProblem::NoPermission:
        replace = false;
        what = QStringLiteral("本软件没有读写数据库文件的权限：\n%1\n\n文件本身可能完好，请不要用备份代替它。"
                              "请让系统管理员把该文件和它所在的文件夹改为当前用户可以读写，然后重新启动本软件。")
                   .arg(file);
        break;
    case DataFileProblem::NotAFile:
        replace = false;
        what = QStringLiteral("数据库文件的位置上不是一个文件（可能是同名的文件夹）：\n%1\n\n"
                              "请查看其中是否存放着数据，把它改名或移到别处（不要删除），"
                              "再把专家库文件放到这个位置，然后重新启动本软件。")
                   .arg(file);
        break;
    case DataFileProblem::Empty:
        what = QStringLiteral("数据库文件是空的（长度为 0），其中没有任何数据：\n%1\n\n"
                              "这通常是复制没有完成或磁盘已满造成的。")
                   .arg(file);
        break;
    case DataFileProblem::CutShort:
        what = QStringLiteral("数据库文件不完整，比它应有的长度短（文件被截断）：\n%1\n\n"
                              "这通常是复制没有完成、传输中断或磁盘已满造成的，缺少的部分无法找回。")
                   .arg(file);
        break;
    case DataFileProblem::Foreign:
        what = QStringLiteral("这个文件不是本程序能打开的专家库：\n%1\n\n"
                              "它可能设置了另一个数据库密码，也可能根本不是本程序的数据库文件。"
                              "如果它是设置了密码的专家库，请用正确的密码打开。")
                   .arg(file);
        break;
    case DataFileProblem::Damaged:
        what = QStringLiteral("数据库文件已损坏，其中有读不出的数据页：\n%1").arg(file);
        break;
    }
    QString text = what + QStringLiteral("\n\n");
    if (replace) {
        if (newest)
            text += QStringLiteral("最近一份完好的副本是：\n%1\n（%2 保存）\n\n"
                                   "恢复方法：先把这个数据库文件移到别处保存（不要删除），"
                                   "再把这份副本复制为“%3”，然后重新启动本软件。")
                        .arg(native(newest->path), newest->written.toString(QStringLiteral("yyyy-MM-dd HH:mm")), file);
        else
            text += QStringLiteral("“%1”文件夹中没有完好的副本。请找回以前备份的专家库文件，"
                                   "把它复制为“%2”后重新启动本软件。")
                        .arg(native(backupFolder), file);
        text += QStringLiteral("\n");
    }
    return text + QStringLiteral("本软件没有改动这个文件。");
}

QString DataFileProblemMessage(const QString &appDir, const QString &path, const QString &key)
{
    const DataFileProblem problem = DiagnoseDataFile(path, key);
    if (problem == DataFileProblem::None)
        return QString();
    const bool replace = problem != DataFileProblem::NoPermission && problem != DataFileProblem::NotAFile;
    return DataFileProblemMessage(problem, path, BackupFolderPath(appDir),
                                  replace ? NewestGoodCopy(appDir, key) : std::nullopt);
}
