#include "data/TextTable.h"

#include <QStringDecoder>

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

} // namespace

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

void TextTable::appendUtf8(const QList<QByteArrayView> &cells)
{
    // Decoded into a scratch buffer first: the row then takes exactly the
    // room its characters need.
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
        // Each cell on its own, invalid bytes replaced, as fromUtf8 does.
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        at = decode.appendToBuffer(at, cells.at(c));
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
