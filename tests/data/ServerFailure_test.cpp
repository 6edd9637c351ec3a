// What a user is told of a server's failure: a Chinese sentence naming the
// server, libpq's own text only as the detail, and whether 重试 is offered.
#include "data/ServerBackend.h"

#include <gtest/gtest.h>

namespace {

const QString kServer = QStringLiteral("服务器 db.example/kestrune");

struct Case {
    const char *sqlstate;
    bool connectionLost;
    const char *serverText;
    Failure::Kind kind;
    const char *says;   // part of the sentence
};

}   // namespace

TEST(ServerFailure, EachErrorIsAChineseSentenceWithTheServersTextAsDetail)
{
    using K = Failure::Kind;
    const Case cases[] = {
        {"", true, "server closed the connection unexpectedly", K::Disconnected, "无法连接"},
        {"57P01", false, "terminating connection due to administrator command", K::Disconnected, "无法连接"},
        {"08006", false, "could not receive data from server: Connection reset by peer", K::Disconnected, "无法连接"},
        {"57P03", false, "the database system is starting up", K::Disconnected, "无法连接"},
        {"55P03", false, "canceling statement due to lock timeout", K::Busy, "另一个用户正在写入"},
        {"57014", false, "canceling statement due to statement timeout", K::Busy, "另一个用户正在写入"},
        {"40P01", false, "deadlock detected", K::Busy, "另一个用户正在写入"},
        {"40001", false, "could not serialize access due to concurrent update", K::Busy, "另一个用户正在写入"},
        {"42501", false, "permission denied for table expert_msg", K::Failed, "没有所需的权限"},
        {"28P01", false, "password authentication failed for user \"k\"", K::Failed, "没有所需的权限"},
        {"53100", false, "could not extend file: No space left on device", K::Failed, "磁盘空间或内存不足"},
        {"23505", false, "duplicate key value violates unique constraint", K::Failed, "编号相同的记录"},
        {"23502", false, "null value in column \"id\" violates not-null constraint", K::Failed, "不接受写入的数据"},
        {"22021", false, "invalid byte sequence for encoding \"UTF8\"", K::Failed, "不接受写入的数据"},
        {"25006", false, "cannot execute UPDATE in a read-only transaction", K::Failed, "只允许读取"},
        {"42P01", false, "relation \"expert_msg\" does not exist", K::Failed, "与本软件的专家库不符"},
        {"XX000", false, "internal error", K::Failed, "操作失败"},
        {"", false, "something libpq says", K::Failed, "操作失败"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.sqlstate) + " " + c.serverText);
        const Failure f =
            ServerFailure(QString::fromLatin1(c.sqlstate), c.connectionLost, kServer, QString::fromUtf8(c.serverText));
        EXPECT_EQ(f.kind, c.kind);
        EXPECT_TRUE(f.message.contains(QString::fromUtf8(c.says))) << f.message.toStdString();
        EXPECT_TRUE(f.message.contains(kServer)) << f.message.toStdString();
        // Nothing of the server's English in the sentence itself.
        EXPECT_FALSE(f.message.contains(QString::fromUtf8(c.serverText))) << f.message.toStdString();
        for (const QChar ch : f.message)
            EXPECT_FALSE(ch.isLetter() && ch.unicode() < 0x80 && !kServer.contains(ch)) << f.message.toStdString();
        EXPECT_EQ(f.detail, QString::fromUtf8(c.serverText));
        // Whatever the failure, the user learns that the operation did not go through.
        EXPECT_TRUE(f.message.contains("没有完成")) << f.message.toStdString();
    }
}
