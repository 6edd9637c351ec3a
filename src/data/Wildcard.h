#pragma once

#include <QString>
#include <QVector>

// The one wildcard matcher of the program. Patterns use "*" for any run of
// characters, "?" for any one character, "#" for one digit, "[list]" for one
// character of the list (ranges such as "a-z" allowed) and "[!list]" for one
// character not in it; "[]" matches the empty string. Comparison is by
// character code, so case-sensitive.
// A "[" without a closing "]" stands for itself.
class WildcardPattern {
public:
    explicit WildcardPattern(const QString &pattern);

    // The partial-match pattern of every filter: "*" + typed + "*".
    static WildcardPattern contains(const QString &typed);

    bool matches(QStringView text) const;

private:
    struct Range {
        char32_t lo, hi;
    };
    struct Token {
        enum Kind { Star, Any, Digit, Literal, Class } kind = Literal;
        char32_t ch = 0;
        bool negated = false;
        QVector<Range> ranges;
        bool matches(char32_t c) const;
    };
    QVector<Token> m_tokens;
    // A pattern without wildcards but for the enclosing stars is a plain
    // substring search.
    bool m_plainContains = false;
    QString m_plainText;
};

// True when text matches the wildcard pattern "*" + typed + "*".
bool MatchesPartially(QStringView text, const QString &typed);
