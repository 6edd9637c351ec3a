#include "extraction/DrawProcedures.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

DrawCount CheckDrawCount(const QString &text, qsizetype expertCount)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {DrawCount::Missing, 0};

    // A whole number: an optional sign and ASCII digits, nothing else.
    qsizetype i = 0;
    bool negative = false;
    if (t.at(0) == QLatin1Char('+') || t.at(0) == QLatin1Char('-')) {
        negative = t.at(0) == QLatin1Char('-');
        ++i;
    }
    if (i == t.size())
        return {DrawCount::Missing, 0};
    qsizetype value = 0;
    bool huge = false;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {DrawCount::Missing, 0};
        // Past any number of experts a table can hold the exact value no
        // longer matters; stop growing before it overflows.
        if (!huge) {
            value = value * 10 + (c.unicode() - '0');
            if (value > std::numeric_limits<int>::max())
                huge = true;
        }
    }
    if (negative && (value > 0 || huge))
        return {DrawCount::BelowOne, 0};
    if (value < 1)
        return {DrawCount::BelowOne, 0};
    if (huge || value > expertCount)
        return {DrawCount::AboveExperts, 0};
    return {DrawCount::Ok, value};
}

QString DrawCountMessage(DrawCount::Status status)
{
    switch (status) {
    case DrawCount::Missing: return QStringLiteral("请输入抽取个数！");
    case DrawCount::BelowOne: return QStringLiteral("抽取个数至少为1。");
    case DrawCount::AboveExperts: return QStringLiteral("抽取个数已超过本数据库所存的专家人数。");
    case DrawCount::Ok: break;
    }
    return QString();
}

bool DrawCountIsCritical(DrawCount::Status status)
{
    return status == DrawCount::BelowOne || status == DrawCount::AboveExperts;
}

qsizetype RandomIndex(qsizetype count, RandomSource &random)
{
    const double r = random.next();
    const double scaled = std::floor(double(count) * r);
    // A source at its very edge (or rounding of count * r) must never give an
    // index outside the list.
    if (!(scaled >= 0))
        return 0;
    if (scaled >= double(count))
        return count - 1;
    return qsizetype(scaled);
}

QVector<qsizetype> RandomDraw(qsizetype count, qsizetype n, RandomSource &random)
{
    QVector<qsizetype> picks;
    if (count <= 0 || n <= 0)
        return picks;
    n = std::min(n, count);
    picks.reserve(n);
    std::vector<bool> taken(size_t(count), false);

    // A sound source needs about count / (count - k) draws for pick k; one
    // that keeps repeating itself (a broken or scripted source) must not
    // freeze the program, so after this many repeats in a row the pick takes
    // the next free index instead. A sound source never gets near it.
    const qsizetype repeatLimit = 1000 * count + 1000000;

    for (qsizetype k = 0; k < n; ++k) {
        qsizetype index = RandomIndex(count, random);
        qsizetype repeats = 0;
        while (taken[size_t(index)]) {
            if (++repeats > repeatLimit) {
                while (taken[size_t(index)])
                    index = (index + 1) % count;
                break;
            }
            index = RandomIndex(count, random);
        }
        taken[size_t(index)] = true;
        picks.append(index);
    }
    return picks;
}

TextTable PickRows(const TextTable &list, const QVector<qsizetype> &indexes)
{
    TextTable out;
    out.reserve(indexes.size());
    for (qsizetype i : indexes)
        out.appendRowOf(list, i);
    return out;
}
