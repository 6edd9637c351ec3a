#include "data/UnitHistory.h"

#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/EligibilityRules.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>

namespace {

bool HasTableNamed(Connection &conn, const char *name) { return conn.tableNames().contains(QString::fromLatin1(name)); }

QJsonArray GroupsJson(const UnitAliases &groups)
{
    QJsonArray a;
    for (const QStringList &g : groups)
        a.append(QJsonArray::fromStringList(g));
    return a;
}

}   // namespace

QString FormerUnitProblem(const FormerUnit &u)
{
    if (u.unit.trimmed().isEmpty())
        return QStringLiteral("请输入曾任职单位的名称！");
    const QDate from = ReadRecordDate(u.from.trimmed());
    const QDate to = ReadRecordDate(u.to.trimmed());
    if (!u.from.trimmed().isEmpty() && !from.isValid())
        return QStringLiteral("曾任职单位“%1”的起始日期“%2”不是日期（例如 2015-03-01）。")
            .arg(u.unit.trimmed(), u.from);
    if (!u.to.trimmed().isEmpty() && !to.isValid())
        return QStringLiteral("曾任职单位“%1”的截止日期“%2”不是日期（例如 2020-06-30）。").arg(u.unit.trimmed(), u.to);
    if (from.isValid() && to.isValid() && to < from)
        return QStringLiteral("曾任职单位“%1”的截止日期早于起始日期。").arg(u.unit.trimmed());
    return {};
}

QList<FormerUnit> ReadFormerUnits(Connection &conn, const QString &expertId)
{
    QList<FormerUnit> units;
    if (!HasTableNamed(conn, kFormerUnitTable))
        return units;
    Statement st = conn.prepare(
        QStringLiteral("SELECT Unit, From_date, To_date FROM expert_former_unit WHERE Expert_Id = ? ORDER BY Seq"));
    st.bind(1, expertId);
    while (st.step())
        units.append({st.text(0), st.text(1), st.text(2)});
    return units;
}

FormerUnitsById ReadAllFormerUnits(Connection &conn)
{
    FormerUnitsById all;
    if (!HasTableNamed(conn, kFormerUnitTable))
        return all;
    Statement st = conn.prepare(
        QStringLiteral("SELECT Expert_Id, Unit, From_date, To_date FROM expert_former_unit ORDER BY Expert_Id, Seq"));
    while (st.step())
        all[st.text(0)].append({st.text(1), st.text(2), st.text(3)});
    return all;
}

Result<QList<FormerUnit>> ReadFormerUnits(const DataStore &store, const QString &expertId)
{
    return CatchDbError([&] { return ReadFormerUnits(LibraryConnection(store), expertId); });
}

void WriteFormerUnits(Connection &conn, const QString &expertId, const QList<FormerUnit> &units)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    Statement del = conn.prepare(QStringLiteral("DELETE FROM expert_former_unit WHERE Expert_Id = ?"));
    del.bind(1, expertId);
    del.step();
    Statement ins = conn.prepare(QStringLiteral(
        "INSERT INTO expert_former_unit (Expert_Id, Seq, Unit, From_date, To_date) VALUES (?, ?, ?, ?, ?)"));
    int seq = 0;
    for (const FormerUnit &u : units) {
        if (u.unit.trimmed().isEmpty())
            continue;
        ins.bind(1, expertId);
        ins.bindInt(2, ++seq);
        ins.bind(3, u.unit.trimmed());
        ins.bind(4, u.from.trimmed());
        ins.bind(5, u.to.trimmed());
        ins.step();
        ins.reset();
    }
    tx.commit();
}

void DeleteFormerUnits(Connection &conn, const QStringList &expertIds)
{
    if (!HasTableNamed(conn, kFormerUnitTable))
        return;
    Statement del = conn.prepare(QStringLiteral("DELETE FROM expert_former_unit WHERE Expert_Id = ?"));
    for (const QString &id : expertIds) {
        del.bind(1, id);
        del.step();
        del.reset();
    }
}

UnitAliases ReadUnitAliases(Connection &conn)
{
    UnitAliases groups;
    if (!HasTableNamed(conn, kUnitAliasTable))
        return groups;
    Statement st = conn.prepare(QStringLiteral("SELECT Grp, Name FROM unit_alias ORDER BY Grp, Seq"));
    qint64 current = -1;
    while (st.step()) {
        const qint64 grp = st.text(0).toLongLong();
        if (groups.isEmpty() || grp != current) {
            groups.append(QStringList());
            current = grp;
        }
        groups.last().append(st.text(1));
    }
    return groups;
}

void WriteUnitAliases(Connection &conn, const UnitAliases &groups, const QString &operatorName)
{
    Transaction tx(conn);
    EnsureProjectTables(conn);
    const UnitAliases before = ReadUnitAliases(conn);
    if (before == groups)
        return;
    conn.exec(QStringLiteral("DELETE FROM unit_alias"));
    Statement ins = conn.prepare(QStringLiteral("INSERT INTO unit_alias (Grp, Seq, Name) VALUES (?, ?, ?)"));
    for (qsizetype g = 0; g < groups.size(); ++g) {
        for (qsizetype n = 0; n < groups[g].size(); ++n) {
            ins.bindInt(1, g + 1);
            ins.bindInt(2, n + 1);
            ins.bind(3, groups[g][n]);
            ins.step();
            ins.reset();
        }
    }
    AppendAudit(conn, operatorName, AuditKind::Setting, QString::fromLatin1(kUnitAliasTable),
                {{"before", GroupsJson(before)}, {"after", GroupsJson(groups)}});
    tx.commit();
}

Result<UnitAliases> ReadUnitAliases(const DataStore &store)
{
    return CatchDbError([&] { return ReadUnitAliases(LibraryConnection(store)); });
}

Outcome WriteUnitAliases(const DataStore &store, const UnitAliases &groups)
{
    return CatchDbError([&] { WriteUnitAliases(LibraryConnection(store), groups, store.operatorName); });
}

UnitAliases ParseUnitAliases(const QString &text, QString *problem)
{
    problem->clear();
    UnitAliases groups;
    QHash<QString, int> lineOfName;
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression kEquals(QStringLiteral("[=＝]"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        QStringList names;
        for (const QString &part : lines[i].split(kEquals)) {
            const QString name = part.trimmed();
            if (!name.isEmpty() && !names.contains(name))
                names << name;
        }
        const int line = int(i + 1);
        if (names.size() < 2) {
            if (problem->isEmpty())
                *problem = QStringLiteral("第%1行只有一个名称：每行写同一单位的两个或更多名称，用“=”隔开。").arg(line);
            continue;
        }
        for (const QString &name : names) {
            const auto it = lineOfName.constFind(name);
            if (it != lineOfName.constEnd() && problem->isEmpty())
                *problem = QStringLiteral("“%1”同时出现在第%2行和第%3行：同一单位的名称请写在一行。")
                               .arg(name)
                               .arg(*it)
                               .arg(line);
            lineOfName.insert(name, line);
        }
        groups.append(names);
    }
    return groups;
}

QString UnitAliasesText(const UnitAliases &groups)
{
    QStringList lines;
    for (const QStringList &g : groups)
        lines << g.join(QStringLiteral(" = "));
    return lines.join(QLatin1Char('\n'));
}

UnitRecords ReadUnitRecords(Connection &conn)
{
    ReadSnapshot snapshot(conn);
    return {ReadUnitAliases(conn), ReadAllFormerUnits(conn)};
}

Result<UnitRecords> ReadUnitRecords(const DataStore &store)
{
    return CatchDbError([&] { return ReadUnitRecords(LibraryConnection(store)); });
}

UnitMatcher::UnitMatcher(const QStringList &avoidedUnits, const UnitAliases &aliases)
{
    for (const QString &line : avoidedUnits) {
        const QString unit = line.trimmed();
        if (!unit.isEmpty())
            m_patterns.append(WildcardPattern(unit));
    }
    for (const QStringList &group : aliases) {
        bool reached = false;
        for (const QString &name : group) {
            for (const WildcardPattern &p : m_patterns) {
                if (p.matches(QStringView(name).trimmed())) {
                    reached = true;
                    break;
                }
            }
            if (reached)
                break;
        }
        if (!reached)
            continue;
        m_used.append(group);
        for (const QString &name : group)
            m_aliasNames.insert(name.trimmed(), int(m_used.size() - 1));
    }
}

bool UnitMatcher::matches(QStringView unit) const
{
    const QStringView u = unit.trimmed();
    for (const WildcardPattern &p : m_patterns)
        if (p.matches(u))
            return true;
    return !m_aliasNames.isEmpty() && m_aliasNames.contains(u.toString());
}

bool LeftWithinYears(const FormerUnit &unit, int years, const QDate &day)
{
    if (years <= 0 || !day.isValid())
        return false;
    const QDate to = ReadRecordDate(unit.to.trimmed());
    if (!to.isValid())
        return true;
    return to >= day.addYears(-years);
}
