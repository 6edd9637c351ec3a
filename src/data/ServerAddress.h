#pragma once

#include "data/DataSource.h"
#include "data/Result.h"

#include <QString>
#include <QStringList>

// Where a library on a PostgreSQL server lives, as the connection dialog
// shows it. The password is never part of it: it travels separately and is
// kept only by the desktop's secret service.
struct ServerAddress {
    QString host;   // "" for the local server's socket
    QString port;   // "" for the default port
    QString database;
    QString user;
    QString sslMode = QStringLiteral("require");

    bool operator==(const ServerAddress &) const = default;
};

// The TLS modes the dialog offers, most secure first but one: "require"
// (encrypted), "verify-full" (encrypted, the certificate checked against the
// host name), "prefer" (encrypted when the server can).
const QStringList &OfferedSslModes();
// Every mode libpq knows; a URI on the command line may use any of them.
const QStringList &KnownSslModes();

// Checks a connection URI without any network: scheme postgresql:// or
// postgres://, a syntax libpq reads, ports that are numbers, a known sslmode
// and a database name. "" when it is sound, otherwise what is wrong, in
// words for the user.
QString ServerUriProblem(const QString &uri);

// The fields of a sound URI (ServerUriProblem gave ""); a password in it is
// left out.
ServerAddress ServerAddressFromUri(const QString &uri);

// The URI of an address: user, host and database percent-encoded, an IPv6
// host in brackets, a socket folder as host, the sslmode as a parameter.
QString ServerUri(const ServerAddress &address);

// What is missing or wrong in the dialog's fields, "" when nothing is;
// field, when given, gets the name of the first wrong one ("host", "port",
// "database", "user", "sslMode").
QString ServerAddressProblem(const ServerAddress &address, QString *field = nullptr);

// The host as messages name it; the local server's socket is "本机".
QString ServerHostName(const ServerAddress &address);

// "host/database" as the status bar and the messages name a server; the
// local server's socket is "本机".
QString ServerDisplayName(const ServerAddress &address);

// Whether a URI carries its own password.
bool ServerUriHasPassword(const QString &uri);

// The key under which the secret service keeps the password of an address.
QString ServerSecretKey(const ServerAddress &address);

// A failed connection's engine text (libpq's or the server's) as a short
// sentence in Chinese; the engine text itself goes with it as the detail.
QString ConnectionFailureWords(const QString &detail);

// Connects once (a connect_timeout of timeoutSeconds per address) and
// disconnects again; nothing is read or written. On success the message says
// so with the server's version and whether the connection is encrypted; on
// failure it is ConnectionFailureWords, with the engine's own text as detail.
Outcome ProbeServer(const QString &uri, const QString &password, int timeoutSeconds = 5);
