// Reading .xlsx workbooks straight from their XML.

#include "files/XlsxSheet.h"
#include "files/ZipArchive.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <zlib.h>

namespace {

// Writes a .zip archive of the given members, each stored or deflated.
struct ZipMember {
    QString name;
    QByteArray data;
    bool deflate = true;
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

QByteArray Zip(const QList<ZipMember> &members)
{
    QByteArray out, directory;
    for (const ZipMember &m : members) {
        const QByteArray name = m.name.toUtf8();
        const QByteArray packed = m.deflate ? RawDeflate(m.data) : m.data;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(m.data.constData()), uInt(m.data.size())));
        const quint32 offset = quint32(out.size());
        PutU32(out, 0x04034b50);
        PutU16(out, 20);
        PutU16(out, 0x0800);
        PutU16(out, m.deflate ? 8 : 0);
        PutU32(out, 0);
        PutU32(out, crc);
        PutU32(out, quint32(packed.size()));
        PutU32(out, quint32(m.data.size()));
        PutU16(out, quint16(name.size()));
        PutU16(out, 0);
        out += name + packed;

        PutU32(directory, 0x02014b50);
        PutU16(directory, 20);
        PutU16(directory, 20);
        PutU16(directory, 0x0800);
        PutU16(directory, m.deflate ? 8 : 0);
        PutU32(directory, 0);
        PutU32(directory, crc);
        PutU32(directory, quint32(packed.size()));
        PutU32(directory, quint32(m.data.size()));
        PutU16(directory, quint16(name.size()));
        PutU16(directory, 0);
        PutU16(directory, 0);
        PutU16(directory, 0);
        PutU16(directory, 0);
        PutU32(directory, 0);
        PutU32(directory, offset);
        directory += name;
    }
    const quint32 start = quint32(out.size());
    out += directory;
    PutU32(out, 0x06054b50);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, quint16(members.size()));
    PutU16(out, quint16(members.size()));
    PutU32(out, quint32(directory.size()));
    PutU32(out, start);
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
QList<ZipMember> Workbook(const QByteArray &firstSheet, const QByteArray &sharedStrings, const QByteArray &styles,
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

TEST_F(XlsxSheet, CellsReadAsTheUserSeesThem)
{
    const QString path = write(Zip(Workbook(kSheet, kSharedStrings, kStyles)));
    QList<QStringList> rows;
    QString error;
    QList<int> progress;
    ASSERT_TRUE(ReadXlsxSheet(path, 5, &rows, &error, [&](int done, int total) {
        EXPECT_LE(done, total);
        progress << done;
    })) << error.toStdString();
    const QList<QStringList> expected{
        {"专家姓名", "", "", "", ""},
        {"张三 ", "", "13800138000", "1.10101196503081E+017", "3.5"},   // F2 lies beyond the columns
        {"", "", "", "", ""},                                           // a row the sheet leaves out
        {"a & b\r\nc", "1965-03-08", "2023-03-15", "1965-03-08 18:00:00", "12:00:00"},
        {"", "TRUE", "公式", "#N/A", "12"},
        {"", "行内", "", "", ""},
    };   // row 9 holds no value: the sheet ends at row 6
    EXPECT_EQ(rows, expected);
    EXPECT_FALSE(progress.isEmpty());
}

TEST_F(XlsxSheet, DatesOfThe1904SystemAndOfEarly1900)
{
    const QByteArray sheet = R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" s="1"><v>0</v></c><c r="B1" s="1"><v>59</v></c></row></sheetData></worksheet>)";
    QList<QStringList> rows;
    QString error;
    ASSERT_TRUE(ReadXlsxSheet(write(Zip(Workbook(sheet, kSharedStrings, kStyles, true))), 2, &rows, &error));
    EXPECT_EQ(rows, (QList<QStringList>{{"1904-01-01", "1904-02-29"}}));
    ASSERT_TRUE(ReadXlsxSheet(write(Zip(Workbook(sheet, kSharedStrings, kStyles)), "b.xlsx"), 2, &rows, &error));
    EXPECT_EQ(rows, (QList<QStringList>{{"1899-12-31", "1900-02-28"}}));
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
        QList<QStringList> rows;
        QString error;
        EXPECT_TRUE(ReadXlsxSheet(write(book), 5, &rows, &error, {}, [&](int row, int column, double value, bool date) {
            numbers.append({row, column, value, date});
        })) << error.toStdString();
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

TEST_F(XlsxSheet, FilesTheReaderCannotReadAreRefusedWithAReason)
{
    QByteArray damaged = Zip(Workbook(kSheet, kSharedStrings, kStyles));
    // One byte of the stored root relationships changed: its check sum fails.
    damaged[damaged.indexOf("officeDocument/2006/relationships/officeDocument")] = 'X';
    const QByteArray noSheet =
        Zip({{"_rels/.rels", kRootRels, false}, {"xl/workbook.xml", R"(<workbook xmlns="x"><sheets/></workbook>)"}});
    const QByteArray badIndex =
        Zip(Workbook(R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>99</v></c></row></sheetData></worksheet>)",
                     kSharedStrings, kStyles));
    for (const QByteArray &bytes : {QByteArray("PK not really"), damaged, noSheet, badIndex}) {
        QList<QStringList> rows;
        QString error;
        EXPECT_FALSE(ReadXlsxSheet(write(bytes), 3, &rows, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(rows.isEmpty());
    }
}

TEST_F(XlsxSheet, ZipMembersStoredOrDeflated)
{
    QByteArray big;
    for (int i = 0; i < 5000; ++i)
        big += "row " + QByteArray::number(i) + "\n";
    const QString path = write(Zip({{"a.txt", "plain", false}, {"目录/b.txt", big, true}}), "a.zip");
    ZipArchive zip;
    QString error;
    ASSERT_TRUE(zip.open(path, &error)) << error.toStdString();
    QByteArray bytes;
    ASSERT_TRUE(zip.read("a.txt", &bytes, &error));
    EXPECT_EQ(bytes, "plain");
    ASSERT_TRUE(zip.read("目录/b.txt", &bytes, &error));
    EXPECT_EQ(bytes, big);
    EXPECT_FALSE(zip.read("missing", &bytes, &error));
}

}   // namespace
