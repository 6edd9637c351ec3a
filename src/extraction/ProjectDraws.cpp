#include "extraction/ProjectDraws.h"

#include "data/DrawVerify.h"
#include "data/PersonalData.h"
#include "data/ExpertRecord.h"
#include "data/PersonalData.h"
#include "data/Schema.h"
#include "data/Vocabulary.h"
#include "data/SeededDraw.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

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

Result<KeptOut> BuildCandidates(const DataStore &store, const SelectionCriteria &criteria, const AvoidanceRules &rules,
                                const QDate &today, TextTable &candidates, const QDate &reviewDate)
{
    const Result<DrawEligibility> eligibility = ReadDrawEligibility(store, reviewDate.isValid() ? reviewDate : today);
    if (!eligibility) {
        candidates.clear();
        return eligibility.failure().prefixed(QStringLiteral("无法读取抽取规则，本次没有抽取：\n"));
    }
    return BuildCandidates(store, criteria, rules, today, eligibility.value(), candidates);
}

KeptOut BuildCandidates(const DataStore &store, const SelectionCriteria &criteria, const AvoidanceRules &rules,
                        const QDate &today, const DrawEligibility &eligibility, TextTable &candidates)
{
    KeptOut out;
    out.eligibility = eligibility.rules;
    out.eligible = FilterCandidates(store.ExpertTable, criteria, eligibility, candidates);
    out.avoided = ApplyAvoidance(candidates, rules, store.SelectionTable, today, &eligibility.units);
    return out;
}

QDate ReviewDay(const ProjectDetail &project, const QDate &fallback)
{
    const QDate day = ReadRecordDate(project.facts.reviewTime);
    return day.isValid() ? day : fallback;
}

DrawRound NewRound(const QString &type, const SelectionCriteria &criteria, const TextTable &titleTypes,
                   const AvoidanceRules &rules, const KeptOut &keptOut, const TextTable &candidates,
                   const QDateTime &now)
{
    DrawRound r;
    r.type = type;
    r.criteria = QStringList(criteria.begin(), criteria.end());
    r.criteriaText = CriteriaText(criteria, titleTypes);
    r.avoidance = rules;
    r.avoided = keptOut.avoided;
    r.eligibility = keptOut.eligibility;
    r.eligible = keptOut.eligible;
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

TextTable SupervisedPick(DrawRound &round, const TextTable &candidates, qsizetype n, const SupervisedSeed &seed)
{
    round.requested = n;
    round.seed.reset();
    round.supervised = seed;
    round.picks = seed.order.mid(0, std::min(n, qsizetype(seed.order.size())));
    TextTable out;
    out.reserve(round.picks.size());
    for (qsizetype i : round.picks)
        out.appendRowOf(candidates, i);
    return out;
}

ReserveDraw TakeFromReserve(const DrawRound &source, qsizetype start, qsizetype n,
                            const std::function<QString(const QString &id)> &unavailable)
{
    ReserveDraw d;
    d.use.fromRound = source.number;
    if (!source.supervised)
        return d;
    const QVector<qsizetype> &order = source.supervised->order;
    for (qsizetype pos = start; pos < order.size() && d.picks.size() < n; ++pos) {
        const QString id = source.candidateIds.value(order[pos]);
        const QString reason = unavailable(id);
        if (!reason.isEmpty()) {
            d.use.skipped.append({pos, id, reason});
            continue;
        }
        d.use.taken.append(pos);
        d.picks.append(order[pos]);
    }
    return d;
}

qsizetype ReserveStart(const ProjectDetail &project, int number)
{
    const DrawRound *source = project.round(number);
    qsizetype next = source ? source->picks.size() : 0;
    for (const DrawRound &r : project.rounds) {
        if (!r.reserve || r.reserve->fromRound != number)
            continue;
        for (qsizetype p : r.reserve->taken)
            next = std::max(next, p + 1);
        for (const ReserveUse::Skip &s : r.reserve->skipped)
            next = std::max(next, s.position + 1);
    }
    return next;
}

QString UnavailableReason(const DataStore &store, const QString &id, const QSet<QString> &drawn,
                          const AvoidanceRules &rules, const QDate &today, const EligibilityCheck *eligibility,
                          const UnitRecords *units)
{
    if (drawn.contains(id))
        return QStringLiteral("已为本项目抽出");
    const qsizetype row = FindExpertRow(store, id);
    if (row < 0)
        return QStringLiteral("已从专家库删除");
    if (store.ExpertTable.cell(row, Schema::E_Status) != kStatusEnabled)
        return QStringLiteral("已停用");
    if (eligibility && eligibility->isSuspended(id))
        return QStringLiteral("已暂停抽取");
    TextTable one;
    FilterCandidates(store.ExpertTable, SelectionCriteria{}, one);
    one.removeRowsIf([&id](const TextTable &t, qsizetype r) { return t.cell(r, 0) != id; });
    if (!one.isEmpty() && CountAvoidance(one, rules, store.SelectionTable, today, units).total > 0)
        return QStringLiteral("按回避条件应回避");
    if (EligibilityCounts counts;
        eligibility && eligibility->active() && !eligibility->admits(store.ExpertTable, row, counts))
        return QStringLiteral("不符合抽取规则");
    return {};
}

QList<int> AwaitingSubstitute(const ProjectDetail &project)
{
    QSet<int> replaced;
    for (const ProjectExpert &e : project.experts)
        if (e.replacesSeq > 0)
            replaced.insert(e.replacesSeq);
    QList<int> out;
    for (const ProjectExpert &e : project.experts)
        if (Attendance::IsAbsence(e.attendance) && !replaced.contains(e.seq))
            out.append(e.seq);
    return out;
}

QList<SubstituteRound> DrawSubstitutes(const DataStore &store, const ProjectDetail &project, RandomSource &random,
                                       const QDateTime &now, QList<int> *unfilled, const SuperviseDraw &supervise)
{
    const Result<DrawEligibility> eligibility = ReadDrawEligibility(store, ReviewDay(project, now.date()));
    if (!eligibility) {
        if (unfilled)
            *unfilled << AwaitingSubstitute(project);
        return {};
    }
    return DrawSubstitutes(store, project, eligibility.value(), random, now, unfilled, supervise);
}

QList<SubstituteRound> DrawSubstitutes(const DataStore &store, const ProjectDetail &project,
                                       const DrawEligibility &eligibility, RandomSource &random, const QDateTime &now,
                                       QList<int> *unfilled, const SuperviseDraw &supervise)
{
    // The declined, grouped by the round that drew them: each group is drawn
    // again under its own round's criteria and avoidance.
    QMap<int, QList<int>> byRound;
    for (int seq : AwaitingSubstitute(project))
        byRound[project.expert(seq)->round].append(seq);

    QSet<QString> drawn;
    for (const ProjectExpert &e : project.experts)
        drawn.insert(e.id());

    const EligibilityCheck check(eligibility.rules, eligibility.reviewDate, eligibility.confirmed,
                                 eligibility.suspended);

    QList<SubstituteRound> rounds;
    for (auto it = byRound.constBegin(); it != byRound.constEnd(); ++it) {
        const DrawRound *source = project.round(it.key());
        const SelectionCriteria criteria = source ? CriteriaOf(*source) : SelectionCriteria{};
        const AvoidanceRules rules = source ? source->avoidance : AvoidanceRules{};
        const QList<int> &group = it.value();

        if (source && source->supervised) {
            // The reserve decides who comes next, whoever declined.
            const ReserveDraw taken =
                TakeFromReserve(*source, ReserveStart(project, source->number), group.size(), [&](const QString &id) {
                    return UnavailableReason(store, id, drawn, rules, now.date(), &check, &eligibility.units);
                });
            SubstituteRound s;
            s.round.type = RoundType::Substitute;
            s.round.criteria = source->criteria;
            s.round.criteriaText = source->criteriaText;
            s.round.avoidance = source->avoidance;
            s.round.avoided = source->avoided;
            s.round.eligibility = source->eligibility;
            s.round.eligible = source->eligible;
            s.round.candidateIds = source->candidateIds;
            s.round.requested = group.size();
            s.round.picks = taken.picks;
            s.round.reserve = taken.use;
            s.round.drawnAt = now;
            for (qsizetype k = 0; k < group.size(); ++k) {
                if (k >= taken.picks.size()) {
                    if (unfilled)
                        unfilled->append(group[k]);
                    continue;
                }
                const QString id = source->candidateIds.value(taken.picks[k]);
                const qsizetype row = FindExpertRow(store, id);
                QStringList drawRow;
                drawRow << id;
                for (int col : {Schema::E_Name, Schema::E_Sex, Schema::E_birth_date, Schema::E_Company_name,
                                Schema::E_cong_shi_zhuanye, Schema::E_zige_name, Schema::E_Mobile})
                    drawRow << store.ExpertTable.cell(row, col).toString();
                s.picks.append({group[k], drawRow});
                s.round.confirmedIds.append(id);
                drawn.insert(id);
            }
            // Even a round that found nobody is kept: its skips are on record.
            rounds.append(s);
            continue;
        }

        TextTable candidates;
        const KeptOut keptOut = BuildCandidates(store, criteria, rules, now.date(), eligibility, candidates);
        candidates.removeRowsIf(
            [&drawn](const TextTable &table, qsizetype r) { return drawn.contains(table.cell(r, 0).toString()); });

        const QList<int> &declined = it.value();
        if (candidates.isEmpty()) {
            if (unfilled)
                *unfilled << declined;
            continue;
        }
        SubstituteRound s;
        s.round = NewRound(RoundType::Substitute, criteria, store.TitleTypeTable, rules, keptOut, candidates, now);
        TextTable picked;
        if (supervise) {
            const std::optional<SupervisedSeed> seed = supervise(s.round, declined.size());
            if (!seed) {
                if (unfilled)
                    *unfilled << declined;
                continue;
            }
            picked = SupervisedPick(s.round, candidates, declined.size(), *seed);
        } else {
            picked = SeededPick(s.round, candidates, declined.size(), random);
        }
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

QString Positions(const QVector<qsizetype> &indexes)
{
    QStringList positions;
    for (qsizetype p : indexes)
        positions << QString::number(p + 1);
    return positions.join(QStringLiteral("、"));
}

QString WhatWasDrawn(const DrawRound &r)
{
    if (r.reserve) {
        QString text =
            QStringLiteral("监督抽取：从第%1轮的替补名单依次补抽%2人").arg(r.reserve->fromRound).arg(r.requested);
        if (!r.reserve->taken.isEmpty())
            text += QStringLiteral("，用替补名单第%1位（候选名单第%2位）")
                        .arg(Positions(r.reserve->taken), Positions(r.picks));
        QStringList skipped;
        for (const ReserveUse::Skip &s : r.reserve->skipped)
            skipped << QStringLiteral("第%1位%2（%3）").arg(s.position + 1).arg(s.id, s.reason);
        if (!skipped.isEmpty())
            text += QStringLiteral("；跳过：") + skipped.join(QStringLiteral("、"));
        return text;
    }
    if (r.supervised)
        return QStringLiteral("监督抽取：抽取%1人，抽中候选名单第%2位").arg(r.requested).arg(Positions(r.picks));
    if (RoundType::IsSeeded(r.type)) {
        if (r.picks.isEmpty())
            return QStringLiteral("抽取%1人，候选不足%2人，全部列出").arg(r.requested).arg(r.requested + 1);
        QStringList positions;
        for (qsizetype p : r.picks)
            positions << QString::number(p + 1);
        return QStringLiteral("未监督：抽取%1人，抽中候选名单第%2位")
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

QString SupervisedText(const SupervisedSeed &s, qsizetype panel)
{
    QString text = QStringLiteral("  承诺值：%1（%2）\n  监督人号码：%3\n  程序随机数：%4")
                       .arg(s.commitment, s.committedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                            s.supervisorNumber, QString::fromLatin1(s.revealed.toHex()));
    if (!s.publicNumber.isEmpty())
        text += QStringLiteral("\n  公开号码：%1").arg(s.publicNumber);
    const QVector<qsizetype> reserve = s.order.mid(panel, 20);
    if (!reserve.isEmpty())
        text += QStringLiteral("\n  替补名单（候选名单位次，前%1位）：%2").arg(reserve.size()).arg(Positions(reserve));
    return text;
}

TextTable ProjectExpertRows(const ProjectDetail &project)
{
    TextTable t;
    for (const ProjectExpert &e : project.experts) {
        QStringList notes;
        if (e.attendance == Attendance::Declined)
            notes << (e.reason.isEmpty() ? QStringLiteral("拒绝原因：%1").arg(e.reasonKind)
                                         : QStringLiteral("拒绝原因：%1（%2）").arg(e.reasonKind, e.reason));
        else if (e.attendance == Attendance::NoShow)
            notes << QStringLiteral("未到场：%1").arg(e.reason);
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

void MaskProjectExperts(ProjectDetail &project)
{
    for (ProjectExpert &e : project.experts)
        if (e.row.size() > 7)
            e.row[7] = MaskPhone(e.row[7]);
}

TextTable ProjectRoundRows(const ProjectDetail &project, const TextTable *titleTypes)
{
    TextTable t;
    for (const DrawRound &r : project.rounds) {
        QStringList confirmed;
        for (const QString &id : r.confirmedIds)
            confirmed << WhoIs(project, id);
        t.append({QString::number(r.number), r.type, r.drawnAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                  r.criteriaText.isEmpty() ? QStringLiteral("无") : r.criteriaText, DescribeKeptOut(r, titleTypes),
                  QString::number(r.candidateIds.size()), r.storedHash, r.seed ? QString::number(*r.seed) : QString(),
                  WhatWasDrawn(r), confirmed.join(QStringLiteral("、"))});
    }
    return t;
}

QString ProjectRoundsText(const ProjectDetail &project, const TextTable *titleTypes)
{
    QStringList paragraphs;
    const TextTable rounds = ProjectRoundRows(project, titleTypes);
    for (qsizetype k = 0; k < rounds.count(); ++k) {
        const QStringList r = rounds.row(k);
        QString text =
            QStringLiteral("第%1轮  %2  %3\n  检索条件：%4\n  回避条件：%5\n  候选专家：%6人  候选名单SHA-256：%7")
                .arg(r[PR_Number], r[PR_Type], r[PR_Time], r[PR_Criteria], r[PR_Avoidance], r[PR_Candidates],
                     r[PR_Hash]);
        if (!r[PR_Seed].isEmpty())
            text += QStringLiteral("\n  随机种子：%1").arg(r[PR_Seed]);
        if (const DrawRound *round = project.round(r[PR_Number].toInt()); round && round->supervised)
            text += QLatin1Char('\n') + SupervisedText(*round->supervised, round->picks.size());
        text += QStringLiteral("\n  %1\n  确认：%2")
                    .arg(r[PR_Drawn], r[PR_Confirmed].isEmpty() ? QStringLiteral("无") : r[PR_Confirmed]);
        paragraphs << text;
    }
    if (!project.trail.isEmpty()) {
        // Everything the sessions behind the project drew, stored or not.
        const QList<DrawEvent> discarded = project.discardedDraws();
        QStringList lines;
        lines << QStringLiteral("抽取过程记录：共%1条，其中未保存的抽取%2次")
                     .arg(project.trail.size())
                     .arg(discarded.size());
        for (const DrawEvent &e : project.trail)
            lines << QStringLiteral("  %1. %2").arg(e.number).arg(DescribeDrawEvent(e));
        paragraphs << lines.join(QLatin1Char('\n'));
    }
    if (!project.rounds.isEmpty())
        paragraphs << QStringLiteral("记录验证数据（kestrune-verify --record）：\n") + RecordVerificationText(project);
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString UnstoredTrailText(const QList<DrawEvent> &events, const QString &from, const QString &to, int maxLines)
{
    QStringList lines;
    QString day;
    QSet<QString> sessions;
    qsizetype shown = 0, left = 0;
    for (const DrawEvent &e : events) {
        const QString date = e.at.date().toString(QStringLiteral("yyyy-MM-dd"));
        if ((!from.isEmpty() && date < from) || (!to.isEmpty() && date > to))
            continue;
        sessions.insert(e.session);
        if (shown >= maxLines) {
            ++left;
            continue;
        }
        if (date != day) {
            lines << date;
            day = date;
        }
        lines << QStringLiteral("  [%1] %2").arg(e.session.right(10)).arg(DescribeDrawEvent(e));
        ++shown;
    }
    if (sessions.isEmpty())
        return QStringLiteral("没有未保存的抽取。");
    QString text = QStringLiteral("未保存为项目的抽取：%1组，%2条记录\n").arg(sessions.size()).arg(shown + left) +
                   lines.join(QLatin1Char('\n'));
    if (left > 0)
        text += QStringLiteral("\n……另有%1条，请缩小日期范围。").arg(left);
    return text;
}

namespace {

// A CSV field: quoted when it holds a comma, a quote or a line break.
QString CsvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}   // namespace

QString CandidateListCsv(const QString &projectId, const DrawRound &round)
{
    QStringList lines;
    auto field = [&lines](const QString &name, const QString &value) {
        lines << name + QLatin1Char(',') + CsvField(value);
    };
    field(QStringLiteral("项目"), projectId);
    field(QStringLiteral("轮次"), QString::number(round.number));
    field(QStringLiteral("抽取方式"), round.type);
    field(QStringLiteral("监督抽取"), round.supervised ? QStringLiteral("是") : QStringLiteral("否"));
    field(QStringLiteral("抽取时间"), round.drawnAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    field(QStringLiteral("候选人数"), QString::number(round.candidateIds.size()));
    field(QStringLiteral("候选名单SHA-256"), CandidateHash(round.candidateIds));
    field(QStringLiteral("抽取个数"), QString::number(round.requested));
    if (round.supervised) {
        const SupervisedSeed &s = *round.supervised;
        field(QStringLiteral("承诺值"), s.commitment);
        field(QStringLiteral("承诺时间"), s.committedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        field(QStringLiteral("监督人号码"), s.supervisorNumber);
        field(QStringLiteral("程序随机数"), QString::fromLatin1(s.revealed.toHex()));
        field(QStringLiteral("公开号码"), s.publicNumber);
    } else if (round.seed) {
        field(QStringLiteral("随机种子"), QString::number(*round.seed));
    }
    QStringList picked;
    for (qsizetype p : round.picks)
        picked << round.candidateIds.value(p);
    field(QStringLiteral("抽中专家编号"), picked.join(QLatin1Char(' ')));
    lines << QStringLiteral("序号,专家编号");
    for (qsizetype i = 0; i < round.candidateIds.size(); ++i)
        lines << QString::number(i + 1) + QLatin1Char(',') + CsvField(round.candidateIds[i]);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString RoundOperator(const ProjectDetail &project, const DrawRound &round)
{
    // The draw event that became this round: the same draw at the same second.
    const QString second = round.drawnAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const DrawEvent &e : project.trail) {
        if (e.kind != DrawEventKind::Draw || !e.round || e.operatorName.isEmpty())
            continue;
        const DrawRound &r = *e.round;
        if (r.type == round.type && r.candidateIds == round.candidateIds && r.seed == round.seed &&
            r.picks == round.picks && r.rolledId == round.rolledId &&
            e.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) == second)
            return e.operatorName;
    }
    return project.operatorName;
}

DrawRecordContent DrawRecordOf(const ProjectDetail &project, bool maskPersonal, const TextTable *titleTypes)
{
    DrawRecordContent c;
    c.projectId = project.id;
    if (!project.rounds.isEmpty())
        c.verification = RecordVerificationText(project);
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
    const TextTable rounds = ProjectRoundRows(project, titleTypes);
    for (qsizetype k = 0; k < rounds.count(); ++k) {
        const DrawRound *r = project.round(rounds.cell(k, PR_Number).toInt());
        // A signer can check from paper what the round drew and from what:
        // whether it was supervised, the numbers behind it, the picks and who
        // was confirmed (with their Ids).
        QString type = rounds.cell(k, PR_Type).toString();
        if (r && RoundType::IsSeeded(r->type))
            type += r->isSupervised() || r->reserve ? QStringLiteral("（监督抽取）") : QStringLiteral("（未监督）");
        else if (r && r->type == RoundType::Rolling)
            type += QStringLiteral("（按停，不可重现）");
        QStringList drawn;
        if (r && r->supervised)
            drawn << SupervisedText(*r->supervised, r->picks.size())
                         .split(QLatin1Char('\n'))
                         .replaceInStrings(QRegularExpression(QStringLiteral("^\\s+")), QString());
        else if (!rounds.cell(k, PR_Seed).isEmpty())
            drawn << QStringLiteral("随机种子：%1").arg(rounds.cell(k, PR_Seed));
        drawn << rounds.cell(k, PR_Drawn).toString();
        drawn << QStringLiteral("确认：%1")
                     .arg(rounds.cell(k, PR_Confirmed).isEmpty() ? QStringLiteral("无")
                                                                 : rounds.cell(k, PR_Confirmed).toString());
        c.rounds.appendCells({rounds.cell(k, PR_Number), type,
                              rounds.cell(k, PR_Time).toString() + QLatin1Char('\n') +
                                  (r ? RoundOperator(project, *r) : project.operatorName),
                              rounds.cell(k, PR_Criteria), rounds.cell(k, PR_Avoidance), rounds.cell(k, PR_Candidates),
                              rounds.cell(k, PR_Hash), drawn.join(QLatin1Char('\n'))});
    }
    const TextTable experts = ProjectExpertRows(project);
    for (qsizetype k = 0; k < experts.count(); ++k)
        c.experts.appendCells(
            {experts.cell(k, PE_Seq), experts.cell(k, PE_Name), experts.cell(k, PE_Sex), experts.cell(k, PE_Company),
             experts.cell(k, PE_Profession),
             maskPersonal ? MaskPhone(experts.cell(k, PE_Mobile).toString()) : experts.cell(k, PE_Mobile).toString(),
             experts.cell(k, PE_Round), experts.cell(k, PE_Attendance), experts.cell(k, PE_Note)});
    return c;
}

PanelViewer CurrentViewer(const Session &session, const TextTable &users)
{
    PanelViewer v;
    v.userId = session.CurrentUserId;
    v.role = session.CurrentUserRole;
    for (qsizetype r = 0; r < users.count(); ++r)
        if (users.cell(r, 0) == session.CurrentUserId)
            v.userName = users.cell(r, 1).toString();
    return v;
}

bool PanelStillConfidential(const PanelAccess &access, const QDateTime &now)
{
    // Someone with no rights at all: confidential to them is confidential.
    return PanelIsConfidential(access, PanelViewer{}, now);
}

QString ConcealedRoundsText(const ProjectDetail &project)
{
    QStringList paragraphs;
    const QDateTime opens = PanelOpensAt(project.access.reviewTime);
    paragraphs << (opens.isValid()
                       ? QStringLiteral("本项目的抽取结果在评审结束前保密，%1起公开；在此之前只有抽取该项目的操作员和"
                                        "管理员可以查看专家名单。")
                             .arg(opens.date().toString(kStoredDateFormat))
                       : QStringLiteral("本项目的抽取结果在评审结束前保密（评审时间未填写日期，由管理员公开）；在此之前"
                                        "只有抽取该项目的操作员和管理员可以查看专家名单。"));
    for (const DrawRound &r : project.rounds)
        paragraphs << QStringLiteral("第%1轮  %2  %3\n  检索条件：%4\n  回避条件：%5\n  候选专家：%6人")
                          .arg(QString::number(r.number), r.type,
                               r.drawnAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               r.criteriaText.isEmpty() ? QStringLiteral("无") : r.criteriaText, DescribeKeptOut(r))
                          .arg(r.candidateIds.size());
    return paragraphs.join(QStringLiteral("\n\n"));
}
