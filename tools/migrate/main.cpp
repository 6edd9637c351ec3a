// kestrune-migrate OLD.mdb --out NEW.mdb
// kestrune-migrate --list FILE.mdb
// --key-file KEYFILE: the new file gets its own password (first line of KEYFILE).
#include "migrate/AccessFile.h"
#include "migrate/LibraryImport.h"
#include "data/KeyFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace {

void print(std::FILE *to, const QString &text)
{
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
}

// Our sentence; what the Access reader said after it.
void printFailure(const Migrate::SourceError &e)
{
    print(stderr, e.message());
    if (!e.detail().isEmpty())
        print(stderr, QStringLiteral("详细信息：%1").arg(e.detail()));
}

QString usageText()
{
    return QStringLiteral("用法：\n"
                          "  kestrune-migrate 旧库.mdb --out 新库.mdb\n"
                          "      把 Access 数据库中的专家库写入一个新的 Kestrune 数据库文件（不覆盖已有文件）\n"
                          "  kestrune-migrate --list 文件.mdb\n"
                          "      列出 Access 数据库的每张数据表：表名、记录数、字段\n"
                          "  --key-file 密码文件\n"
                          "      新数据库文件使用密码文件第一行的数据库密码（默认使用本软件的默认密码）");
}

int usage()
{
    print(stderr, usageText());
    return 2;
}

// One line per table: NAME<TAB>ROWS<TAB>COL1,COL2,...
int listTables(const QString &path, const QString &key)
{
    try {
        const auto file = Migrate::AccessFile::open(path, {key});
        QStringList lines;
        for (const QString &table : file->tableNames()) {
            QStringList names;
            for (const Migrate::SourceColumn &c : file->columns(table))
                names << c.name;
            // One pass: a % in a name of the file is not taken for a marker.
            lines << QStringLiteral("%1\t%2\t%3")
                         .arg(table, QString::number(file->rowCount(table)), names.join(QLatin1Char(',')));
        }
        for (const QString &line : lines)
            print(stdout, line);
    } catch (const Migrate::SourceError &e) {
        printFailure(e);
        return 1;
    }
    return 0;
}

int migrate(const QString &source, const QString &target, const QString &key)
{
    // Checked first so that nothing is read in vain; checked again when the
    // file is put in place.
    if (QFileInfo::exists(target)) {
        print(stderr,
              QStringLiteral("文件“%1”已存在，不会覆盖它。请另选一个文件名。").arg(QDir::toNativeSeparators(target)));
        return 1;
    }
    try {
        // The password given for the new file is likely the one of a library
        // given by mistake as the source.
        const auto file = Migrate::AccessFile::open(source, {key});
        const Migrate::ImportPlan plan = Migrate::PlanImport(*file);
        print(stdout, Migrate::FindingsText(plan));
        if (!plan.canImport()) {
            print(stderr, Migrate::RefusalText(plan));
            return 1;
        }
        const Outcome written = Migrate::WriteNewDataFile(plan, target, key);
        if (!written) {
            print(stderr, written.message());
            return 1;
        }
    } catch (const Migrate::SourceError &e) {
        printFailure(e);
        return 1;
    }
    print(stdout, QStringLiteral("已写入新的数据库文件：%1").arg(QDir::toNativeSeparators(target)));
    return 0;
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
    if (!keyFile)
        return usage();
    const Result<QString> newKey = KeyForNewFile(*keyFile);
    if (!newKey) {
        print(stderr, newKey.message());
        return 1;
    }
    const QString &key = newKey.value();
    if (args.size() == 2 && args[0] == QLatin1String("--list"))
        return listTables(args[1], key);
    if (args.size() == 3) {
        const qsizetype out = args.indexOf(QStringLiteral("--out"));
        if (out == 1)
            return migrate(args[0], args[2], key);
        if (out == 0)
            return migrate(args[2], args[1], key);
    }
    return usage();
}
