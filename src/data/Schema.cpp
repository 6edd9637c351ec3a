#include "data/Schema.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/DrawStore.h"
#include "data/Vocabulary.h"

#include <QFile>
#include <QFileInfo>

QString TableDef::selectStatement() const
{
    return QStringLiteral("select * from %1 order by %1.Id").arg(name);
}

int TableDef::fieldIndex(const QString &field) const
{
    return int(fields.indexOf(field));
}

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
                            {"Id", "Name", "Status", "Is_temp", "star_number", "Sex", "birth_date",
                             "area_id", "province", "degree_type_id", "school_name", "graduate_date",
                             "Profession", "Company_name", "Position", "zhicheng_id", "cong_shi_zhuanye",
                             "type", "resource_industry", "zige_name", "zige_gettime", "pinren_time",
                             "Mobile", "email", "Address", "Zip_code", "Resume", "Main_project",
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
    static const QList<const TableDef *> all{&LoginPwd(), &ResourceZhicheng(), &ResourceDegree(),
                                             &ExpertMsg(), &SelExpert()};
    return all;
}

} // namespace Schema

void CreateSchema(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables()) {
        QStringList cols;
        for (const QString &f : t->fields)
            cols << (f == QLatin1String("Id") ? QStringLiteral("Id TEXT PRIMARY KEY NOT NULL")
                                              : QStringLiteral("%1 TEXT").arg(f));
        conn.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(t->name, cols.join(", ")));
    }
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

void CreateDataFile(const QString &path)
{
    const bool existed = QFileInfo::exists(path);
    try {
        Connection conn = Connection::create(path);
        {
            Transaction tx(conn);
            CreateSchema(conn);
            EnsureProjectTables(conn);
            insertRow(conn, Schema::LoginPwd(),
                      {"000001", QString::fromLatin1(kInitialAdminName),
                       QString::fromLatin1(kInitialAdminPassword), "0"});
            // Row n of the title levels has an Id whose value is n: experts store
            // the Id and screens read it back as a row number.
            const QStringList titles{kAllItem, "员级", "助理级", "中级", "副高级", "正高级"};
            for (int i = 0; i < titles.size(); ++i)
                insertRow(conn, Schema::ResourceZhicheng(), {ReferenceCode(i), titles[i]});
            const QStringList degrees{kAllItem, "中专", "大专", "本科", "硕士研究生", "博士研究生"};
            for (int i = 0; i < degrees.size(); ++i)
                insertRow(conn, Schema::ResourceDegree(), {ReferenceCode(i), degrees[i]});
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

Outcome CheckSchema(Connection &conn)
{
    for (const TableDef *t : Schema::AllTables()) {
        // The table name is one of our own fixed names, not user input.
        Statement st = conn.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(t->name));
        QStringList found;
        while (st.step())
            found << st.text(1);
        if (found.isEmpty())
            return Outcome::failure(QStringLiteral("找不到数据表 %1。\n%2").arg(t->name, conn.path()));
        if (found != t->fields)
            return Outcome::failure(QStringLiteral("数据表 %1 的字段与本程序不符。\n%2").arg(t->name, conn.path()));
    }
    return Outcome::success();
}
