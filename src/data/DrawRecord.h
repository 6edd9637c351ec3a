#pragma once

#include "data/EligibilityRules.h"
#include "data/SupervisedDraw.h"
#include "data/TextTable.h"
#include "data/UnitHistory.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// What is kept of a draw so that it can be shown, printed and checked later:
// the project it was made for, and each round of it with its candidates, its
// random numbers and what the user confirmed.

// Kinds of round, named as the draw screen names its draw types; a
// substitute round replaces experts who declined.
namespace RoundType {
inline const QString Manual = QStringLiteral("手工抽取");
inline const QString Random = QStringLiteral("随机抽取");
inline const QString Rolling = QStringLiteral("滚动按停");
inline const QString Temporary = QStringLiteral("新建临时专家");
inline const QString Substitute = QStringLiteral("补抽");
// Rounds whose picks come from a recorded seed.
inline bool IsSeeded(const QString &type) { return type == Random || type == Substitute; }
}   // namespace RoundType

// Attendance of a drawn expert.
namespace Attendance {
inline const QString NotContacted = QStringLiteral("未联系");
inline const QString Confirmed = QStringLiteral("已确认");
inline const QString Declined = QStringLiteral("已拒绝");
inline const QString NoShow = QStringLiteral("未到场");   // confirmed, then did not come
// Whether the state is one a substitute is drawn for: each needs a reason.
inline bool IsAbsence(const QString &status) { return status == Declined || status == NoShow; }
}   // namespace Attendance

// Why an expert declined, stored apart from the free text (Reason_kind).
namespace DeclineKind {
inline const QString TimeConflict = QStringLiteral("时间冲突");
inline const QString Avoidance = QStringLiteral("回避");
inline const QString Health = QStringLiteral("身体原因");
inline const QString Other = QStringLiteral("其他");
inline QStringList All() { return {TimeConflict, Avoidance, Health, Other}; }
}   // namespace DeclineKind

// The kind of a decline as stored: a decline recorded before kinds were
// kept (free text alone) is 其他; any other state has none.
inline QString DeclineKindOf(const QString &status, const QString &stored)
{
    if (status != Attendance::Declined)
        return {};
    return DeclineKind::All().contains(stored) ? stored : DeclineKind::Other;
}

// Who is kept out of a draw (回避): work units (one pattern per line, exact
// or with the program's wildcards), named experts, and every expert drawn in
// the last recentDays days (today included; 0 for no such rule). The unit
// rule also takes out experts who left an avoided unit within formerYears
// years (0: the current unit alone). Each rule in use carries the reason it
// was set for.
struct AvoidanceRules {
    QStringList units;
    QStringList expertIds;
    QStringList expertNames;   // beside expertIds, as chosen
    int recentDays = 0;
    int formerYears = 0;
    QString unitsReason;
    QString expertsReason;
    QString recentReason;

    // What 回避设置 offers for formerYears until the user changes it.
    static constexpr int kDefaultFormerYears = 3;

    bool isEmpty() const { return units.isEmpty() && expertIds.isEmpty() && recentDays <= 0; }
    bool operator==(const AvoidanceRules &) const = default;
};

// A candidate the work-unit rule took out, and the unit that caught them:
// their current unit, or a former one with its dates as they stood.
struct UnitMatch {
    QString expertId;
    QString unit;
    bool former = false;
    QString from, to;   // a former unit's dates
    bool operator==(const UnitMatch &) const = default;
};

// How many candidates each rule took out (a candidate caught by two rules
// counts for both) and how many went in all. Beside the counts, what the
// unit rule used and found, so that a stored round can be checked later
// without the expert table: the alias groups it reached and every candidate
// it took out with the unit that caught them.
struct AvoidanceCounts {
    qsizetype units = 0;
    qsizetype experts = 0;
    qsizetype recent = 0;
    qsizetype total = 0;
    qsizetype formerUnits = 0;   // of units: caught by a former unit alone
    UnitAliases aliases;
    QList<UnitMatch> unitMatches;
    bool unitsRecorded = false;   // unitMatches hold the unit rule's findings

    // Equal when the rules removed the same numbers; the record of what the
    // unit rule found is compared on its own.
    bool operator==(const AvoidanceCounts &o) const
    {
        return units == o.units && experts == o.experts && recent == o.recent && total == o.total &&
               formerUnits == o.formerUnits;
    }
};

// Takes the avoided experts out of candidates (rows with Id in column 0 and
// Company_name in column 4, as the candidate filter builds them), keeping the
// order of the rest. selections is sel_expert (Id, Sel_data, Expert_Id).
// units gives the alias groups and former units of the library; without it
// only the typed units match the current unit.
AvoidanceCounts ApplyAvoidance(TextTable &candidates, const AvoidanceRules &rules, const TextTable &selections,
                               const QDate &today, const UnitRecords *units = nullptr);
// The same counts without changing anything.
AvoidanceCounts CountAvoidance(const TextTable &candidates, const AvoidanceRules &rules, const TextTable &selections,
                               const QDate &today, const UnitRecords *units = nullptr);
// What is wrong with the rules as set ("" when nothing): a rule without its
// reason.
QString AvoidanceRulesProblem(const AvoidanceRules &rules);

// The rules as a line of text for the screens and the printed record
// ("无" when there are none).
QString DescribeAvoidance(const AvoidanceRules &rules, const AvoidanceCounts *counts = nullptr);
// The rules and counts as stored with a round (JSON), and back. The
// library's eligibility rules that kept experts out of the same candidate
// list travel in the same text (under "eligibility", only when a rule took
// part), so a round's record of who was kept out stays in one place and
// rounds drawn without such rules read as they always did.
QString AvoidanceToText(const AvoidanceRules &rules, const AvoidanceCounts &counts,
                        const EligibilityRules &eligibility = {}, const EligibilityCounts &eligible = {});
bool AvoidanceFromText(const QString &text, AvoidanceRules *rules, AvoidanceCounts *counts,
                       EligibilityRules *eligibility = nullptr, EligibilityCounts *eligible = nullptr);

// One round of a draw: one confirmation on the draw screen, one temporary
// expert, or one substitute draw.
struct DrawRound {
    int number = 0;         // 1, 2, ... within its project; 0 until stored
    QString type;           // RoundType
    QStringList criteria;   // the eight criterion slots as used
    QString criteriaText;   // the criteria as the screen showed them
    AvoidanceRules avoidance;
    AvoidanceCounts avoided;
    EligibilityRules eligibility;   // the library's rules the candidates met
    EligibilityCounts eligible;     // how many each of them kept out
    QStringList candidateIds;       // in candidate-list order
    std::optional<quint64> seed;    // seeded rounds
    qsizetype requested = 0;        // seeded rounds: the number asked for
    QVector<qsizetype> picks;       // seeded rounds: indexes drawn, in order ("" when all were listed)
    QString rolledId;               // rolling rounds: the number the roll stopped on
    QStringList confirmedIds;       // ticked and confirmed, in list order
    QDateTime drawnAt;
    // A supervised random round: its commitment, the numbers behind its key
    // and the order of the whole list (picks are the first of it).
    std::optional<SupervisedSeed> supervised;
    // A substitute round that took from the reserve of a supervised round:
    // candidateIds are that round's list, picks the indexes taken.
    std::optional<ReserveUse> reserve;

    bool isSupervised() const { return supervised.has_value(); }

    // As read back from the file: the count and hash stored beside the list,
    // and what of the round could not be read.
    qsizetype storedCount = -1;
    QString storedHash;
    QStringList damage;
};

// Everything that kept experts out of a round's candidates, as one line for
// the project screen and the printed record: its avoidance rules and, when
// the library's eligibility rules took part, those with their counts.
// Title levels are named from titleTypes when given.
QString DescribeKeptOut(const DrawRound &round, const TextTable *titleTypes = nullptr);

// The rounds behind the current draw list and the project it was stored
// under. A new draw list starts a new session.
struct DrawSession {
    QList<DrawRound> rounds;
    QString projectId;            // "" until the first store
    qsizetype storedRounds = 0;   // rounds[0 .. storedRounds) are in the file
    QStringList storedIds;        // experts of the draw list stored so far
    QString trailId;              // the session's events in draw_trail; "" before the first
    int trailEvents = 0;          // events written so far

    void clear() { *this = DrawSession(); }
    bool isStored() const { return !projectId.isEmpty(); }
};

// An expert of a stored project: the snapshot as drawn, the link to the
// sel_expert record written for them, and their attendance.
struct ProjectExpert {
    int seq = 0;              // draw order within the project, from 1
    int round = 0;            // the round that drew them
    QStringList row;          // Id, Name, Sex, birth_date, Company_name, cong_shi_zhuanye, zige_name, Mobile
    QString title;            // title level's name
    QString selId, selDate;   // the sel_expert record
    QString linkRemoved;      // day the record went with the expert's deletion, or ""
    QString snapshotHash;
    QString attendance = Attendance::NotContacted;
    QString reason;           // free text of a decline or a no-show
    QString reasonKind;       // DeclineKind of a decline (其他 for one recorded before kinds were kept)
    QString attendanceTime;   // "yyyy-MM-dd HH:mm:ss" of the last change, or ""
    int replacesSeq = 0;      // a substitute: whom they replace

    QString id() const { return row.value(0); }
    QString name() const { return row.value(1); }
};

// What happened in a draw session, written to the library the moment it
// happens, whether or not the draw is ever stored.
namespace DrawEventKind {
inline const QString Draw = QStringLiteral("抽取");                // a list drawn, a roll stopped, a substitute
inline const QString Confirm = QStringLiteral("确认");             // rows confirmed into the draw list
inline const QString Remove = QStringLiteral("删除");              // a row deleted on the result screen
inline const QString Discard = QStringLiteral("放弃");             // the draw list dropped at exit
inline const QString CalledOff = QStringLiteral("取消监督抽取");   // a commitment made, the draw called off
inline const QString Store = QStringLiteral("保存");               // stored under a project
}   // namespace DrawEventKind

struct DrawEvent {
    int number = 0;   // 1, 2, ... within its session
    QString session;
    QString kind;
    QDateTime at;
    QString operatorName;
    QString projectId;                // Store (and substitutes): the project
    std::optional<DrawRound> round;   // Draw, CalledOff: what was drawn
    QStringList expertIds;            // Confirm: confirmed; Remove, Discard: dropped
    QStringList notConfirmed;         // Confirm: drawn but left unticked
    QString note;
};

// The event's details as stored (JSON) and back.
QString DrawEventDetail(const DrawEvent &event);
bool ReadDrawEventDetail(const QString &text, DrawEvent *event);
// One line for the screens: what the event drew or dropped.
QString DescribeDrawEvent(const DrawEvent &event);

// SHA-256 of a snapshot's fields (the eight draw-list columns and the title),
// kept with it so that a changed snapshot shows.
QString SnapshotHash(const QStringList &row, const QString &title);

// The facts the user gives for a project when its draw is stored.
struct ProjectFacts {
    QString name;          // 项目名称, required
    QString code;          // 项目编号
    QString client;        // 招标人/委托单位
    QString reviewTime;    // 评审时间
    QString reviewPlace;   // 评审地点
    QString supervisor;    // 监督人
    QString remark;        // 备注
};

// The round of a temporary expert made for the draw (a draw-list row).
DrawRound TemporaryRound(const QStringList &row, const QDateTime &now);

// The candidate Ids of a round as stored: joined by "\n", UTF-8, compressed.
QByteArray PackCandidates(const QStringList &ids);
// Reads them back; false when the data is damaged.
bool UnpackCandidates(const QByteArray &packed, QStringList *ids);
// SHA-256 (lower-case hex) of the Ids joined by "\n" in UTF-8.
QString CandidateHash(const QStringList &ids);
