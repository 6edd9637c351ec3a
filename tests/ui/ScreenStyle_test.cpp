#include "ui/BusyCursor.h"
#include "ui/ScreenStyle.h"

#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <stdexcept>

TEST(TextColour, EachKindOfControlGetsItsOwnTextColourOnly)
{
    QWidget screen;
    auto *label = new QLabel(&screen);
    auto *list = new QComboBox(&screen);
    auto *box = new QLineEdit(&screen);
    auto *memo = new QPlainTextEdit(&screen);
    const QPalette plain = memo->palette();
    for (QWidget *w : {static_cast<QWidget *>(label), static_cast<QWidget *>(list), static_cast<QWidget *>(box),
                       static_cast<QWidget *>(memo)})
        SetTextColor(w, kWarningRed);

    auto colour = [](const QWidget *w, QPalette::ColorRole role) { return w->palette().color(role).rgba(); };
    EXPECT_EQ(colour(label, QPalette::WindowText), kWarningRed);
    // A list shows its item and its drop-down in the colour.
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        EXPECT_EQ(colour(list, role), kWarningRed) << role;
    EXPECT_EQ(colour(box, QPalette::Text), kWarningRed);
    EXPECT_EQ(colour(memo, QPalette::Text), kWarningRed);
    // A box's scroll bars draw their arrows in the window text colour: it stays.
    EXPECT_EQ(colour(memo, QPalette::WindowText), plain.color(QPalette::WindowText).rgba());
    EXPECT_EQ(colour(memo, QPalette::ButtonText), plain.color(QPalette::ButtonText).rgba());

    for (QWidget *w : {static_cast<QWidget *>(label), static_cast<QWidget *>(list), static_cast<QWidget *>(box),
                       static_cast<QWidget *>(memo)})
        EXPECT_EQ(TextColor(w), kWarningRed) << w->metaObject()->className();
    SetTextColor(label, kLinkInactive);
    EXPECT_EQ(TextColor(label), kLinkInactive);
}

TEST(BusyPointer, LastsForItsScopeHoweverTheScopeIsLeft)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        BusyCursor busy;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    try {
        BusyCursor busy;
        throw std::runtime_error("interrupted");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
