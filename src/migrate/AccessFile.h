#pragma once

#include "migrate/TableSource.h"

#include <memory>

namespace Migrate {

// An Access database file read through libmdb: Jet 3 (Access 97), Jet 4
// (Access 2000 to 2003) and any .accdb that libmdb can read. Jet 3 files keep
// their text in the code page of the machine that wrote them, which for this
// program's users is GBK; Jet 4 files keep Unicode. A database password does
// not stop the reading: Jet 4 only checks it in Access itself and does not
// encrypt the pages with it.
class AccessFile final : public TableSource {
public:
    enum class Format { Jet3, Jet4, Ace };

    // Opens the file for reading. Throws SourceError naming the file when it
    // is missing, is not an Access database (saying what it is when that is
    // known: this program's own encrypted data file, an SQLite database), is
    // an .accdb libmdb cannot read, or is damaged. libraryKeys: passwords
    // besides the default key under which a library's own data file is
    // recognised as such.
    static std::unique_ptr<AccessFile> open(const QString &path, const QStringList &libraryKeys = {});
    ~AccessFile() override;

    Format format() const { return m_format; }

    QString fileName() const override { return m_path; }
    QStringList tableNames() const override { return m_tables; }
    QList<SourceColumn> columns(const QString &table) const override;
    qsizetype rowCount(const QString &table) const override;
    QList<SourceRow> rows(const QString &table) const override;

    struct Handle;

private:
    AccessFile(QString path, Format format, std::unique_ptr<Handle> handle);

    QString m_path;
    Format m_format;
    std::unique_ptr<Handle> m_handle;
    QStringList m_tables;
};

}   // namespace Migrate
