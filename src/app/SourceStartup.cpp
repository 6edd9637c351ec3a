#include "app/SourceStartup.h"

#include "data/DbError.h"
#include "shell/ServerConnection.h"
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

std::optional<DataSource> OpenSource(DataSource source, const SourceStartupServices &services)
{
    // The password comes from the source, the secret service, or, when the
    // server asks for one, the prompt: a server may want none (a local
    // socket, ~/.pgpass).
    bool secretTried = false;
    bool prompted = false;
    for (;;) {
        if (!source.isServer()) {
            services.open(source);
            return source;
        }
        const ServerAddress address = ServerAddressFromUri(source.uri);
        if (source.password.isEmpty() && !secretTried && !ServerUriHasPassword(source.uri)) {
            secretTried = true;
            const SecretStore::Result kept = services.secrets->read(ServerSecretKey(address));
            if (kept.status == SecretStore::Status::Done)
                source.password = kept.secret;
        }

        QString detail;
        try {
            services.open(source);
            return source;
        } catch (const DbError &e) {
            detail = e.message().trimmed();
        }
        if (ServerWantsPassword(detail) && !prompted) {
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
