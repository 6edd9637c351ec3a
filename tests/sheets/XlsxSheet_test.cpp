// Reading .xlsx workbooks straight from their XML, and the archives they
// come in.

#include "sheets/XlsxSheet.h"
#include "sheets/ZipReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <zlib.h>

namespace {

// Writes a .zip archive of the given members, each stored or deflated.
// claimedSize, when set, is what the directory says the member unpacks to.
struct Member {
    QString name;
    QByteArray data;
    bool deflate = true;
    quint64 claimedSize = 0;
};

void PutU16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void PutU32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void PutU64(QByteArray &out, quint64 v)
{
    char b[8];
    qToLittleEndian(v, b);
    out.append(b, 8);
}

QByteArray RawDeflate(const QByteArray &data)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

enum class Format { Zip32, Zip64 };

// In the 64-bit form every size and offset moves to the member's zip64
// extra field and the directory's end goes to its zip64 record, as writers
// do for archives past 4 GiB.
QByteArray Zip(const QList<Member> &members, Format format = Format::Zip32)
{
    const bool zip64 = format == Format::Zip64;
    const quint32 escape = 0xFFFFFFFF;
    QByteArray out, directory;
    for (const Member &m : members) {
        const QByteArray name = m.name.toUtf8();
        const QByteArray packed = m.deflate ? RawDeflate(m.data) : m.data;
        const quint64 size = m.claimedSize ? m.claimedSize : quint64(m.data.size());
        const bool wide = zip64 || size >= escape;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(m.data.constData()), uInt(m.data.size())));
        const quint64 offset = quint64(out.size());
        QByteArray localExtra, directoryExtra;
        if (wide) {
            PutU16(localExtra, 0x0001);
            PutU16(localExtra, 16);
            PutU64(localExtra, size);
            PutU64(localExtra, quint64(packed.size()));
            PutU16(directoryExtra, 0x0001);
            PutU16(directoryExtra, 24);
            PutU64(directoryExtra, size);
            PutU64(directoryExtra, quint64(packed.size()));
            PutU64(directoryExtra, offset);
        }
        PutU32(out, 0x04034b50);
        PutU16(out, wide ? 45 : 20);
        PutU16(out, 0x0800);
        PutU16(out, m.deflate ? 8 : 0);
        PutU32(out, 0);
        PutU32(out, crc);
        PutU32(out, wide ? escape : quint32(packed.size()));
        PutU32(out, wide ? escape : quint32(size));
        PutU16(out, quint16(name.size()));
        PutU16(out, quint16(localExtra.size()));
        out += name + localExtra + packed;

        PutU32(directory, 0x02014b50);
        PutU16(directory, wide ? 45 : 20);
        PutU16(directory, wide ? 45 : 20);
        PutU16(directory, 0x0800);
        PutU16(directory, m.deflate ? 8 : 0);
        PutU32(directory, 0);
        PutU32(directory, crc);
        PutU32(directory, wide ? escape : quint32(packed.size()));
        PutU32(directory, wide ? escape : quint32(size));
        PutU16(directory, quint16(name.size()));
        PutU16(directory, quint16(directoryExtra.size()));
        PutU16(directory, 0);
        PutU16(directory, 0);
        PutU16(directory, 0);
        PutU32(directory, 0);
        PutU32(directory, wide ? escape : quint32(offset));
        directory += name + directoryExtra;
    }
    const quint64 start = quint64(out.size());
    out += directory;
    if (zip64) {
        const quint64 record = quint64(out.size());
        PutU32(out, 0x06064b50);
        PutU64(out, 44);
        PutU16(out, 45);
        PutU16(out, 45);
        PutU32(out, 0);
        PutU32(out, 0);
        PutU64(out, quint64(members.size()));
        PutU64(out, quint64(members.size()));
        PutU64(out, quint64(directory.size()));
        PutU64(out, start);
        PutU32(out, 0x07064b50);
        PutU32(out, 0);
        PutU64(out, record);
        PutU32(out, 1);
    }
    PutU32(out, 0x06054b50);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, zip64 ? 0xFFFF : quint16(members.size()));
    PutU16(out, zip64 ? 0xFFFF : quint16(members.size()));
    PutU32(out, zip64 ? escape : quint32(directory.size()));
    PutU32(out, zip64 ? escape : quint32(start));
    PutU16(out, 0);
    return out;
}

const QByteArray kRootRels =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>)";

// A workbook of two sheets whose relationships list the second first; its
// shared strings and styles with absolute targets.
QList<Member> Workbook(const QByteArray &firstSheet, const QByteArray &sharedStrings, const QByteArray &styles,
                       bool date1904 = false)
{
    const QByteArray workbook = QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<workbookPr)") + (date1904 ? " date1904=\"1\"" : "") +
                                R"(/><sheets>
<sheet name="导入" sheetId="2" r:id="rId7"/><sheet name="Other" sheetId="1" r:id="rId1"/>
</sheets></workbook>)";
    const QByteArray rels = R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet2.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="/xl/sharedStrings.xml"/>
<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
</Relationships>)";
    const QByteArray other = R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>wrong sheet</t></is></c></row></sheetData></worksheet>)";
    return {{"_rels/.rels", kRootRels, false},
            {"xl/workbook.xml", workbook},
            {"xl/_rels/workbook.xml.rels", rels},
            {"xl/worksheets/sheet1.xml", other},
            {"xl/worksheets/sheet2.xml", firstSheet},
            {"xl/sharedStrings.xml", sharedStrings},
            {"xl/styles.xml", styles}};
}

const QByteArray kSharedStrings = R"(<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="4" uniqueCount="4">
<si><t>专家姓名</t></si>
<si><r><rPr><b/></rPr><t>张</t></r><r><t xml:space="preserve">三 </t></r><rPh sb="0" eb="1"><t>ZHANG</t></rPh></si>
<si><t>a &amp; b_x000D_
c</t></si>
<si><t/></si>
</sst>)";

// Style 0 general, 1 built-in date (14), 2 custom date, 3 date and time (22),
// 4 time (20), 5 text (49), 6 custom number with a quoted "d".
const QByteArray kStyles = R"(<?xml version="1.0" encoding="UTF-8"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="2"><numFmt numFmtId="164" formatCode="yyyy/m/d;@"/><numFmt numFmtId="165" formatCode="0.00&quot;d&quot;"/></numFmts>
<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>
<cellXfs count="7"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="22"/><xf numFmtId="20"/><xf numFmtId="49"/><xf numFmtId="165"/></cellXfs>
</styleSheet>)";

const QByteArray kSheet = R"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><dimension ref="A1:E6"/><sheetData>
<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>3</v></c></row>
<row r="2"><c r="A2" t="s"><v>1</v></c><c r="C2"><v>13800138000</v></c><c r="D2"><v>1.1010119650308123E+17</v></c><c r="E2" s="5"><v>3.5</v></c><c r="F2"><v>9</v></c></row>
<row r="4"><c t="s"><v>2</v></c><c s="1"><v>23809</v></c><c s="2"><v>45000</v></c><c s="3"><v>23809.75</v></c><c s="4"><v>0.5</v></c></row>
<row r="5"><c r="B5" t="b"><v>1</v></c><c r="C5" t="str"><f>A1</f><v>公式</v></c><c r="D5" t="e"><v>#N/A</v></c><c r="E5" s="6"><v>12</v></c></row>
<row r="6"><c r="A6" s="1"/><c r="B6" t="inlineStr"><is><t>行内</t></is></c></row>
<row r="9" customHeight="1"><c r="A9" s="1"/></row>
</sheetData></worksheet>)";

class XlsxSheet : public ::testing::Test {
protected:
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("book.xlsx"))
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

// The rows kSheet shows, read five columns wide.
const QList<QStringList> kSheetRows{
    {"专家姓名", "", "", "", ""},
    {"张三 ", "", "13800138000", "1.10101196503081E+017", "3.5"},   // F2 lies beyond the columns
    {"", "", "", "", ""},                                           // a row the sheet leaves out
    {"a & b\r\nc", "1965-03-08", "2023-03-15", "1965-03-08 18:00:00", "12:00:00"},
    {"", "TRUE", "公式", "#N/A", "12"},
    {"", "行内", "", "", ""},
};   // row 9 holds no value: the sheet ends at row 6

TEST_F(XlsxSheet, CellsReadAsTheUserSeesThem)
{
    const QString path = write(Zip(Workbook(kSheet, kSharedStrings, kStyles)));
    QList<int> progress;
    const auto rows = ReadXlsxSheet(path, 5, [&](int done, int total) {
        EXPECT_LE(done, total);
        progress << done;
    });
    ASSERT_TRUE(rows.ok()) << rows.detail().toStdString();
    EXPECT_EQ(*rows, kSheetRows);
    EXPECT_FALSE(progress.isEmpty());
}

// Writers switch to the 64-bit form for large workbooks; some always use it.
TEST_F(XlsxSheet, AZip64WorkbookReadsAsAnyOther)
{
    const auto rows = ReadXlsxSheet(write(Zip(Workbook(kSheet, kSharedStrings, kStyles), Format::Zip64)), 5);
    ASSERT_TRUE(rows.ok()) << rows.detail().toStdString();
    EXPECT_EQ(*rows, kSheetRows);
}

TEST_F(XlsxSheet, DatesOfThe1904SystemAndOfEarly1900)
{
    const QByteArray sheet = R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" s="1"><v>0</v></c><c r="B1" s="1"><v>59</v></c></row></sheetData></worksheet>)";
    auto rows = ReadXlsxSheet(write(Zip(Workbook(sheet, kSharedStrings, kStyles, true))), 2);
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(*rows, (QList<QStringList>{{"1904-01-01", "1904-02-29"}}));
    rows = ReadXlsxSheet(write(Zip(Workbook(sheet, kSharedStrings, kStyles)), "b.xlsx"), 2);
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(*rows, (QList<QStringList>{{"1899-12-31", "1900-02-28"}}));
}

// What a cell shows of a number may not be what was typed: the caller learns
// each number cell, and whether it is a date, in the 1900 day count.
TEST_F(XlsxSheet, NumberCellsAreNamedWithTheirValueAndWhetherTheyAreDates)
{
    struct Number {
        int row, column;
        double value;
        bool date;
        bool operator==(const Number &o) const
        {
            return row == o.row && column == o.column && value == o.value && date == o.date;
        }
    };
    const auto read = [&](const QByteArray &book) {
        QList<Number> numbers;
        const auto rows = ReadXlsxSheet(write(book), 5, {}, [&](int row, int column, double value, bool date) {
            numbers.append({row, column, value, date});
        });
        EXPECT_TRUE(rows.ok()) << rows.detail().toStdString();
        return numbers;
    };
    // Texts, booleans, formulas' texts, errors and empty cells are none;
    // F2 lies beyond the columns asked for.
    const QList<Number> expected{{2, 3, 13800138000.0, false},
                                 {2, 4, 1.1010119650308123E+17, false},
                                 {2, 5, 3.5, false},
                                 {4, 2, 23809, true},
                                 {4, 3, 45000, true},
                                 {4, 4, 23809.75, true},
                                 {4, 5, 0.5, true},
                                 {5, 5, 12, false}};
    EXPECT_EQ(read(Zip(Workbook(kSheet, kSharedStrings, kStyles))), expected);

    const QByteArray sheet = R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" s="1"><v>0</v></c><c r="B1"><v>7</v></c></row></sheetData></worksheet>)";
    // Day 0 of the 1904 system is 1904-01-01, day 1462 of the 1900 one; a
    // plain number is not shifted.
    EXPECT_EQ(read(Zip(Workbook(sheet, kSharedStrings, kStyles, true))),
              (QList<Number>{{1, 1, 1462, true}, {1, 2, 7, false}}));
}

// The workbook with its sheet's directory entry claiming claimedSize.
QByteArray Claiming(quint64 claimedSize, Format format)
{
    QList<Member> members = Workbook(kSheet, kSharedStrings, kStyles);
    for (Member &m : members)
        if (m.name == QLatin1String("xl/worksheets/sheet2.xml"))
            m.claimedSize = claimedSize;
    return Zip(members, format);
}

TEST_F(XlsxSheet, FilesTheReaderCannotReadAreRefusedWithAReason)
{
    const QByteArray good = Zip(Workbook(kSheet, kSharedStrings, kStyles));
    QByteArray damaged = good;
    // One byte of the stored root relationships changed: its check sum fails.
    damaged[damaged.indexOf("officeDocument/2006/relationships/officeDocument")] = 'X';
    const QByteArray noSheet =
        Zip({{"_rels/.rels", kRootRels, false}, {"xl/workbook.xml", R"(<workbook xmlns="x"><sheets/></workbook>)"}});
    const QByteArray badIndex =
        Zip(Workbook(R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>99</v></c></row></sheetData></worksheet>)",
                     kSharedStrings, kStyles));
    // More rows than a sheet can have: no sheet's, and each would be made.
    const QByteArray farRow = Zip(Workbook(
        R"(<worksheet><sheetData><row r="2000000000"><c r="A2000000000"><v>1</v></c></row></sheetData></worksheet>)",
        kSharedStrings, kStyles));
    struct Case {
        const char *what;
        QByteArray bytes;
        QString says;   // part of the message
    };
    const Case cases[] = {
        {"no zip at all", "PK not really", "不是.xlsx工作簿"},
        {"an empty file", "", "不是.xlsx工作簿"},
        {"a CSV file named .xlsx", "姓名,性别\r\n张三,男\r\n", "不是.xlsx工作簿"},
        {"cut in half", good.left(good.size() / 2), "不是.xlsx工作簿"},
        {"its last bytes cut", good.chopped(10), "不是.xlsx工作簿"},
        {"a member damaged", damaged, "无法直接读取"},
        {"no sheet", noSheet, "无法直接读取"},
        {"a shared string that is not there", badIndex, "无法直接读取"},
        {"a row past the last", farRow, "无法直接读取"},
        // What the directory claims is never allocated: the part is refused
        // before anything of it is read.
        {"a sheet claiming 3.75 GiB", Claiming(0xF0000000, Format::Zip32), "超过256 MB"},
        {"a zip64 sheet claiming 1 TiB", Claiming(quint64(1) << 40, Format::Zip64), "超过256 MB"},
        {"a zip64 sheet claiming 16 EiB", Claiming(~quint64(0), Format::Zip64), "超过256 MB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto rows = ReadXlsxSheet(write(c.bytes), 3);
        ASSERT_FALSE(rows.ok());
        EXPECT_TRUE(rows.message().contains(c.says)) << rows.message().toStdString();
        EXPECT_FALSE(rows.detail().isEmpty());
    }
}

TEST_F(XlsxSheet, ZipMembersStoredOrDeflatedInEitherForm)
{
    QByteArray big;
    for (int i = 0; i < 5000; ++i)
        big += "row " + QByteArray::number(i) + "\n";
    for (const Format format : {Format::Zip32, Format::Zip64}) {
        SCOPED_TRACE(format == Format::Zip64 ? "zip64" : "zip");
        const QString path = write(Zip({{"a.txt", "plain", false}, {"目录/b.txt", big, true}}, format), "a.zip");
        const auto zip = ZipReader::open(path);
        ASSERT_TRUE(zip.ok()) << zip.detail().toStdString();
        for (const auto &[name, bytes] : {std::pair<QString, QByteArray>{"a.txt", "plain"}, {"目录/b.txt", big}}) {
            EXPECT_TRUE(zip->contains(name));
            auto member = zip->member(name);
            ASSERT_TRUE(member.ok()) << member.detail().toStdString();
            EXPECT_EQ((*member)->readAll(), bytes);
            EXPECT_FALSE((*member)->failure().has_value());
        }
        EXPECT_FALSE(zip->contains("missing"));
        EXPECT_FALSE(zip->member("missing").ok());
    }
}

// A directory that understates a member does not let it unpack past the
// limit: reading stops there with the reason.
TEST_F(XlsxSheet, AMemberStopsAtTheLimitWhateverItsDirectorySays)
{
    const QByteArray big(5000, 'x');
    const QString path = write(Zip({{"small.xml", big, true, 10}}), "a.zip");
    const auto zip = ZipReader::open(path, 1000);
    ASSERT_TRUE(zip.ok()) << zip.detail().toStdString();
    auto member = zip->member("small.xml");
    ASSERT_TRUE(member.ok()) << member.detail().toStdString();
    EXPECT_LE((*member)->readAll().size(), 1000);
    ASSERT_TRUE((*member)->failure().has_value());
    EXPECT_FALSE((*member)->failure()->message.isEmpty());
}

}   // namespace
