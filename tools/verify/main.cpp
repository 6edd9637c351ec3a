// kestrune-verify [--key-file KEYFILE] FILE
//
// Checks every stored project of a data file: each random and substitute
// round is drawn again from its seed over its stored candidate list, and the
// candidate hashes, the confirmed experts, the snapshots and their links to
// sel_expert must agree. The expert table is never consulted, so later
// edits and deletions of experts do not count. Prints one line per project
// and a summary; exits 0 when everything agrees, 1 when something does not,
// 2 when the file cannot be read.
//
// kestrune-verify --record QRTEXT FILE
//
// Checks a printed draw record against the file: QRTEXT is the text of the
// record's QR code (or a file holding it). Every printed round must still be
// in the file as printed, and a supervised round's printed numbers must
// still give its printed panel. One line per disagreement; exit codes as
// above.
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawVerify.h"
#include "data/KeyFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

void print(FILE *out, const QString &line) { std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), out); }

int checkRecord(const QString &record, const QString &path, const QString &key)
{
    QString text = record;
    // A long text is easier handed over in a file.
    if (!text.startsWith(QLatin1String("KESTRUNE-RECORD")) && QFileInfo(text).isFile()) {
        QFile file(text);
        if (!file.open(QIODevice::ReadOnly)) {
            print(stderr, QStringLiteral("无法读取：%1").arg(text));
            return 2;
        }
        text = QString::fromUtf8(file.readAll());
    }
    try {
        Connection conn = Connection::open(path, key);
        QStringList notes;
        const QStringList problems = CheckRecordText(conn, text, &notes);
        conn.close();
        for (const QString &p : problems)
            print(stdout, p);
        for (const QString &n : notes)
            print(stdout, n);
        print(stdout, problems.isEmpty() ? QStringLiteral("打印的抽取记录与文件一致。")
                                         : QStringLiteral("打印的抽取记录与文件不一致：%1处。").arg(problems.size()));
        return problems.isEmpty() ? 0 : 1;
    } catch (const DbError &e) {
        print(stderr, e.message());
        return 2;
    }
}

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const std::optional<QString> keyFile = TakeKeyFileOption(args);
    const bool record = keyFile && args.size() == 4 && args[1] == QLatin1String("--record");
    if (!keyFile || (!record && (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))))) {
        std::fprintf(stderr, "usage: kestrune-verify [--key-file KEYFILE] FILE\n"
                             "       kestrune-verify [--key-file KEYFILE] --record QRTEXT FILE\n");
        return 2;
    }
    const QString path = record ? args[3] : args[1];
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
    if (record)
        return checkRecord(args[2], path, *key);
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
