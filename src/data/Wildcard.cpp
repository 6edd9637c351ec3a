#include "data/Wildcard.h"

namespace {

QVector<char32_t> toCodePoints(const QString &s)
{
    QVector<char32_t> out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            out.append(QChar::surrogateToUcs4(c, s.at(i + 1)));
            ++i;
        } else {
            out.append(c.unicode());
        }
    }
    return out;
}

}   // namespace

bool WildcardPattern::Token::matches(char32_t c) const
{
    switch (kind) {
    case Any:
        return true;
    case Digit:
        return c >= U'0' && c <= U'9';
    case Literal:
        return c == ch;
    case Class: {
        bool in = false;
        for (const Range &r : ranges) {
            if (c >= r.lo && c <= r.hi) {
                in = true;
                break;
            }
        }
        return in != negated;
    }
    case Star:
        return false;
    }
    return false;
}

WildcardPattern::WildcardPattern(const QString &pattern)
{
    const QVector<char32_t> p = toCodePoints(pattern);
    const qsizetype n = p.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t c = p[i];
        Token t;
        if (c == U'*') {
            if (!m_tokens.isEmpty() && m_tokens.last().kind == Token::Star)
                continue;   // runs of stars mean the same as one
            t.kind = Token::Star;
        } else if (c == U'?') {
            t.kind = Token::Any;
        } else if (c == U'#') {
            t.kind = Token::Digit;
        } else if (c == U'[') {
            qsizetype close = -1;
            for (qsizetype j = i + 1; j < n; ++j) {
                if (p[j] == U']') {
                    close = j;
                    break;
                }
            }
            if (close < 0) {
                t.ch = c;   // unclosed bracket: a plain character
            } else {
                t.kind = Token::Class;
                qsizetype j = i + 1;
                if (j < close && p[j] == U'!') {
                    t.negated = true;
                    ++j;
                }
                while (j < close) {
                    if (j + 2 < close && p[j + 1] == U'-') {
                        char32_t lo = p[j], hi = p[j + 2];
                        if (lo > hi)
                            std::swap(lo, hi);
                        t.ranges.append({lo, hi});
                        j += 3;
                    } else {
                        t.ranges.append({p[j], p[j]});
                        ++j;
                    }
                }
                i = close;
                // "[]" stands for the empty string: it takes no character.
                if (!t.negated && t.ranges.isEmpty())
                    continue;
            }
        } else {
            t.ch = c;
        }
        m_tokens.append(t);
    }
}

WildcardPattern WildcardPattern::contains(const QString &typed)
{
    WildcardPattern w(QLatin1Char('*') + typed + QLatin1Char('*'));
    bool plain = true;
    for (qsizetype i = 1; i + 1 < w.m_tokens.size(); ++i) {
        if (w.m_tokens[i].kind != Token::Literal) {
            plain = false;
            break;
        }
    }
    if (plain) {
        w.m_plainContains = true;
        for (qsizetype i = 1; i + 1 < w.m_tokens.size(); ++i)
            w.m_plainText += QString::fromUcs4(&w.m_tokens[i].ch, 1);
    }
    return w;
}

bool WildcardPattern::matches(QStringView text) const
{
    if (m_plainContains)
        return text.contains(m_plainText, Qt::CaseSensitive);

    // Every token but "*" consumes exactly one character, so remembering only
    // the last star is enough: linear in practice, never exponential. The
    // text is read in place, a surrogate pair counting as one character.
    const QChar *s = text.data();
    const qsizetype n = text.size(), m = m_tokens.size();
    auto charAt = [&](qsizetype i, qsizetype *units) -> char32_t {
        if (s[i].isHighSurrogate() && i + 1 < n && s[i + 1].isLowSurrogate()) {
            *units = 2;
            return QChar::surrogateToUcs4(s[i], s[i + 1]);
        }
        *units = 1;
        return s[i].unicode();
    };
    qsizetype si = 0, pi = 0, starPi = -1, starSi = 0;
    while (si < n) {
        qsizetype units = 1;
        if (pi < m && m_tokens[pi].kind != Token::Star && m_tokens[pi].matches(charAt(si, &units))) {
            si += units;
            ++pi;
        } else if (pi < m && m_tokens[pi].kind == Token::Star) {
            starPi = pi++;
            starSi = si;
        } else if (starPi >= 0) {
            pi = starPi + 1;
            charAt(starSi, &units);
            si = starSi += units;
        } else {
            return false;
        }
    }
    while (pi < m && m_tokens[pi].kind == Token::Star)
        ++pi;
    return pi == m;
}

bool MatchesPartially(QStringView text, const QString &typed) { return WildcardPattern::contains(typed).matches(text); }
