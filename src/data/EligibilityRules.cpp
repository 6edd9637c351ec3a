#include "data/EligibilityRules.h"

#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawRecord.h"
#include "data/LibrarySettings.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "data/Vocabulary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <array>

namespace {

using namespace Schema;

// The settings in the order they are written and logged.
const QStringList &SettingNames()
{
    static const QStringList names{EligibilitySetting::AgeLimit,       EligibilitySetting::MinWorkYears,
                                   EligibilitySetting::TitleLevels,    EligibilitySetting::PanelSize,
                                   EligibilitySetting::ConfirmGapDays, EligibilitySetting::ConfirmLimit,
                                   EligibilitySetting::ConfirmDays};
    return names;
}

QString NumberText(int n) { return n > 0 ? QString::number(n) : QString(); }

// The stored texts of the rules, in SettingNames order; "" for a rule off.
QStringList SettingValues(const EligibilityRules &r)
{
    QStringList levels;
    for (const QString &l : r.titleLevels)
        if (!l.trimmed().isEmpty())
            levels << l.trimmed();
    return {NumberText(r.ageLimit),   NumberText(r.minWorkYears),   levels.join(QLatin1Char(',')),
            NumberText(r.panelSize),  NumberText(r.confirmGapDays), NumberText(r.confirmLimit),
            NumberText(r.confirmDays)};
}

// A stored number; anything unreadable or not positive leaves the rule off.
int StoredNumber(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n > 0 ? n : 0;
}

EligibilityRules RulesFromValues(const QStringList &v)
{
    EligibilityRules r;
    r.ageLimit = StoredNumber(v.value(0));
    r.minWorkYears = StoredNumber(v.value(1));
    for (const QString &l : v.value(2).split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!l.trimmed().isEmpty())
            r.titleLevels << l.trimmed();
    r.panelSize = StoredNumber(v.value(3));
    r.confirmGapDays = StoredNumber(v.value(4));
    r.confirmLimit = StoredNumber(v.value(5));
    r.confirmDays = StoredNumber(v.value(6));
    return r;
}

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The number made of digits [from, from + n) of text.
int DigitsAt(QStringView text, qsizetype from, qsizetype n)
{
    int v = 0;
    for (qsizetype i = from; i < from + n; ++i)
        v = v * 10 + (text[i].unicode() - '0');
    return v;
}

bool AllDigits(QStringView text, qsizetype from, qsizetype n)
{
    for (qsizetype i = from; i < from + n; ++i)
        if (!IsDigit(text[i]))
            return false;
    return true;
}

// The day of a panel from 评审时间 ("2026-12-10 09:30"): its first word.
QDate ReviewDay(const QString &reviewTime)
{
    const QString t = reviewTime.trimmed();
    const qsizetype space = t.indexOf(QLatin1Char(' '));
    return ReadRecordDate(space < 0 ? QStringView(t) : QStringView(t).left(space));
}

QJsonObject CountsObject(const EligibilityCounts &c)
{
    return {{QStringLiteral("age"), double(c.age)},
            {QStringLiteral("ageUnknown"), double(c.ageUnknown)},
            {QStringLiteral("workYears"), double(c.workYears)},
            {QStringLiteral("workYearsUnknown"), double(c.workYearsUnknown)},
            {QStringLiteral("titleLevel"), double(c.titleLevel)},
            {QStringLiteral("confirmLimit"), double(c.confirmLimit)},
            {QStringLiteral("suspended"), double(c.suspended)},
            {QStringLiteral("total"), double(c.total)}};
}

}   // namespace

QString EligibilityRulesProblem(const EligibilityRules &r)
{
    if (r.ageLimit < 0 || r.minWorkYears < 0 || r.panelSize < 0 || r.confirmGapDays < 0 || r.confirmLimit < 0 ||
        r.confirmDays < 0)
        return QStringLiteral("抽取规则中的数字不能为负数。");
    if (r.panelSize > 0 && (r.panelSize < 3 || r.panelSize % 2 == 0))
        return QStringLiteral("评审专家人数应为不少于3的单数。");
    if ((r.confirmLimit > 0) != (r.confirmDays > 0))
        return QStringLiteral("评审次数限制须同时填写天数和次数。");
    return {};
}

EligibilityRules ReadEligibilityRules(Connection &conn)
{
    QStringList values;
    for (const QString &name : SettingNames())
        values << ReadLibrarySetting(conn, name);
    return RulesFromValues(values);
}

void WriteEligibilityRules(Connection &conn, const EligibilityRules &rules, const QString &operatorName)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    const QStringList before = SettingValues(ReadEligibilityRules(conn));
    const QStringList after = SettingValues(rules);
    if (before == after) {
        tx.commit();
        return;
    }
    const QStringList &names = SettingNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (before[i] == after[i])
            continue;
        Statement del = conn.prepare(QStringLiteral("DELETE FROM library_setting WHERE Name = ?"));
        del.bind(1, names[i]);
        del.step();
        if (after[i].isEmpty())
            continue;   // a rule off has no row: older versions read it as off too
        Statement ins = conn.prepare(QStringLiteral("INSERT INTO library_setting (Name, Value) VALUES (?, ?)"));
        ins.bind(1, names[i]);
        ins.bind(2, after[i]);
        ins.step();
    }
    AppendAudit(conn, operatorName, AuditKind::Setting, QStringLiteral("抽取规则"), FieldChanges(names, before, after));
    tx.commit();
}

Result<EligibilityRules> ReadEligibilityRules(const DataStore &store)
{
    return CatchDbError([&] { return ReadEligibilityRules(LibraryConnection(store)); });
}

Outcome WriteEligibilityRules(const DataStore &store, const EligibilityRules &rules)
{
    return CatchDbError([&] { WriteEligibilityRules(LibraryConnection(store), rules, store.operatorName); });
}

QDate ReadRecordDate(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.size() == 8 && AllDigits(t, 0, 8))
        return QDate(DigitsAt(t, 0, 4), DigitsAt(t, 4, 2), DigitsAt(t, 6, 2));
    // Three numbers: a year of four digits, then month and day of one or two,
    // with one separator after each of the first two.
    std::array<int, 3> part{};
    qsizetype i = 0;
    bool chinese = false;
    for (int k = 0; k < 3; ++k) {
        const qsizetype start = i;
        while (i < t.size() && IsDigit(t[i]))
            ++i;
        const qsizetype digits = i - start;
        if (k == 0 ? digits != 4 : (digits < 1 || digits > 2))
            return {};
        part[k] = DigitsAt(t, start, digits);
        if (k == 2)
            break;
        if (i >= t.size())
            return {};
        const QChar sep = t[i++];
        if (k == 0)
            chinese = sep == QChar(0x5E74);                                  // 年
        const bool fits = chinese ? sep == QChar(k == 0 ? 0x5E74 : 0x6708)   // 年, 月
                                  : (sep == QLatin1Char('-') || sep == QLatin1Char('/') || sep == QLatin1Char('.'));
        if (!fits)
            return {};
        if (k == 1 && !chinese && sep != t[start - 1])
            return {};   // 1965-03/08 is no date anyone wrote
    }
    if (chinese && i < t.size() && t[i] == QChar(0x65E5))   // 日
        ++i;
    if (i != t.size())
        return {};
    return QDate(part[0], part[1], part[2]);
}

QDate BirthDateFromIdCard(QStringView number)
{
    const QStringView n = number.trimmed();
    if (n.size() == 18) {
        if (!AllDigits(n, 0, 17))
            return {};
        static constexpr int kWeights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
        int sum = 0;
        for (int i = 0; i < 17; ++i)
            sum += (n[i].unicode() - '0') * kWeights[i];
        static constexpr char kCheck[] = "10X98765432";
        if (n[17].toUpper() != QLatin1Char(kCheck[sum % 11]))
            return {};
        return QDate(DigitsAt(n, 6, 4), DigitsAt(n, 10, 2), DigitsAt(n, 12, 2));
    }
    if (n.size() == 15 && AllDigits(n, 0, 15))
        return QDate(1900 + DigitsAt(n, 6, 2), DigitsAt(n, 8, 2), DigitsAt(n, 10, 2));
    return {};
}

QDate ExpertBirthDate(const TextTable &experts, qsizetype row)
{
    const QDate recorded = ReadRecordDate(experts.cell(row, E_birth_date));
    return recorded.isValid() ? recorded : BirthDateFromIdCard(experts.cell(row, E_Profession));
}

int FullYears(const QDate &from, const QDate &on)
{
    if (!from.isValid() || !on.isValid() || from > on)
        return -1;
    int years = on.year() - from.year();
    // Not yet this year's anniversary (a 29 February birthday comes on 1 March
    // in other years).
    if (on.month() < from.month() || (on.month() == from.month() && on.day() < from.day()))
        --years;
    return years;
}

QList<ConfirmedPanel> ReadConfirmedPanels(Connection &conn)
{
    QList<ConfirmedPanel> panels;
    if (!HasProjectTables(conn))
        return panels;
    // An expert's attendance is the last one recorded for their place.
    Statement st = conn.prepare(
        QStringLiteral("SELECT e.Expert_Id, e.Project_Id, p.Review_time, a.Changed_at "
                       "FROM draw_expert e JOIN draw_project p ON p.Id = e.Project_Id "
                       "JOIN draw_attendance a ON a.Project_Id = e.Project_Id AND a.Seq = e.Seq "
                       "WHERE a.rowid = (SELECT MAX(b.rowid) FROM draw_attendance b WHERE b.Project_Id = e.Project_Id "
                       "AND b.Seq = e.Seq) AND a.Status = ? ORDER BY e.Project_Id, e.Seq"));
    st.bind(1, Attendance::Confirmed);
    while (st.step()) {
        ConfirmedPanel p{st.text(0), st.text(1), ReviewDay(st.text(2))};
        if (!p.date.isValid())
            p.date = ReadRecordDate(QStringView(st.text(3)).left(10));
        panels.append(p);
    }
    return panels;
}

EligibilityCheck::EligibilityCheck(const EligibilityRules &rules, const QDate &reviewDate,
                                   const QList<ConfirmedPanel> &confirmed, const QSet<QString> &suspended)
    : m_rules(rules), m_reviewDate(reviewDate), m_active(rules.filters() || !suspended.isEmpty()),
      m_suspended(suspended)
{
    if (m_rules.confirmLimit > 0 && m_rules.confirmDays > 0) {
        // The last N days end on the review day (N = 1 is that day alone);
        // panels already booked after it count as well.
        const QDate from = reviewDate.addDays(-(m_rules.confirmDays - 1));
        QSet<QString> seen;   // one panel per project, however the expert got there
        for (const ConfirmedPanel &p : confirmed) {
            if (!p.date.isValid() || p.date < from)
                continue;
            const QString key = p.expertId + QLatin1Char('\n') + p.projectId;
            if (seen.contains(key))
                continue;
            seen.insert(key);
            ++m_recentPanels[p.expertId];
        }
    }
}

bool EligibilityCheck::admits(const TextTable &experts, qsizetype row, EligibilityCounts &counts) const
{
    if (!m_active)
        return true;
    bool out = false;
    if (!m_suspended.isEmpty() && m_suspended.contains(experts.cell(row, E_Id).toString())) {
        ++counts.suspended;
        out = true;
    }
    if (m_rules.ageLimit > 0) {
        const int age = FullYears(ExpertBirthDate(experts, row), m_reviewDate);
        if (age < 0) {
            ++counts.ageUnknown;
        } else if (age >= m_rules.ageLimit) {
            ++counts.age;
            out = true;
        }
    }
    if (m_rules.minWorkYears > 0) {
        const int years = FullYears(ReadRecordDate(experts.cell(row, E_graduate_date)), m_reviewDate);
        if (years < m_rules.minWorkYears) {
            ++counts.workYears;
            counts.workYearsUnknown += years < 0;
            out = true;
        }
    }
    if (!m_rules.titleLevels.isEmpty()) {
        const QStringView level = experts.cell(row, E_zhicheng_id).trimmed();
        bool held = false;
        for (const QString &l : m_rules.titleLevels)
            held = held || level == l;
        if (!held) {
            ++counts.titleLevel;
            out = true;
        }
    }
    if (m_rules.confirmLimit > 0 && m_rules.confirmDays > 0 && !m_recentPanels.isEmpty() &&
        m_recentPanels.value(experts.cell(row, E_Id).toString()) >= m_rules.confirmLimit) {
        ++counts.confirmLimit;
        out = true;
    }
    counts.total += out;
    return !out;
}

EligibilityCounts ApplyEligibility(TextTable &experts, const EligibilityRules &rules, const QDate &reviewDate,
                                   const QList<ConfirmedPanel> &confirmed, const QSet<QString> &suspended)
{
    EligibilityCounts counts;
    const EligibilityCheck check(rules, reviewDate, confirmed, suspended);
    if (!check.active())
        return counts;
    experts.removeRowsIf([&](const TextTable &t, qsizetype r) { return !check.admits(t, r, counts); });
    return counts;
}

QString DescribeEligibility(const EligibilityRules &rules, const EligibilityCounts *counts, const TextTable *titleTypes)
{
    QStringList parts;
    QStringList removed;
    if (rules.ageLimit > 0) {
        parts << QStringLiteral("年龄不满%1周岁").arg(rules.ageLimit);
        if (counts)
            removed << QStringLiteral("年龄超限%1人（年龄不详%2人未排除）").arg(counts->age).arg(counts->ageUnknown);
    }
    if (rules.minWorkYears > 0) {
        parts << QStringLiteral("工作年限不少于%1年").arg(rules.minWorkYears);
        if (counts)
            removed << QStringLiteral("工作年限不足%1人（其中毕业时间不详%2人）")
                           .arg(counts->workYears)
                           .arg(counts->workYearsUnknown);
    }
    if (!rules.titleLevels.isEmpty()) {
        QStringList levels;
        for (const QString &code : rules.titleLevels) {
            const qsizetype row = titleTypes ? ReferenceRowForCode(*titleTypes, code) : -1;
            const QString name = row > 0 ? titleTypes->cell(row, 1).trimmed().toString() : QString();
            levels << (name.isEmpty() ? code : name);
        }
        parts << QStringLiteral("职称级别限于%1").arg(levels.join(QStringLiteral("、")));
        if (counts)
            removed << QStringLiteral("职称级别不符%1人").arg(counts->titleLevel);
    }
    if (rules.confirmLimit > 0 && rules.confirmDays > 0) {
        parts << QStringLiteral("近%1天内确认参加评审少于%2次").arg(rules.confirmDays).arg(rules.confirmLimit);
        if (counts)
            removed << QStringLiteral("评审次数已满%1人").arg(counts->confirmLimit);
    }
    if (rules.panelSize > 0)
        parts << QStringLiteral("评审专家不少于%1人且为单数").arg(rules.panelSize);
    // Suspensions need no rule; they show when they kept someone out.
    if (counts && counts->suspended > 0) {
        parts << QStringLiteral("暂停抽取的专家不参加");
        removed << QStringLiteral("暂停%1人").arg(counts->suspended);
    }
    if (parts.isEmpty())
        return QStringLiteral("无");
    QString text = parts.join(QStringLiteral("；"));
    if (counts && !removed.isEmpty())
        text += QStringLiteral("（%1，共排除%2人）").arg(removed.join(QStringLiteral("，"))).arg(counts->total);
    return text;
}

QString EligibilityToText(const EligibilityRules &rules, const EligibilityCounts &counts)
{
    QJsonObject o;
    o.insert(QStringLiteral("ageLimit"), rules.ageLimit);
    o.insert(QStringLiteral("minWorkYears"), rules.minWorkYears);
    o.insert(QStringLiteral("titleLevels"), QJsonArray::fromStringList(rules.titleLevels));
    o.insert(QStringLiteral("panelSize"), rules.panelSize);
    o.insert(QStringLiteral("confirmGapDays"), rules.confirmGapDays);
    o.insert(QStringLiteral("confirmLimit"), rules.confirmLimit);
    o.insert(QStringLiteral("confirmDays"), rules.confirmDays);
    o.insert(QStringLiteral("removed"), CountsObject(counts));
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool EligibilityFromText(const QString &text, EligibilityRules *rules, EligibilityCounts *counts)
{
    *rules = EligibilityRules();
    *counts = EligibilityCounts();
    if (text.isEmpty())
        return true;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    rules->ageLimit = o.value(QStringLiteral("ageLimit")).toInt();
    rules->minWorkYears = o.value(QStringLiteral("minWorkYears")).toInt();
    for (const QJsonValue &l : o.value(QStringLiteral("titleLevels")).toArray())
        rules->titleLevels << l.toString();
    rules->panelSize = o.value(QStringLiteral("panelSize")).toInt();
    rules->confirmGapDays = o.value(QStringLiteral("confirmGapDays")).toInt();
    rules->confirmLimit = o.value(QStringLiteral("confirmLimit")).toInt();
    rules->confirmDays = o.value(QStringLiteral("confirmDays")).toInt();
    const QJsonObject removed = o.value(QStringLiteral("removed")).toObject();
    const auto count = [&](const char *key) { return qsizetype(removed.value(QLatin1String(key)).toDouble()); };
    counts->age = count("age");
    counts->ageUnknown = count("ageUnknown");
    counts->workYears = count("workYears");
    counts->workYearsUnknown = count("workYearsUnknown");
    counts->titleLevel = count("titleLevel");
    counts->confirmLimit = count("confirmLimit");
    counts->suspended = count("suspended");
    counts->total = count("total");
    return true;
}

QString PanelSizeProblem(const EligibilityRules &rules, qsizetype confirmed)
{
    if (rules.panelSize <= 0)
        return {};
    if (confirmed < rules.panelSize)
        return QStringLiteral("确认参加的专家只有%1人，抽取规则要求评审专家不少于%2人。")
            .arg(confirmed)
            .arg(rules.panelSize);
    if (confirmed % 2 == 0)
        return QStringLiteral("确认参加的专家为%1人，抽取规则要求评审专家人数为单数。").arg(confirmed);
    return {};
}

TextTable ExpertsToReconfirm(const TextTable &experts, const QList<ConfirmedPanel> &confirmed, int gapDays,
                             const QDate &today)
{
    TextTable out;
    if (gapDays <= 0)
        return out;
    QHash<QString, QDate> lastPanel;
    for (const ConfirmedPanel &p : confirmed) {
        if (!p.date.isValid())
            continue;
        QDate &last = lastPanel[p.expertId];
        if (!last.isValid() || p.date > last)
            last = p.date;
    }
    for (qsizetype r = 0; r < experts.count(); ++r) {
        if (experts.cell(r, E_Status) != kStatusEnabled)
            continue;
        const QString id = experts.cell(r, E_Id).toString();
        const QDate panel = lastPanel.value(id);
        const QDate saved = ReadRecordDate(experts.cell(r, E_Reg_date));
        const QDate seen = panel.isValid() && (!saved.isValid() || panel > saved) ? panel : saved;
        const qint64 days = seen.isValid() ? seen.daysTo(today) : -1;
        if (seen.isValid() && days <= gapDays)
            continue;
        out.append(
            {id, experts.cell(r, E_Name).toString(), experts.cell(r, E_Company_name).toString(),
             experts.cell(r, E_Mobile).toString(), panel.isValid() ? panel.toString(kStoredDateFormat) : QString(),
             experts.cell(r, E_Reg_date).toString().trimmed(), seen.isValid() ? QString::number(days) : QString()});
    }
    return out;
}

Result<TextTable> ExpertsToReconfirm(const DataStore &store, const QDate &today)
{
    return CatchDbError([&] {
        Connection &conn = LibraryConnection(store);
        const EligibilityRules rules = ReadEligibilityRules(conn);
        if (rules.confirmGapDays <= 0)
            return TextTable();
        return ExpertsToReconfirm(store.ExpertTable, ReadConfirmedPanels(conn), rules.confirmGapDays, today);
    });
}
