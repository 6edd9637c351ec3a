#include "MemorySource.h"
#include "TestApp.h"
#include "TestFiles.h"

#include "admin/DataMaintenance.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "migrate/LibraryImport.h"
#include "files/DataFolder.h"
#include "data/FileCopy.h"
#include "data/PasswordHash.h"
#include "data/Users.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Migrate;

namespace {

// The 29 fields of an expert as the old program kept them.
QStringList expert(const QString &id, const QString &name)
{
    return {id,
            name,
            "启用",
            "正式",
            "★★★☆☆",
            "男",
            "1965-03-08",
            " ",
            "北京",
            "03",
            "清华大学",
            "1988-07-01",
            "110101196503081234",
            "北京建工集团",
            "总工程师",
            "03",
            "土木工程",
            "工程类",
            "建筑工程",
            "一级建造师",
            "2001-05-01",
            "2003-09-01",
            "13800000000",
            "wang@example.com",
            "北京市海淀区",
            "100084",
            "简历",
            "业绩",
            "2008-05-06"};
}

// A whole library of the old program. Record numbers have gaps, as they do
// after deletions.
MemorySource oldLibrary()
{
    MemorySource s;
    s.addTable(
        Schema::LoginPwd(),
        {{"000001", "admin", "583920abc", "0"}, {"000002", "张三", "旧密码", "1"}, {"000004", "leader", "pw 4", "2"}});
    s.addTable(Schema::ResourceZhicheng(), {{"00", "全部"}, {"01", "初级"}, {"02", "中级"}, {"03", "高级"}});
    s.addTable(Schema::ResourceDegree(), {{"00", "全部"}, {"01", "大专"}, {"02", "本科"}});
    s.addTable(Schema::ExpertMsg(), {expert("000003", "王工"), expert("000007", "李工")});
    s.addTable(Schema::SelExpert(), {{"000010", "2008-05-06", "000003"}, {"000012", "2009-01-02", "000007"}});
    return s;
}

// The source's tables as text, in the program's order.
// Passwords are stored hashed, each with its own salt: the tables compare
// with "<hash>" in their place (UsersLogInWithTheirOldPasswords checks what
// each hash opens).
const QString kHashed = QStringLiteral("<hash>");
QList<QList<QStringList>> hashesHidden(QList<QList<QStringList>> tables)
{
    for (QStringList &row : tables[0])
        if (PasswordHash::IsHash(row.value(2)))
            row[2] = kHashed;
    return tables;
}

QList<QList<QStringList>> asText(const MemorySource &s)
{
    QList<QList<QStringList>> tables;
    for (const TableDef *t : Schema::AllTables()) {
        QList<QStringList> rows;
        for (const SourceRow &row : s.rows(t->name)) {
            QStringList cells;
            for (const QVariant &v : row)
                cells << v.toString();
            if (t == &Schema::LoginPwd() && !cells.value(2).isEmpty())
                cells[2] = kHashed;
            rows << cells;
        }
        tables << rows;
    }
    return tables;
}

// Every table of a data file as text, in the program's order.
QList<QList<QStringList>> dump(const QString &path)
{
    Connection conn = Connection::open(path);
    QList<QList<QStringList>> tables;
    for (const TableDef *t : Schema::AllTables()) {
        QList<QStringList> rows;
        Statement st = conn.prepare(t->selectStatement());
        while (st.step()) {
            QStringList row;
            for (int c = 0; c < st.columnCount(); ++c)
                row << st.text(c);
            rows << row;
        }
        tables << rows;
    }
    return hashesHidden(tables);
}

QList<QList<QStringList>> inMemory(const AppState &s)
{
    return hashesHidden({s.store.UserTable.toLists(), s.store.TitleTypeTable.toLists(), s.store.DegreeTable.toLists(),
                         s.store.ExpertTable.toLists(), s.store.SelectionTable.toLists()});
}

class LibraryImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldExpert = app.addExpert("本程序的专家");
        app.addSelection("2026-12-01", oldExpert);
        app.state.draw.DrawList.append({oldExpert, "本程序的专家", "男", "", "", "", "", ""});
        app.state.draw.DrawUnsaved = true;
    }
    QString safetyCopy() const
    {
        return QDir(BackupFolderPath(app.appDir())).filePath("ProSys_导入Access前_20261209.mdb");
    }

    TestApp app;
    QString oldExpert;
};

TEST_F(LibraryImportTest, ReplacesTheLibraryKeepingRecordNumbersAfterASafetyCopy)
{
    // A table added to the file for the records of each draw: its rows
    // refer to the experts being replaced.
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("CREATE TABLE draw_log (Id TEXT, Expert_Id TEXT)");
        conn.exec("INSERT INTO draw_log VALUES ('000001', '000001')");
    }
    const auto before = dump(app.dataFile());
    const MemorySource source = oldLibrary();

    const ImportPlan plan = PlanImport(source);
    ASSERT_TRUE(plan.canImport()) << RefusalText(plan).toStdString();
    EXPECT_TRUE(plan.cuts.isEmpty());
    EXPECT_TRUE(plan.extraTables.isEmpty());
    EXPECT_EQ(plan.rowsOf("expert_msg"), 2);
    EXPECT_EQ(plan.rowsOf("login_pwd"), 3);
    const QString findings = FindingsText(plan);
    EXPECT_TRUE(findings.contains("expert_msg（专家）：2 条记录")) << findings.toStdString();
    EXPECT_TRUE(findings.contains("没有超出字段宽度的内容。"));
    EXPECT_TRUE(ConfirmationText(plan).contains("其他数据表"));

    const Outcome out = ImportAccessLibrary(app.maintenanceTarget(), plan);
    ASSERT_TRUE(out.ok()) << out.message().toStdString();

    const auto expected = asText(source);
    EXPECT_EQ(dump(app.dataFile()), expected);
    EXPECT_EQ(inMemory(app.state), expected);
    EXPECT_EQ(app.countRows("draw_log"), 0);
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
    EXPECT_FALSE(app.state.draw.DrawUnsaved);

    ASSERT_TRUE(QFile::exists(safetyCopy()));
    EXPECT_EQ(dump(safetyCopy()), before);
    EXPECT_TRUE(out.message().contains(QDir::toNativeSeparators(safetyCopy()))) << out.message().toStdString();
}

TEST_F(LibraryImportTest, UsersLogInWithTheirOldPasswords)
{
    ASSERT_TRUE(ImportAccessLibrary(app.maintenanceTarget(), PlanImport(oldLibrary())).ok());
    struct Case {
        const char *name;
        const char *password;
        bool found;
        const char *id;
        int role;
    } cases[] = {
        {"admin", "583920abc", true, "000001", 0},
        {"张三", "旧密码", true, "000002", 1},
        {"leader", "pw 4", true, "000004", 2},
        {"admin", "123456", false, "", -1},   // this program's first administrator is gone
    };
    // No password is left in the file as it was typed.
    {
        Connection conn = Connection::open(app.dataFile());
        Statement st = conn.prepare("SELECT Password FROM login_pwd");
        while (st.step())
            EXPECT_TRUE(PasswordHash::IsHash(st.text(0))) << st.text(0).toStdString();
    }
    for (const Case &c : cases) {
        const LoginMatch m = CheckCredentials(app.state.store.UserTable, c.name, c.password);
        EXPECT_EQ(m.found, c.found) << c.name;
        if (c.found) {
            EXPECT_EQ(m.userId, c.id) << c.name;
            EXPECT_EQ(m.role, c.role) << c.name;
        }
    }
}

TEST_F(LibraryImportTest, ExpertFieldsAreCutToTheEditorsWidthsAndEveryCutIsListed)
{
    struct Case {
        const char *field;
        QVariant value;
        QString stored;   // as the in-memory table holds it
        bool cut;
    };
    const QList<Case> cases = {
        {"Mobile", QString("1380000000013800000001"), QString("13800000000138000000"), true},
        {"Zip_code", QString("邮编一二三四五六"), QString("邮编一二三"), true},
        {"zige_gettime", QString("2001年05月01日取得资格"), QString("2001年05月01日取得资"), true},
        {"Resume", QString(70000, 'r'), QString(65535, 'r'), true},
        {"email", QString(50, 'e'), QString(50, 'e'), false},
        {"Name", QString(300, QChar(0x5F20)), QString(300, QChar(0x5F20)), false},   // never clipped
        {"Address", QString(""), QString(" "), false},   // an empty text is stored as one space
        {"Address", QVariant(), QString(""), false},     // a null stays null
        {"graduate_date", QString("1988年7月"), QString("1988年7月"), false},
    };
    MemorySource source = oldLibrary();
    MemorySource::Table &experts = source.table("expert_msg");
    experts.rows.clear();
    QList<CutValue> expectedCuts;
    for (int i = 0; i < cases.size(); ++i) {
        const QString id = QString("%1").arg(i + 1, 6, 10, QChar('0'));
        SourceRow row;
        for (const QString &v : expert(id, "专家"))
            row << v;
        experts.rows << row;
        experts.set(id, cases[i].field, cases[i].value);
        if (cases[i].cut)
            expectedCuts.append({"expert_msg", id, cases[i].field});
    }
    source.table("sel_expert").rows.clear();

    const ImportPlan plan = PlanImport(source);
    ASSERT_TRUE(plan.canImport()) << RefusalText(plan).toStdString();
    ASSERT_EQ(plan.cuts.size(), expectedCuts.size());
    const QString findings = FindingsText(plan);
    EXPECT_TRUE(findings.contains(QString("有 %1 处内容超出字段宽度").arg(expectedCuts.size())));
    for (int i = 0; i < expectedCuts.size(); ++i) {
        EXPECT_EQ(plan.cuts[i].table, expectedCuts[i].table);
        EXPECT_EQ(plan.cuts[i].recordId, expectedCuts[i].recordId);
        EXPECT_EQ(plan.cuts[i].field, expectedCuts[i].field);
        const QString line = QString("expert_msg 记录 %1 字段 %2").arg(expectedCuts[i].recordId, expectedCuts[i].field);
        EXPECT_TRUE(findings.contains(line)) << line.toStdString();
    }

    ASSERT_TRUE(ImportAccessLibrary(app.maintenanceTarget(), plan).ok());
    ASSERT_EQ(app.state.store.ExpertTable.count(), cases.size());
    for (int i = 0; i < cases.size(); ++i) {
        const int field = Schema::ExpertMsg().fieldIndex(cases[i].field);
        EXPECT_EQ(app.state.store.ExpertTable.cell(i, field), cases[i].stored) << i << " " << cases[i].field;
    }
}

TEST_F(LibraryImportTest, DateColumnsBecomeDaysAndOtherColumnsTheirText)
{
    MemorySource source = oldLibrary();
    MemorySource::Table &experts = source.table("expert_msg");
    const auto retype = [](MemorySource::Table &t, const QString &column, ColumnType type) {
        t.columns[t.column(column)].type = type;
    };
    retype(experts, "birth_date", ColumnType::DateTime);
    experts.set("000003", "birth_date", QDateTime(QDate(1965, 3, 8), QTime(14, 30), Qt::UTC));
    experts.set("000007", "birth_date", QVariant());
    retype(experts, "zige_gettime", ColumnType::DateTime);
    experts.set("000003", "zige_gettime", QDateTime(QDate(2001, 5, 1), QTime(0, 0), Qt::UTC));
    experts.set("000007", "zige_gettime", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC));
    experts.set("000003", "graduate_date", QString("1988-7-1"));   // a date kept as text stays as it was
    retype(experts, "Zip_code", ColumnType::Double);
    experts.set("000003", "Zip_code", 100084.0);
    experts.set("000007", "Zip_code", 0.5);
    MemorySource::Table &selections = source.table("sel_expert");
    retype(selections, "Sel_data", ColumnType::DateTime);
    selections.set("000010", "Sel_data", QDateTime(QDate(2008, 5, 6), QTime(9, 15), Qt::UTC));
    selections.set("000012", "Sel_data", QDateTime(QDate(2009, 1, 2), QTime(0, 0), Qt::UTC));
    MemorySource::Table &users = source.table("login_pwd");
    retype(users, "Limits", ColumnType::Long);
    users.set("000001", "Limits", qlonglong(0));
    users.set("000002", "Limits", qlonglong(1));
    users.set("000004", "Limits", qlonglong(2));

    const ImportPlan plan = PlanImport(source);
    ASSERT_TRUE(plan.canImport()) << RefusalText(plan).toStdString();
    ASSERT_TRUE(ImportAccessLibrary(app.maintenanceTarget(), plan).ok());
    const TextTable &e = app.state.store.ExpertTable;
    EXPECT_EQ(e.cell(0, Schema::E_birth_date).toString(), "1965-03-08");
    EXPECT_EQ(e.cell(1, Schema::E_birth_date).toString(), "");
    EXPECT_EQ(e.cell(0, Schema::E_zige_gettime).toString(), "2001-05-01");
    EXPECT_EQ(e.cell(1, Schema::E_zige_gettime).toString(), "1999-12-31");
    EXPECT_EQ(e.cell(0, Schema::E_graduate_date).toString(), "1988-7-1");
    EXPECT_EQ(e.cell(0, Schema::E_Zip_code).toString(), "100084");
    EXPECT_EQ(e.cell(1, Schema::E_Zip_code).toString(), "0.5");
    EXPECT_EQ(app.state.store.SelectionTable.cell(0, 1).toString(), "2008-05-06");
    EXPECT_EQ(app.state.store.SelectionTable.cell(1, 1).toString(), "2009-01-02");
    EXPECT_EQ(CheckCredentials(app.state.store.UserTable, "admin", "583920abc").role, 0);
    EXPECT_EQ(CheckCredentials(app.state.store.UserTable, "leader", "pw 4").role, 2);
}

TEST_F(LibraryImportTest, MissingAndExtraColumnsAndTablesAreReported)
{
    MemorySource source = oldLibrary();
    MemorySource::Table &experts = source.table("expert_msg");
    experts.dropColumn("Resume");
    experts.addColumn("Photo", ColumnType::Ole, QByteArray("\x89PNG", 4));   // not read: not brought in
    // Access does not tell names apart by case.
    MemorySource::Table &selections = source.table("sel_expert");
    selections.name = "SEL_EXPERT";
    selections.columns[2].name = "expert_id";
    MemorySource::Table extra{"Switchboard Items", {{"ItemText", ColumnType::Text}}, {{QString("主菜单")}}};
    source.tables.append(extra);

    const ImportPlan plan = PlanImport(source);
    ASSERT_TRUE(plan.canImport()) << RefusalText(plan).toStdString();
    EXPECT_EQ(plan.tables[3].missingColumns, QStringList{"Resume"});
    EXPECT_EQ(plan.tables[3].extraColumns, QStringList{"Photo"});
    EXPECT_EQ(plan.tables[4].sourceName, "SEL_EXPERT");
    EXPECT_TRUE(plan.tables[4].missingColumns.isEmpty());
    EXPECT_EQ(plan.extraTables, QStringList{"Switchboard Items"});
    const QString findings = FindingsText(plan);
    EXPECT_TRUE(
        findings.contains("expert_msg（专家）：2 条记录；缺少字段 Resume（导入为空）；多出字段 Photo（不导入）"))
        << findings.toStdString();
    EXPECT_TRUE(findings.contains("sel_expert（抽取记录）：2 条记录\n"));
    EXPECT_TRUE(findings.contains("多出的数据表（不导入）：Switchboard Items"));

    ASSERT_TRUE(ImportAccessLibrary(app.maintenanceTarget(), plan).ok());
    EXPECT_EQ(app.state.store.ExpertTable.cell(0, Schema::E_Resume).toString(), "");
    EXPECT_EQ(app.state.store.ExpertTable.cell(1, Schema::E_Main_project).toString(), "业绩");
    EXPECT_EQ(app.state.store.SelectionTable.toLists(),
              QList<QStringList>({{"000010", "2008-05-06", "000003"}, {"000012", "2009-01-02", "000007"}}));
}

TEST_F(LibraryImportTest, ALibraryThatCannotComeAcrossWholeIsRefusedAndNothingIsWritten)
{
    struct Case {
        const char *what;
        std::function<void(MemorySource &)> change;
        const char *problem;
    };
    const QList<Case> cases = {
        {"a table is missing", [](MemorySource &s) { s.removeTable("expert_msg"); },
         "其中缺少专家库的数据表：expert_msg。"},
        {"no table of the library",
         [](MemorySource &s) {
             s.tables.clear();
             s.tables.append({"Table1", {{"ID", ColumnType::Long}}, {}});
         },
         "这不是专家库的数据库"},
        {"no Id", [](MemorySource &s) { s.table("sel_expert").dropColumn("Id"); }, "数据表 sel_expert 没有字段 Id"},
        {"an Id twice", [](MemorySource &s) { s.table("expert_msg").set("000007", "Id", QString("000003")); },
         "数据表 expert_msg 中有 2 条记录的记录号（Id）都是 000003。"},
        {"an empty Id", [](MemorySource &s) { s.table("login_pwd").set("000004", "Id", QVariant()); },
         "数据表 login_pwd 中有 1 条记录没有记录号（Id）。"},
        {"no administrator", [](MemorySource &s) { s.table("login_pwd").set("000001", "Limits", QString("1")); },
         "没有系统管理员"},
        {"no users", [](MemorySource &s) { s.table("login_pwd").rows.clear(); }, "没有用户"},
        {"a binary field",
         [](MemorySource &s) {
             MemorySource::Table &t = s.table("expert_msg");
             t.columns[t.column("Resume")].type = ColumnType::Ole;
         },
         "数据表 expert_msg 的字段 Resume 是“OLE 对象”类型，不能转成文字。"},
    };
    const QByteArray bytes = ReadAll(app.dataFile());
    QTemporaryDir out;
    for (const Case &c : cases) {
        MemorySource source = oldLibrary();
        c.change(source);
        const ImportPlan plan = PlanImport(source);
        EXPECT_FALSE(plan.canImport()) << c.what;
        const QString refusal = RefusalText(plan);
        EXPECT_TRUE(refusal.contains(c.problem)) << c.what << ": " << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(QDir::toNativeSeparators(source.file))) << c.what;

        const Outcome result = ImportAccessLibrary(app.maintenanceTarget(), plan);
        EXPECT_FALSE(result.ok()) << c.what;
        EXPECT_EQ(result.message(), refusal) << c.what;
        EXPECT_EQ(ReadAll(app.dataFile()), bytes) << c.what;

        const QString target = QDir(out.path()).filePath("new.mdb");
        EXPECT_EQ(WriteNewDataFile(plan, target).message(), refusal) << c.what;
        EXPECT_FALSE(QFile::exists(target)) << c.what;
    }
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_FALSE(QFile::exists(safetyCopy()));
}

TEST_F(LibraryImportTest, AFailureHalfwayLeavesTheDataFileByteForByte)
{
    // The extraction records are written last: the users and the experts
    // are already in when this fails.
    {
        Connection conn = OpenDataFile(app.state.store);
        conn.exec("CREATE TRIGGER stop BEFORE INSERT ON sel_expert BEGIN SELECT RAISE(ABORT, '磁盘已满'); END");
    }
    const QByteArray bytes = ReadAll(app.dataFile());
    const auto tablesBefore = inMemory(app.state);

    const Outcome out = ImportAccessLibrary(app.maintenanceTarget(), PlanImport(oldLibrary()));
    EXPECT_FALSE(out.ok());
    EXPECT_TRUE(out.message().contains("数据库没有改变")) << out.message().toStdString();
    // What happened in the program's words, naming the file; the engine's
    // own words as the detail.
    EXPECT_TRUE(out.message().contains(QDir::toNativeSeparators(app.dataFile()))) << out.message().toStdString();
    EXPECT_FALSE(out.message().contains("磁盘已满")) << out.message().toStdString();
    EXPECT_TRUE(out.detail().contains("磁盘已满")) << out.detail().toStdString();
    EXPECT_EQ(ReadAll(app.dataFile()), bytes);
    EXPECT_FALSE(QFile::exists(app.dataFile() + "-journal"));
    EXPECT_EQ(inMemory(app.state), tablesBefore);
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
}

TEST_F(LibraryImportTest, NoSafetyCopyNoImport)
{
    QFile blocker(BackupFolderPath(app.appDir()));   // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray bytes = ReadAll(app.dataFile());
    const Outcome out = ImportAccessLibrary(app.maintenanceTarget(), PlanImport(oldLibrary()));
    EXPECT_FALSE(out.ok());
    EXPECT_TRUE(out.message().contains("无法备份当前数据库")) << out.message().toStdString();
    EXPECT_EQ(ReadAll(app.dataFile()), bytes);
}

TEST(NewDataFile, HoldsTheLibraryEncryptedAndNeverReplacesAFile)
{
    QTemporaryDir dir;
    const MemorySource source = oldLibrary();
    const ImportPlan plan = PlanImport(source);
    const QString target = QDir(dir.path()).filePath("新专家库.mdb");

    ASSERT_TRUE(WriteNewDataFile(plan, target).ok());
    EXPECT_NE(ReadAll(target).left(16), QByteArray("SQLite format 3\0", 16));
    {
        Connection conn = Connection::open(target);
        EXPECT_TRUE(CheckSchema(conn).ok());
    }
    EXPECT_EQ(dump(target), asText(source));
    // Nothing but the new file is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"新专家库.mdb"});

    const QByteArray written = ReadAll(target);
    const Outcome refusal = WriteNewDataFile(plan, target);
    EXPECT_FALSE(refusal.ok());
    EXPECT_TRUE(refusal.message().contains("已存在")) << refusal.message().toStdString();
    EXPECT_EQ(ReadAll(target), written);

    EXPECT_TRUE(WriteNewDataFile(plan, QDir(dir.path()).filePath("没有/new.mdb")).message().contains("不存在"));
}

TEST(NewDataFile, AFailureLeavesNoFileBehind)
{
    QTemporaryDir dir;
    ImportPlan plan = PlanImport(oldLibrary());
    // An extraction record given twice gets past no check but the database's
    // own: the write fails after the users and the experts are in.
    plan.records[4].append(plan.records[4].first());
    const QString target = QDir(dir.path()).filePath("new.mdb");
    const Outcome written = WriteNewDataFile(plan, target);
    EXPECT_FALSE(written.ok());
    EXPECT_TRUE(written.message().contains("无法写入新的数据库文件")) << written.message().toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

}   // namespace
