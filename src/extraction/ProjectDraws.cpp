#include "extraction/ProjectDraws.h"

#include "data/Vocabulary.h"
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

}   // namespace

QString CriteriaText(const SelectionCriteria &criteria, const TextTable &titleTypes)
{
    QStringList parts;
    for (int i = 0; i < kSelectionCriteriaCount; ++i) {
        QString value = criteria[i];
        if (value.isEmpty())
            continue;
        if (i == kTitleLevelSlot) {
            // The slot holds the level's position; show its name.
            const qsizetype row = ReferenceRowForCode(titleTypes, value);
            if (row > 0)
                value = titleTypes.cell(row, 1).toString();
        }
        parts << QString::fromUtf8(kSlotCaptions[i]) + value;
    }
    return parts.isEmpty() ? QStringLiteral("无") : parts.join(QStringLiteral("；"));
}

AvoidanceCounts BuildCandidates(const DataStore &store, const SelectionCriteria &criteria, const AvoidanceRules &rules,
                                const QDate &today, TextTable &candidates)
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
    for (qsizetype k = 0; k < candidates.count(); ++k)
        r.candidateIds.append(candidates.cell(k, 0).toString());
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
    out.reserve(round.picks.size());
    for (qsizetype i : round.picks)
        out.appendRowOf(candidates, i);
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
        candidates.removeRowsIf(
            [&drawn](const TextTable &table, qsizetype r) { return drawn.contains(table.cell(r, 0).toString()); });

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
            s.picks.append({declined[k], picked.row(k)});
            s.round.confirmedIds.append(picked.cell(k, 0).toString());
            drawn.insert(picked.cell(k, 0).toString());
        }
        rounds.append(s);
    }
    return rounds;
}

namespace {

QString WhoIs(const ProjectDetail &project, const QString &id)
{
    for (const ProjectExpert &e : project.experts)
        if (e.id() == id)
            return QStringLiteral("%1(%2)").arg(e.name().trimmed(), id);
    return id;
}

QString WhatWasDrawn(const DrawRound &r)
{
    if (RoundType::IsSeeded(r.type)) {
        if (r.picks.isEmpty())
            return QStringLiteral("抽取%1人，候选不足%2人，全部列出").arg(r.requested).arg(r.requested + 1);
        QStringList positions;
        for (qsizetype p : r.picks)
            positions << QString::number(p + 1);
        return QStringLiteral("抽取%1人，抽中候选名单第%2位")
            .arg(r.requested)
            .arg(positions.join(QStringLiteral("、")));
    }
    if (r.type == RoundType::Rolling)
        return QStringLiteral("滚动停在专家编号%1").arg(r.rolledId);
    if (r.type == RoundType::Temporary)
        return QStringLiteral("新建的临时专家");
    return QStringLiteral("从候选名单中手工勾选");
}

}   // namespace

TextTable ProjectExpertRows(const ProjectDetail &project)
{
    TextTable t;
    for (const ProjectExpert &e : project.experts) {
        QStringList notes;
        if (e.attendance == Attendance::Declined && !e.reason.isEmpty())
            notes << QStringLiteral("拒绝原因：%1").arg(e.reason);
        if (e.replacesSeq > 0) {
            const ProjectExpert *replaced = project.expert(e.replacesSeq);
            notes << QStringLiteral("替换第%1位%2")
                         .arg(e.replacesSeq)
                         .arg(replaced ? replaced->name().trimmed() : QString());
        }
        for (const ProjectExpert &other : project.experts)
            if (other.replacesSeq == e.seq)
                notes << QStringLiteral("由第%1位%2替换").arg(other.seq).arg(other.name().trimmed());
        const DrawRound *r = project.round(e.round);
        t.append({QString::number(e.seq), e.name(), e.row.value(2), e.row.value(4), e.row.value(5), e.row.value(7),
                  r ? QStringLiteral("%1 %2").arg(e.round).arg(r->type) : QString::number(e.round), e.attendance,
                  e.attendanceTime, notes.join(QStringLiteral("；"))});
    }
    return t;
}

TextTable ProjectRoundRows(const ProjectDetail &project)
{
    TextTable t;
    for (const DrawRound &r : project.rounds) {
        QStringList confirmed;
        for (const QString &id : r.confirmedIds)
            confirmed << WhoIs(project, id);
        t.append({QString::number(r.number), r.type, r.drawnAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                  r.criteriaText.isEmpty() ? QStringLiteral("无") : r.criteriaText,
                  DescribeAvoidance(r.avoidance, r.avoidance.isEmpty() ? nullptr : &r.avoided),
                  QString::number(r.candidateIds.size()), r.storedHash, r.seed ? QString::number(*r.seed) : QString(),
                  WhatWasDrawn(r), confirmed.join(QStringLiteral("、"))});
    }
    return t;
}

QString ProjectRoundsText(const ProjectDetail &project)
{
    QStringList paragraphs;
    const TextTable rounds = ProjectRoundRows(project);
    for (qsizetype k = 0; k < rounds.count(); ++k) {
        const QStringList r = rounds.row(k);
        QString text =
            QStringLiteral("第%1轮  %2  %3\n  检索条件：%4\n  回避条件：%5\n  候选专家：%6人  候选名单SHA-256：%7")
                .arg(r[PR_Number], r[PR_Type], r[PR_Time], r[PR_Criteria], r[PR_Avoidance], r[PR_Candidates],
                     r[PR_Hash]);
        if (!r[PR_Seed].isEmpty())
            text += QStringLiteral("\n  随机种子：%1").arg(r[PR_Seed]);
        text += QStringLiteral("\n  %1\n  确认：%2")
                    .arg(r[PR_Drawn], r[PR_Confirmed].isEmpty() ? QStringLiteral("无") : r[PR_Confirmed]);
        paragraphs << text;
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

DrawRecordContent DrawRecordOf(const ProjectDetail &project)
{
    DrawRecordContent c;
    const ProjectFacts &f = project.facts;
    c.facts = {f.name,
               f.code,
               f.client,
               f.reviewTime,
               f.reviewPlace,
               f.supervisor,
               project.operatorName,
               project.createdDate + QLatin1Char(' ') + project.createdTime,
               f.remark};
    const TextTable rounds = ProjectRoundRows(project);
    for (qsizetype k = 0; k < rounds.count(); ++k)
        c.rounds.appendCells({rounds.cell(k, PR_Number), rounds.cell(k, PR_Type), rounds.cell(k, PR_Time),
                              rounds.cell(k, PR_Criteria), rounds.cell(k, PR_Avoidance), rounds.cell(k, PR_Candidates),
                              rounds.cell(k, PR_Hash), rounds.cell(k, PR_Seed)});
    const TextTable experts = ProjectExpertRows(project);
    for (qsizetype k = 0; k < experts.count(); ++k)
        c.experts.appendCells({experts.cell(k, PE_Seq), experts.cell(k, PE_Name), experts.cell(k, PE_Sex),
                               experts.cell(k, PE_Company), experts.cell(k, PE_Profession), experts.cell(k, PE_Mobile),
                               experts.cell(k, PE_Round), experts.cell(k, PE_Attendance), experts.cell(k, PE_Note)});
    return c;
}
