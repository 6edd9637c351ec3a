// Why a data file does not open at start, and what the user is told about
// each cause: only where the content is lost is an older copy the advice.

#include "TestApp.h"
#include "TestFiles.h"
#include "data/Database.h"
#include "files/DataFileProblem.h"
#include "files/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Make { Sound, Unreadable, Folder, Empty, Cut50K, RandomBytes, OtherKey, DamagedPage };

// Makes the case's file at path from the sound library file.
bool MakeFile(Make how, const QString &sound, const QString &path)
{
    switch (how) {
    case Make::Sound:
        return QFile::copy(sound, path);
    case Make::Unreadable:
        return QFile::copy(sound, path) && ::chmod(QFile::encodeName(path).constData(), 0) == 0;
    case Make::Folder:
        return QDir().mkdir(path) && WriteAll(QDir(path).filePath("note.txt"), "x");
    case Make::Empty:
        return WriteAll(path, QByteArray());
    case Make::Cut50K:
        return WriteAll(path, ReadAll(sound).left(50 * 1024));
    case Make::RandomBytes: {
        QByteArray bytes(64 * 1024, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        return WriteAll(path, bytes);
    }
    case Make::OtherKey: {
        Connection c = Connection::create(path, "another-password");
        c.exec("CREATE TABLE t(x)");
        c.exec("INSERT INTO t VALUES ('张三')");
        c.close();
        return true;
    }
    case Make::DamagedPage:
        return QFile::copy(sound, path) && DamagePages(path);
    }
    return false;
}

// Runs work as an ordinary user where the tests run as root, for whom no
// permission bit counts (only when asked: the copies in the backup folder
// stay the owner's).
template <class F> auto AsOrdinaryUser(bool ordinary, F &&work)
{
    const bool root = ordinary && ::geteuid() == 0;
    if (root && ::seteuid(65534) != 0)
        ADD_FAILURE() << "cannot become an ordinary user";
    auto result = work();
    if (root && ::seteuid(0) != 0)
        ADD_FAILURE() << "cannot become root again";
    return result;
}

TEST(DataFileProblem, EachCauseIsToldApartWithItsOwnAdvice)
{
    struct Case {
        Make make;
        DataFileProblem cause;
        const char *says;   // the part of the message only this cause has
        bool namesCopy;     // replacing the file is the advice
    };
    const Case cases[] = {
        {Make::Sound, DataFileProblem::None, "", false},
        {Make::Unreadable, DataFileProblem::NoPermission, "没有读写数据库文件的权限", false},
        {Make::Folder, DataFileProblem::NotAFile, "不是一个文件", false},
        {Make::Empty, DataFileProblem::Empty, "长度为 0", true},
        {Make::Cut50K, DataFileProblem::CutShort, "文件被截断", true},
        {Make::RandomBytes, DataFileProblem::Foreign, "不是本程序能打开的专家库", true},
        {Make::OtherKey, DataFileProblem::Foreign, "不是本程序能打开的专家库", true},
        {Make::DamagedPage, DataFileProblem::Damaged, "读不出的数据页", true},
    };
    TestApp app;
    app.addExperts(400);
    ASSERT_TRUE(BackupDataFile(app.appDir()).ok());
    const QString exitBackup = QDir(BackupFolderPath(app.appDir())).filePath("ProSys.mdb");
    ASSERT_GT(QFileInfo(exitBackup).size(), 80 * 1024);
    // An ordinary user must reach the files of the case (but not read the
    // unreadable one).
    ASSERT_TRUE(QFile::setPermissions(app.appDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                        QFileDevice::ExeOther));
    QTemporaryDir scratch;
    ::chmod(QFile::encodeName(scratch.path()).constData(), 0777);
    const QStringList all = {"乙", "丙", "丁", "戊", "己", "庚", "辛", "壬"};
    int n = 0;
    for (const Case &c : cases) {
        const QString path = scratch.filePath(all[n++] + ".mdb");
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(MakeFile(c.make, exitBackup, path));
        if (::geteuid() == 0)
            ::chown(QFile::encodeName(path).constData(), 65534, 65534);
        const QByteArray before = c.make == Make::Folder ? QByteArray() : ReadAll(path);
        const bool ordinary = c.make == Make::Unreadable;
        const DataFileProblem cause = AsOrdinaryUser(ordinary, [&] { return DiagnoseDataFile(path); });
        EXPECT_EQ(int(cause), int(c.cause));
        const QString text = AsOrdinaryUser(ordinary, [&] { return DataFileProblemMessage(app.appDir(), path); });
        if (c.cause == DataFileProblem::None) {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.says))) << text.toStdString();
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators(path))) << text.toStdString();
        EXPECT_EQ(text.contains(QDir::toNativeSeparators(exitBackup)), c.namesCopy) << text.toStdString();
        // A sound file the user only may not read is never called damaged.
        if (!c.namesCopy)
            EXPECT_FALSE(text.contains("损坏")) << text.toStdString();
        // Looking never changes the file.
        if (c.make != Make::Folder && c.make != Make::Unreadable)
            EXPECT_EQ(ReadAll(path), before);
    }
}

TEST(DataFileProblem, WithoutASoundCopyTheMessageSaysSo)
{
    for (DataFileProblem p :
         {DataFileProblem::Empty, DataFileProblem::CutShort, DataFileProblem::Foreign, DataFileProblem::Damaged}) {
        const QString text = DataFileProblemMessage(p, "/data/ProSys.mdb", "/data/数据库备份", std::nullopt);
        EXPECT_TRUE(text.contains("没有完好的副本")) << text.toStdString();
        EXPECT_TRUE(text.contains("/data/数据库备份")) << text.toStdString();
    }
    for (DataFileProblem p : {DataFileProblem::NoPermission, DataFileProblem::NotAFile}) {
        const GoodCopy copy{"/data/数据库备份/ProSys.mdb", QDateTime(QDate(2026, 12, 1), QTime(17, 30))};
        const QString text = DataFileProblemMessage(p, "/data/ProSys.mdb", "/data/数据库备份", copy);
        EXPECT_FALSE(text.contains("副本")) << text.toStdString();
    }
}

}   // namespace
