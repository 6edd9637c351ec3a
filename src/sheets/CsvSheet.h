#pragma once

#include "data/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The rows of a CSV file as spreadsheet programs write it: cells apart by
// commas, a cell that holds a quote, a comma or a line break quoted as a
// whole with its quotes doubled, rows ending at CR, LF or CRLF. The text is
// UTF-8 (with or without a byte-order mark) or else GBK, as Excel writes it
// on Chinese systems.
//
// A quote out of place and bytes of neither encoding are refused, naming the
// row, rather than read as something the file does not say.
Result<QList<QStringList>> ParseCsvSheet(const QByteArray &bytes);

// The same for a file.
Result<QList<QStringList>> ReadCsvSheet(const QString &path);
