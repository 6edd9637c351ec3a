#include "data/Schema.h"

#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Vocabulary.h"

#include <QFile>
#include <QFileInfo>

QString TableDef::selectStatement() const { return QStringLiteral("select * from %1 order by %1.Id").arg(name); }

int TableDef::fieldIndex(const QString &field) const { return int(fields.indexOf(field)); }

namespace Schema {

const TableDef &LoginPwd()
{
    static const TableDef t{QStringLiteral("login_pwd"), {"Id", "User_name", "Password", "Limits"}};
    return t;
}

const TableDef &ResourceZhicheng()
{
    static const TableDef t{QStringLiteral("resource_zhicheng"), {"Id", "Name"}};
    return t;
}

const TableDef &ResourceDegree()
{
    static const TableDef t{QStringLiteral("resource_degree"), {"Id", "Name"}};
    return t;
}

const TableDef &ExpertMsg()
{
    static const TableDef t{QStringLiteral("expert_msg"),
                            {"Id",
                             "Name",
                             "Status",
                             "Is_temp",
                             "star_number",
                             "Sex",
                             "birth_date",
                             "area_id",
                             "province",
                             "degree_type_id",
                             "school_name",
                             "graduate_date",
                             "Profession",
                             "Company_name",
                             "Position",
                             "zhicheng_id",
                             "cong_shi_zhuanye",
                             "type",
                             "resource_industry",
                             "zige_name",
                             "zige_gettime",
                             "pinren_time",
                             "Mobile",
                             "email",
                             "Address",
                             "Zip_code",
                             "Resume",
                             "Main_project",
                             "Reg_date"}};
    return t;
}

const TableDef &SelExpert()
{
    static const TableDef t{QStringLiteral("sel_expert"), {"Id", "Sel_data", "Expert_Id"}};
    return t;
}

const QList<const TableDef *> &AllTables()
{
    static const QList<const TableDef *> all{&LoginPwd(), &ResourceZhicheng(), &ResourceDegree(), &ExpertMsg(),
                                             &SelExpert()};
    return all;
}

}   // namespace Schema

void CreateSchema(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables()) {
        QStringList cols;
        for (const QString &f : t->fields)
            cols << (f == QLatin1String("Id") ? QStringLiteral("Id %1 PRIMARY KEY NOT NULL").arg(conn.textType())
                                              : QStringLiteral("%1 %2").arg(f, conn.textType()));
        conn.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(t->name, cols.join(", ")));
    }
}

void CreateTables(Connection &conn)
{
    CreateSchema(conn);
    EnsureProjectTables(conn);
    if (conn.isServer())
        CreateChangeCounters(conn);
}

void CreateChangeCounters(Connection &conn)
{
    // Every statement that changes a table counts one change of it, whoever
    // sends it; a program compares the count with the one it read with the
    // table to know whether its copy is still current.
    conn.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS kestrune_changes "
                             "(table_name TEXT PRIMARY KEY, serial BIGINT NOT NULL DEFAULT 0)"));
    conn.exec(QStringLiteral("CREATE OR REPLACE FUNCTION kestrune_count_change() RETURNS trigger "
                             "LANGUAGE plpgsql AS $$ BEGIN "
                             "UPDATE kestrune_changes SET serial = serial + 1 WHERE table_name = TG_TABLE_NAME; "
                             "RETURN NULL; END $$"));
    for (const QString &table : ChangeCountedTables()) {
        Statement add = conn.prepare(QStringLiteral("INSERT INTO kestrune_changes (table_name) VALUES (?) "
                                                    "ON CONFLICT (table_name) DO NOTHING"));
        add.bind(1, table);
        add.step();
        // The names are the program's own. Dropped and made again rather
        // than replaced, which servers before version 14 cannot.
        conn.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1_changes ON %1").arg(table));
        conn.exec(QStringLiteral("CREATE TRIGGER %1_changes AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE "
                                 "ON %1 FOR EACH STATEMENT EXECUTE FUNCTION kestrune_count_change()")
                      .arg(table));
    }
}

QStringList ChangeCountedTables()
{
    QStringList names;
    for (const TableDef *t : Schema::AllTables())
        names << t->name;
    return names + ProjectTableNames();
}

static void insertRow(Connection &conn, const TableDef &t, const QStringList &values)
{
    QStringList marks;
    for (int i = 0; i < t.fields.size(); ++i)
        marks << QStringLiteral("?");
    Statement st = conn.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(t.name, marks.join(',')));
    for (int i = 0; i < values.size(); ++i)
        st.bind(i + 1, values[i]);
    st.step();
}

void CreateLibrary(Connection &conn)
{
    CreateTables(conn);
    insertRow(conn, Schema::LoginPwd(),
              {"000001", QString::fromLatin1(kInitialAdminName), QString::fromLatin1(kInitialAdminPassword), "0"});
    // Row n of the title levels has an Id whose value is n: experts store
    // the Id and screens read it back as a row number.
    const QStringList titles{kAllItem, "员级", "助理级", "中级", "副高级", "正高级"};
    for (int i = 0; i < titles.size(); ++i)
        insertRow(conn, Schema::ResourceZhicheng(), {ReferenceCode(i), titles[i]});
    const QStringList degrees{kAllItem, "中专", "大专", "本科", "硕士研究生", "博士研究生"};
    for (int i = 0; i < degrees.size(); ++i)
        insertRow(conn, Schema::ResourceDegree(), {ReferenceCode(i), degrees[i]});
}

void CreateDataFile(const QString &path)
{
    const bool existed = QFileInfo::exists(path);
    try {
        Connection conn = Connection::create(path);
        {
            Transaction tx(conn);
            CreateLibrary(conn);
            tx.commit();
        }
        conn.close();
    } catch (const DbError &) {
        // The file is new: a half-made one would refuse every later start.
        if (!existed) {
            QFile::remove(path + QStringLiteral("-journal"));
            QFile::remove(path);
        }
        throw;
    }
}

void EnsureDataFile(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        CreateDataFile(path);
        return;
    }
    Connection conn = Connection::open(path);
    const Outcome schema = CheckSchema(conn);
    if (!schema)
        throw DbError(schema.message);
    // Files made before draws were kept as projects gain the project tables.
    if (!HasProjectTables(conn)) {
        Transaction tx(conn);
        EnsureProjectTables(conn);
        tx.commit();
    }
}

bool HasLibraryTables(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables())
        if (!conn.tableFields(t->name).isEmpty())
            return true;
    return false;
}

void EnsureServerLibrary(const DataSource &source)
{
    Connection conn = Connection::connect(source);
    if (!HasLibraryTables(conn)) {
        // Two programs started at once on an empty database: the write lock
        // lets one create the library, the other then finds it.
        Transaction tx(conn);
        if (!HasLibraryTables(conn)) {
            CreateLibrary(conn);
            tx.commit();
            return;
        }
    }
    const Outcome schema = CheckSchema(conn);
    if (!schema)
        throw DbError(schema.message);
    // A library made before draws were kept as projects gains their tables.
    if (!HasProjectTables(conn)) {
        Transaction tx(conn);
        if (!HasProjectTables(conn)) {
            EnsureProjectTables(conn);
            CreateChangeCounters(conn);
        }
        tx.commit();
    }
}

Outcome CheckSchema(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables()) {
        const QStringList found = conn.tableFields(t->name);
        if (found.isEmpty())
            return Outcome::failure(QStringLiteral("找不到数据表 %1。\n%2").arg(t->name, conn.path()));
        if (found.join(',').compare(t->fields.join(','), conn.isServer() ? Qt::CaseInsensitive : Qt::CaseSensitive))
            return Outcome::failure(QStringLiteral("数据表 %1 的字段与本程序不符。\n%2").arg(t->name, conn.path()));
    }
    return Outcome::success();
}
