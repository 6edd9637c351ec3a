#pragma once

#include <QDate>
#include <QStringList>

class Connection;

// The sel_expert records of these experts are being deleted with them, inside
// the caller's transaction: their links are marked as removed on that day,
// so that the stored panels keep showing who sat on them.
void MarkProjectLinksRemoved(Connection &conn, const QStringList &expertIds, const QDate &day);
