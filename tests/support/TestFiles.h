#pragma once

// Whole files in tests.

#include <QByteArray>
#include <QFile>
#include <QString>

// The file's bytes; a file that cannot be read gives "<missing>", which no
// real content equals.
inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes the file, replacing what it held; false when it cannot be written.
inline bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Spoils a page deep inside a database file, as a failing disk does: the
// file still opens (its first page is whole) but the engine's integrity
// check fails. The file must hold a few dozen pages of data.
inline bool DamagePages(const QString &path)
{
    constexpr qint64 kPage = 1024;
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || f.size() < 8 * kPage)
        return false;
    const qint64 page = f.size() / kPage * 2 / 3;
    return f.seek(page * kPage + 100) && f.write(QByteArray(32, '\xA5')) == 32;
}
