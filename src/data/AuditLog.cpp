#include "data/AuditLog.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Schema.h"
#include "data/Tables.h"

#include <QCryptographicHash>
#include <QHash>
#include <QJsonDocument>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>

namespace AuditKind {

QStringList All()
{
    return {DrawRound,      DrawDiscarded, DrawUntick,   ProjectStore, Attendance,   Substitute,   ProjectDelete,
            ProjectPublish, ExpertAdd,     ExpertChange, ExpertDelete, ExpertImport, AccessImport, Initialise,
            Restore,        Backup,        LogStart,     Login,        LoginFailed,  UserAdmin,    PasswordChange,
            Setting,        Print,         Export,       LogSeal,      PanelWarning, Conduct,      Suspension};
}

QString Caption(const QString &kind)
{
    static const QHash<QString, QString> captions{
        {DrawRound, QStringLiteral("抽取")},
        {DrawDiscarded, QStringLiteral("放弃抽取")},
        {DrawUntick, QStringLiteral("取消选中")},
        {ProjectStore, QStringLiteral("保存项目")},
        {Attendance, QStringLiteral("出席情况")},
        {Substitute, QStringLiteral("补抽")},
        {ProjectDelete, QStringLiteral("删除项目")},
        {ProjectPublish, QStringLiteral("公开抽取结果")},
        {ExpertAdd, QStringLiteral("新增专家")},
        {ExpertChange, QStringLiteral("修改专家")},
        {ExpertDelete, QStringLiteral("删除专家")},
        {ExpertImport, QStringLiteral("导入专家")},
        {AccessImport, QStringLiteral("导入Access库")},
        {Initialise, QStringLiteral("初始化数据库")},
        {Restore, QStringLiteral("恢复数据库")},
        {Backup, QStringLiteral("备份数据库")},
        {LogStart, QStringLiteral("日志开始")},
        {Login, QStringLiteral("登录")},
        {LoginFailed, QStringLiteral("登录失败")},
        {UserAdmin, QStringLiteral("用户管理")},
        {PasswordChange, QStringLiteral("修改密码")},
        {Setting, QStringLiteral("设置")},
        {Print, QStringLiteral("打印")},
        {Export, QStringLiteral("导出")},
        {LogSeal, QStringLiteral("日志封存")},
        {PanelWarning, QStringLiteral("评审人数警告")},
        {Conduct, QStringLiteral("专家评价")},
        {Suspension, QStringLiteral("暂停专家")},
    };
    return captions.value(kind, kind);
}

}   // namespace AuditKind

namespace {

const QString kTable = QString::fromLatin1(kAuditTable);
const QString kColumns = QStringLiteral("Seq, At, Operator, Kind, Subject, Detail, Prev_hash, Hash");
// Printed heads carry this many hex digits of the hash.
constexpr int kShortHash = 16;

// Appends one length-prefixed field: no two different sequences of fields
// encode to the same bytes.
void addField(QByteArray &out, QByteArrayView bytes)
{
    const quint32 n = quint32(bytes.size());
    const char len[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    out.append(len, 4);
    out.append(bytes);
}

bool hasTable(Connection &conn, const QString &name) { return conn.tableNames().contains(name); }

AuditEntry readEntry(Statement &st)
{
    AuditEntry e;
    e.seq = st.text(0).toLongLong();
    e.at = st.text(1);
    e.operatorName = st.text(2);
    e.kind = st.text(3);
    e.subject = st.text(4);
    e.detail = st.text(5);
    e.prevHash = st.text(6);
    e.hash = st.text(7);
    return e;
}

// One table's rows of projects, each row already encoded, by project.
using RowsByProject = QHash<QString, QList<QByteArray>>;

struct ProjectTable {
    QString name;
    QStringList fields;   // without the server's rowid
    int keyColumn = -1;
};

// The project tables as this library has them, each with the column that
// names the project.
QList<ProjectTable> projectTables(Connection &conn)
{
    QList<ProjectTable> tables;
    const QStringList present = conn.tableNames();
    for (const QString &name : ProjectTableNames()) {
        // The draw trail keeps growing after a store (later draws of the
        // session, discards at exit): it is a record of its own, numbered
        // per session, not part of the project's stored content.
        // Who may see the panel is not its content either: making it public
        // has its own entry, and libraries that gained the table later keep
        // the hashes their entries hold.
        if (!present.contains(name) || name == QLatin1String("draw_trail") || name == QLatin1String("draw_disclosure"))
            continue;
        ProjectTable t{name, conn.tableFields(name), -1};
        t.fields.removeIf([](const QString &f) { return f.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0; });
        const QString key = name == QLatin1String("draw_project") ? QStringLiteral("Id") : QStringLiteral("Project_Id");
        for (int i = 0; i < t.fields.size(); ++i)
            if (t.fields[i].compare(key, Qt::CaseInsensitive) == 0)
                t.keyColumn = i;
        if (t.keyColumn >= 0)
            tables << t;
    }
    return tables;
}

// A row as (column, value) pairs in column-name order, nulls left out, so
// that a column added later and left empty changes nothing, and the two
// engines (which spell names in different cases) encode alike.
QByteArray encodeRow(Statement &st, const ProjectTable &t)
{
    QMap<QString, QByteArray> values;
    for (int c = 0; c < t.fields.size(); ++c) {
        if (st.isNull(c))
            continue;
        values.insert(t.fields[c].toLower(), st.isBinary(c) ? st.blob(c) : st.utf8(c).toByteArray());
    }
    QByteArray row;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        addField(row, it.key().toUtf8());
        addField(row, it.value());
    }
    return row;
}

QString contentHash(const QList<ProjectTable> &tables, const QList<const QList<QByteArray> *> &rowsPerTable)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray head;
    addField(head, "kestrune-project-1");
    hash.addData(head);
    for (int i = 0; i < tables.size(); ++i) {
        QList<QByteArray> rows = rowsPerTable[i] ? *rowsPerTable[i] : QList<QByteArray>();
        std::sort(rows.begin(), rows.end());
        QByteArray part;
        addField(part, tables[i].name.toUtf8());
        addField(part, QByteArray::number(rows.size()));
        for (const QByteArray &row : rows)
            addField(part, row);
        hash.addData(part);
    }
    return QString::fromLatin1(hash.result().toHex());
}

Statement selectRows(Connection &conn, const ProjectTable &t, bool oneProject)
{
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(t.fields.join(QLatin1Char(',')), t.name);
    if (oneProject)
        sql += QStringLiteral(" WHERE %1 = ?").arg(t.fields[t.keyColumn]);
    return conn.prepare(sql);
}

// Every project's content hash, reading each table once.
QHash<QString, QString> allContentHashes(Connection &conn)
{
    const QList<ProjectTable> tables = projectTables(conn);
    QList<RowsByProject> rows(tables.size());
    QSet<QString> projects;
    for (int i = 0; i < tables.size(); ++i) {
        Statement st = selectRows(conn, tables[i], false);
        while (st.step()) {
            const QString id = st.text(tables[i].keyColumn);
            rows[i][id] << encodeRow(st, tables[i]);
            projects.insert(id);
        }
    }
    QHash<QString, QString> hashes;
    for (const QString &id : projects) {
        QList<const QList<QByteArray> *> perTable;
        for (int i = 0; i < tables.size(); ++i) {
            auto it = rows[i].constFind(id);
            perTable << (it == rows[i].cend() ? nullptr : &*it);
        }
        hashes.insert(id, contentHash(tables, perTable));
    }
    return hashes;
}

QString emptyContentHash(Connection &conn)
{
    const QList<ProjectTable> tables = projectTables(conn);
    return contentHash(tables, QList<const QList<QByteArray> *>(tables.size(), nullptr));
}

QStringList allProjectIds(Connection &conn)
{
    QStringList ids;
    if (!hasTable(conn, QStringLiteral("draw_project")))
        return ids;
    Statement st = conn.prepare(QStringLiteral("SELECT Id FROM draw_project ORDER BY Id"));
    while (st.step())
        ids << st.text(0);
    return ids;
}

void insertEntry(Connection &conn, const AuditEntry &e)
{
    Statement st =
        conn.prepare(QStringLiteral("INSERT INTO audit_log (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?)").arg(kColumns));
    st.bindInt(1, e.seq);
    st.bind(2, e.at);
    st.bind(3, e.operatorName);
    st.bind(4, e.kind);
    st.bind(5, e.subject);
    st.bind(6, e.detail);
    st.bind(7, e.prevHash);
    st.bind(8, e.hash);
    st.step();
}

}   // namespace

QString AuditHead::text() const { return QStringLiteral("%1:%2").arg(seq).arg(hash.left(kShortHash)); }

AuditHeadRef ParseAuditHead(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d+)\\s*:\\s*([0-9A-Fa-f]{8,64})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toLongLong(), m.captured(2).toLower()};
}

const char *AuditTableDefinition()
{
    return "CREATE TABLE audit_log (Seq INTEGER PRIMARY KEY NOT NULL, At TEXT, Operator TEXT, Kind TEXT, "
           "Subject TEXT, Detail TEXT, Prev_hash TEXT, Hash TEXT)";
}

void StartAuditLog(Connection &conn)
{
    conn.engine().refuseChanges(kTable);
    // Projects stored before the log existed are taken as they stand now:
    // from here on, any change to them shows.
    if (!allProjectIds(conn).isEmpty())
        AppendAuditCoveringAll(conn, QString(), AuditKind::LogStart, QString());
}

void RebuildAuditLog(Connection &conn, const QList<AuditEntry> &entries)
{
    // Dropping the table takes its guard with it; nothing here updates or
    // deletes a row of the log that stays.
    if (hasTable(conn, kTable))
        conn.exec(QStringLiteral("DROP TABLE audit_log"));
    conn.exec(conn.engine().tableDefinition(QString::fromLatin1(AuditTableDefinition())));
    conn.engine().refuseChanges(kTable);
    for (const AuditEntry &e : entries)
        insertEntry(conn, e);
}

QString AuditEntryHash(const AuditEntry &e)
{
    QByteArray bytes;
    addField(bytes, "kestrune-audit-1");
    addField(bytes, QByteArray::number(e.seq));
    addField(bytes, e.at.toUtf8());
    addField(bytes, e.operatorName.toUtf8());
    addField(bytes, e.kind.toUtf8());
    addField(bytes, e.subject.toUtf8());
    addField(bytes, e.detail.toUtf8());
    addField(bytes, e.prevHash.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

AuditHead ReadAuditHead(Connection &conn)
{
    if (!hasTable(conn, kTable))
        return {};
    Statement st = conn.prepare(QStringLiteral("SELECT Seq, Hash FROM audit_log ORDER BY Seq DESC LIMIT 1"));
    if (!st.step())
        return {};
    return {st.text(0).toLongLong(), st.text(1)};
}

Result<AuditHead> ReadAuditHead(const DataStore &store)
{
    return CatchDbError([&] { return ReadAuditHead(LibraryConnection(store)); });
}

AuditSummary ReadAuditSummary(Connection &conn)
{
    if (!hasTable(conn, kTable))
        return {};
    ReadSnapshot snapshot(conn);
    AuditSummary summary;
    summary.head = ReadAuditHead(conn);
    Statement st = conn.prepare(QStringLiteral("SELECT count(*) FROM audit_log"));
    if (st.step())
        summary.entries = st.text(0).toLongLong();
    return summary;
}

Result<AuditSummary> ReadAuditSummary(const DataStore &store)
{
    return CatchDbError([&] { return ReadAuditSummary(LibraryConnection(store)); });
}

AuditHead AppendAudit(Connection &conn, const QString &operatorName, const QString &kind, const QString &subject,
                      const QJsonObject &detail, const QDateTime &at)
{
    Transaction tx(conn);
    if (!hasTable(conn, kTable))
        EnsureProjectTables(conn);
    const AuditHead head = ReadAuditHead(conn);
    AuditEntry e;
    e.seq = head.seq + 1;
    e.at = at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    e.operatorName = operatorName;
    e.kind = kind;
    e.subject = subject;
    e.detail = QString::fromUtf8(QJsonDocument(detail).toJson(QJsonDocument::Compact));
    e.prevHash = head.hash;
    e.hash = AuditEntryHash(e);
    insertEntry(conn, e);
    tx.commit();
    return {e.seq, e.hash};
}

QString ProjectContentHash(Connection &conn, const QString &projectId)
{
    const QList<ProjectTable> tables = projectTables(conn);
    QList<QList<QByteArray>> rows(tables.size());
    QList<const QList<QByteArray> *> perTable;
    for (int i = 0; i < tables.size(); ++i) {
        Statement st = selectRows(conn, tables[i], true);
        st.bind(1, projectId);
        while (st.step())
            rows[i] << encodeRow(st, tables[i]);
        perTable << &rows[i];
    }
    return contentHash(tables, perTable);
}

AuditHead AppendAuditCovering(Connection &conn, const QString &operatorName, const QString &kind,
                              const QString &subject, const QStringList &projectIds, QJsonObject detail,
                              const QDateTime &at)
{
    Transaction tx(conn);
    QJsonObject covers;
    for (const QString &id : projectIds)
        covers.insert(id, ProjectContentHash(conn, id));
    detail.insert(QLatin1String(kCoversKey), covers);
    const AuditHead head = AppendAudit(conn, operatorName, kind, subject, detail, at);
    tx.commit();
    return head;
}

AuditHead AppendAuditCoveringAll(Connection &conn, const QString &operatorName, const QString &kind,
                                 const QString &subject, QJsonObject detail, const QDateTime &at)
{
    Transaction tx(conn);
    QJsonObject covers;
    const QHash<QString, QString> hashes = allContentHashes(conn);
    for (auto it = hashes.cbegin(); it != hashes.cend(); ++it)
        covers.insert(it.key(), it.value());
    detail.insert(QLatin1String(kCoversAllKey), covers);
    const AuditHead head = AppendAudit(conn, operatorName, kind, subject, detail, at);
    tx.commit();
    return head;
}

AuditHead AppendRestoreEntry(Connection &conn, const QString &operatorName, const QString &backup,
                             const AuditHead &replaced, const AuditHead &restored)
{
    return AppendAuditCoveringAll(conn, operatorName, AuditKind::Restore, backup,
                                  {{"replaced_head", replaced.text()},
                                   {"replaced_hash", replaced.hash},
                                   {"backup_head", restored.text()},
                                   {"backup_hash", restored.hash}});
}

QJsonObject FieldChanges(const QStringList &names, const QStringList &before, const QStringList &after)
{
    QJsonObject was;
    QJsonObject now;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString a = before.value(i);
        const QString b = after.value(i);
        if (a != b) {
            was.insert(names[i], a);
            now.insert(names[i], b);
        }
    }
    return {{"before", was}, {"after", now}};
}

Outcome AppendAudit(const DataStore &store, const QString &kind, const QString &subject, const QJsonObject &detail)
{
    return CatchDbError([&] { AppendAudit(LibraryConnection(store), store.operatorName, kind, subject, detail); });
}

Outcome RecordLogin(DataStore &store, const QString &userName, bool succeeded)
{
    if (succeeded)
        store.operatorName = userName;
    const Outcome logged = AppendAudit(store, succeeded ? AuditKind::Login : AuditKind::LoginFailed, userName);
    return logged.ok() ? logged : logged.prefixed(QStringLiteral("操作日志无法记下这次登录：\n"));
}

QList<AuditEntry> ReadAuditEntries(Connection &conn, const AuditFilter &filter)
{
    QList<AuditEntry> entries;
    if (!hasTable(conn, kTable))
        return entries;
    QStringList where;
    QStringList values;
    // Times are stored as ISO text, which compares in time order.
    if (filter.from.isValid()) {
        where << QStringLiteral("At >= ?");
        values << filter.from.toString(Qt::ISODate);
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("At < ?");
        values << filter.to.addDays(1).toString(Qt::ISODate);
    }
    if (!filter.operatorName.isEmpty()) {
        where << QStringLiteral("Operator = ?");
        values << filter.operatorName;
    }
    if (!filter.kind.isEmpty()) {
        where << QStringLiteral("Kind = ?");
        values << filter.kind;
    }
    QString sql = QStringLiteral("SELECT %1 FROM audit_log").arg(kColumns);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY Seq");
    Statement st = conn.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        st.bind(i + 1, values[i]);
    while (st.step())
        entries << readEntry(st);
    return entries;
}

Result<QList<AuditEntry>> ReadAuditEntries(const DataStore &store, const AuditFilter &filter)
{
    return CatchDbError([&] { return ReadAuditEntries(LibraryConnection(store), filter); });
}

QString DrawTrailRowHash(const QStringList &fields)
{
    QByteArray bytes;
    addField(bytes, "kestrune-trail-1");
    for (const QString &f : fields)
        addField(bytes, f.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

namespace {

// Every draw the log names must still be in the trail as it was written.
// Rows the log does not name are reported unless a restore or another
// whole-library entry came after them (their content came with it).
void checkDrawTrail(Connection &conn, const QHash<QString, QPair<QString, qint64>> &logged, bool baseline,
                    QStringList &problems)
{
    QSet<QString> seen;
    if (hasTable(conn, QStringLiteral("draw_trail"))) {
        Statement st = conn.prepare(QStringLiteral("SELECT Session, Event_no, Kind, At, Operator, Project_Id, Detail "
                                                   "FROM draw_trail ORDER BY Session, Event_no"));
        while (st.step()) {
            QStringList row;
            for (int c = 0; c < 7; ++c)
                row << (st.isNull(c) ? QString() : st.text(c));
            const QString key = row[0] + QLatin1Char(':') + row[1];
            seen.insert(key);
            if (!logged.contains(key)) {
                if (!baseline)
                    problems << QStringLiteral("抽取过程记录 %1 第%2条：操作日志中没有它的记录（未经程序写入）。")
                                    .arg(row[0], row[1]);
            } else if (logged.value(key).first != DrawTrailRowHash(row))
                problems << QStringLiteral("抽取过程记录 %1 第%2条：与操作日志第%3条记录的不符（事后被改动）。")
                                .arg(row[0], row[1])
                                .arg(logged.value(key).second);
        }
    }
    for (auto it = logged.cbegin(); it != logged.cend(); ++it)
        if (!seen.contains(it.key()))
            problems << QStringLiteral("抽取过程记录 %1：已被删除，而操作日志第%2条记录了它。")
                            .arg(it.key())
                            .arg(it.value().second);
}

}   // namespace

QStringList VerifyChain(Connection &conn)
{
    QStringList problems;
    if (!hasTable(conn, kTable))
        return {QStringLiteral("操作日志：文件中没有操作日志。")};
    ReadSnapshot snapshot(conn);
    // What each project's content must be, from the last entry that covered it.
    QHash<QString, QString> expected;
    QHash<QString, qint64> coveredBy;
    QHash<QString, QPair<QString, qint64>> trail;
    bool trailBaseline = false;
    QString prevHash;
    qint64 prevSeq = 0;
    Statement st = conn.prepare(QStringLiteral("SELECT %1 FROM audit_log ORDER BY Seq").arg(kColumns));
    while (st.step()) {
        const AuditEntry e = readEntry(st);
        if (e.seq != prevSeq + 1)
            problems << QStringLiteral("操作日志：第%1条之后缺少记录（下一条为第%2条）。").arg(prevSeq).arg(e.seq);
        if (e.prevHash != prevHash)
            problems << QStringLiteral("操作日志：第%1条与前一条的哈希链不符。").arg(e.seq);
        if (AuditEntryHash(e) != e.hash)
            problems << QStringLiteral("操作日志：第%1条的内容与其哈希不符（记录被改动）。").arg(e.seq);
        const QJsonObject detail = QJsonDocument::fromJson(e.detail.toUtf8()).object();
        if (e.kind == AuditKind::DrawRound && detail.contains(QLatin1String("trail_row")))
            trail.insert(e.subject, {detail.value(QLatin1String("trail_row")).toString(), e.seq});
        if (detail.contains(QLatin1String(kCoversAllKey))) {
            trail.clear();
            trailBaseline = true;
            expected.clear();
            coveredBy.clear();
        }
        for (const char *key : {kCoversAllKey, kCoversKey}) {
            const QJsonObject covers = detail.value(QLatin1String(key)).toObject();
            for (auto it = covers.begin(); it != covers.end(); ++it) {
                expected.insert(it.key(), it.value().toString());
                coveredBy.insert(it.key(), e.seq);
            }
        }
        prevHash = e.hash;
        prevSeq = e.seq;
    }
    checkDrawTrail(conn, trail, trailBaseline, problems);
    const QHash<QString, QString> actual = allContentHashes(conn);
    const QString none = emptyContentHash(conn);
    QStringList ids = actual.keys();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        if (!actual.contains(it.key()))
            ids << it.key();
    std::sort(ids.begin(), ids.end());
    for (const QString &id : ids) {
        const QString now = actual.value(id, none);
        if (!expected.contains(id))
            problems << QStringLiteral("项目 %1：操作日志中没有它的记录（项目未经程序保存）。").arg(id);
        else if (expected.value(id) != now)
            problems << (now == none ? QStringLiteral("项目 %1：已被删除，而操作日志第%2条记录了它。")
                                           .arg(id)
                                           .arg(coveredBy.value(id))
                                     : QStringLiteral("项目 %1：存储的内容与操作日志第%2条记录的不符（事后被改动）。")
                                           .arg(id)
                                           .arg(coveredBy.value(id)));
    }
    return problems;
}

QString CheckHead(Connection &conn, const AuditHeadRef &head)
{
    if (head.seq <= 0 || head.hashPrefix.isEmpty())
        return QStringLiteral("日志封存号格式不对，应为“序号:哈希”。");
    if (!hasTable(conn, kTable))
        return QStringLiteral("文件中没有操作日志，找不到第%1条记录。").arg(head.seq);
    Statement st = conn.prepare(QStringLiteral("SELECT Hash FROM audit_log WHERE Seq = ?"));
    st.bindInt(1, head.seq);
    if (!st.step())
        return QStringLiteral("操作日志中没有第%1条记录（文件被回退或日志被截断）。").arg(head.seq);
    if (!st.text(0).startsWith(head.hashPrefix, Qt::CaseInsensitive))
        return QStringLiteral("操作日志第%1条的哈希与封存的 %2 不符。").arg(head.seq).arg(head.hashPrefix);
    return QString();
}
