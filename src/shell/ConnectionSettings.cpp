#include "shell/ConnectionSettings.h"

#include <QEventLoop>
#include <QSettings>

#include <qt6keychain/keychain.h>

namespace {

const QString kGroup = QStringLiteral("connection");
const QString kSecretService = QStringLiteral("Kestrune");

// Waits for a keychain job: the jobs answer through the event loop, and the
// start-up needs the answer before the login window opens.
SecretStore::Result RunJob(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    // A secret never falls back to a plain-text file.
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    SecretStore::Result result;
    switch (job.error()) {
    case QKeychain::NoError:
        result.status = SecretStore::Status::Done;
        break;
    case QKeychain::EntryNotFound:
        result.status = SecretStore::Status::NotFound;
        break;
    default:
        result.status = SecretStore::Status::Unavailable;
        result.problem = job.errorString();
        break;
    }
    return result;
}

class KeychainStore : public SecretStore {
public:
    Result read(const QString &key) override
    {
        QKeychain::ReadPasswordJob job(kSecretService);
        job.setKey(key);
        Result result = RunJob(job);
        if (result.status == Status::Done)
            result.secret = job.textData();
        return result;
    }
    Result write(const QString &key, const QString &secret) override
    {
        QKeychain::WritePasswordJob job(kSecretService);
        job.setKey(key);
        job.setTextData(secret);
        return RunJob(job);
    }
    Result remove(const QString &key) override
    {
        QKeychain::DeletePasswordJob job(kSecretService);
        job.setKey(key);
        Result result = RunJob(job);
        // Nothing to remove is what removing wanted.
        if (result.status == Status::NotFound)
            result.status = Status::Done;
        return result;
    }
};

}   // namespace

SavedConnection LoadSavedConnection(QSettings &settings)
{
    settings.beginGroup(kGroup);
    SavedConnection saved;
    saved.useServer = settings.value(QStringLiteral("source")).toString() == QLatin1String("server");
    saved.server.host = settings.value(QStringLiteral("host")).toString();
    saved.server.port = settings.value(QStringLiteral("port")).toString();
    saved.server.database = settings.value(QStringLiteral("database")).toString();
    saved.server.user = settings.value(QStringLiteral("user")).toString();
    saved.server.sslMode = settings.value(QStringLiteral("sslmode"), QStringLiteral("require")).toString();
    settings.endGroup();
    // A hand-edited or half-written entry is no server to connect to.
    if (saved.useServer && !ServerAddressProblem(saved.server).isEmpty())
        saved.useServer = false;
    return saved;
}

QString StoreSavedConnection(QSettings &settings, const SavedConnection &connection)
{
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("source"),
                      connection.useServer ? QStringLiteral("server") : QStringLiteral("file"));
    settings.setValue(QStringLiteral("host"), connection.server.host);
    settings.setValue(QStringLiteral("port"), connection.server.port);
    settings.setValue(QStringLiteral("database"), connection.server.database);
    settings.setValue(QStringLiteral("user"), connection.server.user);
    settings.setValue(QStringLiteral("sslmode"), connection.server.sslMode);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("无法保存设置文件“%1”。").arg(settings.fileName());
    return QString();
}

std::unique_ptr<QSettings> OpenUserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kestrune"),
                                       QStringLiteral("kestrune"));
}

std::shared_ptr<SecretStore> DesktopSecretStore() { return std::make_shared<KeychainStore>(); }
