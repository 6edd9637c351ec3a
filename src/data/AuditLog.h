#pragma once

#include "data/Result.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

class Connection;
struct DataStore;

// The operation log: an append-only table audit_log in the library, one
// entry per operation, each holding the SHA-256 of the one before it, so
// that changing, removing or reordering any entry breaks every hash after
// it. Both engines refuse UPDATE and DELETE on it. The head (last sequence
// number and hash) moves with every entry; printed on paper, it lets a later
// check see that the file was not rolled back or its log cut off.
namespace AuditKind {
// Draws and projects.
inline const QString DrawRound = QStringLiteral("draw_round");           // a round drawn, stored or not
inline const QString DrawDiscarded = QStringLiteral("draw_discarded");   // a round left without storing
inline const QString DrawUntick = QStringLiteral("draw_untick");         // drawn experts unticked or removed
inline const QString ProjectStore = QStringLiteral("project_store");     // a draw stored as (part of) a project
inline const QString Attendance = QStringLiteral("attendance");
inline const QString Substitute = QStringLiteral("substitute");
inline const QString ProjectDelete = QStringLiteral("project_delete");
inline const QString ProjectPublish = QStringLiteral("project_publish");   // a panel made public before its review
// A panel that breaks the library's panel-size rule, and whether the
// operator stored it all the same.
inline const QString PanelWarning = QStringLiteral("panel_warning");
inline const QString Conduct = QStringLiteral("conduct");         // ratings and 不良记录 after a review
inline const QString Suspension = QStringLiteral("suspension");   // an expert suspended or the suspension lifted
// Experts.
inline const QString ExpertAdd = QStringLiteral("expert_add");
inline const QString ExpertChange = QStringLiteral("expert_change");   // detail: fields before and after
inline const QString ExpertDelete = QStringLiteral("expert_delete");
// The library as a whole.
inline const QString ExpertImport = QStringLiteral("expert_import");
inline const QString AccessImport = QStringLiteral("access_import");
inline const QString Initialise = QStringLiteral("initialise");
inline const QString Restore = QStringLiteral("restore");   // detail: the head it replaced
inline const QString Backup = QStringLiteral("backup");
inline const QString LogStart = QStringLiteral("log_start");   // first entry of a library's log
// People and settings.
inline const QString Login = QStringLiteral("login");
inline const QString LoginFailed = QStringLiteral("login_failed");
inline const QString UserAdmin = QStringLiteral("user_admin");
inline const QString PasswordChange = QStringLiteral("password_change");
inline const QString Setting = QStringLiteral("setting");
// Paper and files leaving the program.
inline const QString Print = QStringLiteral("print");
inline const QString Export = QStringLiteral("export");
inline const QString LogSeal = QStringLiteral("log_seal");   // a 日志封存单 printed

// Every kind, in the order the log screen offers them.
QStringList All();
// The kind as the log screen names it ("抽取", "登录失败", …).
QString Caption(const QString &kind);
}   // namespace AuditKind

// The last entry of the chain. seq 0 and an empty hash: no entry yet.
struct AuditHead {
    qint64 seq = 0;
    QString hash;   // 64 hex digits
    bool empty() const { return seq == 0; }
    // As printed: "SEQ:first 16 hex digits".
    QString text() const;
};

// A printed head parsed back: seq and a hash prefix (at least 8 hex digits).
struct AuditHeadRef {
    qint64 seq = 0;
    QString hashPrefix;
};
// "SEQ:HEX" as AuditHead::text prints it; nullopt-like (seq 0) when malformed.
AuditHeadRef ParseAuditHead(const QString &text);

struct AuditEntry {
    qint64 seq = 0;
    QString at;   // ISO date and time, local, to the second
    QString operatorName;
    QString kind;
    QString subject;
    QString detail;   // compact JSON object
    QString prevHash;
    QString hash;
};

// The detail key under which an entry covers the stored content of the
// projects it touched: {"<project Id>": "<content hash>"}. An entry whose
// detail holds kCoversAllKey instead covers every project of the library
// at that moment (after an initialisation, a restore, or at the log's
// start): a project it does not name must not exist.
inline constexpr const char *kCoversKey = "covers";
inline constexpr const char *kCoversAllKey = "covers_all";

// The log's table name and definition (kept by 初始化数据库 and restores).
inline constexpr const char *kAuditTable = "audit_log";
const char *AuditTableDefinition();
// Just after audit_log was created: makes the engine refuse UPDATE and
// DELETE on it and, in a library that already holds projects, writes a
// first entry covering them. Inside the caller's transaction.
void StartAuditLog(Connection &conn);
// Replaces the log of a library (a restored copy, not yet in use) by these
// entries, verbatim, with the guard made again. Inside the caller's
// transaction.
void RebuildAuditLog(Connection &conn, const QList<AuditEntry> &entries);

// Appends one entry inside the caller's transaction (or its own when there
// is none), so that the entry and the change it records commit together or
// not at all. operatorName may be empty for what no user did (start-up).
// Throws DbError.
AuditHead AppendAudit(Connection &conn, const QString &operatorName, const QString &kind, const QString &subject,
                      const QJsonObject &detail = {}, const QDateTime &at = QDateTime::currentDateTime());
// The same, covering the stored content of these projects as they stand
// now in the transaction (their facts, rounds, criteria, avoidance, round
// types, experts, attendance and substitutes).
AuditHead AppendAuditCovering(Connection &conn, const QString &operatorName, const QString &kind,
                              const QString &subject, const QStringList &projectIds, QJsonObject detail = {},
                              const QDateTime &at = QDateTime::currentDateTime());
// The same, covering every project of the library (a project not named
// must not exist).
AuditHead AppendAuditCoveringAll(Connection &conn, const QString &operatorName, const QString &kind,
                                 const QString &subject, QJsonObject detail = {},
                                 const QDateTime &at = QDateTime::currentDateTime());

// The restore entry: covers every project of the restored content and
// names the head the library had and the head of the backup.
AuditHead AppendRestoreEntry(Connection &conn, const QString &operatorName, const QString &backup,
                             const AuditHead &replaced, const AuditHead &restored);

// The fields that differ between two versions of a record, for an entry's
// detail: {"before": {field: value}, "after": {field: value}}.
QJsonObject FieldChanges(const QStringList &names, const QStringList &before, const QStringList &after);

// At the edge of the data module, on the session's connection, as the
// store's logged-in operator (DataStore::operatorName).
Outcome AppendAudit(const DataStore &store, const QString &kind, const QString &subject,
                    const QJsonObject &detail = {});

// A login attempt: on success the store's operator becomes userName; the
// entry names who tried, never the password.
Outcome RecordLogin(DataStore &store, const QString &userName, bool succeeded);

// The SHA-256 (hex) of one project's stored content in every project table,
// independent of row order and of columns left null.
QString ProjectContentHash(Connection &conn, const QString &projectId);

// The hash of an entry: SHA-256 over a fixed encoding of seq, at, operator,
// kind, subject, detail and previous hash, each length-prefixed.
QString AuditEntryHash(const AuditEntry &entry);

AuditHead ReadAuditHead(Connection &conn);
Result<AuditHead> ReadAuditHead(const DataStore &store);

// The head and the number of entries read together (one snapshot), as a
// 日志封存单 prints them: an intact log holds head.seq entries.
struct AuditSummary {
    AuditHead head;
    qint64 entries = 0;
};
AuditSummary ReadAuditSummary(Connection &conn);
Result<AuditSummary> ReadAuditSummary(const DataStore &store);

// Entries matching a search, in sequence order. Empty bounds match all.
struct AuditFilter {
    QDate from;
    QDate to;
    QString operatorName;
    QString kind;
};
QList<AuditEntry> ReadAuditEntries(Connection &conn, const AuditFilter &filter = {});
Result<QList<AuditEntry>> ReadAuditEntries(const DataStore &store, const AuditFilter &filter);

// Checks every entry's hash and link, and the content the entries cover
// against the project tables as they are now. One line per problem found;
// none when the chain holds.
QStringList VerifyChain(Connection &conn);

// SHA-256 (hex) of one row of the draw trail as written (Session, Event_no,
// Kind, At, Operator, Project_Id or "", Detail). Every trail row gets an
// entry holding it, so that a draw that is deleted or changed afterwards
// shows even when no project covers it.
QString DrawTrailRowHash(const QStringList &fields);
// Whether the log still holds the entry a printed head names ("" when it
// does, otherwise what is wrong).
QString CheckHead(Connection &conn, const AuditHeadRef &head);
