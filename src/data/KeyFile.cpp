#include "data/KeyFile.h"

#include "data/Database.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// One line from the terminal with its echo off, so that the password is not
// left on the screen; nullopt when there is no terminal or no line.
std::optional<QString> askOnTerminal(const QString &prompt)
{
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    std::fputs(prompt.toUtf8().constData(), stderr);
    std::fflush(stderr);
    termios old{};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (quiet) {
        termios silent = old;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    char buffer[1024];
    const char *line = std::fgets(buffer, sizeof buffer, stdin);
    if (quiet)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputc('\n', stderr);
    if (!line)
        return std::nullopt;
    QString text = QString::fromLocal8Bit(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

}   // namespace

std::optional<QString> TakeKeyFileOption(QStringList &args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--key-file"));
    if (at < 0)
        return QString();
    if (at + 1 >= args.size())
        return std::nullopt;
    const QString file = args[at + 1];
    args.remove(at, 2);
    return file;
}

Result<QString> ReadKeyFile(const QString &keyFile)
{
    QFile file(keyFile);
    if (!file.open(QIODevice::ReadOnly))
        return Result<QString>::fail(
            QStringLiteral("无法读取密码文件“%1”：%2").arg(native(keyFile), file.errorString()));
    QString key = QString::fromUtf8(file.readLine());
    while (key.endsWith(QLatin1Char('\n')) || key.endsWith(QLatin1Char('\r')))
        key.chop(1);
    if (key.isEmpty())
        return Result<QString>::fail(QStringLiteral("密码文件“%1”的第一行是空的。").arg(native(keyFile)));
    return key;
}

Result<QString> KeyForDataFile(const QString &dataFile, const QString &keyFile)
{
    if (!keyFile.isEmpty()) {
        Result<QString> key = ReadKeyFile(keyFile);
        if (!key)
            return key;
        if (!KeyOpensFile(dataFile, *key))
            return Result<QString>::fail(
                QStringLiteral("密码文件中的密码打不开数据库文件“%1”。").arg(native(dataFile)));
        return key;
    }
    if (KeyOpensFile(dataFile, QString()))
        return QString();
    // A few tries, as at any password prompt.
    constexpr int kTries = 3;
    for (int i = 0; i < kTries; ++i) {
        const std::optional<QString> typed =
            askOnTerminal(QStringLiteral("数据库文件“%1”的密码：").arg(native(dataFile)));
        if (!typed)
            break;
        if (!typed->isEmpty() && KeyOpensFile(dataFile, *typed))
            return *typed;
        std::fputs(QStringLiteral("密码不正确。\n").toUtf8().constData(), stderr);
    }
    return Result<QString>::fail(QStringLiteral("打不开数据库文件“%1”：它设置了数据库密码（可用 --key-file "
                                                "密码文件 给出），或者不是本软件的数据库文件。")
                                     .arg(native(dataFile)));
}

Result<QString> KeyForNewFile(const QString &keyFile)
{
    return keyFile.isEmpty() ? Result<QString>(QString()) : ReadKeyFile(keyFile);
}
