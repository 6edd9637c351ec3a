#include "files/FileCopy.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

Outcome CopyFileReplacing(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Outcome::failure(
            QStringLiteral("无法读取文件“%1”：%2").arg(QDir::toNativeSeparators(source), in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return Outcome::failure(
            QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(target), out.errorString()));
    constexpr qint64 kChunk = 1 << 20;
    qint64 copied = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFile::NoError) {
            out.cancelWriting();
            return Outcome::failure(
                QStringLiteral("读取文件“%1”失败：%2").arg(QDir::toNativeSeparators(source), in.errorString()));
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return Outcome::failure(
                QStringLiteral("写入文件“%1”失败：%2").arg(QDir::toNativeSeparators(target), out.errorString()));
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
        return Outcome::failure(QStringLiteral("写入文件“%1”失败：%2").arg(QDir::toNativeSeparators(target), reason));
    }
    // The copy's bytes reach the disk before it takes the target's name.
    if (!out.commit())
        return Outcome::failure(
            QStringLiteral("写入文件“%1”失败：%2").arg(QDir::toNativeSeparators(target), out.errorString()));
    // And the new name itself only survives a power cut once the folder that
    // holds it is on the disk too.
    const int folder = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return Outcome::success();
}

Outcome CopyDataFile(const QString &dataFile, const QString &target)
{
    // Only a file that opens as a database is copied, and its bytes are
    // copied inside a read transaction: the first read rolls back a journal
    // left by an interrupted write, and while the transaction lasts no other
    // program can commit half its pages into the copy.
    try {
        Connection conn = Connection::open(dataFile);
        conn.exec(QStringLiteral("BEGIN"));
        conn.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        Outcome copied = CopyFileReplacing(dataFile, target);
        conn.close();
        return copied;
    } catch (const DbError &e) {
        return Outcome::failure(e.message());
    }
}
