// The data layer's behaviour on both backends: the encrypted file and a
// PostgreSQL server database. Every case runs on each; the few differences
// (a server checks what others changed) are stated where they arise.

#include "Draws.h"
#include "data/ServerBackend.h"
#include "TestApp.h"
#include "admin/ExpertImport.h"
#include "admin/DataMaintenance.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/ExpertRecord.h"
#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Users.h"

#include <gtest/gtest.h>

namespace {

class OnBothBackends : public ::testing::TestWithParam<DataSource::Kind> {
protected:
    void SetUp() override
    {
        if (server() && !ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        app = std::make_unique<TestApp>(GetParam());
    }
    bool server() const { return GetParam() == DataSource::Server; }
    AppState &state() { return app->state; }

    ExpertRecordBuffer expert(const QString &name)
    {
        ExpertFormValues v;
        v.byField[Schema::E_Name] = name;
        v.byField[Schema::E_Sex] = "男";
        v.byField[Schema::E_Mobile] = "13800000000";
        return *GatherExpertFields(v, QDate(2026, 12, 10));
    }

    std::unique_ptr<TestApp> app;
};

std::string backendName(const ::testing::TestParamInfo<DataSource::Kind> &info)
{
    return info.param == DataSource::Server ? "Server" : "File";
}

}   // namespace

TEST_P(OnBothBackends, NewLibraryHasTheTablesAndInitialContent)
{
    ASSERT_EQ(state().store.UserTable.count(), 1);
    EXPECT_EQ(OpenedBy(state().store.UserTable.row(0), kInitialAdminPassword),
              QStringList({"000001", kInitialAdminName, kInitialAdminPassword, "0"}));
    ASSERT_EQ(state().store.TitleTypeTable.count(), 6);
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(state().store.TitleTypeTable.cell(n, 0).toInt(), n);
    EXPECT_EQ(state().store.DegreeTable.cell(0, 1).toString(), "全部");
    EXPECT_EQ(state().store.ExpertTable.count(), 0);
    EXPECT_EQ(state().store.SelectionTable.count(), 0);
    Connection conn = OpenDataFile(state().store);
    EXPECT_TRUE(CheckSchema(conn).ok());
    for (const TableDef *t : Schema::AllTables())
        EXPECT_EQ(conn.tableFields(t->name).join(',').toLower(), t->fields.join(',').toLower())
            << t->name.toStdString();
}

TEST_P(OnBothBackends, StartingAgainKeepsTheLibrary)
{
    app->addExpert("甲");
    if (server())
        ServerBackend(state().store.source).prepare();
    else
        EnsureDataFile(state().store.dataFilePath());
    app->reloadAll();
    EXPECT_EQ(state().store.ExpertTable.count(), 1);
    EXPECT_EQ(state().store.UserTable.count(), 1);
}

// Ids in the order of their bytes, as the file keeps them, whatever the
// server's locale would say; values come back exactly as stored.
TEST_P(OnBothBackends, LoadersKeepIdOrderNullsAndExactText)
{
    {
        Connection conn = OpenDataFile(state().store);
        Statement st = conn.prepare("INSERT INTO sel_expert (Id, Sel_data, Expert_Id) VALUES (?, ?, ?)");
        const QList<QStringList> rows{
            {"b1", "2026-01-02", " 7 "}, {"B2", "", "张三'; --"}, {"000010", "x", "y"}, {"00009", "a", "b"}};
        for (const QStringList &r : rows) {
            st.reset();
            st.bind(1, r[0]);
            if (r[1].isEmpty())
                st.bindNull(2);
            else
                st.bind(2, r[1]);
            st.bind(3, r[2]);
            st.step();
        }
    }
    LoadSelections(state().store);
    ASSERT_EQ(state().store.SelectionTable.count(), 4);
    QStringList ids;
    for (const QStringList &r : state().store.SelectionTable.toLists())
        ids << r[0];
    EXPECT_EQ(ids, QStringList({"000010", "00009", "B2", "b1"}));
    EXPECT_EQ(state().store.SelectionTable.row(2), QStringList({"B2", "", "张三'; --"}));
    EXPECT_EQ(state().store.SelectionTable.row(3)[2], " 7 ");
}

TEST_P(OnBothBackends, NewRecordsFollowTheHighestId)
{
    EXPECT_EQ(AddExpertRecord(state().store, expert("甲")).value(), "000001");
    LoadExperts(state().store);
    EXPECT_EQ(AddExpertRecord(state().store, expert("乙")).value(), "000002");
    LoadExperts(state().store);
    EXPECT_EQ(AddExpertRecord(state().store, expert("丙")).value(), "000003");
    LoadExperts(state().store);
    ASSERT_TRUE(DeleteExpertsWithSelections(state().store, {"000003"}).value().deleted);
    LoadExperts(state().store);
    // The highest number freed is given again.
    EXPECT_EQ(AddExpertRecord(state().store, expert("丁")).value(), "000003");
    LoadExperts(state().store);
    ASSERT_EQ(state().store.ExpertTable.count(), 3);
    EXPECT_EQ(state().store.ExpertTable.cell(2, Schema::E_Name).toString(), "丁");
    EXPECT_EQ(state().store.ExpertTable.cell(2, Schema::E_Reg_date).toString(), "2026-12-10");
    EXPECT_EQ(state().store.ExpertTable.cell(2, Schema::E_area_id).toString(), " ");

    for (int i = 0; i < 9; ++i)
        app->addSelection("2026-01-01", "000001");
    EXPECT_EQ(StoreTestDraw(state().store, {"000001", "000002", "000003"}, "项目").projectId, "000001");
    EXPECT_EQ(StoreTestDraw(state().store, {"000002"}, "项目二").projectId, "000002");
    LoadSelections(state().store);
    ASSERT_EQ(state().store.SelectionTable.count(), 13);
    EXPECT_EQ(state().store.SelectionTable.row(9), QStringList({"000010", "2026-12-10", "000001"}));
    EXPECT_EQ(state().store.SelectionTable.row(11), QStringList({"000012", "2026-12-10", "000003"}));
    EXPECT_EQ(state().store.SelectionTable.row(12), QStringList({"000013", "2026-12-10", "000002"}));
}

TEST_P(OnBothBackends, UpdateRewritesTheRecordOrReportsItMissing)
{
    const QString id = app->addExpert("王五");
    ExpertRecordBuffer changed = expert("王六");
    changed.entry[Schema::E_email] = QString(60, 'e');   // clipped to 50
    EXPECT_TRUE(UpdateExpertRecord(state().store, id, changed));
    LoadExperts(state().store);
    EXPECT_EQ(state().store.ExpertTable.cell(0, Schema::E_Name).toString(), "王六");
    EXPECT_EQ(state().store.ExpertTable.cell(0, Schema::E_email).toString(), QString(50, 'e'));

    // On a file a missing expert is a missing record; on a server another
    // user deleted it, which the save reports as a change by someone else.
    EXPECT_EQ(UpdateExpertAsRead(state().store, "000099", changed, state().store.ExpertTable.row(0)),
              server() ? ExpertUpdate::Conflict : ExpertUpdate::Missing);
    EXPECT_FALSE(UpdateExpertRecord(state().store, "000099", changed));
}

TEST_P(OnBothBackends, DeletionIsAllOrNothing)
{
    const QString a = app->addExpert("甲");
    const QString b = app->addExpert("乙");
    app->addSelection("2026-01-01", a);
    app->addSelection("2026-01-01", b);
    const ExpertDeletion refused = DeleteExpertsWithSelections(state().store, {a, "000077"}).value();
    EXPECT_FALSE(refused.deleted);
    EXPECT_EQ(refused.missingIndex, 1);
    EXPECT_EQ(app->countRows("expert_msg"), 2);
    EXPECT_EQ(app->countRows("sel_expert"), 2);

    EXPECT_TRUE(DeleteExpertsWithSelections(state().store, {a}).value().deleted);
    app->reloadAll();
    EXPECT_EQ(state().store.ExpertTable.count(), 1);
    ASSERT_EQ(state().store.SelectionTable.count(), 1);
    EXPECT_EQ(state().store.SelectionTable.cell(0, 2).toString(), b);
}

TEST_P(OnBothBackends, FailedTransactionLeavesNothingBehind)
{
    {
        Connection conn = OpenDataFile(state().store);
        Transaction tx(conn);
        Recordset rs(conn, Schema::SelExpert());
        rs.addNew();
        rs.setField(0, "000001");
        rs.update();
        rs.addNew();
        rs.setField(0, "000001");   // the same key again
        EXPECT_THROW(rs.update(), DbError);
    }
    EXPECT_EQ(app->countRows("sel_expert"), 0);
}

TEST_P(OnBothBackends, UserChangesAndPasswordChange)
{
    UserChange add;
    add.kind = UserChange::Kind::Add;
    add.name = "经理";
    add.password = "pw";
    add.role = 1;
    const UserChangeResult added = ApplyUserChange(state().store, "000001", add);
    ASSERT_EQ(added.problem, UserProblem::None);
    EXPECT_EQ(added.userId, "000002");
    EXPECT_EQ(ApplyUserChange(state().store, "000001", add).problem, UserProblem::NameTaken);

    EXPECT_TRUE(ChangeCredentials(state().store, "000002", "经理二", "新密码"));
    EXPECT_FALSE(ChangeCredentials(state().store, "000099", "x", "y"));
    LoadUsers(state().store);
    ASSERT_EQ(state().store.UserTable.count(), 2);
    EXPECT_EQ(OpenedBy(state().store.UserTable.row(1), "新密码"), QStringList({"000002", "经理二", "新密码", "1"}));
    EXPECT_TRUE(CheckCredentials(state().store.UserTable, "经理二", "新密码").found);
}

// What another program changed since this one read its tables: the server
// counts changes; a file has one user and never reports any.
TEST_P(OnBothBackends, ChangesByOthersAreSeenOnRefresh)
{
    EXPECT_TRUE(ChangedTables(state().store).isEmpty());
    TestApp::Colleague colleague(*app);
    ASSERT_TRUE(AddExpertRecord(colleague.store, expert("同事的专家")).ok());
    if (!server()) {
        EXPECT_TRUE(ChangedTables(state().store).isEmpty());
        return;
    }
    EXPECT_EQ(ChangedTables(state().store), QStringList({"expert_msg"}));
    EXPECT_TRUE(RefreshChangedTables(state().store));
    ASSERT_EQ(state().store.ExpertTable.count(), 1);
    EXPECT_EQ(state().store.ExpertTable.cell(0, Schema::E_Name).toString(), "同事的专家");
    EXPECT_TRUE(ChangedTables(state().store).isEmpty());
    EXPECT_FALSE(RefreshChangedTables(state().store));
}

// A save over a colleague's change: the server refuses it and keeps the
// colleague's record; after a refresh the save goes through.
TEST_P(OnBothBackends, ConflictingEditIsRefusedOnAServer)
{
    const QString id = app->addExpert("原名");
    TestApp::Colleague colleague(*app);
    ASSERT_TRUE(UpdateExpertRecord(colleague.store, id, expert("同事改的")));

    const QStringList asRead = state().store.ExpertTable.row(0);
    const ExpertUpdate mine = UpdateExpertAsRead(state().store, id, expert("我改的"), asRead);
    LoadExperts(state().store);
    if (!server()) {
        EXPECT_EQ(mine, ExpertUpdate::Updated);
        return;
    }
    EXPECT_EQ(mine, ExpertUpdate::Conflict);
    EXPECT_EQ(state().store.ExpertTable.cell(0, Schema::E_Name).toString(), "同事改的");
    EXPECT_EQ(UpdateExpertAsRead(state().store, id, expert("我改的"), state().store.ExpertTable.row(0)),
              ExpertUpdate::Updated);
}

// The expert import numbers its records after the last expert stored, a
// colleague's just added included, all in one transaction.
TEST_P(OnBothBackends, ImportedExpertsFollowTheLastStoredExpert)
{
    app->addExpert("甲");
    TestApp::Colleague colleague(*app);
    EXPECT_EQ(AddExpertRecord(colleague.store, expert("同事的专家")).value(), "000002");
    const QList<QStringList> records{expert("导入一").storedFields(), expert("导入二").storedFields()};
    const Outcome done = ExpertImport::AddExperts(state().store, records);
    ASSERT_TRUE(done.ok()) << done.message().toStdString();
    ASSERT_EQ(state().store.ExpertTable.count(), 4);
    EXPECT_EQ(state().store.ExpertTable.cell(2, Schema::E_Id).toString(), "000003");
    EXPECT_EQ(state().store.ExpertTable.cell(3, Schema::E_Name).toString(), "导入二");
}

// The operation log takes entries but refuses to change or lose any, and a
// restore keeps it, adding an entry that links to the head it replaced.
TEST_P(OnBothBackends, TheLogRefusesUpdateAndDeleteAndSurvivesARestore)
{
    state().store.operatorName = "admin";
    const QString backup = app->dir.filePath("backup.mdb");
    ASSERT_TRUE(BackupDatabase(state().store, backup).ok());
    ASSERT_TRUE(AppendAudit(state().store, AuditKind::Print, "000001").ok());
    Connection &conn = LibraryConnection(state().store);
    const AuditHead before = ReadAuditHead(conn);
    ASSERT_GE(before.seq, 2);
    for (const char *sql : {"UPDATE audit_log SET Detail = '{}'", "DELETE FROM audit_log WHERE Seq = 1"}) {
        Transaction tx(conn);
        EXPECT_THROW(conn.exec(QString::fromLatin1(sql)), DbError) << sql;
    }
    EXPECT_EQ(ReadAuditHead(conn).hash, before.hash);

    const Outcome restored = RestoreDatabase(app->maintenanceTarget(), backup);
    ASSERT_TRUE(restored.ok()) << restored.message().toStdString();
    Connection &after = LibraryConnection(state().store);
    const QList<AuditEntry> log = ReadAuditEntries(after);
    ASSERT_EQ(log.size(), before.seq + 1);
    EXPECT_EQ(log.last().kind, AuditKind::Restore);
    EXPECT_EQ(log.last().prevHash, before.hash);
    EXPECT_TRUE(VerifyChain(after).isEmpty()) << VerifyChain(after).join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, OnBothBackends, ::testing::Values(DataSource::File, DataSource::Server),
                         backendName);
