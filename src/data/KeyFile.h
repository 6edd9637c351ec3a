#pragma once

#include "data/Result.h"

#include <QString>
#include <QStringList>
#include <optional>

// The password of a data file for the command-line tools.

// Takes "--key-file FILE" out of args: FILE, "" when the option is not
// there, nullopt when it lacks its file.
std::optional<QString> TakeKeyFileOption(QStringList &args);

// The password written in a key file: its first line without the line end.
// An empty or unreadable key file fails with the reason.
Result<QString> ReadKeyFile(const QString &keyFile);
// The password a new data file gets: the key file's, or the default key ("")
// when no key file was given.
Result<QString> KeyForNewFile(const QString &keyFile);

// The password that opens an existing data file: the key file's when one is
// given (refused when it does not open the file); the default key ("") when
// that opens it; otherwise asked on the terminal without echo, as long as
// the tool runs at one. Fails with the reason when none opens it.
Result<QString> KeyForDataFile(const QString &dataFile, const QString &keyFile);
