#include "sheets/CsvSheet.h"

#include <QFile>
#include <QStringDecoder>

#include <iconv.h>

namespace {

// The sheet row (from 1) of a position in a CSV text: rows end at line
// breaks outside quotes.
int CsvRowAt(const QString &text, qsizetype position)
{
    int row = 1;
    bool quoted = false;
    for (qsizetype i = 0; i < position && i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('"'))
            quoted = !quoted;
        else if (ch == QLatin1Char('\n') && !quoted)
            ++row;
    }
    return row;
}

Result<QString> DecodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Not UTF-8: a CSV saved by Excel on a Chinese system is in GBK.
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == iconv_t(-1))
        return Result<QString>::fail(QStringLiteral("无法读取GBK编码的文件。"));
    QByteArray in = bytes, out(bytes.size() * 2 + 16, '\0');
    char *inPtr = in.data(), *outPtr = out.data();
    size_t inLeft = size_t(in.size()), outLeft = size_t(out.size());
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1)) {
        // Neither encoding: name the row of the first byte that fits
        // neither, rather than read it as something else.
        const qsizetype offset = inPtr - in.data();
        const int row = int(bytes.left(offset).count('\n')) + 1;
        return Result<QString>::fail(QStringLiteral("CSV文件第%1行有无法识别的字符（既不是UTF-8也不是GBK编码）。"
                                                    "请在电子表格程序中把文件另存为“CSV UTF-8”格式后重新上传。")
                                         .arg(row));
    }
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

}   // namespace

Result<QList<QStringList>> ParseCsvSheet(const QByteArray &bytes)
{
    const Result<QString> decoded = DecodeText(bytes);
    if (!decoded)
        return decoded.failure();
    const QString &text = *decoded;
    using Rows = Result<QList<QStringList>>;
    const auto misplaced = [&text](qsizetype position) {
        return Rows::fail(
            QStringLiteral("CSV文件第%1行的引号（\"）用法不对：含引号、逗号或换行的单元格要整个用引号括起，"
                           "其中的引号要写两次。请改正后重新上传。")
                .arg(CsvRowAt(text, position)));
    };
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false, any = false, cellStarted = false;
    qsizetype quoteOpened = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    cell.append(ch);
                    ++i;
                } else {
                    quoted = false;
                    // A closing quote ends the cell.
                    const QChar next = i + 1 < text.size() ? text.at(i + 1) : QLatin1Char('\n');
                    if (next != QLatin1Char(',') && next != QLatin1Char('\r') && next != QLatin1Char('\n'))
                        return misplaced(i);
                }
            } else {
                cell.append(ch);
            }
            continue;
        }
        if (ch == QLatin1Char('"')) {
            // Only a whole cell may be quoted.
            if (cellStarted)
                return misplaced(i);
            quoted = true;
            quoteOpened = i;
            any = true;
            cellStarted = true;
        } else if (ch == QLatin1Char(',')) {
            row << cell;
            cell.clear();
            any = true;
            cellStarted = false;
        } else if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
            any = false;
            cellStarted = false;
        } else {
            cell.append(ch);
            any = true;
            cellStarted = true;
        }
    }
    // A quote never closed would have taken every row after it into one cell.
    if (quoted)
        return misplaced(quoteOpened);
    if (any || !cell.isEmpty()) {
        row << cell;
        rows << row;
    }
    return rows;
}

Result<QList<QStringList>> ReadCsvSheet(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Result<QList<QStringList>>::fail(QStringLiteral("无法读取文件“%1”：%2").arg(path, f.errorString()),
                                                f.errorString());
    return ParseCsvSheet(f.readAll());
}
