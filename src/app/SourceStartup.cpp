#include "app/SourceStartup.h"

#include "data/DbError.h"
#include "data/ServerAddress.h"
#include "ui/Services.h"

DataSource InitialSource(const QString &commandLineUri, const SavedConnection &saved)
{
    DataSource source;
    if (!commandLineUri.isEmpty()) {
        source.kind = DataSource::Server;
        source.uri = commandLineUri;
    } else if (saved.useServer) {
        source.kind = DataSource::Server;
        source.uri = ServerUri(saved.server);
    }
    return source;
}

DataSource SourceOfChoice(const ConnectionChoice &choice)
{
    DataSource source;
    if (choice.connection.useServer) {
        source.kind = DataSource::Server;
        source.uri = ServerUri(choice.connection.server);
        source.password = choice.password;
    }
    return source;
}

ConnectionChoice ChoiceOfSource(const DataSource &source, const SavedConnection &saved)
{
    ConnectionChoice choice{saved, source.password};
    choice.connection.useServer = source.kind == DataSource::Server;
    if (choice.connection.useServer)
        choice.connection.server = ServerAddressFromUri(source.uri);
    return choice;
}

namespace {

std::optional<DataSource> openFileSource(DataSource source, const SourceStartupServices &services)
{
    const QString file = source.path.isEmpty() ? services.dataFile : source.path;
    bool secretTried = false;
    bool keptSecretFailed = false;
    bool prompted = false;
    bool remember = false;
    for (;;) {
        try {
            services.open(source);
            if (services.secrets && prompted) {
                // A password kept from before that no longer opens the file
                // is of no use to anyone.
                if (remember)
                    services.secrets->write(LibrarySecretKey(file), source.key);
                else if (keptSecretFailed)
                    services.secrets->remove(LibrarySecretKey(file));
            }
            return source;
        } catch (const DbError &e) {
            // Anything else than the file's pages not reading (another key)
            // ends the start as it is.
            if (!e.notADatabase() || !services.askLibraryKey)
                throw;
            if (!secretTried && source.key.isEmpty() && services.secrets) {
                secretTried = true;
                const SecretStore::Result kept = services.secrets->read(LibrarySecretKey(file));
                if (kept.status == SecretStore::Status::Done && !kept.secret.isEmpty()) {
                    source.key = kept.secret;
                    continue;
                }
            }
            if (!source.key.isEmpty() && !prompted)
                keptSecretFailed = true;
            const std::optional<LibraryKeyEntry> typed = services.askLibraryKey(file, prompted);
            if (!typed)
                throw;
            prompted = true;
            source.key = typed->key;
            remember = typed->remember;
        }
    }
}

}   // namespace

std::optional<DataSource> OpenSource(DataSource source, const SourceStartupServices &services)
{
    if (!source.isServer())
        return openFileSource(std::move(source), services);

    // The password comes from the source, the secret service, or the
    // prompt, and only when the server asks for one: a server may want none
    // (a local socket, ~/.pgpass), and then the secret service is never
    // woken. A library that fails for any other reason than an unreachable
    // or refusing server (a damaged file) ends the start as it is.
    bool secretTried = false;
    bool prompted = false;
    for (;;) {
        QString detail;
        bool wantsPassword = false;
        try {
            services.open(source);
            return source;
        } catch (const DbError &e) {
            if (e.kind() != Failure::Kind::Disconnected)
                throw;
            detail = (e.detail().isEmpty() ? e.message() : e.detail()).trimmed();
            wantsPassword = e.needsPassword();
        }
        const ServerAddress address = ServerAddressFromUri(source.uri);
        if (wantsPassword && !secretTried && source.password.isEmpty() && !ServerUriHasPassword(source.uri)) {
            secretTried = true;
            const SecretStore::Result kept = services.secrets->read(ServerSecretKey(address));
            if (kept.status == SecretStore::Status::Done && !kept.secret.isEmpty()) {
                source.password = kept.secret;
                continue;
            }
        }
        if (wantsPassword && !prompted) {
            prompted = true;
            const std::optional<QString> typed = services.askPassword(address);
            if (!typed)
                return std::nullopt;
            source.password = *typed;
            continue;
        }
        // The general words add nothing to the first sentence.
        QString words = ConnectionFailureWords(detail);
        if (words == ConnectionFailureWords(QString()))
            words.clear();
        const QString text = QStringLiteral("无法连接到服务器“%1”上的数据库“%2”。%3\n\n详细信息：%4\n\n"
                                            "是否修改数据库连接？选择“否”将退出程序。")
                                 .arg(ServerHostName(address), address.database, words, detail);
        if (!services.messages->question(text))
            return std::nullopt;
        const ConnectionChoice current{SavedConnection{true, address}, source.password};
        if (const std::optional<ConnectionChoice> choice = services.editConnection(current)) {
            source = SourceOfChoice(*choice);
            // The dialog gave the password (or deliberately none).
            secretTried = true;
            prompted = false;
        }
        // Cancelled: the same source once more, and the same question if it
        // still fails.
    }
}
