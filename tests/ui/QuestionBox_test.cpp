// The real message boxes: a question with Yes and No has no cancel.

#include "ui/Services.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(QuestionBox, EscapeAndTheCloseBoxAnswerNothing)
{
    const std::shared_ptr<MessageService> messages = Services::real().messages;
    bool stillAsking = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Escape);
        box->close();
        QApplication::processEvents();
        stillAsking = box->isVisible();
        // The user answers: the answer is the one given.
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(messages->question(QStringLiteral("您有未保存的抽取记录,是否需要保存？")));
    EXPECT_TRUE(stillAsking);

    QTimer::singleShot(0, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Escape);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(messages->question(QStringLiteral("您确定删除吗？")));
}

}   // namespace
