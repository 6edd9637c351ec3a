#include "extraction/HistoryFilter.h"

#include "data/Projects.h"
#include "data/Schema.h"
#include "data/Wildcard.h"
#include "extraction/CandidateFilter.h"

#include <QHash>
#include <QStringView>
#include <optional>

TextTable FilterHistory(const TextTable &selections, const TextTable &experts, const HistoryCriteria &criteria,
                        const QSet<QString> &hidden)
{
    TextTable out;
    const QString &from = criteria[H_StartDate];
    const QString &to = criteria[H_EndDate];
    // An empty range needs no look-ups at all (the "NoRecord" criteria of a
    // fresh screen, or a start date after the end date).
    if (from > to)
        return out;

    // Expert Ids are unique, so one look-up per record replaces a scan of the
    // expert table per record. The Ids are looked at in place, not copied.
    QHash<QStringView, qsizetype> rowOfExpert;
    rowOfExpert.reserve(experts.count());
    for (qsizetype r = 0; r < experts.count(); ++r)
        rowOfExpert.insert(experts.cell(r, Schema::E_Id), r);

    std::optional<WildcardPattern> profession;
    std::optional<WildcardPattern> workUnit;
    if (!criteria[H_Profession].isEmpty())
        profession.emplace(WildcardPattern::contains(criteria[H_Profession]));
    if (!criteria[H_WorkUnit].isEmpty())
        workUnit.emplace(WildcardPattern::contains(criteria[H_WorkUnit]));

    out.reserve(selections.count());
    for (qsizetype s = 0; s < selections.count(); ++s) {
        const QStringView date = selections.cell(s, 1);
        if (date < from || date > to)
            continue;
        const auto it = rowOfExpert.constFind(selections.cell(s, 2));
        if (it == rowOfExpert.constEnd())
            continue;   // the expert has been deleted since the draw
        if (profession && !profession->matches(experts.cell(*it, Schema::E_cong_shi_zhuanye)))
            continue;
        if (!hidden.isEmpty() && hidden.contains(selections.cell(s, 0).toString())) {
            if (workUnit)
                continue;
            QList<QStringView> row = CandidateColumns(experts, *it);
            for (int c : {0, 1, 3, 4, 7})
                row[c] = kHiddenText;
            out.appendCells(row);
            continue;
        }
        if (workUnit && !workUnit->matches(experts.cell(*it, Schema::E_Company_name)))
            continue;
        out.appendCells(CandidateColumns(experts, *it));
    }
    return out;
}
