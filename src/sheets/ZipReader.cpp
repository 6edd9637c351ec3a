#include "sheets/ZipReader.h"

#include <QFile>

#include <zip.h>

namespace {

QString LibzipError(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

Failure Damaged(const QString &archive, const QString &member, const QString &why)
{
    return {QStringLiteral("工作簿“%1”已损坏，无法读取。").arg(archive), QStringLiteral("%1: %2").arg(member, why)};
}

Failure TooLarge(const QString &archive, const QString &member, qint64 limit, const QString &why)
{
    return {QStringLiteral("工作簿“%1”中的“%2”解压后超过%3 MB，不予读取。")
                .arg(archive, member, QString::number(double(limit) / (1 << 20), 'g', 4)),
            QStringLiteral("%1: %2").arg(member, why)};
}

}   // namespace

ZipMember::ZipMember(zip_file *file, QString archive, QString name, qint64 declaredSize, qint64 limit)
    : m_file(file), m_archive(std::move(archive)), m_name(std::move(name)), m_declaredSize(declaredSize), m_limit(limit)
{
    // Unbuffered: the XML reader asks for blocks of its own size.
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

ZipMember::~ZipMember() { zip_fclose(m_file); }

qint64 ZipMember::readData(char *data, qint64 maxSize)
{
    if (m_failure)
        return -1;
    const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
    if (n < 0) {
        m_failure = Damaged(m_archive, m_name, QString::fromUtf8(zip_file_strerror(m_file)));
        setErrorString(m_failure->detail);
        return -1;
    }
    // The directory may understate a member: count what really comes out.
    m_unpacked += n;
    if (m_unpacked > m_limit) {
        m_failure = TooLarge(m_archive, m_name, m_limit, QStringLiteral("unpacks to more than %1 bytes").arg(m_limit));
        setErrorString(m_failure->detail);
        return -1;
    }
    return n;
}

void ZipReader::Close::operator()(zip *archive) const { zip_discard(archive); }

ZipReader::ZipReader(zip *archive, QString path, qint64 limit)
    : m_archive(archive), m_path(std::move(path)), m_limit(limit)
{
}

Result<ZipReader> ZipReader::open(const QString &path, qint64 limit)
{
    int code = ZIP_ER_OK;
    zip *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (archive)
        return ZipReader(archive, path, limit);
    switch (code) {
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_MEMORY:
        return Result<ZipReader>::fail(QStringLiteral("无法读取文件“%1”：%2").arg(path, LibzipError(code)),
                                       LibzipError(code));
    default:
        return Result<ZipReader>::fail(QStringLiteral("文件“%1”不是.xlsx工作簿，或已损坏。").arg(path),
                                       LibzipError(code));
    }
}

bool ZipReader::contains(const QString &name) const
{
    return zip_name_locate(m_archive.get(), name.toUtf8().constData(), 0) >= 0;
}

Result<std::unique_ptr<ZipMember>> ZipReader::member(const QString &name) const
{
    using Opened = Result<std::unique_ptr<ZipMember>>;
    zip *archive = m_archive.get();
    const zip_int64_t index = zip_name_locate(archive, name.toUtf8().constData(), 0);
    if (index < 0)
        return Opened::fail(QStringLiteral("工作簿“%1”中缺少“%2”。").arg(m_path, name),
                            QString::fromUtf8(zip_strerror(archive)));
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0)
        return Damaged(m_path, name, QString::fromUtf8(zip_strerror(archive)));
    const bool sized = stat.valid & ZIP_STAT_SIZE;
    if (sized && stat.size > zip_uint64_t(m_limit))
        return TooLarge(m_path, name, m_limit, QStringLiteral("declares %1 bytes unpacked").arg(stat.size));
    zip_file *file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file)
        return Damaged(m_path, name, QString::fromUtf8(zip_strerror(archive)));
    return std::unique_ptr<ZipMember>(new ZipMember(file, m_path, name, sized ? qint64(stat.size) : 0, m_limit));
}
