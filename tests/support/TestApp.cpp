#include "TestApp.h"

#include "data/PasswordHash.h"
#include "data/ServerBackend.h"

#include "data/Database.h"
#include "data/ExpertRecord.h"
#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "ui/Twips.h"

TestApp::TestApp(bool createDatabase) : TestApp(DataSource::File, createDatabase) {}

TestApp::TestApp(DataSource::Kind kind, bool createDatabase)
{
    state.store.appDir = dir.path();
    state.templateDir = dir.path();
    state.services.messages = messages;
    state.services.clock = clock;
    state.services.random = random;
    state.services.files = files;
    state.services.desktop = desktop;
    state.services.dialogs = dialogs;
    desktop->desktop = dir.path();
    InitRoleNames(state.session);
    InitPathTitles(state.nav);
    state.session.CurrentUserId = "000001";
    state.session.CurrentUserRole = 0;
    if (kind == DataSource::Server) {
        server = std::make_unique<ServerDatabase>();
        state.store.source = server->source();
        if (createDatabase) {
            ServerBackend(state.store.source).prepare();
            reloadAll();
        }
        return;
    }
    if (createDatabase) {
        CreateDataFile(dataFile());
        reloadAll();
    }
}

TestApp::Colleague::Colleague(const TestApp &app)
{
    store.appDir = app.state.store.appDir;
    store.source = app.state.store.source;
    LoadAllTables(store);
}

void TestApp::reloadAll() { LoadAllTables(state.store); }

QString TestApp::addExpert(const QStringList &fields)
{
    Connection conn = OpenDataFile(state.store);
    const QString id = NextRecordId(state.store.ExpertTable);
    ExpertWriter(conn).insert(id, fields);
    conn.close();
    LoadExperts(state.store);
    return id;
}

QString TestApp::addExpert(const QString &name, const QString &status, const QString &kind, const QString &titleId,
                           const QString &sex)
{
    const QString stars = StarGrade(qBound(1, titleId.toInt(), 5));
    // Fields 1..28 in order.
    return addExpert({name,
                      status,
                      kind,
                      stars,
                      sex,
                      "1970-01-01",
                      " ",
                      "北京",
                      "03",
                      "清华大学",
                      "1992-07-01",
                      "110101197001011234",
                      "北京建工集团",
                      "总工程师",
                      titleId,
                      "土木工程",
                      "工程类",
                      "建筑工程",
                      "一级建造师",
                      "2000-01-01",
                      "2005-01-01",
                      "13800000000",
                      "a@example.com",
                      "北京市海淀区",
                      "100000",
                      "简历",
                      "业绩",
                      "2026-12-09"});
}

void TestApp::addExperts(int count)
{
    Connection conn = OpenDataFile(state.store);
    Transaction tx(conn);
    Recordset rs(conn, Schema::ExpertMsg());
    for (int k = 1; k <= count; ++k) {
        rs.addNew();
        rs.setField(0, NextRecordId(state.store.ExpertTable, k));
        for (int i = 1; i < Schema::ExpertFieldCount; ++i)
            rs.setField(i, QStringLiteral(" "));
        rs.setField(Schema::E_Name, QStringLiteral("专家%1").arg(k));
        rs.setField(Schema::E_Status, kStatusEnabled);
        rs.setField(Schema::E_Is_temp, kKindRegular);
        rs.setField(Schema::E_Resume, QStringLiteral("在设计研究院从事结构设计工作多年。").repeated(8));
        rs.update();
    }
    rs.close();
    tx.commit();
    conn.close();
    LoadExperts(state.store);
}

void TestApp::addSelection(const QString &date, const QString &expertId)
{
    Connection conn = OpenDataFile(state.store);
    Recordset rs(conn, Schema::SelExpert());
    rs.addNew();
    rs.setField(0, NextRecordId(state.store.SelectionTable));
    rs.setField(1, date);
    rs.setField(2, expertId);
    rs.update();
    rs.close();
    conn.close();
    LoadSelections(state.store);
}

void TestApp::addUser(const QString &id, const QString &name, const QString &password, const QString &limits)
{
    Connection conn = OpenDataFile(state.store);
    Recordset rs(conn, Schema::LoginPwd());
    rs.addNew();
    rs.setField(0, id);
    rs.setField(1, name);
    rs.setField(2, password);
    rs.setField(3, limits);
    rs.update();
    rs.close();
    conn.close();
    LoadUsers(state.store);
}

MaintenanceTarget TestApp::maintenanceTarget() { return {state.store, state.draw, state.today()}; }

int TestApp::countRows(const QString &table)
{
    Connection conn = OpenDataFile(state.store);
    Statement st = conn.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    st.step();
    return st.text(0).toInt();
}

TestHost::TestHost(AppState &state, ScreenRegistry registry) : ScreenHost(state, std::move(registry))
{
    area.resize(1280, 900);
}

TestHost::~TestHost() { closeAllScreens(); }

QStringList OpenedBy(QStringList userRow, const QString &password)
{
    if (userRow.size() > 2 && PasswordHash::IsHash(userRow[2]) && PasswordHash::Matches(userRow[2], password))
        userRow[2] = password;
    return userRow;
}
