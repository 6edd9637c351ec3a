#pragma once

#include "data/TextTable.h"

#include <QString>
#include <QStringList>

struct DataStore;

// The fixed values the program stores and offers, and the rules that turn
// the reference tables' rows into stored codes. The editor, the lists, the
// search, the draw, the import and the demo tool all take them from here,
// so each value is spelt once.

// The criterion text the search, draw and history screens put in every
// criterion on activation: it matches no record, so they open empty.
inline const QString kNoRecord = QStringLiteral("NoRecord");

// Dates are stored and compared as text in this pattern.
inline const QString kStoredDateFormat = QStringLiteral("yyyy-MM-dd");

// The first item of a choice list that sets no condition (also row 0 of
// each reference table).
inline const QString kAllItem = QStringLiteral("全部");
// The star list's item of the advanced search that sets no condition.
inline const QString kAllStarGrades = QStringLiteral("所有星级");

// Values of expert_msg.Status, Is_temp and Sex, stored as shown.
inline const QString kStatusEnabled = QStringLiteral("启用");
inline const QString kStatusDisabled = QStringLiteral("停用");
inline const QString kKindRegular = QStringLiteral("正式");
inline const QString kKindTemporary = QStringLiteral("临时");
inline const QString kSexMale = QStringLiteral("男");
inline const QString kSexFemale = QStringLiteral("女");

// The editor's lists, first item first: a cleared form shows that item.
const QStringList &StatusItems();   // 启用, 停用
const QStringList &KindItems();     // 正式, 临时
const QStringList &SexItems();      // 男, 女
// The star grades "★☆☆☆☆" .. "★★★★★", grade 1 first, stored as shown.
const QStringList &StarGrades();
// The text of grade 1..5, "" for any other number.
QString StarGrade(int grade);

// A search or draw list's items: kAllItem, then the choices.
QStringList WithAllItem(const QStringList &items);

// The reference tables (title levels, degrees): row n stands for the code n
// written with two digits, row 0 being kAllItem. The search and draw lists
// show every row, so their position p is row p; the editor leaves row 0
// out, so its position p is row p + 1.

// Code of reference row n: 1 -> "01", 12 -> "12".
QString ReferenceCode(qsizetype row);
// Row named by a stored code, or -1 when the code is not a number or names
// no row of the table.
qsizetype ReferenceRowForCode(const TextTable &table, const QString &code);
// Name of the title level or degree a stored code names; "" when it names
// no row.
QString TitleNameForCode(const DataStore &store, const QString &code);
QString DegreeNameForCode(const DataStore &store, const QString &code);
// The names the editor offers: rows 1 onwards.
QStringList EditorReferenceNames(const TextTable &table);
// Stored code of the degree at editor position p: the code of row p + 1.
QString DegreeCodeForPosition(int position);
// Stored code of the title level at editor position p: the Id of
// TitleTypeTable row p + 1, or "" when there is no such row.
QString TitleIdForPosition(const DataStore &store, int position);
