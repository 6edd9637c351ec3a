// Bringing a table up to date after a write gives what a full reload reads.

#include "TestApp.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/ExpertRecord.h"
#include "data/Projects.h"
#include "data/Schema.h"

#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

class TableRefresh : public ::testing::Test {
protected:
    // The tables as the loaders read the file now.
    DataStore reloaded() const
    {
        DataStore fresh;
        fresh.appDir = app.appDir();
        LoadExperts(fresh);
        LoadSelections(fresh);
        return fresh;
    }
    void expectAsReloaded() const
    {
        const DataStore fresh = reloaded();
        EXPECT_EQ(app.state.store.ExpertTable.toLists(), fresh.ExpertTable.toLists());
        EXPECT_EQ(app.state.store.SelectionTable.toLists(), fresh.SelectionTable.toLists());
    }
    // Writes a record with this Id straight into the file, as another
    // writer of the program might.
    void insertExpert(const QString &id, const QString &name)
    {
        Connection conn = OpenDataFile(app.state.store);
        ExpertWriter(conn).insert(id, {name});
    }
    ExpertRecordBuffer record(const QString &name) const
    {
        ExpertFormValues values;
        values.byField[Schema::E_Name] = name;
        values.byField[Schema::E_Resume] = QStringLiteral("  多行\n简历  ");
        return *GatherExpertFields(values, QDate(2026, 12, 9));
    }

    TestApp app;
};

TEST_F(TableRefresh, EveryWriteOfTheProgramLeavesTheTablesAsAReloadReadsThem)
{
    QStringList ids;
    for (int i = 1; i <= 5; ++i)
        ids << app.addExpert(QStringLiteral("专家%1").arg(i));
    app.addSelection("2026-01-01", ids[1]);
    app.addSelection("2026-01-02", ids[3]);
    app.addSelection("2026-01-03", ids[1]);

    // A new expert at the end.
    const QString added = AddExpertRecord(app.state.store, record(QStringLiteral("新专家"))).value();
    ASSERT_TRUE(RefreshExperts(app.state.store, {added}).ok());
    expectAsReloaded();
    EXPECT_EQ(app.state.store.ExpertTable.toLists().last().value(Schema::E_Resume), QStringLiteral("多行\n简历"));

    // An expert rewritten in place.
    ASSERT_TRUE(UpdateExpertRecord(app.state.store, ids[2], record(QStringLiteral("改过的"))));
    ASSERT_TRUE(RefreshExperts(app.state.store, {ids[2]}).ok());
    expectAsReloaded();
    EXPECT_EQ(app.state.store.ExpertTable.cell(2, Schema::E_Name), QStringLiteral("改过的"));

    // Two experts deleted with their draw records.
    const QStringList gone{ids[1], ids[4]};
    const QStringList goneSelections = SelectionIdsOfExperts(app.state.store, gone);
    EXPECT_EQ(goneSelections.size(), 2);
    ASSERT_TRUE(DeleteExpertsWithSelections(app.state.store, gone).value().deleted);
    ASSERT_TRUE(RefreshExperts(app.state.store, gone).ok());
    ASSERT_TRUE(RefreshSelections(app.state.store, goneSelections).ok());
    expectAsReloaded();

    // A draw stored.
    TextTable draw;
    draw.append({ids[0], QStringLiteral("专家1")});
    draw.append({added, QStringLiteral("新专家")});
    DrawSession session;
    const StoredDraw project = StoreDrawProject(app.state.store, draw, session, ProjectFacts{QStringLiteral("项目")},
                                                QStringLiteral("admin"), QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
    const std::optional<ProjectDetail> detail = LoadProject(app.state.store, project.projectId);
    ASSERT_TRUE(detail);
    QStringList stored;
    for (const ProjectExpert &e : detail->experts)
        stored << e.selId;
    EXPECT_EQ(stored.size(), 2);
    ASSERT_TRUE(RefreshSelections(app.state.store, stored).ok());
    expectAsReloaded();

    // A delete that fails because one expert is not in the file: nothing
    // changes, and neither does the table.
    const DataStore before = reloaded();
    EXPECT_FALSE(DeleteExpertsWithSelections(app.state.store, {ids[0], QStringLiteral("999999")}).value().deleted);
    expectAsReloaded();
    EXPECT_EQ(app.state.store.ExpertTable.toLists(), before.ExpertTable.toLists());
}

// Ids in the middle, Ids of other lengths and characters beyond the
// 16-bit range take the place a reload gives them.
TEST_F(TableRefresh, RecordsGoWhereTheEngineOrdersThem)
{
    for (const char *id : {"000001", "000003", "000010"})
        insertExpert(QString::fromLatin1(id), QStringLiteral("x"));
    LoadExperts(app.state.store);
    const QStringList odd{QStringLiteral("000002"), QStringLiteral("1000000"),    QStringLiteral("00001"),
                          QStringLiteral("\uFF21"), QStringLiteral("\U0001D7D8"), QStringLiteral("")};
    for (const QString &id : odd) {
        SCOPED_TRACE(id.toStdString());
        insertExpert(id, QStringLiteral("y"));
        ASSERT_TRUE(RefreshExperts(app.state.store, {id}).ok());
        expectAsReloaded();
    }
    // The engine's order of text, which UTF-16 units alone would get wrong.
    EXPECT_TRUE(IdLess(QStringLiteral("\uFF21"), QStringLiteral("\U0001D7D8")));
    EXPECT_FALSE(IdLess(QStringLiteral("\U0001D7D8"), QStringLiteral("\uFF21")));
    EXPECT_TRUE(IdLess(QStringLiteral("00001"), QStringLiteral("000010")));
    EXPECT_FALSE(IdLess(QStringLiteral("a"), QStringLiteral("a")));

    // A record no longer in the file leaves the table; an Id in neither
    // changes nothing.
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement del = conn.prepare(QStringLiteral("DELETE FROM expert_msg WHERE Id = ?"));
        del.bind(1, QStringLiteral("000003"));
        del.step();
    }
    ASSERT_TRUE(RefreshExperts(app.state.store, {QStringLiteral("000003"), QStringLiteral("nowhere")}).ok());
    expectAsReloaded();
}

TEST_F(TableRefresh, AFileThatCannotBeReadLeavesTheTableAsItWas)
{
    const QString id = app.addExpert(QStringLiteral("专家"));
    const TextTable before = app.state.store.ExpertTable;
    ASSERT_TRUE(QFile::rename(app.dataFile(), app.dataFile() + QStringLiteral(".away")));
    EXPECT_FALSE(RefreshExperts(app.state.store, {id}).ok());
    EXPECT_EQ(app.state.store.ExpertTable.toLists(), before.toLists());
}

}   // namespace
