#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class Connection;
struct AuditEntry;

// Changes to the library that shape a draw without touching its record:
// an expert switched off just before a draw and on again just after it
// stays out of the candidate list while everything stored still agrees.
// The operation log holds both changes; this finds them around the draws.

struct SwitchedOffAround {
    QString expertId;
    QString expertName;
    QDateTime off;   // when the expert stopped being 启用
    QDateTime on;    // when the expert was 启用 again
};

struct DrawWithSwitchedOff {
    QDateTime at;   // the draw
    QString operatorName;
    QString subject;   // the draw's log subject (session:event)
    QList<SwitchedOffAround> experts;
    // One line for the verifier's output.
    QString line() const;
};

// Experts whose 状态 left 启用 no more than window before a draw and came back
// no more than window after it, per draw, from the log's entries in order.
QList<DrawWithSwitchedOff> FindSwitchedOffAroundDraws(const QList<AuditEntry> &log, qint64 windowSeconds);
// The same over an open file's log.
QList<DrawWithSwitchedOff> FindSwitchedOffAroundDraws(Connection &conn, qint64 windowSeconds);

// The window the verifier uses: three days.
inline constexpr qint64 kSwitchedOffWindowSeconds = 3 * 24 * 3600;
