#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DrawConditions.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kDraw = QDateTime::fromString("2026-05-10T10:00:00", Qt::ISODate);

AuditEntry Draw(const QDateTime &at, const QString &event = QStringLiteral("抽取"))
{
    AuditEntry e;
    e.at = at.toString(Qt::ISODate);
    e.operatorName = "op";
    e.kind = AuditKind::DrawRound;
    e.subject = "s:1";
    e.detail = QJsonDocument(QJsonObject{{"event", event}}).toJson(QJsonDocument::Compact);
    return e;
}

AuditEntry StatusChange(const QString &id, const QDateTime &at, const QString &before, const QString &after)
{
    AuditEntry e;
    e.at = at.toString(Qt::ISODate);
    e.kind = AuditKind::ExpertChange;
    e.subject = id;
    e.detail =
        QJsonDocument(FieldChanges({"Id", "Name", "Status"}, {id, "专家" + id, before}, {id, "专家" + id, after}))
            .toJson(QJsonDocument::Compact);
    return e;
}

AuditEntry Off(const QString &id, qint64 secondsBefore)
{
    return StatusChange(id, kDraw.addSecs(-secondsBefore), "启用", "停用");
}
AuditEntry On(const QString &id, qint64 secondsAfter)
{
    return StatusChange(id, kDraw.addSecs(secondsAfter), "停用", "启用");
}

constexpr qint64 kHour = 3600;
constexpr qint64 kWindow = 72 * kHour;

struct Case {
    const char *what;
    QList<AuditEntry> log;
    QStringList flagged;   // expert Ids found around the draw
};

}   // namespace

TEST(SwitchedOffAroundDraws, FindsOnlyExpertsOffAcrossADrawWithinTheWindow)
{
    const QList<Case> cases = {
        {"off before, on after", {Off("1", kHour), Draw(kDraw), On("1", kHour)}, {"1"}},
        {"two experts, one draw",
         {Off("1", kHour), Off("2", 10), Draw(kDraw), On("2", 5), On("1", 2 * kHour)},
         {"1", "2"}},
        {"still off: never back", {Off("1", kHour), Draw(kDraw)}, {}},
        {"off and on again before the draw", {Off("1", 2 * kHour), On("1", -kHour), Draw(kDraw)}, {}},
        {"off after the draw", {Draw(kDraw), Off("1", -kHour), On("1", 2 * kHour)}, {}},
        {"off too long before", {Off("1", kWindow + 1), Draw(kDraw), On("1", kHour)}, {}},
        {"on too long after", {Off("1", kHour), Draw(kDraw), On("1", kWindow + 1)}, {}},
        {"a confirmation is no draw", {Off("1", kHour), Draw(kDraw, "确认"), On("1", kHour)}, {}},
        {"another field changed",
         {StatusChange("1", kDraw.addSecs(-kHour), "启用", "启用"), Draw(kDraw),
          StatusChange("1", kDraw.addSecs(kHour), "启用", "启用")},
         {}},
    };
    for (const Case &c : cases) {
        const QList<DrawWithSwitchedOff> found = FindSwitchedOffAroundDraws(c.log, kWindow);
        QStringList ids;
        for (const DrawWithSwitchedOff &d : found)
            for (const SwitchedOffAround &x : d.experts)
                ids << x.expertId;
        EXPECT_EQ(ids, c.flagged) << c.what;
        if (!found.isEmpty()) {
            EXPECT_EQ(found.first().at, kDraw) << c.what;
            EXPECT_TRUE(found.first().line().contains(c.flagged.first() + "，停用于")) << c.what;
        }
    }
}

// The command-line verifier tells of such a draw in a real file.
TEST(SwitchedOffAroundDraws, TheVerifierReportsThem)
{
    const QString bin = QCoreApplication::applicationDirPath() + "/..";
    const QString demo = bin + "/kestrune-demo-db", verify = bin + "/kestrune-verify";
    if (!QFileInfo::exists(demo) || !QFileInfo::exists(verify))
        GTEST_SKIP() << "kestrune-demo-db and kestrune-verify are not built";
    QTemporaryDir dir;
    const QString file = dir.filePath("demo.mdb");
    QProcess p;
    p.start(demo, {"--experts", "50", "--projects", "1", "--seed", "3", "--out", file});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    {
        Connection conn = Connection::open(file);
        QList<AuditEntry> draws;
        for (const AuditEntry &e : ReadAuditEntries(conn, {.kind = AuditKind::DrawRound}))
            if (e.detail.contains(QStringLiteral("\"抽取\"")))
                draws << e;
        ASSERT_FALSE(draws.isEmpty());
        const QDateTime at = QDateTime::fromString(draws.first().at, Qt::ISODate);
        conn.exec("UPDATE expert_msg SET Name = '甲' WHERE Id = '000007'");
        const QStringList names = {"Id", "Status"};
        AppendAudit(conn, "admin", AuditKind::ExpertChange, "000007",
                    FieldChanges(names, {"000007", "启用"}, {"000007", "停用"}), at.addSecs(-600));
        AppendAudit(conn, "admin", AuditKind::ExpertChange, "000007",
                    FieldChanges(names, {"000007", "停用"}, {"000007", "启用"}), at.addSecs(600));
    }
    p.start(verify, {file});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("留意"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("甲（000007"))) << out.toStdString();
}
