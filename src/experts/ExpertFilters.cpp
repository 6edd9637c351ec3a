#include "experts/ExpertFilters.h"

#include "data/Schema.h"
#include "data/Vocabulary.h"
#include "data/Wildcard.h"

#include <QVarLengthArray>

#include <optional>
#include <vector>

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
    auto titleName = [&](QStringView code) -> const QString & {
        for (const auto &known : titleNames)
            if (known.first == code)
                return known.second;
        // A file full of odd codes must not make the search quadratic.
        if (titleNames.size() >= 32) {
            uncached = TitleNameForCode(store, code.toString());
            return uncached;
        }
        titleNames.append({code.toString(), TitleNameForCode(store, code.toString())});
        return titleNames.last().second;
    };

    const TextTable &experts = store.ExpertTable;
    TextTable list;
    list.reserve(experts.count());
    for (qsizetype r = 0; r < experts.count(); ++r) {
        if (namePattern && !namePattern->matches(experts.cell(r, E_Name)))
            continue;
        if (!anyStatus && experts.cell(r, E_Status) != status)
            continue;
        const QString &title = titleName(experts.cell(r, E_zhicheng_id));
        list.appendCells({experts.cell(r, E_Id), experts.cell(r, E_Name), experts.cell(r, E_Sex),
                          experts.cell(r, E_province), experts.cell(r, E_cong_shi_zhuanye), QStringView(title),
                          experts.cell(r, E_Status), experts.cell(r, E_Is_temp), experts.cell(r, E_star_number)});
    }
    rows = std::move(list);
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

    const TextTable &experts = store.ExpertTable;
    TextTable list;
    for (qsizetype r = 0; r < experts.count(); ++r) {
        bool pass = true;
        for (const Test &t : tests) {
            const QStringView value = experts.cell(r, t.field);
            if (t.pattern ? !t.pattern->matches(value) : value != t.text) {
                pass = false;
                break;
            }
        }
        if (!pass)
            continue;
        list.appendCells({experts.cell(r, E_Id), experts.cell(r, E_Name), experts.cell(r, E_birth_date),
                          experts.cell(r, E_Company_name), experts.cell(r, E_cong_shi_zhuanye),
                          experts.cell(r, E_zige_name), experts.cell(r, E_Mobile)});
    }
    rows = std::move(list);
}
