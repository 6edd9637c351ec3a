#include "TestApp.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/Recordset.h"
#include "data/ExpertRecord.h"

#include <gtest/gtest.h>

using namespace Schema;

namespace {

// ---------------------------------------------------------------------------
// Dates

struct DateCase {
    const char *typed;
    const char *stored;
};

class NormalizeDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(NormalizeDate, CompletesOneDigitMonthAndDayOnly)
{
    EXPECT_EQ(NormalizeDateText(QString::fromUtf8(GetParam().typed)), QString::fromUtf8(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeDate,
                         ::testing::Values(DateCase{"1965-3-8", "1965-03-08"}, DateCase{"1965-3-18", "1965-03-18"},
                                           DateCase{"1965-12-8", "1965-12-08"}, DateCase{"1965-03-08", "1965-03-08"},
                                           DateCase{"1965/3/8", "1965/3/8"}, DateCase{"65-3-8", "65-3-8"},
                                           DateCase{"  1965-3-8  ", "1965-03-08"}, DateCase{"", ""},
                                           DateCase{"   ", ""}, DateCase{"1965-", "1965-"},
                                           DateCase{"1965-3", "1965-3"}, DateCase{"1965-3-", "1965-03-"},
                                           DateCase{"1965-12-", "1965-12-"}, DateCase{"1965-12-31", "1965-12-31"},
                                           DateCase{"一九六五年三月", "一九六五年三月"},
                                           DateCase{"1965-3-8日", "1965-03-8日"}));

// ---------------------------------------------------------------------------
// Gathering

ExpertFormValues formWithName(const QString &name)
{
    ExpertFormValues v;
    v.byField[E_Name] = name;
    v.byField[E_Status] = QStringLiteral("启用");
    v.byField[E_Is_temp] = QStringLiteral("正式");
    v.byField[E_star_number] = QStringLiteral("★☆☆☆☆");
    v.byField[E_Sex] = QStringLiteral("男");
    v.byField[E_degree_type_id] = QStringLiteral("01");
    v.byField[E_zhicheng_id] = QStringLiteral("01");
    return v;
}

const QDate kToday(2026, 12, 9);

TEST(GatherExpertFields, NameIsRequiredAndStoredTrimmed)
{
    EXPECT_FALSE(GatherExpertFields(formWithName(QString()), kToday));
    EXPECT_FALSE(GatherExpertFields(formWithName(QStringLiteral("    ")), kToday));
    const auto b = GatherExpertFields(formWithName(QStringLiteral("  张三 ")), kToday);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->entry[E_Name], QStringLiteral("张三"));
}

TEST(GatherExpertFields, EmptyInputsBecomeOneSpaceAndTextsAreTrimmed)
{
    ExpertFormValues v = formWithName(QStringLiteral("张三"));
    v.byField[E_province] = QStringLiteral("  北京  ");
    v.byField[E_school_name] = QStringLiteral("   ");
    v.byField[E_birth_date] = QStringLiteral(" 1965-3-8 ");
    v.byField[E_graduate_date] = QString();
    v.byField[E_Resume] = QStringLiteral("\n  第一行\n第二行  \n");
    v.byField[E_Reg_date] = QStringLiteral("ignored");
    v.byField[E_area_id] = QStringLiteral("ignored");
    const auto b = GatherExpertFields(v, kToday);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->entry[E_province], QStringLiteral("北京"));
    EXPECT_EQ(b->entry[E_school_name], QStringLiteral(" "));
    EXPECT_EQ(b->entry[E_birth_date], QStringLiteral("1965-03-08"));
    EXPECT_EQ(b->entry[E_graduate_date], QStringLiteral(" "));
    EXPECT_EQ(b->entry[E_Resume], QStringLiteral("第一行\n第二行"));
    EXPECT_EQ(b->entry[E_area_id], QStringLiteral(" "));
    EXPECT_EQ(b->entry[E_Reg_date], QStringLiteral("2026-12-09"));
    for (int i = 1; i < ExpertFieldCount; ++i)
        EXPECT_FALSE(b->entry[i].isEmpty()) << i;
}

TEST(GatherExpertFields, OneLineBoxesStoreOneLine)
{
    // What a paste from another program brings into a one-line box.
    struct Case {
        int field;
        QString typed;
        QString stored;
    };
    const Case cases[] = {
        {E_Name, QStringLiteral("张\n三"), QStringLiteral("张 三")},
        {E_Name, QStringLiteral("张三\r\n"), QStringLiteral("张三")},
        {E_Company_name, QStringLiteral("北京建工集团\r\n第三分公司"), QStringLiteral("北京建工集团 第三分公司")},
        {E_Company_name, QStringLiteral("北京\t\t建工"), QStringLiteral("北京 建工")},
        {E_Position, QStringLiteral("总工\u2028程师"), QStringLiteral("总工 程师")},
        {E_Mobile, QStringLiteral("138\n0013\v8000"), QStringLiteral("138 0013 8000")},
        {E_birth_date, QStringLiteral("1965-3-8\n"), QStringLiteral("1965-03-08")},
        {E_Address, QStringLiteral("北京市\n\n海淀区"), QStringLiteral("北京市 海淀区")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        ExpertFormValues v = formWithName(QStringLiteral("李四"));
        v.byField[c.field] = c.typed;
        const auto b = GatherExpertFields(v, kToday);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->entry[c.field], c.stored);
    }
    // A name of nothing but line breaks is no name.
    EXPECT_FALSE(GatherExpertFields(formWithName(QStringLiteral("\n\t\r\n")), kToday));
}

TEST(GatherExpertFields, ListValuesAreTakenAsTheyAre)
{
    ExpertFormValues v = formWithName(QStringLiteral("张三"));
    v.byField[E_Status] = QStringLiteral(" 停用 ");   // a stored value kept by the update screen
    v.byField[E_degree_type_id] = QStringLiteral("03");
    v.byField[E_zhicheng_id] = QString();   // no title level to offer
    const auto b = GatherExpertFields(v, kToday);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->entry[E_Status], QStringLiteral(" 停用 "));
    EXPECT_EQ(b->entry[E_degree_type_id], QStringLiteral("03"));
    EXPECT_EQ(b->entry[E_zhicheng_id], QStringLiteral(" "));
}

// ---------------------------------------------------------------------------
// Widths

TEST(StoredFields, PositionsFrom17AreClippedToTheirWidths)
{
    ExpertFormValues v = formWithName(QStringLiteral("张三"));
    const QString longCompany(300, QChar(u'单'));
    v.byField[E_Company_name] = longCompany;                                       // 16 and below: unclipped
    v.byField[E_Mobile] = QStringLiteral("1234567890123456789012345");             // 25 single-width
    v.byField[E_Zip_code] = QStringLiteral("邮编12345678");                        // 2+2+8 = 12 > 10
    v.byField[E_zige_gettime] = QStringLiteral("a") + QString(10, QChar(u'年'));   // 21 > 20
    v.byField[E_email] = QString(26, QChar(u'邮'));                                // 52 > 50
    v.byField[E_type] = QString(200, QChar(u'类'));                                // 400 > 255
    v.byField[E_Resume] = QString(40000, QChar(u'历'));                            // 80000 > 65535
    const auto b = GatherExpertFields(v, kToday);
    ASSERT_TRUE(b);
    const QStringList stored = b->storedFields();
    ASSERT_EQ(stored.size(), ExpertFieldCount - 1);
    auto at = [&](int field) { return stored[field - 1]; };
    EXPECT_EQ(at(E_Company_name), longCompany);
    EXPECT_EQ(at(E_Mobile), QStringLiteral("12345678901234567890"));
    EXPECT_EQ(at(E_Zip_code), QStringLiteral("邮编123456"));
    EXPECT_EQ(at(E_zige_gettime), QStringLiteral("a") + QString(9, QChar(u'年')));
    EXPECT_EQ(at(E_email), QString(25, QChar(u'邮')));
    EXPECT_EQ(at(E_type), QString(127, QChar(u'类')));
    EXPECT_EQ(at(E_Resume), QString(32767, QChar(u'历')));
    EXPECT_EQ(at(E_Reg_date), QStringLiteral("2026-12-09"));
    EXPECT_EQ(at(E_area_id), QStringLiteral(" "));

    // The draw-list row carries the values as gathered.
    const QStringList row = b->drawListRow(QStringLiteral("000007"));
    EXPECT_EQ(row, (QStringList{"000007", "张三", "男", " ", longCompany, " ", " ", "1234567890123456789012345"}));
}

// ---------------------------------------------------------------------------
// Writing

class ExpertWrites : public ::testing::Test {
protected:
    ExpertRecordBuffer record(const QString &name)
    {
        return *GatherExpertFields(formWithName(name), app.state.today());
    }
    void insertWithId(const QString &id)
    {
        Connection conn = OpenDataFile(app.state.store);
        Recordset rs(conn, ExpertMsg());
        rs.addNew();
        rs.setField(0, id);
        for (int i = 1; i < ExpertFieldCount; ++i)
            rs.setField(i, QStringLiteral(" "));
        rs.update();
    }
    void deleteId(const QString &id)
    {
        Connection conn = OpenDataFile(app.state.store);
        Statement st = conn.prepare(QStringLiteral("DELETE FROM expert_msg WHERE Id = ?"));
        st.bind(1, id);
        st.step();
    }
    QString addAndReload(const QString &name)
    {
        const QString id = AddExpertRecord(app.state.store, record(name)).value();
        LoadExperts(app.state.store);
        return id;
    }
    TestApp app;
};

TEST_F(ExpertWrites, IdentifiersFollowTheLastCachedId)
{
    EXPECT_EQ(addAndReload(QStringLiteral("甲")), QStringLiteral("000001"));
    EXPECT_EQ(addAndReload(QStringLiteral("乙")), QStringLiteral("000002"));
    insertWithId(QStringLiteral("000041"));
    LoadExperts(app.state.store);
    EXPECT_EQ(addAndReload(QStringLiteral("丙")), QStringLiteral("000042"));
    // The highest identifier deleted is given out again.
    deleteId(QStringLiteral("000042"));
    LoadExperts(app.state.store);
    EXPECT_EQ(addAndReload(QStringLiteral("丁")), QStringLiteral("000042"));
    ASSERT_EQ(app.state.store.ExpertTable.count(), 4);
    EXPECT_EQ(app.state.store.ExpertTable.cell(3, E_Name), QStringLiteral("丁"));
}

TEST_F(ExpertWrites, AddStoresAllFieldsInPositionOrder)
{
    ExpertFormValues v = formWithName(QStringLiteral("张三"));
    v.byField[E_Mobile] = QStringLiteral("1234567890123456789012345");
    v.byField[E_graduate_date] = QStringLiteral("1990-7-1");
    ASSERT_TRUE(AddExpertRecord(app.state.store, *GatherExpertFields(v, app.state.today())).ok());
    LoadExperts(app.state.store);
    ASSERT_EQ(app.state.store.ExpertTable.count(), 1);
    const QStringList row = app.state.store.ExpertTable.row(0);
    EXPECT_EQ(row[E_Id], QStringLiteral("000001"));
    EXPECT_EQ(row[E_Name], QStringLiteral("张三"));
    EXPECT_EQ(row[E_Status], QStringLiteral("启用"));
    EXPECT_EQ(row[E_graduate_date], QStringLiteral("1990-07-01"));
    EXPECT_EQ(row[E_Mobile], QStringLiteral("12345678901234567890"));
    EXPECT_EQ(row[E_area_id], QStringLiteral(" "));
    EXPECT_EQ(row[E_Reg_date], QStringLiteral("2026-12-09"));
    EXPECT_EQ(row[E_Address], QStringLiteral(" "));
}

TEST_F(ExpertWrites, AFailedAddLeavesTheFileAsItWas)
{
    addAndReload(QStringLiteral("甲"));
    // The engine refuses the record, as a failing disk would.
    OpenDataFile(app.state.store)
        .exec(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE INSERT ON expert_msg BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
    EXPECT_FALSE(AddExpertRecord(app.state.store, record(QStringLiteral("乙"))).ok());
    EXPECT_EQ(app.countRows(QStringLiteral("expert_msg")), 1);
}

TEST_F(ExpertWrites, NumbersComeFromTheFileNotFromAStaleCache)
{
    addAndReload(QStringLiteral("甲"));
    // Another program added an expert since this one loaded the table.
    app.state.store.ExpertTable.clear();
    EXPECT_EQ(AddExpertRecord(app.state.store, record(QStringLiteral("乙"))).value(), QStringLiteral("000002"));
    EXPECT_EQ(app.countRows(QStringLiteral("expert_msg")), 2);
}

TEST_F(ExpertWrites, UpdateRewritesEveryFieldButIdWithTodaysDate)
{
    QStringList fields(ExpertFieldCount - 1, QStringLiteral("旧"));
    fields[E_area_id - 1] = QStringLiteral("A17");
    fields[E_Reg_date - 1] = QStringLiteral("2001-01-01");
    const QString id = app.addExpert(fields);
    const QString other = app.addExpert(QStringLiteral("李四"));

    ASSERT_TRUE(UpdateExpertRecord(app.state.store, id, record(QStringLiteral("张三"))));
    LoadExperts(app.state.store);
    const QStringList row = app.state.store.ExpertTable.row(FindExpertRow(app.state.store, id));
    EXPECT_EQ(row[E_Id], id);
    EXPECT_EQ(row[E_Name], QStringLiteral("张三"));
    EXPECT_EQ(row[E_area_id], QStringLiteral(" "));
    EXPECT_EQ(row[E_Reg_date], QStringLiteral("2026-12-09"));
    EXPECT_EQ(row[E_Resume], QStringLiteral(" "));
    EXPECT_EQ(app.state.store.ExpertTable.row(FindExpertRow(app.state.store, other))[E_Name], QStringLiteral("李四"));
}

TEST_F(ExpertWrites, UpdateOfAnUnknownIdWritesNothing)
{
    const QString id = app.addExpert(QStringLiteral("李四"));
    EXPECT_FALSE(UpdateExpertRecord(app.state.store, QStringLiteral("000099"), record(QStringLiteral("张三"))));
    // The criterion is a bound value, never SQL text.
    EXPECT_FALSE(UpdateExpertRecord(app.state.store, QStringLiteral("' OR '1'='1"), record(QStringLiteral("张三"))));
    LoadExperts(app.state.store);
    EXPECT_EQ(app.state.store.ExpertTable.cell(FindExpertRow(app.state.store, id), E_Name), QStringLiteral("李四"));
}

TEST(ExpertFieldTable, CoversEachInputOnceWithTheRightIndexes)
{
    QSet<int> captions, fields, boxes;
    for (const ExpertFieldDef &f : ExpertFields()) {
        EXPECT_FALSE(captions.contains(f.caption));
        EXPECT_FALSE(fields.contains(f.field));
        captions << f.caption;
        fields << f.field;
        if (f.editorBox >= 0) {
            EXPECT_FALSE(boxes.contains(f.editorBox));
            boxes << f.editorBox;
        }
    }
    EXPECT_FALSE(captions.contains(6));
    EXPECT_FALSE(captions.contains(19));
    for (int missing : {6, 7, 8, 14, 16, 17, 18, 19})
        EXPECT_FALSE(boxes.contains(missing)) << missing;
    EXPECT_EQ(ExpertFieldForPosition(E_Id), nullptr);
    EXPECT_EQ(ExpertFieldForPosition(E_area_id), nullptr);
    EXPECT_EQ(ExpertFieldForPosition(E_Reg_date), nullptr);
}

}   // namespace
