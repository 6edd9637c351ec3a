// kestrune-verify [--key-file KEYFILE] FILE
//
// Checks every stored project of a data file: each random and substitute
// round is drawn again from its seed over its stored candidate list, and the
// candidate hashes, the confirmed experts, the snapshots and their links to
// sel_expert must agree. The expert table is never consulted, so later
// edits and deletions of experts do not count. Prints one line per project
// and a summary; exits 0 when everything agrees, 1 when something does not,
// 2 when the file cannot be read.
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawVerify.h"
#include "data/KeyFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

void print(FILE *out, const QString &line) { std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), out); }

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const std::optional<QString> keyFile = TakeKeyFileOption(args);
    if (!keyFile || args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: kestrune-verify [--key-file KEYFILE] FILE\n");
        return 2;
    }
    const QString path = args[1];
    if (!QFileInfo(path).isFile()) {
        print(stderr, QStringLiteral("找不到文件：%1").arg(path));
        return 2;
    }
    // The library's own password: from the key file, or asked when the
    // default key does not open the file.
    const Result<QString> key = KeyForDataFile(path, *keyFile);
    if (!key) {
        print(stderr, key.message());
        return 2;
    }
    try {
        Connection conn = Connection::open(path, *key);
        const FileVerification result = VerifyDataFile(conn);
        conn.close();
        for (const ProjectVerification &p : result.projects)
            print(stdout, p.line());
        print(stdout, result.summary());
        return result.ok() ? 0 : 1;
    } catch (const DbError &e) {
        print(stderr, e.message());
        return 2;
    }
}
