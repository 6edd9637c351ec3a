#include "files/RestorePoints.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/FileCopy.h"
#include "data/LibraryBackend.h"
#include "data/LibrarySettings.h"
#include "data/Tables.h"
#include "files/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Copies being written carry this prefix: a name no user would give a file,
// so that only the program's own leftovers are ever removed.
const QString kStagedPrefix = QStringLiteral(".kestrune-rp-");

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Keeps the newest day of each bucket until count buckets are kept.
template <typename BucketOf>
void keepNewestPerBucket(const QList<QDate> &newestFirst, int count, BucketOf bucketOf, QSet<QDate> &kept)
{
    QSet<qint64> seen;
    for (const QDate &day : newestFirst) {
        if (int(seen.size()) >= count)
            return;
        const qint64 bucket = bucketOf(day);
        if (seen.contains(bucket))
            continue;
        seen.insert(bucket);
        kept.insert(day);
    }
}

void removeStaged(const QString &historyFolder)
{
    const QFileInfoList left =
        QDir(historyFolder).entryInfoList({kStagedPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &f : left)
        QFile::remove(f.filePath());
}

QList<QPair<QDate, QString>> datedFiles(const QString &historyFolder)
{
    QList<QPair<QDate, QString>> out;
    const QFileInfoList files = QDir(historyFolder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &f : files) {
        const QDate day = RestorePointDay(f.fileName());
        if (day.isValid())
            out.append({day, f.filePath()});
    }
    return out;
}

int countRows(Connection &conn, const QString &table)
{
    Statement count = conn.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    return count.step() ? count.text(0).toInt() : 0;
}

}   // namespace

QList<QDate> RetainedDays(const QList<QDate> &present, const QDate &today, const RetentionRule &rule)
{
    QSet<QDate> kept;
    QList<QDate> placed;
    for (const QDate &day : present) {
        if (!day.isValid())
            continue;
        if (day > today)
            kept.insert(day);
        else
            placed.append(day);
    }
    placed.append(today);
    std::sort(placed.begin(), placed.end(), std::greater<QDate>());
    placed.erase(std::unique(placed.begin(), placed.end()), placed.end());

    keepNewestPerBucket(
        placed, rule.daily, [](const QDate &d) { return d.toJulianDay(); }, kept);
    keepNewestPerBucket(
        placed, rule.weekly,
        [](const QDate &d) {
            int year = 0;
            const int week = d.weekNumber(&year);
            return qint64(year) * 100 + week;
        },
        kept);
    keepNewestPerBucket(
        placed, rule.monthly, [](const QDate &d) { return qint64(d.year()) * 100 + d.month(); }, kept);

    QList<QDate> out(kept.begin(), kept.end());
    std::sort(out.begin(), out.end(), std::greater<QDate>());
    return out;
}

QString RestorePointFolder(const QString &backupFolder) { return QDir(backupFolder).filePath(kRestorePointFolderName); }

QString RestorePointPath(const QString &backupFolder, const QDate &day)
{
    return QDir(RestorePointFolder(backupFolder))
        .filePath(QStringLiteral("ProSys_%1.mdb").arg(day.toString(QStringLiteral("yyyyMMdd"))));
}

QDate RestorePointDay(const QString &fileName)
{
    static const QRegularExpression name(QStringLiteral("^ProSys_(\\d{8})\\.mdb$"));
    const QRegularExpressionMatch m = name.match(fileName);
    return m.hasMatch() ? QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd")) : QDate();
}

Outcome KeepRestorePoint(const QString &backupFolder, const QString &exitBackup, const QString &key, const QDate &today,
                         const RetentionRule &rule, const RestorePointProbe &probe)
{
    const QString history = RestorePointFolder(backupFolder);
    const QFileInfo folderInfo(history);
    if (folderInfo.exists() && !folderInfo.isDir())
        return Outcome::fail(QStringLiteral("“%1”不是文件夹，没有保存还原点。").arg(native(history)));
    if (!folderInfo.exists() && !QDir(backupFolder).mkdir(kRestorePointFolderName))
        return Outcome::fail(QStringLiteral("无法创建文件夹“%1”，没有保存还原点。").arg(native(history)));
    removeStaged(history);

    QList<QDate> present;
    for (const auto &[day, path] : datedFiles(history))
        present.append(day);
    const QList<QDate> retained = RetainedDays(present, today, rule);

    const QString target = RestorePointPath(backupFolder, today);
    if (retained.contains(today)) {
        const QString staged =
            QDir(history).filePath(kStagedPrefix + today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".mdb"));
        Outcome copied = CopyFileReplacing(exitBackup, staged);
        if (copied && probe)
            copied = probe(staged);
        if (!copied) {
            QFile::remove(staged);
            return Outcome::fail(QStringLiteral("今天的还原点没有保存：") + copied.message(), copied.detail());
        }
        // Only a copy that opens with the library's password and whose pages
        // are whole may ever be offered for going back to.
        QString problem;
        if (!KeyOpensFile(staged, key))
            problem = QStringLiteral("副本不能用本专家库的密码打开。");
        else
            problem = CheckFileIntegrity(staged, key);
        if (!problem.isEmpty()) {
            QFile::remove(staged);
            return Outcome::fail(
                QStringLiteral("今天的还原点没有保存：复制出的文件没有通过检查，以前的还原点没有改变。"), problem);
        }
        if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            QFile::remove(staged);
            return Outcome::fail(QStringLiteral("今天的还原点没有保存：不能写入文件“%1”。").arg(native(target)),
                                 reason);
        }
        syncFolder(history);
    }

    QStringList notRemoved;
    for (const auto &[day, path] : datedFiles(history))
        if (!retained.contains(day) && !QFile::remove(path))
            notRemoved << native(path);
    if (!notRemoved.isEmpty())
        return Outcome::fail(QStringLiteral("今天的还原点已保存，但以下过期的还原点不能删除："),
                             notRemoved.join(QLatin1Char('\n')));
    return Outcome::success(retained.contains(today) ? target : QString());
}

Outcome WriteSecondBackup(const QString &folder, const QString &exitBackup, const QString &key, const QDate &today,
                          const RetentionRule &rule)
{
    if (folder.trimmed().isEmpty())
        return Outcome::success();
    // Never made here: a missing mount point would only gain a folder on the
    // local disk that looks like the stick.
    if (!QFileInfo(folder).isDir())
        return Outcome::fail(QStringLiteral("第二备份文件夹“%1”现在不能使用（U 盘或网络文件夹没有接上？），"
                                            "这次只备份到了本机的“%2”文件夹。")
                                 .arg(native(folder), kBackupFolderName));
    const Outcome copied = CopyFileReplacing(exitBackup, QDir(folder).filePath(QStringLiteral("ProSys.mdb")));
    if (!copied)
        return Outcome::fail(QStringLiteral("没有备份到第二备份文件夹：") + copied.message(), copied.detail());
    const Outcome kept = KeepRestorePoint(folder, exitBackup, key, today, rule);
    if (!kept)
        return Outcome::fail(QStringLiteral("第二备份文件夹“%1”：").arg(native(folder)) + kept.message(),
                             kept.detail());
    return Outcome::success();
}

QString ExitBackupKey(const DataStore &store) { return store.library().hasFileKey() ? store.source.key : QString(); }

RetentionRule RetentionRuleOf(const DataStore &store)
{
    RetentionRule rule;
    const auto read = [&store](const QString &name, int fallback) {
        const Result<QString> value = ReadLibrarySetting(store, name);
        return value ? SettingMinutes(value.value(), fallback) : fallback;
    };
    rule.daily = read(LibrarySetting::RestorePointsDaily, rule.daily);
    rule.weekly = read(LibrarySetting::RestorePointsWeekly, rule.weekly);
    rule.monthly = read(LibrarySetting::RestorePointsMonthly, rule.monthly);
    return rule;
}

Outcome WriteBackupSettings(const DataStore &store, const RetentionRule &rule, const QString &secondFolder)
{
    const QList<QPair<QString, QString>> values{{LibrarySetting::RestorePointsDaily, QString::number(rule.daily)},
                                                {LibrarySetting::RestorePointsWeekly, QString::number(rule.weekly)},
                                                {LibrarySetting::RestorePointsMonthly, QString::number(rule.monthly)},
                                                {LibrarySetting::SecondBackupFolder, secondFolder}};
    // All of them or none.
    return CatchDbError([&] {
        Connection &conn = LibraryConnection(store);
        Transaction tx(conn);
        for (const auto &[name, value] : values)
            WriteLibrarySetting(conn, name, value, store.operatorName);
        tx.commit();
    });
}

QString SecondBackupFolder(const DataStore &store)
{
    const Result<QString> value = ReadLibrarySetting(store, LibrarySetting::SecondBackupFolder);
    return value ? value.value().trimmed() : QString();
}

QString SecondBackupFolderProblem(const QString &folder, const QString &appDir)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return QStringLiteral("文件夹“%1”不存在。请先接上 U 盘或网络文件夹，再选择它。").arg(native(folder));
    const QString chosen = info.canonicalFilePath();
    const QString data = QFileInfo(appDir).canonicalFilePath();
    const QString local = QFileInfo(BackupFolderPath(appDir)).canonicalFilePath();
    if (chosen == data || (!local.isEmpty() && chosen == local))
        return QStringLiteral("第二备份文件夹要与数据文件夹和“%1”文件夹分开，最好在另一个磁盘上。")
            .arg(kBackupFolderName);
    return QString();
}

QList<RestorePoint> ListRestorePoints(const QString &backupFolder, const QStringList &keys)
{
    QList<RestorePoint> points;
    for (const auto &[day, path] : datedFiles(RestorePointFolder(backupFolder))) {
        RestorePoint point;
        point.path = QFileInfo(path).absoluteFilePath();
        point.day = day;
        point.size = QFileInfo(path).size();
        for (const QString &key : keys) {
            if (KeyOpensFile(path, key)) {
                point.key = key;
                point.opened = true;
                break;
            }
        }
        if (point.opened) {
            point.problem = CheckFileIntegrity(path, point.key);
            if (point.problem.isEmpty()) {
                try {
                    Connection conn = Connection::open(path, point.key);
                    point.experts = countRows(conn, QStringLiteral("expert_msg"));
                    point.draws = countRows(conn, QStringLiteral("sel_expert"));
                } catch (const DbError &e) {
                    point.problem = e.sentence();
                }
            }
        }
        points.append(point);
    }
    std::sort(points.begin(), points.end(), [](const RestorePoint &a, const RestorePoint &b) { return a.day > b.day; });
    return points;
}

QString RestorePointCheckText(const RestorePoint &point)
{
    if (!point.opened)
        return QStringLiteral("有另外的密码");
    if (!point.problem.isEmpty())
        return QStringLiteral("已损坏，不能使用");
    return QStringLiteral("完好");
}

QString ReadableSize(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(qMax<qint64>(1, (bytes + 1023) / 1024));
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString RestorePointLine(const RestorePoint &point)
{
    const auto count = [](int n) { return n < 0 ? QStringLiteral("-") : QString::number(n); };
    QString check = RestorePointCheckText(point);
    if (point.opened && !point.problem.isEmpty())
        check += QStringLiteral("（数据库引擎报告：%1）").arg(point.problem.simplified());
    return QStringLiteral("%1  %2  专家 %3  抽取记录 %4  %5  %6")
        .arg(point.day.toString(QStringLiteral("yyyy-MM-dd")), ReadableSize(point.size), count(point.experts),
             count(point.draws), check, native(point.path));
}
