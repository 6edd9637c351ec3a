#pragma once

#include "data/Tables.h"

#include <QSet>
#include <QStringList>
#include <array>

// The four criteria of a history search, kept by the history screen between
// presses of its search button; the reports print them in their header.
enum HistorySlot { H_StartDate = 0, H_EndDate, H_Profession, H_WorkUnit, HistorySlotCount };
using HistoryCriteria = std::array<QString, HistorySlotCount>;

// sSetSel_ExpertTemp: one row per selection record dated from the start to
// the end date (both included, compared as text) whose expert is still in
// the expert table and whose profession and work unit contain the partial
// criteria (empty criteria impose nothing). Rows keep the order of the
// selection records; an expert drawn twice is listed twice. Each row has
// the eight columns of a draw-list row (CandidateColumns).
//
// Records in hidden (those of panels still confidential to the user) are
// listed with the expert's number, name, birth date, unit and phone as
// kHiddenText, and never match a work-unit criterion: a match would tell the
// unit that is hidden.
TextTable FilterHistory(const TextTable &selections, const TextTable &experts, const HistoryCriteria &criteria,
                        const QSet<QString> &hidden = {});
