#include "data/DrawVerify.h"

#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/SeededDraw.h"

#include <QMap>
#include <QSet>

#include <algorithm>

namespace {

QString expertLabel(const ProjectExpert &e)
{
    return QStringLiteral("第%1位专家%2(%3)").arg(e.seq).arg(e.name(), e.id());
}

// What the work-unit rule took out, as stored with the round: each expert
// must be out of the list, their unit must be an avoided one under the alias
// groups the round used, and a former unit must have been left within the
// round's years of the day it was drawn.
void checkUnitMatches(const DrawRound &r, const QSet<QString> &candidates, const QString &where, QStringList &problems)
{
    const AvoidanceCounts &c = r.avoided;
    // A round that took from a reserve carries its source round's list and
    // record, drawn on the source's day: checked with the source.
    if (!c.unitsRecorded || r.reserve)
        return;
    const UnitMatcher matcher(r.avoidance.units, c.aliases);
    qsizetype former = 0;
    for (const UnitMatch &m : c.unitMatches) {
        if (candidates.contains(m.expertId))
            problems << where + QStringLiteral("候选名单中有按工作单位应回避的专家%1").arg(m.expertId);
        if (!matcher.matches(m.unit))
            problems << where + QStringLiteral("专家%1的单位“%2”不是回避的单位").arg(m.expertId, m.unit);
        if (m.former) {
            ++former;
            if (!LeftWithinYears({m.unit, m.from, m.to}, r.avoidance.formerYears, r.drawnAt.date()))
                problems << where + QStringLiteral("专家%1离开“%2”已超过%3年，不应回避")
                                        .arg(m.expertId, m.unit)
                                        .arg(r.avoidance.formerYears);
        }
    }
    if (qsizetype(c.unitMatches.size()) != c.units || former != c.formerUnits)
        problems << where + QStringLiteral("按工作单位回避的人数与回避记录不符");
}

void checkRound(const DrawRound &r, QStringList &problems)
{
    const QString where = QStringLiteral("第%1轮：").arg(r.number);
    for (const QString &d : r.damage)
        problems << where + d;
    const qsizetype count = r.candidateIds.size();
    if (r.storedCount != count)
        problems << where + QStringLiteral("候选人数%1与候选名单的%2人不符").arg(r.storedCount).arg(count);
    if (CandidateHash(r.candidateIds) != r.storedHash)
        problems << where + QStringLiteral("候选名单与其SHA-256值不符");

    const QSet<QString> candidates(r.candidateIds.begin(), r.candidateIds.end());
    QSet<QString> allowed;
    if (r.supervised) {
        for (const QString &p : CheckSupervised(*r.supervised, r.candidateIds))
            problems << where + p;
        // The panel is the head of the order.
        const QVector<qsizetype> expected = r.supervised->order.mid(0, std::min(r.requested, count));
        if (r.requested <= 0)
            problems << where + QStringLiteral("抽取个数无效");
        else if (r.picks != expected)
            problems << where + QStringLiteral("抽取结果不是监督抽取排序的前%1位").arg(r.requested);
        for (qsizetype p : r.picks)
            if (p >= 0 && p < count)
                allowed.insert(r.candidateIds.at(p));
    } else if (r.reserve) {
        // Checked against the round whose reserve it took from.
        for (qsizetype p : r.picks)
            if (p >= 0 && p < count)
                allowed.insert(r.candidateIds.at(p));
    } else if (RoundType::IsSeeded(r.type)) {
        if (r.requested <= 0) {
            problems << where + QStringLiteral("抽取个数无效");
        } else if (r.requested < count) {
            if (!r.seed) {
                problems << where + QStringLiteral("缺少随机种子");
            } else if (SeededDraw(count, r.requested, *r.seed) != r.picks) {
                problems << where + QStringLiteral("按随机种子重新抽取的结果与记录不符");
            }
            for (qsizetype p : r.picks)
                if (p >= 0 && p < count)
                    allowed.insert(r.candidateIds.at(p));
        } else {
            // Asking for all candidates or more lists them all, without drawing.
            if (!r.picks.isEmpty())
                problems << where + QStringLiteral("抽取结果与记录不符");
            allowed = candidates;
        }
    } else if (r.type == RoundType::Rolling) {
        if (!candidates.contains(r.rolledId))
            problems << where + QStringLiteral("滚动停止时的专家编号%1不在候选名单中").arg(r.rolledId);
        allowed.insert(r.rolledId);
    } else if (r.type == RoundType::Manual || r.type == RoundType::Temporary) {
        allowed = candidates;
    } else {
        problems << where + QStringLiteral("未知的抽取方式“%1”").arg(r.type);
    }
    for (const QString &id : r.confirmedIds)
        if (!allowed.contains(id))
            problems << where + QStringLiteral("确认的专家%1不在本轮的抽取结果中").arg(id);
    for (const QString &id : r.avoidance.expertIds)
        if (candidates.contains(id))
            problems << where + QStringLiteral("候选名单中有应回避的专家%1").arg(id);
    checkUnitMatches(r, candidates, where, problems);
}

// A substitute round that took from a supervised round's reserve: it must
// take the positions right after what the panel and earlier substitutes
// used, in order, each one passed over having its reason.
void checkReserve(const ProjectDetail &project, const DrawRound &r, QHash<int, qsizetype> &nextPosition,
                  QStringList &problems)
{
    const QString where = QStringLiteral("第%1轮：").arg(r.number);
    const ReserveUse &use = *r.reserve;
    const DrawRound *source = project.round(use.fromRound);
    if (!source || !source->supervised || source->number >= r.number) {
        problems << where + QStringLiteral("所用的替补名单不属于此前的监督抽取轮次");
        return;
    }
    if (r.candidateIds != source->candidateIds)
        problems << where + QStringLiteral("候选名单与第%1轮不同").arg(source->number);
    const QVector<qsizetype> &order = source->supervised->order;
    qsizetype next = nextPosition.value(source->number, source->picks.size());
    QMap<qsizetype, QString> skipped;
    for (const ReserveUse::Skip &s : use.skipped) {
        skipped.insert(s.position, s.id);
        if (s.reason.trimmed().isEmpty())
            problems << where + QStringLiteral("跳过替补专家%1却未记原因").arg(s.id);
    }
    qsizetype end = next;
    for (qsizetype p : use.taken)
        end = std::max(end, p + 1);
    for (const ReserveUse::Skip &s : use.skipped)
        end = std::max(end, s.position + 1);
    if (end > order.size()) {
        problems << where + QStringLiteral("替补位置超出名单");
        return;
    }
    qsizetype taken = 0;
    for (; next < end; ++next) {
        const QString id = source->candidateIds.value(order[next]);
        if (taken < use.taken.size() && use.taken[taken] == next) {
            if (r.picks.value(taken, -1) != order[next])
                problems << where + QStringLiteral("替补名单第%1位与补抽结果不符").arg(next + 1);
            ++taken;
        } else if (!skipped.contains(next) || skipped.value(next) != id) {
            problems << where + QStringLiteral("越过了替补名单第%1位的专家%2，却没有记录原因").arg(next + 1).arg(id);
        }
        skipped.remove(next);
    }
    if (taken != use.taken.size() || !skipped.isEmpty())
        problems << where + QStringLiteral("替补名单的使用记录与名单顺序不符");
    if (r.picks.size() != use.taken.size())
        problems << where + QStringLiteral("补抽结果与替补名单的使用记录不符");
    nextPosition[source->number] = next;
}

// The experts of a project whose attendance was ever a decline or a
// no-show: the states a substitute is drawn for.
QSet<int> declinedExperts(Connection &conn, const QString &projectId)
{
    QSet<int> seqs;
    Statement st = conn.prepare(
        QStringLiteral("SELECT DISTINCT Seq FROM draw_attendance WHERE Project_Id = ? AND Status IN (?, ?)"));
    st.bind(1, projectId);
    st.bind(2, Attendance::Declined);
    st.bind(3, Attendance::NoShow);
    while (st.step())
        seqs.insert(int(st.text(0).toInt()));
    return seqs;
}

}   // namespace

QString ProjectVerification::line() const
{
    const QString head = QStringLiteral("项目 %1 “%2”：").arg(projectId, name);
    if (ok())
        return head +
               QStringLiteral("通过（%1轮，其中随机抽取%2轮（监督抽取%3轮，未监督%4轮），%5位专家）")
                   .arg(rounds)
                   .arg(seededRounds)
                   .arg(supervisedRounds)
                   .arg(seededRounds - supervisedRounds)
                   .arg(experts) +
               (discardedDraws > 0 ? QStringLiteral("；同一次抽取中另有%1次抽取未保存").arg(discardedDraws)
                                   : QString());
    return head + QStringLiteral("未通过：") + problems.join(QStringLiteral("；"));
}

bool FileVerification::ok() const
{
    if (!trailProblems.isEmpty())
        return false;
    for (const ProjectVerification &p : projects)
        if (!p.ok())
            return false;
    return true;
}

QString FileVerification::summary() const
{
    qsizetype passed = 0;
    for (const ProjectVerification &p : projects)
        passed += p.ok();
    QString text = QStringLiteral("共%1个项目：%2个通过，%3个未通过。")
                       .arg(projects.size())
                       .arg(passed)
                       .arg(projects.size() - passed);
    if (unlinkedSelections > 0)
        text += QStringLiteral("另有%1条抽取记录不属于任何项目，未检查。").arg(unlinkedSelections);
    text += QStringLiteral("抽取过程记录%1条，其中%2次抽取未保存为项目。").arg(trailEvents).arg(unstoredSessions);
    for (const QString &p : trailProblems)
        text += QLatin1Char('\n') + p;
    return text;
}

SelectionIndex ReadSelections(Connection &conn)
{
    SelectionIndex index;
    Statement st = conn.prepare(QStringLiteral("SELECT Id, Sel_data, Expert_Id FROM sel_expert"));
    while (st.step())
        index.insert(st.text(0), {st.text(1), st.text(2)});
    return index;
}

ProjectVerification VerifyProject(const ProjectDetail &project, const SelectionIndex &selections,
                                  const QSet<int> *declined)
{
    ProjectVerification v;
    v.projectId = project.id;
    v.name = project.facts.name;
    v.rounds = int(project.rounds.size());
    v.experts = int(project.experts.size());
    v.discardedDraws = int(project.discardedDraws().size());
    QStringList &problems = v.problems;
    problems << project.damage;

    for (qsizetype i = 0; i < project.rounds.size(); ++i) {
        const DrawRound &r = project.rounds[i];
        if (r.number != i + 1)
            problems << QStringLiteral("缺少第%1轮").arg(i + 1);
        v.seededRounds += RoundType::IsSeeded(r.type);
        v.supervisedRounds += r.isSupervised() || (r.reserve && r.type == RoundType::Substitute);
        checkRound(r, problems);
    }
    QHash<int, qsizetype> nextReserve;
    for (const DrawRound &r : project.rounds)
        if (r.reserve)
            checkReserve(project, r, nextReserve, problems);

    QSet<QString> seen;
    for (qsizetype i = 0; i < project.experts.size(); ++i) {
        const ProjectExpert &e = project.experts[i];
        const QString who = expertLabel(e);
        if (e.seq != i + 1)
            problems << QStringLiteral("缺少第%1位专家").arg(i + 1);
        if (seen.contains(e.id()))
            problems << who + QStringLiteral("在本项目中重复出现");
        seen.insert(e.id());

        const DrawRound *r = project.round(e.round);
        if (!r)
            problems << who + QStringLiteral("不属于任何一轮");
        else if (!r->confirmedIds.contains(e.id()))
            problems << who + QStringLiteral("不是第%1轮确认的专家").arg(e.round);
        if (SnapshotHash(e.row, e.title) != e.snapshotHash)
            problems << who + QStringLiteral("的抽取时信息已被改动");

        if (e.linkRemoved.isEmpty()) {
            const auto it = selections.constFind(e.selId);
            if (it == selections.constEnd())
                problems << who + QStringLiteral("的抽取记录%1已不存在").arg(e.selId);
            else if (it->second != e.id())
                problems << who + QStringLiteral("的抽取记录%1现在记的是专家%2").arg(e.selId, it->second);
            else if (it->first != e.selDate)
                problems << who + QStringLiteral("的抽取记录%1的日期已被改动").arg(e.selId);
        }

        const bool fromSubstituteRound = r && r->type == RoundType::Substitute;
        if (e.replacesSeq > 0) {
            const ProjectExpert *replaced = project.expert(e.replacesSeq);
            if (!fromSubstituteRound)
                problems << who + QStringLiteral("记为补抽的专家，却不是补抽抽出的");
            if (!replaced || replaced->seq >= e.seq)
                problems << who + QStringLiteral("所替换的专家不存在");
            else if (declined && !declined->contains(replaced->seq))
                problems << who + QStringLiteral("替换的第%1位专家从未拒绝出席").arg(replaced->seq);
        } else if (fromSubstituteRound) {
            problems << who + QStringLiteral("由补抽抽出，却没有记录替换谁");
        }
    }

    // Rows deleted on the result screen before the store leave the panel
    // but stay among what their round confirmed; the trail says so.
    QSet<QString> removedBeforeStore;
    for (const DrawEvent &e : project.trail)
        if (e.kind == DrawEventKind::Remove)
            for (const QString &id : e.expertIds)
                removedBeforeStore.insert(id);

    for (const DrawRound &r : project.rounds) {
        // Only random and substitute rounds draw from a seed or an order;
        // a manual, rolling or temporary round that carries one was written
        // by something other than the program.
        if (!RoundType::IsSeeded(r.type) && (r.seed || !r.picks.isEmpty()))
            problems << QStringLiteral("第%1轮：%2却记有随机种子或抽取结果").arg(r.number).arg(r.type);
        // Whoever a round confirmed was drawn for the project by that round,
        // or by an earlier one: the draw list holds each expert once, so an
        // expert drawn again keeps the row of the first round.
        for (const QString &id : r.confirmedIds) {
            const bool drawn = std::any_of(project.experts.begin(), project.experts.end(),
                                           [&](const ProjectExpert &e) { return e.round <= r.number && e.id() == id; });
            if (!drawn && !removedBeforeStore.contains(id))
                problems << QStringLiteral("第%1轮确认的专家%2没有抽取记录").arg(r.number).arg(id);
        }
    }

    // A substitute draw leaves out everyone drawn for the project before it.
    for (const DrawRound &r : project.rounds) {
        // A reserve round keeps its source round's list; its skips say why
        // the drawn were passed over.
        if (r.type != RoundType::Substitute || r.reserve)
            continue;
        const QSet<QString> candidates(r.candidateIds.begin(), r.candidateIds.end());
        for (const ProjectExpert &e : project.experts)
            if (e.round < r.number && candidates.contains(e.id()))
                problems << QStringLiteral("第%1轮：补抽的候选名单中有已抽出的专家%2").arg(r.number).arg(e.id());
    }
    return v;
}

ProjectVerification VerifyProject(Connection &conn, const QString &projectId)
{
    const std::optional<ProjectDetail> project = LoadProject(conn, projectId);
    if (!project) {
        ProjectVerification v;
        v.projectId = projectId;
        v.problems << QStringLiteral("找不到这个项目");
        return v;
    }
    const QSet<int> declined = declinedExperts(conn, projectId);
    return VerifyProject(*project, ReadSelections(conn), &declined);
}

FileVerification VerifyDataFile(Connection &conn)
{
    FileVerification f;
    // One read transaction: the check sees the file at one moment.
    ReadSnapshot snapshot(conn);
    {
        const SelectionIndex selections = ReadSelections(conn);
        f.selections = selections.size();
        QSet<QString> linked;
        const TextTable list = LoadProjectList(conn);
        for (qsizetype r = 0; r < list.count(); ++r) {
            const std::optional<ProjectDetail> project = LoadProject(conn, list.cell(r, P_Id).toString());
            if (!project)
                continue;
            for (const ProjectExpert &e : project->experts)
                if (e.linkRemoved.isEmpty())
                    linked.insert(e.selId);
            const QSet<int> declined = declinedExperts(conn, project->id);
            f.projects.append(VerifyProject(*project, selections, &declined));
        }
        for (auto it = selections.constBegin(); it != selections.constEnd(); ++it)
            f.unlinkedSelections += !linked.contains(it.key());

        // Every session's events are numbered 1, 2, ... with no gap: an
        // event taken out of the record shows.
        const QList<DrawEvent> trail = LoadTrail(conn);
        f.trailEvents = trail.size();
        QHash<QString, int> expected;
        QSet<QString> storedSessions;
        for (const DrawEvent &e : trail) {
            const int want = expected.value(e.session, 1);
            if (e.number != want)
                f.trailProblems
                    << QStringLiteral("抽取过程记录%1：缺少第%2至%3条").arg(e.session).arg(want).arg(e.number - 1);
            expected[e.session] = e.number + 1;
            if (!e.note.isEmpty() && e.note == QStringLiteral("记录内容无法读取"))
                f.trailProblems << QStringLiteral("抽取过程记录%1第%2条无法读取").arg(e.session).arg(e.number);
            if (e.kind == DrawEventKind::Store)
                storedSessions.insert(e.session);
        }
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
            f.unstoredSessions += !storedSessions.contains(it.key());
    }
    return f;
}

namespace {

const QString kRecordTag = QStringLiteral("KESTRUNE-RECORD/1");

QString escapeField(QString text)
{
    text.replace(QLatin1Char('%'), QStringLiteral("%25"));
    text.replace(QLatin1Char('|'), QStringLiteral("%7C"));
    text.replace(QLatin1Char('\n'), QStringLiteral("%0A"));
    return text;
}

QString unescapeField(QString text)
{
    text.replace(QStringLiteral("%0A"), QStringLiteral("\n"));
    text.replace(QStringLiteral("%7C"), QStringLiteral("|"));
    text.replace(QStringLiteral("%25"), QStringLiteral("%"));
    return text;
}

QStringList roundFields(const DrawRound &r)
{
    QStringList drawn;
    for (qsizetype p : r.picks)
        drawn << r.candidateIds.value(p);
    if (!r.rolledId.isEmpty())
        drawn << r.rolledId;
    const SupervisedSeed s = r.supervised.value_or(SupervisedSeed{});
    return {QString::number(r.number),
            r.type,
            QString::number(r.candidateIds.size()),
            CandidateHash(r.candidateIds),
            r.seed ? QString::number(*r.seed) : QString(),
            s.commitment,
            s.supervisorNumber,
            QString::fromLatin1(s.revealed.toHex()),
            s.publicNumber,
            QString::number(r.requested),
            drawn.join(QLatin1Char(',')),
            r.confirmedIds.join(QLatin1Char(','))};
}

const char *const kRoundFieldNames[] = {"轮次",     "抽取方式", "候选人数",   "候选名单SHA-256",
                                        "随机种子", "承诺值",   "监督人号码", "程序随机数",
                                        "公开号码", "抽取个数", "抽出的专家", "确认的专家"};

}   // namespace

QString RecordVerificationText(const ProjectDetail &project)
{
    QStringList lines{kRecordTag, QStringLiteral("P|") + escapeField(project.id)};
    for (const DrawRound &r : project.rounds) {
        QStringList fields;
        for (const QString &f : roundFields(r))
            fields << escapeField(f);
        lines << QStringLiteral("R|") + fields.join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList CheckRecordText(Connection &conn, const QString &text, QStringList *notes)
{
    QStringList problems;
    const QStringList lines =
        QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed().split(QLatin1Char('\n'));
    if (lines.value(0).trimmed() != kRecordTag || !lines.value(1).startsWith(QStringLiteral("P|")))
        return {QStringLiteral("不是本程序打印的抽取记录验证数据")};
    const QString projectId = unescapeField(lines[1].mid(2).trimmed());
    const std::optional<ProjectDetail> project = LoadProject(conn, projectId);
    if (!project)
        return {QStringLiteral("文件中找不到项目%1").arg(projectId)};
    QSet<int> printed;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const QStringList raw = line.split(QLatin1Char('|'));
        if (raw.value(0) != QLatin1String("R") || raw.size() != 13) {
            problems << QStringLiteral("第%1行无法读取").arg(i + 1);
            continue;
        }
        QStringList fields;
        for (qsizetype k = 1; k < raw.size(); ++k)
            fields << unescapeField(raw[k]);
        const int number = fields[0].toInt();
        printed.insert(number);
        const QString where = QStringLiteral("项目%1第%2轮：").arg(projectId).arg(number);
        const DrawRound *r = project->round(number);
        if (!r) {
            problems << where + QStringLiteral("文件中已没有这一轮");
            continue;
        }
        const QStringList inFile = roundFields(*r);
        for (int k = 1; k < inFile.size(); ++k)
            if (inFile[k] != fields[k])
                problems << where + QStringLiteral("%1与打印的记录不符（打印：%2，文件：%3）")
                                        .arg(QString::fromUtf8(kRoundFieldNames[k]), fields[k], inFile[k]);
        // The printed numbers must still give the printed panel.
        if (!fields[5].isEmpty()) {
            SupervisedSeed printedSeed;
            printedSeed.commitment = fields[5];
            printedSeed.supervisorNumber = fields[6];
            printedSeed.revealed = QByteArray::fromHex(fields[7].toLatin1());
            printedSeed.publicNumber = fields[8];
            const QByteArray key =
                SupervisedKey(fields[3], printedSeed.supervisorNumber, printedSeed.revealed, printedSeed.publicNumber);
            const QVector<qsizetype> order = SupervisedOrder(key, fields[2].toLongLong());
            if (Commitment(printedSeed.revealed) != printedSeed.commitment)
                problems << where + QStringLiteral("打印的程序随机数与承诺值不符");
            if (r->candidateIds.size() == order.size() && !r->reserve) {
                QStringList panel;
                for (qsizetype k = 0; k < std::min<qsizetype>(fields[9].toLongLong(), order.size()); ++k)
                    panel << r->candidateIds.value(order[k]);
                if (panel.join(QLatin1Char(',')) != fields[10])
                    problems << where + QStringLiteral("按打印的数据重新排序，抽出的专家与记录不符");
            }
        }
    }
    if (notes)
        for (const DrawRound &r : project->rounds)
            if (!printed.contains(r.number))
                *notes << QStringLiteral("项目%1第%2轮在打印之后才加入（%3）").arg(projectId).arg(r.number).arg(r.type);
    return problems;
}

Result<ProjectVerification> VerifyProject(const DataStore &store, const QString &projectId)
{
    return CatchDbError([&] { return VerifyProject(LibraryConnection(store), projectId); });
}
