#include "TestFiles.h"
#include "files/StagedFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList Hidden(const QString &dir) { return QDir(dir).entryList({".*"}, QDir::Files | QDir::Hidden); }

TEST(StagedFile, TakesTheTargetsPlaceOnlyWhenPlaced)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("报表.xls");
    ASSERT_TRUE(WriteAll(target, "old"));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);

    {
        // Written but never placed: the old file stays, nothing is left over.
        StagedFile staged(target, ".xls");
        ASSERT_TRUE(staged.create().ok());
        EXPECT_TRUE(staged.path().endsWith(".xls"));
        EXPECT_EQ(QFileInfo(staged.path()).absolutePath(), dir.path());
        ASSERT_TRUE(WriteAll(staged.path(), "half"));
    }
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_TRUE(Hidden(dir.path()).isEmpty());

    // Placed: the new content, with the replaced file's permissions.
    StagedFile staged(target, ".xls");
    ASSERT_TRUE(staged.create().ok());
    ASSERT_TRUE(WriteAll(staged.path(), "new"));
    const Outcome placed = staged.place();
    ASSERT_TRUE(placed.ok()) << placed.message().toStdString();
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_EQ(QFile::permissions(target) & (QFile::ReadOther | QFile::ReadOwner | QFile::WriteOwner),
              QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(Hidden(dir.path()).isEmpty());
}

TEST(StagedFile, ANewFileIsReadableByEveryone)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("备份.mdb");
    StagedFile staged(target, ".part");
    ASSERT_TRUE(staged.create().ok());
    ASSERT_TRUE(WriteAll(staged.path(), "copy"));
    ASSERT_TRUE(staged.place().ok());
    EXPECT_TRUE(QFile::permissions(target) & QFile::ReadOther);
    EXPECT_TRUE(QFile::permissions(target) & QFile::ReadGroup);
}

TEST(StagedFile, FailuresSayWhereAndLeaveTheTarget)
{
    QTemporaryDir dir;
    // A folder that does not exist cannot hold the temporary file.
    StagedFile nowhere(dir.filePath("missing/报表.xls"), ".xls");
    const Outcome created = nowhere.create();
    EXPECT_FALSE(created.ok());
    EXPECT_TRUE(created.message().contains("missing")) << created.message().toStdString();

    // A folder in the target's place cannot be replaced by a file.
    const QString target = dir.filePath("报表.xls");
    ASSERT_TRUE(QDir().mkdir(target));
    StagedFile staged(target, ".xls");
    ASSERT_TRUE(staged.create().ok());
    const Outcome placed = staged.place();
    EXPECT_FALSE(placed.ok());
    EXPECT_TRUE(placed.message().contains(QDir::toNativeSeparators(target))) << placed.message().toStdString();
    EXPECT_TRUE(QFileInfo(target).isDir());
}

}   // namespace
