#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// A .zip archive read into memory (the container of .xlsx workbooks): its
// directory, and members that are stored or deflated. Archives split over
// several files, encrypted members and the 64-bit extension are refused.
class ZipArchive {
public:
    // Reads the file and its directory; false with the reason in *error when
    // it is no archive this class reads.
    bool open(const QString &path, QString *error);
    bool contains(const QString &name) const { return m_members.contains(name); }
    // The member's bytes; false with the reason in *error when it is missing
    // or damaged.
    bool read(const QString &name, QByteArray *bytes, QString *error) const;

private:
    struct Member {
        quint16 method = 0;
        quint16 flags = 0;
        quint32 crc = 0;
        quint32 packedSize = 0;
        quint32 size = 0;
        quint32 localHeader = 0;
    };
    QByteArray m_data;
    QHash<QString, Member> m_members;
};
