#pragma once

#include "data/DataSource.h"
#include "shell/ConnectionSettings.h"
#include "shell/frmLibraryKey.h"

#include <QString>
#include <functional>
#include <optional>

class MessageService;

// The source named by the start-up: a URI from the command line wins over a
// saved server connection, which wins over the local data file. No password
// yet.
DataSource InitialSource(const QString &commandLineUri, const SavedConnection &saved);

// What the user chose in the connection dialog.
struct ConnectionChoice {
    SavedConnection connection;
    QString password;
};

// What settling the source needs; the program gives the real windows and
// PrepareLibrary, tests their own.
struct SourceStartupServices {
    MessageService *messages = nullptr;
    SecretStore *secrets = nullptr;
    // The password prompt shown before the login window; nullopt when the
    // user cancels it.
    std::function<std::optional<QString>(const ServerAddress &)> askPassword;
    // The connection dialog, opened on a choice; nullopt when cancelled.
    std::function<std::optional<ConnectionChoice>(const ConnectionChoice &current)> editConnection;
    // Opens the library of a source; throws DbError when it cannot.
    std::function<void(const DataSource &)> open;
    // The data file of a file source that names none (the data folder's).
    QString dataFile;
    // The prompt for the password of a data file the default key does not
    // open; refused: the last one typed did not open it either. nullopt
    // when the user cancels.
    std::function<std::optional<LibraryKeyEntry>(const QString &file, bool refused)> askLibraryKey;
};

// The connection dialog's starting point for the source in use (which may
// have come from the command line rather than from the saved connection).
ConnectionChoice ChoiceOfSource(const DataSource &source, const SavedConnection &saved);

// Opens source (a server's password taken from it, the secret service or the
// prompt). A server that cannot be used is named with host and database, the
// failure in Chinese words and the engine's detail, and the user may open
// the connection dialog to change it or end the program. Returns the source
// opened, or nullopt when the user chose to end. A data file that cannot be
// opened is no connection problem: its DbError goes on to the caller, except
// one that the default key does not open: its password is taken from the
// secret service (when the user chose "记住") or asked until it opens it
// or the user cancels (the file's failure then goes on).
std::optional<DataSource> OpenSource(DataSource source, const SourceStartupServices &services);

// A server source of a dialog choice.
DataSource SourceOfChoice(const ConnectionChoice &choice);
