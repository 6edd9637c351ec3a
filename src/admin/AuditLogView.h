#pragma once

#include "data/AuditLog.h"
#include "data/Result.h"
#include "data/TextTable.h"

#include <QList>
#include <QString>
#include <QStringList>

// The operation log as the 操作日志 screen and its report show it. Reading
// the log here never writes to it.

// The kind combo's first item: every kind.
inline const QString kAllKinds = QStringLiteral("全部");

// The items of the kind combo: "全部", then each kind's caption.
QStringList AuditKindItems();

// The search as typed: dates as yyyy-MM-dd (yyyy/M/d and yyyyMMdd are taken
// too; empty for no bound), the operator as typed (empty or "全部" for
// everyone) and the kind combo's text. Fails with the user's sentence when a
// date is not a date or the range runs backwards.
Result<AuditFilter> ParseAuditCriteria(const QString &from, const QString &to, const QString &operatorName,
                                       const QString &kindCaption);

// An entry's detail as a person reads it: field names in Chinese, a
// changed expert field as "old → new", counts instead of long lists and no
// internal hashes. Text that is not a JSON object is shown as it is.
QString ReadableAuditDetail(const AuditEntry &entry);

// The list columns of the screen and the report: the key (Seq, never
// shown), 时间, 操作员, 类别, 对象, 内容 and 链哈希 (the entry as a head is
// printed, "SEQ:first 16 hex digits", so a row can be checked with
// kestrune-verify --head).
inline constexpr int kAuditListColumns = 7;
TextTable AuditLogRows(const QList<AuditEntry> &entries);
// The same for one entry.
QStringList AuditLogRow(const AuditEntry &entry);
