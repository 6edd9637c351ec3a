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
