// Reports that share one office: each closes only its own workbook, and an
// office that has ended, killed between two reports or by a cancelled
// report, is replaced for the next one.

#include "ReportTestHelpers.h"
#include "TestApp.h"
#include "reports/ReportRun.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// Whether any process of the group still runs (a zombie that only waits to
// be reaped has ended).
bool GroupRuns(qint64 group)
{
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields.at(0) != "Z" && fields.at(2).toLongLong() == group)
            return true;
    }
    return false;
}

// These tests end the program's shared office on purpose: the tests after
// them get a new one as any report would.
class SharedOffice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyReportTemplates(app.appDir()));
        app.state.services.makeSpreadsheet = MakeSharedOfficeEngine;
    }

    // Exports a short list to the file name given, as the button does.
    void exportTo(const QString &name)
    {
        app.files->nextSavePath = out.filePath(name);
        ASSERT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection,
                               MakeReportList(3, 8), {}, {}),
                  app.files->nextSavePath)
            << app.messages->lastText().toStdString();
        EXPECT_EQ(office->openDocuments(), 0) << "the report closed its workbook";
    }

    // Waits until the office given has ended.
    static void awaitEnd(qint64 group)
    {
        QDeadlineTimer deadline(20000);
        while (GroupRuns(group) && !deadline.hasExpired())
            QThread::msleep(20);
        ASSERT_FALSE(GroupRuns(group)) << "the office did not end";
    }

    std::shared_ptr<OfficeProcess> office = SharedTestOffice();
    TestApp app{false};
    QTemporaryDir out;
    QWidget screen;
};

TEST_F(SharedOffice, ReportsInARowUseOneOfficeAndAKilledOneIsReplaced)
{
    exportTo(QStringLiteral("first.xls"));
    const qint64 first = office->processGroup();
    ASSERT_GT(first, 0);
    exportTo(QStringLiteral("second.xls"));
    EXPECT_EQ(office->processGroup(), first) << "the second report used the same office";

    ::kill(pid_t(-first), SIGKILL);
    awaitEnd(first);
    exportTo(QStringLiteral("third.xls"));
    EXPECT_NE(office->processGroup(), first);
    EXPECT_TRUE(GroupRuns(office->processGroup()));
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_F(SharedOffice, ACancelledReportLeavesAnOfficeForTheNext)
{
    exportTo(QStringLiteral("before.xls"));
    const qint64 first = office->processGroup();

    // A long report, cancelled once the office works on its rows.
    const TextTable list = MakeReportList(3 * kRowsPerWrite, 7);
    const auto fill = [&list](SpreadsheetEngine &engine, ReportMode mode, const QString &path, const QString &output,
                              const FillProgress &progress) {
        return FillExcelReport(engine, mode, ReportKind::Search, path, output, list, {}, progress);
    };
    const QString cancelled = out.filePath(QStringLiteral("cancelled.xls"));
    ReportRun run(
        app.state.services.makeSpreadsheet,
        ReportRun::Job{ReportMode::Save, TemplatePath(app.appDir(), ReportKind::Search), cancelled, QString(), fill});
    QObject::connect(&run, &ReportRun::advanced, &run, [&run](int done) {
        if (done >= 20)
            run.cancel();
    });
    QSignalSpy finished(&run, &ReportRun::finished);
    run.start();
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_TRUE(run.wasCancelled());
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"before.xls"})
        << "the cancelled report wrote nothing";
    awaitEnd(first);

    exportTo(QStringLiteral("after.xls"));
    EXPECT_NE(office->processGroup(), first);
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

}   // namespace
