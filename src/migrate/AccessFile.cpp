#include "migrate/AccessFile.h"

#include "data/Database.h"
#include "data/DbError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <mdbtools.h>
#include <unistd.h>
#include <vector>

namespace Migrate {

struct AccessFile::Handle {
    MdbHandle *mdb = nullptr;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

namespace {

// Every bound value is written into a buffer of this size. Long enough for
// a memo of several hundred thousand characters; a value that fills it may
// have been cut by libmdb and is refused rather than taken as whole.
constexpr size_t kBindSize = 1 << 20;

// Dates come out of libmdb as text in this pattern.
constexpr const char *kDateFormat = "%Y-%m-%d %H:%M:%S";

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// While a table is read, what libmdb writes is kept: it only complains (in
// English, on stderr, with hex dumps of pages on stdout) about pages it
// cannot make sense of, and the values it then hands back cannot be trusted.
class CapturedStderr {
public:
    CapturedStderr()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        m_file = std::tmpfile();
        if (!m_file)
            return;
        for (int i = 0; i < 2; ++i) {
            m_saved[i] = ::dup(kStreams[i]);
            if (m_saved[i] >= 0)
                ::dup2(::fileno(m_file), kStreams[i]);
        }
    }
    ~CapturedStderr()
    {
        restore();
        if (m_file)
            std::fclose(m_file);
    }
    CapturedStderr(const CapturedStderr &) = delete;
    CapturedStderr &operator=(const CapturedStderr &) = delete;

    // What was written so far; the streams are the console's again afterwards.
    QString text()
    {
        restore();
        if (!m_file)
            return QString();
        std::rewind(m_file);
        QByteArray bytes;
        char buffer[4096];
        size_t n = 0;
        // A few lines tell the story; a damaged file may write thousands.
        while (bytes.size() < 4096 && (n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            bytes.append(buffer, qsizetype(n));
        return QString::fromUtf8(bytes.left(4096)).trimmed();
    }

private:
    static constexpr int kStreams[2] = {STDOUT_FILENO, STDERR_FILENO};

    void restore()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        for (int i = 0; i < 2; ++i) {
            if (m_saved[i] < 0)
                continue;
            ::dup2(m_saved[i], kStreams[i]);
            ::close(m_saved[i]);
            m_saved[i] = -1;
        }
    }

    std::FILE *m_file = nullptr;
    int m_saved[2] = {-1, -1};
};

// libmdb takes its character sets from the environment when a file is
// opened; they are set for that moment only.
class EnvironmentValue {
public:
    EnvironmentValue(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~EnvironmentValue()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvironmentValue(const EnvironmentValue &) = delete;
    EnvironmentValue &operator=(const EnvironmentValue &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

enum class Kind { Jet, Ace, Sqlite, Unknown };

Kind kindOf(const QByteArray &head)
{
    static const QByteArray jet("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    static const QByteArray ace("\x00\x01\x00\x00Standard ACE DB\x00", 20);
    static const QByteArray sqlite("SQLite format 3\x00", 16);
    if (head.startsWith(jet))
        return Kind::Jet;
    if (head.startsWith(ace))
        return Kind::Ace;
    if (head.startsWith(sqlite))
        return Kind::Sqlite;
    return Kind::Unknown;
}

// Only a library's key opens its data file; any other encrypted file looks
// like random bytes. The default key is tried first, then the keys the
// caller knows of (a library with a password of its own).
bool isKestruneDataFile(const QString &path, const QStringList &keys)
{
    QStringList tried{QString()};
    for (const QString &key : keys)
        if (!key.isEmpty() && !tried.contains(key))
            tried << key;
    for (const QString &key : tried) {
        try {
            Connection conn = Connection::open(path, key);
            conn.close();
            return true;
        } catch (const DbError &) {
        }
    }
    return false;
}

QString aceVersionName(quint32 version)
{
    switch (version) {
    case MDB_VER_ACCDB_2007:
        return QStringLiteral("Access 2007");
    case MDB_VER_ACCDB_2010:
        return QStringLiteral("Access 2010");
    case MDB_VER_ACCDB_2013:
        return QStringLiteral("Access 2013");
    case MDB_VER_ACCDB_2016:
        return QStringLiteral("Access 2016");
    case MDB_VER_ACCDB_2019:
        return QStringLiteral("Access 2019");
    default:
        return QStringLiteral("Access 2007 以后版本");
    }
}

ColumnType typeOf(int mdbType)
{
    switch (mdbType) {
    case MDB_BOOL:
        return ColumnType::Boolean;
    case MDB_BYTE:
        return ColumnType::Byte;
    case MDB_INT:
        return ColumnType::Integer;
    case MDB_LONGINT:
        return ColumnType::Long;
    case MDB_MONEY:
        return ColumnType::Currency;
    case MDB_FLOAT:
        return ColumnType::Single;
    case MDB_DOUBLE:
        return ColumnType::Double;
    case MDB_DATETIME:
        return ColumnType::DateTime;
    case MDB_BINARY:
        return ColumnType::Binary;
    case MDB_TEXT:
        return ColumnType::Text;
    case MDB_OLE:
        return ColumnType::Ole;
    case MDB_MEMO:
        return ColumnType::Memo;
    case MDB_REPID:
        return ColumnType::Guid;
    case MDB_NUMERIC:
        return ColumnType::Decimal;
    default:
        return ColumnType::Other;
    }
}

MdbColumn *columnAt(MdbTableDef *table, unsigned i)
{
    return static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
}

// One table definition of the file with its columns read; freed with the
// object.
class OpenTable {
public:
    OpenTable(MdbHandle *mdb, const QString &file, const QString &name) : m_file(file), m_name(name)
    {
        QByteArray utf8 = name.toUtf8();
        CapturedStderr complaints;
        m_table = mdb_read_table_by_name(mdb, utf8.data(), MDB_TABLE);
        if (!m_table)
            throw SourceError(QStringLiteral("Access 数据库“%1”中没有数据表 %2。").arg(native(file), name),
                              complaints.text());
        const bool read = mdb_read_columns(m_table);
        const QString said = complaints.text();
        if (!read || !said.isEmpty()) {
            mdb_free_tabledef(m_table);
            throw unreadable(QString(), said);
        }
    }
    ~OpenTable() { mdb_free_tabledef(m_table); }
    OpenTable(const OpenTable &) = delete;
    OpenTable &operator=(const OpenTable &) = delete;

    MdbTableDef *get() const { return m_table; }

    // why: our sentence of what was wrong; said: what libmdb wrote about it.
    SourceError unreadable(const QString &why = QString(), const QString &said = QString()) const
    {
        QString text = QStringLiteral("无法读取 Access 数据库“%1”中的数据表 %2").arg(native(m_file), m_name);
        text += why.isEmpty() ? QStringLiteral("：文件可能已损坏。请先在 Access 中“压缩和修复数据库”后再试。")
                              : QStringLiteral("：") + why;
        return SourceError(text, said);
    }

    // Runs over every record; the row count kept in the table definition
    // must agree, otherwise part of the table could not be read and the
    // table would come across incomplete.
    template <typename PerRow> qsizetype scan(PerRow perRow)
    {
        CapturedStderr complaints;
        mdb_rewind_table(m_table);
        qsizetype n = 0;
        while (mdb_fetch_row(m_table)) {
            perRow(n);
            ++n;
        }
        // Pages libmdb could not read, or values it could not unpack: what
        // came out of them is not what the file holds.
        if (const QString said = complaints.text(); !said.isEmpty())
            throw unreadable(QString(), said);
        if (n != qsizetype(m_table->num_rows))
            throw unreadable(QStringLiteral("只读出 %1 条记录，表中应有 %2 条。文件可能已损坏，"
                                            "请先在 Access 中“压缩和修复数据库”后再试。")
                                 .arg(n)
                                 .arg(m_table->num_rows));
        return n;
    }

private:
    QString m_file;
    QString m_name;
    MdbTableDef *m_table = nullptr;
};

}   // namespace

AccessFile::AccessFile(QString path, Format format, std::unique_ptr<Handle> handle)
    : m_path(std::move(path)), m_format(format), m_handle(std::move(handle))
{
    MdbHandle *mdb = m_handle->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            m_tables << QString::fromUtf8(entry->object_name);
    }
}

AccessFile::~AccessFile() = default;

std::unique_ptr<AccessFile> AccessFile::open(const QString &path, const QStringList &libraryKeys)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw SourceError(QStringLiteral("找不到文件“%1”。").arg(native(path)));
    if (!info.isFile())
        throw SourceError(QStringLiteral("“%1”不是文件。").arg(native(path)));
    QByteArray head;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw SourceError(QStringLiteral("无法读取文件“%1”：%2").arg(native(path), f.errorString()));
        head = f.read(64);
    }

    const Kind kind = kindOf(head);
    switch (kind) {
    case Kind::Jet:
    case Kind::Ace:
        break;
    case Kind::Sqlite:
        throw SourceError(QStringLiteral("文件“%1”是 SQLite 数据库，不是 Access 数据库。").arg(native(path)));
    case Kind::Unknown:
        if (isKestruneDataFile(path, libraryKeys))
            throw SourceError(QStringLiteral("文件“%1”是 Kestrune 的数据库文件（SQLCipher 加密），"
                                             "不是 Access 数据库，不需要导入。")
                                  .arg(native(path)));
        throw SourceError(QStringLiteral("文件“%1”不是 Access 数据库文件。").arg(native(path)));
    }

    auto handle = std::make_unique<Handle>();
    QString said;
    {
        // Jet 3 text is in the writer's code page; the program's users write GBK.
        EnvironmentValue jet3("MDB_JET3_CHARSET", "GBK");
        EnvironmentValue target("MDBICONV", "UTF-8");
        CapturedStderr complaints;
        handle->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
        said = complaints.text();
    }
    if (!handle->mdb)
        throw SourceError(QStringLiteral("无法打开 Access 数据库“%1”。").arg(native(path)), said);
    MdbHandle *mdb = handle->mdb;
    const quint32 version = mdb->f->jet_version;
    const Format format = kind == Kind::Ace ? Format::Ace : version == MDB_VER_JET3 ? Format::Jet3 : Format::Jet4;
    bool catalogRead = false;
    {
        CapturedStderr complaints;
        catalogRead = mdb_read_catalog(mdb, MDB_TABLE) != nullptr;
        said = complaints.text();
    }
    if (!catalogRead) {
        if (format == Format::Ace)
            throw SourceError(
                QStringLiteral("文件“%1”是 %2 的 .accdb 数据库，本程序无法读取"
                               "（设了数据库密码的 .accdb 文件是加密的）。\n"
                               "请在 Access 中撤销数据库密码，另存为 Access 2002-2003 格式的 .mdb 文件后再导入。")
                    .arg(native(path), aceVersionName(version)));
        throw SourceError(QStringLiteral("无法读取 Access 数据库“%1”：文件可能已损坏。").arg(native(path)), said);
    }
    mdb_set_date_fmt(mdb, kDateFormat);
    mdb_set_shortdate_fmt(mdb, kDateFormat);
    mdb_set_boolean_fmt_numbers(mdb);
    mdb_set_bind_size(mdb, kBindSize);
    return std::unique_ptr<AccessFile>(new AccessFile(path, format, std::move(handle)));
}

QList<SourceColumn> AccessFile::columns(const QString &table) const
{
    OpenTable t(m_handle->mdb, m_path, table);
    QList<SourceColumn> out;
    for (unsigned i = 0; i < t.get()->num_cols; ++i) {
        MdbColumn *col = columnAt(t.get(), i);
        out.append({QString::fromUtf8(col->name), typeOf(col->col_type)});
    }
    return out;
}

qsizetype AccessFile::rowCount(const QString &table) const
{
    OpenTable t(m_handle->mdb, m_path, table);
    return t.scan([](qsizetype) {});
}

QList<SourceRow> AccessFile::rows(const QString &table) const
{
    MdbHandle *mdb = m_handle->mdb;
    OpenTable t(mdb, m_path, table);
    const unsigned columns = t.get()->num_cols;
    std::vector<std::unique_ptr<char[]>> buffers;
    std::vector<int> lengths(columns, 0);
    for (unsigned i = 0; i < columns; ++i) {
        // Not cleared: libmdb writes each value before it is read.
        buffers.push_back(std::unique_ptr<char[]>(new char[kBindSize]));
        mdb_bind_column(t.get(), int(i) + 1, buffers.back().get(), &lengths[i]);
    }

    QList<SourceRow> out;
    out.reserve(t.get()->num_rows);
    t.scan([&](qsizetype record) {
        SourceRow row;
        row.reserve(columns);
        for (unsigned i = 0; i < columns; ++i) {
            MdbColumn *col = columnAt(t.get(), i);
            const char *text = buffers[i].get();
            const int length = lengths[i];
            const auto field = [&](const QString &problem) {
                return t.unreadable(QStringLiteral("第 %1 条记录的字段 %2 %3")
                                        .arg(record + 1)
                                        .arg(QString::fromUtf8(col->name), problem));
            };
            // A yes/no value lives in the record's null mask and is never null.
            if (col->col_type == MDB_BOOL) {
                row.append(QVariant(text[0] == '1'));
                continue;
            }
            // libmdb cannot tell a null from an empty value; both read as null.
            if (col->cur_value_len == 0) {
                row.append(QVariant());
                continue;
            }
            switch (col->col_type) {
            case MDB_TEXT:
            case MDB_MEMO:
                if (size_t(length) + 4 >= kBindSize)
                    throw field(QStringLiteral("太长，无法完整读出。"));
                row.append(QString::fromUtf8(text, length));
                break;
            case MDB_REPID:
            case MDB_NUMERIC:
            case MDB_MONEY:
                row.append(QString::fromLatin1(text, length));
                break;
            case MDB_BYTE:
            case MDB_INT:
            case MDB_LONGINT:
            case MDB_COMPLEX:
                row.append(QByteArray(text, length).toLongLong());
                break;
            // Read from the record itself: the text libmdb makes of a
            // floating-point value follows the C library's locale.
            case MDB_FLOAT:
                row.append(double(mdb_get_single(mdb->pg_buf, col->cur_value_start)));
                break;
            case MDB_DOUBLE:
                row.append(mdb_get_double(mdb->pg_buf, col->cur_value_start));
                break;
            case MDB_DATETIME: {
                // The text carries no time zone: kept as UTC, so that no
                // daylight-saving gap can move it.
                const QString s = QString::fromLatin1(text, length);
                const QDate date = QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
                const QTime time = QTime::fromString(s.mid(11), QStringLiteral("HH:mm:ss"));
                if (!date.isValid() || !time.isValid())
                    throw field(QStringLiteral("的日期超出可读的范围（1899-12-30 以前）。"));
                row.append(QDateTime(date, time, Qt::UTC));
                break;
            }
            case MDB_BINARY:
                row.append(
                    QByteArray(reinterpret_cast<const char *>(mdb->pg_buf) + col->cur_value_start, col->cur_value_len));
                break;
            case MDB_OLE: {
                size_t size = 0;
                void *data = mdb_ole_read_full(mdb, col, &size);
                row.append(QByteArray(static_cast<const char *>(data), qsizetype(size)));
                std::free(data);
                break;
            }
            default:
                row.append(QString::fromUtf8(text, length));
                break;
            }
        }
        out.append(std::move(row));
    });
    return out;
}

}   // namespace Migrate
