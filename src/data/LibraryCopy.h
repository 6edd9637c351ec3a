#pragma once

#include "data/DataSource.h"

#include <QString>

class Connection;

// Moving a whole library between the encrypted file and a server database:
// every table of the program with every record as stored, Ids included.

// Copies every table of from into the same, empty tables of to. Runs inside
// the caller's transaction on to. Throws DbError.
void CopyLibraryTables(Connection &from, Connection &to);

// Removes every record of every table of the program, inside the caller's
// transaction (before a whole library is copied in).
void ClearLibraryTables(Connection &conn);

// Copies a data file into a server database that holds none of the
// program's tables yet, in one transaction: afterwards the server holds the
// whole library or, on any failure, nothing. Throws DbError.
// fileKey: the data file's own password, empty for the default one.
void CopyFileToServer(const QString &file, const DataSource &server, const QString &fileKey = {});

// Writes the server's library into a new data file of the usual format; an
// existing file is never overwritten, and a failure leaves no file behind.
// Throws DbError.
// fileKey: the new file's own password, empty for the default one.
void CopyServerToFile(const DataSource &server, const QString &file, const QString &fileKey = {});
