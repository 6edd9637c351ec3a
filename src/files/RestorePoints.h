#pragma once

#include "data/Outcome.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

struct DataStore;

// Dated copies of the exit backup that a department can go back to: the exit
// backup itself is replaced at every exit, so a mistake noticed a day later
// is already in it. Each copy is "历史/ProSys_yyyyMMdd.mdb" under a backup
// folder (the local one, and the second one when it is set), at most one a
// day, holding the library as it was at that day's last exit.

inline const QString kRestorePointFolderName = QStringLiteral("历史");

// How many restore points are kept: the newest of each of the last `daily`
// days that have one, of the last `weekly` weeks (ISO weeks) and of the last
// `monthly` months.
struct RetentionRule {
    int daily = 7;
    int weekly = 4;
    int monthly = 12;
};

// Which days keep their restore point, given the days that have one and
// today (whose copy is about to be written): the newest day first. Days after
// today (a clock that was set wrong) are kept and count for nothing: the rule
// never throws away what it cannot place.
QList<QDate> RetainedDays(const QList<QDate> &present, const QDate &today, const RetentionRule &rule = {});

// The folder of restore points under a backup folder.
QString RestorePointFolder(const QString &backupFolder);
// The file of the day's restore point there.
QString RestorePointPath(const QString &backupFolder, const QDate &day);
// The day a restore point's file name carries; invalid for any other name
// (a user's own file, a copy still being written).
QDate RestorePointDay(const QString &fileName);

// Called with the staged copy after it is written and before it is checked;
// a failure stops there, as an interrupted run would. Tests use it.
using RestorePointProbe = std::function<Outcome(const QString &stagedPath)>;

// Keeps today's restore point under backupFolder: exitBackup (a data file
// that opens with key, empty for the default one) is copied under a staged
// name, the copy must open with key and pass the integrity check, and only
// then does it take the day's name (replacing an earlier copy of the same
// day). Restore points the rule no longer keeps are removed afterwards;
// staged copies an interrupted run left are removed first. A failure leaves
// the restore points as they were and says why.
Outcome KeepRestorePoint(const QString &backupFolder, const QString &exitBackup, const QString &key, const QDate &today,
                         const RetentionRule &rule = {}, const RestorePointProbe &probe = {});

// The second backup folder (a USB stick, a network folder): the exit backup
// is copied there as "ProSys.mdb" and today's restore point kept as above.
// An empty folder means none is set and succeeds at once. A folder that is
// not there is never created (its drive may simply not be plugged in); the
// failure says so, and nothing else changes.
Outcome WriteSecondBackup(const QString &folder, const QString &exitBackup, const QString &key, const QDate &today,
                          const RetentionRule &rule = {});

// The password the exit backup of the store's library opens with: a data
// file's copy keeps the file's password; a server's library is written with
// the default one.
QString ExitBackupKey(const DataStore &store);
// The rule the library's settings give (the defaults where none is set).
RetentionRule RetentionRuleOf(const DataStore &store);
// Stores the rule and the second backup folder ("" for none) in the
// library's settings, in one transaction.
Outcome WriteBackupSettings(const DataStore &store, const RetentionRule &rule, const QString &secondFolder);
// The second backup folder the library's settings name ("" for none).
QString SecondBackupFolder(const DataStore &store);
// Why folder cannot be the second backup folder ("" when it can): it must
// exist and must not be the data folder or its own backup folder.
QString SecondBackupFolderProblem(const QString &folder, const QString &appDir);

// One restore point as the lists show it.
struct RestorePoint {
    QString path;
    QDate day;
    qint64 size = 0;
    QString key;           // the password that opened it
    bool opened = false;   // false: none of the known passwords opens it
    int experts = -1;      // -1: not counted (the copy did not open or is damaged)
    int draws = -1;        // stored extraction records
    QString problem;       // "" when the integrity check passed
    bool sound() const { return opened && problem.isEmpty(); }
};

// The restore points under a backup folder, newest first, each opened with
// the first of keys that opens it, checked and counted.
QList<RestorePoint> ListRestorePoints(const QString &backupFolder, const QStringList &keys);

// What the check found, as one short text: "完好", "已损坏，不能使用", or that
// it has a password of its own. The engine's words are in problem.
QString RestorePointCheckText(const RestorePoint &point);
// A size for people: "812 KB", "3.4 MB".
QString ReadableSize(qint64 bytes);
// One line of the command-line list: day, size, counts, check, path.
QString RestorePointLine(const RestorePoint &point);
