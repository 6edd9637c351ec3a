#include "data/KeptDraw.h"

#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Schema.h"
#include "data/ServerAddress.h"
#include "data/Tables.h"
#include "data/Vocabulary.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

const QString kFormat = QStringLiteral("kestrune-unsaved-draw-1");
const QString kSecond = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QJsonArray numbers(const QVector<qsizetype> &v)
{
    QJsonArray a;
    for (qsizetype i : v)
        a.append(double(i));
    return a;
}

std::optional<QVector<qsizetype>> readNumbers(const QJsonValue &v)
{
    if (!v.isArray())
        return std::nullopt;
    QVector<qsizetype> out;
    for (const QJsonValue &x : v.toArray()) {
        if (!x.isDouble() || x.toDouble() < 0)
            return std::nullopt;
        out.append(qsizetype(x.toDouble()));
    }
    return out;
}

std::optional<QStringList> readStrings(const QJsonValue &v)
{
    if (!v.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue &x : v.toArray()) {
        if (!x.isString())
            return std::nullopt;
        out.append(x.toString());
    }
    return out;
}

// A round in full: what the trail records of it (through the trail's own
// encoding) and what it does not (the candidate list, the confirmed
// experts, the supervised order, the time to the millisecond).
QJsonObject roundToJson(const DrawRound &r)
{
    DrawEvent e;
    e.round = r;
    QJsonObject o;
    o.insert(QStringLiteral("detail"), DrawEventDetail(e));
    o.insert(QStringLiteral("number"), r.number);
    o.insert(QStringLiteral("candidates"), QJsonArray::fromStringList(r.candidateIds));
    o.insert(QStringLiteral("confirmed"), QJsonArray::fromStringList(r.confirmedIds));
    o.insert(QStringLiteral("drawnAt"), r.drawnAt.toString(Qt::ISODateWithMs));
    if (r.supervised)
        o.insert(QStringLiteral("order"), numbers(r.supervised->order));
    return o;
}

std::optional<DrawRound> roundFromJson(const QJsonObject &o)
{
    DrawEvent e;
    if (!ReadDrawEventDetail(o.value(QStringLiteral("detail")).toString(), &e) || !e.round)
        return std::nullopt;
    DrawRound r = *e.round;
    const std::optional<QStringList> candidates = readStrings(o.value(QStringLiteral("candidates")));
    const std::optional<QStringList> confirmed = readStrings(o.value(QStringLiteral("confirmed")));
    const QDateTime drawnAt = QDateTime::fromString(o.value(QStringLiteral("drawnAt")).toString(), Qt::ISODateWithMs);
    if (!candidates || !confirmed || !drawnAt.isValid())
        return std::nullopt;
    // The trail's encoding carries the count and hash of the list; the list
    // itself must agree with them.
    if (r.storedCount != candidates->size() || r.storedHash != CandidateHash(*candidates))
        return std::nullopt;
    r.number = o.value(QStringLiteral("number")).toInt();
    r.candidateIds = *candidates;
    r.confirmedIds = *confirmed;
    r.drawnAt = drawnAt;
    for (qsizetype p : r.picks)
        if (p >= r.candidateIds.size())
            return std::nullopt;
    if (r.supervised) {
        const std::optional<QVector<qsizetype>> order = readNumbers(o.value(QStringLiteral("order")));
        if (!order)
            return std::nullopt;
        r.supervised->order = *order;
    }
    // A live round knows nothing of what a file stores beside it.
    r.storedCount = -1;
    r.storedHash.clear();
    return r;
}

// The same draw: what the trail recorded of a round when it was drawn.
bool sameDraw(const DrawRound &kept, const DrawRound &traced, const QDateTime &tracedAt)
{
    const bool sameSupervision =
        kept.supervised.has_value() == traced.supervised.has_value() &&
        (!kept.supervised || (kept.supervised->commitment == traced.supervised->commitment &&
                              kept.supervised->supervisorNumber == traced.supervised->supervisorNumber &&
                              kept.supervised->revealed == traced.supervised->revealed));
    return kept.type == traced.type && CandidateHash(kept.candidateIds) == traced.storedHash &&
           kept.candidateIds.size() == traced.storedCount && kept.seed == traced.seed && kept.picks == traced.picks &&
           kept.requested == traced.requested && kept.rolledId == traced.rolledId && kept.reserve == traced.reserve &&
           sameSupervision && kept.drawnAt.toString(kSecond) == tracedAt.toString(kSecond);
}

}   // namespace

QString KeptDrawLibrary(const DataStore &store)
{
    if (store.source.isServer()) {
        const ServerAddress a = ServerAddressFromUri(store.source.uri);
        return QStringLiteral("postgresql://%1:%2/%3").arg(a.host, a.port, a.database);
    }
    return QFileInfo(store.dataFilePath()).absoluteFilePath();
}

QByteArray KeptDrawToJson(const KeptDraw &kept)
{
    QJsonObject o;
    o.insert(QStringLiteral("format"), kFormat);
    o.insert(QStringLiteral("library"), kept.library);
    o.insert(QStringLiteral("userId"), kept.userId);
    o.insert(QStringLiteral("userName"), kept.userName);
    o.insert(QStringLiteral("keptAt"), kept.keptAt.toString(Qt::ISODate));
    o.insert(QStringLiteral("drawList"), QJsonArray::fromStringList(kept.drawListIds));
    QJsonArray rounds;
    for (const DrawRound &r : kept.record.rounds)
        rounds.append(roundToJson(r));
    o.insert(QStringLiteral("rounds"), rounds);
    o.insert(QStringLiteral("projectId"), kept.record.projectId);
    o.insert(QStringLiteral("storedRounds"), double(kept.record.storedRounds));
    o.insert(QStringLiteral("storedIds"), QJsonArray::fromStringList(kept.record.storedIds));
    o.insert(QStringLiteral("trailId"), kept.record.trailId);
    o.insert(QStringLiteral("trailEvents"), kept.record.trailEvents);
    o.insert(QStringLiteral("avoidance"), AvoidanceToText(kept.avoidance, {}));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<KeptDraw> KeptDrawFromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != kFormat)
        return std::nullopt;
    KeptDraw k;
    k.library = o.value(QStringLiteral("library")).toString();
    k.userId = o.value(QStringLiteral("userId")).toString();
    k.userName = o.value(QStringLiteral("userName")).toString();
    k.keptAt = QDateTime::fromString(o.value(QStringLiteral("keptAt")).toString(), Qt::ISODate);
    const std::optional<QStringList> list = readStrings(o.value(QStringLiteral("drawList")));
    const std::optional<QStringList> storedIds = readStrings(o.value(QStringLiteral("storedIds")));
    if (!list || !storedIds || !o.value(QStringLiteral("rounds")).isArray())
        return std::nullopt;
    k.drawListIds = *list;
    for (const QJsonValue &v : o.value(QStringLiteral("rounds")).toArray()) {
        const std::optional<DrawRound> r = roundFromJson(v.toObject());
        if (!r)
            return std::nullopt;
        k.record.rounds.append(*r);
    }
    k.record.projectId = o.value(QStringLiteral("projectId")).toString();
    k.record.storedRounds = qsizetype(o.value(QStringLiteral("storedRounds")).toDouble());
    if (k.record.storedRounds < 0 || k.record.storedRounds > k.record.rounds.size())
        return std::nullopt;
    k.record.storedIds = *storedIds;
    k.record.trailId = o.value(QStringLiteral("trailId")).toString();
    k.record.trailEvents = o.value(QStringLiteral("trailEvents")).toInt();
    AvoidanceCounts unused;
    if (!AvoidanceFromText(o.value(QStringLiteral("avoidance")).toString(), &k.avoidance, &unused))
        return std::nullopt;
    if (k.library.isEmpty() || k.userId.isEmpty() || !k.keptAt.isValid())
        return std::nullopt;
    return k;
}

KeptDrawCheck CheckKeptDraw(Connection &conn, const KeptDraw &kept, const TextTable &experts)
{
    KeptDrawCheck check;
    QList<DrawEvent> events;
    if (!kept.record.trailId.isEmpty()) {
        events = LoadSessionTrail(conn, kept.record.trailId);
        if (events.isEmpty())
            check.problems << QStringLiteral("数据库的抽取过程记录中没有这次抽取");
    }
    for (const DrawEvent &e : events)
        check.trailEvents = qMax(check.trailEvents, e.number);
    // Stored or dropped after it was kept: the kept copy is behind the library.
    for (const DrawEvent &e : events)
        if (e.number > kept.record.trailEvents && (e.kind == DrawEventKind::Store || e.kind == DrawEventKind::Discard))
            check.outdated = true;
    if (check.outdated)
        return check;

    QHash<QString, qsizetype> rowOf;
    for (qsizetype r = 0; r < experts.count(); ++r)
        rowOf.insert(experts.cell(r, Schema::E_Id).toString(), r);

    // Each round is a draw the trail recorded, confirmed as the trail says.
    QSet<QString> confirmed;
    for (qsizetype k = 0; k < kept.record.rounds.size(); ++k) {
        const DrawRound &r = kept.record.rounds[k];
        const QString which = QStringLiteral("第%1轮（%2）").arg(k + 1).arg(r.type);
        if (r.type == RoundType::Temporary) {
            const QString id = r.confirmedIds.value(0);
            const auto it = rowOf.constFind(id);
            if (r.confirmedIds.size() != 1 || it == rowOf.cend() ||
                experts.cell(*it, Schema::E_Is_temp) != kKindTemporary)
                check.problems << which + QStringLiteral("不是本程序新建的临时专家");
            else
                confirmed.insert(id);
            continue;
        }
        int drawnAt = -1;
        for (const DrawEvent &e : events)
            if (e.kind == DrawEventKind::Draw && e.round && sameDraw(r, *e.round, e.at))
                drawnAt = e.number;
        bool confirmedThere = false;
        for (const DrawEvent &e : events)
            if (drawnAt >= 0 && e.number > drawnAt && e.kind == DrawEventKind::Confirm && e.expertIds == r.confirmedIds)
                confirmedThere = true;
        if (drawnAt < 0)
            check.problems << which + QStringLiteral("与抽取过程记录不符");
        else if (!confirmedThere)
            check.problems << which + QStringLiteral("确认的专家与抽取过程记录不符");
        else
            for (const QString &id : r.confirmedIds)
                confirmed.insert(id);
    }

    // Who the trail leaves on the list: confirmed, and not removed since.
    QSet<QString> onList;
    for (const DrawEvent &e : events) {
        if (e.kind == DrawEventKind::Confirm)
            for (const QString &id : e.expertIds)
                onList.insert(id);
        else if (e.kind == DrawEventKind::Remove)
            for (const QString &id : e.expertIds)
                onList.remove(id);
    }
    QSet<QString> seen;
    for (const QString &id : kept.drawListIds) {
        const bool temporary = [&] {
            for (const DrawRound &r : kept.record.rounds)
                if (r.type == RoundType::Temporary && r.confirmedIds.value(0) == id)
                    return true;
            return false;
        }();
        if (seen.contains(id))
            check.problems << QStringLiteral("专家%1在名单中出现了两次").arg(id);
        else if (!confirmed.contains(id) || (!temporary && !onList.contains(id)))
            check.problems << QStringLiteral("专家%1不是这次抽取确认的专家").arg(id);
        else if (!rowOf.contains(id))
            check.problems << QStringLiteral("专家%1已不在专家库中").arg(id);
        seen.insert(id);
    }
    return check;
}

Result<KeptDrawCheck> CheckKeptDraw(const DataStore &store, const KeptDraw &kept)
{
    return CatchDbError([&] { return CheckKeptDraw(LibraryConnection(store), kept, store.ExpertTable); });
}
