#pragma once

#include "data/Result.h"
#include "data/TextTable.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class Connection;
struct DataStore;

// Who may sit on a panel at all, as the library's administrator sets it
// (设置 → 抽取规则). Every rule is off until set; 0 (or an empty list) is off.
struct EligibilityRules {
    // Experts this old or older on the day of the review are left out.
    int ageLimit = 0;
    // Experts with fewer full years since 毕业时间 are left out.
    int minWorkYears = 0;
    // Experts must hold one of these 职称级别 (zhicheng_id codes, "03").
    QStringList titleLevels;
    // A confirmed panel must have at least this many experts, and an odd
    // number of them.
    int panelSize = 0;
    // Experts not seen at a panel (nor their record saved) for longer than
    // this many days are listed so that their details are confirmed again.
    int confirmGapDays = 0;
    // An expert confirmed for confirmLimit panels within the last
    // confirmDays days (or booked after them) is left out. Both or neither.
    int confirmLimit = 0;
    int confirmDays = 0;

    // Whether any rule takes experts out of a draw.
    bool filters() const
    {
        return ageLimit > 0 || minWorkYears > 0 || !titleLevels.isEmpty() || (confirmLimit > 0 && confirmDays > 0);
    }
    bool isEmpty() const { return !filters() && panelSize <= 0 && confirmGapDays <= 0; }
    bool operator==(const EligibilityRules &) const = default;
};

// Their names in library_setting.
namespace EligibilitySetting {
inline const QString AgeLimit = QStringLiteral("rule_age_limit");
inline const QString MinWorkYears = QStringLiteral("rule_min_work_years");
inline const QString TitleLevels = QStringLiteral("rule_title_levels");   // codes joined by ","
inline const QString PanelSize = QStringLiteral("rule_panel_size");
inline const QString ConfirmGapDays = QStringLiteral("rule_confirm_gap_days");
inline const QString ConfirmLimit = QStringLiteral("rule_confirm_limit");
inline const QString ConfirmDays = QStringLiteral("rule_confirm_days");
}   // namespace EligibilitySetting

// What is wrong with a set of rules ("" when nothing): a panel size that is
// even or under 3, a limit without its period, numbers out of range.
QString EligibilityRulesProblem(const EligibilityRules &rules);

// The rules a library holds; a value that cannot be read leaves its rule off.
EligibilityRules ReadEligibilityRules(Connection &conn);
// Writes them in one transaction (the caller's, if there is one) with one
// entry of the operation log holding the values before and after. Nothing
// is written when nothing changed. Throws DbError, leaving the rules as they
// were.
void WriteEligibilityRules(Connection &conn, const EligibilityRules &rules, const QString &operatorName);
Result<EligibilityRules> ReadEligibilityRules(const DataStore &store);
Outcome WriteEligibilityRules(const DataStore &store, const EligibilityRules &rules);

// A date as experts' records hold it: "1965-03-08", also "1965-3-8",
// "1965/03/08", "1965.3.8", "1965年3月8日" and "19650308". Invalid for
// anything else (a year and month alone included).
QDate ReadRecordDate(QStringView text);
// The birth date inside a 身份证号: the 18-digit number (its last character a
// digit or X, the check character right) or the older 15-digit one (born
// 19yy). Invalid when the number is neither or its date is no date.
QDate BirthDateFromIdCard(QStringView number);
// An expert's birth date: 出生日期, or when that is missing or unreadable the
// one inside 身份证号. Invalid when neither tells it.
QDate ExpertBirthDate(const TextTable &experts, qsizetype row);
// Whole years from a date to another (an age); -1 when either is invalid or
// from lies after on.
int FullYears(const QDate &from, const QDate &on);

// An expert confirmed (已确认, their last attendance) for a stored project,
// and the day of that panel: the project's 评审时间 when it reads as a date,
// otherwise the day the confirmation was recorded.
struct ConfirmedPanel {
    QString expertId;
    QString projectId;
    QDate date;
};
QList<ConfirmedPanel> ReadConfirmedPanels(Connection &conn);

// How many experts each rule took out (an expert caught by two rules counts
// for both) and how many went in all. ageUnknown counts experts whose age
// cannot be told: the age limit keeps them, so that a gap in the records
// does not quietly shrink the pool, and the count shows the operator whom to
// look at. workYearsUnknown counts those the working-years rule removed
// because 毕业时间 is missing: a minimum is a qualification, and a record that
// does not show it cannot pass.
struct EligibilityCounts {
    qsizetype age = 0;
    qsizetype ageUnknown = 0;
    qsizetype workYears = 0;
    qsizetype workYearsUnknown = 0;   // included in workYears
    qsizetype titleLevel = 0;
    qsizetype confirmLimit = 0;
    // Suspended experts: left out of every draw whatever rules are set.
    qsizetype suspended = 0;
    qsizetype total = 0;
    bool operator==(const EligibilityCounts &) const = default;
};

// Whether a draw's candidates were judged by anything beside the criteria
// and avoidance: a rule that filters, or a suspension that kept someone out.
inline bool EligibilityTookPart(const EligibilityRules &rules, const EligibilityCounts &counts)
{
    return rules.filters() || counts.suspended > 0;
}

// The rules made ready for judging many experts on one review day.
class EligibilityCheck {
public:
    // suspended: the Ids of experts suspended on the review day.
    EligibilityCheck(const EligibilityRules &rules, const QDate &reviewDate, const QList<ConfirmedPanel> &confirmed,
                     const QSet<QString> &suspended = {});

    // Whether any rule (or a suspension) can take an expert out.
    bool active() const { return m_active; }
    bool isSuspended(const QString &expertId) const { return m_suspended.contains(expertId); }
    // Whether the expert in this row of an expert table (expert_msg's 29
    // columns) may be drawn; what excluded them is added to counts.
    bool admits(const TextTable &experts, qsizetype row, EligibilityCounts &counts) const;

private:
    EligibilityRules m_rules;
    QDate m_reviewDate;
    bool m_active = false;
    QHash<QString, int> m_recentPanels;   // expert Id -> panels counted against the limit
    QSet<QString> m_suspended;
};

// Takes out of experts (rows of expert_msg's 29 columns) those the rules
// exclude on reviewDate, keeping the order of the rest.
EligibilityCounts ApplyEligibility(TextTable &experts, const EligibilityRules &rules, const QDate &reviewDate,
                                   const QList<ConfirmedPanel> &confirmed, const QSet<QString> &suspended = {});

// The rules that take experts out, as a line for the screens and the printed
// record ("无" when none), with what each removed when counts are given.
// Title levels are named from titleTypes (resource_zhicheng) when given; a
// code it does not hold shows as the code.
QString DescribeEligibility(const EligibilityRules &rules, const EligibilityCounts *counts = nullptr,
                            const TextTable *titleTypes = nullptr);
// The rules and counts as stored with a round (JSON), and back.
QString EligibilityToText(const EligibilityRules &rules, const EligibilityCounts &counts);
bool EligibilityFromText(const QString &text, EligibilityRules *rules, EligibilityCounts *counts);

// What is wrong with a panel of this many confirmed experts under the rules
// ("" when nothing, or when there is no panel-size rule).
QString PanelSizeProblem(const EligibilityRules &rules, qsizetype confirmed);

// Enabled experts to ask to confirm their details: more than gapDays days
// have passed since the later of their last confirmed panel and the last
// save of their record (Reg_date); one whose record shows neither is listed
// too. Rows: 0 Id, 1 Name, 2 Company_name, 3 Mobile, 4 last panel
// ("" for none), 5 Reg_date, 6 days since (the later of the two; "" when
// neither is known). Empty when gapDays is 0.
TextTable ExpertsToReconfirm(const TextTable &experts, const QList<ConfirmedPanel> &confirmed, int gapDays,
                             const QDate &today);
Result<TextTable> ExpertsToReconfirm(const DataStore &store, const QDate &today);
