#include "app/CommandLine.h"

#include "data/ServerAddress.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// Options every Qt program takes on its command line; QApplication removes
// them from the arguments itself.
void addQtOptions(QCommandLineParser &parser)
{
    const char *const withValue[] = {"platform",
                                     "platformpluginpath",
                                     "platformtheme",
                                     "plugin",
                                     "qwindowgeometry",
                                     "qwindowicon",
                                     "qwindowtitle",
                                     "session",
                                     "display",
                                     "geometry",
                                     "name",
                                     "title",
                                     "visual",
                                     "style",
                                     "stylesheet",
                                     "qmljsdebugger"};
    const char *const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    for (const char *name : withValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : flags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

}   // namespace

CommandLine ParseCommandLine(const QStringList &arguments, const QString &version)
{
    QCommandLineParser parser;
    // "-platform xcb" is one option, as every Qt program reads it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("Kestrune 专家库管理与专家抽取"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示本帮助后退出。"));
    const QCommandLineOption showVersion(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                         QStringLiteral("显示版本后退出。"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("存放数据库文件及其备份的文件夹（不存在时创建）。"),
                                     QStringLiteral("DIR"));
    parser.addOption(help);
    parser.addOption(showVersion);
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("使用服务器上的专家库（PostgreSQL 连接地址，如 postgresql://用户@主机/数据库）。"),
        QStringLiteral("URI"));
    const QCommandLineOption listBackups(QStringLiteral("list-backups"),
                                         QStringLiteral("列出数据文件夹中的还原点（每行一个）后退出。"));
    parser.addOption(dataDir);
    parser.addOption(server);
    parser.addOption(listBackups);
    addQtOptions(parser);

    const QString program = arguments.isEmpty() ? QStringLiteral("kestrune") : QFileInfo(arguments.first()).fileName();
    // Qt names the program after the application object's arguments, or a
    // placeholder when there is none yet: the usage names it by its file.
    QString usage = parser.helpText();
    usage.replace(0, usage.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: %1 [options]").arg(program));

    CommandLine result;
    const bool parsed = parser.parse(arguments);
    if (parsed && parser.isSet(help)) {
        result.run = false;
        result.output = usage;
        return result;
    }
    if (parsed && parser.isSet(showVersion)) {
        result.run = false;
        result.output = QStringLiteral("%1 %2\n").arg(program, version);
        return result;
    }
    QString problem = parsed ? QString() : parser.errorText();
    if (problem.isEmpty() && !parser.positionalArguments().isEmpty())
        problem = QStringLiteral("多余的参数：%1").arg(parser.positionalArguments().join(QLatin1Char(' ')));
    if (problem.isEmpty() && parser.isSet(dataDir) && parser.value(dataDir).trimmed().isEmpty())
        problem = QStringLiteral("--data-dir 需要一个文件夹。");
    // Checked here, without any network, so that a mistyped address ends
    // before a window opens.
    if (problem.isEmpty() && parser.isSet(server)) {
        const QString uriProblem = ServerUriProblem(parser.value(server));
        if (!uriProblem.isEmpty())
            problem = QStringLiteral("--server：") + uriProblem;
    }
    if (!problem.isEmpty()) {
        result.run = false;
        result.exitCode = 2;
        result.errorOutput = program + QStringLiteral(": ") + problem + QStringLiteral("\n\n") + usage;
        return result;
    }
    result.dataDir = parser.value(dataDir);
    result.serverUri = parser.value(server).trimmed();
    result.listBackups = parser.isSet(listBackups);
    return result;
}
