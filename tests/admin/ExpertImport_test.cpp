#include "ReportTestHelpers.h"
#include "TestApp.h"

#include "admin/ExpertImport.h"
#include "data/Database.h"
#include "data/ExpertRecord.h"
#include "data/Schema.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <zip.h>

using namespace ExpertImport;
using namespace Schema;

namespace {

class ImportTest : public ::testing::Test {
protected:
    // A filled data row: every column with a valid value.
    QStringList row(const QString &name) const
    {
        QStringList cells = TemplateRows(app.state.store)[2];
        cells[0] = name;
        return cells;
    }
    int column(int field) const
    {
        const auto cols = Columns(app.state.store);
        for (int c = 0; c < cols.size(); ++c)
            if (cols[c].field == field)
                return c;
        return -1;
    }
    QList<QStringList> sheet(const QList<QStringList> &dataRows) const
    {
        QList<QStringList> rows = TemplateRows(app.state.store);   // heading, notes, example
        rows += dataRows;
        return rows;
    }

    TestApp app;
};

TEST_F(ImportTest, TemplateHasTheEditorCaptionsTheAllowedValuesAndAnIgnoredExample)
{
    const QList<QStringList> rows = TemplateRows(app.state.store);
    ASSERT_EQ(rows.size(), 3);
    ASSERT_EQ(rows[0].size(), 26);
    EXPECT_EQ(rows[0][0], "专家姓名");
    EXPECT_TRUE(rows[0].contains("性    别"));
    EXPECT_TRUE(rows[1][column(E_Sex)].contains("男/女"));
    EXPECT_TRUE(rows[1][column(E_Status)].contains("启用/停用"));
    EXPECT_TRUE(rows[1][column(E_Is_temp)].contains("正式/临时"));
    EXPECT_TRUE(rows[1][column(E_star_number)].contains("★☆☆☆☆/★★☆☆☆/★★★☆☆/★★★★☆/★★★★★"));
    EXPECT_TRUE(rows[1][column(E_degree_type_id)].contains(app.state.store.DegreeTable.cell(1, 1)));
    EXPECT_FALSE(rows[1][column(E_degree_type_id)].contains(app.state.store.DegreeTable.cell(0, 1).toString() + "/"));
    EXPECT_TRUE(rows[1][column(E_zhicheng_id)].contains(app.state.store.TitleTypeTable.cell(1, 1)));
    EXPECT_TRUE(rows[1][column(E_birth_date)].contains("YYYY-MM-DD"));

    // The template as it is imports nothing.
    const CheckResult check = CheckRows(rows, app.state.store, app.state.today());
    EXPECT_TRUE(check.isImportSheet);
    EXPECT_TRUE(check.problems.isEmpty());
    EXPECT_TRUE(check.records.isEmpty());
    const Outcome out = ImportRows(app.state.store, app.state.today(), rows);
    EXPECT_FALSE(out.ok());
    EXPECT_EQ(app.countRows("expert_msg"), 0);
}

// A text longer than its field is refused: the table says beforehand how
// long each may be, the long-number columns included.
TEST_F(ImportTest, TemplateStatesTheLimitOfEveryTextColumn)
{
    const QList<QStringList> rows = TemplateRows(app.state.store);
    const QVector<Column> columns = Columns(app.state.store);
    int limited = 0;
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c].kind != Column::Text || columns[c].width == 0)
            continue;
        ++limited;
        SCOPED_TRACE(columns[c].caption.toStdString());
        EXPECT_TRUE(rows[1][c].contains(QStringLiteral("最多%1个字符").arg(columns[c].width)))
            << rows[1][c].toStdString();
    }
    EXPECT_GE(limited, 8);
    EXPECT_TRUE(rows[1][column(E_Resume)].contains("最多65535个字符"));
    for (const int field : {E_Profession, E_Mobile, E_Zip_code})
        EXPECT_TRUE(rows[1][column(field)].contains("按文本填写")) << rows[1][column(field)].toStdString();
}

TEST_F(ImportTest, RowsBecomeRecordsTheWayTheEditorStoresThem)
{
    QStringList full = row("  王工  ");
    full[column(E_degree_type_id)] = app.state.store.DegreeTable.cell(3, 1).toString();
    full[column(E_zhicheng_id)] = app.state.store.TitleTypeTable.cell(2, 1).toString();
    full[column(E_birth_date)] = "1965-3-8";
    full[column(E_graduate_date)] = "1965/3/8";
    full[column(E_Mobile)] = "13800138000123456789";   // the full width of 20
    full[column(E_Zip_code)] = "一二三四五";           // width 10
    // Only the name and the lists, each list at its first item.
    QStringList sparse(26);
    sparse[0] = "赵六";
    for (const Column &c : Columns(app.state.store))
        if (c.kind != Column::Text && c.kind != Column::Date)
            sparse[column(c.field)] = c.items.value(0);
    const CheckResult check = CheckRows(sheet({full, {}, sparse}), app.state.store, QDate(2026, 12, 9));
    ASSERT_TRUE(check.problems.isEmpty()) << check.problems.join('\n').toStdString();
    ASSERT_EQ(check.records.size(), 2);

    const QStringList &a = check.records[0];   // fields 1..28
    auto f = [](const QStringList &r, int field) { return r[field - 1]; };
    EXPECT_EQ(f(a, E_Name), "王工");
    EXPECT_EQ(f(a, E_degree_type_id), "03");
    EXPECT_EQ(f(a, E_zhicheng_id), app.state.store.TitleTypeTable.cell(2, 0));
    EXPECT_EQ(f(a, E_birth_date), "1965-03-08");
    EXPECT_EQ(f(a, E_graduate_date), "1965/3/8");
    EXPECT_EQ(f(a, E_Mobile), "13800138000123456789");
    EXPECT_EQ(f(a, E_Zip_code), "一二三四五");
    EXPECT_EQ(f(a, E_area_id), " ");
    EXPECT_EQ(f(a, E_Reg_date), "2026-12-09");

    // List texts stored as the editor stores them; empty texts one space.
    const QStringList &b = check.records[1];
    EXPECT_EQ(f(b, E_Status), "启用");
    EXPECT_EQ(f(b, E_Is_temp), "正式");
    EXPECT_EQ(f(b, E_star_number), "★☆☆☆☆");
    EXPECT_EQ(f(b, E_Sex), "男");
    EXPECT_EQ(f(b, E_degree_type_id), "01");
    EXPECT_EQ(f(b, E_zhicheng_id), app.state.store.TitleTypeTable.cell(1, 0));
    EXPECT_EQ(f(b, E_province), " ");
    EXPECT_EQ(f(b, E_Resume), " ");
}

const std::string kLongQualification = std::string(128, 'a') + "一级注册结构工程师" + std::string(110, 'b');
const std::string kLongResume(65536, 'x');

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
        // Longer than the field keeps: it would be stored cut.
        {E_Mobile, "1380013800012345678901234", "“电话号码”：内容超过了20个字符的长度限制"},
        {E_Zip_code, "一二三四五六", "“邮编”：内容超过了10个字符的长度限制"},
        {E_zige_name, kLongQualification.c_str(), "“资格名称”：内容超过了255个字符的长度限制"},
        {E_Resume, kLongResume.c_str(), "“工作简历”：内容超过了65535个字符的长度限制"},
        // An empty list cell: its first item would be a guess, an unknown
        // state an enabled (drawable) expert.
        {E_Sex, "", "第5行第B列“性别”：没有填写。请填写可选的值之一（男/女）"},
        {E_Status, " ", "“专家状态”：没有填写"},
        {E_Is_temp, "", "“专家性质”：没有填写"},
        {E_star_number, "", "“专家星级”：没有填写"},
        {E_degree_type_id, "", "“学历”：没有填写"},
        {E_zhicheng_id, "", "“职称级别”：没有填写"},
        // A long number the sheet has already rounded.
        {E_Profession, "1.10101196503081E+017", "“身份证号”：单元格中是数字"},
        {E_Company_name, "1.2E+16", "“工作单位”：单元格中是数字"},
    };
    const QString existing = app.addExpert("老专家");
    for (const BadCell &c : cases) {
        SCOPED_TRACE(c.expected);
        QStringList bad = row("错误行");
        bad[column(c.field)] = c.value;
        const Outcome out = ImportRows(app.state.store, app.state.today(), sheet({row("甲"), bad, row("乙")}));
        EXPECT_FALSE(out.ok());
        EXPECT_TRUE(out.message().contains(QString::fromUtf8(c.expected))) << out.message().toStdString();
        EXPECT_TRUE(out.message().contains("没有导入任何专家"));
        EXPECT_EQ(app.countRows("expert_msg"), 1);
        EXPECT_EQ(app.state.store.ExpertTable.count(), 1);
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
    const Outcome out = ImportRows(app.state.store, app.state.today(), sheet(rows));
    EXPECT_FALSE(out.ok());
    EXPECT_TRUE(out.message().contains("25 处错误"));
    EXPECT_TRUE(out.message().contains("第4行"));
    EXPECT_TRUE(out.message().contains("第13行"));
    EXPECT_FALSE(out.message().contains("第14行"));
}

// A cell the sheet holds as a number or a date (row 4 is the first data row).
TEST_F(ImportTest, NumberAndDateCellsArriveAsTypedOrAreRefused)
{
    const double july1st1988 = double(QDate(1899, 12, 30).daysTo(QDate(1988, 7, 1)));
    struct Case {
        int field;
        QString shown;   // what the sheet shows
        double value;
        bool date;
        QString stored;   // "" when the row is refused
    };
    const Case cases[] = {
        {E_birth_date, "1988-07-01 0:00:00", july1st1988, true, "1988-07-01"},
        {E_graduate_date, "1988/7/1", july1st1988 + 0.5, true, "1988-07-01"},
        {E_Company_name, "1.2345E+004", 12345, false, "12345"},
        {E_Position, "999999999999999", 999999999999999.0, false, "999999999999999"},
        {E_cong_shi_zhuanye, "2.5", 2.5, false, "2.5"},
        // Where every digit matters, or beyond the 15 a sheet keeps exactly.
        {E_Profession, "1.10101196503081E+017", 110101196503081234.0, false, ""},
        {E_Profession, "110101196503", 110101196503.0, false, ""},
        {E_Mobile, "13800138000", 13800138000.0, false, ""},
        {E_Zip_code, "10045", 10045, false, ""},
        {E_Company_name, "1E+16", 1e16, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        QStringList cells = row("周九");
        cells[column(c.field)] = c.shown;
        ImportSheet input{sheet({cells}), {{4, column(c.field) + 1, c.value, c.date}}};
        const CheckResult check = CheckSheet(input, app.state.store, app.state.today());
        if (c.stored.isEmpty()) {
            ASSERT_EQ(check.problems.size(), 1);
            EXPECT_TRUE(
                check.problems[0].startsWith(QStringLiteral("第4行第%1列").arg(ColumnLetter(column(c.field) + 1))))
                << check.problems[0].toStdString();
            EXPECT_TRUE(check.problems[0].contains("文本格式")) << check.problems[0].toStdString();
            EXPECT_TRUE(check.records.isEmpty());
        } else {
            ASSERT_TRUE(check.problems.isEmpty()) << check.problems.join('\n').toStdString();
            ASSERT_EQ(check.records.size(), 1);
            EXPECT_EQ(check.records[0][c.field - 1], c.stored);
        }
    }
}

TEST_F(ImportTest, ExtraColumnsAndExpertsAlreadyThereAreSaidBeforeStoring)
{
    const QString known = app.addExpert("张三");   // mobile 13800000000
    QStringList zhang = row("张三");
    zhang[column(E_Mobile)] = "13800000000";
    QStringList li = row("李四");
    li[column(E_Mobile)] = "13900000000";
    QStringList other = row("张三");   // another 张三: another mobile
    other[column(E_Mobile)] = "13700000000";
    QList<QStringList> rows = sheet({zhang, li, other, li});
    rows[0] << ""
            << "备注";   // headings of columns AA and AB
    rows[4] << ""
            << "请优先联系";
    rows[5] << "多填的一格";
    const CheckResult check = CheckRows(rows, app.state.store, app.state.today());
    ASSERT_TRUE(check.problems.isEmpty()) << check.problems.join('\n').toStdString();
    EXPECT_EQ(check.records.size(), 4);
    EXPECT_EQ(check.extraColumns, (QStringList{"第AA列", "第AB列“备注”"}));
    EXPECT_EQ(check.duplicates,
              (QStringList{QStringLiteral("第4行：“张三”（13800000000）已在专家库中（编号 %1）").arg(known),
                           "第7行：“李四”（13900000000）与第5行是同一位专家"}));
    const QString notice = NoticeText(check);
    EXPECT_TRUE(notice.contains("第AB列“备注”"));
    EXPECT_TRUE(notice.contains("第7行"));

    // Nothing to say about a plain workbook.
    EXPECT_EQ(NoticeText(CheckRows(sheet({li}), app.state.store, app.state.today())), "");
}

TEST_F(ImportTest, ImportAddsAfterTheExistingExpertsWithoutTouchingThem)
{
    const QString a = app.addExpert("甲");
    const QString b = app.addExpert("乙");
    const QList<QStringList> before = app.state.store.ExpertTable.toLists();
    const Outcome out = ImportRows(app.state.store, app.state.today(), sheet({row("丙"), row("丁"), row("戊")}));
    ASSERT_TRUE(out.ok()) << out.message().toStdString();
    EXPECT_TRUE(out.message().contains("3 位专家"));
    ASSERT_EQ(app.state.store.ExpertTable.count(), 5);
    EXPECT_EQ(app.state.store.ExpertTable.toLists().mid(0, 2), before);
    QStringList ids, names;
    for (const QStringList &r : app.state.store.ExpertTable.toLists()) {
        ids << r[E_Id];
        names << r[E_Name];
    }
    EXPECT_EQ(ids, QStringList({"000001", "000002", "000003", "000004", "000005"}));
    EXPECT_EQ(names, QStringList({"甲", "乙", "丙", "丁", "戊"}));
}

// The new experts are read back into the table; the table then holds what a
// reload reads, also when the file had changed under it before the import.
TEST_F(ImportTest, AfterAnImportTheTableIsWhatAReloadReads)
{
    struct Case {
        int rows;
        bool fileAhead;   // an expert was added to the file behind the table
    };
    for (const Case &c : {Case{3, false}, Case{100, false}, Case{100, true}}) {
        SCOPED_TRACE(QStringLiteral("%1 rows%2").arg(c.rows).arg(c.fileAhead ? ", file ahead" : "").toStdString());
        TestApp fresh;
        fresh.addExpert("甲");
        if (c.fileAhead) {
            Connection conn = OpenDataFile(fresh.state.store);
            ExpertWriter(conn).insert("000002", {"表外的专家"});
        }
        QList<QStringList> dataRows;
        for (int i = 0; i < c.rows; ++i)
            dataRows << row(QStringLiteral("新%1").arg(i));
        QList<QStringList> rows = TemplateRows(fresh.state.store);
        rows += dataRows;
        const Outcome out = ImportRows(fresh.state.store, fresh.state.today(), rows);
        ASSERT_TRUE(out.ok()) << out.message().toStdString();

        DataStore reloaded;
        reloaded.appDir = fresh.appDir();
        LoadExperts(reloaded);
        EXPECT_EQ(fresh.state.store.ExpertTable.toLists(), reloaded.ExpertTable.toLists());
        const int before = c.fileAhead ? 2 : 1;
        ASSERT_EQ(fresh.state.store.ExpertTable.count(), before + c.rows);
        EXPECT_EQ(fresh.state.store.ExpertTable.cell(before, E_Id),
                  QStringLiteral("%1").arg(before + 1, 6, 10, QLatin1Char('0')));
        EXPECT_EQ(fresh.state.store.ExpertTable.toLists().last().value(E_Name), QStringLiteral("新%1").arg(c.rows - 1));
    }
}

TEST_F(ImportTest, AWorkbookThatIsNotTheImportSheetIsRefused)
{
    QList<QStringList> rows = sheet({row("甲")});
    rows[0][3] = "别的标题";
    Outcome out = ImportRows(app.state.store, app.state.today(), rows);
    EXPECT_FALSE(out.ok());
    EXPECT_TRUE(out.message().contains("不是专家数据导入表"));
    EXPECT_FALSE(ImportRows(app.state.store, app.state.today(), {}).ok());

    // Headings retyped without the inner blanks still count.
    rows = sheet({row("甲")});
    for (QString &h : rows[0])
        h.remove(' ');
    EXPECT_TRUE(ImportRows(app.state.store, app.state.today(), rows).ok());
}

TEST_F(ImportTest, ProgressIsReportedUpToTheLastRow)
{
    QList<QStringList> rows;
    for (int i = 0; i < 600; ++i)
        rows << row(QStringLiteral("专家%1").arg(i));
    QList<int> seen;
    const Outcome out = ImportRows(app.state.store, app.state.today(), sheet(rows), [&](int done, int total) {
        EXPECT_EQ(total, 600);
        seen << done;
    });
    ASSERT_TRUE(out.ok());
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last(), 600);
    EXPECT_EQ(app.countRows("expert_msg"), 600);
}

// An expert typed into the editor and the same expert in a workbook row are
// stored alike: same list texts and codes, same completed dates, same
// blanks. (A value longer than its field is cut by the editor but refused
// by the import, which must not change data without saying so.)
TEST_F(ImportTest, EditorSaveAndImportStoreTheSameRecord)
{
    QStringList cells(26);
    TestHost host{app.state};
    const QString form = QStringLiteral("frmNewExpert");
    host.openScreen(ScreenId::NewExpert);
    for (int c = 0; c < int(ExpertFields().size()); ++c) {
        const ExpertFieldDef &f = ExpertFields()[size_t(c)];
        QString text = QStringLiteral("  值%1 ").arg(f.field);
        if (f.kind == ExpertInputKind::Date)
            text = QStringLiteral("1965-3-8");
        else if (f.field == E_Mobile)
            text = QStringLiteral(" 13800138000 ");
        else if (f.field == E_Zip_code)
            text = QStringLiteral("100045");
        if (f.kind == ExpertInputKind::List)
            continue;
        cells[c] = text;
        if (f.kind == ExpertInputKind::MultiLine)
            host.find<QPlainTextEdit>(form, ArrayName("txtDis", f.editorBox))->setPlainText(text);
        else
            host.find<QLineEdit>(form, ArrayName("txtDis", f.editorBox))->setText(text);
    }
    // The second choice of each list; the title level's star grade follows it.
    const QStringList degrees = EditorReferenceNames(app.state.store.DegreeTable);
    const QStringList titles = EditorReferenceNames(app.state.store.TitleTypeTable);
    struct Choice {
        const char *list;
        int field;
        int position;
        QString text;
    };
    for (const Choice &ch :
         {Choice{"com_Sex", E_Sex, 1, kSexFemale}, Choice{"com_Sta", E_Status, 1, kStatusDisabled},
          Choice{"com_Lin", E_Is_temp, 1, kKindTemporary}, Choice{"com_Degree", E_degree_type_id, 2, degrees.value(2)},
          Choice{"com_Zhicheng", E_zhicheng_id, 3, titles.value(3)},
          Choice{"com_Star", E_star_number, 3, StarGrade(4)}}) {
        host.find<QComboBox>(form, QString::fromLatin1(ch.list))->setCurrentIndex(ch.position);
        cells[column(ch.field)] = ch.text;
    }
    host.find<QPushButton>(form, "cmd_Save")->click();
    ASSERT_EQ(app.messages->texts(), QStringList{"增加成功。"});

    const Outcome out = ImportRows(app.state.store, app.state.today(), sheet({cells}));
    ASSERT_TRUE(out.ok()) << out.message().toStdString();
    ASSERT_EQ(app.state.store.ExpertTable.count(), 2);
    const QStringList saved = app.state.store.ExpertTable.row(0);
    const QStringList imported = app.state.store.ExpertTable.row(1);
    EXPECT_EQ(saved[E_Id], "000001");
    EXPECT_EQ(imported[E_Id], "000002");
    EXPECT_EQ(saved.mid(1), imported.mid(1));
    EXPECT_EQ(saved[E_Status], kStatusDisabled);
    EXPECT_EQ(saved[E_degree_type_id], "03");
    EXPECT_EQ(saved[E_zhicheng_id], app.state.store.TitleTypeTable.cell(4, 0));
    EXPECT_EQ(saved[E_star_number], "★★★★☆");
    EXPECT_EQ(saved[E_birth_date], "1965-03-08");
    EXPECT_EQ(saved[E_Mobile], "13800138000");
    EXPECT_EQ(saved[E_Name], QStringLiteral("值%1").arg(E_Name));
}

// A line break in a one-line value is not kept, as in the editor; the
// summary before storing lists every such cell. Multi-line values keep theirs.
TEST_F(ImportTest, LineBreaksInOneLineValuesAreListedBeforeStoring)
{
    QStringList zhang = row("张\n三");
    zhang[column(E_Company_name)] = "北京市\r\n建筑设计院";
    zhang[column(E_Position)] = "总工\t程师";
    zhang[column(E_Resume)] = "1988年入职。\n1995年任总工。";
    QStringList li = row("李四");   // nothing to say
    QStringList bad = row("王\n五");
    bad[column(E_Sex)] = "?";   // refused: its changes are not listed
    const CheckResult refused = CheckRows(sheet({zhang, li, bad}), app.state.store, app.state.today());
    EXPECT_EQ(refused.problems.size(), 1);
    EXPECT_TRUE(refused.joinedLines.filter("第6行").isEmpty()) << refused.joinedLines.join('\n').toStdString();

    const CheckResult check = CheckRows(sheet({zhang, li}), app.state.store, app.state.today());
    ASSERT_TRUE(check.problems.isEmpty()) << check.problems.join('\n').toStdString();
    ASSERT_EQ(check.records.size(), 2);
    EXPECT_EQ(check.records[0][E_Name - 1], "张 三");
    EXPECT_EQ(check.records[0][E_Company_name - 1], "北京市 建筑设计院");
    EXPECT_EQ(check.records[0][E_Position - 1], "总工 程师");
    EXPECT_EQ(check.records[0][E_Resume - 1], "1988年入职。\n1995年任总工。");
    const auto cell = [&](int field) { return QStringLiteral("第4行第%1列").arg(ColumnLetter(column(field) + 1)); };
    ASSERT_EQ(check.joinedLines.size(), 3) << check.joinedLines.join('\n').toStdString();
    EXPECT_EQ(check.joinedLines[0], cell(E_Name) + "“专家姓名”：换行已改为空格，导入为“张 三”");
    EXPECT_TRUE(check.joinedLines[1].startsWith(cell(E_Company_name))) << check.joinedLines[1].toStdString();
    EXPECT_TRUE(check.joinedLines[2].startsWith(cell(E_Position))) << check.joinedLines[2].toStdString();
    const QString notice = NoticeText(check);
    EXPECT_TRUE(notice.contains("换行")) << notice.toStdString();
    for (const QString &line : check.joinedLines)
        EXPECT_TRUE(notice.contains(line)) << notice.toStdString();
}

// An .xlsx workbook of the import table, its cells inline strings.
void WriteXlsx(const QString &path, const QList<QStringList> &rows)
{
    QByteArray sheetXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                          "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (int r = 0; r < rows.size(); ++r) {
        sheetXml += QStringLiteral("<row r=\"%1\">").arg(r + 1).toUtf8();
        for (int c = 0; c < rows[r].size(); ++c)
            if (!rows[r][c].isEmpty())
                sheetXml +=
                    QStringLiteral("<c r=\"%1%2\" t=\"inlineStr\"><is><t xml:space=\"preserve\">%3</t></is></c>")
                        .arg(ColumnLetter(c + 1))
                        .arg(r + 1)
                        .arg(rows[r][c].toHtmlEscaped())
                        .toUtf8();
        sheetXml += "</row>";
    }
    sheetXml += "</sheetData></worksheet>";
    const QList<QPair<const char *, QByteArray>> members{
        {"_rels/.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
         "Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets><sheet name=\"导入\" "
         "sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", sheetXml},
    };
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr) << error;
    for (const auto &[name, data] : members) {
        zip_source_t *source = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        ASSERT_NE(source, nullptr);
        ASSERT_GE(zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);   // writes the members while their data is still here
}

// A spreadsheet cell holds at most 32,767 characters: the office cuts a
// longer text to that when it saves, and Excel when one is pasted. A cell of
// just that length has lost its end and is refused as one too long for its
// field is, whatever the workbook's format.
TEST_F(ImportTest, ACellCutToTheSpreadsheetLimitIsRefused)
{
    struct Case {
        int length;
        QChar fill;
        const char *expected;   // part of the problem; "" when the row is taken
    };
    const Case cases[] = {
        {kSheetCellLimit - 1, u'x', ""},
        {kSheetCellLimit, u'x', "单元格中正好有32767个字符"},
        {kSheetCellLimit, u'历', "单元格中正好有32767个字符"},
        {40000, u'x', ""},                                  // no program cut it, and it fits
        {70000, u'x', "内容超过了65535个字符的长度限制"},   // the field's own width
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        QStringList cells = row("周九");
        cells[column(E_Resume)] = QString(c.length, c.fill);
        const QList<QStringList> rows = sheet({row("甲"), cells});
        const QString xlsx = dir.filePath("long.xlsx");
        WriteXlsx(xlsx, rows);
        const Result<ImportSheet> read = ReadImportFile({}, xlsx);
        ASSERT_TRUE(read.ok()) << read.message().toStdString();
        ASSERT_EQ(read->rows.value(4).value(column(E_Resume)).size(), c.length);
        const CheckResult check = CheckSheet(*read, app.state.store, app.state.today());
        if (*c.expected == 0) {
            EXPECT_TRUE(check.problems.isEmpty()) << check.problems.join('\n').toStdString();
            EXPECT_EQ(check.records.size(), 2);
            continue;
        }
        ASSERT_EQ(check.problems.size(), 1);
        EXPECT_TRUE(check.problems[0].startsWith(
            QStringLiteral("第5行第%1列“工作简历”：").arg(ColumnLetter(column(E_Resume) + 1))))
            << check.problems[0].toStdString();
        EXPECT_TRUE(check.problems[0].contains(QString::fromUtf8(c.expected))) << check.problems[0].toStdString();
        const Outcome out = ImportRows(app.state.store, app.state.today(), rows);
        EXPECT_FALSE(out.ok());
        EXPECT_EQ(app.countRows("expert_msg"), 0);
    }
}

// A file that is no workbook gets a sentence in Chinese naming it; what the
// spreadsheet program said goes to the details.
TEST_F(ImportTest, FilesThatAreNoWorkbookAreRefusedInChinese)
{
    struct Case {
        const char *name;
        QByteArray bytes;       // null: no file at all
        const char *expected;   // part of the message
        const char *detail;     // part of the detail, "" for none
        QString officeSays;     // what the office throws on open; "" when it is never asked
    };
    const QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    const Case cases[] = {
        {"照片.xls", png, "是一个PNG 图片，不是电子表格", "", ""},
        {"照片.xlsx", png, "是一个PNG 图片，不是电子表格", "", ""},
        {"扫描.xls", QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 10), "JPEG 图片", "", ""},
        {"名单.ods", QByteArray("%PDF-1.7\n"), "PDF 文档", "", ""},
        {"空.xls", QByteArray(""), "是空的", "", ""},
        {"没有.xls", QByteArray(), "无法读取文件", "", ""},
        {"文档.xls", QByteArray("PK\x03\x04", 4), "不是电子表格（可能是图片、文字文档等文件改了扩展名）",
         "Not a spreadsheet", QStringLiteral("Not a spreadsheet: file:///tmp/文档.xls")},
        {"坏.xls", QByteArray("\xD0\xCF\x11\xE0", 4), "电子表格程序无法读取文件", "LibreOffice: General Error",
         QStringLiteral("LibreOffice: General Error")},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        if (!c.bytes.isNull()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.bytes);
        }
        bool asked = false;
        const auto makeEngine = [&]() -> std::unique_ptr<SpreadsheetEngine> {
            auto log = std::make_shared<FakeSpreadsheetLog>();
            log->onCall = [&, says = c.officeSays](const QString &operation) {
                asked = true;
                if (operation == "open")
                    throw SpreadsheetError(says);
            };
            return MakeFakeSpreadsheet(log);
        };
        const Result<ImportSheet> read = ReadImportFile(makeEngine, path);
        ASSERT_FALSE(read.ok());
        EXPECT_EQ(asked, !c.officeSays.isEmpty());
        EXPECT_TRUE(read.message().contains(QString::fromUtf8(c.name))) << read.message().toStdString();
        EXPECT_TRUE(read.message().contains(QString::fromUtf8(c.expected))) << read.message().toStdString();
        EXPECT_FALSE(read.message().contains("Not a spreadsheet")) << read.message().toStdString();
        EXPECT_FALSE(read.message().contains("file://")) << read.message().toStdString();
        EXPECT_TRUE(read.detail().contains(QString::fromUtf8(c.detail))) << read.detail().toStdString();
    }
}

TEST(CsvTest, ParsesQuotedCellsInUtf8AndGbk)
{
    const QByteArray utf8 =
        "\xEF\xBB\xBF" + QStringLiteral("姓名,地址\r\n张三,\"北京,海淀\"\r\n\"李\"\"四\",\"两\n行\"\n").toUtf8();
    const QList<QStringList> expected{{"姓名", "地址"}, {"张三", "北京,海淀"}, {"李\"四", "两\n行"}};
    EXPECT_EQ(ParseCsv(utf8), expected);
    // "张三,男" in GBK, as Excel writes a CSV on a Chinese system.
    const QByteArray gbk("\xD5\xC5\xC8\xFD,\xC4\xD0\r\n");
    EXPECT_EQ(ParseCsv(gbk), QList<QStringList>({{"张三", "男"}}));
    EXPECT_EQ(ParseCsv("a,,b"), QList<QStringList>({{"a", "", "b"}}));
}

TEST(CsvTest, AQuoteOutOfPlaceIsRefusedWithItsRow)
{
    struct Case {
        QByteArray text;
        int row;
    };
    const Case cases[] = {
        // Never closed: every row after it would end up in one cell.
        {"姓名,地址\n张三,\"北京\n李四,上海\n王五,广州\n", 2},
        // A quote inside a cell that is not quoted as a whole.
        {"姓名,地址\n张三,北京\n李四,他说\"好\"\n", 3},
        // Something after the closing quote of a cell.
        {"姓名,地址\n\"张三\"x,北京\n", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        try {
            ParseCsv(c.text);
            ADD_FAILURE() << "read without a word";
        } catch (const SpreadsheetError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("第%1行").arg(c.row))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains("引号")) << e.message().toStdString();
        }
    }
    // Quoted cells over several lines are fine, and count as one row.
    EXPECT_EQ(ParseCsv("a,\"x\ny\"\nb,\"z\"\"\"\n"), QList<QStringList>({{"a", "x\ny"}, {"b", "z\""}}));
}

TEST(CsvTest, BytesOfNeitherEncodingAreRefusedWithTheirRow)
{
    // "张三,男" in GBK, then a row with bytes that are neither GBK nor UTF-8.
    const QByteArray text("\xD5\xC5\xC8\xFD,\xC4\xD0\r\n\xC0\xEE\xCB\xC4,\xC4\xD0\r\nab,\xFF\xFF\r\n");
    try {
        ParseCsv(text);
        ADD_FAILURE() << "read as replacement characters";
    } catch (const SpreadsheetError &e) {
        EXPECT_TRUE(e.message().contains("第3行")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("UTF-8")) << e.message().toStdString();
    }
}

TEST(ColumnLetterTest, NamesColumnsAsTheSheetDoes)
{
    EXPECT_EQ(ColumnLetter(1), "A");
    EXPECT_EQ(ColumnLetter(26), "Z");
    EXPECT_EQ(ColumnLetter(27), "AA");
}

}   // namespace
