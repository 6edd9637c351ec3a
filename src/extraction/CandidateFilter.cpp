#include "extraction/CandidateFilter.h"

#include "data/Credit.h"
#include "data/DbError.h"
#include "data/Schema.h"
#include "data/Wildcard.h"
#include "data/Vocabulary.h"

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

// One compiled test of a non-empty slot; patterns are built once per filter
// run, not once per expert.
struct CompiledTest {
    int field;
    QString exact;
    std::optional<WildcardPattern> pattern;

    bool passes(const TextTable &experts, qsizetype row) const
    {
        const QStringView value = experts.cell(row, field);
        return pattern ? pattern->matches(value) : value == exact;
    }
};

}   // namespace

SelectionCriteria NoRecordCriteria()
{
    SelectionCriteria c;
    c.fill(kNoRecord);
    return c;
}

QList<QStringView> CandidateColumns(const TextTable &experts, qsizetype row)
{
    static constexpr std::array<ExpertField, 8> kColumns{
        E_Id, E_Name, E_Sex, E_birth_date, E_Company_name, E_cong_shi_zhuanye, E_zige_name, E_Mobile};
    QList<QStringView> cells;
    cells.reserve(qsizetype(kColumns.size()));
    for (ExpertField f : kColumns)
        cells.append(experts.cell(row, f));
    return cells;
}

namespace {

// The criteria's tests, compiled once per filter run.
QVector<CompiledTest> CompileCriteria(const SelectionCriteria &criteria)
{
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
    return tests;
}

// The one pass: enabled, every criterion, then whatever admit says.
template <typename Admit>
void RunFilter(const TextTable &experts, const SelectionCriteria &criteria, TextTable &candidates, Admit admit)
{
    const QVector<CompiledTest> tests = CompileCriteria(criteria);
    TextTable found;
    found.reserve(experts.count());
    for (qsizetype r = 0; r < experts.count(); ++r) {
        if (experts.cell(r, E_Status) != kStatusEnabled)
            continue;
        bool passes = true;
        for (const CompiledTest &t : tests) {
            if (!t.passes(experts, r)) {
                passes = false;
                break;
            }
        }
        if (passes && admit(r))
            found.appendCells(CandidateColumns(experts, r));
    }
    candidates = std::move(found);
}

}   // namespace

void FilterCandidates(const TextTable &experts, const SelectionCriteria &criteria, TextTable &candidates)
{
    RunFilter(experts, criteria, candidates, [](qsizetype) { return true; });
}

EligibilityCounts FilterCandidates(const TextTable &experts, const SelectionCriteria &criteria,
                                   const DrawEligibility &eligibility, TextTable &candidates)
{
    EligibilityCounts counts;
    const EligibilityCheck check(eligibility.rules, eligibility.reviewDate, eligibility.confirmed,
                                 eligibility.suspended);
    if (!check.active()) {
        FilterCandidates(experts, criteria, candidates);
        return counts;
    }
    RunFilter(experts, criteria, candidates, [&](qsizetype r) { return check.admits(experts, r, counts); });
    return counts;
}

DrawEligibility ReadDrawEligibility(Connection &conn, const QDate &reviewDate)
{
    DrawEligibility e;
    e.rules = ReadEligibilityRules(conn);
    e.reviewDate = reviewDate;
    if (e.rules.confirmLimit > 0 && e.rules.confirmDays > 0)
        e.confirmed = ReadConfirmedPanels(conn);
    e.units = ReadUnitRecords(conn);
    e.suspended = SuspendedExperts(conn, reviewDate);
    return e;
}

Result<DrawEligibility> ReadDrawEligibility(const DataStore &store, const QDate &reviewDate)
{
    return CatchDbError([&] { return ReadDrawEligibility(LibraryConnection(store), reviewDate); });
}

Result<EligibilityCounts> FilterCandidates(const DataStore &store, const SelectionCriteria &criteria,
                                           const QDate &reviewDate, TextTable &candidates)
{
    const Result<DrawEligibility> eligibility = ReadDrawEligibility(store, reviewDate);
    if (!eligibility) {
        candidates.clear();
        return eligibility.failure().prefixed(QStringLiteral("无法读取抽取规则，本次没有抽取：\n"));
    }
    return FilterCandidates(store.ExpertTable, criteria, eligibility.value(), candidates);
}

void MergePicks(TextTable &drawList, const TextTable &picks)
{
    // Where each Id stands, so a merge costs one pass over the list however
    // many picks it brings. The first row of an Id is the one refreshed.
    QHash<QString, qsizetype> rowOfId;
    rowOfId.reserve(drawList.count() + picks.count());
    for (qsizetype i = drawList.count() - 1; i >= 0; --i)
        rowOfId.insert(drawList.cell(i, 0).toString(), i);

    for (qsizetype p = 0; p < picks.count(); ++p) {
        const QString id = picks.cell(p, 0).toString();
        const auto it = rowOfId.constFind(id);
        if (it == rowOfId.constEnd()) {
            rowOfId.insert(id, drawList.count());
            drawList.appendRowOf(picks, p);
            continue;
        }
        for (int c = 1; c < picks.cellCount(p); ++c)
            drawList.setCell(*it, c, picks.cell(p, c));
    }
}
