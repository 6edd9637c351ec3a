#pragma once

#include "data/DrawStore.h"
#include "data/Platform.h"
#include "data/Projects.h"
#include "extraction/CandidateFilter.h"
#include "reports/Reports.h"
#include "shell/Session.h"

#include <QSet>
#include <functional>
#include <optional>

// The draws behind rounds: candidates with avoidance, seeded random picks,
// and substitute draws for a stored project.

// The criteria as the draw screen shows them ("专家姓名：卫；职称级别：中级"),
// "无" when there are none. The title level is named from titleTypes.
QString CriteriaText(const SelectionCriteria &criteria, const TextTable &titleTypes);

// What kept experts out of a draw's candidates, rule by rule.
struct KeptOut {
    KeptOut() = default;
    // A draw under avoidance rules alone (implicit: such a draw is common).
    KeptOut(const AvoidanceCounts &avoidedOnly) : avoided(avoidedOnly) {}

    EligibilityRules eligibility;   // the library's rules in force
    EligibilityCounts eligible;     // what each of them removed
    AvoidanceCounts avoided;        // what each avoidance rule removed
};

// The candidates of a draw: the candidate filter with the library's
// eligibility rules (for a panel reviewed on reviewDate; today when it is
// not known), then the avoidance rules (drawn-recently counted back from
// today). A failure to read the library's rules leaves candidates empty, so
// that no draw goes on without them.
Result<KeptOut> BuildCandidates(const DataStore &store, const SelectionCriteria &criteria, const AvoidanceRules &rules,
                                const QDate &today, TextTable &candidates, const QDate &reviewDate = {});
// The same under rules already read.
KeptOut BuildCandidates(const DataStore &store, const SelectionCriteria &criteria, const AvoidanceRules &rules,
                        const QDate &today, const DrawEligibility &eligibility, TextTable &candidates);

// A round over the candidate list, before anything is picked or confirmed,
// with the rules that kept experts out of it.
DrawRound NewRound(const QString &type, const SelectionCriteria &criteria, const TextTable &titleTypes,
                   const AvoidanceRules &rules, const KeptOut &keptOut, const TextTable &candidates,
                   const QDateTime &now);

// The random draw of n experts recorded in round: with fewer than n + 1
// candidates every candidate is listed and nothing is drawn; otherwise a
// fresh seed from random draws n of them (SeededDraw). Returns the rows
// drawn, in the order drawn.
TextTable SeededPick(DrawRound &round, const TextTable &candidates, qsizetype n, RandomSource &random);

// The supervised draw of n experts recorded in round: the seed's order of
// the whole list is kept, and its first n (all, when there are no more) are
// the panel. Returns the rows drawn, in the order drawn.
TextTable SupervisedPick(DrawRound &round, const TextTable &candidates, qsizetype n, const SupervisedSeed &seed);

// Takes n substitutes from the reserve of a supervised round, starting at
// position start of its order: each candidate in turn is taken unless
// unavailable(id) gives a reason, which is recorded with the skip. Fewer
// than n are taken when the reserve runs out.
struct ReserveDraw {
    ReserveUse use;
    QVector<qsizetype> picks;   // candidate indexes taken, in order
};
ReserveDraw TakeFromReserve(const DrawRound &source, qsizetype start, qsizetype n,
                            const std::function<QString(const QString &id)> &unavailable);
// Where the reserve of round `number` goes on: after its panel and what
// earlier substitute rounds took or passed over.
qsizetype ReserveStart(const ProjectDetail &project, int number);

// Why an expert cannot stand in now ("" when they can): drawn for the project
// already, no longer in the library, disabled, kept out by the avoidance
// rules, or (when eligibility is given) by the library's eligibility rules.
QString UnavailableReason(const DataStore &store, const QString &id, const QSet<QString> &drawn,
                          const AvoidanceRules &rules, const QDate &today,
                          const EligibilityCheck *eligibility = nullptr, const UnitRecords *units = nullptr);

// Asked for the supervisor's part of a supervised draw over a round's fixed
// candidate list; nullopt when the draw was called off.
using SuperviseDraw = std::function<std::optional<SupervisedSeed>(const DrawRound &round, qsizetype requested)>;

// Project experts who declined and have no substitute yet, by draw order.
QList<int> AwaitingSubstitute(const ProjectDetail &project);

// Draws a substitute for each expert awaiting one: for the declined experts
// of one round, a new substitute round with that round's criteria and
// avoidance run on the current library, leaving out everyone drawn for the
// project (declined experts included). Substitutes replace the declined in
// draw order; those left without one (too few candidates) are put in
// unfilled. Nothing is stored.
// Declined experts of a supervised round are replaced from that round's
// reserve, in its order. Otherwise, when supervise is given (the library
// uses supervised draws), the new round is a supervised draw; else a seeded
// one.
// The library's eligibility rules apply as they stand now, for the
// project's review day: a reserve expert who no longer meets them is
// skipped with that reason. When they cannot be read nobody is drawn and
// every declined expert is put in unfilled.
QList<SubstituteRound> DrawSubstitutes(const DataStore &store, const ProjectDetail &project, RandomSource &random,
                                       const QDateTime &now, QList<int> *unfilled = nullptr,
                                       const SuperviseDraw &supervise = {});
// The same under rules already read.
QList<SubstituteRound> DrawSubstitutes(const DataStore &store, const ProjectDetail &project,
                                       const DrawEligibility &eligibility, RandomSource &random, const QDateTime &now,
                                       QList<int> *unfilled = nullptr, const SuperviseDraw &supervise = {});
// The day a project's panel is reviewed (its 评审时间), or fallback when that
// does not read as a date.
QDate ReviewDay(const ProjectDetail &project, const QDate &fallback);

// The experts of a project as its screen and its printed record list them:
// 0 seq (the key), 1 name, 2 sex, 3 company, 4 profession, 5 mobile, 6 round,
// 7 attendance, 8 time of the attendance, 9 note (decline reason, whom a
// substitute replaces or who replaced them).
enum ProjectExpertColumn {
    PE_Seq = 0,
    PE_Name,
    PE_Sex,
    PE_Company,
    PE_Profession,
    PE_Mobile,
    PE_Round,
    PE_Attendance,
    PE_Time,
    PE_Note,
    ProjectExpertColumnCount
};
TextTable ProjectExpertRows(const ProjectDetail &project);
// Hides the middle of the phone numbers of a project's experts, for a role
// that sees personal data masked. For showing only: never store the result.
void MaskProjectExperts(ProjectDetail &project);

// The rounds of a project, one row each: 0 number (the key), 1 type, 2 time,
// 3 criteria, 4 avoidance, 5 candidate count, 6 candidate hash, 7 seed ("" for
// none), 8 what was drawn, 9 who was confirmed.
enum ProjectRoundColumn {
    PR_Number = 0,
    PR_Type,
    PR_Time,
    PR_Criteria,
    PR_Avoidance,
    PR_Candidates,
    PR_Hash,
    PR_Seed,
    PR_Drawn,
    PR_Confirmed,
    ProjectRoundColumnCount
};
// Title levels of the rules are named from titleTypes when given.
TextTable ProjectRoundRows(const ProjectDetail &project, const TextTable *titleTypes = nullptr);
// The same as readable text, a paragraph per round.
QString ProjectRoundsText(const ProjectDetail &project, const TextTable *titleTypes = nullptr);

// The supervised part of a round as text lines: commitment, numbers, and
// the head of the reserve after a panel of the given size.
QString SupervisedText(const SupervisedSeed &seed, qsizetype panel);

// A round's candidate list as a CSV text (UTF-8, LF line ends) for 导出候选名单:
// "字段,值" lines with what the printed record shows of the round, then a
// line "序号,专家编号" and one line per candidate in list order. With it and
// the printed numbers anyone can derive the panel again.
QString CandidateListCsv(const QString &projectId, const DrawRound &round);

// The draws never stored under a project, grouped by day (from .. to as
// "YYYY-MM-DD", empty bounds impose nothing), at most maxLines lines of events.
QString UnstoredTrailText(const QList<DrawEvent> &events, const QString &from, const QString &to, int maxLines = 60);

// Who drew a round: the operator of its draw in the project's trail, or
// the project's operator when the trail does not hold it (records made
// before the trail was kept, rounds added by hand).
QString RoundOperator(const ProjectDetail &project, const DrawRound &round);

// What the printed draw record of a project shows: per round its operator,
// and the QR code's verification data. maskPersonal hides the middle of the
// experts' mobile numbers (MasksPersonalData for the user printing).
DrawRecordContent DrawRecordOf(const ProjectDetail &project, bool maskPersonal = false,
                               const TextTable *titleTypes = nullptr);

// The logged-in user as the confidentiality of panels knows them.
PanelViewer CurrentViewer(const Session &session, const TextTable &users);

// Whether the project's panel is confidential for anyone but its operator
// and the administrators at now (not public, review day not over).
bool PanelStillConfidential(const PanelAccess &access, const QDateTime &now);

// The rounds of a project whose panel is hidden from the viewer: what was
// asked for (criteria, avoidance, how many candidates), not who was drawn.
QString ConcealedRoundsText(const ProjectDetail &project);
