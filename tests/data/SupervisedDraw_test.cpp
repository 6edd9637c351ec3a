// The supervised draw's arithmetic: fixed vectors that a separate program
// (tests/extraction/rederive_supervised.py, hashlib only) gives too, the
// commitment, the supervisor's number, and what a check of a stored seed
// catches.

#include "data/DrawRecord.h"
#include "data/SupervisedDraw.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

QStringList TenIds()
{
    QStringList ids;
    for (int i = 1; i <= 10; ++i)
        ids << QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
    return ids;
}

QByteArray CountingBytes()
{
    QByteArray b;
    for (int i = 0; i < 32; ++i)
        b.append(char(i));
    return b;
}

QVector<qsizetype> V(std::initializer_list<qsizetype> l) { return QVector<qsizetype>(l); }

TEST(SupervisedDraw, FixedVectors)
{
    const QStringList ids = TenIds();
    const QString hash = CandidateHash(ids);
    ASSERT_EQ(hash, "08c4a97627d41d3863ebeaa6eabfa13db42db10af781986275bd318f99bdd8b9");
    EXPECT_EQ(Commitment(CountingBytes()), "630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd");

    struct Case {
        const char *supervisor;
        const char *publicNumber;
        const char *key;
        QVector<qsizetype> order;
    };
    const Case cases[] = {
        {"123456", "", "ce91927dfbc2e6cb498aee85b8c42ad51366f798310c6684186515832ffb8eb3",
         V({2, 5, 8, 7, 0, 9, 1, 4, 3, 6})},
        // Leading zeros are part of the number; the public number is UTF-8.
        {"000123456", "2026-12-09 双色球 03 07 15 22 28 31 + 09",
         "5f7a152fea5af95b73897a265faed02919e5c8d760860c27501f8dabd552b4d0", V({7, 5, 8, 2, 4, 9, 6, 3, 0, 1})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.supervisor);
        const QByteArray key =
            SupervisedKey(hash, QString::fromUtf8(c.supervisor), CountingBytes(), QString::fromUtf8(c.publicNumber));
        EXPECT_EQ(key.toHex(), QByteArray(c.key));
        EXPECT_EQ(SupervisedOrder(key, 10), c.order);
        const SupervisedSeed seed = DeriveSupervised(ids, CountingBytes(), QString::fromUtf8(c.supervisor),
                                                     QString::fromUtf8(c.publicNumber), QDateTime());
        EXPECT_EQ(seed.order, c.order);
        EXPECT_TRUE(CheckSupervised(seed, ids).isEmpty());
    }
    EXPECT_EQ(SupervisedOrder(QByteArray(32, '\0'), 5), V({3, 2, 0, 1, 4}));
    EXPECT_EQ(SupervisedOrder(QByteArray(32, '\0'), 1), V({0}));
    EXPECT_TRUE(SupervisedOrder(QByteArray(32, '\0'), 0).isEmpty());
}

TEST(SupervisedDraw, OrderIsAPermutationOfALargeList)
{
    const QVector<qsizetype> order = SupervisedOrder(QByteArray(32, '\x5a'), 40000);
    ASSERT_EQ(order.size(), 40000);
    QVector<bool> seen(40000, false);
    for (qsizetype i : order) {
        ASSERT_TRUE(i >= 0 && i < 40000);
        ASSERT_FALSE(seen[i]);
        seen[i] = true;
    }
}

TEST(SupervisedDraw, EveryInputMovesTheOrder)
{
    const QStringList ids = TenIds();
    const SupervisedSeed base = DeriveSupervised(ids, CountingBytes(), "123456", "", QDateTime());
    QByteArray otherBytes = CountingBytes();
    otherBytes[31] = 'x';
    QStringList otherIds = ids;
    otherIds.swapItemsAt(0, 1);
    EXPECT_NE(DeriveSupervised(ids, otherBytes, "123456", "", QDateTime()).order, base.order);
    EXPECT_NE(DeriveSupervised(ids, CountingBytes(), "123457", "", QDateTime()).order, base.order);
    EXPECT_NE(DeriveSupervised(ids, CountingBytes(), "123456", "1", QDateTime()).order, base.order);
    // The same list in another order hashes differently, so the key changes.
    EXPECT_NE(SupervisedKey(CandidateHash(otherIds), "123456", CountingBytes(), ""),
              SupervisedKey(CandidateHash(ids), "123456", CountingBytes(), ""));
}

TEST(SupervisedDraw, CheckCatchesEachTampering)
{
    const QStringList ids = TenIds();
    const SupervisedSeed good = DeriveSupervised(ids, CountingBytes(), "654321", "", QDateTime());
    ASSERT_EQ(good.commitment, Commitment(good.revealed));

    struct Case {
        const char *what;
        std::function<void(SupervisedSeed &, QStringList &)> change;
    };
    const Case cases[] = {
        {"revealed bytes", [](SupervisedSeed &s, QStringList &) { s.revealed[0] = char(s.revealed[0] ^ 1); }},
        {"commitment", [](SupervisedSeed &s, QStringList &) { s.commitment.replace(0, 1, "f"); }},
        {"supervisor number", [](SupervisedSeed &s, QStringList &) { s.supervisorNumber = "654322"; }},
        {"public number", [](SupervisedSeed &s, QStringList &) { s.publicNumber = "7"; }},
        {"order", [](SupervisedSeed &s, QStringList &) { s.order.swapItemsAt(0, 1); }},
        {"candidate list", [](SupervisedSeed &, QStringList &l) { l.swapItemsAt(2, 3); }},
        {"short bytes", [](SupervisedSeed &s, QStringList &) { s.revealed.chop(1); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SupervisedSeed s = good;
        QStringList list = ids;
        c.change(s, list);
        EXPECT_FALSE(CheckSupervised(s, list).isEmpty());
    }
}

TEST(SupervisedDraw, SupervisorNumberRules)
{
    struct Case {
        const char *first;
        const char *again;
        bool ok;
    };
    const Case cases[] = {
        {"123456", "123456", true},    {" 987654321 ", "987654321", true},
        {"012345", "012345", true},    {"", "", false},
        {"12345", "12345", false},     {"123456", "123465", false},
        {"123456", "", false},         {"12a456", "12a456", false},
        {"123 456", "123 456", false}, {"１２３４５６", "１２３４５６", false},
        {"-123456", "-123456", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(SupervisorNumberProblem(QString::fromUtf8(c.first), QString::fromUtf8(c.again)).isEmpty(), c.ok);
    }
    EXPECT_FALSE(SupervisorNumberProblem(QString(65, '1'), QString(65, '1')).isEmpty());
    EXPECT_TRUE(PublicNumberProblem("").isEmpty());
    EXPECT_TRUE(PublicNumberProblem("2026-12-09 03 07 15").isEmpty());
    EXPECT_FALSE(PublicNumberProblem("1\n2").isEmpty());
    EXPECT_FALSE(PublicNumberProblem(QString(201, 'x')).isEmpty());
}

TEST(SupervisedDraw, StoredFormsReadBack)
{
    const QVector<qsizetype> order = SupervisedOrder(QByteArray(32, '\x01'), 500);
    QVector<qsizetype> back;
    ASSERT_TRUE(UnpackOrder(PackOrder(order), &back));
    EXPECT_EQ(back, order);
    EXPECT_FALSE(UnpackOrder(qCompress(QByteArray("1,x")), &back));

    ReserveUse use{3, V({5, 7}), {{6, "000042", QStringLiteral("已停用")}}};
    ReserveUse read;
    ASSERT_TRUE(ReserveUseFromText(ReserveUseToText(use), &read));
    EXPECT_EQ(read, use);
    EXPECT_FALSE(ReserveUseFromText("{", &read));
}

}   // namespace
