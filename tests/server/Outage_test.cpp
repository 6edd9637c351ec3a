// A server that goes away and comes back, and a library another user holds:
// the screens say so, offer 重试, lose nothing and keep running.

#include "Draws.h"
#include "LoopbackProxy.h"
#include "TestApp.h"
#include "data/DbError.h"
#include "data/ExpertRecord.h"
#include "data/Schema.h"
#include "data/ServerBackend.h"
#include "lists/ListEngine.h"
#include "ui/Guarded.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>

namespace {

const QString kList = QStringLiteral("frmExpertList");
const QString kUpd = QStringLiteral("frmExpertListUpd");

// Records every box; a 重试/取消 box is answered by onRetry (取消 without one).
class RetryMessages : public FakeMessages {
public:
    std::function<bool()> onRetry;
    int retries = 0;
    bool retry(const QString &title, const QString &text, const QString &detail) override
    {
        FakeMessages::retry(title, text, detail);
        ++retries;
        return onRetry ? onRetry() : false;
    }
};

// The program's library reached through a relay that a test can cut, as
// if the server had stopped, and restore.
class Outage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ServerDatabase::available())
            GTEST_SKIP() << ServerDatabase::unavailableReason();
        const QString host = qEnvironmentVariable("PGHOST", QStringLiteral("localhost"));
        if (host.startsWith(QLatin1Char('/')))
            GTEST_SKIP() << "the test server listens on a socket only";
        proxy = std::make_unique<LoopbackProxy>(host, quint16(qEnvironmentVariable("PGPORT", "5432").toUInt()));
        ASSERT_NE(proxy->port(), 0);
        app = std::make_unique<TestApp>(DataSource::Server);
        app->state.services.messages = messages;
        app->state.store.source.uri =
            QStringLiteral("postgresql://127.0.0.1:%1/%2?sslmode=disable").arg(proxy->port()).arg(app->server->name());
        app->reloadAll();
        fatal = std::make_unique<FatalPathOverride>(messages, [this] { ++ended; });
        host_ = std::make_unique<TestHost>(app->state);
        host_->area.show();
    }
    void TearDown() override
    {
        host_.reset();
        fatal.reset();
        app.reset();
        proxy.reset();
    }

    template <typename T> T *control(const QString &form, const QString &name)
    {
        T *c = host_->find<T>(form, name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }
    void openUpdate(const QString &id)
    {
        app->state.ExpertListRows.clear();
        app->state.ExpertListRows.append({id, "x"});
        app->state.paging.SelectedRow = 1;
        host_->openScreen(ScreenId::ExpertListEdit);
    }
    QStringList shownNames()
    {
        QStringList names;
        for (int i = 0; i < kRowsPerPage; ++i) {
            const QString name = control<QLabel>(kList, ArrayName("lab2", i))->text();
            if (name.isEmpty())
                break;
            names << name;
        }
        return names;
    }
    // The name as a colleague reads it from the server now.
    QString storedName(const QString &id)
    {
        TestApp::Colleague colleague(*app);
        const qsizetype row = FindExpertRow(colleague.store, id);
        return row < 0 ? QString() : colleague.store.ExpertTable.cell(row, Schema::E_Name).toString();
    }
    ExpertRecordBuffer expert(const QString &name)
    {
        ExpertFormValues v;
        v.byField[Schema::E_Name] = name;
        return *GatherExpertFields(v, QDate(2026, 12, 10));
    }
    ServerBackend &backend() { return static_cast<ServerBackend &>(app->state.store.library()); }

    std::shared_ptr<RetryMessages> messages = std::make_shared<RetryMessages>();
    std::unique_ptr<LoopbackProxy> proxy;
    std::unique_ptr<TestApp> app;
    std::unique_ptr<FatalPathOverride> fatal;
    std::unique_ptr<TestHost> host_;
    int ended = 0;
};

void ExpectLostServerBox(const FakeMessages::Shown &box)
{
    EXPECT_TRUE(box.text.contains("无法连接")) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains("127.0.0.1")) << box.text.toStdString();
    EXPECT_FALSE(box.detail.isEmpty());
}

}   // namespace

// A screen switch while the server is down: the screen comes up with what
// it had, the program goes on, and the next switch after the server is back
// shows what a colleague added meanwhile.
TEST_F(Outage, ASwitchOfScreensWhileTheServerIsGoneKeepsWhatIsShown)
{
    app->addExpert("甲");
    host_->openScreen(ScreenId::ExpertList);
    EXPECT_EQ(shownNames(), QStringList{"甲"});
    {
        TestApp::Colleague colleague(*app);
        ASSERT_TRUE(AddExpertRecord(colleague.store, expert("乙")).ok());
    }

    proxy->cut();
    host_->openScreen(ScreenId::ExpertList);
    ASSERT_EQ(messages->shown.size(), 1) << messages->texts().join('\n').toStdString();
    ExpectLostServerBox(messages->shown[0]);
    EXPECT_EQ(shownNames(), QStringList{"甲"});
    EXPECT_EQ(ended, 0);

    proxy->restore();
    messages->clear();
    host_->openScreen(ScreenId::ExpertList);
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->texts().join('\n').toStdString();
    EXPECT_EQ(shownNames(), QStringList({"甲", "乙"}));
    EXPECT_EQ(ended, 0);
}

// 修改 → 保存 with the server gone: 取消 keeps the typed change on screen and
// writes nothing; 重试 once the server is back saves it.
TEST_F(Outage, ASaveWhileTheServerIsGoneIsKeptOnScreenAndRetried)
{
    for (const bool retryAfterRestart : {false, true}) {
        SCOPED_TRACE(retryAfterRestart ? "重试 after the restart" : "取消, then 保存 again");
        messages->clear();
        const QString id = app->addExpert("原名");
        openUpdate(id);
        QLineEdit *name = control<QLineEdit>(kUpd, ArrayName("txtDis", 0));
        name->setText("新名");

        proxy->cut();
        messages->onRetry = [&] {
            if (!retryAfterRestart)
                return false;
            proxy->restore();
            return true;
        };
        click(control<QPushButton>(kUpd, "cmd_Save"));
        ASSERT_GE(messages->shown.size(), 1);
        ExpectLostServerBox(messages->shown[0]);
        EXPECT_TRUE(messages->shown[0].text.contains("没有写入任何内容")) << messages->shown[0].text.toStdString();
        EXPECT_EQ(ended, 0);
        if (retryAfterRestart) {
            EXPECT_EQ(messages->texts().mid(1), QStringList{"修改成功。"});
        } else {
            EXPECT_EQ(messages->shown.size(), 1);
            EXPECT_EQ(name->text(), "新名");
            proxy->restore();
            EXPECT_EQ(storedName(id), "原名");
            click(control<QPushButton>(kUpd, "cmd_Save"));
            EXPECT_EQ(messages->lastText(), "修改成功。");
        }
        EXPECT_EQ(storedName(id), "新名");
        messages->onRetry = nullptr;
    }
}

// 检索 on the draw screen with the server gone leaves the screen as it was.
TEST_F(Outage, ADrawSearchWhileTheServerIsGoneChangesNothing)
{
    app->addExpert("甲");
    host_->openScreen(ScreenId::Draw);
    proxy->cut();
    const qsizetype candidates = app->state.draw.CandidateList.count();
    click(control<QPushButton>("frmNewProSelExpert", "cmdSearch"));
    ASSERT_EQ(messages->shown.size(), 1) << messages->texts().join('\n').toStdString();
    ExpectLostServerBox(messages->shown[0]);
    EXPECT_EQ(app->state.draw.CandidateList.count(), candidates);
    EXPECT_EQ(ended, 0);

    proxy->restore();
    messages->clear();
    messages->retries = 0;
    click(control<QPushButton>("frmNewProSelExpert", "cmdSearch"));
    EXPECT_EQ(messages->retries, 0) << messages->texts().join('\n').toStdString();
    EXPECT_EQ(ended, 0);
}

// Another user holding the library (a table lock from any client, or a
// colleague's write in progress): the save gives up within the wait, says
// so, writes nothing, and 重试 saves once the other lets go.
TEST_F(Outage, ASaveWhileAnotherUserHoldsTheLibraryIsOfferedAgain)
{
    const struct {
        const char *what;
        std::function<void(Connection &)> hold;
    } holders[] = {
        {"LOCK TABLE",
         [](Connection &c) {
             c.exec("BEGIN");
             c.exec("LOCK TABLE expert_msg IN ACCESS EXCLUSIVE MODE");
         }},
        {"a colleague's write", [](Connection &c) { c.engine().beginWrite(); }},
    };
    backend().setWaits(ServerWaits{300, 5000});
    for (const auto &holder : holders) {
        SCOPED_TRACE(holder.what);
        messages->clear();
        const QString id = app->addExpert("原名");
        openUpdate(id);
        control<QLineEdit>(kUpd, ArrayName("txtDis", 0))->setText("新名");

        Connection other = Connection::connect(app->server->source());
        holder.hold(other);
        messages->onRetry = [&] {
            other.exec("ROLLBACK");
            EXPECT_EQ(storedName(id), "原名");
            return true;
        };
        click(control<QPushButton>(kUpd, "cmd_Save"));
        ASSERT_EQ(messages->shown.size(), 2) << messages->texts().join('\n').toStdString();
        EXPECT_TRUE(messages->shown[0].text.contains("另一个用户正在写入")) << messages->shown[0].text.toStdString();
        EXPECT_TRUE(messages->shown[0].detail.contains("timeout")) << messages->shown[0].detail.toStdString();
        EXPECT_EQ(messages->shown[1].text, "修改成功。");
        EXPECT_EQ(storedName(id), "新名");
        EXPECT_EQ(ended, 0);
        messages->onRetry = nullptr;
    }
}

// The program's own save is taken into its copy; it does not count as a
// colleague's change that makes the next screen read the table again. A
// colleague's change before or after it still does.
TEST_F(Outage, OwnChangesAreNotTakenForAColleagues)
{
    DataStore &store = app->state.store;
    const QString a = app->addExpert("甲");
    const QString b = app->addExpert("乙");
    ASSERT_TRUE(ChangedTables(store).isEmpty());

    openUpdate(a);
    control<QLineEdit>(kUpd, ArrayName("txtDis", 0))->setText("甲二");
    click(control<QPushButton>(kUpd, "cmd_Save"));
    ASSERT_EQ(messages->lastText(), "修改成功。");
    EXPECT_EQ(ChangedTables(store), QStringList{});

    {
        TestApp::Colleague colleague(*app);
        ASSERT_TRUE(UpdateExpertRecord(colleague.store, b, expert("同事改的")));
    }
    EXPECT_EQ(ChangedTables(store), QStringList{"expert_msg"});
    // A save of ours after the colleague's change does not hide it.
    ASSERT_NE(UpdateExpertAsRead(store, a, expert("甲三"), store.ExpertTable.row(FindExpertRow(store, a))),
              ExpertUpdate::Missing);
    ASSERT_TRUE(RefreshExperts(store, {a}).ok());
    EXPECT_EQ(ChangedTables(store), QStringList{"expert_msg"});
}

// A colleague's new experts appear on 检索 and on the next page move, not
// only when the screen comes to the front again.
TEST_F(Outage, AColleaguesNewExpertsAppearOnSearchAndPaging)
{
    app->addExperts(11);
    host_->openScreen(ScreenId::ExpertList);
    auto *page = control<QLabel>(kList, "labPage");
    {
        TestApp::Colleague colleague(*app);
        ASSERT_TRUE(AddExpertRecord(colleague.store, expert("同事的专家")).ok());
    }
    click(control<QLabel>(kList, "labNext"));
    EXPECT_EQ(shownNames(), QStringList({"专家11", "同事的专家"}));
    EXPECT_EQ(app->state.paging.CurrentPage, 2);
    EXPECT_EQ(app->state.ExpertListRows.count(), 12);

    {
        TestApp::Colleague colleague(*app);
        ASSERT_TRUE(AddExpertRecord(colleague.store, expert("又一位")).ok());
    }
    click(control<QPushButton>(kList, "cmdSearch"));
    EXPECT_EQ(app->state.ExpertListRows.count(), 13);
    EXPECT_EQ(app->state.paging.PageCount, 2);
    EXPECT_FALSE(page->text().isEmpty());
    EXPECT_TRUE(messages->shown.isEmpty()) << messages->texts().join('\n').toStdString();
}

// A database that holds another program's tables is refused before
// anything of the library is made in it.
TEST(ServerLibrary, ADatabaseOfAnotherProgramIsRefusedUntouched)
{
    if (!ServerDatabase::available())
        GTEST_SKIP() << ServerDatabase::unavailableReason();
    ServerDatabase db;
    Connection other = Connection::connect(db.source());
    other.exec("CREATE TABLE orders (id INTEGER PRIMARY KEY, item TEXT)");
    try {
        ServerBackend(db.source()).prepare();
        ADD_FAILURE() << "the database was taken";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.sentence().contains("其他程序的数据表")) << e.sentence().toStdString();
        EXPECT_EQ(e.kind(), Failure::Kind::Failed);
    }
    EXPECT_EQ(other.tableNames(), QStringList{"orders"});
    Statement made = other.prepare("SELECT count(*) FROM pg_proc WHERE proname LIKE 'kestrune%'");
    ASSERT_TRUE(made.step());
    EXPECT_EQ(made.text(0), "0");
    Statement counters = other.prepare("SELECT to_regclass('kestrune_changes') IS NULL");
    ASSERT_TRUE(counters.step());
    EXPECT_EQ(counters.text(0), "t");
}
