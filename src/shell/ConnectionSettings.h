#pragma once

#include "data/ServerAddress.h"

#include <QString>
#include <memory>

class QSettings;

// The connection the user saved in the connection dialog: the local data
// file (the default) or a server. The server's password is not part of it;
// the secret service keeps it (SecretStore).
struct SavedConnection {
    bool useServer = false;
    ServerAddress server;

    bool operator==(const SavedConnection &) const = default;
};

// Reads the saved connection; nothing saved, or a server entry that is not
// complete, reads as the local data file.
SavedConnection LoadSavedConnection(QSettings &settings);
// Writes it and flushes it to disk. Returns "" or the problem in words.
QString StoreSavedConnection(QSettings &settings, const SavedConnection &connection);

// The user's settings of the program (~/.config/kestrune/kestrune.conf).
std::unique_ptr<QSettings> OpenUserSettings();

// Where the desktop keeps secrets (qtkeychain: the Secret Service, KWallet).
// Tests put in their own.
class SecretStore {
public:
    enum class Status {
        Done,          // read: found; write and remove: done
        NotFound,      // read: nothing kept under the key
        Unavailable,   // no secret service runs, or it refused
    };
    struct Result {
        Status status = Status::Unavailable;
        QString secret;    // what read found
        QString problem;   // the service's words when Unavailable
    };
    virtual ~SecretStore() = default;
    virtual Result read(const QString &key) = 0;
    virtual Result write(const QString &key, const QString &secret) = 0;
    virtual Result remove(const QString &key) = 0;
};

// The desktop's secret service through qtkeychain, never its plain-text
// fallback.
std::shared_ptr<SecretStore> DesktopSecretStore();
