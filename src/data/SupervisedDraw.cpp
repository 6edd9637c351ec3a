#include "data/SupervisedDraw.h"

#include "data/DrawRecord.h"
#include "data/SeededDraw.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sodium.h>

#include <vector>

namespace {

void ensureSodium()
{
    // Safe to call more than once; fails only when no random source can be
    // opened, and then nothing here may go on.
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        qFatal("libsodium could not be initialised");
}

QByteArray sha256(const QByteArray &bytes)
{
    ensureSodium();
    QByteArray out(crypto_hash_sha256_BYTES, Qt::Uninitialized);
    crypto_hash_sha256(reinterpret_cast<unsigned char *>(out.data()),
                       reinterpret_cast<const unsigned char *>(bytes.constData()), quint64(bytes.size()));
    return out;
}

bool allAsciiDigits(const QString &text)
{
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

void putBe32(unsigned char *out, quint32 v)
{
    out[0] = static_cast<unsigned char>(v >> 24);
    out[1] = static_cast<unsigned char>(v >> 16);
    out[2] = static_cast<unsigned char>(v >> 8);
    out[3] = static_cast<unsigned char>(v);
}

// Counts of the unchosen candidates, so that the j-th of them is found and
// taken out in log time: ordering 40,000 candidates stays quick.
class UnchosenTree {
public:
    explicit UnchosenTree(qsizetype n) : m_n(n), m_tree(size_t(n) + 1, 0)
    {
        for (qsizetype i = 1; i <= n; ++i) {
            m_tree[size_t(i)] += 1;
            const qsizetype parent = i + (i & -i);
            if (parent <= n)
                m_tree[size_t(parent)] += m_tree[size_t(i)];
        }
        m_top = 1;
        while (m_top * 2 <= n)
            m_top *= 2;
    }
    // Takes out and returns the j-th (0-based) unchosen index.
    qsizetype take(qsizetype j)
    {
        qsizetype pos = 0;
        qsizetype rest = j + 1;
        for (qsizetype step = m_top; step > 0; step /= 2) {
            const qsizetype next = pos + step;
            if (next <= m_n && m_tree[size_t(next)] < rest) {
                pos = next;
                rest -= m_tree[size_t(next)];
            }
        }
        for (qsizetype i = pos + 1; i <= m_n; i += i & -i)
            m_tree[size_t(i)] -= 1;
        return pos;
    }

private:
    qsizetype m_n;
    qsizetype m_top = 1;
    std::vector<qsizetype> m_tree;
};

}   // namespace

QString Sha256Hex(const QByteArray &bytes) { return QString::fromLatin1(sha256(bytes).toHex()); }

QByteArray SystemRandomBytes(int count)
{
    ensureSodium();
    QByteArray out(count, Qt::Uninitialized);
    randombytes_buf(out.data(), size_t(count));
    return out;
}

QByteArray RandomSource::nextBytes(int count) { return SystemRandomBytes(count); }

QString Commitment(const QByteArray &programBytes) { return Sha256Hex(programBytes); }

QString SupervisorNumberProblem(const QString &typed, const QString &typedAgain)
{
    const QString number = typed.trimmed();
    if (number.isEmpty())
        return QStringLiteral("请输入监督人的号码。");
    if (!allAsciiDigits(number))
        return QStringLiteral("监督人的号码只能由数字0～9组成。");
    if (number.size() < Supervised::kMinSupervisorDigits)
        return QStringLiteral("监督人的号码至少要有%1位数字。").arg(Supervised::kMinSupervisorDigits);
    if (number.size() > Supervised::kMaxSupervisorDigits)
        return QStringLiteral("监督人的号码最多%1位数字。").arg(Supervised::kMaxSupervisorDigits);
    if (typedAgain.trimmed() != number)
        return QStringLiteral("两次输入的监督人号码不一致，请重新输入。");
    return {};
}

QString PublicNumberProblem(const QString &typed)
{
    const QString number = typed.trimmed();
    if (number.contains(QLatin1Char('\n')) || number.contains(QLatin1Char('\r')))
        return QStringLiteral("公开号码不能分行。");
    if (number.size() > Supervised::kMaxPublicNumber)
        return QStringLiteral("公开号码最多%1个字符。").arg(Supervised::kMaxPublicNumber);
    return {};
}

QByteArray SupervisedKeyInput(const QString &candidateHash, const QString &supervisorNumber,
                              const QByteArray &programBytes, const QString &publicNumber)
{
    QByteArray input;
    input += Supervised::kKeyTag + '\n';
    input += candidateHash.toLower().toLatin1() + '\n';
    input += supervisorNumber.toLatin1() + '\n';
    input += programBytes.toHex() + '\n';
    input += publicNumber.trimmed().toUtf8() + '\n';
    return input;
}

QByteArray SupervisedKey(const QString &candidateHash, const QString &supervisorNumber, const QByteArray &programBytes,
                         const QString &publicNumber)
{
    return sha256(SupervisedKeyInput(candidateHash, supervisorNumber, programBytes, publicNumber));
}

QVector<qsizetype> SupervisedOrder(const QByteArray &key, qsizetype count)
{
    ensureSodium();
    QVector<qsizetype> order;
    if (count <= 0)
        return order;
    order.reserve(count);
    UnchosenTree unchosen(count);
    unsigned char input[4 + 32 + 4];
    unsigned char hash[crypto_hash_sha256_BYTES];
    const QByteArray k = key.left(32).leftJustified(32, '\0');
    memcpy(input + 4, k.constData(), 32);
    for (qsizetype i = 0; i < count; ++i) {
        putBe32(input, quint32(i));
        putBe32(input + 36, quint32(i));
        crypto_hash_sha256(hash, input, sizeof input);
        quint64 v = 0;
        for (int b = 0; b < 8; ++b)
            v = (v << 8) | hash[b];
        const quint64 remaining = quint64(count - i);
        order.append(unchosen.take(qsizetype(v % remaining)));
    }
    return order;
}

SupervisedSeed DeriveSupervised(const QStringList &candidateIds, const QByteArray &programBytes,
                                const QString &supervisorNumber, const QString &publicNumber,
                                const QDateTime &committedAt)
{
    SupervisedSeed s;
    s.commitment = Commitment(programBytes);
    s.committedAt = committedAt;
    s.revealed = programBytes;
    s.supervisorNumber = supervisorNumber.trimmed();
    s.publicNumber = publicNumber.trimmed();
    const QByteArray key = SupervisedKey(CandidateHash(candidateIds), s.supervisorNumber, s.revealed, s.publicNumber);
    s.order = SupervisedOrder(key, candidateIds.size());
    return s;
}

QStringList CheckSupervised(const SupervisedSeed &seed, const QStringList &candidateIds)
{
    QStringList problems;
    if (seed.revealed.size() != Supervised::kProgramBytes)
        problems << QStringLiteral("程序随机数不是%1字节").arg(Supervised::kProgramBytes);
    if (Commitment(seed.revealed) != seed.commitment)
        problems << QStringLiteral("公布的程序随机数与事先的承诺值不符");
    if (!SupervisorNumberProblem(seed.supervisorNumber, seed.supervisorNumber).isEmpty())
        problems << QStringLiteral("监督人号码无效");
    const QByteArray key =
        SupervisedKey(CandidateHash(candidateIds), seed.supervisorNumber, seed.revealed, seed.publicNumber);
    if (SupervisedOrder(key, candidateIds.size()) != seed.order)
        problems << QStringLiteral("按监督抽取的密钥重新排序的结果与记录不符");
    return problems;
}

QByteArray PackOrder(const QVector<qsizetype> &order) { return qCompress(PicksText(order).toLatin1()); }

bool UnpackOrder(const QByteArray &packed, QVector<qsizetype> *order)
{
    order->clear();
    if (packed.isEmpty())
        return true;
    const QByteArray raw = qUncompress(packed);
    if (raw.isEmpty())
        return packed == PackOrder({});
    return ParsePicks(QString::fromLatin1(raw), order);
}

QString ReserveUseToText(const ReserveUse &use)
{
    QJsonObject o;
    o.insert(QStringLiteral("from"), use.fromRound);
    QJsonArray taken;
    for (qsizetype p : use.taken)
        taken.append(double(p));
    o.insert(QStringLiteral("taken"), taken);
    QJsonArray skipped;
    for (const ReserveUse::Skip &s : use.skipped)
        skipped.append(QJsonObject{{QStringLiteral("position"), double(s.position)},
                                   {QStringLiteral("id"), s.id},
                                   {QStringLiteral("reason"), s.reason}});
    o.insert(QStringLiteral("skipped"), skipped);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool ReserveUseFromText(const QString &text, ReserveUse *use)
{
    *use = ReserveUse();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    use->fromRound = o.value(QStringLiteral("from")).toInt();
    for (const QJsonValue &v : o.value(QStringLiteral("taken")).toArray())
        use->taken.append(qsizetype(v.toDouble()));
    for (const QJsonValue &v : o.value(QStringLiteral("skipped")).toArray()) {
        const QJsonObject s = v.toObject();
        use->skipped.append({qsizetype(s.value(QStringLiteral("position")).toDouble()),
                             s.value(QStringLiteral("id")).toString(), s.value(QStringLiteral("reason")).toString()});
    }
    return use->fromRound > 0;
}
