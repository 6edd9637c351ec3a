#include "TestApp.h"
#include "ui/ClickableLabel.h"
#include "shell/MDIFrm.h"
#include "ui/Twips.h"
#include "shell/frmDisMsg.h"
#include "shell/frmLeft.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A screen that counts its load and activation steps.
class CountingScreen : public ChildScreen {
public:
    CountingScreen(AppState &s, ScreenNavigator &n, Form form, QWidget *p) : ChildScreen(s, n, form, p)
    {
        addPathLabel();
    }
    int loads = 0;
    int activations = 0;

protected:
    void onLoad() override { ++loads; }
    void onActivate(const ScreenArgs &) override { ++activations; }
};

ScreenRegistry countingRegistry()
{
    ScreenRegistry r = AllScreens().only({Form::frmDisMsg});
    for (const Form form : {Form::frmExpertList, Form::frmNewExpert, Form::frmSearchExpert, Form::frmNewProSelExpert,
                            Form::frmExpertHistory, Form::frmDataInOut, Form::frmNewPro, Form::frmProList}) {
        r.add(form, [form](AppState &s, ScreenNavigator &n, QWidget *p) { return new CountingScreen(s, n, form, p); });
    }
    return r;
}

struct MainFixture {
    TestApp app;
    MDIFrm main{app.state, countingRegistry()};
    int ended = 0;
    MainFixture()
    {
        main.endProgram = [this] { ++ended; };
        main.resize(1280, 900);
        main.show();
        main.start();
    }
    CountingScreen *counting(const QString &form) { return static_cast<CountingScreen *>(main.screen(form)); }
    ClickableLabel *entry(int index)
    {
        return main.navigationPanel()->findChild<ClickableLabel *>(ArrayName("lab1_0", index));
    }
    ClickableLabel *icon(int index)
    {
        return main.navigationPanel()->findChild<ClickableLabel *>(ArrayName("Image1", index));
    }
};

QColor textColor(QLabel *l) { return l->palette().color(QPalette::WindowText); }
QColor backColor(QLabel *l) { return l->palette().color(QPalette::Window); }

}   // namespace

TEST(MainWindow, StartUpLoadsTablesAndShowsTheSystemSection)
{
    TestApp app;
    app.addExpert("甲");
    app.addSelection("2026-01-01", "000001");
    app.state.store.ExpertTable.clear();
    app.state.store.SelectionTable.clear();
    app.state.draw.DrawUnsaved = true;
    app.state.AutoBackupOn = false;
    MDIFrm main(app.state, countingRegistry());
    main.show();
    main.start();
    EXPECT_EQ(main.windowTitle(), "Kestrune");
    EXPECT_EQ(app.state.store.ExpertTable.count(), 1);
    EXPECT_EQ(app.state.store.SelectionTable.count(), 1);
    EXPECT_EQ(app.state.store.TitleTypeTable.count(), 6);
    EXPECT_TRUE(app.state.AutoBackupOn);
    EXPECT_FALSE(app.state.draw.DrawUnsaved);
    EXPECT_EQ(app.state.session.RoleNames, QStringList({"管理员", "项目经理", "公司领导"}));
    auto *pane = main.screen("frmDisMsg");
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->findChild<QLabel *>("labTitle")->text(), "系统配置");
    EXPECT_EQ(pane->findChild<QLabel *>("labT_Sub(0)")->text(), "数据的导入与导出");
    EXPECT_EQ(app.state.nav.CurrentScreen, 1);
}

TEST(MainWindow, MenusCarryTheirCaptions)
{
    MainFixture f;
    const auto menus = f.main.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "设置");
    EXPECT_EQ(menus[1]->text(), "帮助");
    const auto items = menus[0]->menu()->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[0]->text(), "用户权限设置");
    EXPECT_TRUE(items[0]->isVisible());   // the fixture's user is an administrator
    EXPECT_EQ(items[1]->text(), "数据库密码");
    EXPECT_EQ(items[2]->text(), "安全设置");
    EXPECT_EQ(items[3]->text(), "抽取规则");
    EXPECT_EQ(items[4]->text(), "操作日志");
    EXPECT_EQ(items[5]->text(), "日志封存单");
    EXPECT_EQ(items[6]->text(), "修改密码");
    EXPECT_TRUE(items[7]->isSeparator());
    EXPECT_EQ(items[8]->text(), "退出");
    EXPECT_EQ(menus[1]->menu()->actions()[0]->text(), "关于");
}

TEST(MainWindow, OnlyAnAdministratorSeesTheUserAccountsItem)
{
    for (int role : {0, 1, 2, -1}) {
        TestApp app;
        app.state.session.CurrentUserRole = role;
        MDIFrm main(app.state, countingRegistry());
        int opened = 0;
        main.showUserRights = [&] { ++opened; };
        main.show();
        main.start();
        QAction *item = main.findChild<QAction *>("menuUserRights");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->isVisible(), role == 0) << role;
        item->trigger();
        EXPECT_EQ(opened, role == 0 ? 1 : 0) << role;
    }
}

TEST(MainWindow, OnlyAnAdministratorSeesTheLibraryPasswordAndSecurityItems)
{
    for (int role : {0, 1, 2}) {
        TestApp app;
        app.state.session.CurrentUserRole = role;
        MDIFrm main(app.state, countingRegistry());
        int password = 0, security = 0;
        main.showDbPassword = [&](QWidget *) { ++password; };
        main.showSecuritySettings = [&](QWidget *) { ++security; };
        main.show();
        main.start();
        QAction *dbPwd = main.findChild<QAction *>("menuDbPwd");
        QAction *settings = main.findChild<QAction *>("menuSecurity");
        ASSERT_NE(dbPwd, nullptr);
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(dbPwd->isVisible(), role == 0) << role;
        EXPECT_EQ(settings->isVisible(), role == 0) << role;
        dbPwd->trigger();
        settings->trigger();
        EXPECT_EQ(password, role == 0 ? 1 : 0) << role;
        EXPECT_EQ(security, role == 0 ? 1 : 0) << role;
    }
}

TEST(MainWindow, OnlyAnAdministratorSeesTheOperationLogItems)
{
    for (int role : {0, 1, 2}) {
        TestApp app;
        app.state.session.CurrentUserRole = role;
        MDIFrm main(app.state, countingRegistry());
        int log = 0, seal = 0;
        main.showAuditLog = [&] { ++log; };
        main.showLogSeal = [&](QWidget *) { ++seal; };
        main.show();
        main.start();
        QAction *logItem = main.findChild<QAction *>("menuAuditLog");
        QAction *sealItem = main.findChild<QAction *>("menuLogSeal");
        ASSERT_NE(logItem, nullptr);
        ASSERT_NE(sealItem, nullptr);
        EXPECT_EQ(logItem->isVisible(), role == 0) << role;
        EXPECT_EQ(sealItem->isVisible(), role == 0) << role;
        logItem->trigger();
        sealItem->trigger();
        EXPECT_EQ(log, role == 0 ? 1 : 0) << role;
        EXPECT_EQ(seal, role == 0 ? 1 : 0) << role;
    }
}

TEST(MainWindow, TheOperationLogItemOpensItsScreen)
{
    TestApp app;
    auto main = MakeMainWindow(app.state);
    main->resize(1280, 900);
    main->show();
    main->start();
    main->findChild<QAction *>("menuAuditLog")->trigger();
    EXPECT_EQ(app.state.nav.CurrentScreen, ScreenNumber(ScreenId::AuditLog));
    ASSERT_NE(main->frontScreen(), nullptr);
    EXPECT_EQ(main->frontScreen()->objectName(), "frmAuditLog");
    EXPECT_EQ(main->frontScreen()->findChild<QLabel *>("labPath")->text(), "操作日志");
}

TEST(MainWindow, TheUserAccountsItemOpensItsScreenAtPathRowOne)
{
    TestApp app;
    auto main = MakeMainWindow(app.state);
    main->resize(1280, 900);
    main->show();
    main->start();
    app.state.nav.CurrentScreen = 5;
    main->findChild<QAction *>("menuUserRights")->trigger();
    EXPECT_EQ(app.state.nav.CurrentScreen, 1);
    ASSERT_NE(main->frontScreen(), nullptr);
    EXPECT_EQ(main->frontScreen()->objectName(), "frmUserRights");
    EXPECT_EQ(main->frontScreen()->findChild<QLabel *>("labPath")->text(), "用户权限设置");
}

TEST(MainWindow, TheNavigationStatusBarShowsTheDataFile)
{
    MainFixture f;
    QLabel *first = f.main.navigationPanel()->findChild<QLabel *>("StatusBar1Panel1");
    QLabel *path = f.main.navigationPanel()->pathPanel();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width(), f.main.navigationPanel()->width() - 4);
    const QString file = QDir::toNativeSeparators(f.app.dataFile());
    EXPECT_EQ(path->toolTip(), file);
    EXPECT_EQ(path->accessibleName(), file);
    EXPECT_TRUE(path->isVisible());
    // Too long for the panel: cut in the middle, the file name still shown.
    EXPECT_TRUE(path->text().endsWith("ProSys.mdb")) << path->text().toStdString();
    EXPECT_LE(path->fontMetrics().horizontalAdvance(path->text()), path->contentsRect().width());
    EXPECT_GE(path->y(), first->y() + first->height());
}

TEST(MainWindow, ASmallWindowScrollsInsteadOfOverlapping)
{
    TestApp app;
    MDIFrm main(app.state, AllScreens());   // the program's real screens
    main.resize(1280, 900);
    main.show();
    main.start();
    main.openScreen(ScreenId::DataInOut);
    main.openScreen(ScreenId::ExpertList);
    const QSize needed = main.neededSize();
    EXPECT_LE(needed.width(), 1280);
    EXPECT_LE(needed.height(), 900);
    EXPECT_EQ(main.scrollArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    main.resize(640, 480);
    QCoreApplication::processEvents();
    frmLeft *panel = main.navigationPanel();
    // Laid out at the size the screens need: every entry stays left of the
    // screens, every control inside its screen.
    EXPECT_GE(panel->width(), panel->findChild<QLabel *>("lab1_0(13)")->geometry().right() + Px(50));
    for (const char *form : {"frmDataInOut", "frmExpertList", "frmDisMsg"}) {
        ChildScreen *s = main.screen(form);
        EXPECT_EQ(s->x(), panel->width()) << form;
        for (QWidget *w : s->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!w->isHidden())
                EXPECT_LE(w->geometry().right(), s->width()) << form << " " << w->objectName().toStdString();
    }
    // The banner shows its whole picture too.
    EXPECT_GE(main.banner()->width(), main.picInterface()->width());
    QScrollArea *scroll = main.scrollArea();
    EXPECT_GT(scroll->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    // Scrolled to the far corner, the bottom right of the front screen is in view.
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    const QRect front = main.frontScreen()->geometry();
    const QPoint corner = main.frontScreen()->parentWidget()->mapTo(scroll->viewport(), front.bottomRight());
    EXPECT_TRUE(scroll->viewport()->rect().adjusted(0, 0, 20, 20).contains(corner));

    // Large again: no scrolling, the layout follows the window once more.
    main.resize(1280, 900);
    QCoreApplication::processEvents();
    EXPECT_EQ(scroll->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(panel->width(), Px(Tw(main.frameGeometry().width()) / 5));
}

TEST(MainWindow, TheFirstSizeFitsTheDisplay)
{
    TestApp app;
    MDIFrm main(app.state, countingRegistry());
    const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(main.size(), QSize(1280, 900).boundedTo(room));
}

TEST(Keyboard, TabWalksThePanelAndEnterOrSpaceOpensTheEntry)
{
    MainFixture f;
    frmLeft *panel = f.main.navigationPanel();
    f.main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.main));
    f.icon(0)->setFocus();
    QStringList order;
    for (int i = 0; i < 20; ++i) {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        order << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(order, QStringList({"Image1(0)",  "lab1_0(0)",  "Image1(18)", "lab1_0(18)", "Image1(6)",
                                  "lab1_0(6)",  "Image1(7)",  "lab1_0(7)",  "Image1(8)",  "lab1_0(8)",
                                  "Image1(9)",  "lab1_0(9)",  "Image1(12)", "lab1_0(12)", "Image1(13)",
                                  "lab1_0(13)", "Image1(14)", "lab1_0(14)", "Picture1",   "Picture2"}));

    f.entry(7)->setFocus();
    QTest::keyClick(f.entry(7), Qt::Key_Return);
    EXPECT_EQ(f.main.frontScreen()->objectName(), "frmExpertList");
    EXPECT_EQ(backColor(f.entry(7)), QColor(0, 0, 129));
    f.icon(9)->setFocus();
    QTest::keyClick(f.icon(9), Qt::Key_Space);
    EXPECT_EQ(f.main.frontScreen()->objectName(), "frmSearchExpert");
    EXPECT_EQ(f.app.state.nav.CurrentScreen, 9);
    // Pictures carry their words for assistive tools.
    EXPECT_EQ(f.icon(13)->accessibleName(), "历史抽取专家记录");
    EXPECT_EQ(panel->findChild<QLabel *>("Picture1")->accessibleName(), "修改密码");
    EXPECT_EQ(panel->findChild<QLabel *>("Picture2")->accessibleName(), "退出");
}

TEST(MainWindow, LayoutFollowsTheWindowSize)
{
    MainFixture f;
    f.main.resize(1200, 800);
    f.main.layoutWindow();
    const QSize outer = f.main.frameGeometry().size();
    frmLeft *panel = f.main.navigationPanel();
    EXPECT_EQ(panel->width(), Px(Tw(outer.width()) / 5));
    EXPECT_EQ(panel->height(), Px(Tw(outer.height()) - 750));
    EXPECT_EQ(f.main.banner()->x(), panel->width());
    EXPECT_EQ(f.main.banner()->height(), Px(1900));
    EXPECT_EQ(f.main.banner()->width(), Px(Tw(outer.width()) - Tw(panel->width()) - 180));
    ChildScreen *pane = f.main.screen("frmDisMsg");
    EXPECT_EQ(pane->pos(), QPoint(panel->width(), f.main.banner()->height()));
    EXPECT_EQ(pane->width(), Px(Tw(outer.width()) - Tw(panel->width()) - 180));
    EXPECT_EQ(pane->height(), panel->height() - pane->y());
}

TEST(MainWindow, PanelEdgeStopsShortOfTheFootAfterAResize)
{
    MainFixture f;
    for (const QSize size : {QSize(1200, 800), QSize(900, 640)}) {
        f.main.resize(size);
        QCoreApplication::processEvents();
        f.main.layoutWindow();
        frmLeft *panel = f.main.navigationPanel();
        QLabel *line = panel->edgeLine();
        EXPECT_EQ(line->x(), panel->width() - Px(50));
        EXPECT_EQ(line->y(), 0);
        EXPECT_EQ(line->height(), panel->height() - Px(400));
        EXPECT_EQ(panel->findChild<QLabel *>("Picture3")->width(), line->x());
    }
}

TEST(MainWindow, NarrowWindowKeepsScreenWidthButStillPlaces)
{
    TestApp app;
    TestHost host(app.state, countingRegistry());
    host.openScreen(ScreenId::ExpertList);
    ChildScreen *screen = host.screen("frmExpertList");
    const int width = screen->width();
    // Narrower than the panel plus 180 twips.
    host.fixedMetrics = {3000, 2880, Tw(600), 1500};
    host.PlaceChildForm(screen);
    EXPECT_EQ(screen->width(), width);
    EXPECT_EQ(screen->pos(), QPoint(Px(2880), Px(1500)));
    EXPECT_EQ(screen->height(), 600 - Px(1500));
    // A panel shorter than the banner leaves the height alone too.
    host.fixedMetrics = {Tw(1280), 2880, 1000, 1500};
    host.PlaceChildForm(screen);
    EXPECT_EQ(screen->height(), 600 - Px(1500));
    EXPECT_EQ(screen->width(), Px(Tw(1280) - 2880 - 180));
}

TEST(MainWindow, ResizeReplacesOpenScreens)
{
    MainFixture f;
    f.main.openScreen(ScreenId::ExpertList);
    f.main.resize(1000, 700);
    f.main.layoutWindow();
    ChildScreen *screen = f.main.screen("frmExpertList");
    EXPECT_EQ(screen->x(), f.main.navigationPanel()->width());
    EXPECT_EQ(screen->height(), f.main.navigationPanel()->height() - screen->y());
}

TEST(Screens, SecondOpenRunsOnlyTheActivation)
{
    MainFixture f;
    f.main.openScreen(ScreenId::ExpertList);
    f.main.openScreen(ScreenId::NewExpert);
    f.main.openScreen(ScreenId::ExpertList);
    CountingScreen *list = f.counting("frmExpertList");
    EXPECT_EQ(list->loads, 1);
    EXPECT_EQ(list->activations, 2);
    EXPECT_EQ(f.main.frontScreen(), list);
    EXPECT_EQ(f.app.state.nav.CurrentScreen, 5);
    EXPECT_EQ(list->findChild<QLabel *>("labPath")->text(), "专家列表");
    EXPECT_EQ(f.main.picInterface()->width(), Px(11515));
}

TEST(Screens, EveryScreenShowsTheLoginDate)
{
    MainFixture f;
    f.main.openScreen(ScreenId::ExpertList);
    auto *panel = f.main.screen("frmExpertList")->findChild<QLabel *>("StatusBar1Panel1");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->text(), "登录日期: 2026/12/09");
}

TEST(Screens, LoginDateUsesTheSystemDateSeparator)
{
    const QDate date(2026, 3, 7);
    struct Case {
        QLocale locale;
        const char *expected;
    };
    for (const Case &c : {Case{QLocale(QLocale::Chinese, QLocale::China), "登录日期: 2026/03/07"},
                          Case{QLocale(QLocale::German, QLocale::Germany), "登录日期: 2026.03.07"},
                          Case{QLocale(QLocale::Dutch, QLocale::Netherlands), "登录日期: 2026-03-07"},
                          Case{QLocale::c(), "登录日期: 2026/03/07"}}) {
        EXPECT_EQ(LoginDateText(date, c.locale), QString::fromUtf8(c.expected))
            << c.locale.name().toStdString() << " " << c.locale.dateFormat(QLocale::ShortFormat).toStdString();
    }
}

TEST(PathLine, SkipsBlankLevels)
{
    TestApp app;
    struct Case {
        int screen;
        QString path;
    } cases[] = {{5, "专家列表"},
                 {14, "抽取专家 -> 抽取专家结果 -> 新建临时专家"},
                 {10, "专家高级检索 -> 查看"},
                 {26, "数据的导入与导出"}};
    for (const Case &c : cases) {
        app.state.nav.CurrentScreen = c.screen;
        EXPECT_EQ(BuildPath(app.state.nav), c.path);
    }
    app.state.nav.PathTitles[5][1] = "   ";
    app.state.nav.PathTitles[5][3] = "深";
    app.state.nav.CurrentScreen = 5;
    EXPECT_EQ(BuildPath(app.state.nav), "专家列表 -> 深");
}

struct EntryCase {
    int index;
    int screen;
    const char *form;
};

class NavigationEntries : public ::testing::TestWithParam<EntryCase> {};

TEST_P(NavigationEntries, LabelAndIconOpenTheScreenAlike)
{
    const EntryCase c = GetParam();
    for (bool viaIcon : {false, true}) {
        MainFixture f;
        ClickableLabel *target = viaIcon ? f.icon(c.index) : f.entry(c.index);
        QTest::mouseClick(target, Qt::LeftButton);
        EXPECT_EQ(f.app.state.nav.CurrentScreen, c.screen);
        EXPECT_EQ(f.main.frontScreen()->objectName(), QString::fromLatin1(c.form));
        EXPECT_EQ(backColor(f.entry(c.index)), QColor(0, 0, 129));
        EXPECT_EQ(textColor(f.entry(c.index)), QColor(Qt::white));
        EXPECT_EQ(backColor(f.entry(0)), QColor(Qt::white));
        EXPECT_EQ(textColor(f.entry(0)), QColor(Qt::black));
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, NavigationEntries,
                         ::testing::Values(EntryCase{18, 26, "frmDataInOut"}, EntryCase{7, 5, "frmExpertList"},
                                           EntryCase{8, 8, "frmNewExpert"}, EntryCase{9, 9, "frmSearchExpert"},
                                           EntryCase{12, 15, "frmNewProSelExpert"},
                                           EntryCase{13, 16, "frmExpertHistory"}, EntryCase{14, 11, "frmProList"}));

TEST(Navigation, OnlyTheNineEntriesAreVisible)
{
    MainFixture f;
    int visible = 0;
    for (int i = 0; i < frmLeft::kEntryCount; ++i)
        visible += f.entry(i)->isHidden() ? 0 : 1;
    EXPECT_EQ(visible, 9);
    EXPECT_EQ(f.entry(12)->text(), "抽取专家");
    EXPECT_EQ(f.entry(12)->pos(), QPoint(Px(960), Px(3270)));
    EXPECT_EQ(f.icon(12)->pos(), QPoint(Px(600), Px(3210)));
    EXPECT_EQ(f.entry(14)->text(), "项目列表");
    EXPECT_EQ(f.entry(14)->pos(), QPoint(Px(960), Px(3870)));
    EXPECT_EQ(f.icon(14)->pos(), QPoint(Px(600), Px(3810)));
}

TEST(Navigation, HeadingsRefillThePaneWithoutLeftovers)
{
    MainFixture f;
    QTest::mouseClick(f.entry(6), Qt::LeftButton);
    ChildScreen *pane = f.main.screen("frmDisMsg");
    EXPECT_EQ(f.main.frontScreen(), pane);
    EXPECT_EQ(pane->findChild<QLabel *>("labTitle")->text(), "专家管理");
    EXPECT_EQ(pane->findChild<QLabel *>("labT_Sub(4)")->text(), "历史抽取专家记录");
    EXPECT_EQ(pane->findChild<QLabel *>("labTu(4)")->text(), "●");
    EXPECT_EQ(pane->findChild<QLabel *>("labT_Sub(5)")->text(), "项目列表");
    EXPECT_EQ(pane->findChild<QLabel *>("labT_Text(5)")->text(), "查看以往的抽取项目及其抽取过程、出席情况与验证结果");
    EXPECT_EQ(pane->findChild<QLabel *>("labTu(5)")->text(), "●");
    // Back to the first section, also when the pane is already in front.
    QTest::mouseClick(f.icon(0), Qt::LeftButton);
    EXPECT_EQ(pane->findChild<QLabel *>("labTitle")->text(), "系统配置");
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(pane->findChild<QLabel *>(ArrayName("labTu", i))->text(), "");
        EXPECT_EQ(pane->findChild<QLabel *>(ArrayName("labT_Sub", i))->text(), "");
        EXPECT_EQ(pane->findChild<QLabel *>(ArrayName("labT_Text", i))->text(), "");
    }
    EXPECT_EQ(f.app.state.nav.CurrentScreen, 1);
}

TEST(Navigation, OpenScreenEntryBringsItBackWithoutReloading)
{
    MainFixture f;
    QTest::mouseClick(f.entry(7), Qt::LeftButton);
    QTest::mouseClick(f.entry(6), Qt::LeftButton);
    QTest::mouseClick(f.entry(7), Qt::LeftButton);
    EXPECT_EQ(f.counting("frmExpertList")->loads, 1);
    EXPECT_EQ(f.counting("frmExpertList")->activations, 2);
}

TEST(Navigation, PictureButtonsOpenPasswordAndExit)
{
    MainFixture f;
    int passwordDialogs = 0;
    f.main.showChangePassword = [&](QWidget *) { ++passwordDialogs; };
    QTest::mouseClick(f.main.navigationPanel()->findChild<ClickableLabel *>("Picture1"), Qt::LeftButton);
    EXPECT_EQ(passwordDialogs, 1);
    f.app.state.AutoBackupOn = false;
    QTest::mouseClick(f.main.navigationPanel()->findChild<ClickableLabel *>("Picture2"), Qt::LeftButton);
    EXPECT_EQ(f.ended, 1);
}
