#include "data/FileCopy.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// What to tell the user when the copy cannot be written, the system's own
// words as the detail. A full disk is named as such.
Outcome writeProblem(const QString &target, qint64 needed, const QString &reason)
{
    const QStorageInfo disk(QFileInfo(target).absolutePath());
    const QString sentence =
        disk.isValid() && disk.bytesAvailable() < needed
            ? QStringLiteral("磁盘空间不足，不能写入文件“%1”，原有的文件没有改变。请释放磁盘空间后再试一次。")
            : QStringLiteral("不能写入文件“%1”，原有的文件没有改变。请检查磁盘空间和文件夹的权限，然后再试一次。");
    return Outcome::fail(sentence.arg(native(target)), reason);
}

}   // namespace

#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString StagedNameTemplate(const QString &target)
{
    const QFileInfo info(target);
    return info.absoluteDir().filePath(QStringLiteral(".%1.kestrune-staged-XXXXXX").arg(info.fileName()));
}

bool IsStagedCopyName(const QString &fileName)
{
    static const QRegularExpression current(QStringLiteral("^\\..+\\.kestrune-staged-[A-Za-z0-9]{6}$"));
    static const QRegularExpression earlier(QStringLiteral("^.+\\.mdb\\.([A-Za-z0-9]{6})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (current.match(fileName).hasMatch())
        return true;
    const QRegularExpressionMatch m = earlier.match(fileName);
    if (!m.hasMatch())
        return false;
    // Six random letters and digits nearly always mix the kinds; a name a
    // person types (a date, "backup", "Backup", "old123") does not mix all
    // three nor holds two capitals among small letters. A random tail that
    // happens to look typed is left, which costs only disk space.
    int upper = 0, lower = 0, digits = 0;
    for (const QChar c : m.capturedView(1)) {
        if (c.isUpper())
            ++upper;
        else if (c.isLower())
            ++lower;
        else
            ++digits;
    }
    return lower > 0 && ((upper > 0 && digits > 0) || upper >= 2);
}

namespace {

// Makes a new empty file under the staged name with the permissions a new
// file of the user gets (the umask applies to the mode given to open), or
// those of the file it will replace.
int createStaged(const QString &target, QString &path, QString &reason)
{
    const QString pattern = StagedNameTemplate(target);
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    struct stat existing {};
    const bool replaces = ::stat(QFile::encodeName(target).constData(), &existing) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = pattern;
        const qsizetype at = name.lastIndexOf(QStringLiteral("XXXXXX"));
        for (int i = 0; i < 6; ++i)
            name[at + i] = QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))]);
        const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            reason = QString::fromLocal8Bit(std::strerror(errno));
            return -1;
        }
        if (replaces)
            ::fchmod(fd, existing.st_mode & 07777);
        path = name;
        return fd;
    }
    reason = QString::fromLocal8Bit(std::strerror(EEXIST));
    return -1;
}

}   // namespace

Outcome CopyFileReplacing(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Outcome::fail(QStringLiteral("不能读取文件“%1”。请检查该文件是否存在、能否读取。").arg(native(source)),
                             in.errorString());
    const qint64 needed = in.size();
    QString stagedPath, reason;
    const int fd = createStaged(target, stagedPath, reason);
    if (fd < 0)
        return writeProblem(target, needed, reason);
    QFile out;
    out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    // Whatever stops the copy takes the partial file with it.
    const auto abandon = [&](const Outcome &why) {
        out.close();
        QFile::remove(stagedPath);
        return why;
    };
    constexpr qint64 kChunk = 1 << 20;
    qint64 copied = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFile::NoError)
            return abandon(
                Outcome::fail(QStringLiteral("读取文件“%1”时出错，没有复制。请检查磁盘是否正常。").arg(native(source)),
                              in.errorString()));
        if (out.write(chunk) != chunk.size())
            return abandon(writeProblem(target, needed, out.errorString()));
        copied += chunk.size();
    }
    // A write the system only partly carried out (a full disk, a size limit)
    // can still be reported as accepted into the buffer: only a copy whose
    // flushed length is the source's may replace the target.
    if (!out.flush() || out.size() != copied) {
        const QString why = out.error() != QFileDevice::NoError
                                ? out.errorString()
                                : QStringLiteral("只写入了 %1 字节，应为 %2 字节。").arg(out.size()).arg(copied);
        return abandon(writeProblem(target, needed, why));
    }
    // The copy's bytes reach the disk before it takes the target's name.
    if (::fsync(fd) != 0)
        return abandon(writeProblem(target, needed, QString::fromLocal8Bit(std::strerror(errno))));
    out.close();
    if (std::rename(QFile::encodeName(stagedPath).constData(), QFile::encodeName(target).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(stagedPath);
        return writeProblem(target, needed, why);
    }
    // And the new name itself only survives a power cut once the folder that
    // holds it is on the disk too.
    const int folder = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return Outcome::success();
}

Outcome CopyDataFile(const QString &dataFile, const QString &target, const QString &key)
{
    // Only a file that opens as a database is copied, and its bytes are
    // copied inside a read transaction: the first read rolls back a journal
    // left by an interrupted write, and while the transaction lasts no other
    // program can commit half its pages into the copy.
    try {
        Connection conn = Connection::open(dataFile, key);
        ReadSnapshot snapshot(conn);
        conn.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        // A file that opens can still have damaged pages deep inside; such a
        // copy must never take the place of a sound one.
        const QString damage = IntegrityProblem(conn);
        if (!damage.isEmpty())
            return Outcome::fail(QStringLiteral("数据库文件“%1”已损坏，没有复制。").arg(native(dataFile)), damage);
        Outcome copied = CopyFileReplacing(dataFile, target);
        conn.close();
        return copied;
    } catch (const DbError &e) {
        return Outcome::fail(e.sentence(), e.detail());
    }
}
