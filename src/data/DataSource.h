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

    bool isServer() const { return kind == Server; }
};

// How the source is named to the user (status bar, messages): the file's
// path, or the server's URI without any password it carries.
QString DataSourceDisplayName(const DataSource &source, const QString &defaultFile);
