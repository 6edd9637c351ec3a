#include "TestApp.h"
#include "extraction/frmExpertHistory.h"
#include "lists/ListEngine.h"

#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

ScreenRegistry HistoryRegistry() { return AllScreens().only({Form::frmNewPro, Form::frmExpertHistory}); }

class HistoryScreenTest : public ::testing::Test {
protected:
    TestApp app;
    AppState &state = app.state;
    TestHost host{state, HistoryRegistry()};
    QString wang, li, zhao;

    void SetUp() override
    {
        app.clock->date = QDate(2026, 12, 9);
        wang = app.addExpert("王工");
        li = app.addExpert("李工", "停用", "临时");
        zhao = app.addExpert("赵工");
        host.area.show();
        // Focus moves are only seen in the active window.
        host.area.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host.area));
    }
    void open() { host.openScreen(ScreenId::DrawHistory); }
    frmExpertHistory *screen() { return static_cast<frmExpertHistory *>(host.screen("frmExpertHistory")); }

    template <typename T> T *control(const QString &name) { return host.find<T>("frmExpertHistory", name); }
    QLabel *label(const QString &name) { return control<QLabel>(name); }
    QLineEdit *field(const QString &name) { return control<QLineEdit>(name); }
    QCalendarWidget *calendar(const char *name) { return control<QCalendarWidget>(QString::fromLatin1(name)); }
    void click(const char *name) { QTest::mouseClick(control<QPushButton>(QString::fromLatin1(name)), Qt::LeftButton); }
    void type(const QString &name, const QString &text)
    {
        // insert() is typing for texts QTest cannot send key by key.
        field(name)->selectAll();
        field(name)->insert(text);
    }
    void search(const QString &from, const QString &to, const QString &profession = {}, const QString &unit = {})
    {
        type("txtFrom", from);
        type("txtTo", to);
        type("txtDis(0)", profession);
        type("txtDis(1)", unit);
        click("cmdSearch");
    }
    // Names shown on the page, from the top.
    QStringList listedNames()
    {
        QStringList names;
        for (int i = 0; i < kRowsPerPage; ++i) {
            const QString name = label(ArrayName("lab2", i))->text();
            if (!name.isEmpty())
                names << name;
        }
        return names;
    }
};

TEST_F(HistoryScreenTest, ActivationShowsAnEmptyListAndTodayInBothFields)
{
    app.addSelection("2026-12-09", wang);
    open();
    EXPECT_EQ(label("labPath")->text(), QStringLiteral("历史抽取专家记录"));
    EXPECT_EQ(host.bannerWidth, 11515);
    EXPECT_EQ(field("txtFrom")->text(), "2026-12-09");
    EXPECT_EQ(field("txtTo")->text(), "2026-12-09");
    EXPECT_EQ(label("labPage")->text(), "0/0");
    EXPECT_TRUE(state.HistoryList.isEmpty());
    EXPECT_EQ(screen()->historyCriteria(), (HistoryCriteria{"NoRecord", "NoRecord", "NoRecord", "NoRecord"}));

    click("cmdSearch");   // unchanged fields: today's records
    EXPECT_EQ(listedNames(), QStringList{"王工"});
    EXPECT_EQ(screen()->historyCriteria(), (HistoryCriteria{"2026-12-09", "2026-12-09", "", ""}));
}

TEST_F(HistoryScreenTest, LoadsWithItsCaptions)
{
    open();
    EXPECT_EQ(label("labTitle")->text(), QStringLiteral("历史抽取专家记录"));
    EXPECT_EQ(label("labDis(0)")->text(), QStringLiteral("开始日期：                        结束日期："));
    EXPECT_EQ(label("labDis(1)")->text(), QStringLiteral("从事专业："));
    EXPECT_EQ(label("labDis(2)")->text(), QStringLiteral("工作单位："));
    EXPECT_EQ(label("labDis(11)")->text(), QStringLiteral("（ 号项目为可进行模糊查询的项目。）"));
    for (const char *star : {"labDis(12)", "labDis(13)", "labDis(3)"}) {
        SCOPED_TRACE(star);
        EXPECT_EQ(label(QString::fromLatin1(star))->text(), QStringLiteral("*"));
        EXPECT_EQ(TextColor(label(QString::fromLatin1(star))), kWarningRed);
    }
    EXPECT_EQ(control<QPushButton>("cmd_Clear")->text(), QStringLiteral("清 空"));
    EXPECT_EQ(
        label("Label1")->text(),
        QStringLiteral(" 序号    姓名     性别    出生时间         工作单位                 从事专业                "
                       "资格名称           电话号码"));
    EXPECT_EQ(label("Label1")->palette().color(QPalette::Window).rgb(), kHeadingBack);
    EXPECT_EQ(label("StatusBar1Panel1")->text(), QStringLiteral("登录日期: 2026/12/09"));
    EXPECT_FALSE(calendar("MonthView1")->isVisible());
    EXPECT_FALSE(calendar("MonthView2")->isVisible());
    // No row ticks on this list.
    EXPECT_EQ(host.find<QWidget>("frmExpertHistory", "chkAll"), nullptr);
}

TEST_F(HistoryScreenTest, SearchListsRecordsOfTheRange)
{
    app.addSelection("2026-11-30", wang);
    app.addSelection("2026-12-01", li);   // disabled and temporary experts are listed too
    app.addSelection("2026-12-05", zhao);
    app.addSelection("2026-12-05", wang);   // drawn a second time
    app.addSelection("2026-12-10", zhao);
    open();

    struct Case {
        const char *from, *to;
        QStringList names;
    } cases[] = {
        {"2026-12-01", "2026-12-05", {"李工", "赵工", "王工"}},
        {"2026-12-05", "2026-12-05", {"赵工", "王工"}},
        {"2026-11-01", "2026-12-31", {"王工", "李工", "赵工", "王工", "赵工"}},
        {"2026-12-06", "2026-12-01", {}},
        {" 2026-12-10 ", "2026-12-10", {"赵工"}},   // typed blanks are trimmed
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " .. " << c.to);
        app.messages->clear();
        search(c.from, c.to);
        EXPECT_EQ(listedNames(), c.names);
        EXPECT_EQ(state.HistoryList.count(), c.names.size());
        EXPECT_TRUE(app.messages->shown.isEmpty());
    }
    // Each row carries the expert's Id in the key column.
    search("2026-11-30", "2026-11-30");
    ASSERT_EQ(state.HistoryList.count(), 1);
    EXPECT_EQ(state.HistoryList.cell(0, 0), wang);
    EXPECT_EQ(label(ArrayName("lab5", 0))->text(), QStringLiteral("北京建工集团"));
}

TEST_F(HistoryScreenTest, ProfessionAndWorkUnitNarrowTheList)
{
    const QString other =
        app.addExpert({"钱工", "启用", "正式", "★☆☆☆☆", "女", "1980-01-01", " ", "上海", "03", "同济", "2002-07-01",
                       " ", "上海市政设计院", "高工", "02", "给排水", "工程类", "市政", "注册公用设备工程师"});
    app.addSelection("2026-12-01", wang);
    app.addSelection("2026-12-01", other);
    open();
    search("2026-12-01", "2026-12-31", "排水");
    EXPECT_EQ(listedNames(), QStringList{"钱工"});
    EXPECT_EQ(screen()->historyCriteria(), (HistoryCriteria{"2026-12-01", "2026-12-31", "排水", ""}));
    search("2026-12-01", "2026-12-31", "", "建工");
    EXPECT_EQ(listedNames(), QStringList{"王工"});
    search("2026-12-01", "2026-12-31", "", "上海*院");
    EXPECT_EQ(listedNames(), QStringList{"钱工"});
}

TEST_F(HistoryScreenTest, RecordsOfDeletedExpertsAreNotListed)
{
    app.addSelection("2026-12-01", wang);
    app.addSelection("2026-12-01", li);
    // Deleting an expert leaves their selection records in the file.
    state.store.ExpertTable.removeRowsIf([&](const TextTable &t, qsizetype r) { return t.cell(r, 0) == wang; });
    open();
    search("2026-12-01", "2026-12-01");
    EXPECT_EQ(listedNames(), QStringList{"李工"});
}

TEST_F(HistoryScreenTest, ActivationAndClearResetTheFields)
{
    app.addSelection("2026-12-01", wang);
    open();
    search("2026-12-01", "2026-12-02", "土木", "建工");
    ASSERT_EQ(listedNames(), QStringList{"王工"});

    click("cmd_Clear");
    EXPECT_EQ(field("txtFrom")->text(), "2026-12-09");
    EXPECT_EQ(field("txtTo")->text(), "2026-12-09");
    EXPECT_TRUE(field("txtDis(0)")->text().isEmpty());
    EXPECT_TRUE(field("txtDis(1)")->text().isEmpty());
    EXPECT_EQ(listedNames(), QStringList{"王工"});   // the list stays

    search("2026-12-01", "2026-12-02", "土木");
    open();
    EXPECT_EQ(listedNames(), QStringList());
    EXPECT_EQ(field("txtFrom")->text(), "2026-12-09");
    EXPECT_TRUE(field("txtDis(0)")->text().isEmpty());
    EXPECT_EQ(screen()->historyCriteria()[H_StartDate], "NoRecord");
}

TEST_F(HistoryScreenTest, CalendarButtonsOpenAndCloseOnTheFieldsDate)
{
    open();
    struct Pair {
        const char *button, *field, *calendar;
    } pairs[] = {{"cmdFrom", "txtFrom", "MonthView1"}, {"cmdTo", "txtTo", "MonthView2"}};
    for (const Pair &p : pairs) {
        SCOPED_TRACE(p.button);
        QCalendarWidget *cal = calendar(p.calendar);
        EXPECT_FALSE(cal->isVisible());
        type(p.field, "2025-02-14");
        click(p.button);
        EXPECT_TRUE(cal->isVisible());
        EXPECT_EQ(cal->selectedDate(), QDate(2025, 2, 14));
        EXPECT_TRUE(field("txtDis(0)")->hasFocus());
        click(p.button);
        EXPECT_FALSE(cal->isVisible());

        // Clicking the field does the same.
        QTest::mouseClick(field(p.field), Qt::LeftButton);
        EXPECT_TRUE(cal->isVisible());
        EXPECT_TRUE(field("txtDis(0)")->hasFocus());
        QTest::mouseClick(field(p.field), Qt::LeftButton);
        EXPECT_FALSE(cal->isVisible());

        // A double click is one click: the calendar opens and stays open.
        // (Sent to the window, so the field gets what a real double click
        // brings: press, release, double click, release.)
        QWidget *window = field(p.field)->window();
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {},
                           field(p.field)->mapTo(window, field(p.field)->rect().center()));
        EXPECT_TRUE(cal->isVisible());
        QTest::mouseClick(field(p.field), Qt::LeftButton);
        EXPECT_FALSE(cal->isVisible());
        // The right button brings the field's own menu, not the calendar.
        QTest::mouseRelease(field(p.field), Qt::RightButton);
        EXPECT_FALSE(cal->isVisible());
    }
}

TEST_F(HistoryScreenTest, PickingADayFillsTheFieldAndClosesTheCalendar)
{
    open();
    type("txtTo", "2025-02-14");
    click("cmdTo");
    QCalendarWidget *cal = calendar("MonthView2");
    auto *view = cal->findChild<QTableView *>();
    ASSERT_TRUE(view);
    // Day 20 appears once in a month's grid.
    QModelIndex day20;
    for (int r = 0; r < view->model()->rowCount() && !day20.isValid(); ++r)
        for (int c = 0; c < view->model()->columnCount(); ++c) {
            const QModelIndex i = view->model()->index(r, c);
            if (i.data().toString() == "20") {
                day20 = i;
                break;
            }
        }
    ASSERT_TRUE(day20.isValid());
    const QPoint at = view->visualRect(day20).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(field("txtTo")->text(), "2025-02-20");
    EXPECT_FALSE(cal->isVisible());
    EXPECT_TRUE(field("txtDis(0)")->hasFocus());
    EXPECT_EQ(field("txtFrom")->text(), "2026-12-09");

    // A field that holds no date opens its calendar on today.
    type("txtFrom", "12/01/2026");
    click("cmdFrom");
    EXPECT_EQ(calendar("MonthView1")->selectedDate(), QDate(2026, 12, 9));
}

TEST_F(HistoryScreenTest, ReportButtonsPrintTheListOfTheLastSearch)
{
    app.addSelection("2026-12-09", wang);
    open();
    for (const char *button : {"cmdPreview", "cmdExcel"}) {
        SCOPED_TRACE(button);
        app.messages->clear();
        click(button);
        EXPECT_EQ(app.messages->texts(), QStringList{QStringLiteral("请进行历史专家抽取。")});
    }
    click("cmdSearch");
    for (const char *button : {"cmdPreview", "cmdExcel"}) {
        SCOPED_TRACE(button);
        app.messages->clear();
        click(button);   // the test folder has no templates
        EXPECT_EQ(app.messages->texts(), QStringList{QStringLiteral("模板文件“ExpertHistroy_Plate.xls”不存在！")});
    }
}

TEST_F(HistoryScreenTest, ReportControlsAreTheOnesAReportDisables)
{
    open();
    QStringList names;
    for (QWidget *w : screen()->reportControls())
        names << w->objectName();
    EXPECT_EQ(names, (QStringList{"cmdSearch", "cmd_Clear", "cmdPreview", "cmdExcel", "cmdFrom", "cmdTo", "txtFrom",
                                  "txtTo"}));
    EXPECT_EQ(control<QPushButton>("cmdPreview")->text(), QStringLiteral("打印预览"));
    EXPECT_EQ(control<QPushButton>("cmdExcel")->text(), QStringLiteral("导出Excel"));
    EXPECT_EQ(control<QPushButton>("cmdSearch")->text(), QStringLiteral("检 索"));
}

}   // namespace
