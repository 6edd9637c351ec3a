// The library's eligibility rules: who they take out of a draw, checked
// against queries over a small library file, and how they are kept.

#include "TestApp.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DrawRecord.h"
#include "data/EligibilityRules.h"
#include "data/LibrarySettings.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

using namespace Schema;

const QDate kReview(2026, 3, 10);

struct Person {
    QString name;
    QString birth;       // 出生日期
    QString idCard;      // 身份证号
    QString graduated;   // 毕业时间
    QString title;       // zhicheng_id
    QString status = kStatusEnabled;
    QString saved = " ";   // Reg_date
};

// Born exactly 60 years before the review, a day short of it, dated only by
// an 18- or 15-digit card, a card with a wrong check character, a birth date
// that beats the card, a 29 February birthday, a graduation still to come...
const QList<Person> &People()
{
    static const QList<Person> people{
        {"甲", "1966-03-10", " ", "1988-07-01", "03", kStatusEnabled, "2025-01-01"},
        {"乙", "1966-03-11", " ", "2018-07-01", "04", kStatusEnabled, "2026-03-01"},
        {"丙", " ", "11010519491231002X", " ", "02"},
        {"丁", " ", "110105491231002", "2018-03-10", "03"},
        {"戊", " ", "110105194912310021", "2018-03-11", "01", kStatusEnabled, "2025-09-01"},
        {"己", " ", " ", "1990-01-01", "04"},
        {"庚", "不详", "440301196503087892", "1985-07-01", "03"},
        {"辛", "1980-05-05", "11010519491231002X", "2002-07-01", "04"},
        {"壬", "1956-02-29", " ", "1978-07-01", "03"},
        {"癸", "1940-01-01", " ", "1962-07-01", "03", QStringLiteral("停用")},
        {"子", "1990-01-01", " ", "2030-07-01", "04"},
        {"丑", "1970-01-01", "110108195602291234", "1992-07-01", " 03 "},
        {"寅", " ", "11010519491231002x", "1970-07-01", "04"},
    };
    return people;
}

QStringList Fields(const Person &p)
{
    QStringList f;
    for (int i = 1; i < ExpertFieldCount; ++i)
        f << QStringLiteral(" ");
    const auto set = [&](ExpertField field, const QString &v) { f[field - 1] = v; };
    set(E_Name, p.name);
    set(E_Status, p.status);
    set(E_Is_temp, kKindRegular);
    set(E_Sex, kSexMale);
    set(E_birth_date, p.birth);
    set(E_graduate_date, p.graduated);
    set(E_Profession, p.idCard);
    set(E_Company_name, QStringLiteral("单位") + p.name);
    set(E_zhicheng_id, p.title);
    set(E_Mobile, QStringLiteral("13800000000"));
    set(E_Reg_date, p.saved);
    return f;
}

void Exec(Connection &conn, const QString &sql, const QStringList &values)
{
    Statement st = conn.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        st.bind(i + 1, values[i]);
    st.step();
}

// Projects with attendance as the result screens record it: the last row of
// a place is what holds. Expert 1 confirmed three times in the last month;
// expert 2 once in it and once long before; expert 3 confirmed and then
// declined in one project; expert 4 booked for a panel after the review
// day; expert 6 declined, then confirmed again.
void AddProjects(Connection &conn, const QStringList &ids)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    const struct {
        const char *id;
        const char *review;
    } projects[] = {{"P1", "2026-03-01 09:00"}, {"P2", ""}, {"P3", "2025-10-01"}, {"P4", "待定"}, {"P5", "2026-04-01"}};
    for (const auto &p : projects)
        Exec(conn, "INSERT INTO draw_project (Id, Name, Review_time) VALUES (?, ?, ?)", {p.id, p.id, p.review});
    const struct {
        const char *project;
        int seq;
        int expert;   // index into ids
        const char *at;
        const char *status;
    } marks[] = {
        {"P1", 1, 0, "2026-02-25 10:00:00", "已确认"}, {"P2", 1, 0, "2026-02-20 10:00:00", "已确认"},
        {"P4", 1, 0, "2026-03-05 10:00:00", "已确认"}, {"P1", 2, 1, "2026-02-25 10:00:00", "已确认"},
        {"P3", 1, 1, "2025-09-20 10:00:00", "已确认"}, {"P1", 3, 2, "2026-02-25 10:00:00", "已确认"},
        {"P1", 3, 2, "2026-02-26 10:00:00", "已拒绝"}, {"P2", 3, 2, "2026-02-20 10:00:00", "已确认"},
        {"P5", 1, 3, "2026-03-02 10:00:00", "已确认"}, {"P1", 4, 3, "2026-02-25 10:00:00", "已确认"},
        {"P1", 5, 5, "2026-02-25 10:00:00", "已拒绝"}, {"P1", 5, 5, "2026-02-27 10:00:00", "已确认"},
        {"P2", 5, 5, "2026-02-20 10:00:00", "已确认"}, {"P3", 2, 4, "2025-09-20 10:00:00", "未联系"},
    };
    QSet<QString> places;
    for (const auto &m : marks) {
        const QString place = QString::fromLatin1(m.project) + QString::number(m.seq);
        if (!places.contains(place)) {
            places.insert(place);
            Exec(conn, "INSERT INTO draw_expert (Project_Id, Seq, Round_no, Expert_Id) VALUES (?, ?, 1, ?)",
                 {m.project, QString::number(m.seq), ids[m.expert]});
        }
        Exec(conn, "INSERT INTO draw_attendance (Project_Id, Seq, Changed_at, Status) VALUES (?, ?, ?, ?)",
             {m.project, QString::number(m.seq), m.at, QString::fromUtf8(m.status)});
    }
    tx.commit();
}

struct Fixture {
    TestApp app;
    QStringList ids;
    Fixture()
    {
        for (const Person &p : People())
            ids << app.addExpert(Fields(p));
        Connection conn = OpenDataFile(app.state.store);
        AddProjects(conn, ids);
    }
    Connection &conn() { return LibraryConnection(app.state.store); }
    QSet<QString> query(const QString &sql, const QStringList &values = {})
    {
        Statement st = conn().prepare(sql);
        for (int i = 0; i < values.size(); ++i)
            st.bind(i + 1, values[i]);
        QSet<QString> out;
        while (st.step())
            out.insert(st.text(0));
        return out;
    }
    // The enabled experts the rules take out on the review day.
    QSet<QString> removedBy(const EligibilityRules &rules, EligibilityCounts *counts)
    {
        TextTable enabled = app.state.store.ExpertTable;
        enabled.removeRowsIf([](const TextTable &t, qsizetype r) { return t.cell(r, E_Status) != kStatusEnabled; });
        TextTable kept = enabled;
        *counts = ApplyEligibility(kept, rules, kReview, ReadConfirmedPanels(conn()));
        QSet<QString> out;
        for (qsizetype r = 0; r < enabled.count(); ++r)
            out.insert(enabled.cell(r, E_Id).toString());
        for (qsizetype r = 0; r < kept.count(); ++r)
            out.remove(kept.cell(r, E_Id).toString());
        return out;
    }
};

// The birth date of each enabled expert as a query reads it: 出生日期 when it
// is a date, else the date inside a well-formed 身份证号 whose check character
// is right (ISO 7064 MOD 11-2), else null.
QString BirthQuery()
{
    QString sum;
    const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    for (int i = 0; i < 17; ++i)
        sum += QStringLiteral("%1substr(trim(Profession), %2, 1) * %3").arg(i ? " + " : "").arg(i + 1).arg(weights[i]);
    return QStringLiteral(
               "SELECT Id, CASE "
               "WHEN trim(birth_date) GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' THEN trim(birth_date) "
               "WHEN length(trim(Profession)) = 18 AND substr(trim(Profession), 1, 17) NOT GLOB '*[^0-9]*' "
               " AND substr('10X98765432', ((%1) %% 11) + 1, 1) = upper(substr(trim(Profession), 18, 1)) "
               " THEN substr(trim(Profession), 7, 4) || '-' || substr(trim(Profession), 11, 2) || '-' || "
               "      substr(trim(Profession), 13, 2) "
               "WHEN length(trim(Profession)) = 15 AND trim(Profession) NOT GLOB '*[^0-9]*' "
               " THEN '19' || substr(trim(Profession), 7, 2) || '-' || substr(trim(Profession), 9, 2) || '-' || "
               "      substr(trim(Profession), 11, 2) "
               "END AS born FROM expert_msg WHERE Status = '启用'")
        .arg(sum)
        .replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// Whole years from a date column to the review day, in SQL.
QString YearsSql(const QString &column)
{
    return QStringLiteral("(CAST(substr(:review, 1, 4) AS INTEGER) - CAST(substr(%1, 1, 4) AS INTEGER) - "
                          "(substr(:review, 6, 5) < substr(%1, 6, 5)))")
        .arg(column);
}

// The panels confirmed (last attendance 已确认) per expert, with their day:
// 评审时间 when it starts with a date, else the day of the confirmation.
const char *kPanelsSql =
    "WITH cur AS (SELECT a.Project_Id, a.Seq, a.Status, a.Changed_at FROM draw_attendance a "
    "  WHERE a.rowid = (SELECT MAX(b.rowid) FROM draw_attendance b WHERE b.Project_Id = a.Project_Id "
    "  AND b.Seq = a.Seq)), "
    "panels AS (SELECT DISTINCT e.Expert_Id, e.Project_Id, CASE WHEN substr(p.Review_time, 1, 10) GLOB "
    "  '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' THEN substr(p.Review_time, 1, 10) "
    "  ELSE substr(c.Changed_at, 1, 10) END AS day "
    "  FROM draw_expert e JOIN draw_project p ON p.Id = e.Project_Id "
    "  JOIN cur c ON c.Project_Id = e.Project_Id AND c.Seq = e.Seq WHERE c.Status = '已确认') ";

QString Sub(QString sql, const QMap<QString, QString> &values)
{
    // Named values spliced into the test's own queries (the SQL is ours).
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        sql.replace(it.key(), QStringLiteral("'%1'").arg(it.value()));
    return sql;
}

}   // namespace

TEST(EligibilityRules, EachRuleRemovesWhatAQueryOverTheFileSays)
{
    Fixture f;
    const QMap<QString, QString> at{{":review", kReview.toString(kStoredDateFormat)}};
    const QString ageSql =
        Sub(QStringLiteral("WITH b AS (%1) SELECT Id FROM b WHERE born IS NOT NULL AND born <= :review AND %2 >= 60")
                .arg(BirthQuery(), YearsSql("born")),
            at);
    const QString ageUnknownSql =
        QStringLiteral("WITH b AS (%1) SELECT Id FROM b WHERE born IS NULL").arg(BirthQuery());
    const QString workSql =
        Sub(QStringLiteral("SELECT Id FROM expert_msg WHERE Status = '启用' AND (trim(graduate_date) NOT GLOB "
                           "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' OR trim(graduate_date) > :review OR %1 < 8)")
                .arg(YearsSql("trim(graduate_date)")),
            at);
    const QString titleSql =
        QStringLiteral("SELECT Id FROM expert_msg WHERE Status = '启用' AND trim(zhicheng_id) NOT IN ('03', '04')");
    const QString limitSql = Sub(QString::fromUtf8(kPanelsSql) +
                                     "SELECT m.Id FROM expert_msg m WHERE m.Status = '启用' AND (SELECT COUNT(*) FROM "
                                     "panels WHERE Expert_Id = m.Id AND day >= date(:review, '-29 days')) >= 2",
                                 at);

    EligibilityRules age;
    age.ageLimit = 60;
    EligibilityRules work;
    work.minWorkYears = 8;
    EligibilityRules titles;
    titles.titleLevels = {"03", "04"};
    EligibilityRules limit;
    limit.confirmLimit = 2;
    limit.confirmDays = 30;
    EligibilityRules all = age;
    all.minWorkYears = 8;
    all.titleLevels = titles.titleLevels;
    all.confirmLimit = 2;
    all.confirmDays = 30;

    const struct Case {
        const char *what;
        EligibilityRules rules;
        QStringList queries;   // the union of their results is what goes
        qsizetype EligibilityCounts::*count;
    } cases[] = {
        {"age limit", age, {ageSql}, &EligibilityCounts::age},
        {"working years", work, {workSql}, &EligibilityCounts::workYears},
        {"title levels", titles, {titleSql}, &EligibilityCounts::titleLevel},
        {"confirmations in a period", limit, {limitSql}, &EligibilityCounts::confirmLimit},
        {"all of them", all, {ageSql, workSql, titleSql, limitSql}, &EligibilityCounts::total},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QSet<QString> expected;
        for (const QString &q : c.queries)
            expected.unite(f.query(q));
        ASSERT_FALSE(expected.isEmpty()) << "the fixture shows nothing";
        EligibilityCounts counts;
        EXPECT_EQ(f.removedBy(c.rules, &counts), expected);
        EXPECT_EQ(counts.*(c.count), expected.size());
        EXPECT_EQ(counts.total, expected.size());
        // Experts whose age cannot be told stay in, counted.
        if (c.rules.ageLimit > 0)
            EXPECT_EQ(counts.ageUnknown, f.query(ageUnknownSql).size());
    }
}

TEST(EligibilityRules, TheFixtureCatchesTheCasesThatMatter)
{
    // The query comparison above holds only if the fixture is what it says.
    Fixture f;
    EligibilityRules age;
    age.ageLimit = 60;
    EligibilityCounts counts;
    const QSet<QString> removed = f.removedBy(age, &counts);
    const auto id = [&](int i) { return f.ids[i]; };
    EXPECT_TRUE(removed.contains(id(0))) << "60 on the very day";
    EXPECT_FALSE(removed.contains(id(1))) << "60 the day after";
    EXPECT_TRUE(removed.contains(id(2))) << "18-digit card";
    EXPECT_TRUE(removed.contains(id(3))) << "15-digit card";
    EXPECT_FALSE(removed.contains(id(4))) << "card with a wrong check character";
    EXPECT_TRUE(removed.contains(id(6))) << "unreadable birth date, card tells";
    EXPECT_FALSE(removed.contains(id(7))) << "birth date beats the card";
    EXPECT_TRUE(removed.contains(id(12))) << "lower-case x";
    EXPECT_EQ(counts.ageUnknown, 2);   // the wrong card and the expert with neither
}

TEST(EligibilityRules, BirthDatesFromIdCards)
{
    const struct {
        const char *number;
        QDate born;
    } cases[] = {
        {"11010519491231002X", {1949, 12, 31}},
        {"11010519491231002x", {1949, 12, 31}},
        {" 440301196503087892 ", {1965, 3, 8}},
        {"110108195602291234", {1956, 2, 29}},
        {"110105491231002", {1949, 12, 31}},
        {"110105194912310021", {}},   // wrong check character
        {"11010519491231002Y", {}},   // no check character at all
        {"1101051949123100", {}},     // 16 digits
        {"11010519490231002X", {}},   // 31 February... (and the check no longer fits)
        {"110101199902300001", {}},   // check character right, 30 February
        {"11010549123100A", {}},      // 15 with a letter
        {"", {}},
        {" ", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BirthDateFromIdCard(QString::fromUtf8(c.number)), c.born) << c.number;
}

TEST(EligibilityRules, RecordDatesAndAges)
{
    const struct {
        const char *text;
        QDate date;
    } dates[] = {
        {"1965-03-08", {1965, 3, 8}},
        {"1965-3-8", {1965, 3, 8}},
        {" 1965/03/08 ", {1965, 3, 8}},
        {"1965.3.8", {1965, 3, 8}},
        {"1965年3月8日", {1965, 3, 8}},
        {"1965年03月08", {1965, 3, 8}},
        {"19650308", {1965, 3, 8}},
        {"1965-03", {}},
        {"1965-03/08", {}},
        {"65-03-08", {}},
        {"1965-02-30", {}},
        {"不详", {}},
        {" ", {}},
        {"1965-03-08 10:00", {}},
        {"1965年3-8", {}},
    };
    for (const auto &d : dates)
        EXPECT_EQ(ReadRecordDate(QString::fromUtf8(d.text)), d.date) << d.text;

    const struct {
        QDate born, on;
        int years;
    } ages[] = {
        {{1966, 3, 10}, {2026, 3, 10}, 60}, {{1966, 3, 11}, {2026, 3, 10}, 59}, {{1956, 2, 29}, {2026, 2, 28}, 69},
        {{1956, 2, 29}, {2026, 3, 1}, 70},  {{2026, 3, 11}, {2026, 3, 10}, -1}, {{}, {2026, 3, 10}, -1},
    };
    for (const auto &a : ages)
        EXPECT_EQ(FullYears(a.born, a.on), a.years) << a.born.toString(Qt::ISODate).toStdString();
}

TEST(EligibilityRules, NoRuleRemovesNobody)
{
    Fixture f;
    EligibilityRules notFiltering;
    notFiltering.panelSize = 5;
    notFiltering.confirmGapDays = 30;
    notFiltering.confirmLimit = 3;   // a limit without its period is no rule
    for (const EligibilityRules &rules : {EligibilityRules(), notFiltering}) {
        EligibilityCounts counts;
        EXPECT_TRUE(f.removedBy(rules, &counts).isEmpty());
        EXPECT_EQ(counts, EligibilityCounts());
    }
}

TEST(EligibilityRules, AreKeptInTheLibraryWithTheChangeLogged)
{
    TestApp app;
    EXPECT_EQ(ReadEligibilityRules(app.state.store).value(), EligibilityRules()) << "off by default";

    EligibilityRules r;
    r.ageLimit = 70;
    r.titleLevels = {"03", "04"};
    r.panelSize = 5;
    r.confirmLimit = 4;
    r.confirmDays = 90;
    const qsizetype entriesBefore = ReadAuditEntries(app.state.store, {}).value().size();
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, r).ok());
    EXPECT_EQ(ReadEligibilityRules(app.state.store).value(), r);
    {
        // Another program on the file reads the same.
        Connection other = OpenDataFile(app.state.store);
        EXPECT_EQ(ReadEligibilityRules(other), r);
    }
    QList<AuditEntry> entries = ReadAuditEntries(app.state.store, {}).value();
    ASSERT_EQ(entries.size(), entriesBefore + 1);
    EXPECT_EQ(entries.last().kind, AuditKind::Setting);
    EXPECT_TRUE(entries.last().detail.contains("\"before\""));
    EXPECT_TRUE(entries.last().detail.contains("\"rule_age_limit\":\"70\""));

    // The same rules again: nothing to log.
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, r).ok());
    EXPECT_EQ(ReadAuditEntries(app.state.store, {}).value().size(), entriesBefore + 1);

    // A rule turned off leaves no row behind, and the log says what it was.
    EligibilityRules fewer = r;
    fewer.ageLimit = 0;
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, fewer).ok());
    EXPECT_EQ(ReadEligibilityRules(app.state.store).value(), fewer);
    EXPECT_EQ(ReadLibrarySetting(app.state.store, EligibilitySetting::AgeLimit, "<none>").value(), "<none>");
    entries = ReadAuditEntries(app.state.store, {}).value();
    EXPECT_TRUE(entries.last().detail.contains("\"before\":{\"rule_age_limit\":\"70\"}"));

    // Initialising the database keeps them, as it keeps every library setting.
    ASSERT_TRUE(InitialiseDatabase(app.maintenanceTarget()).ok());
    EXPECT_EQ(ReadEligibilityRules(app.state.store).value(), fewer);
}

TEST(EligibilityRules, AWriteThatFailsLeavesEveryRuleAsItWas)
{
    TestApp app;
    EligibilityRules r;
    r.ageLimit = 70;
    ASSERT_TRUE(WriteEligibilityRules(app.state.store, r).ok());
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("CREATE TRIGGER refuse BEFORE INSERT ON library_setting WHEN NEW.Name = 'rule_panel_size' "
                  "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }
    EligibilityRules changed;
    changed.ageLimit = 65;
    changed.panelSize = 5;
    EXPECT_FALSE(WriteEligibilityRules(app.state.store, changed).ok());
    EXPECT_EQ(ReadEligibilityRules(app.state.store).value(), r);
}

TEST(EligibilityRules, UnreadableStoredValuesLeaveTheirRuleOff)
{
    TestApp app;
    for (const auto &[name, value] :
         {std::pair{EligibilitySetting::AgeLimit, "abc"}, std::pair{EligibilitySetting::MinWorkYears, "-3"},
          std::pair{EligibilitySetting::ConfirmLimit, "4"}})
        ASSERT_TRUE(WriteLibrarySetting(app.state.store, name, value).ok());
    const EligibilityRules r = ReadEligibilityRules(app.state.store).value();
    EXPECT_EQ(r.ageLimit, 0);
    EXPECT_EQ(r.minWorkYears, 0);
    EXPECT_FALSE(r.filters()) << "a limit without its period";
}

TEST(EligibilityRules, PanelSizeAndRuleProblems)
{
    EligibilityRules five;
    five.panelSize = 5;
    const struct {
        qsizetype confirmed;
        bool problem;
    } panels[] = {{0, true}, {3, true}, {4, true}, {5, false}, {6, true}, {7, false}};
    for (const auto &p : panels)
        EXPECT_EQ(!PanelSizeProblem(five, p.confirmed).isEmpty(), p.problem) << p.confirmed;
    EXPECT_TRUE(PanelSizeProblem(EligibilityRules(), 2).isEmpty());

    const auto with = [](auto set) {
        EligibilityRules r;
        set(r);
        return EligibilityRulesProblem(r);
    };
    EXPECT_FALSE(with([](EligibilityRules &r) { r.panelSize = 4; }).isEmpty());
    EXPECT_FALSE(with([](EligibilityRules &r) { r.panelSize = 1; }).isEmpty());
    EXPECT_FALSE(with([](EligibilityRules &r) { r.ageLimit = -1; }).isEmpty());
    EXPECT_FALSE(with([](EligibilityRules &r) { r.confirmDays = 30; }).isEmpty());
    EXPECT_TRUE(with([](EligibilityRules &r) {
                    r.panelSize = 3;
                    r.confirmDays = 30;
                    r.confirmLimit = 2;
                }).isEmpty());
}

TEST(EligibilityRules, TheTextStoredWithARoundReadsBack)
{
    EligibilityRules r;
    r.ageLimit = 70;
    r.minWorkYears = 8;
    r.titleLevels = {"03"};
    r.panelSize = 5;
    r.confirmLimit = 4;
    r.confirmDays = 90;
    const EligibilityCounts c{.age = 3,
                              .ageUnknown = 1,
                              .workYears = 2,
                              .workYearsUnknown = 1,
                              .titleLevel = 5,
                              .confirmLimit = 1,
                              .suspended = 2,
                              .total = 9};
    EligibilityRules back;
    EligibilityCounts backCounts;
    ASSERT_TRUE(EligibilityFromText(EligibilityToText(r, c), &back, &backCounts));
    EXPECT_EQ(back, r);
    EXPECT_EQ(backCounts, c);
    EXPECT_FALSE(EligibilityFromText("{broken", &back, &backCounts));
    EXPECT_EQ(DescribeEligibility(EligibilityRules()), "无");
    const QString described = DescribeEligibility(r, &c);
    for (const char *part : {"70", "8年", "03", "90天", "共排除9人", "年龄不详1人", "暂停2人"})
        EXPECT_TRUE(described.contains(QString::fromUtf8(part))) << part << " in " << described.toStdString();
}

TEST(EligibilityRules, ExpertsToReconfirmAreThoseAQuerySays)
{
    Fixture f;
    const QDate today(2026, 3, 10);
    const int gap = 180;
    // The later of the last confirmed panel and the record's last save; an
    // expert with neither is listed as well.
    const QString sql = Sub(QString::fromUtf8(kPanelsSql) +
                                "SELECT m.Id FROM expert_msg m WHERE m.Status = '启用' AND "
                                "(SELECT MAX(d) FROM (SELECT day AS d FROM panels WHERE Expert_Id = m.Id "
                                " UNION ALL SELECT trim(m.Reg_date) WHERE trim(m.Reg_date) GLOB "
                                " '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]')) IS NULL OR "
                                "julianday(:today) - julianday((SELECT MAX(d) FROM (SELECT day AS d FROM panels "
                                " WHERE Expert_Id = m.Id UNION ALL SELECT trim(m.Reg_date) WHERE trim(m.Reg_date) "
                                " GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'))) > 180",
                            {{":today", today.toString(kStoredDateFormat)}});
    const QSet<QString> expected = f.query(sql);
    ASSERT_FALSE(expected.isEmpty());
    const TextTable listed =
        ExpertsToReconfirm(f.app.state.store.ExpertTable, ReadConfirmedPanels(f.conn()), gap, today);
    QSet<QString> got;
    for (qsizetype r = 0; r < listed.count(); ++r)
        got.insert(listed.cell(r, 0).toString());
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(got.contains(f.ids[0])) << "confirmed a panel lately";
    EXPECT_TRUE(got.contains(f.ids[4])) << "saved 190 days ago, no panel";
    EXPECT_TRUE(ExpertsToReconfirm(f.app.state.store.ExpertTable, {}, 0, today).isEmpty()) << "rule off";

    // Through the library: the stored rule decides.
    EligibilityRules r;
    r.confirmGapDays = gap;
    ASSERT_TRUE(WriteEligibilityRules(f.app.state.store, r).ok());
    EXPECT_EQ(ExpertsToReconfirm(f.app.state.store, today).value().count(), expected.size());
}
