#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The supervised draw (监督抽取): nobody alone chooses the panel.
//
// 1. The candidate list is fixed (criteria and avoidance applied) and its
//    hash shown. The program takes 32 bytes from the system's random source
//    and shows only their SHA-256, the commitment.
// 2. The supervisor types a number of their own; an announced public number
//    (a lottery result, say) may be added.
// 3. The program reveals its bytes, derives the key and orders the whole
//    candidate list with it. The first n are the panel, the rest in order the
//    reserve from which substitutes are taken.
//
// Everything below is fixed byte for byte, so that anyone can re-derive a
// panel from the printed record and the exported candidate list.
//
// Candidate hash: SHA-256 of the candidate Ids in list order joined by one
// LF (0x0A), UTF-8, no trailing LF; written as 64 lower-case hex digits.
//
// Commitment: SHA-256 of the 32 program bytes, 64 lower-case hex digits.
//
// Key input: the UTF-8 text of these five lines, each ended by one LF:
//     kestrune-supervised-draw/1
//     <candidate hash, 64 lower-case hex digits>
//     <supervisor's number, ASCII digits as typed, leading zeros kept>
//     <program bytes, 64 lower-case hex digits>
//     <public number as announced, trimmed; an empty line when none>
// key = SHA-256(key input), 32 raw bytes.
//
// Ordering of C candidates: keep the unchosen candidates in list order. For
// i = 0, 1, ..., C - 1:
//     h = SHA-256(BE32(i) || key || BE32(i))     (4 + 32 + 4 = 40 bytes,
//                                                 BE32 = 4 bytes big-endian)
//     v = the first 8 bytes of h read as an unsigned big-endian integer
//     j = v mod (C - i)
//     position i of the order is the j-th (0-based) unchosen candidate,
//     which is then taken out.
// Bias: 2^64 is not a multiple of C - i, so small remainders are favoured by
// at most (C - i) / 2^64 < 2^-33 for any list the program can hold; that is
// far below anything a draw could show, and keeps the rule one line long.
//
// The order is stored as candidate indexes (0-based positions in the list).

namespace Supervised {
inline constexpr int kProgramBytes = 32;
inline constexpr int kMinSupervisorDigits = 6;
inline constexpr int kMaxSupervisorDigits = 64;
inline constexpr int kMaxPublicNumber = 200;
inline const QByteArray kKeyTag = QByteArrayLiteral("kestrune-supervised-draw/1");
}   // namespace Supervised

// What a supervised round keeps besides the candidate list.
struct SupervisedSeed {
    QString commitment;         // hex SHA-256 of revealed
    QDateTime committedAt;      // when the commitment was shown
    QByteArray revealed;        // the program's 32 bytes
    QString supervisorNumber;   // digits
    QString publicNumber;       // "" when none
    QVector<qsizetype> order;   // the whole candidate list, as indexes

    bool operator==(const SupervisedSeed &) const = default;
};

// A substitute round that takes from the reserve of an earlier supervised
// round: the positions of that round's order it took, and the positions it
// passed over with the reason each was unavailable.
struct ReserveUse {
    int fromRound = 0;
    QVector<qsizetype> taken;   // positions in the order
    struct Skip {
        qsizetype position = 0;
        QString id;
        QString reason;
        bool operator==(const Skip &) const = default;
    };
    QList<Skip> skipped;

    bool operator==(const ReserveUse &) const = default;
};

// Lower-case hex SHA-256 of bytes.
QString Sha256Hex(const QByteArray &bytes);
// 32 fresh bytes from the system's random source.
QByteArray SystemRandomBytes(int count);
// The commitment to the program's bytes.
QString Commitment(const QByteArray &programBytes);

// Why a supervisor's number (or a public number) cannot be used; "" when it
// can. The number is taken as typed, trimmed.
QString SupervisorNumberProblem(const QString &typed, const QString &typedAgain);
QString PublicNumberProblem(const QString &typed);

// The key input and the key, as described above.
QByteArray SupervisedKeyInput(const QString &candidateHash, const QString &supervisorNumber,
                              const QByteArray &programBytes, const QString &publicNumber);
QByteArray SupervisedKey(const QString &candidateHash, const QString &supervisorNumber, const QByteArray &programBytes,
                         const QString &publicNumber);
// The order of count candidates under key: every index 0 .. count - 1 once.
QVector<qsizetype> SupervisedOrder(const QByteArray &key, qsizetype count);

// Derives the whole seed from its inputs over the candidate list.
SupervisedSeed DeriveSupervised(const QStringList &candidateIds, const QByteArray &programBytes,
                                const QString &supervisorNumber, const QString &publicNumber,
                                const QDateTime &committedAt);

// What is wrong with a stored seed over its candidate list ("" when
// nothing): the commitment must match the bytes, the order must follow from
// the key.
QStringList CheckSupervised(const SupervisedSeed &seed, const QStringList &candidateIds);

// The order as stored ("4,0,3,...") and back; reading fails on anything but
// comma-separated whole numbers.
QByteArray PackOrder(const QVector<qsizetype> &order);
bool UnpackOrder(const QByteArray &packed, QVector<qsizetype> *order);
// The reserve use as stored (JSON) and back.
QString ReserveUseToText(const ReserveUse &use);
bool ReserveUseFromText(const QString &text, ReserveUse *use);
