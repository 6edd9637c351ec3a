// The "打印预览" and "导出Excel" button flows, with an in-memory spreadsheet.

#include "TestFiles.h"
#include "ReportTestHelpers.h"
#include "TestApp.h"
#include "data/AuditLog.h"
#include "reports/ReportPreview.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QPdfDocument>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>

namespace {

const QString kFailure = QStringLiteral("系统错误。\n请确认打印机是否正确安装，MS Office中的Excel是否正确安装。");

struct KindTexts {
    ReportKind kind;
    QString empty;
    QString missing;
    QString defaultName;
};

const KindTexts kKinds[] = {
    {ReportKind::Selection, "请进行专家抽取。", "模板文件“SelExpert_Plate.xls”不存在！", "专家抽取表.xls"},
    {ReportKind::Search, "请进行专家高级检索。", "模板文件“ExpertSearch_Plate.xls”不存在！", "专家高级检索表.xls"},
    {ReportKind::History, "请进行历史专家抽取。", "模板文件“ExpertHistroy_Plate.xls”不存在！", "历史专家抽取表.xls"},
};

class ReportButtons : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyReportTemplates(app.appDir()));
        log = InstallFakeSpreadsheet(app.state);
        ASSERT_TRUE(desktopDir.isValid());
        app.desktop->desktop = desktopDir.path();
        for (int i = 0; i < 4; ++i) {
            auto *b = new QPushButton(&screen);
            controls << b;
        }
        // What the user sees while the spreadsheet is filled.
        log->onCall = [this](const QString &op) {
            if (op == QLatin1String("open")) {
                cursorBusy =
                    QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
                controlsOffDuringFill =
                    std::none_of(controls.begin(), controls.end(), [](QWidget *w) { return w->isEnabled(); });
            }
        };
    }
    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<ReportPreview *>(w))
                delete w;
    }
    bool allEnabled() const
    {
        return std::all_of(controls.begin(), controls.end(), [](QWidget *w) { return w->isEnabled(); });
    }

    TestApp app{false};
    QTemporaryDir desktopDir;
    std::shared_ptr<FakeSpreadsheetLog> log;
    QWidget screen;
    QList<QWidget *> controls;
    TextTable list = MakeReportList(3, 8);
    bool cursorBusy = false;
    bool controlsOffDuringFill = false;
};

TEST_F(ReportButtons, EmptyListAndMissingTemplateRefuseBeforeAnythingStarts)
{
    for (const KindTexts &k : kKinds) {
        app.messages->clear();
        EXPECT_EQ(
            PreviewReport({app.state.services, app.state.store.appDir}, &screen, k.kind, TextTable{}, {}, controls),
            nullptr);
        EXPECT_EQ(
            ExportReport({app.state.services, app.state.store.appDir}, &screen, k.kind, TextTable{}, {}, controls),
            QString());
        ASSERT_EQ(app.messages->shown.size(), 2);
        for (const auto &m : app.messages->shown) {
            EXPECT_EQ(m.text, k.empty);
            EXPECT_EQ(m.icon, MessageService::Icon::Information);
            EXPECT_EQ(m.title, "Kestrune");
        }

        app.messages->clear();
        ASSERT_TRUE(QFile::remove(QDir(app.appDir()).filePath(LayoutOf(k.kind).templateName)));
        EXPECT_EQ(PreviewReport({app.state.services, app.state.store.appDir}, &screen, k.kind, list, {}, controls),
                  nullptr);
        EXPECT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, k.kind, list, {}, controls),
                  QString());
        ASSERT_EQ(app.messages->shown.size(), 2);
        for (const auto &m : app.messages->shown) {
            EXPECT_EQ(m.text, k.missing);
            EXPECT_EQ(m.icon, MessageService::Icon::Critical);
        }
    }
    EXPECT_EQ(log->enginesMade, 0);
    EXPECT_TRUE(app.files->saveCalls.isEmpty());
    EXPECT_TRUE(allEnabled());
}

TEST_F(ReportButtons, PreviewShowsTheFilledPagesAndGivesTheControlsBackWhenClosed)
{
    log->pdfPages = 3;
    const QByteArray templateBytes = ReadAll(TemplatePath(app.state.store.appDir, ReportKind::History));
    ReportPreview *preview = PreviewReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::History,
                                           list, HistoryHeaderCells({"2026-01-01", "2026-02-01", "", ""}), controls);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_TRUE(cursorBusy);
    EXPECT_TRUE(controlsOffDuringFill);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(log->enginesAlive, 0) << "the office ends before the preview shows";
    EXPECT_EQ(log->openedPath, TemplatePath(app.state.store.appDir, ReportKind::History));
    EXPECT_EQ(log->text(3, 4), "2026-01-01");
    EXPECT_EQ(ReadAll(TemplatePath(app.state.store.appDir, ReportKind::History)), templateBytes);

    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->windowTitle(), "打印预览");
    EXPECT_EQ(preview->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(preview->pageCount(), 3);
    EXPECT_FALSE(allEnabled()) << "no second report while the preview is open";

    // Page navigation and zoom.
    auto *label = preview->findChild<QLabel *>("labPageNumber");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "第 1 / 3 页");
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdNextPage"), Qt::LeftButton);
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdNextPage"), Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), 2);
    EXPECT_FALSE(preview->findChild<QPushButton *>("cmdNextPage")->isEnabled());
    EXPECT_EQ(label->text(), "第 3 / 3 页");
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdFirstPage"), Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), 0);
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdLastPage"), Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), 2);
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdPreviousPage"), Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), 1);
    const qreal zoom = preview->zoomFactor();
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdZoomIn"), Qt::LeftButton);
    EXPECT_GT(preview->zoomFactor(), zoom);
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdZoomOut"), Qt::LeftButton);
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdZoomOut"), Qt::LeftButton);
    EXPECT_LT(preview->zoomFactor(), zoom);

    // Printing puts every page on the printer.
    QTemporaryDir out;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out.filePath("printed.pdf"));
    ASSERT_TRUE(preview->printTo(printer));
    QPdfDocument printed;
    printed.load(out.filePath("printed.pdf"));
    EXPECT_EQ(printed.pageCount(), 3);

    QPointer<ReportPreview> guard(preview);
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdClose"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(allEnabled());
}

// The general text stays; the cause waits in the box's details.
TEST_F(ReportButtons, PreviewFailureShowsTheSystemErrorAndEnablesTheControls)
{
    const struct {
        QString failure;
        QString detail;
    } cases[] = {
        {"open", "open failed"},
        {"exportPdf", "exportPdf failed"},
        {"nothing", "没有可用的电子表格程序。"},
    };
    for (const auto &[failure, detail] : cases) {
        SCOPED_TRACE(failure.toStdString());
        app.messages->clear();
        log->failOn = QStringList{failure};
        if (failure == "nothing")
            app.state.services.makeSpreadsheet = nullptr;   // no spreadsheet program at all
        EXPECT_EQ(PreviewReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {},
                                controls),
                  nullptr);
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->lastText(), kFailure);
        EXPECT_EQ(app.messages->shown.last().detail, detail);
        EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
        EXPECT_TRUE(allEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(ReportButtons, ExportAsksForTheFileWritesItAndOpensIt)
{
    for (const KindTexts &k : kKinds) {
        SCOPED_TRACE(k.defaultName.toStdString());
        app.files->saveCalls.clear();
        app.desktop->opened.clear();
        const QString target = desktopDir.filePath(k.defaultName);
        app.files->nextSavePath = target;
        EXPECT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, k.kind, list, {}, controls),
                  target);
        ASSERT_EQ(app.files->saveCalls.size(), 1);
        EXPECT_EQ(app.files->saveCalls.first(), QDir(desktopDir.path()).filePath(k.defaultName));
        EXPECT_EQ(app.files->saveFilters.last(), "Excel Files (*.xls)");
        EXPECT_EQ(ReadAll(target), "fake workbook");
        ASSERT_EQ(app.desktop->opened.size(), 1);
        EXPECT_EQ(app.desktop->opened.first(), QUrl::fromLocalFile(target));
        EXPECT_TRUE(app.messages->shown.isEmpty());
        EXPECT_TRUE(cursorBusy);
        EXPECT_TRUE(controlsOffDuringFill);
        EXPECT_TRUE(allEnabled());
        EXPECT_TRUE(QDir(desktopDir.path()).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty())
            << "nothing but the workbooks is left in the folder";
    }

    // An existing closed file is replaced; a name without extension gets .xls.
    const QString existing = desktopDir.filePath("old.xls");
    ASSERT_TRUE(WriteAll(existing, "old content"));
    app.files->nextSavePath = existing;
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Search, list, {}, controls),
        existing);
    EXPECT_EQ(ReadAll(existing), "fake workbook");
    app.files->nextSavePath = desktopDir.filePath("noext");
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Search, list, {}, controls),
        desktopDir.filePath("noext.xls"));

    // Where no program opens the workbook, the user is told where it was saved.
    app.messages->clear();
    app.desktop->canOpen = false;
    app.files->nextSavePath = desktopDir.filePath("unopened.xls");
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Search, list, {}, controls),
        desktopDir.filePath("unopened.xls"));
    EXPECT_EQ(ReadAll(desktopDir.filePath("unopened.xls")), "fake workbook");
    EXPECT_EQ(app.messages->texts(),
              QStringList{QStringLiteral("文件已保存到：\n%1\n但没有找到可以打开它的电子表格程序。")
                              .arg(QDir::toNativeSeparators(desktopDir.filePath("unopened.xls")))});
}

// The dialog asked only about the name as typed: replacing the file that the
// added extension points at is asked about once more.
TEST_F(ReportButtons, NameCompletedWithItsExtensionAsksBeforeReplacingAFile)
{
    const QString existing = desktopDir.filePath("kept.xls");
    ASSERT_TRUE(WriteAll(existing, "kept content"));
    app.files->nextSavePath = desktopDir.filePath("kept");

    app.messages->answers.enqueue(false);
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, controls),
        QString());
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->lastText(), "kept.xls 已存在。\n要替换它吗？");
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Question);
    EXPECT_EQ(app.messages->shown.last().title, "Kestrune");
    EXPECT_EQ(ReadAll(existing), "kept content");
    EXPECT_EQ(log->enginesMade, 0);
    EXPECT_TRUE(app.desktop->opened.isEmpty());
    EXPECT_TRUE(allEnabled());

    app.messages->clear();
    app.messages->answers.enqueue(true);
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, controls),
        existing);
    EXPECT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(ReadAll(existing), "fake workbook");

    // A name chosen with its extension was asked about by the dialog.
    app.messages->clear();
    app.files->nextSavePath = existing;
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, controls),
        existing);
    EXPECT_TRUE(app.messages->shown.isEmpty());
}

TEST_F(ReportButtons, CancelledDialogDoesNothing)
{
    app.files->nextSavePath.clear();
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, controls),
        QString());
    EXPECT_EQ(app.files->saveCalls.size(), 1);
    EXPECT_EQ(log->enginesMade, 0);
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_TRUE(app.desktop->opened.isEmpty());
    EXPECT_TRUE(allEnabled());
}

TEST_F(ReportButtons, FileOpenInAnotherProgramIsNotTouched)
{
    const QString target = desktopDir.filePath("busy.xls");
    ASSERT_TRUE(WriteAll(target, "open elsewhere"));
    ASSERT_TRUE(WriteAll(desktopDir.filePath(".~lock.busy.xls#"), "lock"));
    app.files->nextSavePath = target;
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, controls),
        QString());
    ASSERT_EQ(app.messages->shown.size(), 1);
    EXPECT_EQ(app.messages->lastText(), "请先关闭打开的Excel文件！");
    EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
    EXPECT_EQ(ReadAll(target), "open elsewhere");
    EXPECT_EQ(log->enginesMade, 0);
    EXPECT_TRUE(app.desktop->opened.isEmpty());
    EXPECT_TRUE(allEnabled());
}

TEST_F(ReportButtons, APlaceWhereNothingCanBeSavedIsNamedWithItsCause)
{
    ASSERT_TRUE(WriteAll(desktopDir.filePath("notes.txt"), "a file, not a folder"));
    ASSERT_TRUE(QDir(desktopDir.path()).mkdir("taken.xls"));
    struct Case {
        QString path;
        QString says;
    };
    const Case cases[] = {
        {desktopDir.filePath("missing-folder/new.xls"),
         QStringLiteral("文件夹“%1”不存在").arg(QDir::toNativeSeparators(desktopDir.filePath("missing-folder")))},
        {desktopDir.filePath("notes.txt/new.xls"),
         QStringLiteral("“%1”不是文件夹").arg(QDir::toNativeSeparators(desktopDir.filePath("notes.txt")))},
        {desktopDir.filePath("taken.xls"),
         QStringLiteral("“%1”是一个文件夹").arg(QDir::toNativeSeparators(desktopDir.filePath("taken.xls")))},
        // A folder that nobody may write in, whoever runs the tests.
        {"/proc/report.xls", "不能在文件夹“/proc”中写入文件。\n请检查文件夹的权限"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        app.messages->clear();
        app.files->nextSavePath = c.path;
        EXPECT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {},
                               controls),
                  QString());
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->shown.last().icon, MessageService::Icon::Critical);
        EXPECT_TRUE(app.messages->lastText().contains(c.says)) << app.messages->lastText().toStdString();
        EXPECT_NE(app.messages->lastText(), "请先关闭打开的Excel文件！");
        EXPECT_EQ(log->enginesMade, 0);
        EXPECT_TRUE(allEnabled());
    }
    EXPECT_TRUE(QFileInfo(desktopDir.filePath("taken.xls")).isDir());
}

TEST_F(ReportButtons, ADamagedTemplateIsRefusedWithTheFailureMessage)
{
    // Something that is not a workbook under the template's name.
    ASSERT_TRUE(WriteAll(QDir(app.appDir()).filePath("SelExpert_Plate.xls"), "序号,姓名\n"));
    const QString target = desktopDir.filePath("report.xls");
    app.files->nextSavePath = target;
    EXPECT_EQ(
        ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, controls),
        QString());
    EXPECT_EQ(app.messages->texts(), QStringList{kFailure});
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(app.desktop->opened.isEmpty());

    app.messages->clear();
    EXPECT_EQ(
        PreviewReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, list, {}, controls),
        nullptr);
    EXPECT_EQ(app.messages->texts(), QStringList{kFailure});
    EXPECT_TRUE(allEnabled());
}

TEST_F(ReportButtons, FailedFillKeepsTheOldFileAndOpensNothing)
{
    const QString target = desktopDir.filePath("report.xls");
    ASSERT_TRUE(WriteAll(target, "previous report"));
    app.files->nextSavePath = target;
    for (const QString &failure : {QString("setTexts"), QString("saveAsXls")}) {
        app.messages->clear();
        log->failOn = QStringList{failure};
        EXPECT_EQ(ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::History, list, {},
                               controls),
                  QString());
        ASSERT_EQ(app.messages->shown.size(), 1);
        EXPECT_EQ(app.messages->lastText(), kFailure);
        EXPECT_EQ(app.messages->shown.last().detail, failure + " failed");
        EXPECT_EQ(ReadAll(target), "previous report");
        EXPECT_TRUE(app.desktop->opened.isEmpty());
        EXPECT_TRUE(allEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QDir(desktopDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

// Holds the spreadsheet engine (on its own thread) inside one operation
// until the test lets it go or the report is cancelled.
struct Gate {
    std::atomic<bool> open = false;
    std::atomic<bool> holding = false;
    void hold()
    {
        holding = true;
        const QDeadlineTimer deadline(10000);
        while (!open && !deadline.hasExpired())
            QThread::msleep(2);
        holding = false;
    }
};

QProgressDialog *VisibleProgressDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QProgressDialog *>(w); d && d->isVisible())
            return d;
    return nullptr;
}

// What the window's thread saw while the engine was held in an operation.
struct WhileHeld {
    int ticks = 0;         // timer ticks of the window's thread
    bool dialog = false;   // a progress dialog was on show
    bool modal = false;
    bool cursorBusy = false;
};

// Watches from the window's thread; once the engine is held it either
// presses the progress dialog's cancel button or lets the engine go on.
QTimer *Watch(Gate &gate, WhileHeld &seen, bool cancel)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [&gate, &seen, cancel, timer] {
        if (!gate.holding)
            return;
        if (++seen.ticks < 3)
            return;   // the window keeps running while the office works
        QProgressDialog *dialog = VisibleProgressDialog();
        seen.dialog = dialog != nullptr;
        seen.modal = dialog && dialog->windowModality() == Qt::ApplicationModal;
        seen.cursorBusy = QApplication::overrideCursor() != nullptr;
        timer->stop();
        if (cancel && dialog)
            QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
        else
            gate.open = true;
    });
    timer->start();
    return timer;
}

TEST_F(ReportButtons, LongExportRunsBehindAModalProgressDialogThatCancelsWithNothingLeft)
{
    struct Case {
        int rows;
        bool cancel;
    };
    for (const Case &c :
         {Case{kLongReportRows, false}, Case{kLongReportRows + 1, false}, Case{kLongReportRows + 1, true}}) {
        SCOPED_TRACE(QStringLiteral("%1 rows%2").arg(c.rows).arg(c.cancel ? ", cancelled" : "").toStdString());
        const QString target = desktopDir.filePath(QStringLiteral("long-%1-%2.xls").arg(c.rows).arg(c.cancel));
        app.files->nextSavePath = target;
        app.messages->clear();
        app.desktop->opened.clear();
        log->cancelled = false;
        Gate gate;
        log->onCall = [&gate](const QString &op) {
            if (op == QLatin1String("setTexts"))
                gate.hold();
        };
        log->onCancel = [&gate] { gate.open = true; };
        WhileHeld seen;
        std::unique_ptr<QTimer> watch(Watch(gate, seen, c.cancel));

        const QString saved = ExportReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::History,
                                           MakeReportList(c.rows, 8), {}, controls);

        EXPECT_GE(seen.ticks, 3) << "the window's thread ran while the office worked";
        const bool isLong = c.rows > kLongReportRows;
        EXPECT_EQ(seen.dialog, isLong);
        EXPECT_EQ(seen.modal, isLong) << "the rest of the program takes no input";
        EXPECT_EQ(seen.cursorBusy, !isLong);
        EXPECT_EQ(VisibleProgressDialog(), nullptr);
        EXPECT_EQ(log->enginesAlive, 0) << "the office has ended";
        EXPECT_TRUE(allEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        if (c.cancel) {
            EXPECT_EQ(saved, QString());
            EXPECT_TRUE(log->cancelled);
            EXPECT_TRUE(app.messages->shown.isEmpty()) << "a cancel is no failure";
            EXPECT_TRUE(app.desktop->opened.isEmpty());
            EXPECT_FALSE(QFileInfo::exists(target));
        } else {
            EXPECT_EQ(saved, target);
            EXPECT_EQ(ReadAll(target), "fake workbook");
            EXPECT_TRUE(app.messages->shown.isEmpty());
        }
        EXPECT_TRUE(QDir(desktopDir.path()).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty())
            << "no part file is left in the folder";
    }
}

TEST_F(ReportButtons, LongPreviewShowsItsFirstPagesWhileTheRestIsWritten)
{
    const TextTable longList = MakeReportList(kLongReportRows + 1, 8);
    log->pdfPages = 25;
    Gate gate;
    log->onCall = [&gate](const QString &op) {
        if (op == QLatin1String("exportPdf"))
            gate.hold();
    };
    log->onCancel = [&gate] { gate.open = true; };

    ReportPreview *preview = PreviewReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection,
                                           longList, {}, controls);
    ASSERT_NE(preview, nullptr) << app.messages->lastText().toStdString();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(VisibleProgressDialog(), nullptr);
    EXPECT_FALSE(preview->isComplete());
    EXPECT_EQ(preview->pageCount(), kFirstPreviewPages);
    EXPECT_TRUE(preview->findChild<QLabel *>("labPending")->isVisible());
    EXPECT_FALSE(preview->findChild<QPushButton *>("cmdPrint")->isEnabled()) << "printing waits for every page";
    EXPECT_FALSE(allEnabled());
    QTest::mouseClick(preview->findChild<QPushButton *>("cmdLastPage"), Qt::LeftButton);
    EXPECT_EQ(preview->currentPage(), kFirstPreviewPages - 1);

    // The whole printout takes the place of the first pages, on the page shown.
    QSignalSpy completed(preview, &ReportPreview::completed);
    gate.open = true;
    ASSERT_TRUE(completed.wait(10000));
    EXPECT_TRUE(completed.first().first().toBool());
    EXPECT_TRUE(preview->isComplete());
    EXPECT_EQ(preview->pageCount(), 25);
    EXPECT_EQ(preview->currentPage(), kFirstPreviewPages - 1);
    EXPECT_FALSE(preview->findChild<QLabel *>("labPending")->isVisible());
    EXPECT_TRUE(preview->findChild<QPushButton *>("cmdPrint")->isEnabled());
    EXPECT_EQ(log->enginesAlive, 0);
    EXPECT_TRUE(app.messages->shown.isEmpty());
    preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(allEnabled());

    // Closed before the rest is written: the office goes with the window.
    gate.open = false;
    preview = PreviewReport({app.state.services, app.state.store.appDir}, &screen, ReportKind::Selection, longList, {},
                            controls);
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(preview->isComplete());
    preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(log->cancelled);
    EXPECT_EQ(log->enginesAlive, 0);
    EXPECT_TRUE(app.messages->shown.isEmpty());
    EXPECT_TRUE(allEnabled());

    // The rest failing ends the preview with the failure message.
    log->cancelled = false;
    gate.open = false;
    log->failOn = QStringList{QStringLiteral("exportPdf")};
    QPointer<ReportPreview> failing = PreviewReport({app.state.services, app.state.store.appDir}, &screen,
                                                    ReportKind::Selection, longList, {}, controls);
    ASSERT_FALSE(failing.isNull());
    EXPECT_TRUE(app.messages->shown.isEmpty());
    gate.open = true;
    for (QDeadlineTimer deadline(10000); app.messages->shown.isEmpty() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(app.messages->lastText(), kFailure);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(failing.isNull());
    EXPECT_TRUE(allEnabled());
}

}   // namespace

TEST_F(ReportButtons, EachPreviewAndExportIsLoggedAndAFailedLogKeepsTheFile)
{
    struct Logged {
        QString kind, subject;
        QJsonObject detail;
    };
    for (const KindTexts &k : kKinds) {
        for (const bool logFails : {false, true}) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(k.defaultName).arg(logFails).toStdString());
            QList<Logged> entries;
            ReportContext ctx{app.state.services, app.state.store.appDir,
                              QStringLiteral("日志链头：9:00ff00ff00ff00ff"),
                              [&](const QString &kind, const QString &subject, const QJsonObject &detail) {
                                  entries.append({kind, subject, detail});
                                  return logFails ? Outcome::fail(QStringLiteral("数据库已锁定")) : Outcome::success();
                              }};
            app.messages->clear();
            ReportPreview *preview = PreviewReport(ctx, &screen, k.kind, list, {}, controls);
            ASSERT_NE(preview, nullptr);
            preview->close();
            const QString path = QDir(desktopDir.path()).filePath(QStringLiteral("out%1.xls").arg(logFails));
            app.files->nextSavePath = path;
            EXPECT_EQ(ExportReport(ctx, &screen, k.kind, list, {}, controls), path) << "the file stays";
            EXPECT_TRUE(QFileInfo::exists(path));

            ASSERT_EQ(entries.size(), 2);
            EXPECT_EQ(entries[0].kind, AuditKind::Print);
            EXPECT_EQ(entries[1].kind, AuditKind::Export);
            EXPECT_EQ(entries[0].subject, QFileInfo(k.defaultName).completeBaseName());
            EXPECT_EQ(entries[1].detail.value(QStringLiteral("path")).toString(), QDir::toNativeSeparators(path));
            // The workbook written last carries the head under its list.
            bool headShown = false;
            for (int row = 1; row <= log->rowCount(); ++row)
                headShown = headShown || log->text(row, 2) == ctx.logHead;
            EXPECT_TRUE(headShown);
            int criticals = 0;
            for (const auto &shown : app.messages->shown)
                if (shown.icon == MessageService::Icon::Critical) {
                    ++criticals;
                    EXPECT_TRUE(shown.text.contains(QStringLiteral("没有记入操作日志"))) << shown.text.toStdString();
                    EXPECT_TRUE(shown.text.contains(QStringLiteral("数据库已锁定")));
                }
            EXPECT_EQ(criticals, logFails ? 2 : 0);
            log->calls.clear();
        }
    }
}
