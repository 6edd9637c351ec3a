// The server address, the saved connection, the connection dialog, the
// login window's link to it and the status bar's source text.
#include "FakeServices.h"
#include "TestApp.h"
#include "shell/ConnectionSettings.h"
#include "data/LibraryBackend.h"
#include "data/ServerAddress.h"
#include "shell/frmConnection.h"
#include "shell/frmLeft.h"
#include "shell/frmLogin.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Keeps secrets in memory; `available` false plays a desktop without a
// secret service.
class MemorySecrets : public SecretStore {
public:
    bool available = true;
    std::map<QString, QString> kept;

    Result read(const QString &key) override
    {
        if (!available)
            return {Status::Unavailable, {}, QStringLiteral("no secret service")};
        const auto it = kept.find(key);
        return it == kept.end() ? Result{Status::NotFound, {}, {}} : Result{Status::Done, it->second, {}};
    }
    Result write(const QString &key, const QString &secret) override
    {
        if (!available)
            return {Status::Unavailable, {}, QStringLiteral("no secret service")};
        kept[key] = secret;
        return {Status::Done, {}, {}};
    }
    Result remove(const QString &key) override
    {
        if (!available)
            return {Status::Unavailable, {}, QStringLiteral("no secret service")};
        kept.erase(key);
        return {Status::Done, {}, {}};
    }
};

struct DialogFixture {
    QTemporaryDir dir;
    QString settingsPath = dir.filePath("kestrune.conf");
    QSettings settings{settingsPath, QSettings::IniFormat};
    std::shared_ptr<FakeMessages> messages = std::make_shared<FakeMessages>();
    std::shared_ptr<MemorySecrets> secrets = std::make_shared<MemorySecrets>();
    QStringList probedUris;
    QStringList probedPasswords;
    Outcome probeAnswer;
    std::unique_ptr<frmConnection> dialog;

    void open(const SavedConnection &current = {}, const QString &password = {}, bool keepChoice = true)
    {
        ConnectionDialogServices services{messages, secrets, &settings,
                                          [this](const QString &uri, const QString &password) {
                                              probedUris << uri;
                                              probedPasswords << password;
                                              return probeAnswer;
                                          },
                                          keepChoice};
        dialog = std::make_unique<frmConnection>(current, password, dir.filePath("ProSys.mdb"), services);
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    template <typename T> T *find(const char *name) { return dialog->findChild<T *>(QString::fromLatin1(name)); }
    void fill(const QString &host, const QString &port, const QString &db, const QString &user, const QString &pw,
              int sslIndex = 0)
    {
        find<QRadioButton>("optServer")->click();
        find<QLineEdit>("txtHost")->setText(host);
        find<QLineEdit>("txtPort")->setText(port);
        find<QLineEdit>("txtDatabase")->setText(db);
        find<QLineEdit>("txtUser")->setText(user);
        find<QLineEdit>("txtPassword")->setText(pw);
        find<QComboBox>("comSslMode")->setCurrentIndex(sslIndex);
    }
    void click(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    QByteArray settingsFile()
    {
        QFile f(settingsPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

}   // namespace

TEST(ServerUri, CheckedWithoutANetwork)
{
    struct Case {
        const char *uri;
        const char *problemHas;   // "" when the URI is sound
    } cases[] = {
        {"postgresql://kestrune@dbhost/kestrune?sslmode=require", ""},
        {"postgres://dbhost/kestrune", ""},
        {"postgresql://u:secret@[::1]:6543/lib", ""},
        {"postgresql://%2Fvar%2Frun%2Fpostgresql/kestrune", ""},
        {"postgresql:///kestrune", ""},
        {"postgresql://a:5433,b:5434/db?sslmode=verify-full&connect_timeout=3", ""},
        {"postgresql://a,b:5434/db", ""},
        {"  postgresql://h/db  ", ""},
        {"", "没有给出"},
        {"dbhost/kestrune", "postgresql://"},
        {"http://dbhost/kestrune", "postgresql://"},
        {"POSTGRESQL://dbhost/kestrune", "postgresql://"},
        {"host=dbhost dbname=kestrune", "postgresql://"},
        {"postgresql://h:99999/db", "99999"},
        {"postgresql://h:0/db", "“0”"},
        {"postgresql://h:port/db", "port"},
        {"postgresql://a:5433,b:x/db", "“x”"},
        {"postgresql://h/db?sslmode=always", "always"},
        {"postgresql://h/db?nonsense=1", "nonsense"},
        {"postgresql://[::1/db", "无法识别"},
        {"postgresql://h", "数据库名"},
        {"postgresql://h/", "数据库名"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.uri);
        const QString problem = ServerUriProblem(QString::fromUtf8(c.uri));
        if (!*c.problemHas)
            EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(QString::fromUtf8(c.problemHas))) << problem.toStdString();
    }
}

TEST(ServerUri, FieldsAndUriGoBothWays)
{
    const ServerAddress cases[] = {
        {"dbhost", "", "kestrune", "kestrune", "require"},
        {"10.0.0.7", "6543", "库", "张三", "verify-full"},
        {"::1", "5432", "lib", "u", "prefer"},
        {"", "", "kestrune", "k", "require"},
        {"/var/run/postgresql", "", "kestrune", "k", "require"},
        {"db.example.org", "", "my db/x?y", "a@b:c", "require"},
    };
    for (const ServerAddress &a : cases) {
        SCOPED_TRACE(a.host.toStdString() + " " + a.database.toStdString());
        const QString uri = ServerUri(a);
        EXPECT_TRUE(ServerUriProblem(uri).isEmpty()) << uri.toStdString();
        EXPECT_EQ(ServerAddressFromUri(uri), a) << uri.toStdString();
        EXPECT_FALSE(ServerUriHasPassword(uri));
    }
    EXPECT_EQ(ServerUri({"dbhost", "5433", "kestrune", "kestrune", "require"}),
              "postgresql://kestrune@dbhost:5433/kestrune?sslmode=require");
    EXPECT_EQ(ServerUri({"::1", "", "lib", "u", "prefer"}), "postgresql://u@[::1]/lib?sslmode=prefer");
    EXPECT_TRUE(ServerUriHasPassword("postgresql://u:pw@h/db"));
    // A password in a URI is never taken into the address.
    EXPECT_EQ(ServerAddressFromUri("postgresql://u:pw@h/db").user, "u");
}

TEST(ServerUri, StatusAndMessagesNameHostAndDatabase)
{
    DataSource file;
    EXPECT_EQ(LibraryBackend::ForSource(file, "/home/u/.local/share/kestrune")->displayName(),
              "/home/u/.local/share/kestrune/ProSys.mdb");
    DataSource server;
    server.kind = DataSource::Server;
    server.uri = "postgresql://kestrune:pw@dbhost:5433/library?sslmode=require";
    EXPECT_EQ(LibraryBackend::ForSource(server, "/ignored")->displayName(), "服务器 dbhost/library");
    server.uri = "postgresql:///library";
    EXPECT_EQ(LibraryBackend::ForSource(server, "/ignored")->displayName(), "服务器 本机/library");
}

TEST(ServerUri, FailuresInChineseWords)
{
    struct Case {
        const char *detail;
        const char *words;
    } cases[] = {
        {"connection to server at \"dbhost\" (10.0.0.7), port 5432 failed: FATAL:  password authentication failed "
         "for user \"k\"",
         "用户名或密码不正确"},
        {"connection to server at \"h\" (10.0.0.7), port 5432 failed: fe_sendauth: no password supplied",
         "要求输入密码"},
        {"connection to server at \"h\" (10.0.0.7), port 5432 failed: FATAL:  database \"lib\" does not exist",
         "没有这个数据库"},
        {"connection to server at \"h\" (10.0.0.7), port 5432 failed: FATAL:  role \"x\" does not exist",
         "没有这个用户"},
        {"could not translate host name \"nohost\" to address: Name or service not known", "找不到这个服务器"},
        {"connection to server at \"127.0.0.1\", port 1 failed: Connection refused\n\tIs the server running on that "
         "host and accepting TCP/IP connections?",
         "拒绝连接"},
        {"connection to server at \"10.1.1.1\", port 5432 failed: timeout expired", "连接超时"},
        {"connection to server at \"h\" (10.0.0.7), port 5432 failed: server does not support SSL, but SSL was "
         "required",
         "不支持加密"},
        {"root certificate file \"/root/.postgresql/root.crt\" does not exist\nEither provide the file or change "
         "sslmode to disable server certificate verification.",
         "证书"},
        {"FATAL:  no pg_hba.conf entry for host \"10.0.0.8\", user \"k\", database \"lib\", SSL off", "不允许"},
        {"connection to server on socket \"/run/postgresql/.s.PGSQL.5432\" failed: No such file or directory",
         "本机没有运行"},
        {"无法解释主机名 \"nohost\" 到地址: 未知的名称或服务", "找不到这个服务器"},
        {"something nobody foresaw", "无法连接到数据库服务器"},
        // The data layer's own words before libpq's must not mislead.
        {"无法连接数据库服务器：\nconnection to server at \"h\" (10.0.0.7), port 5432 failed: FATAL:  role \"x\" does "
         "not exist",
         "没有这个用户"},
        {"无法连接数据库服务器：\n致命错误:  数据库 \"lib\" 不存在", "没有这个数据库"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.detail);
        EXPECT_TRUE(ConnectionFailureWords(QString::fromUtf8(c.detail)).contains(QString::fromUtf8(c.words)))
            << ConnectionFailureWords(QString::fromUtf8(c.detail)).toStdString();
    }
}

// A real libpq attempt, no server needed: a port on the loopback address
// that nothing listens on refuses at once.
TEST(ServerProbe, ARefusedConnectionIsToldInWordsWithTheEnginesDetail)
{
    // A port the system just handed out and took back: nothing listens.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(probe, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr *>(&addr), &length), 0);
    ::close(probe);
    const int port = ntohs(addr.sin_port);
    const Outcome outcome =
        ProbeServer(QStringLiteral("postgresql://u@127.0.0.1:%1/db?sslmode=prefer").arg(port), QStringLiteral("pw"), 2);
    EXPECT_FALSE(outcome.ok());
    EXPECT_TRUE(outcome.message().contains("拒绝连接"))
        << outcome.message().toStdString() << outcome.detail().toStdString();
    EXPECT_TRUE(outcome.detail().contains(QString::number(port))) << outcome.detail().toStdString();
    EXPECT_FALSE(outcome.detail().contains("pw"));
}

TEST(ConnectionSettings, RoundTripWithoutThePassword)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kestrune.conf");
    {
        QSettings empty(path, QSettings::IniFormat);
        EXPECT_EQ(LoadSavedConnection(empty), SavedConnection{});
    }
    const SavedConnection saved{true, {"dbhost", "5433", "库", "张三", "verify-full"}};
    {
        QSettings s(path, QSettings::IniFormat);
        EXPECT_TRUE(StoreSavedConnection(s, saved).isEmpty());
    }
    QSettings again(path, QSettings::IniFormat);
    EXPECT_EQ(LoadSavedConnection(again), saved);
    // Back to the file: the server's fields stay for the next time.
    const SavedConnection file{false, saved.server};
    EXPECT_TRUE(StoreSavedConnection(again, file).isEmpty());
    EXPECT_EQ(LoadSavedConnection(again), file);
    // A hand-edited entry without a database is no server to connect to.
    again.setValue("connection/source", "server");
    again.setValue("connection/database", "");
    EXPECT_FALSE(LoadSavedConnection(again).useServer);
}

TEST(ConnectionDialog, SavesTheServerAndKeepsThePasswordOnlyInTheSecretService)
{
    for (bool secretService : {true, false}) {
        SCOPED_TRACE(secretService ? "secret service" : "no secret service");
        DialogFixture f;
        f.secrets->available = secretService;
        f.open();
        f.fill("dbhost", "5433", "kestrune", "kestrune", "S3cr3t-Pa55", 1);
        f.click("cmdOK");
        EXPECT_EQ(f.dialog->result(), QDialog::Accepted);
        const SavedConnection expected{true, {"dbhost", "5433", "kestrune", "kestrune", "verify-full"}};
        EXPECT_EQ(f.dialog->connection(), expected);
        EXPECT_EQ(f.dialog->password(), "S3cr3t-Pa55");
        QSettings reread(f.settingsPath, QSettings::IniFormat);
        EXPECT_EQ(LoadSavedConnection(reread), expected);
        const QByteArray file = f.settingsFile();
        EXPECT_TRUE(file.contains("dbhost"));
        EXPECT_FALSE(file.contains("S3cr3t")) << file.toStdString();
        EXPECT_FALSE(file.toLower().contains("password")) << file.toStdString();
        if (secretService) {
            EXPECT_EQ(f.secrets->kept[ServerSecretKey(expected.server)], "S3cr3t-Pa55");
            EXPECT_TRUE(f.messages->shown.isEmpty());
        } else {
            ASSERT_EQ(f.messages->shown.size(), 1);
            EXPECT_TRUE(f.messages->lastText().contains("每次启动时将询问密码"));
        }
    }
}

// A mode libpq knows but the dialog does not offer stays what it is;
// only an unknown one becomes the encrypted default.
TEST(ConnectionDialog, KeepsTheTlsModeInUse)
{
    const struct {
        const char *given;
        const char *kept;
    } cases[] = {{"disable", "disable"},         {"allow", "allow"},  {"verify-ca", "verify-ca"}, {"prefer", "prefer"},
                 {"verify-full", "verify-full"}, {"bogus", "require"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.given);
        DialogFixture f;
        f.open(SavedConnection{true, {"dbhost", "", "kestrune", "kestrune", c.given}});
        EXPECT_EQ(f.dialog->connection().server.sslMode, c.kept);
        f.click("cmdOK");
        QSettings reread(f.settingsPath, QSettings::IniFormat);
        EXPECT_EQ(LoadSavedConnection(reread).server.sslMode, c.kept);
    }
}

// A server given for one run (on the command line) and corrected in the
// dialog is used, but neither it nor its password is kept for later starts.
TEST(ConnectionDialog, AConnectionForThisRunOnlyIsNotSaved)
{
    DialogFixture f;
    f.open(SavedConnection{true, {"once", "", "kestrune", "kestrune", "disable"}}, {}, false);
    f.fill("elsewhere", "5433", "kestrune", "kestrune", "pw", 0);
    f.click("cmdOK");
    EXPECT_EQ(f.dialog->result(), QDialog::Accepted);
    EXPECT_EQ(f.dialog->connection().server.host, "elsewhere");
    EXPECT_EQ(f.dialog->password(), "pw");
    EXPECT_TRUE(f.settingsFile().isEmpty()) << f.settingsFile().toStdString();
    EXPECT_TRUE(f.secrets->kept.empty());
}

TEST(ConnectionDialog, AnEmptiedPasswordIsForgotten)
{
    DialogFixture f;
    const SavedConnection saved{true, {"dbhost", "", "kestrune", "k", "require"}};
    f.secrets->kept[ServerSecretKey(saved.server)] = "old";
    f.open(saved, "old");
    EXPECT_EQ(f.find<QLineEdit>("txtPassword")->text(), "old");
    f.find<QLineEdit>("txtPassword")->clear();
    // Enter in a field confirms.
    QTest::keyClick(f.find<QLineEdit>("txtPassword"), Qt::Key_Return);
    EXPECT_EQ(f.dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(f.secrets->kept.empty());
}

TEST(ConnectionDialog, TheFileNeedsNoServerFields)
{
    DialogFixture f;
    f.open({false, {"dbhost", "", "kestrune", "k", "prefer"}});
    EXPECT_EQ(f.dialog->windowTitle(), "数据库连接");
    // Screen readers name every field by its caption.
    const std::pair<const char *, const char *> names[] = {{"txtHost", "服务器"},     {"txtPort", "端口"},
                                                           {"txtDatabase", "数据库"}, {"txtUser", "用户名"},
                                                           {"txtPassword", "密码"},   {"comSslMode", "加密方式"}};
    for (const auto &[control, name] : names)
        EXPECT_EQ(f.find<QWidget>(control)->accessibleName(), QString::fromUtf8(name)) << control;
    EXPECT_EQ(f.find<QLineEdit>("txtPassword")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(f.find<QRadioButton>("optFile")->isChecked());
    EXPECT_FALSE(f.find<QLineEdit>("txtHost")->isEnabled());
    EXPECT_FALSE(f.find<QPushButton>("cmdTest")->isEnabled());
    EXPECT_EQ(f.find<QComboBox>("comSslMode")->currentData().toString(), "prefer");
    f.find<QRadioButton>("optServer")->click();
    EXPECT_TRUE(f.find<QLineEdit>("txtHost")->isEnabled());
    f.find<QRadioButton>("optFile")->click();
    f.click("cmdOK");
    EXPECT_EQ(f.dialog->result(), QDialog::Accepted);
    QSettings reread(f.settingsPath, QSettings::IniFormat);
    EXPECT_FALSE(LoadSavedConnection(reread).useServer);
    EXPECT_TRUE(f.secrets->kept.empty());
}

TEST(ConnectionDialog, WrongFieldsAreNamedAndNothingIsSaved)
{
    struct Case {
        const char *host, *port, *db, *user, *message, *focus;
    } cases[] = {
        {"dbhost", "", "", "k", "请输入数据库名！", "txtDatabase"},
        {"dbhost", "", "kestrune", "", "请输入用户名！", "txtUser"},
        {"a,b", "", "kestrune", "k", "只输入一个服务器地址", "txtHost"},
        {"dbhost", "0", "", "k", "端口", "txtPort"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        DialogFixture f;
        f.open();
        f.fill(c.host, c.port, c.db, c.user, "pw");
        f.click("cmdOK");
        EXPECT_NE(f.dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(f.dialog->isVisible());
        EXPECT_TRUE(f.messages->lastText().contains(QString::fromUtf8(c.message)))
            << f.messages->lastText().toStdString();
        EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), c.focus);
        EXPECT_FALSE(QFile::exists(f.settingsPath));
        EXPECT_TRUE(f.secrets->kept.empty());
        f.click("cmdTest");
        EXPECT_TRUE(f.probedUris.isEmpty());
    }
}

TEST(ConnectionDialog, TestConnectionTriesTheFieldsAndTellsTheOutcome)
{
    DialogFixture f;
    f.open();
    f.fill("dbhost", "5433", "kestrune", "kestrune", "pw", 0);
    f.probeAnswer =
        Outcome::fail("用户名或密码不正确。", "FATAL:  password authentication failed for user \"kestrune\"");
    f.click("cmdTest");
    ASSERT_EQ(f.probedUris.size(), 1);
    EXPECT_EQ(f.probedUris[0], "postgresql://kestrune@dbhost:5433/kestrune?sslmode=require");
    EXPECT_EQ(f.probedPasswords[0], "pw");
    ASSERT_EQ(f.messages->shown.size(), 1);
    EXPECT_EQ(f.messages->shown[0].icon, MessageService::Icon::Critical);
    EXPECT_EQ(f.messages->shown[0].text, "连接失败：用户名或密码不正确。");
    EXPECT_TRUE(f.messages->shown[0].detail.contains("password authentication failed"));
    f.probeAnswer = Outcome::success("连接成功。\nPostgreSQL 15.18，加密连接");
    f.click("cmdTest");
    EXPECT_EQ(f.messages->shown.last().icon, MessageService::Icon::Information);
    EXPECT_TRUE(f.messages->lastText().startsWith("连接成功。"));
    // Testing saves nothing.
    EXPECT_FALSE(QFile::exists(f.settingsPath));
    EXPECT_TRUE(f.secrets->kept.empty());
}

TEST(LoginLink, StandsClearOfTheFixedControlsAndOpensTheDialog)
{
    TestApp app;
    frmLogin login(app.state);
    QSignalSpy requested(&login, &frmLogin::connectionRequested);
    login.show();
    auto *link = login.findChild<QLabel *>("labConnection");
    ASSERT_TRUE(link);
    EXPECT_EQ(login.size(), QSize(421, 267));
    EXPECT_TRUE(login.rect().contains(link->geometry()));
    EXPECT_GE(link->geometry().top(), login.findChild<QWidget *>("Frame1")->geometry().bottom());
    // The fixed controls stay where the layout puts them, and the link
    // overlaps none of them.
    const std::pair<const char *, QRect> fixed[] = {
        {"Picture1", TwRect(0, 0, 6315, 1155)},    {"Picture2", TwRect(300, 1560, 540, 570)},
        {"Label1", TwRect(1350, 1800, 3240, 375)}, {"Label2", TwRect(1020, 2280, 915, 315)},
        {"Text1", TwRect(1980, 2220, 2655, 330)},  {"Label3", TwRect(1020, 2700, 915, 255)},
        {"Text2", TwRect(1980, 2640, 2655, 330)},  {"Frame1", TwRect(60, 3300, 6195, 75)},
        {"cmdOK", TwRect(4080, 3540, 1035, 315)},  {"cmdCancel", TwRect(5100, 3540, 1035, 315)},
    };
    for (const auto &[name, rect] : fixed) {
        SCOPED_TRACE(name);
        auto *w = login.findChild<QWidget *>(name);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->geometry(), rect);
        if (std::string(name) != "Picture1")   // the banner is above everything
            EXPECT_FALSE(link->geometry().intersects(rect));
    }
    // Its caption fits.
    EXPECT_LE(link->fontMetrics().horizontalAdvance(link->text()), link->contentsRect().width());
    EXPECT_EQ(link->text(), "数据库连接…");
    EXPECT_EQ(link->accessibleName(), "数据库连接");

    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(requested.count(), 1);
    login.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&login));
    // From the keyboard: Tab from the cancel button reaches it, Enter opens.
    login.findChild<QWidget *>("cmdCancel")->setFocus();
    ASSERT_TRUE(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), link);
    QTest::keyClick(link, Qt::Key_Return);
    EXPECT_EQ(requested.count(), 2);
}

TEST(SourceStatus, TheNavigationPanelNamesTheSourceInUse)
{
    TestApp app;
    app.state.store.source.kind = DataSource::Server;
    app.state.store.source.uri = "postgresql://kestrune@dbhost/library?sslmode=require";
    TestHost host(app.state);
    frmLeft left(app.state, host);
    left.resize(400, 600);
    left.show();
    left.layoutDecorations();
    QLabel *panel = left.pathPanel();
    EXPECT_EQ(panel->objectName(), "StatusBar1Panel2");
    EXPECT_EQ(panel->text(), "服务器 dbhost/library");
    EXPECT_EQ(panel->toolTip(), "服务器 dbhost/library");
    EXPECT_EQ(panel->accessibleName(), "服务器 dbhost/library");
}
