// Which library the program opens: --server, the saved connection or the
// data file, and what happens when a server cannot be used.
#include "FakeServices.h"
#include "app/CommandLine.h"
#include "app/SourceStartup.h"
#include "data/DbError.h"

#include <gtest/gtest.h>
#include <map>

TEST(CommandLine, ServerOption)
{
    struct Case {
        QStringList args;
        bool run;
        QString serverUri;       // when run
        const char *stderrHas;   // when not run
    } cases[] = {
        {{"--server", "postgresql://kestrune@dbhost/kestrune?sslmode=require"},
         true,
         "postgresql://kestrune@dbhost/kestrune?sslmode=require",
         ""},
        {{"--server=postgres://dbhost/lib"}, true, "postgres://dbhost/lib", ""},
        {{"--server", "postgresql:///lib", "--data-dir", "/tmp/d"}, true, "postgresql:///lib", ""},
        {{}, true, "", ""},
        {{"--server"}, false, "", "--server"},
        {{"--server", "dbhost/lib"}, false, "", "postgresql://"},
        {{"--server", "mysql://dbhost/lib"}, false, "", "postgresql://"},
        {{"--server", "postgresql://dbhost:70000/lib"}, false, "", "70000"},
        {{"--server", "postgresql://dbhost/lib?sslmode=maybe"}, false, "", "maybe"},
        {{"--server", "postgresql://dbhost"}, false, "", "数据库名"},
        {{"--server", "postgresql://[dbhost/lib"}, false, "", "无法识别"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CommandLine cl = ParseCommandLine(QStringList{"/usr/bin/kestrune"} + c.args, "1.2.3");
        EXPECT_EQ(cl.run, c.run);
        if (c.run) {
            EXPECT_EQ(cl.serverUri, c.serverUri);
            EXPECT_TRUE(cl.errorOutput.isEmpty());
            continue;
        }
        // Like every wrong command line: the reason and the usage on
        // standard error, exit code 2, nothing on standard output.
        EXPECT_EQ(cl.exitCode, 2);
        EXPECT_TRUE(cl.output.isEmpty());
        EXPECT_TRUE(cl.errorOutput.contains(QString::fromUtf8(c.stderrHas))) << cl.errorOutput.toStdString();
        EXPECT_TRUE(cl.errorOutput.contains("Usage: kestrune"));
    }
    const CommandLine help = ParseCommandLine({"kestrune", "--help"}, "1.2.3");
    EXPECT_TRUE(help.output.contains("--server <URI>")) << help.output.toStdString();
}

TEST(SourceStartup, CommandLineOverSavedConnectionOverTheFile)
{
    const SavedConnection file{false, {"saved", "", "lib", "k", "require"}};
    const SavedConnection server{true, {"saved", "6000", "lib", "k", "verify-full"}};
    struct Case {
        const char *name;
        QString uri;
        SavedConnection saved;
        DataSource::Kind kind;
        QString expectedUri;
    } cases[] = {
        {"nothing chosen", "", SavedConnection{}, DataSource::File, ""},
        {"a saved server entry switched off", "", file, DataSource::File, ""},
        {"the saved server", "", server, DataSource::Server, "postgresql://k@saved:6000/lib?sslmode=verify-full"},
        {"the command line wins", "postgresql://cli/lib2", server, DataSource::Server, "postgresql://cli/lib2"},
        {"the command line over the file", "postgresql://cli/lib2", file, DataSource::Server, "postgresql://cli/lib2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const DataSource s = InitialSource(c.uri, c.saved);
        EXPECT_EQ(s.kind, c.kind);
        EXPECT_EQ(s.uri, c.expectedUri);
        EXPECT_TRUE(s.path.isEmpty());   // the data folder's ProSys.mdb
        EXPECT_TRUE(s.password.isEmpty());
    }
}

namespace {

class MemorySecrets : public SecretStore {
public:
    std::map<QString, QString> kept;
    Result read(const QString &key) override
    {
        const auto it = kept.find(key);
        return it == kept.end() ? Result{Status::NotFound, {}, {}} : Result{Status::Done, it->second, {}};
    }
    Result write(const QString &key, const QString &secret) override
    {
        kept[key] = secret;
        return {Status::Done, {}, {}};
    }
    Result remove(const QString &key) override
    {
        kept.erase(key);
        return {Status::Done, {}, {}};
    }
};

// A server that accepts one password and refuses everything else the way
// libpq and the server word it.
struct StartupFixture {
    FakeMessages messages;
    MemorySecrets secrets;
    QString goodPassword = "right";
    bool reachable = true;
    QStringList opened;           // "uri|password" of every attempt
    QList<ServerAddress> asked;   // password prompts
    QQueue<std::optional<QString>> typed;
    QQueue<std::optional<ConnectionChoice>> choices;
    QList<ConnectionChoice> dialogsOpenedOn;
    SourceStartupServices services;

    StartupFixture()
    {
        services.messages = &messages;
        services.secrets = &secrets;
        services.askPassword = [this](const ServerAddress &a) {
            asked << a;
            return typed.isEmpty() ? std::optional<QString>() : typed.dequeue();
        };
        services.editConnection = [this](const ConnectionChoice &current) {
            dialogsOpenedOn << current;
            return choices.isEmpty() ? std::optional<ConnectionChoice>() : choices.dequeue();
        };
        services.open = [this](const DataSource &s) {
            opened << (s.isServer() ? s.uri + "|" + s.password : QStringLiteral("file"));
            if (!s.isServer())
                return;
            if (!reachable)
                throw DbError("connection to server at \"dbhost\" (10.0.0.7), port 5432 failed: timeout expired",
                              Failure::Kind::Disconnected);
            if (s.password.isEmpty()) {
                DbError refused("connection to server at \"dbhost\" (10.0.0.7), port 5432 failed: fe_sendauth: no "
                                "password supplied",
                                Failure::Kind::Disconnected);
                refused.setNeedsPassword();
                throw refused;
            }
            if (s.password != goodPassword)
                throw DbError("connection to server at \"dbhost\" (10.0.0.7), port 5432 failed: FATAL:  password "
                              "authentication failed for user \"k\"",
                              Failure::Kind::Disconnected);
        };
    }
    static DataSource server(const QString &uri = "postgresql://k@dbhost/library?sslmode=require")
    {
        DataSource s;
        s.kind = DataSource::Server;
        s.uri = uri;
        return s;
    }
};

}   // namespace

TEST(SourceStartup, TheFileOpensWithoutAQuestion)
{
    StartupFixture f;
    const auto opened = OpenSource(DataSource{}, f.services);
    ASSERT_TRUE(opened);
    EXPECT_FALSE(opened->isServer());
    EXPECT_EQ(f.opened, QStringList{"file"});
    EXPECT_TRUE(f.messages.shown.isEmpty());
}

TEST(SourceStartup, ThePasswordComesFromTheSecretServiceOrIsAsked)
{
    const QString uri = "postgresql://k@dbhost/library?sslmode=require";
    {
        SCOPED_TRACE("kept by the secret service");
        StartupFixture f;
        f.secrets.kept[ServerSecretKey(ServerAddressFromUri(uri))] = "right";
        const auto opened = OpenSource(StartupFixture::server(uri), f.services);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->password, "right");
        EXPECT_TRUE(f.asked.isEmpty());
        // Asked of the secret service only once the server wanted a password.
        EXPECT_EQ(f.opened.size(), 2);
    }
    {
        SCOPED_TRACE("asked when the server wants one");
        StartupFixture f;
        f.typed.enqueue(QString("right"));
        const auto opened = OpenSource(StartupFixture::server(uri), f.services);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->password, "right");
        ASSERT_EQ(f.asked.size(), 1);
        EXPECT_EQ(f.asked[0].host, "dbhost");
        EXPECT_EQ(f.asked[0].user, "k");
        EXPECT_TRUE(f.messages.shown.isEmpty());
        // What was typed is not kept anywhere.
        EXPECT_TRUE(f.secrets.kept.empty());
    }
    {
        SCOPED_TRACE("the prompt cancelled ends the program");
        StartupFixture f;
        f.typed.enqueue(std::nullopt);
        EXPECT_FALSE(OpenSource(StartupFixture::server(uri), f.services));
        EXPECT_TRUE(f.messages.shown.isEmpty());
    }
    {
        SCOPED_TRACE("a password in the URI is used as it is");
        StartupFixture f;
        f.secrets.kept[ServerSecretKey(ServerAddressFromUri(uri))] = "kept";
        QStringList passwords;
        f.services.open = [&](const DataSource &s) { passwords << s.password; };
        EXPECT_TRUE(OpenSource(StartupFixture::server("postgresql://k:pw@dbhost/library"), f.services));
        EXPECT_TRUE(f.asked.isEmpty());
        EXPECT_EQ(passwords, QStringList{""});
    }
}

TEST(SourceStartup, AnUnreachableServerIsNamedAndTheUserChooses)
{
    {
        SCOPED_TRACE("No ends the program");
        StartupFixture f;
        f.reachable = false;
        f.messages.answers.enqueue(false);
        EXPECT_FALSE(OpenSource(StartupFixture::server(), f.services));
        ASSERT_EQ(f.messages.shown.size(), 1);
        const auto &box = f.messages.shown[0];
        EXPECT_EQ(box.icon, MessageService::Icon::Question);
        EXPECT_EQ(box.title, "Kestrune");
        EXPECT_TRUE(box.text.contains("服务器“dbhost”上的数据库“library”")) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains("连接超时")) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains("timeout expired"));
        EXPECT_TRUE(box.text.contains("是否修改数据库连接"));
        EXPECT_TRUE(f.dialogsOpenedOn.isEmpty());
    }
    {
        SCOPED_TRACE("Yes opens the dialog on the failing address; its new choice is opened");
        StartupFixture f;
        f.reachable = false;
        f.messages.answers.enqueue(true);
        f.choices.enqueue(ConnectionChoice{SavedConnection{false, {}}, {}});
        const auto opened = OpenSource(StartupFixture::server(), f.services);
        ASSERT_TRUE(opened);
        EXPECT_FALSE(opened->isServer());
        ASSERT_EQ(f.dialogsOpenedOn.size(), 1);
        EXPECT_TRUE(f.dialogsOpenedOn[0].connection.useServer);
        EXPECT_EQ(f.dialogsOpenedOn[0].connection.server.host, "dbhost");
        EXPECT_EQ(f.dialogsOpenedOn[0].connection.server.database, "library");
        EXPECT_EQ(f.opened.last(), "file");
    }
    {
        SCOPED_TRACE("a wrong password: the dialog's new password is tried");
        StartupFixture f;
        f.secrets.kept[ServerSecretKey(ServerAddressFromUri(StartupFixture::server().uri))] = "stale";
        f.messages.answers.enqueue(true);
        ConnectionChoice fixed{SavedConnection{true, ServerAddressFromUri(StartupFixture::server().uri)}, "right"};
        f.choices.enqueue(fixed);
        const auto opened = OpenSource(StartupFixture::server(), f.services);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->password, "right");
        EXPECT_TRUE(f.messages.shown[0].text.contains("用户名或密码不正确"));
        EXPECT_EQ(f.dialogsOpenedOn[0].password, "stale");
    }
    {
        SCOPED_TRACE("the dialog cancelled: the same server once more, then the end");
        StartupFixture f;
        f.reachable = false;
        f.messages.answers.enqueue(true);
        f.messages.answers.enqueue(false);
        EXPECT_FALSE(OpenSource(StartupFixture::server(), f.services));
        EXPECT_EQ(f.opened.size(), 2);
        EXPECT_EQ(f.messages.shown.size(), 2);
    }
}

TEST(SourceStartup, ABrokenDataFileIsNoConnectionQuestion)
{
    StartupFixture f;
    f.services.open = [](const DataSource &) { throw DbError("file is not a database"); };
    EXPECT_THROW(OpenSource(DataSource{}, f.services), DbError);
    EXPECT_TRUE(f.messages.shown.isEmpty());
}
