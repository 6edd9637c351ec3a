#pragma once

#include "data/Tables.h"
#include "data/Vocabulary.h"

#include <QString>
#include <array>

// Columns of the expert list's rows: Id, Name, Sex, province,
// cong_shi_zhuanye, title name, Status, Is_temp, star_number.
inline constexpr int kExpertListColumns = 9;
// Columns of the advanced search's rows: Id, Name, birth_date, Company_name,
// cong_shi_zhuanye, zige_name, Mobile.
inline constexpr int kSearchResultColumns = 7;
inline constexpr int kSearchCriteriaCount = 13;

// The thirteen criterion texts of the advanced search; "" sets no condition.
using SearchCriteria = std::array<QString, kSearchCriteriaCount>;

// Which expert field each criterion tests, and whether the field must
// contain the text (wildcards kept) or equal it.
struct SearchCriterionField {
    int field;   // Schema::ExpertField
    bool partial;
};
const std::array<SearchCriterionField, kSearchCriteriaCount> &SearchCriterionFields();

// Rebuilds the expert list's rows from ExpertTable: experts whose Name
// contains name (wildcards kept; "" takes every name) and whose Status is
// status (kAllItem takes every status), in table order.
void SetExpert_MsgTemp(const DataStore &store, const QString &name, const QString &status, TextTable &rows);

// Rebuilds the advanced search's rows from ExpertTable: experts that pass
// every non-empty criterion, in table order.
void sExpert_MsgDetTemp(const DataStore &store, const SearchCriteria &criteria, TextTable &rows);
