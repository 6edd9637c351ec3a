#include "data/FileCopy.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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

#include <fcntl.h>
#include <unistd.h>

Outcome CopyFileReplacing(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Outcome::fail(QStringLiteral("不能读取文件“%1”。请检查该文件是否存在、能否读取。").arg(native(source)),
                             in.errorString());
    const qint64 needed = in.size();
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return writeProblem(target, needed, out.errorString());
    constexpr qint64 kChunk = 1 << 20;
    qint64 copied = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFile::NoError) {
            const QString reason = in.errorString();
            out.cancelWriting();
            return Outcome::fail(
                QStringLiteral("读取文件“%1”时出错，没有复制。请检查磁盘是否正常。").arg(native(source)), reason);
        }
        if (out.write(chunk) != chunk.size()) {
            // The reason before cancelling: cancelling puts its own in its place.
            const QString reason = out.errorString();
            out.cancelWriting();
            return writeProblem(target, needed, reason);
        }
        copied += chunk.size();
    }
    // A write the system only partly carried out (a full disk, a size limit)
    // can still be reported as accepted into the buffer: only a copy whose
    // flushed length is the source's may replace the target.
    if (!out.flush() || out.size() != copied) {
        const QString reason = out.error() != QFileDevice::NoError
                                   ? out.errorString()
                                   : QStringLiteral("只写入了 %1 字节，应为 %2 字节。").arg(out.size()).arg(copied);
        out.cancelWriting();
        return writeProblem(target, needed, reason);
    }
    // The copy's bytes reach the disk before it takes the target's name.
    if (!out.commit())
        return writeProblem(target, needed, out.errorString());
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
