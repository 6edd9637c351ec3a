#include "sheets/XlsxSheet.h"

#include "sheets/ZipReader.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QVector>
#include <QXmlStreamReader>

#include <cmath>

namespace {

const QString kOfficeDocument = QStringLiteral("/officeDocument");
const QString kSharedStrings = QStringLiteral("/sharedStrings");
const QString kStyles = QStringLiteral("/styles");
// As many rows as a sheet can have: a row number past it is no sheet's.
constexpr int kMaxRows = 1048576;

// The file is a workbook, but not one this reader can take.
Failure Unreadable(const QString &path, const QString &why)
{
    return {QStringLiteral("无法直接读取工作簿“%1”。").arg(path), why};
}

using Parse = std::function<Outcome(QXmlStreamReader &xml, qint64 declaredSize)>;

// Hands a part of the workbook to parse as it unpacks. What went wrong with
// the part itself (damaged, too large) comes before whatever the parser
// made of the stream that ended short.
Outcome ParsePart(const ZipReader &zip, const QString &part, const Parse &parse)
{
    auto member = zip.member(part);
    if (!member)
        return member.failure();
    ZipMember &device = **member;
    QXmlStreamReader xml(&device);
    const Outcome parsed = parse(xml, device.declaredSize());
    if (device.failure())
        return *device.failure();
    return parsed;
}

// The part a relationship target names, seen from the part that holds it.
QString ResolvePart(const QString &fromPart, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    QStringList parts = fromPart.split(QLatin1Char('/'));
    parts.removeLast();
    for (const QString &step : target.split(QLatin1Char('/'))) {
        if (step == QLatin1String(".."))
            parts.removeLast();
        else if (step != QLatin1String(".") && !step.isEmpty())
            parts.append(step);
    }
    return parts.join(QLatin1Char('/'));
}

QString RelationshipsOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("_rels/%1.rels").arg(part)
                     : QStringLiteral("%1/_rels/%2.rels").arg(part.left(slash), part.mid(slash + 1));
}

struct Relationship {
    QString type;
    QString target;
};

// Id -> relationship of a part; empty when it has none or they cannot be
// read.
QHash<QString, Relationship> ReadRelationships(const ZipReader &zip, const QString &part)
{
    QHash<QString, Relationship> out;
    const Outcome read = ParsePart(zip, RelationshipsOf(part), [&](QXmlStreamReader &xml, qint64) {
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")) {
                const auto a = xml.attributes();
                out.insert(a.value(QLatin1String("Id")).toString(),
                           {a.value(QLatin1String("Type")).toString(),
                            ResolvePart(part, a.value(QLatin1String("Target")).toString())});
            }
        }
        return Outcome();
    });
    if (!read)
        out.clear();
    return out;
}

QString TargetOfType(const QHash<QString, Relationship> &relationships, const QString &typeEnd)
{
    for (const Relationship &r : relationships)
        if (r.type.endsWith(typeEnd))
            return r.target;
    return QString();
}

// Excel writes characters XML cannot hold as _xHHHH_ (and "_" before such a
// sequence as _x005F_).
QString DecodeEscapes(QString text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString out;
    qsizetype last = 0;
    auto it = escape.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

// The text of an element whose text runs are <t> children (a shared string
// or an inline string), phonetic guides left out. The reader stands on the
// element's start and ends on its end.
QString ReadRuns(QXmlStreamReader &xml)
{
    QString text;
    const QString element = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == element)
                break;
        }
    }
    return DecodeEscapes(text);
}

QStringList ReadSharedStrings(QXmlStreamReader &xml)
{
    QStringList strings;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si"))
            strings.append(ReadRuns(xml));
    }
    return strings;
}

enum class Shown { Number, Date, Time, DateTime };

Shown KindOfFormatCode(const QString &code)
{
    if (code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return Shown::Number;
    // Quoted texts, escaped characters and bracketed parts ([Red], [$-804])
    // say nothing of dates; elapsed times ([h]) do.
    QString bare;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (quoted) {
            quoted = c != QLatin1Char('"');
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = code.indexOf(QLatin1Char(']'), i);
            const QString inside = code.mid(i + 1, close - i - 1).toLower();
            if (inside == QLatin1String("h") || inside == QLatin1String("hh") || inside == QLatin1String("m") ||
                inside == QLatin1String("mm") || inside == QLatin1String("s") || inside == QLatin1String("ss"))
                bare += QLatin1Char('h');
            if (close < 0)
                break;
            i = close;
        } else {
            bare += c.toLower();
        }
    }
    const bool date = bare.contains(QLatin1Char('y')) || bare.contains(QLatin1Char('d'));
    const bool time = bare.contains(QLatin1Char('h')) || bare.contains(QLatin1Char('s'));
    if (date && time)
        return Shown::DateTime;
    if (time)
        return Shown::Time;
    if (date || bare.contains(QLatin1Char('m')))
        return Shown::Date;
    return Shown::Number;
}

Shown KindOfBuiltInFormat(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) || (id >= 50 && id <= 58))
        return Shown::Date;
    if (id == 22)
        return Shown::DateTime;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 33) || (id >= 45 && id <= 47))
        return Shown::Time;
    return Shown::Number;
}

// How each cell style index shows a number.
QVector<Shown> ReadStyles(QXmlStreamReader &xml)
{
    QHash<int, Shown> custom;
    QVector<Shown> styles;
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("numFmt")) {
                custom.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                              KindOfFormatCode(xml.attributes().value(QLatin1String("formatCode")).toString()));
            } else if (name == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (name == QLatin1String("xf") && inCellXfs) {
                const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                styles.append(custom.contains(id) ? custom.value(id) : KindOfBuiltInFormat(id));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    return styles;
}

// As the office's general format shows a number: whole numbers in full up
// to 15 digits, others with 15 significant digits, an exponent as "E+017".
QString GeneralNumber(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    const QString text = QString::number(value, 'g', 15);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e < 0)
        return text;
    const QString exponent = text.mid(e + 2);
    return text.left(e) + QLatin1Char('E') + text.at(e + 1) + exponent.rightJustified(3, QLatin1Char('0'));
}

QString ShownNumber(double value, Shown shown, bool date1904)
{
    if (shown == Shown::Number || !std::isfinite(value) || value < 0 || value > 2958465)
        return GeneralNumber(value);
    // Day numbers count from 1900-01-01 as day 1, with Excel's 29 February
    // 1900 that never was; or from 1904-01-01 as day 0.
    const qint64 days = qint64(std::floor(value));
    const QDate day = date1904 ? QDate(1904, 1, 1).addDays(days)
                               : (days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30)).addDays(days);
    const int seconds = int(std::llround((value - double(days)) * 86400.0));
    const QTime time = QTime(0, 0).addSecs(qMin(seconds, 86399));
    switch (shown) {
    case Shown::Date:
        return day.toString(QStringLiteral("yyyy-MM-dd"));
    case Shown::Time:
        return time.toString(QStringLiteral("hh:mm:ss"));
    case Shown::DateTime:
        return day.toString(QStringLiteral("yyyy-MM-dd ")) + time.toString(QStringLiteral("hh:mm:ss"));
    case Shown::Number:
        break;
    }
    return GeneralNumber(value);
}

// "C12" -> column 3; 0 when the reference holds no letters.
int ColumnOf(QStringView reference)
{
    int column = 0;
    for (const QChar c : reference) {
        const char16_t u = c.unicode();
        if (column > kMaxRows)
            break;   // far beyond any column asked for; stop before it overflows
        if (u >= u'A' && u <= u'Z')
            column = column * 26 + (u - u'A' + 1);
        else if (u >= u'a' && u <= u'z')
            column = column * 26 + (u - u'a' + 1);
        else
            break;
    }
    return column;
}

}   // namespace

Result<QList<QStringList>> ReadXlsxSheet(const QString &path, int columnCount,
                                         const std::function<void(int, int)> &progress,
                                         const std::function<void(int, int, double, bool)> &numberCell)
{
    auto opened = ZipReader::open(path);
    if (!opened)
        return opened.failure();
    const ZipReader &zip = *opened;
    const QString workbook = TargetOfType(ReadRelationships(zip, QString()), kOfficeDocument);
    if (workbook.isEmpty())
        return Unreadable(path, QStringLiteral("no workbook part"));

    // The first sheet in the workbook's order, and its date system.
    const QHash<QString, Relationship> parts = ReadRelationships(zip, workbook);
    QString firstSheet;
    bool date1904 = false;
    Outcome read = ParsePart(zip, workbook, [&](QXmlStreamReader &xml, qint64) {
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const auto flag = xml.attributes().value(QLatin1String("date1904"));
                date1904 = flag == QLatin1String("1") || flag == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet") && firstSheet.isEmpty()) {
                for (const QXmlStreamAttribute &a : xml.attributes())
                    if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                        firstSheet = parts.value(a.value().toString()).target;
            }
        }
        return xml.hasError() ? Outcome(Unreadable(path, xml.errorString())) : Outcome();
    });
    if (!read)
        return read.failure();
    if (firstSheet.isEmpty())
        return Unreadable(path, QStringLiteral("no worksheet"));

    QStringList shared;
    const QString sharedPart = TargetOfType(parts, kSharedStrings);
    if (!sharedPart.isEmpty()) {
        read = ParsePart(zip, sharedPart, [&](QXmlStreamReader &xml, qint64) {
            shared = ReadSharedStrings(xml);
            return Outcome();
        });
        if (!read)
            return read.failure();
    }
    QVector<Shown> styles;
    const QString stylesPart = TargetOfType(parts, kStyles);
    if (!stylesPart.isEmpty()) {
        read = ParsePart(zip, stylesPart, [&](QXmlStreamReader &xml, qint64) {
            styles = ReadStyles(xml);
            return Outcome();
        });
        if (!read)
            return read.failure();
    }

    QList<QStringList> out;
    int total = 1;
    read = ParsePart(zip, firstSheet, [&](QXmlStreamReader &xml, qint64 declaredSize) {
        qsizetype lastWithValue = 0;
        int rowNumber = 0;
        int column = 0;
        total = int(declaredSize / 1024) + 1;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("row")) {
                const auto r = xml.attributes().value(QLatin1String("r"));
                rowNumber = r.isEmpty() ? rowNumber + 1 : r.toInt();
                column = 0;
                if (rowNumber > kMaxRows)
                    return Outcome(Unreadable(path, QStringLiteral("row number %1").arg(rowNumber)));
                if (progress && rowNumber % 500 == 0)
                    progress(int(xml.characterOffset() / 1024), total);
                continue;
            }
            if (xml.name() != QLatin1String("c"))
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            const auto reference = a.value(QLatin1String("r"));
            column = reference.isEmpty() ? column + 1 : ColumnOf(reference);
            const QString type = a.value(QLatin1String("t")).toString();
            const int style = a.value(QLatin1String("s")).toInt();
            QString value;
            bool hasValue = false;
            // The cell's children: its value, its formula, an inline string.
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                    break;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("v")) {
                    value = xml.readElementText();
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    value = ReadRuns(xml);
                    hasValue = true;
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (!hasValue || rowNumber <= 0 || column <= 0 || column > columnCount)
                continue;
            QString text;
            if (type == QLatin1String("s")) {
                bool ok = false;
                const int index = value.toInt(&ok);
                if (!ok || index < 0 || index >= shared.size())
                    return Outcome(Unreadable(path, QStringLiteral("bad shared string %1").arg(value)));
                text = shared.at(index);
            } else if (type == QLatin1String("inlineStr") || type == QLatin1String("str") ||
                       type == QLatin1String("e")) {
                text = type == QLatin1String("str") ? DecodeEscapes(value) : value;
            } else if (type == QLatin1String("b")) {
                text = value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            } else {
                bool ok = false;
                const double number = value.toDouble(&ok);
                const Shown shown = styles.value(style, Shown::Number);
                text = ok ? ShownNumber(number, shown, date1904) : value;
                // Day 0 of the 1904 system is 1462 days after that of 1900.
                if (ok && numberCell)
                    numberCell(rowNumber, column, shown == Shown::Number || !date1904 ? number : number + 1462,
                               shown != Shown::Number);
            }
            while (out.size() < rowNumber)
                out.append(QStringList(columnCount));
            out[rowNumber - 1][column - 1] = text;
            if (!text.isEmpty())
                lastWithValue = std::max<qsizetype>(lastWithValue, rowNumber);
        }
        if (xml.hasError())
            return Outcome(Unreadable(path, xml.errorString()));
        out.resize(lastWithValue);
        return Outcome();
    });
    if (!read)
        return read.failure();
    if (progress)
        progress(total, total);
    return out;
}
