#include "data/Schema.h"
#include "experts/ExpertFilters.h"

#include <gtest/gtest.h>

#include <map>

using namespace Schema;

namespace {

// An in-memory store: the six title levels of a new data file and experts
// given field by field (every other field a single space).
struct Store : DataStore {
    Store()
    {
        const QStringList titles{"全部", "员级", "助理级", "中级", "副高级", "正高级"};
        for (int i = 0; i < titles.size(); ++i)
            TitleTypeTable.append({ReferenceCode(i), titles[i]});
    }
    void add(const std::map<int, QString> &fields)
    {
        QStringList row;
        row << QStringLiteral("%1").arg(ExpertTable.count() + 1, 6, 10, QLatin1Char('0'));
        for (int f = 1; f < ExpertFieldCount; ++f)
            row << (fields.count(f) ? fields.at(f) : QStringLiteral(" "));
        ExpertTable.append(row);
    }
};

QStringList Column(const TextTable &rows, int column)
{
    QStringList out;
    for (const QStringList &r : rows.toLists())
        out << r.at(column);
    return out;
}

// ---- the expert list's name and status filter ----

class ExpertListFilter : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto &[name, status] : std::vector<std::pair<QString, QString>>{{"卫亮", "启用"},
                                                                                   {"孙卫平", "停用"},
                                                                                   {"李华卫", "启用"},
                                                                                   {"王强", "停用"},
                                                                                   {"a1c", "启用"},
                                                                                   {"A*c", "启用"},
                                                                                   {"abc", "启用"},
                                                                                   {"[卫]x", "启用"}})
            store.add({{E_Name, name}, {E_Status, status}, {E_zhicheng_id, "03"}});
    }
    Store store;
};

struct NameStatusCase {
    const char *name;
    const char *status;
    QStringList expected;
};

TEST_F(ExpertListFilter, TakesExpertsByNameAndStatus)
{
    const std::vector<NameStatusCase> cases{
        {"", "全部", {"卫亮", "孙卫平", "李华卫", "王强", "a1c", "A*c", "abc", "[卫]x"}},
        {"卫", "全部", {"卫亮", "孙卫平", "李华卫", "[卫]x"}},
        {"", "停用", {"孙卫平", "王强"}},
        {"", "启用", {"卫亮", "李华卫", "a1c", "A*c", "abc", "[卫]x"}},
        {"卫", "停用", {"孙卫平"}},
        // Typed wildcards keep their meaning; letters compare by case.
        {"a?c", "全部", {"a1c", "abc"}},
        {"a#c", "全部", {"a1c"}},
        {"A", "全部", {"A*c"}},
        {"*", "全部", {"卫亮", "孙卫平", "李华卫", "王强", "a1c", "A*c", "abc", "[卫]x"}},
        {"[卫王]", "全部", {"卫亮", "孙卫平", "李华卫", "王强", "[卫]x"}},
        {"[!卫]亮", "全部", {}},
        // A bracket that is never closed stands for itself.
        {"[", "全部", {"[卫]x"}},
        {"[卫", "全部", {"[卫]x"}},
        {"赵", "全部", {}},
        // Status compares exactly: "启" is no status.
        {"", "启", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "name '" << c.name << "' status " << c.status);
        TextTable rows;
        SetExpert_MsgTemp(store, QString::fromUtf8(c.name), QString::fromUtf8(c.status), rows);
        EXPECT_EQ(Column(rows, 1), c.expected);
    }
}

TEST_F(ExpertListFilter, ReplacesThePreviousRows)
{
    TextTable rows;
    SetExpert_MsgTemp(store, QString(), kAllItem, rows);
    ASSERT_EQ(rows.count(), 8);
    SetExpert_MsgTemp(store, QStringLiteral("王"), kAllItem, rows);
    EXPECT_EQ(Column(rows, 1), QStringList{"王强"});

    // Rebuilt again after the table changed, the rows equal a fresh build.
    store.ExpertTable.setCell(3, E_Name, QStringLiteral("王刚"));
    store.ExpertTable.removeAt(0);
    SetExpert_MsgTemp(store, QStringLiteral("?"), kAllItem, rows);
    TextTable fresh;
    SetExpert_MsgTemp(store, QString(), kAllItem, fresh);
    EXPECT_EQ(rows.toLists(), fresh.toLists());
    EXPECT_EQ(rows.cell(2, 1), QStringLiteral("王刚"));
}

TEST(ExpertListRows, HoldTheNineColumnsWithTheTitleName)
{
    Store store;
    store.add({{E_Name, "卫亮"},
               {E_Sex, "男"},
               {E_province, "北京"},
               {E_cong_shi_zhuanye, "土木工程"},
               {E_zhicheng_id, "04"},
               {E_Status, "启用"},
               {E_Is_temp, "临时"},
               {E_star_number, "★★★★☆"}});
    TextTable rows;
    SetExpert_MsgTemp(store, QString(), kAllItem, rows);
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.row(0),
              (QStringList{"000001", "卫亮", "男", "北京", "土木工程", "副高级", "启用", "临时", "★★★★☆"}));
}

TEST(ExpertListRows, TitleCodeThatNamesNoRowGivesAnEmptyCell)
{
    const std::vector<std::pair<QString, QString>> cases{
        {"03", "中级"}, {"3", "中级"}, {"05", "正高级"}, {"00", "全部"}, {"06", ""}, {"99", ""},
        {"-1", ""},     {"abc", ""},   {"", ""},         {" ", ""},      {"1e3", ""}};
    Store store;
    for (const auto &c : cases)
        store.add({{E_Name, "x"}, {E_zhicheng_id, c.first}});
    TextTable rows;
    SetExpert_MsgTemp(store, QString(), kAllItem, rows);
    ASSERT_EQ(rows.count(), qsizetype(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(rows.cell(i, 5), cases[i].second) << "code '" << cases[i].first.toStdString() << "'";
}

// ---- the advanced search ----

class SearchFilter : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.add({{E_Name, "卫亮"},
                   {E_Sex, "男"},
                   {E_Status, "启用"},
                   {E_Is_temp, "正式"},
                   {E_degree_type_id, "01"},
                   {E_type, "工程类"},
                   {E_zhicheng_id, "03"},
                   {E_province, "北京"},
                   {E_Company_name, "北京建工集团"},
                   {E_cong_shi_zhuanye, "土木工程"},
                   {E_resource_industry, "建筑工程"},
                   {E_zige_name, "一级建造师"},
                   {E_zige_gettime, "2003-05-01"},
                   {E_birth_date, "1965-03-02"},
                   {E_Mobile, "13800000001"}});
        store.add({{E_Name, "孙卫平"},
                   {E_Sex, "女"},
                   {E_Status, "停用"},
                   {E_Is_temp, "正式"},
                   {E_degree_type_id, "02"},
                   {E_type, "经济类"},
                   {E_zhicheng_id, "04"},
                   {E_province, "上海"},
                   {E_Company_name, "上海电力公司"},
                   {E_cong_shi_zhuanye, "电气工程"},
                   {E_resource_industry, "电力系统"},
                   {E_zige_name, "注册电气工程师"},
                   {E_zige_gettime, "2005-01-01"}});
        store.add({{E_Name, "李华卫"},
                   {E_Sex, "女"},
                   {E_Status, "启用"},
                   {E_Is_temp, "临时"},
                   {E_degree_type_id, "03"},
                   {E_type, "工程类"},
                   {E_zhicheng_id, "05"},
                   {E_province, "广州"},
                   {E_Company_name, "广州地铁"},
                   {E_cong_shi_zhuanye, "隧道工程"},
                   {E_resource_industry, "建筑工程"},
                   {E_zige_name, "监理工程师"},
                   {E_zige_gettime, "1999-12-03"}});
        store.add({{E_Name, "王强"},
                   {E_Sex, "男"},
                   {E_Status, "启用"},
                   {E_Is_temp, "正式"},
                   {E_degree_type_id, "01"},
                   {E_type, "经济类"},
                   {E_zhicheng_id, "03"},
                   {E_province, "北京"},
                   {E_Company_name, "中信[咨询]公司"},
                   {E_cong_shi_zhuanye, "造价"},
                   {E_resource_industry, "工程造价"},
                   {E_zige_name, "造价工程师"},
                   {E_zige_gettime, "2003-11-11"}});
        // A title code of another width never equals a two-digit criterion.
        store.add({{E_Name, "Zhang San"},
                   {E_Sex, "男"},
                   {E_Status, "启用"},
                   {E_Is_temp, "临时"},
                   {E_degree_type_id, "04"},
                   {E_type, "工程类"},
                   {E_zhicheng_id, "3"},
                   {E_province, "天津"},
                   {E_Company_name, "ACME Ltd"},
                   {E_cong_shi_zhuanye, "软件"},
                   {E_resource_industry, "信息技术"},
                   {E_zige_name, "系统架构师"},
                   {E_zige_gettime, "2010-01-01"}});
    }

    QStringList search(const SearchCriteria &criteria)
    {
        sExpert_MsgDetTemp(store, criteria, rows);
        return Column(rows, 1);
    }

    Store store;
    TextTable rows;
};

TEST_F(SearchFilter, EachCriterionAlone)
{
    struct Case {
        int index;
        const char *text;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {0, "卫", {"卫亮", "孙卫平", "李华卫"}},
        {0, "卫?", {"卫亮", "孙卫平"}},
        {1, "女", {"孙卫平", "李华卫"}},
        {1, "女 ", {}},   // exact criteria compare character for character
        {2, "停用", {"孙卫平"}},
        {3, "临时", {"李华卫", "Zhang San"}},
        {4, "01", {"卫亮", "王强"}},
        {4, "1", {}},
        {5, "经济", {"孙卫平", "王强"}},
        {6, "03", {"卫亮", "王强"}},
        {7, "北京", {"卫亮", "王强"}},
        {8, "[[]", {"王强"}},
        {8, "中信[", {"王强"}},   // unclosed bracket: a plain character
        {8, "acme", {}},
        {8, "ACME", {"Zhang San"}},
        {9, "工程", {"卫亮", "孙卫平", "李华卫"}},
        {10, "建筑", {"卫亮", "李华卫"}},
        {11, "工程师", {"孙卫平", "李华卫", "王强"}},
        {12, "2003", {"卫亮", "王强"}},
        {12, "20#0", {"Zhang San"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "criterion " << c.index << " '" << c.text << "'");
        SearchCriteria criteria;
        criteria[c.index] = QString::fromUtf8(c.text);
        EXPECT_EQ(search(criteria), c.expected);
    }
}

TEST_F(SearchFilter, NoCriteriaListsEveryExpertInTableOrder)
{
    EXPECT_EQ(search(SearchCriteria{}), (QStringList{"卫亮", "孙卫平", "李华卫", "王强", "Zhang San"}));
}

TEST_F(SearchFilter, CriteriaCombineAndNoRecordMatchesNobody)
{
    SearchCriteria nameAndSex;
    nameAndSex[0] = "卫";
    nameAndSex[1] = "女";
    EXPECT_EQ(search(nameAndSex), (QStringList{"孙卫平", "李华卫"}));

    const SearchCriteria all{"卫",   "男",   "启用", "正式", "01",   "工程", "03",
                             "北京", "建工", "土木", "建筑", "一级", "2003"};
    EXPECT_EQ(search(all), QStringList{"卫亮"});
    for (int i = 0; i < kSearchCriteriaCount; ++i) {
        SCOPED_TRACE(testing::Message() << "criterion " << i << " changed");
        SearchCriteria oneWrong = all;
        oneWrong[i] = QStringLiteral("不符");
        EXPECT_TRUE(search(oneWrong).isEmpty());
    }

    SearchCriteria none;
    none.fill(QStringLiteral("NoRecord"));
    EXPECT_TRUE(search(none).isEmpty());
}

TEST_F(SearchFilter, RowsHoldTheSevenColumns)
{
    SearchCriteria criteria;
    criteria[0] = "卫亮";
    search(criteria);
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.row(0),
              (QStringList{"000001", "卫亮", "1965-03-02", "北京建工集团", "土木工程", "一级建造师", "13800000001"}));
}

}   // namespace
