#include "data/TextTable.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

// Every way a row gets in, read back through the one accessor: rows of any
// length, cells past a row's end read as empty, edits keep the other cells.
TEST(TextTable, RowsOfAnyLengthReadBackAsWritten)
{
    TextTable t;
    t.append({QStringLiteral("000001"), QStringLiteral("王五"), QString(), QStringLiteral("北京")});
    t.append({});
    t.appendCells({QStringView(u"000003"), QStringView(u"𠀀 surrogate pair")});
    ASSERT_EQ(t.count(), 3);
    EXPECT_EQ(t.cellCount(0), 4);
    EXPECT_EQ(t.cellCount(1), 0);
    EXPECT_EQ(t.cell(0, 1).toString(), QStringLiteral("王五"));
    EXPECT_TRUE(t.cell(0, 2).isEmpty());
    EXPECT_EQ(t.cell(0, 3).toString(), QStringLiteral("北京"));
    EXPECT_TRUE(t.cell(0, 4).isEmpty());
    EXPECT_TRUE(t.cell(1, 0).isEmpty());
    EXPECT_EQ(t.cell(2, 1).toString(), QStringLiteral("𠀀 surrogate pair"));

    t.setCell(2, 4, u"新");   // past the end: empty cells up to it
    EXPECT_EQ(t.row(2), QStringList({"000003", QStringLiteral("𠀀 surrogate pair"), "", "", QStringLiteral("新")}));
    t.setCell(0, 1, u"");
    EXPECT_EQ(t.row(0), QStringList({"000001", "", "", QStringLiteral("北京")}));

    t.insert(1, {QStringLiteral("000002")});
    t.replace(2, {QStringLiteral("x"), QStringLiteral("y")});
    t.appendRowOf(t, 0);
    EXPECT_EQ(t.toLists(),
              QList<QStringList>({{"000001", "", "", QStringLiteral("北京")},
                                  {"000002"},
                                  {"x", "y"},
                                  {"000003", QStringLiteral("𠀀 surrogate pair"), "", "", QStringLiteral("新")},
                                  {"000001", "", "", QStringLiteral("北京")}}));

    t.removeRowsIf([](const TextTable &table, qsizetype r) { return table.cell(r, 0) == u"000001"; });
    t.removeAt(0);
    EXPECT_EQ(t.toLists(),
              QList<QStringList>(
                  {{"x", "y"}, {"000003", QStringLiteral("𠀀 surrogate pair"), "", "", QStringLiteral("新")}}));
}

// Rows read from the engine's UTF-8 hold what QString::fromUtf8 makes of
// each cell, malformed bytes included, and a cell never runs into the next.
TEST(TextTable, Utf8CellsDecodeAsFromUtf8Does)
{
    const QList<QByteArray> cells = {
        "",
        "plain ASCII longer than eight bytes",
        "王五 北京建工集团 one two",
        QByteArray("\xF0\xA0\x80\x80 four-byte", 14),
        QByteArray("nul\0inside", 10),
        "\xEF\xBB\xBF"
        "bom first",
        "stray \x80 continuation",
        "truncated \xE5\x8C",
        "\xE5\x8C",
        "overlong \xC0\xAF and \xE0\x80\xAF",
        "surrogate \xED\xA0\x80 encoded",
        "past the last \xF4\x90\x80\x80 code point",
        "noncharacters \xEF\xBF\xBE \xEF\xB7\x90 \xF0\x9F\xBF\xBF",
        "\xFF\xFE bytes never used",
        "mixed 12345678\xE4\xB8\xAD"
        "abcdefgh\xC3\xA9",
    };
    QList<QByteArrayView> views;
    for (const QByteArray &c : cells)
        views.append(QByteArrayView(c));

    TextTable t;
    t.appendUtf8(views);
    t.appendUtf8({});
    t.appendUtf8({QByteArrayView("last")});
    ASSERT_EQ(t.count(), 3);
    ASSERT_EQ(t.cellCount(0), cells.size());
    for (qsizetype c = 0; c < cells.size(); ++c)
        EXPECT_EQ(t.cell(0, int(c)).toString(), QString::fromUtf8(cells.at(c))) << "cell " << c;
    EXPECT_EQ(t.cellCount(1), 0);
    EXPECT_EQ(t.row(2), QStringList({"last"}));
}

}   // namespace
