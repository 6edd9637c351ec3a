#pragma once

#include "data/EligibilityRules.h"
#include "data/Tables.h"
#include "data/UnitHistory.h"

#include <QString>
#include <array>

class Connection;

// The eight criteria of the draw screen, in slot order: name, kind, title
// type, assessed speciality, working speciality, title level, qualification,
// work unit. An empty slot imposes nothing.
inline constexpr int kSelectionCriteriaCount = 8;
using SelectionCriteria = std::array<QString, kSelectionCriteriaCount>;

// The criteria every activation sets: no expert matches them.
SelectionCriteria NoRecordCriteria();

// The eight columns a candidate (and a draw-list row) copies from an expert
// row: Id, Name, Sex, birth_date, Company_name, cong_shi_zhuanye, zige_name,
// Mobile. Views into the expert table.
QList<QStringView> CandidateColumns(const TextTable &experts, qsizetype row);

// sChkExp_MsgDetTemp: rebuilds candidates from the enabled experts that pass
// every non-empty criterion, in expert-table order. Text criteria match
// partially through the wildcard matcher, the kind and the title level
// exactly.
void FilterCandidates(const TextTable &experts, const SelectionCriteria &criteria, TextTable &candidates);

// What the library's eligibility rules need to judge a draw: the rules, the
// day of the review the panel is drawn for, and the panels experts are
// already confirmed for (read only when a rule counts them).
struct DrawEligibility {
    EligibilityRules rules;
    QDate reviewDate;
    QList<ConfirmedPanel> confirmed;
    // What the work-unit avoidance rule reads: alias groups, former units.
    UnitRecords units;
    // Experts suspended on the review day: out of every draw, rules or not.
    QSet<QString> suspended;
};

// The same filter, then the eligibility rules on every expert that passed
// the criteria, in the same one pass. Returns how many each rule took out.
// With no rule set the candidates are exactly those of the filter above.
EligibilityCounts FilterCandidates(const TextTable &experts, const SelectionCriteria &criteria,
                                   const DrawEligibility &eligibility, TextTable &candidates);

// The rules of the store's library for a panel reviewed on reviewDate (the
// day of the draw when the review day is not known yet).
Result<DrawEligibility> ReadDrawEligibility(const DataStore &store, const QDate &reviewDate);
// The same on an open connection (tools that write a library directly).
// Throws DbError.
DrawEligibility ReadDrawEligibility(Connection &conn, const QDate &reviewDate);

// A draw's candidates from the store's experts under the library's rules:
// the entry point for every draw and substitute draw. A failure to read the
// rules leaves candidates empty, so that no draw goes on without them.
Result<EligibilityCounts> FilterCandidates(const DataStore &store, const SelectionCriteria &criteria,
                                           const QDate &reviewDate, TextTable &candidates);

// SetSelExpertMsgTemp: merges picked rows into the draw list. A pick whose Id
// is already listed refreshes that row in place; any other is appended, so
// the list keeps the order of first confirmation and never holds an Id twice.
void MergePicks(TextTable &drawList, const TextTable &picks);
