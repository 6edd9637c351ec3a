#include "data/DrawConditions.h"

#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DrawRecord.h"
#include "data/Vocabulary.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

QDateTime EntryTime(const AuditEntry &e) { return QDateTime::fromString(e.at, Qt::ISODate); }

struct StatusChange {
    bool known = false;
    bool wasEnabled = false;
    bool isEnabled = false;
    QString name;
};

// The 状态 before and after of an expert_change entry (FieldChanges form).
StatusChange StatusChangeOf(const AuditEntry &e)
{
    const QJsonObject detail = QJsonDocument::fromJson(e.detail.toUtf8()).object();
    const QJsonObject before = detail.value(QStringLiteral("before")).toObject();
    const QJsonObject after = detail.value(QStringLiteral("after")).toObject();
    StatusChange c;
    c.name = after.value(QStringLiteral("Name")).toString(before.value(QStringLiteral("Name")).toString());
    if (!before.contains(QStringLiteral("Status")) || !after.contains(QStringLiteral("Status")))
        return c;
    c.known = true;
    c.wasEnabled = before.value(QStringLiteral("Status")).toString() == kStatusEnabled;
    c.isEnabled = after.value(QStringLiteral("Status")).toString() == kStatusEnabled;
    return c;
}

bool IsDraw(const AuditEntry &e)
{
    return e.kind == AuditKind::DrawRound &&
           QJsonDocument::fromJson(e.detail.toUtf8()).object().value(QStringLiteral("event")).toString() ==
               DrawEventKind::Draw;
}

}   // namespace

QString DrawWithSwitchedOff::line() const
{
    QStringList names;
    for (const SwitchedOffAround &x : experts)
        names << QStringLiteral("%1（%2，停用于%3，恢复于%4）")
                     .arg(x.expertName.isEmpty() ? x.expertId : x.expertName, x.expertId,
                          x.off.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                          x.on.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return QStringLiteral("留意：%1 %2的抽取（%3）前后有%4位专家被停用、抽取后又恢复：%5")
        .arg(at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), operatorName, subject)
        .arg(experts.size())
        .arg(names.join(QStringLiteral("；")));
}

QList<DrawWithSwitchedOff> FindSwitchedOffAroundDraws(const QList<AuditEntry> &log, qint64 windowSeconds)
{
    // Each stretch during which an expert was not 启用, closed by the entry
    // that switched the expert on again.
    QList<SwitchedOffAround> stretches;
    QHash<QString, SwitchedOffAround> open;
    QList<const AuditEntry *> draws;
    for (const AuditEntry &e : log) {
        if (IsDraw(e)) {
            draws << &e;
            continue;
        }
        if (e.kind != AuditKind::ExpertChange)
            continue;
        const StatusChange c = StatusChangeOf(e);
        if (!c.known || c.wasEnabled == c.isEnabled)
            continue;
        if (!c.isEnabled) {
            open.insert(e.subject, {e.subject, c.name, EntryTime(e), {}});
        } else if (auto it = open.find(e.subject); it != open.end()) {
            it->on = EntryTime(e);
            stretches << *it;
            open.erase(it);
        }
    }
    QList<DrawWithSwitchedOff> found;
    for (const AuditEntry *d : draws) {
        const QDateTime at = EntryTime(*d);
        DrawWithSwitchedOff draw{at, d->operatorName, d->subject, {}};
        for (const SwitchedOffAround &s : stretches)
            if (s.off <= at && at <= s.on && s.off.secsTo(at) <= windowSeconds && at.secsTo(s.on) <= windowSeconds)
                draw.experts << s;
        std::sort(draw.experts.begin(), draw.experts.end(),
                  [](const SwitchedOffAround &a, const SwitchedOffAround &b) { return a.off < b.off; });
        if (!draw.experts.isEmpty())
            found << draw;
    }
    return found;
}

QList<DrawWithSwitchedOff> FindSwitchedOffAroundDraws(Connection &conn, qint64 windowSeconds)
{
    QList<DrawWithSwitchedOff> found = FindSwitchedOffAroundDraws(ReadAuditEntries(conn), windowSeconds);
    // A change entry names only the fields that changed: the name comes
    // from the expert table (an expert deleted since keeps the Id alone).
    for (DrawWithSwitchedOff &d : found)
        for (SwitchedOffAround &x : d.experts)
            if (x.expertName.isEmpty()) {
                Statement q = conn.prepare(QStringLiteral("SELECT Name FROM expert_msg WHERE Id = ?"));
                q.bind(1, x.expertId);
                if (q.step())
                    x.expertName = q.text(0);
            }
    return found;
}
