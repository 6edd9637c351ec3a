#include "files/ZipArchive.h"

#include <QFile>
#include <QtEndian>

#include <zlib.h>

namespace {

constexpr quint32 kEndOfDirectory = 0x06054b50;
constexpr quint32 kDirectoryEntry = 0x02014b50;
constexpr quint32 kLocalHeader = 0x04034b50;
constexpr int kEndRecordSize = 22;
constexpr quint16 kStored = 0;
constexpr quint16 kDeflated = 8;
constexpr quint16 kEncrypted = 0x0001;
constexpr quint16 kUtf8Names = 0x0800;

quint16 u16(const QByteArray &data, qsizetype at) { return qFromLittleEndian<quint16>(data.constData() + at); }

quint32 u32(const QByteArray &data, qsizetype at) { return qFromLittleEndian<quint32>(data.constData() + at); }

}   // namespace

bool ZipArchive::open(const QString &path, QString *error)
{
    m_members.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    m_data = file.readAll();
    const auto refuse = [&](const QString &why) {
        *error = why;
        m_data.clear();
        m_members.clear();
        return false;
    };

    // The end record is at the very end, behind a comment of at most 64 KiB.
    qsizetype end = -1;
    for (qsizetype at = m_data.size() - kEndRecordSize; at >= 0 && at >= m_data.size() - kEndRecordSize - 0xFFFF;
         --at) {
        if (u32(m_data, at) == kEndOfDirectory) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return refuse(QStringLiteral("not a zip archive"));
    if (u16(m_data, end + 4) != 0 || u16(m_data, end + 6) != 0)
        return refuse(QStringLiteral("zip archive in several parts"));
    const quint16 count = u16(m_data, end + 10);
    const quint32 directorySize = u32(m_data, end + 12);
    const quint32 directory = u32(m_data, end + 16);
    if (count == 0xFFFF || directory == 0xFFFFFFFF || qsizetype(directory) + directorySize > end)
        return refuse(QStringLiteral("zip64 or damaged zip directory"));

    qsizetype at = directory;
    for (int i = 0; i < count; ++i) {
        if (at + 46 > end || u32(m_data, at) != kDirectoryEntry)
            return refuse(QStringLiteral("damaged zip directory"));
        Member m;
        m.flags = u16(m_data, at + 8);
        m.method = u16(m_data, at + 10);
        m.crc = u32(m_data, at + 16);
        m.packedSize = u32(m_data, at + 20);
        m.size = u32(m_data, at + 24);
        const quint16 nameLength = u16(m_data, at + 28);
        const quint16 extraLength = u16(m_data, at + 30);
        const quint16 commentLength = u16(m_data, at + 32);
        m.localHeader = u32(m_data, at + 42);
        if (at + 46 + nameLength > end)
            return refuse(QStringLiteral("damaged zip directory"));
        const QByteArray rawName = m_data.mid(at + 46, nameLength);
        const QString name = (m.flags & kUtf8Names) ? QString::fromUtf8(rawName) : QString::fromLatin1(rawName);
        m_members.insert(name, m);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

bool ZipArchive::read(const QString &name, QByteArray *bytes, QString *error) const
{
    const auto it = m_members.constFind(name);
    if (it == m_members.constEnd()) {
        *error = QStringLiteral("no member %1").arg(name);
        return false;
    }
    const Member &m = *it;
    if (m.flags & kEncrypted) {
        *error = QStringLiteral("encrypted member %1").arg(name);
        return false;
    }
    const qsizetype header = m.localHeader;
    if (header + 30 > m_data.size() || u32(m_data, header) != kLocalHeader) {
        *error = QStringLiteral("damaged member %1").arg(name);
        return false;
    }
    const qsizetype start = header + 30 + u16(m_data, header + 26) + u16(m_data, header + 28);
    if (start + qsizetype(m.packedSize) > m_data.size()) {
        *error = QStringLiteral("damaged member %1").arg(name);
        return false;
    }

    QByteArray out;
    if (m.method == kStored) {
        out = m_data.mid(start, m.packedSize);
    } else if (m.method == kDeflated) {
        out.resize(m.size);
        z_stream z{};
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(m_data.constData() + start));
        z.avail_in = m.packedSize;
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = m.size;
        // Raw deflate data, without a zlib header.
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
            *error = QStringLiteral("inflate failed");
            return false;
        }
        const int rc = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        if (rc != Z_STREAM_END || z.total_out != m.size) {
            *error = QStringLiteral("damaged member %1").arg(name);
            return false;
        }
    } else {
        *error = QStringLiteral("member %1 packed by method %2").arg(name).arg(m.method);
        return false;
    }
    if (crc32(0, reinterpret_cast<const Bytef *>(out.constData()), uInt(out.size())) != m.crc) {
        *error = QStringLiteral("damaged member %1").arg(name);
        return false;
    }
    *bytes = std::move(out);
    return true;
}
