// The 操作日志 screen: criteria, readable details, rows and paging of a large
// log, the screen itself, and reading that never writes.

#include "TestApp.h"
#include "admin/AuditLogView.h"
#include "admin/frmAuditLog.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "data/Users.h"
#include "lists/ListEngine.h"
#include "lists/PagedList.h"
#include "reports/Reports.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QDateTime At(int day, int hour = 9) { return QDateTime(QDate(2026, 12, day), QTime(hour, 0, 0)); }

AuditEntry Entry(const QString &kind, const QString &subject, const QString &detailJson)
{
    AuditEntry e;
    e.seq = 7;
    e.kind = kind;
    e.subject = subject;
    e.detail = detailJson;
    return e;
}

// Appends entries straight to the library, dated as given.
struct LogWriter {
    Connection &conn;
    AuditHead add(const QString &who, const QString &kind, const QString &subject, const QDateTime &at,
                  const QJsonObject &detail = {})
    {
        return AppendAudit(conn, who, kind, subject, detail, at);
    }
};

}   // namespace

TEST(AuditLogView, CriteriaAreReadAsTypedAndRefusedWhenWrong)
{
    struct Case {
        const char *from, *to, *who, *kind;
        QDate wantFrom, wantTo;
        const char *wantWho, *wantKind;
        const char *error;   // part of the message, "" when accepted
    };
    const QDate d1(2026, 5, 1), d2(2026, 5, 31);
    const QString login = AuditKind::Caption(AuditKind::Login);
    const std::string loginCaption = login.toStdString();
    const Case cases[] = {
        {"2026-05-01", "2026-05-31", "", "全部", d1, d2, "", "", ""},
        {" 2026/5/1 ", "20260531", "全部", "全部", d1, d2, "", "", ""},
        {"", "", " admin ", loginCaption.c_str(), {}, {}, "admin", "login", ""},
        {"2026-05-31", "2026-05-31", "", "", d2, d2, "", "", ""},
        {"2026-05-31", "2026-05-01", "", "全部", {}, {}, "", "", "开始日期不能晚于结束日期"},
        {"2026-13-01", "", "", "全部", {}, {}, "", "", "开始日期“2026-13-01”不是日期"},
        {"", "明天", "", "全部", {}, {}, "", "", "结束日期“明天”不是日期"},
        {"", "", "", "随便", {}, {}, "", "", "没有“随便”这一类操作"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " | " << c.to << " | " << c.who << " | " << c.kind);
        const Result<AuditFilter> f = ParseAuditCriteria(QString::fromUtf8(c.from), QString::fromUtf8(c.to),
                                                         QString::fromUtf8(c.who), QString::fromUtf8(c.kind));
        if (*c.error) {
            ASSERT_FALSE(f.ok());
            EXPECT_TRUE(f.message().contains(QString::fromUtf8(c.error))) << f.message().toStdString();
            continue;
        }
        ASSERT_TRUE(f.ok()) << f.message().toStdString();
        EXPECT_EQ(f->from, c.wantFrom);
        EXPECT_EQ(f->to, c.wantTo);
        EXPECT_EQ(f->operatorName, QString::fromUtf8(c.wantWho));
        EXPECT_EQ(f->kind, QString::fromUtf8(c.wantKind));
    }
    // Every kind the combo offers is one the filter accepts.
    const QStringList items = AuditKindItems();
    ASSERT_EQ(items.size(), AuditKind::All().size() + 1);
    EXPECT_EQ(items.first(), "全部");
    for (int i = 0; i < AuditKind::All().size(); ++i) {
        const Result<AuditFilter> f = ParseAuditCriteria({}, {}, {}, items[i + 1]);
        ASSERT_TRUE(f.ok());
        EXPECT_EQ(f->kind, AuditKind::All()[i]);
    }
}

TEST(AuditLogView, DetailsReadAsSentencesWithoutHashes)
{
    const QString trailHash(64, QLatin1Char('a'));
    struct Case {
        const char *name;
        AuditEntry entry;
        QStringList contains;
        QStringList absent;
    };
    const Case cases[] = {
        {"an expert changed",
         Entry(AuditKind::ExpertChange, "000012",
               R"({"after":{"Company_name":"新院","Mobile":" "},"before":{"Company_name":"旧院","Mobile":"139"}})"),
         {"工作单位：旧院 → 新院", "电话号码：139 → （空）"},
         {"Company_name", "{"}},
        {"an expert added lists what it holds, blanks left out",
         Entry(AuditKind::ExpertAdd, "000013",
               R"({"after":{"Id":"000013","Name":"王工","Sex":"男","email":" "},"before":{}})"),
         {"编号：000013", "专家姓名：王工", "性别：男"},
         {"电子邮件", "→"}},
        {"a stored project covers itself only",
         Entry(AuditKind::ProjectStore, "P1",
               QStringLiteral(R"({"covers":{"P1":"%1"},"experts":5,"rounds":2})").arg(trailHash)),
         {"专家：5人", "轮次：2"},
         {trailHash, "涉及项目", "covers"}},
        {"a whole-library entry counts the projects",
         Entry(AuditKind::Initialise, "", R"({"covers_all":{"P1":"x","P2":"y"},"safety_copy":"/tmp/s.mdb"})"),
         {"记下全库项目2个", "安全副本：/tmp/s.mdb"},
         {"covers_all"}},
        {"a draw event keeps its kind, not its trail hash",
         Entry(AuditKind::DrawRound, "T1:3", QStringLiteral(R"({"event":"抽取","trail_row":"%1"})").arg(trailHash)),
         {"事件：抽取"},
         {trailHash}},
        {"many experts deleted are cut to a count",
         Entry(AuditKind::ExpertDelete, "1,2,3,4,5,6,7", R"({"experts":["1","2","3","4","5","6","7"]})"),
         {"专家：1、2、3、4、5 等7个"},
         {"6、7"}},
        {"a user unlocked",
         Entry(AuditKind::UserAdmin, "000002", R"({"change":"unlock","name":"","role":-1})"),
         {"解除锁定"},
         {"role", "unlock", "用户名"}},
        {"a user added with a role",
         Entry(AuditKind::UserAdmin, "000003", R"({"change":"add","name":"张三","role":1})"),
         {"新增用户", "用户名：张三", "权限：项目经理"},
         {}},
        {"a restore names both heads",
         Entry(
             AuditKind::Restore, "b.mdb",
             R"({"backup_hash":"ff","backup_head":"3:00ff","covers_all":{},"replaced_hash":"ee","replaced_head":"9:00ee"})"),
         {"被替换的日志链头：9:00ee", "备份的日志链头：3:00ff"},
         {"replaced_hash", "\"ee\""}},
        {"an unknown key is still shown",
         Entry(AuditKind::Setting, "supervised_draw", R"({"value":"1","extra":true})"),
         {"值：1", "extra：是"},
         {}},
        {"text that is not JSON is shown as it is",
         Entry(AuditKind::Print, "x", "<b>not json</b>"),
         {"<b>not json</b>"},
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = ReadableAuditDetail(c.entry);
        for (const QString &part : c.contains)
            EXPECT_TRUE(text.contains(part)) << text.toStdString() << " lacks " << part.toStdString();
        for (const QString &part : c.absent)
            EXPECT_FALSE(text.contains(part)) << text.toStdString() << " has " << part.toStdString();
    }
    EXPECT_EQ(ReadableAuditDetail(Entry(AuditKind::Login, "admin", "{}")), "");
    EXPECT_EQ(ReadableAuditDetail(Entry(AuditKind::Login, "admin", "")), "");
}

TEST(AuditLogView, AnUnlockIsLoggedUnderItsOwnName)
{
    // The change names of the user administration once stopped before
    // Unlock, so that an unlock read past them.
    TestApp app;
    app.state.store.operatorName = "admin";
    app.addUser("000002", "pm", "pw", "1");
    UserChange unlock;
    unlock.kind = UserChange::Kind::Unlock;
    unlock.userId = "000002";
    ASSERT_EQ(ApplyUserChange(app.state.store, "000001", unlock).problem, UserProblem::None);
    const Result<QList<AuditEntry>> log = ReadAuditEntries(app.state.store, {});
    ASSERT_TRUE(log.ok());
    ASSERT_FALSE(log->isEmpty());
    const AuditEntry &last = log->last();
    EXPECT_EQ(last.kind, AuditKind::UserAdmin);
    EXPECT_EQ(QJsonDocument::fromJson(last.detail.toUtf8()).object().value("change").toString(), "unlock");
    EXPECT_TRUE(ReadableAuditDetail(last).startsWith("解除锁定")) << ReadableAuditDetail(last).toStdString();
}

TEST(AuditLogView, RowsFollowTheFilterAndCarryACheckableHead)
{
    TestApp app;
    Connection &conn = LibraryConnection(app.state.store);
    LogWriter w{conn};
    const AuditHead before = ReadAuditHead(conn);
    w.add("admin", AuditKind::Login, "admin", At(1, 8));
    w.add("pm", AuditKind::Login, "pm", At(1, 23));
    w.add("pm", AuditKind::ExpertChange, "000001", At(2),
          {{"before", QJsonObject{{"Name", "甲"}}}, {"after", QJsonObject{{"Name", "<b>乙</b>"}}}});
    w.add("admin", AuditKind::Backup, "/b/ProSys.mdb", At(3));
    const qint64 first = before.seq + 1;

    struct Case {
        const char *name;
        AuditFilter filter;
        QList<qint64> seqs;   // relative to the first entry added
    };
    const Case cases[] = {
        {"a day includes its last second", {QDate(2026, 12, 1), QDate(2026, 12, 1), {}, {}}, {0, 1}},
        {"from a day on", {QDate(2026, 12, 2), {}, {}, {}}, {2, 3}},
        {"up to a day", {{}, QDate(2026, 12, 1), {}, {}}, {0, 1}},
        {"one operator", {QDate(2026, 12, 1), QDate(2026, 12, 31), "pm", {}}, {1, 2}},
        {"one kind", {QDate(2026, 12, 1), {}, {}, AuditKind::Login}, {0, 1}},
        {"operator and kind", {QDate(2026, 12, 1), {}, "admin", AuditKind::Backup}, {3}},
        {"nothing matches", {QDate(2026, 12, 4), {}, {}, {}}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TextTable rows = AuditLogRows(ReadAuditEntries(conn, c.filter));
        QList<qint64> seqs;
        // Entries the fresh library already held (dated now) do not count.
        for (qsizetype r = 0; r < rows.count(); ++r)
            if (rows.cell(r, 0).toLongLong() >= first)
                seqs << rows.cell(r, 0).toLongLong() - first;
        EXPECT_EQ(seqs, c.seqs);
    }

    const TextTable rows = AuditLogRows(ReadAuditEntries(conn, {QDate(2026, 12, 2), QDate(2026, 12, 2), {}, {}}));
    ASSERT_EQ(rows.count(), 1);
    const QStringList row = rows.row(0);
    ASSERT_EQ(row.size(), kAuditListColumns);
    EXPECT_EQ(row[1], "2026-12-02 09:00:00");
    EXPECT_EQ(row[2], "pm");
    EXPECT_EQ(row[3], "修改专家");
    EXPECT_EQ(row[4], "000001");
    EXPECT_EQ(row[5], "专家姓名：甲 → <b>乙</b>");
    // The last column is the entry as a head is printed: the verifier finds it.
    const AuditHeadRef ref = ParseAuditHead(row[6]);
    EXPECT_EQ(ref.seq, first + 2);
    EXPECT_EQ(ref.hashPrefix.size(), 16);
    EXPECT_EQ(CheckHead(conn, ref), "");

    // Reading, however often, leaves the log as it was.
    const AuditHead head = ReadAuditHead(conn);
    for (int i = 0; i < 3; ++i)
        (void)ReadAuditEntries(app.state.store, {});
    EXPECT_EQ(ReadAuditHead(conn).hash, head.hash);
    EXPECT_EQ(ReadAuditHead(conn).seq, head.seq);
    EXPECT_TRUE(VerifyChain(conn).isEmpty());
}

TEST(AuditLogView, AHundredThousandEntriesFilterAndPage)
{
    TestApp app;
    Connection &conn = LibraryConnection(app.state.store);
    // A long chain written as a restore writes it: verbatim, hashes linked.
    constexpr int kEntries = 100000;
    QList<AuditEntry> entries;
    entries.reserve(kEntries);
    QString prev;
    const QStringList who{"admin", "pm", "lead"};
    for (int i = 1; i <= kEntries; ++i) {
        AuditEntry e;
        e.seq = i;
        // 1,000 entries a day from 2026-01-01 on.
        e.at = QDateTime(QDate(2026, 1, 1).addDays((i - 1) / 1000), QTime(8, 0).addSecs((i - 1) % 1000 * 30))
                   .toString("yyyy-MM-ddTHH:mm:ss");
        e.operatorName = who[i % 3];
        e.kind = i % 10 == 0 ? AuditKind::ExpertChange : AuditKind::Login;
        e.subject = QString::number(i);
        e.detail = i % 10 == 0 ? R"({"after":{"Mobile":"2"},"before":{"Mobile":"1"}})" : "{}";
        e.prevHash = prev;
        e.hash = AuditEntryHash(e);
        prev = e.hash;
        entries << e;
    }
    {
        Transaction tx(conn);
        RebuildAuditLog(conn, entries);
        tx.commit();
    }

    const TextTable all = AuditLogRows(ReadAuditEntries(conn, {}));
    ASSERT_EQ(all.count(), kEntries);
    EXPECT_EQ(ListPageCount(all.count()), kEntries / kRowsPerPage);

    // Ten days of one operator's changes: 10 days × 100 changes, a third of them.
    AuditFilter f{QDate(2026, 1, 11), QDate(2026, 1, 20), "pm", AuditKind::ExpertChange};
    const TextTable some = AuditLogRows(ReadAuditEntries(conn, f));
    int expected = 0;
    for (int i = 10001; i <= 20000; ++i)
        expected += i % 10 == 0 && who[i % 3] == "pm";
    ASSERT_EQ(some.count(), expected);
    for (qsizetype r = 0; r < some.count(); ++r) {
        ASSERT_EQ(some.cell(r, 2), QStringLiteral("pm"));
        ASSERT_EQ(some.cell(r, 5), QStringLiteral("电话号码：1 → 2"));
    }

    // The engine pages the whole list: the last page holds the last entries.
    QWidget screen;
    PagingState paging;
    ListLayout layout;
    layout.setColumns({300, 900, 2000, 3000, 4000, 5000, 9000}, 12000);
    layout.firstRowTop = 1000;
    layout.setPageLinks(5000);
    PagedList list(&screen, paging, layout);
    ListCall call;
    call.columnsUsed = kAuditListColumns;
    call.list = &all;
    list.show(call);
    EXPECT_EQ(paging.PageCount, kEntries / kRowsPerPage);
    list.lastPage();
    EXPECT_EQ(paging.CurrentPage, paging.PageCount);
    EXPECT_EQ(list.controls().lab[0][9]->text(), QString::number(kEntries));
    const AuditHead last{kEntries, prev};
    EXPECT_EQ(list.controls().lab[6][9]->text(), last.text());
}

namespace {

class AuditLogScreenTest : public ::testing::Test {
protected:
    TestApp app;
    TestHost host{app.state, AllScreens().only({Form::frmAuditLog})};

    void SetUp() override
    {
        app.clock->date = QDate(2026, 12, 9);
        app.state.session.CurrentUserRole = 0;
        app.state.store.operatorName = "admin";
        host.area.show();
    }
    Connection &conn() { return LibraryConnection(app.state.store); }
    void open() { host.openScreen(ScreenId::AuditLog); }
    frmAuditLog *screen() { return static_cast<frmAuditLog *>(host.screen("frmAuditLog")); }
    template <typename T> T *control(const QString &name) { return host.find<T>("frmAuditLog", name); }
    QLabel *cell(int column, int slot) { return control<QLabel>(ArrayName(QStringLiteral("lab%1").arg(column), slot)); }
    void type(const QString &name, const QString &text)
    {
        control<QLineEdit>(name)->selectAll();
        control<QLineEdit>(name)->insert(text);
    }
    void click(const QString &name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
    QStringList shownSubjects()
    {
        QStringList out;
        for (int i = 0; i < kRowsPerPage; ++i)
            if (!cell(5, i)->text().isEmpty())
                out << cell(5, i)->text();
        return out;
    }
};

}   // namespace

TEST_F(AuditLogScreenTest, OpensOnTodaysEntriesAndSearchesByTheCriteria)
{
    LogWriter w{conn()};
    w.add("admin", AuditKind::Login, "yesterday", At(8));
    w.add("admin", AuditKind::Login, "today-1", At(9, 8));
    w.add("pm", AuditKind::Backup, "today-2", At(9, 10));
    open();
    EXPECT_EQ(control<QLabel>("labPath")->text(), "操作日志");
    EXPECT_EQ(control<QLineEdit>("txtFrom")->text(), "2026-12-09");
    EXPECT_EQ(control<QLineEdit>("txtTo")->text(), "2026-12-09");
    EXPECT_EQ(control<QComboBox>("cboKind")->currentText(), "全部");
    // A screen reader names the fields by their captions.
    EXPECT_EQ(control<QLineEdit>("txtFrom")->accessibleName(), "开始日期");
    EXPECT_EQ(control<QComboBox>("cboOperator")->accessibleName(), "操作员");
    EXPECT_EQ(control<QComboBox>("cboKind")->accessibleName(), "类别");
    EXPECT_EQ(shownSubjects(), (QStringList{"today-1", "today-2"}));
    EXPECT_EQ(cell(4, 1)->text(), "备份数据库");
    EXPECT_EQ(control<QLabel>("labPage")->text(), "1/1");

    // Both days, one kind.
    type("txtFrom", "2026-12-08");
    control<QComboBox>("cboKind")->setCurrentText(AuditKind::Caption(AuditKind::Login));
    click("cmdSearch");
    EXPECT_EQ(shownSubjects(), (QStringList{"yesterday", "today-1"}));
    // An operator typed who is no user any more.
    control<QComboBox>("cboKind")->setCurrentIndex(0);
    control<QComboBox>("cboOperator")->setEditText("pm");
    click("cmdSearch");
    EXPECT_EQ(shownSubjects(), QStringList{"today-2"});
    EXPECT_EQ(screen()->reportHeader(),
              AuditLogHeaderCells({"2026-12-08", "2026-12-09", "pm", "全部", ReadAuditHead(conn()).text()}));

    // A wrong date says so and keeps the list shown.
    app.messages->shown.clear();
    type("txtTo", "2026-02-30");
    click("cmdSearch");
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_TRUE(app.messages->shown[0].text.contains("结束日期")) << app.messages->shown[0].text.toStdString();
    EXPECT_EQ(shownSubjects(), QStringList{"today-2"});
}

TEST_F(AuditLogScreenTest, ManyEntriesPageAndUserTextStaysPlain)
{
    LogWriter w{conn()};
    for (int i = 1; i <= 25; ++i)
        w.add("admin", AuditKind::ExpertChange, i == 25 ? "<b>x</b>" : QString::number(i), At(9, 8).addSecs(i),
              {{"before", QJsonObject{{"Name", "<i>a</i>"}}}, {"after", QJsonObject{{"Name", "b"}}}});
    const AuditHead head = ReadAuditHead(conn());
    open();
    EXPECT_EQ(control<QLabel>("labPage")->text(), "1/3");
    EXPECT_EQ(control<QLabel>("labCount")->text(), "共 25 条");
    QTest::mouseClick(control<QLabel>("labLast"), Qt::LeftButton);
    EXPECT_EQ(control<QLabel>("labPage")->text(), "3/3");
    EXPECT_EQ(shownSubjects(), (QStringList{"21", "22", "23", "24", "<b>x</b>"}));
    for (int column = 2; column <= kAuditListColumns; ++column)
        EXPECT_EQ(cell(column, 4)->textFormat(), Qt::PlainText) << column;
    EXPECT_EQ(cell(6, 4)->text(), "专家姓名：<i>a</i> → b");
    // The full text is a tool tip away, escaped so that it is not markup.
    EXPECT_TRUE(cell(6, 4)->toolTip().contains("&lt;i&gt;a&lt;/i&gt;")) << cell(6, 4)->toolTip().toStdString();

    // Opening, searching and paging wrote nothing.
    click("cmdSearch");
    QTest::mouseClick(control<QLabel>("labFirst"), Qt::LeftButton);
    const AuditHead after = ReadAuditHead(conn());
    EXPECT_EQ(after.seq, head.seq);
    EXPECT_EQ(after.hash, head.hash);
}

TEST_F(AuditLogScreenTest, ReportsRefuseAnEmptyResult)
{
    open();
    type("txtFrom", "2020-01-01");
    type("txtTo", "2020-01-01");
    click("cmdSearch");
    ASSERT_TRUE(screen()->rows().isEmpty());
    app.messages->shown.clear();
    click("cmdExcel");
    click("cmdPreview");
    ASSERT_EQ(app.messages->shown.size(), 2);
    EXPECT_EQ(app.messages->shown[0].text, LayoutOf(ReportKind::AuditLog).emptyMessage);
    EXPECT_EQ(app.messages->shown[1].text, LayoutOf(ReportKind::AuditLog).emptyMessage);
}

TEST_F(AuditLogScreenTest, AnExportTooLongForOneSheetIsRefusedBeforeAFileIsChosen)
{
    // More entries than an .xls worksheet has rows, all dated today.
    QList<AuditEntry> entries;
    QString prev;
    for (int i = 1; i <= kXlsMaxRows; ++i) {
        AuditEntry e;
        e.seq = i;
        e.at = At(9, 8).addSecs(i / 10).toString("yyyy-MM-ddTHH:mm:ss");
        e.operatorName = "admin";
        e.kind = AuditKind::Login;
        e.subject = "admin";
        e.detail = "{}";
        e.prevHash = prev;
        e.hash = AuditEntryHash(e);
        prev = e.hash;
        entries << e;
    }
    {
        Transaction tx(conn());
        RebuildAuditLog(conn(), entries);
        tx.commit();
    }
    open();
    ASSERT_EQ(screen()->rows().count(), kXlsMaxRows);
    app.messages->shown.clear();
    click("cmdExcel");
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_TRUE(app.messages->shown[0].text.contains("请缩小日期范围")) << app.messages->shown[0].text.toStdString();
    EXPECT_TRUE(app.files->saveCalls.isEmpty());
}
