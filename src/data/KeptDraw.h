#pragma once

#include "data/DrawRecord.h"
#include "data/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

class Connection;
struct DataStore;

// A draw list not yet stored, kept on disk while it changes so that a
// crash, a kill or a power cut does not lose it. It holds numbers only (the
// experts' rows are taken from the library again when it is restored) and
// is only believed as far as the draw trail in the library proves it: every
// drawn round must be the round the trail recorded, and every expert on the
// list one the trail shows confirmed and not removed since.
struct KeptDraw {
    QString library;   // which library it belongs to (KeptDrawLibrary)
    QString userId;    // who drew it
    QString userName;
    QDateTime keptAt;
    QStringList drawListIds;   // the draw list, in order
    DrawSession record;        // its rounds (with their candidate lists) and its trail session
    AvoidanceRules avoidance;
};

// What names a library for a kept draw: the data file's full path, or the
// server address without its password.
QString KeptDrawLibrary(const DataStore &store);

QByteArray KeptDrawToJson(const KeptDraw &kept);
// nullopt when the text is not a kept draw this program wrote.
std::optional<KeptDraw> KeptDrawFromJson(const QByteArray &json);

// What the library says of a kept draw.
struct KeptDrawCheck {
    // The draw was stored or dropped after it was last kept: nothing to restore.
    bool outdated = false;
    // Why it cannot be believed; empty when the trail proves every part.
    QStringList problems;
    // The trail's last event number for the draw's session (the restored
    // draw goes on numbering after it).
    int trailEvents = 0;
};
// experts is ExpertTable: the experts of the list must still be in it, and
// a temporary expert's round must name a temporary expert. Throws DbError.
KeptDrawCheck CheckKeptDraw(Connection &conn, const KeptDraw &kept, const TextTable &experts);
Result<KeptDrawCheck> CheckKeptDraw(const DataStore &store, const KeptDraw &kept);
