#pragma once

#include "data/Tables.h"

#include <QString>
#include <array>

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

// SetSelExpertMsgTemp: merges picked rows into the draw list. A pick whose Id
// is already listed refreshes that row in place; any other is appended, so
// the list keeps the order of first confirmation and never holds an Id twice.
void MergePicks(TextTable &drawList, const TextTable &picks);
