#include "migrate/LibraryImport.h"

#include "data/AuditLog.h"

#include "migrate/AccessFile.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/PasswordHash.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Tables.h"
#include "data/TextWidth.h"
#include "data/ExpertRecord.h"
#include "files/DataFolder.h"
#include "data/Users.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

namespace Migrate {

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

const QString kListSeparator = QStringLiteral("、");

// What each table holds, as the user knows it.
QString tableCaption(const QString &table)
{
    if (table == Schema::LoginPwd().name)
        return QStringLiteral("用户");
    if (table == Schema::ResourceZhicheng().name)
        return QStringLiteral("职称级别");
    if (table == Schema::ResourceDegree().name)
        return QStringLiteral("学历");
    if (table == Schema::ExpertMsg().name)
        return QStringLiteral("专家");
    if (table == Schema::SelExpert().name)
        return QStringLiteral("抽取记录");
    return QString();
}

// Access does not tell names apart by case; an exact match wins.
qsizetype findName(const QStringList &names, const QString &name)
{
    const qsizetype exact = names.indexOf(name);
    if (exact >= 0)
        return exact;
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool holdsText(ColumnType type)
{
    return type != ColumnType::Binary && type != ColumnType::Ole && type != ColumnType::Other;
}

// "3.5000" -> "3.5", "2.0000" -> "2": a currency value as it reads as text.
QString currencyText(QString s)
{
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

// A value of the file as the text this program stores; null stays null.
QVariant storedText(const QVariant &value, ColumnType type)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (type) {
    case ColumnType::DateTime: {
        const QDate date = value.typeId() == QMetaType::QDate ? value.toDate() : value.toDateTime().date();
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    }
    case ColumnType::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ColumnType::Single:
        return QString::number(value.toDouble(), 'g', 7);
    case ColumnType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case ColumnType::Currency:
        return currencyText(value.toString());
    default:
        return value.toString();
    }
}

QString joinNames(const QStringList &names) { return names.join(kListSeparator); }

// Reads one of the five tables: the findings and problems into the plan,
// the records returned.
QList<QVariantList> readTable(const TableSource &source, const TableDef &def, const QString &sourceName,
                              ImportPlan &plan, TableFinding &finding)
{
    const QList<SourceColumn> columns = source.columns(sourceName);
    QStringList columnNames;
    for (const SourceColumn &c : columns)
        columnNames << c.name;

    // Field position -> source column, or -1.
    QList<qsizetype> sourceOf;
    QList<bool> used(columns.size(), false);
    for (const QString &field : def.fields) {
        const qsizetype c = findName(columnNames, field);
        sourceOf << c;
        if (c < 0)
            finding.missingColumns << field;
        else
            used[c] = true;
    }
    for (qsizetype c = 0; c < columns.size(); ++c)
        if (!used[c])
            finding.extraColumns << columns[c].name;

    bool readable = true;
    if (sourceOf[0] < 0) {
        plan.problems << QStringLiteral("数据表 %1 没有字段 Id（记录号）。").arg(def.name);
        readable = false;
    }
    for (int f = 0; f < def.fields.size(); ++f) {
        const qsizetype c = sourceOf[f];
        if (c >= 0 && !holdsText(columns[c].type)) {
            plan.problems << QStringLiteral("数据表 %1 的字段 %2 是“%3”类型，不能转成文字。")
                                 .arg(def.name, columns[c].name, ColumnTypeName(columns[c].type));
            readable = false;
        }
    }
    if (!readable) {
        finding.rows = source.rowCount(sourceName);
        return {};
    }

    const QList<SourceRow> rows = source.rows(sourceName);
    finding.rows = rows.size();
    const bool experts = def.name == Schema::ExpertMsg().name;
    QList<QVariantList> records;
    records.reserve(rows.size());
    QHash<QString, int> idCount;
    QStringList idOrder;
    int withoutId = 0;
    for (const SourceRow &row : rows) {
        QVariantList record;
        record.reserve(def.fields.size());
        for (int f = 0; f < def.fields.size(); ++f) {
            const qsizetype c = sourceOf[f];
            record << (c >= 0 ? storedText(row.value(c), columns[c].type) : QVariant());
        }
        const QString id = record[0].toString();
        if (id.isEmpty()) {
            ++withoutId;
        } else if (idCount[id]++ == 0) {
            idOrder << id;
        }
        // The editor's widths: what it would cut on saving is cut here too.
        if (experts) {
            for (int f = 1; f < def.fields.size(); ++f) {
                const int width = ExpertFieldWidth(f);
                if (width <= 0 || !record[f].isValid())
                    continue;
                const QString text = record[f].toString();
                const QString cut = CutToWidth(text, width);
                if (cut.size() < text.size())
                    plan.cuts.append({def.name, id, def.fields[f]});
                record[f] = cut;
            }
        }
        records.append(std::move(record));
    }
    if (withoutId > 0)
        plan.problems << QStringLiteral("数据表 %1 中有 %2 条记录没有记录号（Id）。").arg(def.name).arg(withoutId);
    for (const QString &id : idOrder)
        if (idCount.value(id) > 1)
            plan.problems << QStringLiteral("数据表 %1 中有 %2 条记录的记录号（Id）都是 %3。")
                                 .arg(def.name)
                                 .arg(idCount.value(id))
                                 .arg(id);
    return records;
}

// Empties every table of the file and stores the plan's records, through
// the caller's transaction.
void replaceContent(Connection &conn, const ImportPlan &plan, const QString &operatorName)
{
    const QList<const TableDef *> &defs = Schema::AllTables();
    if (!plan.canImport() || plan.records.size() != defs.size())
        throw DbError(RefusalText(plan));
    const QStringList tables = conn.tableNames();
    // Tables added to the file later (the records of each draw) are emptied
    // too: they refer to experts of the library being replaced.
    // The operation log stays and records the import.
    for (QString name : tables)
        if (name != QLatin1String(kAuditTable))
            conn.exec(QStringLiteral("DELETE FROM \"%1\"").arg(name.replace(QLatin1Char('"'), QStringLiteral("\"\""))));
    // The users' passwords come as typed; they are stored hashed. An empty
    // one stays empty: nobody can log in with it, hashed or not.
    const int passwordAt = Schema::LoginPwd().fieldIndex(QStringLiteral("Password"));
    for (int t = 0; t < defs.size(); ++t) {
        const bool users = defs[t] == &Schema::LoginPwd();
        Recordset rs(conn, *defs[t]);
        for (const QVariantList &record : plan.records[t]) {
            rs.addNew();
            for (int f = 0; f < record.size(); ++f) {
                if (!record[f].isValid())
                    continue;
                const QString value = record[f].toString();
                rs.setField(f, users && f == passwordAt && !value.isEmpty() && !PasswordHash::IsHash(value)
                                   ? PasswordHash::Make(value)
                                   : value);
            }
            rs.update();
        }
        rs.close();
    }
    AppendAuditCoveringAll(conn, operatorName, AuditKind::AccessImport, plan.sourceFile);
}

}   // namespace

qsizetype ImportPlan::rowsOf(const QString &table) const
{
    for (const TableFinding &t : tables)
        if (t.table == table)
            return t.rows;
    return 0;
}

Result<ImportPlan> PlanAccessImport(const QString &path, const QStringList &libraryKeys)
{
    try {
        return PlanImport(*AccessFile::open(path, libraryKeys));
    } catch (const SourceError &e) {
        return Result<ImportPlan>::fail(e.message(), e.detail());
    }
}

ImportPlan PlanImport(const TableSource &source)
{
    ImportPlan plan;
    plan.sourceFile = source.fileName();
    const QStringList names = source.tableNames();
    QList<bool> used(names.size(), false);
    QStringList missing;
    for (const TableDef *def : Schema::AllTables()) {
        TableFinding finding;
        finding.table = def->name;
        const qsizetype t = findName(names, def->name);
        QList<QVariantList> records;
        if (t < 0) {
            missing << def->name;
        } else {
            used[t] = true;
            finding.sourceName = names[t];
            records = readTable(source, *def, names[t], plan, finding);
        }
        plan.tables << finding;
        plan.records << records;
    }
    for (qsizetype t = 0; t < names.size(); ++t)
        if (!used[t])
            plan.extraTables << names[t];

    if (missing.size() == Schema::AllTables().size())
        plan.problems.prepend(
            QStringLiteral("其中没有专家库的数据表（%1），这不是专家库的数据库。").arg(joinNames(missing)));
    else if (!missing.isEmpty())
        plan.problems.prepend(QStringLiteral("其中缺少专家库的数据表：%1。").arg(joinNames(missing)));

    // Without an administrator nobody could log in with full rights. (A
    // missing or unreadable user table is refused already.)
    const int usersAt = int(Schema::AllTables().indexOf(&Schema::LoginPwd()));
    const TableFinding &users = plan.tables[usersAt];
    const QList<QVariantList> &userRecords = plan.records[usersAt];
    if (!users.sourceName.isEmpty() && users.rows == 0) {
        plan.problems << QStringLiteral("数据表 login_pwd 中没有用户，导入后将无人能登录。");
    } else if (!userRecords.isEmpty()) {
        const int limits = Schema::LoginPwd().fieldIndex(QStringLiteral("Limits"));
        bool administrator = false;
        for (const QVariantList &user : userRecords)
            administrator = administrator || RoleFromLimits(user[limits].toString()) == 0;
        if (!administrator)
            plan.problems << QStringLiteral("数据表 login_pwd 中没有系统管理员（Limits 为 0 的用户），"
                                            "导入后将无人能以管理员身份登录。");
    }
    return plan;
}

QString FindingsText(const ImportPlan &plan)
{
    QStringList lines;
    lines << QStringLiteral("Access 数据库：%1").arg(native(plan.sourceFile));
    QStringList missing;
    for (const TableFinding &t : plan.tables) {
        if (t.sourceName.isEmpty()) {
            missing << t.table;
            continue;
        }
        QString line = QStringLiteral("%1（%2）：%3 条记录").arg(t.table, tableCaption(t.table)).arg(t.rows);
        if (!t.missingColumns.isEmpty())
            line += QStringLiteral("；缺少字段 %1（导入为空）").arg(joinNames(t.missingColumns));
        if (!t.extraColumns.isEmpty())
            line += QStringLiteral("；多出字段 %1（不导入）").arg(joinNames(t.extraColumns));
        lines << line;
    }
    if (!missing.isEmpty())
        lines << QStringLiteral("缺少数据表：%1").arg(joinNames(missing));
    if (!plan.extraTables.isEmpty())
        lines << QStringLiteral("多出的数据表（不导入）：%1").arg(joinNames(plan.extraTables));
    if (plan.cuts.isEmpty()) {
        lines << QStringLiteral("没有超出字段宽度的内容。");
    } else {
        lines << QStringLiteral("有 %1 处内容超出字段宽度，导入时将被截断：").arg(plan.cuts.size());
        for (const CutValue &c : plan.cuts)
            lines << QStringLiteral("  %1 记录 %2 字段 %3").arg(c.table, c.recordId, c.field);
    }
    return lines.join(QLatin1Char('\n'));
}

QString RefusalText(const ImportPlan &plan)
{
    if (plan.canImport())
        return QString();
    return QStringLiteral("不能导入“%1”：\n%2").arg(native(plan.sourceFile), plan.problems.join(QLatin1Char('\n')));
}

QString ConfirmationText(const ImportPlan &plan)
{
    return FindingsText(plan) +
           QStringLiteral("\n\n导入将用以上数据替换现有专家库的全部内容（用户、职称级别、学历、专家和抽取记录），"
                          "数据库中的其他数据表（如抽取过程的记录）将被清空。导入前会先备份现有的数据库。\n\n"
                          "确定导入吗？");
}

Outcome ImportLibrary(DataStore &store, const QDate &today, const ImportPlan &plan)
{
    if (!plan.canImport())
        return Outcome::fail(RefusalText(plan));
    const QString failed = QStringLiteral("导入Access数据库失败，数据库没有改变：\n");
    Outcome safetyCopy;
    try {
        Connection &conn = LibraryConnection(store);
        // Taken first, the write lock keeps other programs from changing the
        // file between the safety copy and the replacement.
        Transaction tx(conn);
        const Outcome schema = CheckSchema(conn);
        if (!schema)
            return Outcome::fail(failed + schema.message());
        safetyCopy = WriteSafetyCopy(store, today, QStringLiteral("导入Access前"));
        if (!safetyCopy)
            return Outcome::fail(QStringLiteral("导入Access数据库失败：无法备份当前数据库，数据库没有改变。\n") +
                                 safetyCopy.message());
        replaceContent(conn, plan, store.operatorName);
        tx.commit();
    } catch (const DbError &e) {
        return Outcome::fail(failed + e.sentence(), e.detail());
    }

    LoadAllTables(store);
    return Outcome::success(QStringLiteral("导入Access数据库成功：%1 位专家，%2 条抽取记录，%3 个用户。\n"
                                           "导入前的数据库已备份为：\n%4")
                                .arg(store.ExpertTable.count())
                                .arg(store.SelectionTable.count())
                                .arg(store.UserTable.count())
                                .arg(native(safetyCopy.message())));
}

Outcome WriteNewDataFile(const ImportPlan &plan, const QString &target, const QString &key)
{
    if (!plan.canImport())
        return Outcome::fail(RefusalText(plan));
    const QFileInfo info(target);
    if (info.exists())
        return Outcome::fail(QStringLiteral("文件“%1”已存在，不会覆盖它。请另选一个文件名。").arg(native(target)));
    if (!info.absoluteDir().exists())
        return Outcome::fail(QStringLiteral("文件夹“%1”不存在。").arg(native(info.absolutePath())));

    // Made in a folder of its own beside the target (with its journal), and
    // moved into place only when complete; the folder goes with everything
    // in it otherwise.
    QTemporaryDir work(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    if (!work.isValid())
        return Outcome::fail(
            QStringLiteral("无法写入文件夹“%1”：%2").arg(native(info.absolutePath()), work.errorString()));
    const QString part = work.filePath(QStringLiteral("ProSys.mdb"));
    try {
        CreateDataFile(part, key);
        Connection conn = Connection::open(part, key);
        {
            Transaction tx(conn);
            replaceContent(conn, plan, QString());
            tx.commit();
        }
        conn.close();
    } catch (const DbError &e) {
        return Outcome::fail(QStringLiteral("无法写入新的数据库文件“%1”：\n%2").arg(native(target), e.sentence()),
                             e.detail());
    }
    // Renaming never replaces a file: one made meanwhile stays as it is.
    if (!QFile::rename(part, target)) {
        if (QFileInfo::exists(target))
            return Outcome::fail(QStringLiteral("文件“%1”已存在，不会覆盖它。请另选一个文件名。").arg(native(target)));
        return Outcome::fail(QStringLiteral("无法写入文件“%1”。").arg(native(target)));
    }
    return Outcome::success();
}

}   // namespace Migrate
