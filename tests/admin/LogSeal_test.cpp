// The 日志封存单: the page as a PDF, its QR code read back by a separate
// reader, and the seal recorded in the log after the head it names.

#include "TestApp.h"
#include "admin/frmAuditLog.h"
#include "data/AuditLog.h"
#include "data/Database.h"
#include "reports/LogSeal.h"
#include "reports/ReportPreview.h"

#include <QJsonDocument>
#include <QPdfDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kHash = QStringLiteral("0123456789abcdef00112233445566778899aabbccddeeff0123456789abcdef");

LogSealContent Content()
{
    LogSealContent c;
    c.library = QStringLiteral("/home/人事处/专家库/ProSys.mdb");
    c.at = QDateTime(QDate(2026, 12, 9), QTime(16, 5, 7));
    c.operatorName = QStringLiteral("管理员");
    c.head = {1234, kHash};
    c.entries = 1234;
    return c;
}

// What zbarimg reads from the page drawn at the given resolution.
QByteArray QrOnPage(QPdfDocument &pdf, int dpi)
{
    const QSizeF points = pdf.pagePointSize(0);
    const QImage page = pdf.render(0, (points * dpi / 72.0).toSize());
    QTemporaryDir dir;
    const QString path = dir.filePath("page.png");
    if (page.isNull() || !page.save(path))
        return "<not rendered>";
    QProcess reader;
    reader.start("zbarimg", {"--raw", "-q", "-Sbinary", path});
    reader.waitForFinished(30000);
    return reader.readAllStandardOutput();
}

}   // namespace

TEST(LogSeal, OnePageWithTheHeadTheCheckAndSignaturesWhoseQrReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("seal.pdf");
    const LogSealContent c = Content();
    ASSERT_TRUE(WriteLogSealPdf(c, path).ok());
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(path), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 1);
    // The font maps some characters to their radical forms (⽇ for 日) when
    // text is taken from the page; compatibility normalisation undoes it.
    const QString text = pdf.getAllText(0).text().normalized(QString::NormalizationForm_KC);
    for (const QString &part :
         {QStringLiteral("日志封存单"), QStringLiteral("1234:0123456789abcdef"), kHash, QStringLiteral("ProSys.mdb"),
          QStringLiteral("2026-12-09 16:05:07"), QStringLiteral("管理员"),
          QStringLiteral("kestrune-verify --head 1234:0123456789abcdef"), QStringLiteral("封存人"),
          QStringLiteral("监督人"), QStringLiteral("日期")})
        EXPECT_TRUE(text.contains(part)) << "missing " << part.toStdString() << " in\n" << text.toStdString();

    if (QStandardPaths::findExecutable("zbarimg").isEmpty())
        GTEST_SKIP() << "zbarimg is not installed (scripts/install-deps.sh installs it)";
    EXPECT_EQ(QrOnPage(pdf, 150), c.head.text().toUtf8());
}

TEST(LogSeal, FactsAndCheckStepsFollowTheLibrary)
{
    struct Case {
        const char *name;
        bool onServer;
        qint64 entries;
        QStringList inFacts, inSteps, notInSteps;
    };
    const Case cases[] = {
        {"a data file",
         false,
         1234,
         {"1234:0123456789abcdef", "/home/人事处/专家库/ProSys.mdb"},
         {"kestrune-verify --head 1234:0123456789abcdef /home/人事处/专家库/ProSys.mdb"},
         {"server-copy"}},
        {"a server is copied to a file first",
         true,
         1234,
         {"服务器 "},
         {"kestrune-server-copy --to-file", "kestrune-verify --head 1234:0123456789abcdef ProSys.mdb"},
         {}},
        {"a log with a gap says so", false, 1200, {"1200（与链头序号不符"}, {}, {}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        LogSealContent c = Content();
        c.onServer = k.onServer;
        c.entries = k.entries;
        if (k.onServer)
            c.library = "db.example/experts";
        QStringList facts;
        for (const auto &[label, value] : LogSealFacts(c))
            facts << label + value;
        const QString allFacts = facts.join('\n');
        const QString steps = LogSealCheckSteps(c).join('\n');
        for (const QString &s : k.inFacts)
            EXPECT_TRUE(allFacts.contains(s)) << allFacts.toStdString();
        for (const QString &s : k.inSteps)
            EXPECT_TRUE(steps.contains(s)) << steps.toStdString();
        for (const QString &s : k.notInSteps)
            EXPECT_FALSE(steps.contains(s)) << steps.toStdString();
        EXPECT_EQ(LogSealQrText(c), "1234:0123456789abcdef");
    }
}

TEST(LogSeal, AFileThatCannotBeWrittenFails)
{
    QTemporaryDir dir;
    const Outcome written = WriteLogSealPdf(Content(), dir.filePath("no-such-folder/seal.pdf"));
    EXPECT_FALSE(written.ok());
    EXPECT_TRUE(written.message().contains("无法写入")) << written.message().toStdString();
}

namespace {

class LogSealFlowTest : public ::testing::Test {
protected:
    TestApp app;
    QWidget owner;

    void SetUp() override
    {
        app.state.session.CurrentUserRole = 0;
        app.state.store.operatorName = "admin";
        Connection &conn = LibraryConnection(app.state.store);
        AppendAudit(conn, "admin", AuditKind::Login, "admin");
        AppendAudit(conn, "pm", AuditKind::Backup, "/b/ProSys.mdb");
    }
    AuditHead head() { return ReadAuditHead(LibraryConnection(app.state.store)); }
};

}   // namespace

TEST_F(LogSealFlowTest, TheSealIsRecordedAfterTheHeadItNames)
{
    const AuditHead sealed = head();
    ReportPreview *preview = ShowLogSeal(app.state, &owner);
    ASSERT_NE(preview, nullptr) << app.messages->texts().join('\n').toStdString();
    EXPECT_TRUE(preview->isLoaded());
    EXPECT_EQ(preview->pageCount(), 1);
    EXPECT_TRUE(preview->document()->getAllText(0).text().contains(sealed.hash));
    preview->close();

    const Result<QList<AuditEntry>> log = ReadAuditEntries(app.state.store, {});
    ASSERT_TRUE(log.ok());
    const AuditEntry &seal = log->last();
    EXPECT_EQ(seal.seq, sealed.seq + 1);
    EXPECT_EQ(seal.kind, AuditKind::LogSeal);
    EXPECT_EQ(seal.operatorName, "admin");
    const QJsonObject detail = QJsonDocument::fromJson(seal.detail.toUtf8()).object();
    EXPECT_EQ(detail["head"].toString(), sealed.text());
    EXPECT_EQ(detail["sealed_hash"].toString(), sealed.hash);
    EXPECT_EQ(detail["entries"].toInteger(), sealed.seq);
    // The sealed head is still what the verifier finds, and the chain holds.
    Connection &conn = LibraryConnection(app.state.store);
    EXPECT_EQ(CheckHead(conn, ParseAuditHead(sealed.text())), "");
    EXPECT_TRUE(VerifyChain(conn).isEmpty());
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_F(LogSealFlowTest, NoSealLeavesUnrecordedAndOnlyAnAdministratorSeals)
{
    const AuditHead before = head();
    const Result<LogSealContent> content = ReadLogSealContent(app.state);
    ASSERT_TRUE(content.ok());
    EXPECT_EQ(content->head.hash, before.hash);
    EXPECT_EQ(content->entries, before.seq);
    EXPECT_EQ(content->library, app.dataFile());

    // The log refuses the entry: nothing is shown, and the user learns why.
    ReportPreview *preview =
        PreviewLogSeal(ReportContextOf(app.state), &owner, *content, [] { return Outcome::fail("磁盘已满"); });
    EXPECT_EQ(preview, nullptr);
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_TRUE(app.messages->shown[0].text.contains("不予打印"));
    EXPECT_TRUE(app.messages->shown[0].text.contains("磁盘已满"));

    for (int role : {1, 2}) {
        app.state.session.CurrentUserRole = role;
        EXPECT_EQ(ShowLogSeal(app.state, &owner), nullptr) << role;
    }
    EXPECT_EQ(head().seq, before.seq);
    EXPECT_EQ(head().hash, before.hash);
}
