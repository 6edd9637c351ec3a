#pragma once

#include <QString>

// Where the library lives: the encrypted data file (the default, one user at
// one computer) or a PostgreSQL database that several operators share.
struct DataSource {
    enum Kind { File, Server } kind = File;
    // File: the data file; empty means ProSys.mdb of the data folder.
    QString path;
    // Server: a PostgreSQL connection URI ("postgresql://user@host/db?sslmode=require").
    QString uri;
    // Server: the password, when the URI carries none. Kept in memory only.
    QString password;
    // File: the library's own password; empty for the default key. Kept in
    // memory only.
    QString key;

    bool isServer() const { return kind == Server; }
    bool operator==(const DataSource &) const = default;
};
