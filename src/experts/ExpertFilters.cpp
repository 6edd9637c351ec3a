#include "experts/ExpertFilters.h"

#include "data/Schema.h"
#include "data/Vocabulary.h"
#include "data/Wildcard.h"

#include <QVarLengthArray>

#include <optional>
#include <vector>

namespace {

// A short or damaged row reads as empty fields instead of reading past its end.
const QString &FieldOf(const QStringList &row, int field)
{
    static const QString empty;
    return field < row.size() ? row.at(field) : empty;
}

// Writes row k of a working list, reusing the row already there: a long list
// rebuilt again costs no allocation, and a cell that already shares the
// field's text is left alone.
template <size_t N> void PutRow(TextTable &table, qsizetype k, const std::array<const QString *, N> &cells)
{
    if (k == table.count()) {
        QStringList row;
        row.reserve(N);
        for (const QString *c : cells)
            row.append(*c);
        table.rows.append(std::move(row));
        return;
    }
    QStringList &row = table.rows[k];
    if (row.size() != qsizetype(N))
        row.resize(N);
    for (size_t j = 0; j < N; ++j) {
        QString &target = row[j];
        if (target.constData() != cells[j]->constData() || target.size() != cells[j]->size())
            target = *cells[j];
    }
}

// Drops the rows past the last one written.
void Truncate(TextTable &table, qsizetype count)
{
    if (table.count() > count)
        table.rows.resize(count);
}

} // namespace

const std::array<SearchCriterionField, kSearchCriteriaCount> &SearchCriterionFields()
{
    using namespace Schema;
    static const std::array<SearchCriterionField, kSearchCriteriaCount> fields{{
        {E_Name, true},
        {E_Sex, false},
        {E_Status, false},
        {E_Is_temp, false},
        {E_degree_type_id, false},
        {E_type, true},
        {E_zhicheng_id, false},
        {E_province, true},
        {E_Company_name, true},
        {E_cong_shi_zhuanye, true},
        {E_resource_industry, true},
        {E_zige_name, true},
        {E_zige_gettime, true},
    }};
    return fields;
}

void SetExpert_MsgTemp(const DataStore &store, const QString &name, const QString &status, TextTable &rows)
{
    using namespace Schema;
    // One compiled pattern for the whole pass.
    std::optional<WildcardPattern> namePattern;
    if (!name.isEmpty())
        namePattern.emplace(WildcardPattern::contains(name));
    const bool anyStatus = status == kAllItem;

    // Experts name one of a handful of title codes: each is looked up once
    // and found again by a short linear search, far cheaper than hashing.
    QVarLengthArray<std::pair<QString, QString>, 16> titleNames;
    QString uncached;
    auto titleName = [&](const QString &code) -> const QString & {
        for (const auto &known : titleNames)
            if (known.first == code)
                return known.second;
        // A file full of odd codes must not make the search quadratic.
        if (titleNames.size() >= 32) {
            uncached = TitleNameForCode(store, code);
            return uncached;
        }
        titleNames.append({code, TitleNameForCode(store, code)});
        return titleNames.last().second;
    };

    qsizetype k = 0;
    for (const QStringList &e : store.ExpertTable.rows) {
        if (namePattern && !namePattern->matches(FieldOf(e, E_Name)))
            continue;
        if (!anyStatus && FieldOf(e, E_Status) != status)
            continue;
        const QString &title = titleName(FieldOf(e, E_zhicheng_id));
        PutRow<kExpertListColumns>(rows, k++,
                                   {&FieldOf(e, E_Id), &FieldOf(e, E_Name), &FieldOf(e, E_Sex),
                                    &FieldOf(e, E_province), &FieldOf(e, E_cong_shi_zhuanye), &title,
                                    &FieldOf(e, E_Status), &FieldOf(e, E_Is_temp), &FieldOf(e, E_star_number)});
    }
    Truncate(rows, k);
}

void sExpert_MsgDetTemp(const DataStore &store, const SearchCriteria &criteria, TextTable &rows)
{
    using namespace Schema;

    // The criteria that set a condition, in index order, each pattern compiled once.
    struct Test {
        int field;
        QString text;
        std::optional<WildcardPattern> pattern;
    };
    std::vector<Test> tests;
    const auto &fields = SearchCriterionFields();
    for (int i = 0; i < kSearchCriteriaCount; ++i) {
        if (criteria[i].isEmpty())
            continue;
        Test t{fields[i].field, criteria[i], std::nullopt};
        if (fields[i].partial)
            t.pattern.emplace(WildcardPattern::contains(criteria[i]));
        tests.push_back(std::move(t));
    }

    qsizetype k = 0;
    for (const QStringList &e : store.ExpertTable.rows) {
        bool pass = true;
        for (const Test &t : tests) {
            const QString &value = FieldOf(e, t.field);
            if (t.pattern ? !t.pattern->matches(value) : value != t.text) {
                pass = false;
                break;
            }
        }
        if (!pass)
            continue;
        PutRow<kSearchResultColumns>(rows, k++,
                                     {&FieldOf(e, E_Id), &FieldOf(e, E_Name), &FieldOf(e, E_birth_date),
                                      &FieldOf(e, E_Company_name), &FieldOf(e, E_cong_shi_zhuanye),
                                      &FieldOf(e, E_zige_name), &FieldOf(e, E_Mobile)});
    }
    Truncate(rows, k);
}
