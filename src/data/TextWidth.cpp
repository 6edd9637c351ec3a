#include "data/TextWidth.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iconv.h>

namespace {

// Widths of the whole Basic Multilingual Plane, asked of iconv once per run.
struct BmpWidths {
    std::array<std::uint8_t, 0x10000> width{};
    BmpWidths()
    {
        width.fill(1);
        iconv_t cd = iconv_open("GBK", "UTF-32LE");
        if (cd == iconv_t(-1))
            return;
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            char in[4] = {char(c & 0xFF), char((c >> 8) & 0xFF), 0, 0};
            char out[8];
            char *pin = in;
            char *pout = out;
            size_t inLeft = 4, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &pin, &inLeft, &pout, &outLeft) != size_t(-1) && inLeft == 0)
                width[c] = (sizeof out - outLeft) >= 2 ? 2 : 1;
        }
        iconv_close(cd);
        width[0] = 2;
    }
};

const BmpWidths &bmpWidths()
{
    static const BmpWidths table;
    return table;
}

}   // namespace

int CharWidth(char32_t ch)
{
    if (ch < 0x80)
        return ch == 0 ? 2 : 1;
    if (ch >= 0x10000)
        return 1;   // outside GBK
    return bmpWidths().width[ch];
}

QString CutToWidth(const QString &text, int width)
{
    if (text.isEmpty())
        return QStringLiteral(" ");
    QString result;
    int used = 0;
    const char16_t *p = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype n = text.size();
    qsizetype i = 0;
    qsizetype lastStart = 0;
    while (i < n) {
        char32_t ch = p[i];
        qsizetype len = 1;
        if (QChar::isHighSurrogate(p[i]) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            ch = QChar::surrogateToUcs4(p[i], p[i + 1]);
            len = 2;
        }
        const int w = CharWidth(ch);
        lastStart = i;
        i += len;
        used += w;
        if (w == 1 ? used == width : used >= width)
            break;
    }
    result = text.left(i);
    if (used > width)
        result.truncate(lastStart);
    return result;
}

QString ShownOnOneLine(const QString &text)
{
    auto breaks = [](QChar c) {
        return c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
    };
    if (std::none_of(text.begin(), text.end(), breaks))
        return text;
    QString line;
    line.reserve(text.size());
    bool inBreak = false;
    for (const QChar c : text) {
        if (breaks(c)) {
            if (!inBreak)
                line.append(QLatin1Char(' '));
            inBreak = true;
            continue;
        }
        inBreak = false;
        line.append(c);
    }
    return line;
}
