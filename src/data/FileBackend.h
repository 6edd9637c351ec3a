#pragma once

#include "data/Database.h"
#include "data/LibraryBackend.h"

#include <optional>
#include <sys/types.h>

// The library in one encrypted data file (SQLCipher), used by one program
// at a time.
class FileBackend final : public LibraryBackend {
public:
    // path: the data file.
    FileBackend(DataSource source, QString path);

    const DataSource &source() const override { return m_source; }
    QString displayName() const override;
    void prepare() override;
    Connection &connection() override;
    void release() override;
    Connection openSeparate() override;
    void readTracked(const QStringList &tables, const std::function<void(Connection &)> &read) override;
    TextTable readWholeTable(Connection &conn, const TableDef &def) override;
    QStringList changedSinceLoad() override { return {}; }
    bool checksPages() const override { return true; }
    bool isLibraryFile(const QString &path) const override;
    Outcome settle() override;
    Outcome writeDataFile(const QString &target) override;
    Outcome replaceWith(const QString &backup, const QString &backupKey, const QString &operatorName) override;
    bool hasFileKey() const override { return true; }
    Outcome changeKey(const QString &newKey, const KeyProbe &probe = {}) override;
    Outcome keepIfDamaged(const QString &copyPath) override;
    Outcome compact() override;
    Failure exitBackupFailure(const Failure &cause) const override;

private:
    // The file the session's connection has open, by device and inode.
    struct FileIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const FileIdentity &) const = default;
    };
    std::optional<FileIdentity> identity() const;
    // Puts a copy of from (opened with fromKey), re-keyed to toKey and
    // checked, in the data file's place; a failure leaves the data file as
    // it was.
    // finish: more work on the staged copy (opened with toKey) before it is
    // checked and put in place; it throws DbError to stop.
    Outcome placeRekeyed(const QString &from, const QString &fromKey, const QString &toKey, const KeyProbe &probe,
                         const std::function<void(const QString &stagedPath)> &finish = {});

    DataSource m_source;
    QString m_path;
    std::optional<Connection> m_session;
    std::optional<FileIdentity> m_sessionFile;
};
