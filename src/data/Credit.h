#pragma once

#include "data/Result.h"
#include "data/TextTable.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class Connection;
struct DataStore;

// What the library remembers of an expert's conduct: a rating and, when
// something went wrong, a 不良记录 for each review they attended, and the
// suspensions an administrator set from such a record.

// Kinds of 不良记录.
namespace MisconductKind {
inline const QString Absence = QStringLiteral("无故缺席");
inline const QString Discipline = QStringLiteral("违反纪律");
inline const QString Leak = QStringLiteral("泄露信息");
inline const QString Other = QStringLiteral("其他");
inline QStringList All() { return {Absence, Discipline, Leak, Other}; }
}   // namespace MisconductKind

// One attending expert's conduct at one project's review.
struct ConductEntry {
    int seq = 0;          // the expert's place in the project
    QString expertId;     // filled from the project when written
    int rating = 0;       // 1 to 5; 0 for none given
    QString remark;       // with the rating
    QString recordKind;   // MisconductKind, or "" for no 不良记录
    QString recordText;
    QString recordedAt;   // "yyyy-MM-dd HH:mm:ss", as read back
    QString operatorName;

    bool isEmpty() const { return rating == 0 && remark.trimmed().isEmpty() && recordKind.isEmpty(); }
    bool hasRecord() const { return !recordKind.isEmpty(); }
    bool operator==(const ConductEntry &) const = default;
};

// What is wrong with an entry as the user is told it ("" when nothing): a
// rating out of 1–5, a remark without a rating, a record without its kind
// or its text.
QString ConductProblem(const ConductEntry &entry);

// The conduct recorded for a project, by seq.
QList<ConductEntry> ReadConduct(Connection &conn, const QString &projectId);
Result<QList<ConductEntry>> ReadConduct(const DataStore &store, const QString &projectId);

// Writes the entries of one project in one transaction with one entry of
// the operation log covering the project: each replaces what the expert had,
// an empty entry removes it. Only experts whose attendance is 已确认 can
// have one. Throws DbError (nothing written) on a problem.
void WriteConduct(Connection &conn, const QString &projectId, const QList<ConductEntry> &entries,
                  const QString &operatorName, const QDateTime &at);
Outcome WriteConduct(const DataStore &store, const QString &projectId, const QList<ConductEntry> &entries,
                     const QDateTime &at);

// A suspension of an expert, set from one of their 不良记录.
struct Suspension {
    qint64 id = 0;
    QString expertId;
    QString recordProject;   // the project and seq of the 不良记录
    int recordSeq = 0;
    QDate until;   // last day suspended; invalid for 长期
    QString reason;
    QDateTime suspendedAt;
    QString suspendedBy;
    QDateTime liftedAt;   // invalid while not lifted
    QString liftedBy;

    bool longTerm() const { return !until.isValid(); }
    bool lifted() const { return liftedAt.isValid(); }
    // Whether it keeps the expert out on that day.
    bool inForce(const QDate &day) const { return !lifted() && (longTerm() || until >= day); }
    // "长期" or "至yyyy-MM-dd".
    QString term() const;
};

// Suspends an expert from one of their 不良记录 (the project and seq must
// hold one for that expert). A suspension still in force is lifted by the
// new one, so an expert has one at a time. One transaction with an entry of
// the operation log. Throws DbError.
qint64 SuspendExpert(Connection &conn, const Suspension &suspension, const QString &operatorName, const QDateTime &at);
Result<qint64> SuspendExpert(const DataStore &store, const Suspension &suspension, const QDateTime &at);
// Lifts the expert's suspension; false when none was in force on that day.
bool LiftSuspension(Connection &conn, const QString &expertId, const QString &operatorName, const QDateTime &at);
Result<bool> LiftSuspension(const DataStore &store, const QString &expertId, const QDateTime &at);

// Every suspension (of one expert when expertId is given), oldest first.
QList<Suspension> ReadSuspensions(Connection &conn, const QString &expertId = {});
Result<QList<Suspension>> ReadSuspensions(const DataStore &store, const QString &expertId = {});
// The experts kept out of draws on that day. Empty for a library that keeps
// no suspensions yet.
QSet<QString> SuspendedExperts(Connection &conn, const QDate &day);
// The suspension in force for the expert on that day, if any.
const Suspension *SuspensionInForce(const QList<Suspension> &all, const QString &expertId, const QDate &day);

// One line per event of an expert's record, oldest first: 0 date and time,
// 1 project name, 2 project code, 3 what (抽取 / 已确认 / 已拒绝 / 未到场 /
// 评价 / 不良记录 / 暂停 / 解除暂停), 4 details. Column 5 holds the project
// Id ("" for what belongs to no project), never shown.
enum ExpertRecordColumn { ER_When = 0, ER_Project, ER_Code, ER_What, ER_Detail, ER_ProjectId, ExpertRecordColumnCount };
TextTable ExpertCreditRecord(Connection &conn, const QString &expertId);
Result<TextTable> ExpertCreditRecord(const DataStore &store, const QString &expertId);

// An expert's 不良记录, oldest first, with the project they were made in.
struct MisconductRecord {
    QString projectId;
    QString projectName;
    int seq = 0;
    QString kind;
    QString text;
    QString recordedAt;
    QString line() const;   // "项目名称：类别：内容"
};
QList<MisconductRecord> MisconductOf(Connection &conn, const QString &expertId);
Result<QList<MisconductRecord>> MisconductOf(const DataStore &store, const QString &expertId);
Result<QSet<QString>> SuspendedExperts(const DataStore &store, const QDate &day);

// What is wrong with a suspension about to be set ("" when nothing): no
// record chosen, or an end before today.
QString SuspensionProblem(const Suspension &suspension, const QDate &today);

// The experts suspended on that day: 0 Id, 1 Name, 2 Company_name, 3 term,
// 4 record (kind: text), 5 suspended at, 6 by, 7 reason. Names come from the
// expert table, or the project's snapshot for an expert since deleted.
TextTable SuspendedExpertRows(Connection &conn, const QDate &day);
Result<TextTable> SuspendedExpertRows(const DataStore &store, const QDate &day);
