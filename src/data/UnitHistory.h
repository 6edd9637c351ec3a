#pragma once

#include "data/Result.h"
#include "data/Wildcard.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

class Connection;
struct DataStore;

// Where experts worked before, and the names a work unit goes by: what the
// work-unit avoidance rule needs so that neither a recent move nor another
// spelling of the same unit lets an interested expert through.

// A work unit an expert left, with the dates as typed ("YYYY-MM-DD"; either
// may be empty when not known).
struct FormerUnit {
    QString unit;
    QString from;
    QString to;
    bool operator==(const FormerUnit &) const = default;
};
// Former units by expert Id, in the order entered.
using FormerUnitsById = QHash<QString, QList<FormerUnit>>;

// Groups of names that mean one unit ("中铁八局", "中铁第八工程局有限公司").
using UnitAliases = QList<QStringList>;

inline constexpr const char *kFormerUnitTable = "expert_former_unit";
inline constexpr const char *kUnitAliasTable = "unit_alias";

// What is wrong with a former unit as entered ("" when nothing): a unit
// without a name, a date that is no date, an end before the start.
QString FormerUnitProblem(const FormerUnit &unit);

// An expert's former units; none when the library has no such table yet.
// Throws DbError.
QList<FormerUnit> ReadFormerUnits(Connection &conn, const QString &expertId);
FormerUnitsById ReadAllFormerUnits(Connection &conn);
Result<QList<FormerUnit>> ReadFormerUnits(const DataStore &store, const QString &expertId);
// Replaces an expert's former units inside the caller's transaction (rows
// without a unit are left out). Throws DbError.
void WriteFormerUnits(Connection &conn, const QString &expertId, const QList<FormerUnit> &units);
// Removes the former units of these experts inside the caller's transaction.
void DeleteFormerUnits(Connection &conn, const QStringList &expertIds);

// The alias groups of a library, in the order kept; none when the library
// has no such table yet. Throws DbError.
UnitAliases ReadUnitAliases(Connection &conn);
// Replaces them in one transaction with an entry of the operation log
// holding the groups before and after. Throws DbError, leaving them as they
// were.
void WriteUnitAliases(Connection &conn, const UnitAliases &groups, const QString &operatorName);
Result<UnitAliases> ReadUnitAliases(const DataStore &store);
Outcome WriteUnitAliases(const DataStore &store, const UnitAliases &groups);

// The groups as the administrator types them: one group a line, names
// separated by "=" (also "＝"). Names are trimmed; empty names and repeats
// in a line go. A line of one name says nothing and is a problem, as is a
// name standing in two groups (the groups would have to be one).
UnitAliases ParseUnitAliases(const QString &text, QString *problem);
QString UnitAliasesText(const UnitAliases &groups);

// Everything the work-unit rule reads besides the candidates.
struct UnitRecords {
    UnitAliases aliases;
    FormerUnitsById former;
};
// Both, read in one go. Throws DbError.
UnitRecords ReadUnitRecords(Connection &conn);
Result<UnitRecords> ReadUnitRecords(const DataStore &store);

// The avoided units made ready for many experts: a unit is avoided when one
// avoided line matches it as a pattern, or when it is a name of an alias
// group one of whose names that line matches (so every name of the group
// counts, whichever of them was typed).
class UnitMatcher {
public:
    UnitMatcher(const QStringList &avoidedUnits, const UnitAliases &aliases);
    UnitMatcher(const UnitMatcher &) = delete;
    UnitMatcher &operator=(const UnitMatcher &) = delete;

    bool isEmpty() const { return m_patterns.isEmpty(); }
    bool matches(QStringView unit) const;
    // The alias groups that an avoided line reached: what the rule used.
    const UnitAliases &usedAliases() const { return m_used; }

private:
    QVector<WildcardPattern> m_patterns;
    QHash<QString, int> m_aliasNames;   // every name of a reached group
    UnitAliases m_used;
};

// Whether a former unit was left within `years` years before `day`: its end
// on or after the same day `years` years earlier. An end that is missing or
// does not read as a date counts as within, since nothing shows the expert
// left long enough ago.
bool LeftWithinYears(const FormerUnit &unit, int years, const QDate &day);
