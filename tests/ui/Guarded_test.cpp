// Guarded handlers: a failure inside a slot or an event handler ends in the
// fatal path where it happened and never travels into Qt.

#include "FakeServices.h"
#include "data/DbError.h"
#include "ui/Guarded.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>

namespace {

class GuardedTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeMessages> messages = std::make_shared<FakeMessages>();
    int ended = 0;
    FatalPathOverride fatal{messages, [this] { ++ended; }};
};

struct ThrowCase {
    const char *name;
    std::function<void()> failure;
    QString shown;
};

const ThrowCase kThrowCases[] = {
    {"database failure", [] { throw DbError(QStringLiteral("database is locked\n/tmp/ProSys.mdb")); },
     QStringLiteral("database is locked\n/tmp/ProSys.mdb")},
    {"any other exception", [] { throw std::runtime_error("out of memory"); }, QStringLiteral("out of memory")},
    {"not even an exception", [] { throw 42; }, QStringLiteral("发生了未知的错误。")},
};

TEST_F(GuardedTest, AThrowingSlotShowsTheMessageAndEndsTheProgram)
{
    for (const ThrowCase &c : kThrowCases) {
        SCOPED_TRACE(c.name);
        messages->clear();
        ended = 0;
        QPushButton button;
        bool after = false;
        QObject::connect(&button, &QPushButton::clicked, &button, Guarded([&] {
            c.failure();
            after = true;
        }));
        EXPECT_NO_THROW(QTest::mouseClick(&button, Qt::LeftButton)) << "the exception reached Qt";
        EXPECT_FALSE(after);
        ASSERT_EQ(messages->shown.size(), 1);
        EXPECT_EQ(messages->shown[0].title, "Kestrune");
        EXPECT_EQ(messages->shown[0].text, c.shown);
        EXPECT_EQ(messages->shown[0].icon, MessageService::Icon::Critical);
        EXPECT_EQ(ended, 1);
    }
}

// A member function as the handler gets the signal's arguments; one that
// completes leaves the fatal path alone.
class Receiver : public QObject {
public:
    QList<int> seen;
    void chosen(int index)
    {
        if (index == 2)
            throw DbError(QStringLiteral("disk I/O error"));
        seen << index;
    }
};

TEST_F(GuardedTest, MemberHandlersReceiveTheSignalsArguments)
{
    QComboBox box;
    box.addItems({"a", "b", "c"});
    Receiver receiver;
    QObject::connect(&box, &QComboBox::currentIndexChanged, &receiver, Guarded(&receiver, &Receiver::chosen));
    box.setCurrentIndex(1);
    EXPECT_EQ(receiver.seen, QList<int>{1});
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(ended, 0);

    EXPECT_NO_THROW(box.setCurrentIndex(2));
    EXPECT_EQ(receiver.seen, QList<int>{1});
    EXPECT_EQ(messages->lastText(), "disk I/O error");
    EXPECT_EQ(ended, 1);
}

// Event handlers have no connect(): they run their work through RunGuarded.
class FailingOnShow : public QWidget {
public:
    bool completed = true;

protected:
    void showEvent(QShowEvent *event) override
    {
        QWidget::showEvent(event);
        completed = RunGuarded([] { throw DbError(QStringLiteral("file is not a database")); });
    }
};

TEST_F(GuardedTest, EventHandlersTakeTheSamePath)
{
    FailingOnShow widget;
    EXPECT_NO_THROW(widget.show());
    EXPECT_FALSE(widget.completed);
    EXPECT_EQ(messages->texts(), QStringList{"file is not a database"});
    EXPECT_EQ(ended, 1);
}

}   // namespace

namespace {

// A busy library and a lost server are offered again; 重试 runs the whole
// handler once more, 取消 leaves it, and neither ends the program.
struct RetryCase {
    const char *name;
    std::function<void()> failure;
    QList<bool> answers;   // 重试 for true
    int runs;              // how often the handler started
    bool completed;
};

const RetryCase kRetryCases[] = {
    {"a busy file, tried again once",
     [] { throw DbError(SQLITE_BUSY, QStringLiteral("/tmp/ProSys.mdb"), QStringLiteral("database is locked")); },
     {true},
     2,
     true},
    {"a busy file, left",
     [] { throw DbError(SQLITE_BUSY, QStringLiteral("/tmp/ProSys.mdb"), QStringLiteral("database is locked")); },
     {false},
     1,
     false},
    {"a lost server, tried twice",
     [] { throw DbError(QStringLiteral("server closed the connection unexpectedly"), Failure::Kind::Disconnected); },
     {true, true},
     3,
     true},
};

}   // namespace

TEST_F(GuardedTest, ABusyOrLostLibraryIsOfferedAgainAndTheProgramGoesOn)
{
    for (const RetryCase &c : kRetryCases) {
        SCOPED_TRACE(c.name);
        messages->clear();
        messages->retryAnswers.clear();
        for (bool answer : c.answers)
            messages->retryAnswers.enqueue(answer);
        ended = 0;
        int runs = 0;
        // Fails until every 重试 the case gives has been used: the last run succeeds.
        const int failingRuns = c.completed ? int(c.answers.size()) : int(c.answers.size()) + 1;
        QPushButton button;
        bool completed = false;
        QObject::connect(&button, &QPushButton::clicked, &button, Guarded([&] {
            if (++runs <= failingRuns)
                c.failure();
            completed = true;
        }));
        EXPECT_NO_THROW(QTest::mouseClick(&button, Qt::LeftButton));
        EXPECT_EQ(runs, c.runs);
        EXPECT_EQ(completed, c.completed);
        EXPECT_EQ(ended, 0);
        ASSERT_EQ(messages->shown.size(), int(c.answers.size()));
        for (const auto &shown : messages->shown)
            EXPECT_EQ(shown.title, "Kestrune");
    }
}
