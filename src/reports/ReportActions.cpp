// The "打印预览" and "导出Excel" buttons of the list screens.

#include "reports/ReportPreview.h"
#include "ui/Guarded.h"
#include "reports/ReportRun.h"
#include "reports/Reports.h"
#include "reports/SpreadsheetEngine.h"
#include "data/AuditLog.h"
#include "files/RunFolders.h"
#include "shell/AppState.h"
#include "files/StagedFile.h"
#include "ui/BusyCursor.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <functional>

#include <optional>

namespace {

using ControlList = QList<QPointer<QWidget>>;

ControlList guarded(const QList<QWidget *> &controls)
{
    ControlList result;
    for (QWidget *w : controls)
        result.append(w);
    return result;
}

void setEnabled(const ControlList &controls, bool enabled)
{
    for (const QPointer<QWidget> &w : controls)
        if (w)
            w->setEnabled(enabled);
}

// The busy pointer and the disabled controls of a running report. The
// pointer comes back when the scope ends; the controls too unless they are
// handed on (the preview keeps them disabled while it is open).
class BusyScope {
public:
    // A long report shows its progress dialog instead of the busy pointer,
    // so that its cancel button is plainly there to press.
    BusyScope(const ControlList &controls, bool busyPointer) : m_controls(controls)
    {
        setEnabled(m_controls, false);
        if (busyPointer)
            m_cursor.emplace();
        // Let the pointer and the greyed buttons show before the wait.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~BusyScope()
    {
        restoreCursor();
        if (m_enableAtEnd)
            setEnabled(m_controls, true);
    }
    void restoreCursor() { m_cursor.reset(); }
    void keepControlsDisabled() { m_enableAtEnd = false; }

private:
    ControlList m_controls;
    std::optional<BusyCursor> m_cursor;
    bool m_enableAtEnd = true;
};

// One report to preview or export: its template, what to say about an empty
// list and the name offered for export, its length, and how to fill the
// template. The fill holds copies of what it prints: it runs on a thread of
// its own, and a long preview goes on after the screen has moved on.
struct ReportJob {
    QString subject;   // what the operation log calls it
    QString templateName;
    QString missingTemplateMessage;
    QString emptyMessage;
    QString defaultFileName;
    bool empty = false;
    qsizetype rows = 0;
    ReportRun::Fill fill;
};

ReportJob ListJob(const ReportContext &ctx, ReportKind kind, const TextTable &list,
                  const QVector<ReportHeaderCell> &header)
{
    const ReportLayout &layout = LayoutOf(kind);
    return {QFileInfo(layout.defaultFileName).completeBaseName(),
            layout.templateName,
            layout.missingTemplateMessage(),
            layout.emptyMessage,
            layout.defaultFileName,
            list.isEmpty(),
            list.count(),
            [kind, list, header, head = ctx.logHead](SpreadsheetEngine &engine, ReportMode mode, const QString &path,
                                                     const QString &output, const FillProgress &progress) {
                return FillExcelReport(engine, mode, kind, path, output, list, header, progress, head);
            }};
}

ReportJob DrawRecordJob(const ReportContext &ctx, DrawRecordContent content)
{
    const DrawRecordLayout &layout = DrawRecordTemplate();
    content.logHead = ctx.logHead;
    return {QStringLiteral("%1：%2（项目%3）")
                .arg(QFileInfo(layout.defaultFileName).completeBaseName(), content.facts.value(0), content.projectId),
            layout.templateName,
            layout.missingTemplateMessage(),
            QString(),
            layout.defaultFileName,
            false,
            content.rounds.count() + content.experts.count(),
            [content = std::move(content)](SpreadsheetEngine &engine, ReportMode mode, const QString &path,
                                           const QString &output, const FillProgress &progress) {
                return FillDrawRecordReport(engine, mode, path, output, content, progress);
            }};
}

QString TemplateOf(const ReportContext &ctx, const ReportJob &job)
{
    return QDir(ctx.templateDir).filePath(job.templateName);
}

// A report must run only with a list and with its template.
bool CanReport(const ReportContext &ctx, const ReportJob &job)
{
    if (job.empty) {
        ctx.messages().information(job.emptyMessage);
        return false;
    }
    if (!QFileInfo(TemplateOf(ctx, job)).isFile()) {
        ctx.messages().critical(job.missingTemplateMessage);
        return false;
    }
    return true;
}

bool IsLong(const ReportJob &job) { return job.rows > kLongReportRows; }

enum class RunEnd { Done, FirstPages, Failed, Cancelled };

// Starts the run and waits for it while the windows keep painting. A long
// report shows a modal progress dialog whose cancel button abandons it; a
// short one holds the user's input until it is done. Returns when the run is
// finished, or when the first pages of a long preview are written. The
// engine (and with it the office) ends before anything is shown.
RunEnd WaitForRun(ReportRun &run, QWidget *screen, bool withDialog)
{
    QEventLoop loop;
    bool firstPages = false;
    QObject::connect(&run, &ReportRun::finished, &loop, Guarded(&loop, &QEventLoop::quit));
    QObject::connect(&run, &ReportRun::firstPagesWritten, &loop, Guarded([&] {
        firstPages = true;
        loop.quit();
    }));
    std::unique_ptr<QProgressDialog> dialog;
    if (withDialog) {
        dialog = std::make_unique<QProgressDialog>(QStringLiteral("正在生成报表，请稍候……"), QStringLiteral("取消"), 0,
                                                   kFillSteps, screen ? screen->window() : nullptr);
        dialog->setObjectName(QStringLiteral("dlgReportProgress"));
        dialog->setWindowTitle(kAppTitle);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setMinimumDuration(0);
        QObject::connect(&run, &ReportRun::advanced, dialog.get(), Guarded(dialog.get(), &QProgressDialog::setValue));
        QObject::connect(dialog.get(), &QProgressDialog::canceled, &run, Guarded([&run, d = dialog.get()] {
                             d->setLabelText(QStringLiteral("正在取消……"));
                             run.cancel();
                         }));
        dialog->show();
    }
    run.start();
    loop.exec(withDialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    if (firstPages && !run.isFinished())
        return RunEnd::FirstPages;
    if (run.wasCancelled())
        return RunEnd::Cancelled;
    return run.succeeded() ? RunEnd::Done : RunEnd::Failed;
}

// Writes the report's entry in the operation log. A failure is told but
// undoes nothing: the printout was shown, the file is written.
void LogReport(const ReportContext &ctx, const QString &kind, const QString &subject, const QJsonObject &detail,
               const QString &done)
{
    if (!ctx.log)
        return;
    const Outcome logged = ctx.log(kind, subject, detail);
    if (!logged)
        ctx.messages().critical(done + QStringLiteral("，但没有记入操作日志：\n") + logged.message(), kAppTitle,
                                logged.detail());
}

QString LockFileOf(const QFileInfo &file, const QString &prefix, const QString &suffix = QString())
{
    return file.absoluteDir().filePath(prefix + file.fileName() + suffix);
}

}   // namespace

bool FileInUse(const QString &path)
{
    const QFileInfo file(path);
    // LibreOffice keeps ".~lock.NAME#" beside an open file, Excel "~$NAME".
    if (QFileInfo::exists(LockFileOf(file, QStringLiteral(".~lock."), QStringLiteral("#"))) ||
        QFileInfo::exists(LockFileOf(file, QStringLiteral("~$"))))
        return true;
    return false;
}

QString SaveLocationProblem(const QString &path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return QStringLiteral("文件夹“%1”不存在，请另选保存位置。").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return QStringLiteral("“%1”不是文件夹，请另选保存位置。").arg(QDir::toNativeSeparators(folder.filePath()));
    if (file.isDir())
        return QStringLiteral("“%1”是一个文件夹，不能保存为文件，请另取文件名。").arg(QDir::toNativeSeparators(path));
    return QString();
}

namespace {

ReportPreview *Preview(const ReportContext &ctx, QWidget *screen, const ReportJob &job,
                       const QList<QWidget *> &controlsToDisable)
{
    if (!CanReport(ctx, job))
        return nullptr;
    const bool isLong = IsLong(job);
    const ControlList controls = guarded(controlsToDisable);
    BusyScope busy(controls, !isLong);

    auto folder = std::make_unique<QTemporaryDir>(RunFolderTemplate(QStringLiteral("preview"), ctx.services.runArea));
    if (!folder->isValid()) {
        busy.restoreCursor();
        ctx.messages().critical(kReportFailureMessage, kAppTitle,
                                QStringLiteral("无法创建临时文件夹：%1").arg(folder->errorString()));
        return nullptr;
    }
    // A long printout is shown from its first pages on while the rest is
    // written; a short one is shown whole.
    const QString whole = folder->filePath(QStringLiteral("report.pdf"));
    const QString firstPages = isLong ? folder->filePath(QStringLiteral("first-pages.pdf")) : QString();
    auto run = std::make_unique<ReportRun>(
        ctx.services.makeSpreadsheet,
        ReportRun::Job{ReportMode::Preview, TemplateOf(ctx, job), whole, firstPages, job.fill});
    const RunEnd end = WaitForRun(*run, screen, isLong);
    if (end == RunEnd::Cancelled)
        return nullptr;
    QString failure = run->errorText();
    ReportPreview *preview = nullptr;
    if (end != RunEnd::Failed) {
        const QString shown = end == RunEnd::FirstPages ? firstPages : whole;
        preview = new ReportPreview(screen, shown, std::move(folder));
        if (!preview->isLoaded()) {
            failure = QStringLiteral("无法读取打印预览文件“%1”。").arg(QDir::toNativeSeparators(shown));
            delete preview;
            preview = nullptr;
        }
    }
    busy.restoreCursor();
    if (!preview) {
        ctx.messages().critical(kReportFailureMessage, kAppTitle, failure);
        return nullptr;
    }

    // The window blocks the rest of the program like a modal dialog but
    // does not hold the caller; the controls return when it closes.
    busy.keepControlsDisabled();
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowModality(Qt::ApplicationModal);
    QObject::connect(preview, &QDialog::finished, preview, Guarded([controls] { setEnabled(controls, true); }));
    if (end == RunEnd::FirstPages) {
        // The rest of the printout failing ends the preview as a failure at
        // the start would have.
        const std::shared_ptr<MessageService> messages = ctx.services.messages;
        QObject::connect(preview, &ReportPreview::completed, preview, Guarded([preview, messages](bool whole) {
                             if (whole)
                                 return;
                             preview->close();
                             messages->critical(kReportFailureMessage, kAppTitle, preview->failureText());
                         }));
        preview->awaitWholePrintout(std::move(run), whole);
    }
    preview->show();
    LogReport(ctx, AuditKind::Print, job.subject, {{QStringLiteral("report"), job.templateName}},
              QStringLiteral("打印预览已生成"));
    return preview;
}

QString Export(const ReportContext &ctx, QWidget *screen, const ReportJob &job,
               const QList<QWidget *> &controlsToDisable)
{
    if (!CanReport(ctx, job))
        return QString();
    const QString start = QDir(ctx.services.desktop->desktopPath()).filePath(job.defaultFileName);
    const QString chosen = ctx.services.files->getSaveFileName(screen, QStringLiteral("另存为"), start,
                                                               QStringLiteral("Excel Files (*.xls)"));
    if (chosen.isEmpty())
        return QString();
    QString path = chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xls");
    path = QFileInfo(path).absoluteFilePath();
    if (!MayReplaceCompletedName(ctx.messages(), chosen, path))
        return QString();

    // An existing file is only replaced by a complete new one; a failed or
    // cancelled export leaves it as it was and no part file behind.
    if (FileInUse(path)) {
        ctx.messages().critical(kFileInUseMessage);
        return QString();
    }
    const QString notSaved = QStringLiteral("导出失败，没有保存文件：\n");
    StagedFile staging(path, QStringLiteral(".xls"), ctx.services.runArea);
    const QString location = SaveLocationProblem(path);
    if (!location.isEmpty()) {
        ctx.messages().critical(notSaved + location);
        return QString();
    }
    if (const Outcome staged = staging.create(); !staged) {
        ctx.messages().critical(notSaved + staged.message() + QStringLiteral("\n请检查文件夹的权限，或另选保存位置。"),
                                kAppTitle, staged.detail());
        return QString();
    }

    const bool isLong = IsLong(job);
    const ControlList controls = guarded(controlsToDisable);
    {
        BusyScope busy(controls, !isLong);
        ReportRun run(ctx.services.makeSpreadsheet,
                      ReportRun::Job{ReportMode::Save, TemplateOf(ctx, job), staging.path(), QString(), job.fill});
        const RunEnd end = WaitForRun(run, screen, isLong);
        if (end == RunEnd::Cancelled)
            return QString();
        if (end != RunEnd::Done) {
            busy.restoreCursor();
            ctx.messages().critical(kReportFailureMessage, kAppTitle, run.errorText());
            return QString();
        }
    }
    if (FileInUse(path)) {
        ctx.messages().critical(kFileInUseMessage);
        return QString();
    }
    if (const Outcome placed = staging.place(); !placed) {
        ctx.messages().critical(notSaved + placed.message(), kAppTitle, placed.detail());
        return QString();
    }
    LogReport(ctx, AuditKind::Export, job.subject,
              {{QStringLiteral("report"), job.templateName}, {QStringLiteral("path"), QDir::toNativeSeparators(path)}},
              QStringLiteral("文件已保存到“%1”").arg(QDir::toNativeSeparators(path)));
    // Saved either way; where no program opens .xls files the user at least
    // learns where the workbook is.
    if (!ctx.services.desktop->openUrl(QUrl::fromLocalFile(path)))
        ctx.messages().information(QStringLiteral("文件已保存到：\n%1\n但没有找到可以打开它的电子表格程序。")
                                       .arg(QDir::toNativeSeparators(path)));
    return path;
}

}   // namespace

ReportPreview *PreviewReport(const ReportContext &ctx, QWidget *screen, ReportKind kind, const TextTable &list,
                             const QVector<ReportHeaderCell> &header, const QList<QWidget *> &controlsToDisable)
{
    return Preview(ctx, screen, ListJob(ctx, kind, list, header), controlsToDisable);
}

QString ExportReport(const ReportContext &ctx, QWidget *screen, ReportKind kind, const TextTable &list,
                     const QVector<ReportHeaderCell> &header, const QList<QWidget *> &controlsToDisable)
{
    return Export(ctx, screen, ListJob(ctx, kind, list, header), controlsToDisable);
}

ReportPreview *PreviewDrawRecord(const ReportContext &ctx, QWidget *screen, const DrawRecordContent &content,
                                 const QList<QWidget *> &controlsToDisable)
{
    return Preview(ctx, screen, DrawRecordJob(ctx, content), controlsToDisable);
}

QString ExportDrawRecord(const ReportContext &ctx, QWidget *screen, const DrawRecordContent &content,
                         const QList<QWidget *> &controlsToDisable)
{
    return Export(ctx, screen, DrawRecordJob(ctx, content), controlsToDisable);
}

QString LogHeadLine(const AuditHead &head)
{
    if (head.empty())
        return QStringLiteral("日志链头：（操作日志尚无记录）");
    return QStringLiteral("日志链头：%1").arg(head.text());
}

ReportContext ReportContextOf(const AppState &state)
{
    ReportContext ctx{state.services, state.templateDir, {}, {}};
    // The head as it stands when the report starts; a head that cannot be
    // read is printed as such rather than left out unnoticed.
    const Result<AuditHead> head = ReadAuditHead(state.store);
    ctx.logHead =
        head ? LogHeadLine(head.value()) : QStringLiteral("日志链头：无法读取（%1）").arg(head.failure().message);
    const DataStore *store = &state.store;
    ctx.log = [store](const QString &kind, const QString &subject, const QJsonObject &detail) {
        return AppendAudit(*store, kind, subject, detail);
    };
    return ctx;
}
