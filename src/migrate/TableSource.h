#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <stdexcept>

// Tables read from another program's database file, whole and by name. The
// import works on this interface only, so that it can be checked with tables
// made in memory as well as with real files.

namespace Migrate {

// Column types of an Access table.
enum class ColumnType {
    Text,   // up to 255 characters
    Memo,   // long text
    Byte,
    Integer,   // 16 bit
    Long,      // 32 bit
    Single,
    Double,
    Currency,
    DateTime,
    Boolean,   // yes/no
    Binary,
    Ole,    // OLE object, long binary
    Guid,   // replication id
    Decimal,
    Other,
};

// Name of a column type as Access shows it ("文本", "日期/时间", ...).
QString ColumnTypeName(ColumnType type);

struct SourceColumn {
    QString name;
    ColumnType type = ColumnType::Text;
};

// One row, a value per column in column order. A null value is an invalid
// QVariant; otherwise text, memo, currency, guid and decimal values are
// QString (currency with its four decimals, "3.5000"), whole numbers
// qlonglong, Single and Double double, date/time QDateTime, yes/no bool,
// binary and OLE QByteArray.
using SourceRow = QVariantList;

// A file that cannot be read, or a table that is not in it. The message
// names the file and says what is wrong, ready to be shown.
class SourceError : public std::runtime_error {
public:
    explicit SourceError(const QString &message, const QString &detail = QString())
        : std::runtime_error(message.toStdString()), m_message(message), m_detail(detail)
    {
    }
    QString message() const { return m_message; }
    // What the reading library said, for the details of a message.
    QString detail() const { return m_detail; }

private:
    QString m_message;
    QString m_detail;
};

class TableSource {
public:
    virtual ~TableSource() = default;

    // The file the tables come from, as shown in messages.
    virtual QString fileName() const = 0;
    // The user tables, in the file's order.
    virtual QStringList tableNames() const = 0;
    // A table's columns in order. Throws SourceError for an unknown table.
    virtual QList<SourceColumn> columns(const QString &table) const = 0;
    // Number of records. Throws SourceError.
    virtual qsizetype rowCount(const QString &table) const = 0;
    // Every record, in the file's order. Throws SourceError when the table
    // cannot be read whole.
    virtual QList<SourceRow> rows(const QString &table) const = 0;
};

}   // namespace Migrate
