#include "extraction/CandidateFilter.h"

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

namespace {

constexpr std::array<ExpertField, 9> kCellsRead{E_Id, E_Name, E_Status, E_Sex, E_birth_date, E_Company_name,
                                                E_cong_shi_zhuanye, E_zige_name, E_Mobile};

// Copying a cell bumps the reference count in its string's header: an
// atomic write the processor cannot overlap with the next one, so on a large
// table the filter would wait for memory once per cell. Asking early for the
// cells of rows further on lets those loads run side by side. The benchmarks
// keep the filter without these asks beside this one (BM_PlainCandidate...):
// on 40,000 experts the asks for the headers save about a third.
inline void PrefetchRowCells(const QStringList &row)
{
    if (row.size() < ExpertFieldCount)
        return;
    const QString *cells = row.constData();
    for (ExpertField f : kCellsRead)
        __builtin_prefetch(cells + f);
}

inline void PrefetchStringHeaders(const QStringList &row)
{
    if (row.size() < ExpertFieldCount)
        return;
    const QString *cells = row.constData();
    for (ExpertField f : kCellsRead) {
        // The header sits just before the characters.
        const char *chars = reinterpret_cast<const char *>(cells[f].constData());
        __builtin_prefetch(chars - sizeof(QArrayData));
    }
}

inline void PrefetchHeaders(const QStringList &row, qsizetype cells)
{
    const QString *cell = row.constData();
    for (qsizetype c = 0; c < cells && c < row.size(); ++c)
        __builtin_prefetch(reinterpret_cast<const char *>(cell[c].constData()) - sizeof(QArrayData));
}

// Emptying the previous candidates drops a reference in every cell's header,
// the same wait for memory; the same early asks keep it short.
void ReleaseRows(TextTable &table)
{
    if (!table.rows.isDetached()) {
        table.clear();   // someone else holds the rows: only our reference goes
        return;
    }
    constexpr qsizetype kRowsAhead = 16, kHeadersAhead = 8;
    const qsizetype count = table.count();
    for (qsizetype i = 0; i < count; ++i) {
        if (i + kRowsAhead < count) {
            const char *cells = reinterpret_cast<const char *>(table.rows.at(i + kRowsAhead).constData());
            __builtin_prefetch(cells);
            __builtin_prefetch(cells + 64);
            __builtin_prefetch(cells + 128);
        }
        if (i + kHeadersAhead < count)
            PrefetchHeaders(table.rows.at(i + kHeadersAhead), 8);
        QStringList().swap(table.rows[i]);
    }
    table.clear();
}

} // namespace

void FilterCandidates(const TextTable &experts, const SelectionCriteria &criteria, TextTable &candidates)
{
    ReleaseRows(candidates);

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
    constexpr qsizetype kRowsAhead = 16, kHeadersAhead = 8;
    const qsizetype count = experts.count();
    for (qsizetype i = 0; i < count; ++i) {
        if (i + kRowsAhead < count)
            PrefetchRowCells(experts.rows.at(i + kRowsAhead));
        if (i + kHeadersAhead < count)
            PrefetchStringHeaders(experts.rows.at(i + kHeadersAhead));
        const QStringList &expert = experts.rows.at(i);
        if (expert.size() <= E_Status || expert.at(E_Status) != kStatusEnabled)
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
