#include "data/ServerAddress.h"

#include "data/ServerBackend.h"

#include <QRegularExpression>
#include <QUrl>

#include <map>
#include <memory>

namespace {

bool HasServerScheme(const QString &uri)
{
    return uri.startsWith(QLatin1String("postgresql://")) || uri.startsWith(QLatin1String("postgres://"));
}

// libpq's own reading of a connection string.
std::map<QString, QString> ParseConninfo(const QString &uri, QString *problem)
{
    return ParseServerConninfo(uri, problem);
}

// A port as libpq takes it at connect time; checked here already so that a
// mistyped port is named before anything tries the network.
bool IsPort(const QString &text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port >= 1 && port <= 65535 && !text.startsWith(QLatin1Char('+'));
}

QString Value(const std::map<QString, QString> &values, const char *key)
{
    const auto it = values.find(QString::fromLatin1(key));
    return it == values.end() ? QString() : it->second;
}

QString Encoded(const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); }

}   // namespace

const QStringList &OfferedSslModes()
{
    static const QStringList modes{QStringLiteral("require"), QStringLiteral("verify-full"), QStringLiteral("prefer")};
    return modes;
}

const QStringList &KnownSslModes()
{
    static const QStringList modes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                   QStringLiteral("prefer"),    QStringLiteral("require"),
                                   QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes;
}

QString ServerUriProblem(const QString &uri)
{
    const QString text = uri.trimmed();
    if (text.isEmpty())
        return QStringLiteral("没有给出服务器的连接地址。");
    if (!HasServerScheme(text))
        return QStringLiteral("服务器的连接地址须以 postgresql:// 或 postgres:// 开头：%1").arg(text);
    QString parseProblem;
    const auto values = ParseConninfo(text, &parseProblem);
    if (!parseProblem.isEmpty())
        return QStringLiteral("无法识别服务器的连接地址“%1”：%2").arg(text, parseProblem);
    const QString ports = Value(values, "port");
    if (!ports.isEmpty())
        for (const QString &port : ports.split(QLatin1Char(',')))
            if (!port.isEmpty() && !IsPort(port))   // an empty one is the default
                return QStringLiteral("服务器的连接地址中的端口“%1”不是 1 到 65535 之间的数。").arg(port);
    const QString sslMode = Value(values, "sslmode");
    if (!sslMode.isEmpty() && !KnownSslModes().contains(sslMode))
        return QStringLiteral("服务器的连接地址中的 sslmode“%1”无效，可用：%2。")
            .arg(sslMode, KnownSslModes().join(QStringLiteral("、")));
    if (Value(values, "dbname").isEmpty())
        return QStringLiteral("服务器的连接地址中缺少数据库名（例如 postgresql://用户@主机/数据库）。");
    return QString();
}

ServerAddress ServerAddressFromUri(const QString &uri)
{
    const auto values = ParseConninfo(uri.trimmed(), nullptr);
    ServerAddress address;
    address.host = Value(values, "host");
    address.port = Value(values, "port");
    address.database = Value(values, "dbname");
    address.user = Value(values, "user");
    address.sslMode = Value(values, "sslmode");
    return address;
}

QString ServerUri(const ServerAddress &address)
{
    QString uri = QStringLiteral("postgresql://");
    if (!address.user.isEmpty())
        uri += Encoded(address.user) + QLatin1Char('@');
    const QString host = address.host.trimmed();
    // An IPv6 address keeps its colons inside brackets; anything else, a
    // socket folder included, is percent-encoded.
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('/')))
        uri += QLatin1Char('[') + host + QLatin1Char(']');
    else
        uri += Encoded(host);
    if (!address.port.trimmed().isEmpty())
        uri += QLatin1Char(':') + address.port.trimmed();
    uri += QLatin1Char('/') + Encoded(address.database);
    if (!address.sslMode.isEmpty())
        uri += QStringLiteral("?sslmode=") + address.sslMode;
    return uri;
}

QString ServerAddressProblem(const ServerAddress &address, QString *field)
{
    auto wrong = [field](const char *name, const QString &problem) {
        if (field)
            *field = QString::fromLatin1(name);
        return problem;
    };
    const QString host = address.host.trimmed();
    if (host.contains(QLatin1Char(',')) || host.contains(QLatin1Char(' ')))
        return wrong("host", QStringLiteral("请只输入一个服务器地址（主机名或 IP 地址）。"));
    if (!address.port.trimmed().isEmpty() && !IsPort(address.port.trimmed()))
        return wrong("port", QStringLiteral("端口须是 1 到 65535 之间的数。"));
    if (address.database.trimmed().isEmpty())
        return wrong("database", QStringLiteral("请输入数据库名！"));
    if (address.user.trimmed().isEmpty())
        return wrong("user", QStringLiteral("请输入用户名！"));
    if (!KnownSslModes().contains(address.sslMode))
        return wrong("sslMode", QStringLiteral("请选择加密方式！"));
    return QString();
}

QString ServerHostName(const ServerAddress &address)
{
    return address.host.isEmpty() || address.host.startsWith(QLatin1Char('/')) ? QStringLiteral("本机") : address.host;
}

QString ServerDisplayName(const ServerAddress &address)
{
    return ServerHostName(address) + QLatin1Char('/') + address.database;
}

bool ServerUriHasPassword(const QString &uri)
{
    return !Value(ParseConninfo(uri.trimmed(), nullptr), "password").isEmpty();
}

QString ServerSecretKey(const ServerAddress &address)
{
    const QString port = address.port.isEmpty() ? QStringLiteral("5432") : address.port;
    return QStringLiteral("%1@%2:%3/%4").arg(address.user, address.host, port, address.database);
}

QString ConnectionFailureWords(const QString &detail)
{
    // libpq's texts and the server's; the Chinese forms are libpq's own
    // translation, which it uses under a Chinese locale.
    struct Kind {
        QStringList marks;
        const char *words;
    };
    static const Kind kinds[] = {
        {{"password authentication failed", "口令认证失败", "密码认证失败"}, "用户名或密码不正确。"},
        {{"no password supplied", "没有提供口令"}, "服务器要求输入密码。"},
        {{"could not translate host name", "无法解释主机名"}, "找不到这个服务器（主机名无法解析）。"},
        {{"Connection refused", "拒绝连接"}, "服务器拒绝连接，它可能没有运行，或不接受网络连接。"},
        {{"timeout expired", "超时满", "timed out", "超时"}, "连接超时，服务器没有应答。"},
        {{"No route to host", "Network is unreachable", "没有到主机的路由", "网络不可达"},
         "网络不通，无法到达服务器。"},
        {{"no pg_hba.conf entry", "pg_hba.conf"}, "服务器不允许这个用户从本机连接这个数据库。"},
        {{"server does not support SSL", "服务器不支持 SSL"}, "服务器不支持加密连接，而连接要求加密。"},
        {{"does not match host name", "与主机名不匹配"}, "服务器证书与主机名不符。"},
        {{"certificate", "证书"}, "无法验证服务器的证书。"},
        {{"too many clients", "too many connections"}, "服务器的连接数已满，请稍后再试。"},
        {{"the database system is starting up", "the database system is shutting down",
          "the database system is in recovery mode"},
         "服务器正在启动或关闭，请稍后再试。"},
        {{"permission denied for database", "CONNECT privilege"}, "这个用户无权连接这个数据库。"},
        {{"on socket", "套接字"}, "本机没有运行中的数据库服务器。"},
    };
    // The server's "… does not exist", in English or in its Chinese form.
    static const QRegularExpression noDatabase(
        QStringLiteral(R"(database "[^"]*" does not exist|数据库 ?"[^"]*" ?不存在)"));
    static const QRegularExpression noRole(QStringLiteral(R"(role "[^"]*" does not exist|角色 ?"[^"]*" ?不存在)"));
    if (detail.contains(noDatabase))
        return QStringLiteral("服务器上没有这个数据库。");
    if (detail.contains(noRole))
        return QStringLiteral("服务器上没有这个用户。");
    for (const Kind &kind : kinds)
        for (const QString &mark : kind.marks)
            if (detail.contains(mark, Qt::CaseInsensitive))
                return QString::fromUtf8(kind.words);
    return QStringLiteral("无法连接到数据库服务器。");
}

Outcome ProbeServer(const QString &uri, const QString &password, int timeoutSeconds)
{
    const Result<QString> tried = TryServerConnection(uri, password, timeoutSeconds);
    if (!tried)
        return Outcome::fail(ConnectionFailureWords(tried.detail()), tried.detail());
    return Outcome::success(QStringLiteral("连接成功。\n") + tried.value());
}
