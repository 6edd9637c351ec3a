#include "TestApp.h"
#include "TestFiles.h"
#include "admin/DataMaintenance.h"
#include "data/Database.h"
#include "files/DataFolder.h"
#include "files/RestorePoints.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QDate D(const char *text) { return QDate::fromString(QString::fromLatin1(text), Qt::ISODate); }

QList<QDate> Days(std::initializer_list<const char *> texts)
{
    QList<QDate> out;
    for (const char *t : texts)
        out.append(D(t));
    return out;
}

// The days that have a restore point under a backup folder, newest first.
QList<QDate> DaysOnDisk(const QString &backupFolder)
{
    QList<QDate> out;
    for (const QString &name :
         QDir(RestorePointFolder(backupFolder)).entryList(QDir::Files, QDir::Name | QDir::Reversed))
        if (RestorePointDay(name).isValid())
            out.append(RestorePointDay(name));
    return out;
}

QStringList HiddenIn(const QString &folder) { return QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden); }

}   // namespace

// Which days keep their copy: the newest of each of the last daily days, of
// the last weekly ISO weeks and of the last monthly months, newest first.
TEST(RetentionRule, KeepsTheNewestOfEachDayWeekAndMonth)
{
    struct Case {
        const char *what;
        QList<QDate> present;
        QDate today;
        RetentionRule rule;
        QList<QDate> kept;
    };
    const Case cases[] = {
        {"the first exit", {}, D("2026-12-10"), {}, Days({"2026-12-10"})},
        {"today already has one", Days({"2026-12-10"}), D("2026-12-10"), {}, Days({"2026-12-10"})},
        {"eleven days in a row: seven days, the month before by its newest",
         Days({"2026-11-30", "2026-12-01", "2026-12-02", "2026-12-03", "2026-12-04", "2026-12-05", "2026-12-06",
               "2026-12-07", "2026-12-08", "2026-12-09"}),
         D("2026-12-10"),
         {},
         Days({"2026-12-10", "2026-12-09", "2026-12-08", "2026-12-07", "2026-12-06", "2026-12-05", "2026-12-04",
               "2026-11-30"})},
        {"last week's newest day survives the days",
         Days({"2026-12-01", "2026-12-02", "2026-12-03", "2026-12-07", "2026-12-08"}),
         D("2026-12-10"),
         {2, 2, 2},
         Days({"2026-12-10", "2026-12-08", "2026-12-03"})},
        {"months across the new year",
         Days({"2025-11-15", "2025-11-30", "2025-12-31", "2026-01-02"}),
         D("2026-02-01"),
         {0, 0, 3},
         Days({"2026-02-01", "2026-01-02", "2025-12-31"})},
        // 2027-01-02 still belongs to the 53rd week of 2026, with 2026-12-28.
        {"a week that spans the new year is one week",
         Days({"2026-12-20", "2026-12-27", "2026-12-28"}),
         D("2027-01-02"),
         {1, 2, 0},
         Days({"2027-01-02", "2026-12-27"})},
        {"a copy dated after today is kept and counts for nothing",
         Days({"2027-05-01", "2026-12-09"}),
         D("2026-12-10"),
         {1, 0, 0},
         Days({"2027-05-01", "2026-12-10"})},
        {"a rule that keeps nothing", Days({"2026-12-01"}), D("2026-12-10"), {0, 0, 0}, {}},
        {"gaps between exits: the last seven days of use, not of the calendar",
         Days({"2026-06-01", "2026-07-01", "2026-08-03", "2026-09-01", "2026-10-01", "2026-11-02"}),
         D("2026-12-01"),
         {7, 0, 0},
         Days({"2026-12-01", "2026-11-02", "2026-10-01", "2026-09-01", "2026-08-03", "2026-07-01", "2026-06-01"})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RetainedDays(c.present, c.today, c.rule), c.kept);
    }
}

TEST(RestorePointNames, OnlyTheProgramsOwnNamesCarryADay)
{
    const struct {
        const char *name;
        QDate day;
    } cases[] = {
        {"ProSys_20261210.mdb", D("2026-12-10")}, {"ProSys_20261310.mdb", QDate()},   // no such month
        {"ProSys_20261210.mdb.bak", QDate()},     {"ProSys_初始化前_20261210.mdb", QDate()},
        {".kestrune-rp-20261210.mdb", QDate()},   {"prosys_20261210.mdb", QDate()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RestorePointDay(QString::fromUtf8(c.name)), c.day);
    }
}

namespace {

// A library with a few experts and draws, and its exit backup.
struct RestoreFixture {
    TestApp app;
    QString backupFolder;
    QString exitBackup;

    RestoreFixture()
    {
        app.addExperts(120);   // enough pages to spoil one deep inside
        app.addSelection("2026-12-01", "000001");
        backupFolder = BackupFolderPath(app.appDir());
        exitBackup = QDir(backupFolder).filePath("ProSys.mdb");
        writeExitBackup();
    }
    void writeExitBackup() { EXPECT_TRUE(BackupLibrary(app.state.store).ok()); }
    QString key() const { return ExitBackupKey(app.state.store); }
};

}   // namespace

TEST(RestorePoint, IsACheckedCopyOfTheExitBackupThatOpensWithTheLibrarysKey)
{
    RestoreFixture f;
    ASSERT_TRUE(ChangeLibraryPassword(f.app.maintenanceTarget(), "Restore-Point-7").ok());
    f.writeExitBackup();
    ASSERT_EQ(f.key(), "Restore-Point-7");

    const Outcome kept = KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-10"));
    ASSERT_TRUE(kept.ok()) << kept.message().toStdString() << kept.detail().toStdString();
    const QString point = RestorePointPath(f.backupFolder, D("2026-12-10"));
    EXPECT_EQ(kept.message(), point);
    EXPECT_EQ(ReadAll(point), ReadAll(f.exitBackup));
    EXPECT_TRUE(KeyOpensFile(point, "Restore-Point-7"));
    EXPECT_FALSE(KeyOpensFile(point, QString()));
    EXPECT_TRUE(HiddenIn(RestorePointFolder(f.backupFolder)).isEmpty());

    // Told the default password for a file under the library's own, the
    // copy fails its check and never becomes a restore point.
    const Outcome wrongKey = KeepRestorePoint(f.backupFolder, f.exitBackup, QString(), D("2026-12-11"));
    EXPECT_FALSE(wrongKey.ok());
    EXPECT_EQ(DaysOnDisk(f.backupFolder), Days({"2026-12-10"}));
    EXPECT_TRUE(HiddenIn(RestorePointFolder(f.backupFolder)).isEmpty());
}

// However the copy goes wrong (the run killed after writing it, a copy whose
// pages come out damaged, a truncated one), the day's earlier restore point
// and the others stay as they were, and the half copy is never listed.
TEST(RestorePoint, AFailedOrKilledCopyNeverBecomesARestorePoint)
{
    struct Case {
        const char *what;
        RestorePointProbe probe;
    };
    const Case cases[] = {
        {"killed after the copy", [](const QString &) { return Outcome::fail("killed"); }},
        {"damaged pages",
         [](const QString &staged) {
             return DamagePages(staged) ? Outcome::success() : Outcome::fail("could not damage");
         }},
        {"cut short",
         [](const QString &staged) {
             QFile f(staged);
             return f.resize(f.size() / 2) ? Outcome::success() : Outcome::fail("could not cut");
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RestoreFixture f;
        ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-09")).ok());
        ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-10")).ok());
        const QByteArray before = ReadAll(RestorePointPath(f.backupFolder, D("2026-12-10")));
        f.app.addExpert("新专家");
        f.writeExitBackup();

        const Outcome sameDay = KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-10"), {}, c.probe);
        EXPECT_FALSE(sameDay.ok());
        EXPECT_FALSE(sameDay.message().isEmpty());
        EXPECT_EQ(ReadAll(RestorePointPath(f.backupFolder, D("2026-12-10"))), before);
        const Outcome nextDay = KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-11"), {}, c.probe);
        EXPECT_FALSE(nextDay.ok());
        EXPECT_EQ(DaysOnDisk(f.backupFolder), Days({"2026-12-10", "2026-12-09"}));
        EXPECT_TRUE(HiddenIn(RestorePointFolder(f.backupFolder)).isEmpty());
        for (const RestorePoint &p : ListRestorePoints(f.backupFolder, {QString()}))
            EXPECT_TRUE(p.sound()) << p.path.toStdString();
    }
}

TEST(RestorePoint, WhatAKilledRunLeftIsNeverListedAndGoesAtTheNextExit)
{
    RestoreFixture f;
    ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-09")).ok());
    const QString history = RestorePointFolder(f.backupFolder);
    // A run killed while copying leaves its staged copy under its own name.
    const QString left = QDir(history).filePath(".kestrune-rp-20261210.mdb");
    ASSERT_TRUE(WriteAll(left, ReadAll(f.exitBackup).left(4096)));
    // The user's own files in the folder are none of the program's business.
    const QString own = QDir(history).filePath("ProSys_20261201.mdb.bak");
    ASSERT_TRUE(WriteAll(own, "mine"));

    const QList<RestorePoint> listed = ListRestorePoints(f.backupFolder, {QString()});
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].day, D("2026-12-09"));

    ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-10"), {0, 0, 0}).ok());
    EXPECT_FALSE(QFileInfo::exists(left));
    EXPECT_EQ(ReadAll(own), "mine");
    // A rule that keeps nothing writes nothing and prunes the rest.
    EXPECT_TRUE(DaysOnDisk(f.backupFolder).isEmpty());
}

// The list reads each copy as it is: its day, size, how many experts and
// extraction records it holds, and what the check found.
TEST(RestorePointList, ShowsTheCountsAndTheCheckOfEachCopy)
{
    RestoreFixture f;
    ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-08")).ok());
    f.app.addExpert("第121位");
    f.app.addSelection("2026-12-09", "000002");
    f.app.addSelection("2026-12-09", "000003");
    f.writeExitBackup();
    ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-09")).ok());
    ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-10")).ok());
    ASSERT_TRUE(DamagePages(RestorePointPath(f.backupFolder, D("2026-12-10"))));
    // A copy from before the library had a password of its own.
    ASSERT_TRUE(ChangeLibraryPassword(f.app.maintenanceTarget(), "Restore-Point-7").ok());
    f.writeExitBackup();
    ASSERT_TRUE(KeepRestorePoint(f.backupFolder, f.exitBackup, f.key(), D("2026-12-11")).ok());

    const QList<RestorePoint> plain = ListRestorePoints(f.backupFolder, {QString()});
    ASSERT_EQ(plain.size(), 4);
    const struct {
        QDate day;
        bool opened;
        int experts;
        int draws;
        QString check;
    } expected[] = {
        {D("2026-12-11"), false, -1, -1, "有另外的密码"},
        {D("2026-12-10"), true, -1, -1, "已损坏"},
        {D("2026-12-09"), true, 121, 3, "完好"},
        {D("2026-12-08"), true, 120, 1, "完好"},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const RestorePoint &p = plain[i];
        EXPECT_EQ(p.day, expected[i].day);
        EXPECT_EQ(p.opened, expected[i].opened);
        EXPECT_EQ(p.experts, expected[i].experts);
        EXPECT_EQ(p.draws, expected[i].draws);
        EXPECT_TRUE(RestorePointCheckText(p).startsWith(expected[i].check)) << RestorePointCheckText(p).toStdString();
        EXPECT_EQ(p.problem.isEmpty(), expected[i].check != QStringLiteral("已损坏"));
        EXPECT_EQ(p.size, QFileInfo(p.path).size());
        EXPECT_TRUE(RestorePointLine(p).startsWith(p.day.toString("yyyy-MM-dd")));
    }
    // With the library's password the newest opens and counts too.
    const QList<RestorePoint> keyed = ListRestorePoints(f.backupFolder, {"Restore-Point-7", QString()});
    ASSERT_EQ(keyed.size(), 4);
    EXPECT_TRUE(keyed[0].sound());
    EXPECT_EQ(keyed[0].key, "Restore-Point-7");
    EXPECT_EQ(keyed[0].experts, 121);
    EXPECT_EQ(keyed[3].key, QString());
}

TEST(SecondBackup, AFolderThatIsNotThereIsToldAndNeverMade)
{
    RestoreFixture f;
    QTemporaryDir stick;
    const QString pulled = stick.filePath("U盘");   // not plugged in

    EXPECT_TRUE(WriteSecondBackup(QString(), f.exitBackup, f.key(), D("2026-12-10")).ok());
    const Outcome missing = WriteSecondBackup(pulled, f.exitBackup, f.key(), D("2026-12-10"));
    EXPECT_FALSE(missing.ok());
    EXPECT_TRUE(missing.message().contains(QDir::toNativeSeparators(pulled)));
    EXPECT_FALSE(QFileInfo::exists(pulled));

    ASSERT_TRUE(QDir().mkdir(pulled));
    const Outcome written = WriteSecondBackup(pulled, f.exitBackup, f.key(), D("2026-12-10"));
    ASSERT_TRUE(written.ok()) << written.message().toStdString();
    EXPECT_EQ(ReadAll(QDir(pulled).filePath("ProSys.mdb")), ReadAll(f.exitBackup));
    EXPECT_EQ(DaysOnDisk(pulled), Days({"2026-12-10"}));
}

TEST(SecondBackup, MustBeAFolderApartFromTheDataFolder)
{
    TestApp app;
    ASSERT_TRUE(EnsureBackupFolder(app.appDir()).ok());
    QTemporaryDir other;
    const struct {
        QString folder;
        bool accepted;
    } cases[] = {
        {other.path(), true},    {other.filePath("missing"), false},
        {app.appDir(), false},   {BackupFolderPath(app.appDir()), false},
        {app.dataFile(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        EXPECT_EQ(SecondBackupFolderProblem(c.folder, app.appDir()).isEmpty(), c.accepted);
    }
}
