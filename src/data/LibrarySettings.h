#pragma once

#include "data/Result.h"

#include <QString>

class Connection;
class DataStore;

// Settings an administrator chooses for one library. They live in the
// library itself (table library_setting), so that every computer using the
// library follows them and a copy of the file carries them along.
namespace LibrarySetting {
// "1": random draws and substitutes use the supervised draw; otherwise
// the plain random draw. Off in libraries made before it existed.
inline const QString SupervisedDraw = QStringLiteral("supervised_draw");
// "1": 身份证号 and phone numbers are partly hidden from the roles that
// do not administer the library. Off by default.
inline const QString MaskPersonalData = QStringLiteral("mask_personal_data");
// Minutes without input before the main window is locked; "0" never.
inline const QString IdleLockMinutes = QStringLiteral("idle_lock_minutes");
inline constexpr int kDefaultIdleLockMinutes = 15;
// A folder (a USB stick, a network folder) that the exit backup and its
// restore points are also written to; "" for none.
inline const QString SecondBackupFolder = QStringLiteral("second_backup_folder");
// How many dated restore points the exit keeps: the newest of so many days,
// weeks and months (7, 4 and 12 when not set).
inline const QString RestorePointsDaily = QStringLiteral("restore_points_daily");
inline const QString RestorePointsWeekly = QStringLiteral("restore_points_weekly");
inline const QString RestorePointsMonthly = QStringLiteral("restore_points_monthly");
}   // namespace LibrarySetting

// The value of a setting, or fallback when the library has none (or has
// no settings table yet; an older file is only read here).
QString ReadLibrarySetting(Connection &conn, const QString &name, const QString &fallback = {});
// Sets a setting inside the caller's transaction if there is one, else in
// its own, with an entry of the operation log. Throws DbError on failure,
// leaving the setting as it was.
void WriteLibrarySetting(Connection &conn, const QString &name, const QString &value, const QString &operatorName = {});

// The same at the edge of the data module, through the session's connection.
Result<QString> ReadLibrarySetting(const DataStore &store, const QString &name, const QString &fallback = {});
Outcome WriteLibrarySetting(const DataStore &store, const QString &name, const QString &value);

// Yes/no and number settings as the screens use them; a value that is not
// readable counts as the fallback.
bool SettingIsOn(const QString &value);
int SettingMinutes(const QString &value, int fallback);
