#include "data/TextTable.h"

#include <QStringDecoder>

#include <cstring>
#include <vector>

namespace {

constexpr qsizetype kHeaderPerCell = 2;

QStringView viewOf(const QString &s) { return QStringView(s); }
QStringView viewOf(QStringView s) { return s; }

quint32 endOf(const QChar *header, int column)
{
    const qsizetype at = 1 + kHeaderPerCell * column;
    return (quint32(header[at].unicode()) << 16) | header[at + 1].unicode();
}

void setEnd(QChar *header, int column, quint32 end)
{
    const qsizetype at = 1 + kHeaderPerCell * column;
    header[at] = QChar(char16_t(end >> 16));
    header[at + 1] = QChar(char16_t(end & 0xFFFF));
}

}   // namespace

template <typename Cells> QString TextTable::pack(const Cells &cells)
{
    const int n = int(cells.size());
    const qsizetype header = 1 + kHeaderPerCell * n;
    qsizetype length = 0;
    for (const auto &c : cells)
        length += viewOf(c).size();
    QString buffer(header + length, Qt::Uninitialized);
    QChar *out = buffer.data();
    out[0] = QChar(char16_t(n));
    qsizetype end = 0;
    int column = 0;
    for (const auto &c : cells) {
        const QStringView text = viewOf(c);
        std::copy(text.begin(), text.end(), out + header + end);
        end += text.size();
        setEnd(out, column++, quint32(end));
    }
    return buffer;
}

template QString TextTable::pack(const QStringList &);
template QString TextTable::pack(const std::initializer_list<QStringView> &);
template QString TextTable::pack(const QList<QStringView> &);

QStringView TextTable::cell(qsizetype row, int column) const
{
    const QString &buffer = m_rows.at(row);
    const QChar *data = buffer.constData();
    const int n = data[0].unicode();
    if (column < 0 || column >= n)
        return QStringView();
    const quint32 start = column == 0 ? 0 : endOf(data, column - 1);
    const quint32 end = endOf(data, column);
    return QStringView(data + 1 + kHeaderPerCell * n + start, qsizetype(end - start));
}

QStringList TextTable::row(qsizetype row) const
{
    QStringList cells;
    const int n = cellCount(row);
    cells.reserve(n);
    for (int c = 0; c < n; ++c)
        cells.append(cell(row, c).toString());
    return cells;
}

namespace {

// Decodes well-formed UTF-8 into out and returns the end, or nullptr at the
// first byte that is not (a stray, overlong or truncated sequence, an encoded
// surrogate, a noncharacter) or at a leading byte order mark, which
// fromUtf8 drops: such a cell goes to Qt's own decoder instead,
// which replaces what it cannot read the way QString::fromUtf8 does. Nearly
// every cell is plain, and this is several times faster than a decoder
// object per cell.
QChar *decodeWellFormed(QByteArrayView bytes, QChar *out)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const unsigned char *const end = s + bytes.size();
    auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (end - s >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF)
        return nullptr;
    while (s < end) {
        // Eight ASCII bytes at a time, the common case.
        while (end - s >= 8) {
            quint64 word;
            std::memcpy(&word, s, 8);
            if (word & 0x8080808080808080ULL)
                break;
            for (int i = 0; i < 8; ++i)
                out[i] = QChar(char16_t(s[i]));
            out += 8;
            s += 8;
        }
        if (s == end)
            break;
        const unsigned char b = *s;
        if (b < 0x80) {
            *out++ = QChar(char16_t(b));
            ++s;
        } else if (b >= 0xC2 && b <= 0xDF) {
            if (end - s < 2 || !continuation(s[1]))
                return nullptr;
            *out++ = QChar(char16_t(((b & 0x1F) << 6) | (s[1] & 0x3F)));
            s += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            if (end - s < 3 || !continuation(s[1]) || !continuation(s[2]))
                return nullptr;
            const char32_t c = char32_t(((b & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF) || c >= 0xFFFE)
                return nullptr;
            *out++ = QChar(char16_t(c));
            s += 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            if (end - s < 4 || !continuation(s[1]) || !continuation(s[2]) || !continuation(s[3]))
                return nullptr;
            const char32_t c =
                char32_t(((b & 0x07) << 18) | ((s[1] & 0x3F) << 12) | ((s[2] & 0x3F) << 6) | (s[3] & 0x3F));
            if (c < 0x10000 || c > 0x10FFFF || (c & 0xFFFE) == 0xFFFE)
                return nullptr;
            *out++ = QChar::highSurrogate(c);
            *out++ = QChar::lowSurrogate(c);
            s += 4;
        } else {
            return nullptr;
        }
    }
    return out;
}

}   // namespace

void TextTable::appendUtf8(const QList<QByteArrayView> &cells)
{
    // Decoded into a scratch buffer first: the row then takes exactly the
    // room its characters need. UTF-8 never takes fewer units than UTF-16.
    static thread_local std::vector<QChar> scratch;
    const int n = int(cells.size());
    const qsizetype header = 1 + kHeaderPerCell * n;
    qsizetype most = header;
    for (const QByteArrayView &c : cells)
        most += c.size();
    if (qsizetype(scratch.size()) < most)
        scratch.resize(size_t(most));
    QChar *out = scratch.data();
    out[0] = QChar(char16_t(n));
    QChar *text = out + header;
    QChar *at = text;
    for (int c = 0; c < n; ++c) {
        const QByteArrayView bytes = cells.at(c);
        QChar *decoded = decodeWellFormed(bytes, at);
        if (!decoded) {
            // Each cell on its own, invalid bytes replaced, as fromUtf8 does.
            QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            decoded = decode.appendToBuffer(at, bytes);
        }
        at = decoded;
        setEnd(out, c, quint32(at - text));
    }
    m_rows.append(QString(out, at - out));
}

void TextTable::setCell(qsizetype row, int column, QStringView text)
{
    QList<QStringView> cells;
    const int n = std::max(cellCount(row), column + 1);
    cells.reserve(n);
    for (int c = 0; c < n; ++c)
        cells.append(c == column ? text : cell(row, c));
    // The views point into the old row, which stays alive until replaced.
    QString packed = pack(cells);
    m_rows[row] = std::move(packed);
}

QList<QStringList> TextTable::toLists() const
{
    QList<QStringList> lists;
    lists.reserve(count());
    for (qsizetype r = 0; r < count(); ++r)
        lists.append(row(r));
    return lists;
}
