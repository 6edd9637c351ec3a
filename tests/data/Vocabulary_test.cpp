#include "TestApp.h"
#include "data/Vocabulary.h"

#include <gtest/gtest.h>

namespace {

// The stored texts are part of the file format: files written by earlier
// runs and by hand hold exactly these.
TEST(Vocabulary, ListsHoldTheStoredTextsWithTheEditorsDefaultFirst)
{
    EXPECT_EQ(StatusItems(), QStringList({"启用", "停用"}));
    EXPECT_EQ(KindItems(), QStringList({"正式", "临时"}));
    EXPECT_EQ(SexItems(), QStringList({"男", "女"}));
    EXPECT_EQ(StarGrades(), QStringList({"★☆☆☆☆", "★★☆☆☆", "★★★☆☆", "★★★★☆", "★★★★★"}));
    EXPECT_EQ(WithAllItem(KindItems()), QStringList({"全部", "正式", "临时"}));
    EXPECT_EQ(StarGrade(1), "★☆☆☆☆");
    EXPECT_EQ(StarGrade(5), "★★★★★");
    EXPECT_EQ(StarGrade(0), QString());
    EXPECT_EQ(StarGrade(6), QString());
}

// A reference table whose Ids are not the row numbers, as an edited file
// may hold: the title code the editor stores is the row's Id.
DataStore storeWithOddTitleIds()
{
    DataStore store;
    store.TitleTypeTable.append({"00", "全部"});
    store.TitleTypeTable.append({"01", "员级"});
    store.TitleTypeTable.append({"07", "助理级"});
    store.DegreeTable.append({"00", "全部"});
    store.DegreeTable.append({"01", "中专"});
    return store;
}

struct CodeCase {
    const char *rule;
    QString result;
    QString expected;
};

TEST(Vocabulary, CodeRules)
{
    const DataStore store = storeWithOddTitleIds();
    const CodeCase cases[] = {
        {"row 1", ReferenceCode(1), "01"},
        {"row 0", ReferenceCode(0), "00"},
        {"row 12", ReferenceCode(12), "12"},
        {"row 123 keeps its digits", ReferenceCode(123), "123"},
        {"degree at editor position 0", DegreeCodeForPosition(0), "01"},
        {"degree at editor position 2", DegreeCodeForPosition(2), "03"},
        {"degree at editor position 11", DegreeCodeForPosition(11), "12"},
        {"title at editor position 0", TitleIdForPosition(store, 0), "01"},
        {"title at editor position 1 is the row's Id", TitleIdForPosition(store, 1), "07"},
        {"title past the table", TitleIdForPosition(store, 2), ""},
        {"title before the table", TitleIdForPosition(store, -1), ""},
        {"title name of code 02", TitleNameForCode(store, "02"), "助理级"},
        {"title name of a padded code", TitleNameForCode(store, " 1 "), "员级"},
        {"title name of code 00", TitleNameForCode(store, "00"), "全部"},
        {"title name of a code past the table", TitleNameForCode(store, "03"), ""},
        {"title name of a blank code", TitleNameForCode(store, " "), ""},
        {"title name of a negative code", TitleNameForCode(store, "-1"), ""},
        {"title name of a text", TitleNameForCode(store, "中级"), ""},
        {"degree name of code 01", DegreeNameForCode(store, "01"), "中专"},
        {"degree name of code 02", DegreeNameForCode(store, "02"), ""},
    };
    for (const CodeCase &c : cases)
        EXPECT_EQ(c.result, c.expected) << c.rule;
}

// What the editor stores for each item it offers is read back as that item
// by the detail view and the lists, in the file a first start creates.
TEST(Vocabulary, EveryEditorChoiceReadsBackAsItself)
{
    TestApp app;
    const QStringList degrees = EditorReferenceNames(app.state.store.DegreeTable);
    const QStringList titles = EditorReferenceNames(app.state.store.TitleTypeTable);
    ASSERT_EQ(degrees.size(), app.state.store.DegreeTable.count() - 1);
    ASSERT_EQ(titles.size(), app.state.store.TitleTypeTable.count() - 1);
    EXPECT_FALSE(degrees.contains(kAllItem));
    EXPECT_FALSE(titles.contains(kAllItem));
    for (int p = 0; p < degrees.size(); ++p)
        EXPECT_EQ(DegreeNameForCode(app.state.store, DegreeCodeForPosition(p)), degrees[p]) << p;
    for (int p = 0; p < titles.size(); ++p) {
        EXPECT_EQ(TitleNameForCode(app.state.store, TitleIdForPosition(app.state.store, p)), titles[p]) << p;
        // The search and draw lists show row 0 too: their position p + 1 is this item.
        EXPECT_EQ(TitleIdForPosition(app.state.store, p), ReferenceCode(p + 1)) << p;
    }
}

}   // namespace
