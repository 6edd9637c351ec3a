#include "TestApp.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

// Where a control of a criteria grid stands, in twips; width and height 0
// for a label that fits its text.
struct Place {
    const char *name;
    const char *caption;   // nullptr for inputs
    int left, top, width, height;
};

// The advanced search: four rows at 930, 1290, 1650 and 2025; captions fit
// their text 60 twips below their inputs, and each red "*" stands 120 twips
// left of its caption.
const Place kSearchGrid[] = {
    {"labDis(0)", "专家姓名：", 120, 990, 0, 0},    {"labDis(11)", "*", 0, 990, 0, 0},
    {"txtDis(0)", nullptr, 1140, 930, 1695, 315},   {"labDis(4)", "性    别：", 3075, 990, 0, 0},
    {"com_Sex", nullptr, 4095, 930, 1695, 300},     {"labDis(1)", "专家状态：", 6030, 990, 0, 0},
    {"com_Sta", nullptr, 7050, 930, 1695, 300},     {"labDis(2)", "专家性质：", 8985, 990, 0, 0},
    {"com_Lin", nullptr, 10005, 930, 1695, 300},    {"labDis(8)", "学    历：", 120, 1350, 0, 0},
    {"com_Degree", nullptr, 1140, 1290, 1695, 300}, {"labDis(16)", "职称类别：", 3075, 1350, 0, 0},
    {"labDis(15)", "*", 2955, 1350, 0, 0},          {"txtDis(1)", nullptr, 4095, 1290, 1695, 315},
    {"labDis(14)", "职称级别：", 6030, 1350, 0, 0}, {"com_Zhicheng", nullptr, 7050, 1290, 1695, 300},
    {"labDis(3)", "专家星级：", 8985, 1350, 0, 0},  {"com_Star", nullptr, 10005, 1290, 1695, 300},
    {"labDis(7)", "城    市：", 120, 1710, 0, 0},   {"labDis(12)", "*", 0, 1710, 0, 0},
    {"txtDis(2)", nullptr, 1140, 1650, 1695, 315},  {"labDis(17)", "工作单位：", 3075, 1710, 0, 0},
    {"labDis(19)", "*", 2955, 1710, 0, 0},          {"txtDis(3)", nullptr, 4095, 1650, 1695, 315},
    {"labDis(6)", "从事专业：", 6030, 1710, 0, 0},  {"labDis(21)", "*", 5910, 1710, 0, 0},
    {"txtDis(4)", nullptr, 7050, 1650, 1695, 315},  {"labDis(18)", "参评专业：", 8985, 1710, 0, 0},
    {"labDis(22)", "*", 8865, 1710, 0, 0},          {"txtDis(5)", nullptr, 10005, 1650, 1695, 315},
    {"labDis(5)", "资格名称：", 120, 2085, 0, 0},   {"labDis(13)", "*", 0, 2085, 0, 0},
    {"txtDis(6)", nullptr, 1140, 2025, 1695, 315},  {"labDis(9)", "取资时间：", 3075, 2085, 0, 0},
    {"txtDis(7)", nullptr, 4095, 2025, 1695, 315},
};

// The draw screen: three rows at 930, 1290 and 1650; captions 975 wide, their
// text against the input, and each red "*" 120 wide, 45 twips left of its
// caption.
const Place kDrawGrid[] = {
    {"labDis(0)", "专家姓名：", 120, 990, 975, 255},   {"labDis(5)", "专家性质：", 3075, 990, 975, 255},
    {"labDis(1)", "职称类别：", 6030, 990, 975, 255},  {"labDis(4)", "职称级别：", 8985, 990, 975, 255},
    {"labDis(2)", "参评专业：", 120, 1350, 975, 255},  {"labDis(3)", "从事专业：", 3075, 1350, 975, 255},
    {"labDis(6)", "资格名称：", 6030, 1350, 975, 255}, {"labDis(10)", "工作单位：", 8985, 1350, 975, 255},
    {"labDis(7)", "抽取类型：", 120, 1710, 975, 255},  {"labDis(8)", "抽取个数：", 3075, 1710, 975, 255},
    {"labDis(9)", "专家编号：", 3075, 1710, 975, 255}, {"txtDis(0)", nullptr, 1140, 930, 1695, 315},
    {"txtDis(1)", nullptr, 7050, 930, 1695, 315},      {"txtDis(2)", nullptr, 1140, 1290, 1695, 315},
    {"txtDis(3)", nullptr, 4095, 1290, 1695, 315},     {"txtDis(4)", nullptr, 7050, 1290, 1695, 315},
    {"txtDis(5)", nullptr, 10005, 1290, 1695, 315},    {"com_Lin", nullptr, 4095, 930, 1695, 300},
    {"com_Zhicheng", nullptr, 10005, 930, 1695, 300},  {"com_Type", nullptr, 1140, 1650, 1695, 300},
    {"txtNum", nullptr, 4095, 1650, 1695, 315},        {"labDis(12)", "*", 75, 990, 120, 255},
    {"labDis(13)", "*", 5985, 990, 120, 255},          {"labDis(14)", "*", 75, 1350, 120, 255},
    {"labDis(15)", "*", 3030, 1350, 120, 255},         {"labDis(16)", "*", 5985, 1350, 120, 255},
    {"labDis(17)", "*", 8940, 1350, 120, 255},
};

struct GridCase {
    ScreenId screen;
    const Place *places;
    size_t count;
    // The note and its red "*", which lies over the blank after "（".
    const char *note, *noteStar;
    int noteTop, noteHeight;
    // The inputs in keyboard order.
    QStringList order;
};

class CriteriaGridScreens : public ::testing::TestWithParam<GridCase> {};

TEST_P(CriteriaGridScreens, PlaceTheGridAsBefore)
{
    const GridCase &c = GetParam();
    TestApp app;
    TestHost host(app.state);
    host.area.show();
    host.openScreen(c.screen);
    ChildScreen *screen = host.frontScreen();
    ASSERT_NE(screen, nullptr);
    auto find = [screen](const QString &name) {
        return screen->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    };

    for (size_t i = 0; i < c.count; ++i) {
        const Place &p = c.places[i];
        SCOPED_TRACE(p.name);
        QWidget *w = find(QString::fromLatin1(p.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->pos(), QPoint(Px(p.left), Px(p.top)));
        if (p.width > 0)
            EXPECT_EQ(w->size(), QSize(Px(p.width), Px(p.height)));
        if (!p.caption)
            continue;
        auto *label = qobject_cast<QLabel *>(w);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromUtf8(p.caption));
        if (p.width == 0)
            EXPECT_EQ(label->size(), label->sizeHint());
        // Captions of fixed width stand against their input.
        else if (label->text() != QStringLiteral("*"))
            EXPECT_EQ(label->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        EXPECT_EQ(TextColor(label) == kWarningRed, label->text() == QStringLiteral("*"));
    }

    auto *note = qobject_cast<QLabel *>(find(QString::fromLatin1(c.note)));
    auto *star = qobject_cast<QLabel *>(find(QString::fromLatin1(c.noteStar)));
    ASSERT_TRUE(note && star);
    EXPECT_EQ(
        note->text(),
        QStringLiteral("（ 号项目为可进行模糊查询的项目。例如：专家姓名：卫， 结果可为：卫亮，孙卫平，李华卫等。）"));
    EXPECT_EQ(note->geometry().topLeft(), QPoint(Px(120), Px(c.noteTop)));
    EXPECT_EQ(note->width(), Px(11325));
    if (c.noteHeight > 0)
        EXPECT_EQ(note->height(), Px(c.noteHeight));
    EXPECT_EQ(star->text(), QStringLiteral("*"));
    EXPECT_EQ(TextColor(star), kWarningRed);
    EXPECT_EQ(star->pos(),
              QPoint(note->x() + QFontMetrics(note->font()).horizontalAdvance(QStringLiteral("（")), note->y()));
    // The "*" is drawn over the note, not under it.
    const QObjectList children = screen->children();
    EXPECT_GT(children.indexOf(star), children.indexOf(note));

    QStringList order;
    QWidget *w = find(c.order.first());
    for (int guard = 0; w && order.size() < c.order.size() && guard < 500; ++guard, w = w->nextInFocusChain())
        if (c.order.contains(w->objectName()))
            order << w->objectName();
    EXPECT_EQ(order, c.order);
}

INSTANTIATE_TEST_SUITE_P(
    SearchAndDraw, CriteriaGridScreens,
    ::testing::Values(
        GridCase{ScreenId::ExpertSearch, kSearchGrid, std::size(kSearchGrid), "labDis(10)", "labDis(23)", 2475, 0,
                 QStringList{"txtDis(0)", "com_Sex", "com_Sta", "com_Lin", "com_Degree", "txtDis(1)", "com_Zhicheng",
                             "com_Star", "txtDis(2)", "txtDis(3)", "txtDis(4)", "txtDis(5)", "txtDis(6)", "txtDis(7)"}},
        GridCase{ScreenId::Draw, kDrawGrid, std::size(kDrawGrid), "labDis(11)", "labDis(18)", 2085, 255,
                 QStringList{"txtDis(0)", "txtDis(1)", "txtDis(2)", "txtDis(3)", "txtDis(4)", "txtDis(5)", "com_Lin",
                             "com_Zhicheng", "com_Type", "txtNum"}}));

}   // namespace
