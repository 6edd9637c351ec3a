#include "data/DrawRecord.h"

#include "data/Wildcard.h"
#include "data/Vocabulary.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

constexpr int kIdColumn = 0;
constexpr int kCompanyColumn = 4;
constexpr int kSelDateColumn = 1;
constexpr int kSelExpertColumn = 2;

// The rules made ready for many candidates.
struct CompiledRules {
    QVector<WildcardPattern> units;
    QSet<QString> experts;
    QSet<QString> recent;

    CompiledRules(const AvoidanceRules &rules, const TextTable &selections, const QDate &today)
    {
        for (const QString &line : rules.units) {
            const QString unit = line.trimmed();
            if (!unit.isEmpty())
                units.append(WildcardPattern(unit));
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

    bool unitMatches(QStringView company) const
    {
        const QStringView unit = company.trimmed();
        for (const WildcardPattern &p : units)
            if (p.matches(unit))
                return true;
        return false;
    }
};

}   // namespace

AvoidanceCounts CountAvoidance(const TextTable &candidates, const AvoidanceRules &rules, const TextTable &selections,
                               const QDate &today)
{
    TextTable copy = candidates;
    return ApplyAvoidance(copy, rules, selections, today);
}

AvoidanceCounts ApplyAvoidance(TextTable &candidates, const AvoidanceRules &rules, const TextTable &selections,
                               const QDate &today)
{
    AvoidanceCounts counts;
    if (rules.isEmpty())
        return counts;
    const CompiledRules compiled(rules, selections, today);
    candidates.removeRowsIf([&](const TextTable &table, qsizetype r) {
        const QString id = table.cell(r, kIdColumn).toString();
        const bool byUnit = compiled.unitMatches(table.cell(r, kCompanyColumn));
        const bool byName = compiled.experts.contains(id);
        const bool byRecent = compiled.recent.contains(id);
        counts.units += byUnit;
        counts.experts += byName;
        counts.recent += byRecent;
        if (byUnit || byName || byRecent)
            ++counts.total;
        return byUnit || byName || byRecent;
    });
    return counts;
}

QString DescribeAvoidance(const AvoidanceRules &rules, const AvoidanceCounts *counts)
{
    if (rules.isEmpty())
        return QStringLiteral("无");
    QStringList parts;
    QStringList units;
    for (const QString &u : rules.units)
        if (!u.trimmed().isEmpty())
            units << u.trimmed();
    if (!units.isEmpty())
        parts << QStringLiteral("回避单位：%1").arg(units.join(QStringLiteral("、")));
    if (!rules.expertIds.isEmpty()) {
        QStringList named;
        for (qsizetype i = 0; i < rules.expertIds.size(); ++i) {
            const QString name = rules.expertNames.value(i).trimmed();
            named << (name.isEmpty() ? rules.expertIds[i] : QStringLiteral("%1(%2)").arg(name, rules.expertIds[i]));
        }
        parts << QStringLiteral("回避专家：%1").arg(named.join(QStringLiteral("、")));
    }
    if (rules.recentDays > 0)
        parts << QStringLiteral("回避近%1天内抽取过的专家").arg(rules.recentDays);
    QString text = parts.join(QStringLiteral("；"));
    if (counts)
        text += QStringLiteral("（单位回避%1人，指定专家回避%2人，近期抽取回避%3人，共回避%4人）")
                    .arg(counts->units)
                    .arg(counts->experts)
                    .arg(counts->recent)
                    .arg(counts->total);
    return text;
}

QString AvoidanceToText(const AvoidanceRules &rules, const AvoidanceCounts &counts)
{
    QJsonObject o;
    o.insert(QStringLiteral("units"), QJsonArray::fromStringList(rules.units));
    QJsonArray experts;
    for (qsizetype i = 0; i < rules.expertIds.size(); ++i)
        experts.append(QJsonObject{{QStringLiteral("id"), rules.expertIds[i]},
                                   {QStringLiteral("name"), rules.expertNames.value(i)}});
    o.insert(QStringLiteral("experts"), experts);
    o.insert(QStringLiteral("recentDays"), rules.recentDays);
    o.insert(QStringLiteral("removed"), QJsonObject{{QStringLiteral("units"), double(counts.units)},
                                                    {QStringLiteral("experts"), double(counts.experts)},
                                                    {QStringLiteral("recent"), double(counts.recent)},
                                                    {QStringLiteral("total"), double(counts.total)}});
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool AvoidanceFromText(const QString &text, AvoidanceRules *rules, AvoidanceCounts *counts)
{
    *rules = AvoidanceRules();
    *counts = AvoidanceCounts();
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
    const QJsonObject removed = o.value(QStringLiteral("removed")).toObject();
    counts->units = qsizetype(removed.value(QStringLiteral("units")).toDouble());
    counts->experts = qsizetype(removed.value(QStringLiteral("experts")).toDouble());
    counts->recent = qsizetype(removed.value(QStringLiteral("recent")).toDouble());
    counts->total = qsizetype(removed.value(QStringLiteral("total")).toDouble());
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
