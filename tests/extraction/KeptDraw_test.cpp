// An unsaved draw survives a run that ends without storing or dropping it:
// it is kept in the data folder's run area as it changes, offered at the
// next start, restored as the same draw (its rounds and trail session), and
// a kept file that is damaged, foreign or not what the draw trail recorded
// is refused and set aside.

#include "TestApp.h"
#include "data/DrawStore.h"
#include "data/DrawVerify.h"
#include "data/KeptDraw.h"
#include "data/Projects.h"
#include "extraction/frmNewPro.h"
#include "files/RunFolders.h"
#include "shell/MDIFrm.h"
#include "shell/UnsavedDraw.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QString kDraw = QStringLiteral("frmNewProSelExpert");

class KeptDraws : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 8; ++i)
            ids << app.addExpert(QStringLiteral("专家%1").arg(i + 1));
        host.area.show();
    }

    QString keptFile() const { return KeptDrawPath(app.appDir(), app.state.session.CurrentUserId); }

    void randomDraw(int n, quint64 seed)
    {
        host.openScreen(ScreenId::Draw);
        host.find<QComboBox>(kDraw, "com_Type")->setCurrentIndex(1);
        host.find<QLineEdit>(kDraw, "txtNum")->setText(QString::number(n));
        app.random->seeds.append(seed);
        QTest::mouseClick(host.find<QPushButton>(kDraw, "cmdSearch"), Qt::LeftButton);
    }
    void tickAndConfirm(const QList<int> &rows)
    {
        for (int slot : rows)
            QTest::mouseClick(host.find<QCheckBox>(kDraw, ArrayName(QStringLiteral("chk"), slot)), Qt::LeftButton);
        QTest::mouseClick(host.find<QPushButton>(kDraw, "cmd_OK"), Qt::LeftButton);
    }
    // Two rounds confirmed and (unless told not to) one row deleted on the
    // result screen: the draw a crash would lose.
    void drawSomething(bool deleteOne = true)
    {
        randomDraw(3, 41);
        tickAndConfirm({0, 1, 2});
        randomDraw(2, 42);
        tickAndConfirm({0, 1});
        confirmedCount = app.state.draw.DrawList.count();
        if (!deleteOne) {
            ++confirmedCount;   // as if one had gone
            return;
        }
        removedId = app.state.draw.DrawList.cell(1, 0).toString();
        app.messages->answers.enqueue(true);
        QTest::mouseClick(host.find<QLabel>("frmNewPro", ArrayName(QStringLiteral("labOP_1"), 1)), Qt::LeftButton);
        ASSERT_TRUE(app.state.draw.DrawUnsaved);
        ASSERT_EQ(app.state.draw.DrawList.count(), confirmedCount - 1);
    }
    qsizetype confirmedCount = 0;
    QString removedId;
    // What a new run on the same data folder starts with.
    void newRun()
    {
        app.state.draw = DrawWorkspace();
        app.state.store.libraryBackend.reset();
        app.reloadAll();
        app.messages->clear();
    }
    static QStringList listIds(const TextTable &list)
    {
        QStringList out;
        for (qsizetype r = 0; r < list.count(); ++r)
            out << list.cell(r, 0).toString();
        return out;
    }
    static void expectSameRounds(const QList<DrawRound> &a, const QList<DrawRound> &b)
    {
        ASSERT_EQ(a.size(), b.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].type, b[i].type);
            EXPECT_EQ(a[i].candidateIds, b[i].candidateIds);
            EXPECT_EQ(a[i].seed, b[i].seed);
            EXPECT_EQ(a[i].picks, b[i].picks);
            EXPECT_EQ(a[i].requested, b[i].requested);
            EXPECT_EQ(a[i].confirmedIds, b[i].confirmedIds);
            EXPECT_EQ(a[i].drawnAt, b[i].drawnAt);
            EXPECT_EQ(a[i].criteria, b[i].criteria);
        }
    }
    QJsonObject keptJson() const
    {
        QFile f(keptFile());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    void writeKept(const QByteArray &bytes) const
    {
        QFile f(keptFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QStringList setAside() const
    {
        return QDir(RunAreaPath(app.appDir())).entryList({QStringLiteral("*.refused-*")}, QDir::Files);
    }

    TestApp app;
    TestHost host{app.state};
    QStringList ids;
};

TEST_F(KeptDraws, KeptAsItChangesAndRemovedOnceStored)
{
    EXPECT_FALSE(QFile::exists(keptFile()));
    drawSomething();
    ASSERT_TRUE(QFile::exists(keptFile()));
    EXPECT_EQ(keptJson().value("drawList").toArray().size(), confirmedCount - 1);
    // Only numbers are kept: no name or phone lies in the run area.
    QFile f(keptFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_FALSE(text.contains("专家1")) << text.toStdString();
    EXPECT_FALSE(text.contains("13800000000"));

    auto *result = static_cast<frmNewPro *>(host.screen("frmNewPro"));
    ASSERT_NE(result, nullptr);
    QTest::mouseClick(host.find<QPushButton>("frmNewPro", "cmdSave"), Qt::LeftButton);
    ASSERT_FALSE(app.state.draw.DrawUnsaved) << app.messages->texts().join("\n").toStdString();
    EXPECT_FALSE(QFile::exists(keptFile()));
}

TEST_F(KeptDraws, RestoredAtTheNextStartAsTheSameDraw)
{
    drawSomething(false);
    const QStringList list = listIds(app.state.draw.DrawList);
    const DrawSession record = app.state.draw.DrawRecord;

    newRun();
    EXPECT_EQ(OfferKeptDraw(app.state), KeptDrawOutcome::Restored);
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Question);
    EXPECT_TRUE(app.messages->shown[0].text.contains(QStringLiteral("未保存的抽取结果（%1位专家").arg(list.size())))
        << app.messages->shown[0].text.toStdString();

    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_EQ(listIds(app.state.draw.DrawList), list);
    // Rows come from the library, all eight columns.
    EXPECT_EQ(app.state.draw.DrawList.cell(0, 1), QStringLiteral("专家%1").arg(list[0].toInt()));
    EXPECT_EQ(app.state.draw.DrawRecord.trailId, record.trailId);
    expectSameRounds(app.state.draw.DrawRecord.rounds, record.rounds);
    EXPECT_TRUE(QFile::exists(keptFile()));   // still unsaved: still kept

    // Stored, it is one project whose trail is the draw's own, and it verifies.
    const StoredDraw stored = StoreDrawProject(app.state.store, app.state.draw.DrawList, app.state.draw.DrawRecord,
                                               ProjectFacts{"恢复的项目"}, "admin", app.clock->now());
    const std::optional<ProjectDetail> p = LoadProject(app.state.store, stored.projectId);
    ASSERT_TRUE(p);
    QStringList kinds;
    for (const DrawEvent &e : p->trail)
        kinds << e.kind;
    EXPECT_EQ(kinds, (QStringList{DrawEventKind::Draw, DrawEventKind::Confirm, DrawEventKind::Draw,
                                  DrawEventKind::Confirm, DrawEventKind::Store}));
    const Result<ProjectVerification> verified = VerifyProject(app.state.store, stored.projectId);
    ASSERT_TRUE(verified);
    EXPECT_TRUE(verified.value().ok()) << verified.value().problems.join("; ").toStdString();
}

TEST_F(KeptDraws, TheMainWindowOffersItAndShowsTheResultScreen)
{
    drawSomething();
    newRun();
    std::unique_ptr<MDIFrm> main = MakeMainWindow(app.state, AllScreens().only({Form::frmDisMsg, Form::frmNewPro}));
    main->endProgram = [] {};
    main->show();
    main->start();
    EXPECT_TRUE(app.state.draw.DrawUnsaved);
    EXPECT_EQ(app.state.draw.DrawList.count(), confirmedCount - 1);
    EXPECT_TRUE(app.state.nav.isCurrentScreen(ScreenId::DrawResult));
}

TEST_F(KeptDraws, NoDropsItOnRecord)
{
    drawSomething();
    const QString session = app.state.draw.DrawRecord.trailId;
    newRun();
    app.messages->answers.enqueue(false);
    EXPECT_EQ(OfferKeptDraw(app.state), KeptDrawOutcome::Discarded);
    EXPECT_FALSE(QFile::exists(keptFile()));
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
    EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
    const QList<DrawEvent> events = LoadUnstoredTrail(app.state.store).value();
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.last().session, session);
    EXPECT_EQ(events.last().kind, DrawEventKind::Discard);
    EXPECT_EQ(events.last().expertIds.size(), confirmedCount - 1);
    // Nothing is offered again.
    newRun();
    EXPECT_EQ(OfferKeptDraw(app.state), KeptDrawOutcome::None);
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_F(KeptDraws, AKeptCopyBehindAStoreIsDroppedQuietly)
{
    drawSomething();
    const QByteArray kept = [&] {
        QFile f(keptFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    // Stored, then the run ended before the kept copy went.
    StoreDrawProject(app.state.store, app.state.draw.DrawList, app.state.draw.DrawRecord, ProjectFacts{"已保存"},
                     "admin", app.clock->now());
    writeKept(kept);
    newRun();
    EXPECT_EQ(OfferKeptDraw(app.state), KeptDrawOutcome::Outdated);
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_FALSE(QFile::exists(keptFile()));
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
}

TEST_F(KeptDraws, DamagedForeignOrAlteredFilesAreRefusedAndSetAside)
{
    drawSomething();
    const QJsonObject good = keptJson();
    // An expert of the library this draw never confirmed.
    QString stranger;
    for (const QString &id : ids) {
        bool confirmed = false;
        for (const DrawRound &r : app.state.draw.DrawRecord.rounds)
            confirmed = confirmed || r.confirmedIds.contains(id);
        if (!confirmed)
            stranger = id;
    }
    ASSERT_FALSE(stranger.isEmpty());

    struct Case {
        const char *what;
        std::function<QByteArray()> bytes;
        const char *says;
    };
    const auto edited = [&](const std::function<void(QJsonObject &)> &edit) {
        return [&good, edit] {
            QJsonObject o = good;
            edit(o);
            return QJsonDocument(o).toJson();
        };
    };
    const Case cases[] = {
        {"not JSON", [] { return QByteArray("\x89PNG\r\n\x1a\n garbage"); }, "已损坏"},
        {"empty", [] { return QByteArray(); }, "已损坏"},
        {"another program's JSON", [] { return QByteArray(R"({"format":"other","drawList":[]})"); }, "已损坏"},
        {"another library", edited([](QJsonObject &o) { o["library"] = "/elsewhere/ProSys.mdb"; }), "另一个专家库"},
        {"another user's", edited([](QJsonObject &o) { o["userId"] = "000777"; }), "不是当前用户"},
        {"an expert planted on the list", edited([stranger](QJsonObject &o) {
             QJsonArray list = o["drawList"].toArray();
             list.append(stranger);
             o["drawList"] = list;
         }),
         "不是这次抽取确认的专家"},
        {"an expert planted among a round's confirmed", edited([stranger](QJsonObject &o) {
             QJsonArray rounds = o["rounds"].toArray();
             QJsonObject r = rounds[0].toObject();
             QJsonArray confirmed = r["confirmed"].toArray();
             confirmed.append(stranger);
             r["confirmed"] = confirmed;
             rounds[0] = r;
             o["rounds"] = rounds;
             QJsonArray list = o["drawList"].toArray();
             list.append(stranger);
             o["drawList"] = list;
         }),
         "确认的专家与抽取过程记录不符"},
        {"an expert removed on the result screen put back", edited([this](QJsonObject &o) {
             QJsonArray list = o["drawList"].toArray();
             list.append(removedId);
             o["drawList"] = list;
         }),
         "不是这次抽取确认的专家"},
        {"a candidate list changed", edited([stranger](QJsonObject &o) {
             QJsonArray rounds = o["rounds"].toArray();
             QJsonObject r = rounds[1].toObject();
             QJsonArray candidates;
             for (int i = 0; i < r["candidates"].toArray().size(); ++i)
                 candidates.append(stranger);
             r["candidates"] = candidates;
             rounds[1] = r;
             o["rounds"] = rounds;
         }),
         "已损坏"},
        {"a draw the trail never saw", edited([](QJsonObject &o) { o["trailId"] = "20261209-000000-ffffffff"; }),
         "抽取过程记录"},
    };
    int asideBefore = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        writeKept(c.bytes());
        newRun();
        EXPECT_EQ(OfferKeptDraw(app.state), KeptDrawOutcome::Refused);
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown[0].icon, MessageService::Icon::Critical);
        EXPECT_TRUE(app.messages->shown[0].text.contains(QString::fromUtf8(c.says)))
            << app.messages->shown[0].text.toStdString();
        EXPECT_FALSE(QFile::exists(keptFile()));
        EXPECT_FALSE(app.state.draw.DrawUnsaved);
        EXPECT_TRUE(app.state.draw.DrawList.isEmpty());
        // Set aside, not lost: another try may read what went wrong.
        EXPECT_EQ(setAside().size(), asideBefore + 1);
        asideBefore = int(setAside().size());
        app.clock->date = app.clock->date.addDays(1);   // the next one is set aside under another name
    }
    // The untouched file is still believed.
    writeKept(QJsonDocument(good).toJson());
    newRun();
    EXPECT_EQ(OfferKeptDraw(app.state), KeptDrawOutcome::Restored);
}

}   // namespace
