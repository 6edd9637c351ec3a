#pragma once

#include "data/Result.h"

#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>

struct zip;
struct zip_file;

// One member of an archive, read as it unpacks: nothing of it is held but
// what the reader asks for. A member that turns out damaged, or unpacks to
// more than the archive's limit whatever its directory entry said,
// stops reading (read() returns -1) with the reason in failure().
class ZipMember : public QIODevice {
public:
    ~ZipMember() override;
    bool isSequential() const override { return true; }
    // The size the archive's directory gives; a hint, not a promise.
    qint64 declaredSize() const { return m_declaredSize; }
    const std::optional<Failure> &failure() const { return m_failure; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    friend class ZipReader;
    ZipMember(zip_file *file, QString archive, QString name, qint64 declaredSize, qint64 limit);

    zip_file *m_file;
    QString m_archive;
    QString m_name;
    qint64 m_declaredSize;
    qint64 m_limit;
    qint64 m_unpacked = 0;
    std::optional<Failure> m_failure;
};

// A .zip archive (the container of .xlsx workbooks) read through libzip,
// zip64 included. Members are found by name and read as streams, so that
// what an archive claims about itself never decides how much is allocated.
class ZipReader {
public:
    // No part of a workbook the program reads comes near this; a member
    // that claims or unpacks to more is hostile or broken.
    static constexpr qint64 kMaxMemberSize = qint64(256) << 20;

    // limit: the most a member may hold unpacked.
    static Result<ZipReader> open(const QString &path, qint64 limit = kMaxMemberSize);

    bool contains(const QString &name) const;
    // The member opened for reading; refused when it is missing, encrypted,
    // packed in a way libzip does not read, or claims more than the limit.
    Result<std::unique_ptr<ZipMember>> member(const QString &name) const;

private:
    struct Close {
        void operator()(zip *archive) const;
    };
    ZipReader(zip *archive, QString path, qint64 limit);

    std::unique_ptr<zip, Close> m_archive;
    QString m_path;
    qint64 m_limit;
};
