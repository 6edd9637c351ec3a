// kestrune-server-copy --to-server ProSys.mdb postgresql://user@host/db
// kestrune-server-copy --to-file postgresql://user@host/db ProSys.mdb
#include "data/DataSource.h"
#include "data/DbError.h"
#include "data/LibraryCopy.h"

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

int usage()
{
    print(stderr, QStringLiteral("用法：\n"
                                 "  kestrune-server-copy --to-server 数据库文件.mdb postgresql://用户@主机/数据库\n"
                                 "      把数据库文件中的专家库复制到数据库服务器上一个空的数据库\n"
                                 "  kestrune-server-copy --to-file postgresql://用户@主机/数据库 新数据库文件.mdb\n"
                                 "      把数据库服务器上的专家库写入一个新的数据库文件（不覆盖已有文件）\n"
                                 "密码写在连接地址中，或由环境变量 PGPASSWORD、~/.pgpass 提供。"));
    return 2;
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
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 3)
        return usage();
    try {
        if (args[0] == QLatin1String("--to-server")) {
            CopyFileToServer(args[1], server(args[2]));
            print(stdout, QStringLiteral("已把“%1”复制到数据库服务器。").arg(QDir::toNativeSeparators(args[1])));
        } else if (args[0] == QLatin1String("--to-file")) {
            CopyServerToFile(server(args[1]), args[2]);
            print(stdout,
                  QStringLiteral("已把数据库服务器上的专家库写入“%1”。").arg(QDir::toNativeSeparators(args[2])));
        } else {
            return usage();
        }
    } catch (const DbError &e) {
        print(stderr, e.message());
        return 1;
    }
    return 0;
}
