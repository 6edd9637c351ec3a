#include "reports/QrCode.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// What a separate reader (zbarimg) reads back from the image.
QByteArray ReadBack(const QImage &image)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("code.png"));
    if (!image.save(path))
        return "<not saved>";
    QProcess reader;
    reader.start(QStringLiteral("zbarimg"),
                 {QStringLiteral("--raw"), QStringLiteral("-q"), QStringLiteral("-Sbinary"), path});
    reader.waitForFinished(30000);
    return reader.readAllStandardOutput();
}

}   // namespace

TEST(QrCode, ReadsBackWhatWasEncoded)
{
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        GTEST_SKIP() << "zbarimg is not installed (scripts/install-deps.sh installs it)";
    const QByteArray record = QByteArrayLiteral("KESTRUNE-RECORD/1\nP|20260001\n") +
                              QByteArray("R|1|随机抽取|128|").append(QByteArray(64, 'a')) + "|||||5|1,2,3,4,5|1,2,3\n";
    const QList<QByteArray> cases = {QByteArrayLiteral("117:0123456789abcdef"), record, QByteArray(1500, 'x')};
    for (const QByteArray &data : cases) {
        const QImage image = QrImage(data, 3);
        ASSERT_FALSE(image.isNull()) << data.size();
        EXPECT_EQ(ReadBack(image), data) << data.left(40).toStdString();
    }
}

TEST(QrCode, SizeFollowsTheDataAndTheModule)
{
    const QByteArray head = QByteArrayLiteral("117:0123456789abcdef");
    const int modules = QrModules(head);
    ASSERT_GE(modules, 21);   // the smallest symbol
    EXPECT_EQ(QrImage(head, 5).width(), (modules + 8) * 5);
    EXPECT_GT(QrModules(QByteArray(1000, 'x')), modules);
    // The quiet zone stays white; the top-left finder pattern starts dark.
    const QImage image = QrImage(head, 2);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(8, 8), qRgb(0, 0, 0));
}

TEST(QrCode, TooMuchDataOrNoModuleGivesNoImage)
{
    EXPECT_TRUE(QrImage(QByteArray(4000, 'x')).isNull());
    EXPECT_EQ(QrModules(QByteArray(4000, 'x')), 0);
    EXPECT_TRUE(QrImage("abc", 0).isNull());
}
