// kestrune-server-copy --to-server ProSys.mdb postgresql://user@host/db
// kestrune-server-copy --to-file postgresql://user@host/db ProSys.mdb
// --key-file KEYFILE: the data file's own password (first line of KEYFILE).
#include "data/DataSource.h"
#include "data/DbError.h"
#include "data/KeyFile.h"
#include "data/LibraryCopy.h"
#include "data/ServerAddress.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

namespace {

void print(std::FILE *to, const QString &text)
{
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
}

QString usageText()
{
    return QStringLiteral("用法：\n"
                          "  kestrune-server-copy --to-server 数据库文件.mdb postgresql://用户@主机/数据库\n"
                          "      把数据库文件中的专家库复制到数据库服务器上一个空的数据库\n"
                          "  kestrune-server-copy --to-file postgresql://用户@主机/数据库 新数据库文件.mdb\n"
                          "      把数据库服务器上的专家库写入一个新的数据库文件（不覆盖已有文件）\n"
                          "密码写在连接地址中，或由环境变量 PGPASSWORD、~/.pgpass 提供。\n"
                          "数据库文件设置了数据库密码时，用 --key-file 密码文件 给出（文件的第一行），"
                          "否则在终端上询问；写出的新数据库文件也使用这个密码。");
}

int usage()
{
    print(stderr, usageText());
    return 2;
}

// The failure in the user's words; the engine's own after them.
void printFailure(const DbError &e)
{
    print(stderr, e.sentence());
    if (!e.detail().isEmpty())
        print(stderr, QStringLiteral("详细信息：%1").arg(e.detail()));
}

DataSource server(const QString &uri)
{
    DataSource s;
    s.kind = DataSource::Server;
    s.uri = uri;
    return s;
}

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        print(stdout, usageText());
        return 0;
    }
    const std::optional<QString> keyFile = TakeKeyFileOption(args);
    if (!keyFile || args.size() != 3)
        return usage();
    // Only a PostgreSQL address is a server this tool copies to or from;
    // refused before any file or connection is touched.
    const QString uri = args[0] == QLatin1String("--to-server") ? args[2] : args[1];
    if (const QString problem = ServerUriProblem(uri); !problem.isEmpty()) {
        print(stderr, problem);
        return 2;
    }
    try {
        if (args[0] == QLatin1String("--to-server")) {
            const Result<QString> key = KeyForDataFile(args[1], *keyFile);
            if (!key) {
                print(stderr, key.message());
                return 1;
            }
            CopyFileToServer(args[1], server(args[2]), *key);
            print(stdout, QStringLiteral("已把“%1”复制到数据库服务器。").arg(QDir::toNativeSeparators(args[1])));
        } else if (args[0] == QLatin1String("--to-file")) {
            const Result<QString> key = KeyForNewFile(*keyFile);
            if (!key) {
                print(stderr, key.message());
                return 1;
            }
            CopyServerToFile(server(args[1]), args[2], key.value());
            print(stdout,
                  QStringLiteral("已把数据库服务器上的专家库写入“%1”。").arg(QDir::toNativeSeparators(args[2])));
        } else {
            return usage();
        }
    } catch (const DbError &e) {
        printFailure(e);
        return 1;
    }
    return 0;
}
