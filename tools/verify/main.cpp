// kestrune-verify [--key-file KEYFILE] FILE [--head SEQ:HASH]
//
// Checks every stored project of a data file: each random and substitute
// round is drawn again from its seed over its stored candidate list, and the
// candidate hashes, the confirmed experts, the snapshots and their links to
// sel_expert must agree. The expert table is never consulted, so later
// edits and deletions of experts do not count. Prints one line per project
// and a summary; exits 0 when everything agrees, 1 when something does not,
// 2 when the file cannot be read. The operation log is checked too: every
// entry's hash and link, and the project content the entries cover. With
// --head (as printed on a record or a 日志封存单) the file must still hold
// that entry, so a file rolled back or a log cut off shows. Experts switched
// off just before a draw and on again just after it are listed as worth a
// look ("留意"); they do not change the exit code.
//
// kestrune-verify --record QRTEXT FILE
//
// Checks a printed draw record against the file: QRTEXT is the text of the
// record's QR code (or a file holding it). Every printed round must still be
// in the file as printed, and a supervised round's printed numbers must
// still give its printed panel. One line per disagreement; exit codes as
// above.
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawConditions.h"
#include "data/DrawVerify.h"
#include "data/KeyFile.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

void print(FILE *out, const QString &line) { std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), out); }

// The failure in the user's words; the engine's own after them.
void printFailure(const DbError &e)
{
    print(stderr, e.sentence());
    if (!e.detail().isEmpty())
        print(stderr, QStringLiteral("详细信息：%1").arg(e.detail()));
}

// A file the key opens may still be no library of the program (another
// program's database, one whose tables were changed): say so before any
// check reads a table that is not there.
bool isLibrary(Connection &conn, const QString &path)
{
    const Outcome schema = CheckSchema(conn);
    if (schema)
        return true;
    print(stderr, QStringLiteral("“%1”不是本软件的专家库文件，无法检查。").arg(QDir::toNativeSeparators(path)));
    print(stderr, QStringLiteral("详细信息：%1").arg(schema.message()));
    return false;
}

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
        if (!isLibrary(conn, path))
            return 2;
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
        printFailure(e);
        return 2;
    }
}

QString usageText()
{
    return QStringLiteral("用法：\n"
                          "  kestrune-verify [--key-file 密码文件] 数据库文件.mdb [--head 序号:哈希]\n"
                          "      重新检查数据库文件中保存的每个项目的抽取和操作日志；--head 给出记录或日志封存单上\n"
                          "      印的日志链头，文件必须仍然含有这一条日志\n"
                          "  kestrune-verify [--key-file 密码文件] --record 二维码文字 数据库文件.mdb\n"
                          "      把打印的抽取记录（其二维码的文字，或存有这段文字的文件）与数据库文件核对\n"
                          "  --key-file 密码文件   数据库文件的数据库密码（文件的第一行），默认使用本软件的默认密码\n"
                          "退出码：0 全部一致，1 有不一致之处，2 无法读取文件或参数有误。");
}

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const std::optional<QString> keyFile = TakeKeyFileOption(args);
    const bool record = keyFile && args.size() == 4 && args[1] == QLatin1String("--record");
    QString path = record ? args[3] : QString();
    QStringList heads;
    bool usage = !keyFile;
    for (qsizetype i = 1; !record && keyFile && i < args.size(); ++i) {
        if (args[i] == QLatin1String("--head") && i + 1 < args.size())
            heads << args[++i];
        else if (args[i].startsWith(QLatin1Char('-')) || !path.isEmpty())
            usage = true;
        else
            path = args[i];
    }
    if (args.size() == 2 && (args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h"))) {
        print(stdout, usageText());
        return 0;
    }
    if (usage || path.isEmpty()) {
        print(stderr, usageText());
        return 2;
    }
    for (const QString &head : heads)
        if (ParseAuditHead(head).seq == 0) {
            print(stderr, QStringLiteral("日志封存号格式不对，应为“序号:哈希”：%1").arg(head));
            return 2;
        }
    if (!QFileInfo::exists(path)) {
        print(stderr, QStringLiteral("找不到文件：%1").arg(path));
        return 2;
    }
    if (!QFileInfo(path).isFile()) {
        print(stderr, QStringLiteral("“%1”不是文件，无法检查。").arg(QDir::toNativeSeparators(path)));
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
        if (!isLibrary(conn, path))
            return 2;
        const FileVerification result = VerifyDataFile(conn);
        QStringList chain = VerifyChain(conn);
        for (const QString &head : heads) {
            const QString problem = CheckHead(conn, ParseAuditHead(head));
            if (!problem.isEmpty())
                chain << problem;
        }
        const AuditHead now = ReadAuditHead(conn);
        const QList<DrawWithSwitchedOff> switchedOff = FindSwitchedOffAroundDraws(conn, kSwitchedOffWindowSeconds);
        conn.close();
        for (const ProjectVerification &p : result.projects)
            print(stdout, p.line());
        for (const QString &line : chain)
            print(stdout, line);
        // Worth a look, not a fault: an expert may be away for a day.
        for (const DrawWithSwitchedOff &d : switchedOff)
            print(stdout, d.line());
        print(stdout, result.summary());
        print(stdout, chain.isEmpty()
                          ? QStringLiteral("操作日志完好，共 %1 条，日志头 %2。").arg(now.seq).arg(now.text())
                          : QStringLiteral("操作日志有 %1 处问题。").arg(chain.size()));
        return result.ok() && chain.isEmpty() ? 0 : 1;
    } catch (const DbError &e) {
        printFailure(e);
        return 2;
    }
}
