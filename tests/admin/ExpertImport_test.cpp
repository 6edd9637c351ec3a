#include "TestApp.h"

#include "admin/ExpertImport.h"
#include "data/Schema.h"

#include <gtest/gtest.h>

using namespace ExpertImport;
using namespace Schema;

namespace {

class ImportTest : public ::testing::Test {
protected:
    // A filled data row: every column with a valid value.
    QStringList row(const QString &name) const
    {
        QStringList cells = TemplateRows(app.state)[2];
        cells[0] = name;
        return cells;
    }
    int column(int field) const
    {
        const auto cols = Columns(app.state);
        for (int c = 0; c < cols.size(); ++c)
            if (cols[c].field == field)
                return c;
        return -1;
    }
    QList<QStringList> sheet(const QList<QStringList> &dataRows) const
    {
        QList<QStringList> rows = TemplateRows(app.state);   // heading, notes, example
        rows += dataRows;
        return rows;
    }

    TestApp app;
};

TEST_F(ImportTest, TemplateHasTheEditorCaptionsTheAllowedValuesAndAnIgnoredExample)
{
    const QList<QStringList> rows = TemplateRows(app.state);
    ASSERT_EQ(rows.size(), 3);
    ASSERT_EQ(rows[0].size(), 26);
    EXPECT_EQ(rows[0][0], "专家姓名");
    EXPECT_TRUE(rows[0].contains("性    别"));
    EXPECT_TRUE(rows[1][column(E_Sex)].contains("男/女"));
    EXPECT_TRUE(rows[1][column(E_Status)].contains("启用/停用"));
    EXPECT_TRUE(rows[1][column(E_Is_temp)].contains("正式/临时"));
    EXPECT_TRUE(rows[1][column(E_star_number)].contains("★☆☆☆☆/★★☆☆☆/★★★☆☆/★★★★☆/★★★★★"));
    EXPECT_TRUE(rows[1][column(E_degree_type_id)].contains(app.state.DegreeTable.cell(1, 1)));
    EXPECT_FALSE(rows[1][column(E_degree_type_id)].contains(app.state.DegreeTable.cell(0, 1) + "/"));
    EXPECT_TRUE(rows[1][column(E_zhicheng_id)].contains(app.state.TitleTypeTable.cell(1, 1)));
    EXPECT_TRUE(rows[1][column(E_birth_date)].contains("YYYY-MM-DD"));

    // The template as it is imports nothing.
    const CheckResult check = CheckRows(rows, app.state, app.state.today());
    EXPECT_TRUE(check.isImportSheet);
    EXPECT_TRUE(check.problems.isEmpty());
    EXPECT_TRUE(check.records.isEmpty());
    const Outcome out = ImportRows(app.state, rows);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(app.countRows("expert_msg"), 0);
}

TEST_F(ImportTest, RowsBecomeRecordsTheWayTheEditorStoresThem)
{
    QStringList full = row("  王工  ");
    full[column(E_degree_type_id)] = app.state.DegreeTable.cell(3, 1);
    full[column(E_zhicheng_id)] = app.state.TitleTypeTable.cell(2, 1);
    full[column(E_birth_date)] = "1965-3-8";
    full[column(E_graduate_date)] = "1965/3/8";
    full[column(E_Mobile)] = "1380013800012345678901234";    // 25 characters
    full[column(E_Zip_code)] = "一二三四五六";                 // width 12
    QStringList sparse(26);
    sparse[0] = "赵六";
    const CheckResult check = CheckRows(sheet({full, {}, sparse}), app.state, QDate(2026, 12, 9));
    ASSERT_TRUE(check.problems.isEmpty()) << check.problems.join('\n').toStdString();
    ASSERT_EQ(check.records.size(), 2);

    const QStringList &a = check.records[0];   // fields 1..28
    auto f = [](const QStringList &r, int field) { return r[field - 1]; };
    EXPECT_EQ(f(a, E_Name), "王工");
    EXPECT_EQ(f(a, E_degree_type_id), "03");
    EXPECT_EQ(f(a, E_zhicheng_id), app.state.TitleTypeTable.cell(2, 0));
    EXPECT_EQ(f(a, E_birth_date), "1965-03-08");
    EXPECT_EQ(f(a, E_graduate_date), "1965/3/8");
    EXPECT_EQ(f(a, E_Mobile), "13800138000123456789");
    EXPECT_EQ(f(a, E_Zip_code), "一二三四五");
    EXPECT_EQ(f(a, E_area_id), " ");
    EXPECT_EQ(f(a, E_Reg_date), "2026-12-09");

    // Empty list values take the editor's first item; empty texts one space.
    const QStringList &b = check.records[1];
    EXPECT_EQ(f(b, E_Status), "启用");
    EXPECT_EQ(f(b, E_Is_temp), "正式");
    EXPECT_EQ(f(b, E_star_number), "★☆☆☆☆");
    EXPECT_EQ(f(b, E_Sex), "男");
    EXPECT_EQ(f(b, E_degree_type_id), "01");
    EXPECT_EQ(f(b, E_zhicheng_id), app.state.TitleTypeTable.cell(1, 0));
    EXPECT_EQ(f(b, E_province), " ");
    EXPECT_EQ(f(b, E_Resume), " ");
}

struct BadCell {
    int field;
    const char *value;
    const char *expected;   // part of the problem text
};

TEST_F(ImportTest, OneBadRowImportsNothingAndIsNamedWithItsRowAndColumn)
{
    const BadCell cases[] = {
        {E_Name, "   ", "第5行第A列“专家姓名”"},
        {E_Sex, "M", "第5行第B列“性别”：“M”不是可选的值（男/女）"},
        {E_Status, "启 用", "“专家状态”：“启 用”不是可选的值"},
        {E_Is_temp, "永久", "“专家性质”"},
        {E_star_number, "★★★★★★", "“专家星级”"},
        {E_degree_type_id, "全部", "“学历”"},   // row 0 is never offered
        {E_zhicheng_id, "院士", "“职称级别”"},
    };
    const QString existing = app.addExpert("老专家");
    for (const BadCell &c : cases) {
        SCOPED_TRACE(c.expected);
        QStringList bad = row("错误行");
        bad[column(c.field)] = c.value;
        const Outcome out = ImportRows(app.state, sheet({row("甲"), bad, row("乙")}));
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.message.contains(QString::fromUtf8(c.expected))) << out.message.toStdString();
        EXPECT_TRUE(out.message.contains("没有导入任何专家"));
        EXPECT_EQ(app.countRows("expert_msg"), 1);
        EXPECT_EQ(app.state.ExpertTable.count(), 1);
    }
}

TEST_F(ImportTest, ManyBadRowsListOnlyTheFirstProblems)
{
    QList<QStringList> rows;
    for (int i = 0; i < 25; ++i) {
        QStringList bad = row(QStringLiteral("专家%1").arg(i));
        bad[column(E_Sex)] = "?";
        rows << bad;
    }
    const Outcome out = ImportRows(app.state, sheet(rows));
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.message.contains("25 处错误"));
    EXPECT_TRUE(out.message.contains("第4行"));
    EXPECT_TRUE(out.message.contains("第13行"));
    EXPECT_FALSE(out.message.contains("第14行"));
}

TEST_F(ImportTest, ImportAddsAfterTheExistingExpertsWithoutTouchingThem)
{
    const QString a = app.addExpert("甲");
    const QString b = app.addExpert("乙");
    const QList<QStringList> before = app.state.ExpertTable.rows;
    const Outcome out = ImportRows(app.state, sheet({row("丙"), row("丁"), row("戊")}));
    ASSERT_TRUE(out.ok) << out.message.toStdString();
    EXPECT_TRUE(out.message.contains("3 位专家"));
    ASSERT_EQ(app.state.ExpertTable.count(), 5);
    EXPECT_EQ(app.state.ExpertTable.rows.mid(0, 2), before);
    QStringList ids, names;
    for (const QStringList &r : app.state.ExpertTable.rows) {
        ids << r[E_Id];
        names << r[E_Name];
    }
    EXPECT_EQ(ids, QStringList({"000001", "000002", "000003", "000004", "000005"}));
    EXPECT_EQ(names, QStringList({"甲", "乙", "丙", "丁", "戊"}));
}

TEST_F(ImportTest, AWorkbookThatIsNotTheImportSheetIsRefused)
{
    QList<QStringList> rows = sheet({row("甲")});
    rows[0][3] = "别的标题";
    Outcome out = ImportRows(app.state, rows);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.message.contains("不是专家数据导入表"));
    EXPECT_FALSE(ImportRows(app.state, {}).ok);

    // Headings retyped without the inner blanks still count.
    rows = sheet({row("甲")});
    for (QString &h : rows[0])
        h.remove(' ');
    EXPECT_TRUE(ImportRows(app.state, rows).ok);
}

TEST_F(ImportTest, ProgressIsReportedUpToTheLastRow)
{
    QList<QStringList> rows;
    for (int i = 0; i < 600; ++i)
        rows << row(QStringLiteral("专家%1").arg(i));
    QList<int> seen;
    const Outcome out = ImportRows(app.state, sheet(rows), [&](int done, int total) {
        EXPECT_EQ(total, 600);
        seen << done;
    });
    ASSERT_TRUE(out.ok);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last(), 600);
    EXPECT_EQ(app.countRows("expert_msg"), 600);
}

TEST(CsvTest, ParsesQuotedCellsInUtf8AndGbk)
{
    const QByteArray utf8 = "\xEF\xBB\xBF" + QStringLiteral("姓名,地址\r\n张三,\"北京,海淀\"\r\n\"李\"\"四\",\"两\n行\"\n").toUtf8();
    const QList<QStringList> expected{{"姓名", "地址"}, {"张三", "北京,海淀"}, {"李\"四", "两\n行"}};
    EXPECT_EQ(ParseCsv(utf8), expected);
    // "张三,男" in GBK, as Excel writes a CSV on a Chinese system.
    const QByteArray gbk("\xD5\xC5\xC8\xFD,\xC4\xD0\r\n");
    EXPECT_EQ(ParseCsv(gbk), QList<QStringList>({{"张三", "男"}}));
    EXPECT_EQ(ParseCsv("a,,b"), QList<QStringList>({{"a", "", "b"}}));
}

TEST(ColumnLetterTest, NamesColumnsAsTheSheetDoes)
{
    EXPECT_EQ(ColumnLetter(1), "A");
    EXPECT_EQ(ColumnLetter(26), "Z");
    EXPECT_EQ(ColumnLetter(27), "AA");
}

} // namespace
