#include "extraction/ProjectDraws.h"

#include "data/SeededDraw.h"

#include <QMap>
#include <QSet>

namespace {

// Captions of the eight criterion slots on the draw screen.
const char *const kSlotCaptions[kSelectionCriteriaCount] = {
    "专家姓名：", "专家性质：", "职称类别：", "参评专业：", "从事专业：", "职称级别：", "资格名称：", "工作单位：",
};
constexpr int kTitleLevelSlot = 5;

SelectionCriteria CriteriaOf(const DrawRound &round)
{
    SelectionCriteria c;
    for (int i = 0; i < kSelectionCriteriaCount; ++i)
        c[i] = round.criteria.value(i);
    return c;
}

} // namespace

QString CriteriaText(const SelectionCriteria &criteria, const TextTable &titleTypes)
{
    QStringList parts;
    for (int i = 0; i < kSelectionCriteriaCount; ++i) {
        QString value = criteria[i];
        if (value.isEmpty())
            continue;
        if (i == kTitleLevelSlot) {
            // The slot holds the level's position; show its name.
            bool ok = false;
            const int row = value.toInt(&ok);
            if (ok && row > 0 && row < titleTypes.count())
                value = titleTypes.cell(row, 1);
        }
        parts << QString::fromUtf8(kSlotCaptions[i]) + value;
    }
    return parts.isEmpty() ? QStringLiteral("无") : parts.join(QStringLiteral("；"));
}

AvoidanceCounts BuildCandidates(const DataStore &store, const SelectionCriteria &criteria,
                                const AvoidanceRules &rules, const QDate &today, TextTable &candidates)
{
    FilterCandidates(store.ExpertTable, criteria, candidates);
    return ApplyAvoidance(candidates, rules, store.SelectionTable, today);
}

DrawRound NewRound(const QString &type, const SelectionCriteria &criteria, const TextTable &titleTypes,
                   const AvoidanceRules &rules, const AvoidanceCounts &avoided, const TextTable &candidates,
                   const QDateTime &now)
{
    DrawRound r;
    r.type = type;
    r.criteria = QStringList(criteria.begin(), criteria.end());
    r.criteriaText = CriteriaText(criteria, titleTypes);
    r.avoidance = rules;
    r.avoided = avoided;
    r.candidateIds.reserve(candidates.count());
    for (const QStringList &row : candidates.rows)
        r.candidateIds.append(row.value(0));
    r.drawnAt = now;
    return r;
}

TextTable SeededPick(DrawRound &round, const TextTable &candidates, qsizetype n, RandomSource &random)
{
    round.requested = n;
    round.picks.clear();
    round.seed.reset();
    if (n >= candidates.count())
        return candidates;
    const quint64 seed = random.nextSeed();
    round.seed = seed;
    round.picks = SeededDraw(candidates.count(), n, seed);
    TextTable out;
    out.rows.reserve(round.picks.size());
    for (qsizetype i : round.picks)
        out.append(candidates.rows.at(i));
    return out;
}

QList<int> AwaitingSubstitute(const ProjectDetail &project)
{
    QSet<int> replaced;
    for (const ProjectExpert &e : project.experts)
        if (e.replacesSeq > 0)
            replaced.insert(e.replacesSeq);
    QList<int> out;
    for (const ProjectExpert &e : project.experts)
        if (e.attendance == Attendance::Declined && !replaced.contains(e.seq))
            out.append(e.seq);
    return out;
}

QList<SubstituteRound> DrawSubstitutes(const DataStore &store, const ProjectDetail &project, RandomSource &random,
                                       const QDateTime &now, QList<int> *unfilled)
{
    // The declined, grouped by the round that drew them: each group is drawn
    // again under its own round's criteria and avoidance.
    QMap<int, QList<int>> byRound;
    for (int seq : AwaitingSubstitute(project))
        byRound[project.expert(seq)->round].append(seq);

    QSet<QString> drawn;
    for (const ProjectExpert &e : project.experts)
        drawn.insert(e.id());

    QList<SubstituteRound> rounds;
    for (auto it = byRound.constBegin(); it != byRound.constEnd(); ++it) {
        const DrawRound *source = project.round(it.key());
        const SelectionCriteria criteria = source ? CriteriaOf(*source) : SelectionCriteria{};
        const AvoidanceRules rules = source ? source->avoidance : AvoidanceRules{};

        TextTable candidates;
        const AvoidanceCounts avoided = BuildCandidates(store, criteria, rules, now.date(), candidates);
        candidates.rows.removeIf([&drawn](const QStringList &row) { return drawn.contains(row.value(0)); });

        const QList<int> &declined = it.value();
        if (candidates.isEmpty()) {
            if (unfilled)
                *unfilled << declined;
            continue;
        }
        SubstituteRound s;
        s.round = NewRound(RoundType::Substitute, criteria, store.TitleTypeTable, rules, avoided, candidates, now);
        const TextTable picked = SeededPick(s.round, candidates, declined.size(), random);
        for (qsizetype k = 0; k < declined.size(); ++k) {
            if (k >= picked.count()) {
                if (unfilled)
                    unfilled->append(declined[k]);
                continue;
            }
            s.picks.append({declined[k], picked.rows.at(k)});
            s.round.confirmedIds.append(picked.cell(k, 0));
            drawn.insert(picked.cell(k, 0));
        }
        rounds.append(s);
    }
    return rounds;
}
