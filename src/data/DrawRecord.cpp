#include "data/DrawRecord.h"

#include "data/Wildcard.h"
#include "data/Vocabulary.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <optional>

namespace {

constexpr int kIdColumn = 0;
constexpr int kCompanyColumn = 4;
constexpr int kSelDateColumn = 1;
constexpr int kSelExpertColumn = 2;

// The rules made ready for many candidates.
struct CompiledRules {
    UnitMatcher units;
    const FormerUnitsById *former = nullptr;
    int formerYears = 0;
    QDate today;
    QSet<QString> experts;
    QSet<QString> recent;

    CompiledRules(const AvoidanceRules &rules, const TextTable &selections, const QDate &day,
                  const UnitRecords *records)
        : units(rules.units, records ? records->aliases : UnitAliases()), today(day)
    {
        if (records && rules.formerYears > 0) {
            former = &records->former;
            formerYears = rules.formerYears;
        }
        for (const QString &id : rules.expertIds)
            experts.insert(id);
        if (rules.recentDays > 0 && today.isValid()) {
            // The last N days end today: N = 1 is today alone.
            const QString from = today.addDays(-(rules.recentDays - 1)).toString(kStoredDateFormat);
            const QString to = today.toString(kStoredDateFormat);
            for (qsizetype r = 0; r < selections.count(); ++r) {
                const QStringView date = selections.cell(r, kSelDateColumn);
                if (date >= from && date <= to)
                    recent.insert(selections.cell(r, kSelExpertColumn).toString());
            }
        }
    }

    // The unit that makes the unit rule take this candidate out, if any.
    std::optional<UnitMatch> unitMatch(const QString &id, QStringView company) const
    {
        if (units.isEmpty())
            return std::nullopt;
        if (units.matches(company))
            return UnitMatch{id, company.trimmed().toString(), false, {}, {}};
        if (!former)
            return std::nullopt;
        const auto it = former->constFind(id);
        if (it == former->constEnd())
            return std::nullopt;
        for (const FormerUnit &u : *it)
            if (LeftWithinYears(u, formerYears, today) && units.matches(u.unit))
                return UnitMatch{id, u.unit.trimmed(), true, u.from, u.to};
        return std::nullopt;
    }
};

}   // namespace

AvoidanceCounts CountAvoidance(const TextTable &candidates, const AvoidanceRules &rules, const TextTable &selections,
                               const QDate &today, const UnitRecords *units)
{
    TextTable copy = candidates;
    return ApplyAvoidance(copy, rules, selections, today, units);
}

AvoidanceCounts ApplyAvoidance(TextTable &candidates, const AvoidanceRules &rules, const TextTable &selections,
                               const QDate &today, const UnitRecords *units)
{
    AvoidanceCounts counts;
    if (rules.isEmpty())
        return counts;
    const CompiledRules compiled(rules, selections, today, units);
    counts.aliases = compiled.units.usedAliases();
    counts.unitsRecorded = !compiled.units.isEmpty();
    candidates.removeRowsIf([&](const TextTable &table, qsizetype r) {
        const QString id = table.cell(r, kIdColumn).toString();
        const std::optional<UnitMatch> unit = compiled.unitMatch(id, table.cell(r, kCompanyColumn));
        const bool byUnit = unit.has_value();
        const bool byName = compiled.experts.contains(id);
        const bool byRecent = compiled.recent.contains(id);
        if (unit) {
            counts.formerUnits += unit->former;
            counts.unitMatches.append(*unit);
        }
        counts.units += byUnit;
        counts.experts += byName;
        counts.recent += byRecent;
        if (byUnit || byName || byRecent)
            ++counts.total;
        return byUnit || byName || byRecent;
    });
    return counts;
}

QString AvoidanceRulesProblem(const AvoidanceRules &rules)
{
    bool units = false;
    for (const QString &u : rules.units)
        units = units || !u.trimmed().isEmpty();
    if (units && rules.unitsReason.trimmed().isEmpty())
        return QStringLiteral("请输入回避工作单位的原因！");
    if (!rules.expertIds.isEmpty() && rules.expertsReason.trimmed().isEmpty())
        return QStringLiteral("请输入回避指定专家的原因！");
    if (rules.recentDays > 0 && rules.recentReason.trimmed().isEmpty())
        return QStringLiteral("请输入回避近期抽取过的专家的原因！");
    return {};
}

QString DescribeAvoidance(const AvoidanceRules &rules, const AvoidanceCounts *counts)
{
    if (rules.isEmpty())
        return QStringLiteral("无");
    const auto reason = [](const QString &text) {
        const QString r = text.trimmed();
        return r.isEmpty() ? QString() : QStringLiteral("（原因：%1）").arg(r);
    };
    QStringList parts;
    QStringList units;
    for (const QString &u : rules.units)
        if (!u.trimmed().isEmpty())
            units << u.trimmed();
    if (!units.isEmpty()) {
        QString text = QStringLiteral("回避单位：%1").arg(units.join(QStringLiteral("、")));
        if (rules.formerYears > 0)
            text += QStringLiteral("，含%1年内曾在该单位任职的专家").arg(rules.formerYears);
        if (counts && !counts->aliases.isEmpty()) {
            QStringList groups;
            for (const QStringList &g : counts->aliases)
                groups << g.join(QStringLiteral("="));
            text += QStringLiteral("，同一单位：%1").arg(groups.join(QStringLiteral("；")));
        }
        parts << text + reason(rules.unitsReason);
    }
    if (!rules.expertIds.isEmpty()) {
        QStringList named;
        for (qsizetype i = 0; i < rules.expertIds.size(); ++i) {
            const QString name = rules.expertNames.value(i).trimmed();
            named << (name.isEmpty() ? rules.expertIds[i] : QStringLiteral("%1(%2)").arg(name, rules.expertIds[i]));
        }
        parts << QStringLiteral("回避专家：%1").arg(named.join(QStringLiteral("、"))) + reason(rules.expertsReason);
    }
    if (rules.recentDays > 0)
        parts << QStringLiteral("回避近%1天内抽取过的专家").arg(rules.recentDays) + reason(rules.recentReason);
    QString text = parts.join(QStringLiteral("；"));
    if (counts) {
        const QString former =
            counts->formerUnits > 0 ? QStringLiteral("（其中按曾任职单位%1人）").arg(counts->formerUnits) : QString();
        text += QStringLiteral("（单位回避%1人%5，指定专家回避%2人，近期抽取回避%3人，共回避%4人）")
                    .arg(counts->units)
                    .arg(counts->experts)
                    .arg(counts->recent)
                    .arg(counts->total)
                    .arg(former);
    }
    return text;
}

QString DescribeKeptOut(const DrawRound &round, const TextTable *titleTypes)
{
    QString text = DescribeAvoidance(round.avoidance, round.avoidance.isEmpty() ? nullptr : &round.avoided);
    if (EligibilityTookPart(round.eligibility, round.eligible))
        text += QStringLiteral("；抽取规则：") + DescribeEligibility(round.eligibility, &round.eligible, titleTypes);
    return text;
}

QString AvoidanceToText(const AvoidanceRules &rules, const AvoidanceCounts &counts, const EligibilityRules &eligibility,
                        const EligibilityCounts &eligible)
{
    QJsonObject o;
    o.insert(QStringLiteral("units"), QJsonArray::fromStringList(rules.units));
    QJsonArray experts;
    for (qsizetype i = 0; i < rules.expertIds.size(); ++i)
        experts.append(QJsonObject{{QStringLiteral("id"), rules.expertIds[i]},
                                   {QStringLiteral("name"), rules.expertNames.value(i)}});
    o.insert(QStringLiteral("experts"), experts);
    o.insert(QStringLiteral("recentDays"), rules.recentDays);
    o.insert(QStringLiteral("formerYears"), rules.formerYears);
    if (!rules.unitsReason.isEmpty() || !rules.expertsReason.isEmpty() || !rules.recentReason.isEmpty())
        o.insert(QStringLiteral("reasons"), QJsonObject{{QStringLiteral("units"), rules.unitsReason},
                                                        {QStringLiteral("experts"), rules.expertsReason},
                                                        {QStringLiteral("recent"), rules.recentReason}});
    QJsonObject removed{{QStringLiteral("units"), double(counts.units)},
                        {QStringLiteral("experts"), double(counts.experts)},
                        {QStringLiteral("recent"), double(counts.recent)},
                        {QStringLiteral("total"), double(counts.total)}};
    if (counts.formerUnits > 0)
        removed.insert(QStringLiteral("formerUnits"), double(counts.formerUnits));
    o.insert(QStringLiteral("removed"), removed);
    if (!counts.aliases.isEmpty()) {
        QJsonArray groups;
        for (const QStringList &g : counts.aliases)
            groups.append(QJsonArray::fromStringList(g));
        o.insert(QStringLiteral("aliases"), groups);
    }
    if (counts.unitsRecorded) {
        QJsonArray matches;
        for (const UnitMatch &m : counts.unitMatches) {
            QJsonObject mo{{QStringLiteral("id"), m.expertId}, {QStringLiteral("unit"), m.unit}};
            if (m.former) {
                mo.insert(QStringLiteral("from"), m.from);
                mo.insert(QStringLiteral("to"), m.to);
            }
            matches.append(mo);
        }
        o.insert(QStringLiteral("unitMatches"), matches);
    }
    if (EligibilityTookPart(eligibility, eligible))
        o.insert(QStringLiteral("eligibility"),
                 QJsonDocument::fromJson(EligibilityToText(eligibility, eligible).toUtf8()).object());
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool AvoidanceFromText(const QString &text, AvoidanceRules *rules, AvoidanceCounts *counts,
                       EligibilityRules *eligibility, EligibilityCounts *eligible)
{
    *rules = AvoidanceRules();
    *counts = AvoidanceCounts();
    if (eligibility)
        *eligibility = EligibilityRules();
    if (eligible)
        *eligible = EligibilityCounts();
    if (text.isEmpty())
        return true;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    for (const QJsonValue &u : o.value(QStringLiteral("units")).toArray())
        rules->units << u.toString();
    for (const QJsonValue &e : o.value(QStringLiteral("experts")).toArray()) {
        rules->expertIds << e.toObject().value(QStringLiteral("id")).toString();
        rules->expertNames << e.toObject().value(QStringLiteral("name")).toString();
    }
    rules->recentDays = o.value(QStringLiteral("recentDays")).toInt();
    // Rounds drawn before former units were kept matched the current unit alone.
    rules->formerYears = o.value(QStringLiteral("formerYears")).toInt(0);
    const QJsonObject reasons = o.value(QStringLiteral("reasons")).toObject();
    rules->unitsReason = reasons.value(QStringLiteral("units")).toString();
    rules->expertsReason = reasons.value(QStringLiteral("experts")).toString();
    rules->recentReason = reasons.value(QStringLiteral("recent")).toString();
    for (const QJsonValue &g : o.value(QStringLiteral("aliases")).toArray()) {
        QStringList names;
        for (const QJsonValue &n : g.toArray())
            names << n.toString();
        counts->aliases << names;
    }
    if (const QJsonValue m = o.value(QStringLiteral("unitMatches")); m.isArray()) {
        counts->unitsRecorded = true;
        for (const QJsonValue &v : m.toArray()) {
            const QJsonObject mo = v.toObject();
            UnitMatch match;
            match.expertId = mo.value(QStringLiteral("id")).toString();
            match.unit = mo.value(QStringLiteral("unit")).toString();
            match.former = mo.contains(QStringLiteral("from")) || mo.contains(QStringLiteral("to"));
            match.from = mo.value(QStringLiteral("from")).toString();
            match.to = mo.value(QStringLiteral("to")).toString();
            counts->unitMatches << match;
        }
    }
    const QJsonObject removed = o.value(QStringLiteral("removed")).toObject();
    counts->formerUnits = qsizetype(removed.value(QStringLiteral("formerUnits")).toDouble());
    counts->units = qsizetype(removed.value(QStringLiteral("units")).toDouble());
    counts->experts = qsizetype(removed.value(QStringLiteral("experts")).toDouble());
    counts->recent = qsizetype(removed.value(QStringLiteral("recent")).toDouble());
    counts->total = qsizetype(removed.value(QStringLiteral("total")).toDouble());
    if (const QJsonValue e = o.value(QStringLiteral("eligibility")); e.isObject() && eligibility && eligible) {
        const QString inner = QString::fromUtf8(QJsonDocument(e.toObject()).toJson(QJsonDocument::Compact));
        if (!EligibilityFromText(inner, eligibility, eligible))
            return false;
    }
    return true;
}

QByteArray PackCandidates(const QStringList &ids) { return qCompress(ids.join(QLatin1Char('\n')).toUtf8()); }

bool UnpackCandidates(const QByteArray &packed, QStringList *ids)
{
    ids->clear();
    // An empty candidate list packs to the compressed empty text.
    const QByteArray raw = qUncompress(packed);
    if (raw.isEmpty()) {
        return packed == PackCandidates({});
    }
    *ids = QString::fromUtf8(raw).split(QLatin1Char('\n'));
    return true;
}

QString CandidateHash(const QStringList &ids)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(ids.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString SnapshotHash(const QStringList &row, const QString &title)
{
    QStringList fields = row;
    while (fields.size() < 8)
        fields.append(QString());
    fields = fields.mid(0, 8);
    fields.append(title);
    return CandidateHash(fields);
}

DrawRound TemporaryRound(const QStringList &row, const QDateTime &now)
{
    DrawRound r;
    r.type = RoundType::Temporary;
    r.candidateIds = QStringList{row.value(0)};
    r.confirmedIds = r.candidateIds;
    r.drawnAt = now;
    return r;
}

namespace {

QJsonArray indexArray(const QVector<qsizetype> &v)
{
    QJsonArray a;
    for (qsizetype i : v)
        a.append(double(i));
    return a;
}

QVector<qsizetype> readIndexes(const QJsonValue &v)
{
    QVector<qsizetype> out;
    for (const QJsonValue &x : v.toArray())
        out.append(qsizetype(x.toDouble()));
    return out;
}

QStringList readStrings(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &x : v.toArray())
        out << x.toString();
    return out;
}

}   // namespace

QString DrawEventDetail(const DrawEvent &e)
{
    QJsonObject o;
    if (e.round) {
        const DrawRound &r = *e.round;
        QJsonObject ro;
        ro.insert(QStringLiteral("type"), r.type);
        ro.insert(QStringLiteral("criteria"), QJsonArray::fromStringList(r.criteria));
        ro.insert(QStringLiteral("criteriaText"), r.criteriaText);
        ro.insert(QStringLiteral("avoidance"), AvoidanceToText(r.avoidance, r.avoided, r.eligibility, r.eligible));
        ro.insert(QStringLiteral("candidateCount"), double(r.candidateIds.size()));
        ro.insert(QStringLiteral("candidateHash"), CandidateHash(r.candidateIds));
        if (r.seed)
            ro.insert(QStringLiteral("seed"), QString::number(*r.seed));
        ro.insert(QStringLiteral("requested"), double(r.requested));
        ro.insert(QStringLiteral("picks"), indexArray(r.picks));
        QStringList pickedIds;
        for (qsizetype p : r.picks)
            pickedIds << r.candidateIds.value(p);
        ro.insert(QStringLiteral("pickedIds"), QJsonArray::fromStringList(pickedIds));
        if (!r.rolledId.isEmpty())
            ro.insert(QStringLiteral("rolledId"), r.rolledId);
        if (r.supervised) {
            const SupervisedSeed &s = *r.supervised;
            ro.insert(QStringLiteral("commitment"), s.commitment);
            ro.insert(QStringLiteral("committedAt"), s.committedAt.toString(Qt::ISODate));
            if (!s.revealed.isEmpty())
                ro.insert(QStringLiteral("revealed"), QString::fromLatin1(s.revealed.toHex()));
            ro.insert(QStringLiteral("supervisorNumber"), s.supervisorNumber);
            ro.insert(QStringLiteral("publicNumber"), s.publicNumber);
        }
        if (r.reserve)
            ro.insert(QStringLiteral("reserve"), ReserveUseToText(*r.reserve));
        o.insert(QStringLiteral("round"), ro);
    }
    if (!e.expertIds.isEmpty())
        o.insert(QStringLiteral("experts"), QJsonArray::fromStringList(e.expertIds));
    if (!e.notConfirmed.isEmpty())
        o.insert(QStringLiteral("notConfirmed"), QJsonArray::fromStringList(e.notConfirmed));
    if (!e.note.isEmpty())
        o.insert(QStringLiteral("note"), e.note);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool ReadDrawEventDetail(const QString &text, DrawEvent *e)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    e->expertIds = readStrings(o.value(QStringLiteral("experts")));
    e->notConfirmed = readStrings(o.value(QStringLiteral("notConfirmed")));
    e->note = o.value(QStringLiteral("note")).toString();
    e->round.reset();
    if (o.contains(QStringLiteral("round"))) {
        const QJsonObject ro = o.value(QStringLiteral("round")).toObject();
        DrawRound r;
        r.type = ro.value(QStringLiteral("type")).toString();
        r.criteria = readStrings(ro.value(QStringLiteral("criteria")));
        r.criteriaText = ro.value(QStringLiteral("criteriaText")).toString();
        AvoidanceFromText(ro.value(QStringLiteral("avoidance")).toString(), &r.avoidance, &r.avoided, &r.eligibility,
                          &r.eligible);
        r.storedCount = qsizetype(ro.value(QStringLiteral("candidateCount")).toDouble());
        r.storedHash = ro.value(QStringLiteral("candidateHash")).toString();
        if (ro.contains(QStringLiteral("seed")))
            r.seed = ro.value(QStringLiteral("seed")).toString().toULongLong();
        r.requested = qsizetype(ro.value(QStringLiteral("requested")).toDouble());
        r.picks = readIndexes(ro.value(QStringLiteral("picks")));
        r.confirmedIds = readStrings(ro.value(QStringLiteral("pickedIds")));   // what was drawn, for display
        r.rolledId = ro.value(QStringLiteral("rolledId")).toString();
        if (ro.contains(QStringLiteral("commitment"))) {
            SupervisedSeed s;
            s.commitment = ro.value(QStringLiteral("commitment")).toString();
            s.committedAt = QDateTime::fromString(ro.value(QStringLiteral("committedAt")).toString(), Qt::ISODate);
            s.revealed = QByteArray::fromHex(ro.value(QStringLiteral("revealed")).toString().toLatin1());
            s.supervisorNumber = ro.value(QStringLiteral("supervisorNumber")).toString();
            s.publicNumber = ro.value(QStringLiteral("publicNumber")).toString();
            r.supervised = s;
        }
        if (ro.contains(QStringLiteral("reserve"))) {
            ReserveUse use;
            if (ReserveUseFromText(ro.value(QStringLiteral("reserve")).toString(), &use))
                r.reserve = use;
        }
        e->round = r;
    }
    return true;
}

QString DescribeDrawEvent(const DrawEvent &e)
{
    QString text =
        QStringLiteral("%1 %2 %3").arg(e.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.operatorName, e.kind);
    if (e.round) {
        const DrawRound &r = *e.round;
        text += QStringLiteral("（%1%2，候选专家%3人，SHA-256 %4）")
                    .arg(r.type, r.supervised ? QStringLiteral("，监督抽取") : QString())
                    .arg(r.storedCount >= 0 ? r.storedCount : r.candidateIds.size())
                    .arg(r.storedHash.isEmpty() ? CandidateHash(r.candidateIds).left(16) : r.storedHash.left(16));
        if (r.type == RoundType::Rolling)
            text += QStringLiteral("：滚动停在%1（不可重现）").arg(r.rolledId);
        else if (!r.confirmedIds.isEmpty())
            text += QStringLiteral("：抽出%1").arg(r.confirmedIds.join(QStringLiteral("、")));
        else if (r.type == RoundType::Manual)
            text += QStringLiteral("：列出全部候选专家");
        if (r.supervised && e.kind == DrawEventKind::CalledOff)
            text += QStringLiteral("，承诺值%1").arg(r.supervised->commitment);
    }
    if (!e.expertIds.isEmpty())
        text += QStringLiteral("：%1").arg(e.expertIds.join(QStringLiteral("、")));
    if (!e.notConfirmed.isEmpty())
        text += QStringLiteral("；抽出而未确认：%1").arg(e.notConfirmed.join(QStringLiteral("、")));
    if (!e.projectId.isEmpty())
        text += QStringLiteral("（项目%1）").arg(e.projectId);
    return text;
}
