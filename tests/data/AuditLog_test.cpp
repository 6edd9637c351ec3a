// The operation log: a hash chain that shows any change afterwards.

#include "TestApp.h"
#include "admin/DataMaintenance.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/ExpertRecord.h"
#include "data/LibrarySettings.h"
#include "data/Users.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QJsonDocument>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(14, 30, 5));

class AuditLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.state.store.operatorName = "admin";
        for (const char *name : {"甲", "乙", "丙"})
            ids << app.addExpert(QString::fromUtf8(name), "启用", "正式", "03");
    }

    QStringList row(int i) const
    {
        const QStringList e = app.state.store.ExpertTable.row(i);
        using namespace Schema;
        return {e[E_Id],        e[E_Name],  e[E_Sex], e[E_birth_date], e[E_Company_name], e[E_cong_shi_zhuanye],
                e[E_zige_name], e[E_Mobile]};
    }

    // A stored project of one random round confirming experts 0 and 1,
    // with an attendance entry; returns its Id.
    QString storeProject()
    {
        DrawRound r;
        r.type = RoundType::Random;
        r.candidateIds = ids;
        r.seed = 7;
        r.requested = 2;
        r.picks = {0, 1};
        r.confirmedIds = {ids[0], ids[1]};
        r.drawnAt = kNow;
        DrawSession session;
        session.rounds = {r};
        TextTable list;
        list.append(row(0));
        list.append(row(1));
        const StoredDraw stored = StoreDrawProject(app.state.store, list, session, facts, "admin", kNow);
        EXPECT_TRUE(SetAttendance(app.state.store, stored.projectId, 1, Attendance::Confirmed, QString(), "admin", kNow)
                        .value());
        return stored.projectId;
    }

    QStringList verify()
    {
        Connection conn = OpenDataFile(app.state.store);
        return VerifyChain(conn);
    }

    AuditHead head()
    {
        Connection conn = OpenDataFile(app.state.store);
        return ReadAuditHead(conn);
    }

    QList<AuditEntry> entries()
    {
        Connection conn = OpenDataFile(app.state.store);
        return ReadAuditEntries(conn);
    }

    // Runs SQL on the file as someone with the file key and a tool would,
    // the log's guard dropped first.
    void tamper(const QStringList &sql)
    {
        app.state.store.library().release();
        Connection conn = Connection::open(app.dataFile());
        conn.exec(QStringLiteral("DROP TRIGGER IF EXISTS audit_log_no_update"));
        conn.exec(QStringLiteral("DROP TRIGGER IF EXISTS audit_log_no_delete"));
        for (const QString &s : sql)
            conn.exec(s);
    }

    TestApp app;
    QStringList ids;
    ProjectFacts facts{"体育中心评标", "ZB-2026-01", "市体育局", "2026-12-10 09:00", "三楼会议室", "王监督", "无"};
};

TEST_F(AuditLogTest, EntriesLinkAndTheHeadMovesWithEachOne)
{
    const AuditHead before = head();
    const QString project = storeProject();
    const QList<AuditEntry> log = entries();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.last().seq, log.size());
    for (qsizetype i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].seq, i + 1);
        EXPECT_EQ(log[i].prevHash, i ? log[i - 1].hash : QString());
        EXPECT_EQ(log[i].hash, AuditEntryHash(log[i]));
        EXPECT_EQ(log[i].hash.size(), 64);
    }
    EXPECT_EQ(log[log.size() - 2].kind, AuditKind::ProjectStore);
    EXPECT_EQ(log.last().kind, AuditKind::Attendance);
    EXPECT_EQ(log.last().subject, project);
    EXPECT_EQ(log.last().operatorName, "admin");
    EXPECT_TRUE(verify().isEmpty()) << verify().join('\n').toStdString();

    const AuditHead now = head();
    EXPECT_GT(now.seq, before.seq);
    EXPECT_EQ(now.text(), QStringLiteral("%1:%2").arg(now.seq).arg(now.hash.left(16)));
    const AuditHeadRef parsed = ParseAuditHead(now.text());
    EXPECT_EQ(parsed.seq, now.seq);
    EXPECT_EQ(parsed.hashPrefix, now.hash.left(16));
    Connection conn = OpenDataFile(app.state.store);
    EXPECT_EQ(CheckHead(conn, parsed), QString());
    for (const char *bad : {"", "12", "x:abcdef12", "3:abc", "3:zzzzzzzzzz"})
        EXPECT_EQ(ParseAuditHead(QString::fromLatin1(bad)).seq, 0) << bad;
}

// Every way of changing the record afterwards is caught.
TEST_F(AuditLogTest, EachTamperingIsCaught)
{
    struct Case {
        const char *what;
        QStringList sql;
    };
    const QList<Case> cases{
        {"an entry's detail edited", {"UPDATE audit_log SET Detail = '{}' WHERE Seq = 2"}},
        {"an entry's operator edited", {"UPDATE audit_log SET Operator = 'nobody' WHERE Seq = 1"}},
        {"the last entry deleted", {"DELETE FROM audit_log WHERE Seq = (SELECT max(Seq) FROM audit_log)"}},
        {"a middle entry deleted", {"DELETE FROM audit_log WHERE Seq = 2"}},
        {"two entries reordered",
         {"UPDATE audit_log SET Seq = -1 WHERE Seq = 1", "UPDATE audit_log SET Seq = 1 WHERE Seq = 2",
          "UPDATE audit_log SET Seq = 2 WHERE Seq = -1"}},
        {"project facts changed", {"UPDATE draw_project SET Supervisor = '李某'"}},
        {"criteria changed", {"UPDATE draw_round SET Criteria_text = '专业：土建'"}},
        {"avoidance changed", {"UPDATE draw_round SET Avoidance = '回避：无'"}},
        {"round type changed", {"UPDATE draw_round SET Round_type = '人工'"}},
        {"confirmations changed", {"UPDATE draw_round SET Confirmed = ''"}},
        {"attendance changed", {"UPDATE draw_attendance SET Status = '拒绝'"}},
        {"an expert snapshot changed", {"UPDATE draw_expert SET Name = '丁' WHERE Seq = 2"}},
        {"a whole project deleted",
         {"DELETE FROM draw_attendance", "DELETE FROM draw_expert", "DELETE FROM draw_round",
          "DELETE FROM draw_project"}},
        {"a project inserted behind the program's back",
         {"INSERT INTO draw_project (Id, Name) VALUES ('000099', '假项目')"}},
    };
    // Each case runs on a copy of the same library.
    storeProject();
    ASSERT_TRUE(verify().isEmpty()) << verify().join('\n').toStdString();
    app.state.store.library().release();
    const QString pristine = app.dir.filePath("pristine.mdb");
    ASSERT_TRUE(QFile::copy(app.dataFile(), pristine));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        app.state.store.library().release();
        QFile::remove(app.dataFile());
        ASSERT_TRUE(QFile::copy(pristine, app.dataFile()));
        tamper(c.sql);
        EXPECT_FALSE(verify().isEmpty());
    }
}

TEST_F(AuditLogTest, RollingTheFileBackIsCaughtByThePrintedHead)
{
    storeProject();
    app.state.store.library().release();
    const QString older = app.dir.filePath("older.mdb");
    ASSERT_TRUE(QFile::copy(app.dataFile(), older));
    const AuditHead oldHead = head();
    ASSERT_TRUE(AppendAudit(app.state.store, AuditKind::Print, "000001").ok());
    const AuditHead printed = head();

    app.state.store.library().release();
    QFile::remove(app.dataFile());
    ASSERT_TRUE(QFile::copy(older, app.dataFile()));
    Connection conn = OpenDataFile(app.state.store);
    EXPECT_TRUE(VerifyChain(conn).isEmpty());   // the older file is a sound chain of its own
    EXPECT_EQ(CheckHead(conn, ParseAuditHead(oldHead.text())), QString());
    EXPECT_NE(CheckHead(conn, ParseAuditHead(printed.text())), QString());
    // A head of the right number but another hash (a chain written anew).
    EXPECT_NE(CheckHead(conn, {oldHead.seq, QStringLiteral("0123456789abcdef")}), QString());
}

TEST_F(AuditLogTest, TheFileRefusesUpdateAndDeleteOfTheLog)
{
    storeProject();
    app.state.store.library().release();
    Connection conn = Connection::open(app.dataFile());
    for (const char *sql :
         {"UPDATE audit_log SET Detail = '{}'", "DELETE FROM audit_log", "DELETE FROM audit_log WHERE Seq = 1"})
        EXPECT_THROW(conn.exec(QString::fromLatin1(sql)), DbError) << sql;
    EXPECT_TRUE(VerifyChain(conn).isEmpty());
}

TEST_F(AuditLogTest, AFailedStoreLeavesNoEntry)
{
    const AuditHead before = head();
    {
        Connection conn = Connection::open(app.dataFile());
        conn.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON draw_expert "
                                 "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
    }
    app.state.store.library().release();
    DrawRound r;
    r.type = RoundType::Manual;
    r.candidateIds = ids;
    r.confirmedIds = {ids[0]};
    r.drawnAt = kNow;
    DrawSession session;
    session.rounds = {r};
    TextTable list;
    list.append(row(0));
    EXPECT_THROW(StoreDrawProject(app.state.store, list, session, facts, "admin", kNow), DbError);
    EXPECT_EQ(head().seq, before.seq);
    EXPECT_EQ(head().hash, before.hash);
    EXPECT_EQ(app.countRows("draw_project"), 0);
}

TEST_F(AuditLogTest, ExpertChangesUsersAndSettingsAreRecorded)
{
    ExpertRecordBuffer buffer;
    for (int f = 1; f < Schema::ExpertFieldCount; ++f)
        buffer.entry[f] = app.state.store.ExpertTable.cell(0, f).toString();
    buffer.entry[Schema::E_Mobile] = "13900000000";
    ASSERT_TRUE(UpdateExpertRecord(app.state.store, ids[0], buffer));
    QList<AuditEntry> log = entries();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.last().kind, AuditKind::ExpertChange);
    EXPECT_EQ(log.last().subject, ids[0]);
    const QJsonObject detail = QJsonDocument::fromJson(log.last().detail.toUtf8()).object();
    EXPECT_EQ(detail["after"].toObject()["Mobile"].toString(), "13900000000");
    EXPECT_EQ(detail["before"].toObject().keys(), QStringList{"Mobile"});

    ASSERT_TRUE(WriteLibrarySetting(app.state.store, LibrarySetting::SupervisedDraw, "1").ok());
    UserChange add;
    add.kind = UserChange::Kind::Add;
    add.name = "张三";
    add.password = "secret-pass";
    add.role = 1;
    ASSERT_EQ(ApplyUserChange(app.state.store, "000001", add).problem, UserProblem::None);
    ASSERT_TRUE(RecordLogin(app.state.store, "nobody", false).ok());
    log = entries();
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log[log.size() - 3].kind, AuditKind::Setting);
    EXPECT_EQ(log[log.size() - 2].kind, AuditKind::UserAdmin);
    EXPECT_FALSE(log[log.size() - 2].detail.contains("secret-pass"));
    EXPECT_EQ(log.last().kind, AuditKind::LoginFailed);
    EXPECT_EQ(log.last().subject, "nobody");
    EXPECT_TRUE(verify().isEmpty());
}

TEST_F(AuditLogTest, InitialisationKeepsTheLogAndLinksToIt)
{
    storeProject();
    const AuditHead before = head();
    ASSERT_TRUE(InitialiseDatabase(app.maintenanceTarget()).ok());
    const QList<AuditEntry> log = entries();
    ASSERT_EQ(log.size(), before.seq + 1);
    EXPECT_EQ(log.last().kind, AuditKind::Initialise);
    EXPECT_EQ(log.last().prevHash, before.hash);
    EXPECT_EQ(app.countRows("draw_project"), 0);
    EXPECT_TRUE(verify().isEmpty()) << verify().join('\n').toStdString();
}

TEST_F(AuditLogTest, ARestoreFromAnOlderBackupKeepsTheLogAndNamesTheHeadItReplaced)
{
    const QString backup = app.dir.filePath("backup.mdb");
    ASSERT_TRUE(BackupDatabase(app.state.store, backup).ok());
    const AuditHead backupHead = [&] {
        Connection c = Connection::open(backup);
        return ReadAuditHead(c);
    }();
    storeProject();
    const AuditHead replaced = head();
    ASSERT_GT(replaced.seq, backupHead.seq);

    ASSERT_TRUE(RestoreDatabase(app.maintenanceTarget(), backup).ok());
    const QList<AuditEntry> log = entries();
    // The whole log stays, and one entry more.
    ASSERT_EQ(log.size(), replaced.seq + 1);
    EXPECT_EQ(log[replaced.seq - 1].hash, replaced.hash);
    EXPECT_EQ(log.last().kind, AuditKind::Restore);
    EXPECT_EQ(log.last().operatorName, "admin");
    const QJsonObject detail = QJsonDocument::fromJson(log.last().detail.toUtf8()).object();
    EXPECT_EQ(detail["replaced_hash"].toString(), replaced.hash);
    EXPECT_EQ(detail["backup_hash"].toString(), backupHead.hash);
    // The project stored after the backup is gone, and the log says so consistently.
    EXPECT_EQ(app.countRows("draw_project"), 0);
    EXPECT_TRUE(verify().isEmpty()) << verify().join('\n').toStdString();
    Connection conn = OpenDataFile(app.state.store);
    EXPECT_EQ(CheckHead(conn, ParseAuditHead(replaced.text())), QString());
}

TEST_F(AuditLogTest, ALibraryWithProjectsButNoLogStartsOneCoveringThem)
{
    const QString project = storeProject();
    tamper({"DROP TABLE audit_log"});
    {
        Connection conn = Connection::open(app.dataFile());
        Transaction tx(conn);
        EnsureProjectTables(conn);
        tx.commit();
        const QList<AuditEntry> log = ReadAuditEntries(conn);
        ASSERT_EQ(log.size(), 1);
        EXPECT_EQ(log[0].kind, AuditKind::LogStart);
        EXPECT_TRUE(log[0].detail.contains(project));
        EXPECT_TRUE(VerifyChain(conn).isEmpty());
    }
    tamper({"UPDATE draw_project SET Name = 'x'"});
    EXPECT_FALSE(verify().isEmpty());
}

}   // namespace

namespace {

// The command-line tool: a demo file passes with its own head, and a file
// rolled back to before a printed head fails.
TEST(VerifyHead, TheToolCatchesAFileRolledBackBeforeAPrintedHead)
{
    const QString bin = QCoreApplication::applicationDirPath() + "/..";
    const QString demo = bin + "/kestrune-demo-db", verify = bin + "/kestrune-verify";
    if (!QFileInfo::exists(demo) || !QFileInfo::exists(verify))
        GTEST_SKIP() << "kestrune-demo-db and kestrune-verify are not built";
    QTemporaryDir dir;
    const QString file = dir.filePath("demo.mdb");
    QProcess p;
    p.start(demo, {"--experts", "200", "--selections", "20", "--projects", "3", "--seed", "5", "--out", file});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString older = dir.filePath("older.mdb");
    ASSERT_TRUE(QFile::copy(file, older));

    AuditHead oldHead, newHead;
    {
        Connection conn = Connection::open(file);
        oldHead = ReadAuditHead(conn);
        ASSERT_GT(oldHead.seq, 3);   // the demo's stores and attendance went into the log
        newHead = AppendAudit(conn, "admin", AuditKind::Print, "000001");
    }
    auto run = [&](const QString &path, const QString &head) {
        p.start(verify, {path, "--head", head});
        EXPECT_TRUE(p.waitForFinished(120000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    QString out = run(file, newHead.text());
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("操作日志完好"))) << out.toStdString();
    out = run(older, oldHead.text());
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    out = run(older, newHead.text());
    EXPECT_EQ(p.exitCode(), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("没有第%1条").arg(newHead.seq))) << out.toStdString();
    p.start(verify, {file, "--head", "nonsense"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 2);
}

}   // namespace
