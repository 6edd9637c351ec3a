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
    case DrawCount::Missing:
        return QStringLiteral("请输入抽取个数！");
    case DrawCount::BelowOne:
        return QStringLiteral("抽取个数至少为1。");
    case DrawCount::AboveExperts:
        return QStringLiteral("抽取个数已超过本数据库所存的专家人数。");
    case DrawCount::Ok:
        break;
    }
    return QString();
}

bool DrawCountIsCritical(DrawCount::Status status)
{
    return status == DrawCount::BelowOne || status == DrawCount::AboveExperts;
}

TextTable PickRows(const TextTable &list, const QVector<qsizetype> &indexes)
{
    TextTable out;
    out.reserve(indexes.size());
    for (qsizetype i : indexes)
        out.appendRowOf(list, i);
    return out;
}
