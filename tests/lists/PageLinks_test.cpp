#include "TestApp.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace {

// Where each list screen puts its page links: one row at the given top, the
// five at the same distances from the first.
struct LinksCase {
    ScreenId screen;
    int top;
    int firstLeft;
};

class PageLinks : public ::testing::TestWithParam<LinksCase> {};

TEST_P(PageLinks, StandInOneRowUnderTheList)
{
    const LinksCase c = GetParam();
    TestApp app;
    TestHost host(app.state);
    host.area.show();
    host.openScreen(c.screen);
    ChildScreen *screen = host.frontScreen();
    ASSERT_NE(screen, nullptr);
    const struct {
        const char *name;
        int offset;
    } links[] = {{"labFirst", 0}, {"labPre", 1260}, {"labPage", 2820}, {"labNext", 4620}, {"labLast", 5880}};
    for (const auto &link : links) {
        SCOPED_TRACE(link.name);
        auto *label = screen->findChild<QLabel *>(QString::fromLatin1(link.name), Qt::FindDirectChildrenOnly);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->pos(), QPoint(Px(c.firstLeft + link.offset), Px(c.top)));
    }
}

INSTANTIATE_TEST_SUITE_P(ListScreens, PageLinks,
                         ::testing::Values(LinksCase{ScreenId::ExpertList, 4920, 2460},
                                           LinksCase{ScreenId::ExpertSearch, 6870, 2760},
                                           LinksCase{ScreenId::DrawResult, 4500, 2760},
                                           LinksCase{ScreenId::Draw, 5835, 2760},
                                           LinksCase{ScreenId::DrawHistory, 5640, 2760}));

}   // namespace
