#include "extraction/CandidateFilter.h"

#include "data/Schema.h"
#include "data/Wildcard.h"
#include "shell/AppState.h"

#include <QHash>
#include <optional>

namespace {

using namespace Schema;

struct SlotTest {
    ExpertField field;
    bool partial;   // "contains" through the wildcard matcher; otherwise equality
};

// Which expert field each criterion slot tests, and how.
constexpr std::array<SlotTest, kSelectionCriteriaCount> kSlotTests{{
    {E_Name, true},
    {E_Is_temp, false},
    {E_type, true},
    {E_resource_industry, true},
    {E_cong_shi_zhuanye, true},
    {E_zhicheng_id, false},
    {E_zige_name, true},
    {E_Company_name, true},
}};

const QString kEnabled = QStringLiteral("启用");

// One compiled test of a non-empty slot; patterns are built once per filter
// run, not once per expert.
struct CompiledTest {
    int field;
    QString exact;
    std::optional<WildcardPattern> pattern;

    bool passes(const QStringList &expert) const
    {
        const QString value = expert.value(field);
        return pattern ? pattern->matches(value) : value == exact;
    }
};

} // namespace

SelectionCriteria NoRecordCriteria()
{
    SelectionCriteria c;
    c.fill(kNoRecord);
    return c;
}

QStringList CandidateColumns(const QStringList &expert)
{
    static constexpr std::array<ExpertField, 8> kColumns{E_Id, E_Name, E_Sex, E_birth_date, E_Company_name,
                                                         E_cong_shi_zhuanye, E_zige_name, E_Mobile};
    QStringList row;
    row.reserve(int(kColumns.size()));
    for (ExpertField f : kColumns)
        row.append(expert.value(f));
    return row;
}

void FilterCandidates(const TextTable &experts, const SelectionCriteria &criteria, TextTable &candidates)
{
    candidates.clear();

    QVector<CompiledTest> tests;
    for (int slot = 0; slot < kSelectionCriteriaCount; ++slot) {
        const QString &text = criteria[slot];
        if (text.isEmpty())
            continue;
        CompiledTest t{kSlotTests[slot].field, text, std::nullopt};
        if (kSlotTests[slot].partial)
            t.pattern = WildcardPattern::contains(text);
        tests.append(std::move(t));
    }

    candidates.rows.reserve(experts.count());
    for (const QStringList &expert : experts.rows) {
        if (expert.size() <= E_Status || expert.at(E_Status) != kEnabled)
            continue;
        bool passes = true;
        for (const CompiledTest &t : tests) {
            if (!t.passes(expert)) {
                passes = false;
                break;
            }
        }
        if (passes)
            candidates.append(CandidateColumns(expert));
    }
}

void MergePicks(TextTable &drawList, const TextTable &picks)
{
    // Where each Id stands, so a merge costs one pass over the list however
    // many picks it brings. The first row of an Id is the one refreshed.
    QHash<QString, qsizetype> rowOfId;
    rowOfId.reserve(drawList.count() + picks.count());
    for (qsizetype i = drawList.count() - 1; i >= 0; --i)
        rowOfId.insert(drawList.rows.at(i).value(0), i);

    for (const QStringList &pick : picks.rows) {
        const QString id = pick.value(0);
        const auto it = rowOfId.constFind(id);
        if (it == rowOfId.constEnd()) {
            rowOfId.insert(id, drawList.count());
            drawList.append(pick);
            continue;
        }
        QStringList &row = drawList.rows[*it];
        for (int c = 1; c < pick.size(); ++c) {
            if (c < row.size())
                row[c] = pick.at(c);
            else
                row.append(pick.at(c));
        }
    }
}
