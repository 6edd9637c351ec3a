// Files others must be able to read: a new file gets the user's usual
// permissions (read and write for all, less the umask), a replaced file
// keeps its own, whichever kind of writer made it.

#include "TestFiles.h"
#include "data/FileCopy.h"
#include "files/StagedFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The user's umask while it lives.
class Umask {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

mode_t ModeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

// The two ways a program writes the file it is given: into it (the database
// engine), or by saving a new file and putting it in its place (the office),
// which leaves the new file with whatever mode that program chose.
enum class Writer { IntoTheFile, ReplacingIt };

bool Write(Writer writer, const QString &path, const QByteArray &bytes)
{
    if (writer == Writer::IntoTheFile)
        return WriteAll(path, bytes);
    const QString own = path + ".own";
    if (!WriteAll(own, bytes) || !QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    return std::rename(QFile::encodeName(own).constData(), QFile::encodeName(path).constData()) == 0;
}

TEST(FileModes, AStagedFileIsLikeAnyNewFileAndAReplacedOneKeepsItsMode)
{
    for (mode_t mask : {mode_t(022), mode_t(077), mode_t(002)}) {
        for (Writer writer : {Writer::IntoTheFile, Writer::ReplacingIt}) {
            for (bool existing : {false, true}) {
                SCOPED_TRACE(QStringLiteral("umask %1, %2, %3")
                                 .arg(mask, 3, 8, QLatin1Char('0'))
                                 .arg(writer == Writer::IntoTheFile ? "writes into it" : "replaces it")
                                 .arg(existing ? "replacing a file" : "new file")
                                 .toStdString());
                QTemporaryDir dir;
                const QString target = dir.filePath("专家抽取表.xls");
                if (existing) {
                    ASSERT_TRUE(WriteAll(target, "old"));
                    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
                }
                Umask umask(mask);
                StagedFile staged(target, ".xls");
                ASSERT_TRUE(staged.create().ok());
                ASSERT_TRUE(Write(writer, staged.path(), "new"));
                ASSERT_TRUE(staged.place().ok());
                EXPECT_EQ(ReadAll(target), "new");
                EXPECT_EQ(ModeOf(target), existing ? mode_t(0640) : (0666 & ~mask));
            }
        }
    }
}

TEST(FileModes, ACopyIsLikeAnyNewFileAndAReplacedOneKeepsItsMode)
{
    // The exit backup, the safety copies and a restore are written as copies.
    for (mode_t mask : {mode_t(022), mode_t(077)}) {
        for (bool existing : {false, true}) {
            SCOPED_TRACE(QStringLiteral("umask %1, %2").arg(mask, 3, 8, QLatin1Char('0')).arg(existing).toStdString());
            QTemporaryDir dir;
            const QString source = dir.filePath("ProSys.mdb");
            const QString target = dir.filePath("数据库备份.mdb");
            ASSERT_TRUE(WriteAll(source, "data"));
            ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0600), 0);
            if (existing) {
                ASSERT_TRUE(WriteAll(target, "old"));
                ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
            }
            Umask umask(mask);
            ASSERT_TRUE(CopyFileReplacing(source, target).ok());
            EXPECT_EQ(ReadAll(target), "data");
            EXPECT_EQ(ModeOf(target), existing ? mode_t(0640) : (0666 & ~mask));
        }
    }
}

}   // namespace
