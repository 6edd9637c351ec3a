#include "ui/ClickableLabel.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A text box and two links, as on a list screen.
struct Form {
    QWidget window;
    QLineEdit *box = new QLineEdit(&window);
    ClickableLabel *first = new ClickableLabel(QStringLiteral("首页"), &window);
    ClickableLabel *next = new ClickableLabel(QStringLiteral("下一页"), &window);
    Form()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(box);
        layout->addWidget(first);
        layout->addWidget(next);
        window.show();
        window.activateWindow();
    }
};

}   // namespace

TEST(ClickableLabel, TabReachesItAndEnterOrSpaceActivates)
{
    Form f;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
    f.box->setFocus();
    QSignalSpy firstClicks(f.first, &ClickableLabel::clicked);
    QSignalSpy nextClicks(f.next, &ClickableLabel::clicked);
    QTest::keyClick(f.box, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f.first);
    QTest::keyClick(f.first, Qt::Key_Return);
    QTest::keyClick(f.first, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(firstClicks.count(), 2);
    QTest::keyClick(f.first, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f.next);
    QTest::keyClick(f.next, Qt::Key_Space);
    QTest::keyClick(f.next, Qt::Key_A);   // other keys do nothing
    EXPECT_EQ(nextClicks.count(), 1);
    EXPECT_EQ(firstClicks.count(), 2);
}

TEST(ClickableLabel, AMouseClickLeavesTheFocusWhereItWas)
{
    Form f;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
    f.box->setFocus();
    QSignalSpy clicks(f.first, &ClickableLabel::clicked);
    QTest::mouseClick(f.first, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(QApplication::focusWidget(), f.box);
}

TEST(ClickableLabel, TheFocusIsVisible)
{
    Form f;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
    f.box->setFocus();
    const QImage unfocused = f.first->grab().toImage();
    f.first->setFocus();
    const QImage focused = f.first->grab().toImage();
    ASSERT_EQ(unfocused.size(), focused.size());
    // The frame runs along the edges, where the text never reaches.
    int changedOnEdge = 0;
    for (int x = 0; x < focused.width(); ++x)
        changedOnEdge += focused.pixel(x, 0) != unfocused.pixel(x, 0) ? 1 : 0;
    EXPECT_GT(changedOnEdge, focused.width() / 4);
    f.box->setFocus();
    EXPECT_EQ(f.first->grab().toImage(), unfocused);
}

TEST(ClickableLabel, AssistiveToolsSeeANamedLinkTheyCanPress)
{
    Form f;
    QSignalSpy clicks(f.next, &ClickableLabel::clicked);
    QAccessibleInterface *link = QAccessible::queryAccessibleInterface(f.next);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), "下一页");
    EXPECT_TRUE(link->state().focusable);
    QAccessibleActionInterface *actions = link->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 1);

    // A picture is named by what it was given.
    auto *icon = new ClickableLabel(&f.window);
    icon->setPixmap(QPixmap(16, 16));
    icon->setAccessibleName(QStringLiteral("退出"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(icon)->text(QAccessible::Name), "退出");
}
