#include "data/Schema.h"

#include "data/AuditLog.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/PasswordHash.h"
#include "data/Vocabulary.h"

#include <QFile>
#include <QSet>
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

namespace {

// The project tables, in the order they are created. Their names and
// fields are fixed here and read by the project list, the detail screen and
// the verifier.
const char *const kProjectTables[][2] = {
    {"draw_project",
     "CREATE TABLE draw_project (Id TEXT PRIMARY KEY NOT NULL, Name TEXT NOT NULL, Code TEXT, Client TEXT, "
     "Review_time TEXT, Review_place TEXT, Supervisor TEXT, Remark TEXT, Operator TEXT, Created_date TEXT, "
     "Created_time TEXT)"},
    {"draw_round", "CREATE TABLE draw_round (Project_Id TEXT NOT NULL, Round_no INTEGER NOT NULL, Round_type TEXT, "
                   "Criteria TEXT, Criteria_text TEXT, Avoidance TEXT, Candidate_count INTEGER, Candidates BLOB, "
                   "Candidate_hash TEXT, Seed TEXT, Requested INTEGER, Picks TEXT, Rolled_id TEXT, Confirmed TEXT, "
                   "Drawn_date TEXT, Drawn_time TEXT, PRIMARY KEY (Project_Id, Round_no))"},
    {"draw_expert", "CREATE TABLE draw_expert (Project_Id TEXT NOT NULL, Seq INTEGER NOT NULL, Round_no INTEGER, "
                    "Expert_Id TEXT, Name TEXT, Sex TEXT, birth_date TEXT, Company_name TEXT, cong_shi_zhuanye TEXT, "
                    "zige_name TEXT, Title TEXT, Mobile TEXT, Sel_Id TEXT, Sel_data TEXT, Link_removed TEXT, "
                    "Snapshot_hash TEXT, PRIMARY KEY (Project_Id, Seq))"},
    {"draw_attendance",
     "CREATE TABLE draw_attendance (Project_Id TEXT NOT NULL, Seq INTEGER NOT NULL, Changed_at TEXT, "
     "Status TEXT, Reason TEXT, Operator TEXT, Reason_kind TEXT)"},
    {"draw_substitute",
     "CREATE TABLE draw_substitute (Project_Id TEXT NOT NULL, Seq INTEGER NOT NULL, Replaces_seq INTEGER, "
     "PRIMARY KEY (Project_Id, Seq))"},
    // Added later; libraries made before gain it when next opened for
    // writing, and readers do without it until then.
    {"draw_supervised",
     "CREATE TABLE draw_supervised (Project_Id TEXT NOT NULL, Round_no INTEGER NOT NULL, Commitment TEXT, "
     "Committed_at TEXT, Revealed TEXT, Supervisor_number TEXT, Public_number TEXT, Draw_order BLOB, "
     "Reserve_use TEXT, PRIMARY KEY (Project_Id, Round_no))"},
    // Every draw as it happens, stored under a project or not.
    {"draw_trail",
     "CREATE TABLE draw_trail (Session TEXT NOT NULL, Event_no INTEGER NOT NULL, Kind TEXT, At TEXT, Operator TEXT, "
     "Project_Id TEXT, Detail TEXT, PRIMARY KEY (Session, Event_no))"},
    // Work units experts left, for the work-unit avoidance rule. They go
    // with the experts when the library is emptied.
    {"expert_former_unit",
     "CREATE TABLE expert_former_unit (Expert_Id TEXT NOT NULL, Seq INTEGER NOT NULL, Unit TEXT, From_date TEXT, "
     "To_date TEXT, PRIMARY KEY (Expert_Id, Seq))"},
    // Who stored each project (by user Id) and when an administrator made
    // its panel public before the review.
    {"draw_disclosure",
     "CREATE TABLE draw_disclosure (Project_Id TEXT PRIMARY KEY NOT NULL, Operator_Id TEXT, Published_at TEXT, "
     "Published_by TEXT)"},
    // Each attending expert's conduct at a review: a rating and a 不良记录.
    {"expert_conduct",
     "CREATE TABLE expert_conduct (Project_Id TEXT NOT NULL, Seq INTEGER NOT NULL, Expert_Id TEXT, Rating INTEGER, "
     "Remark TEXT, Record_kind TEXT, Record_text TEXT, Recorded_at TEXT, Operator TEXT, "
     "PRIMARY KEY (Project_Id, Seq))"},
    // Suspensions of experts. The 不良记录 behind one is named by
    // Record_project/Record_seq rather than Project_Id: a suspension belongs
    // to the expert, and setting or lifting it leaves the project's content
    // as it was.
    {"expert_suspension",
     "CREATE TABLE expert_suspension (Id INTEGER PRIMARY KEY NOT NULL, Expert_Id TEXT NOT NULL, "
     "Record_project TEXT, Record_seq INTEGER, Until_date TEXT, Reason TEXT, Suspended_at TEXT, Suspended_by TEXT, "
     "Lifted_at TEXT, Lifted_by TEXT)"},
};

// Columns added to tables after they were first made: libraries made before
// gain them when next opened for writing. A row written before has them
// null, which the project content hash leaves out.
const char *const kAddedColumns[][3] = {
    {"draw_attendance", "Reason_kind", "TEXT"},
};
// The project tables every library with projects has; those after them in
// kProjectTables came later.
constexpr int kFirstProjectTables = 5;

// Tables that belong to the library rather than to its content: 初始化数据库
// empties the project tables but keeps these.
const char *const kKeptTables[][2] = {
    {"library_setting", "CREATE TABLE library_setting (Name TEXT PRIMARY KEY NOT NULL, Value TEXT)"},
    // Failed logins in a row per user name typed, and the end of its lock
    // (UTC, "yyyy-MM-ddTHH:mm:ssZ"; empty while not locked).
    {"login_lock", "CREATE TABLE login_lock (User_name TEXT PRIMARY KEY NOT NULL, Failed_count INTEGER, "
                   "Locked_until TEXT)"},
    {kAuditTable, AuditTableDefinition()},
    // Names that mean one work unit, one group per Grp.
    {"unit_alias", "CREATE TABLE unit_alias (Grp INTEGER NOT NULL, Seq INTEGER NOT NULL, Name TEXT, "
                   "PRIMARY KEY (Grp, Seq))"},
};

const char *const kProjectIndexes[] = {
    "CREATE INDEX IF NOT EXISTS draw_expert_by_expert ON draw_expert (Expert_Id)",
    "CREATE INDEX IF NOT EXISTS draw_attendance_by_expert ON draw_attendance (Project_Id, Seq)",
};

QSet<QString> existingTables(Connection &conn)
{
    const QStringList names = conn.tableNames();
    return QSet<QString>(names.begin(), names.end());
}

}   // namespace

QStringList ProjectTableNames()
{
    QStringList names;
    for (const auto &t : kProjectTables)
        names << QString::fromLatin1(t[0]);
    return names;
}

QStringList KeptTableNames()
{
    QStringList names;
    for (const auto &t : kKeptTables)
        names << QString::fromLatin1(t[0]);
    return names;
}

bool HasProjectTables(Connection &conn)
{
    const QSet<QString> names = existingTables(conn);
    for (const QString &name : ProjectTableNames().mid(0, kFirstProjectTables))
        if (!names.contains(name))
            return false;
    return true;
}

bool HasColumn(Connection &conn, const QString &table, const QString &column)
{
    for (const QString &f : conn.tableFields(table))
        if (f.compare(column, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

namespace {

bool HasAddedColumns(Connection &conn)
{
    for (const auto &c : kAddedColumns)
        if (!HasColumn(conn, QString::fromLatin1(c[0]), QString::fromLatin1(c[1])))
            return false;
    return true;
}

}   // namespace

bool HasAllProjectTables(Connection &conn)
{
    const QSet<QString> names = existingTables(conn);
    for (const QString &name : ProjectTableNames() + KeptTableNames())
        if (!names.contains(name))
            return false;
    return HasAddedColumns(conn);
}

bool HasTable(Connection &conn, const QString &name) { return existingTables(conn).contains(name); }

void EnsureProjectTables(Connection &conn)
{
    const QSet<QString> names = existingTables(conn);
    bool created = false;
    for (const auto &t : kProjectTables) {
        if (!names.contains(QString::fromLatin1(t[0]))) {
            conn.exec(conn.engine().tableDefinition(QString::fromLatin1(t[1])));
            created = true;
        }
    }
    for (const auto &t : kKeptTables)
        if (!names.contains(QString::fromLatin1(t[0])))
            conn.exec(conn.engine().tableDefinition(QString::fromLatin1(t[1])));
    // Tables made just now have every column already.
    for (const auto &c : kAddedColumns) {
        const QString table = QString::fromLatin1(c[0]);
        if (names.contains(table) && !HasColumn(conn, table, QString::fromLatin1(c[1])))
            conn.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                          .arg(table, QString::fromLatin1(c[1]), QString::fromLatin1(c[2])));
    }
    if (!names.contains(QString::fromLatin1(kAuditTable)))
        StartAuditLog(conn);
    // An up-to-date file is only read: opening it read-only still works.
    if (created)
        for (const char *index : kProjectIndexes)
            conn.exec(QString::fromLatin1(index));
}

void ClearProjectTables(Connection &conn)
{
    const QSet<QString> names = existingTables(conn);
    for (const auto &t : kProjectTables)
        if (names.contains(QString::fromLatin1(t[0])))
            conn.exec(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(t[0])));
}

void CreateSchema(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables()) {
        QStringList cols;
        for (const QString &f : t->fields)
            cols << (f == QLatin1String("Id")
                         ? QStringLiteral("Id %1 PRIMARY KEY NOT NULL").arg(conn.engine().textType())
                         : QStringLiteral("%1 %2").arg(f, conn.engine().textType()));
        conn.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(t->name, cols.join(", ")));
    }
}

void CreateTables(Connection &conn)
{
    CreateSchema(conn);
    EnsureProjectTables(conn);
    conn.engine().addChangeCounters(ChangeCountedTables());
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
              {"000001", QString::fromLatin1(kInitialAdminName),
               PasswordHash::Make(QString::fromLatin1(kInitialAdminPassword)), "0"});
    // Row n of the title levels has an Id whose value is n: experts store
    // the Id and screens read it back as a row number.
    const QStringList titles{kAllItem, "员级", "助理级", "中级", "副高级", "正高级"};
    for (int i = 0; i < titles.size(); ++i)
        insertRow(conn, Schema::ResourceZhicheng(), {ReferenceCode(i), titles[i]});
    const QStringList degrees{kAllItem, "中专", "大专", "本科", "硕士研究生", "博士研究生"};
    for (int i = 0; i < degrees.size(); ++i)
        insertRow(conn, Schema::ResourceDegree(), {ReferenceCode(i), degrees[i]});
}

void CreateDataFile(const QString &path, const QString &key)
{
    const bool existed = QFileInfo::exists(path);
    try {
        Connection conn = Connection::create(path, key);
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

void EnsureDataFile(const QString &path, const QString &key)
{
    if (!QFileInfo::exists(path)) {
        CreateDataFile(path, key);
        return;
    }
    Connection conn = Connection::open(path, key);
    const Outcome schema = CheckSchema(conn);
    if (!schema)
        throw DbError(schema.message());
    // Files made before draws were kept as projects gain the project tables.
    if (!HasAllProjectTables(conn)) {
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

Outcome CheckSchema(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables()) {
        const QStringList found = conn.tableFields(t->name);
        if (found.isEmpty())
            return Outcome::fail(QStringLiteral("找不到数据表 %1。\n%2").arg(t->name, conn.path()));
        if (found.join(',').compare(t->fields.join(','), Qt::CaseInsensitive))
            return Outcome::fail(QStringLiteral("数据表 %1 的字段与本程序不符。\n%2").arg(t->name, conn.path()));
    }
    return Outcome::success();
}
