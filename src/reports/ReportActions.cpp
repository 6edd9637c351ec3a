// The "打印预览" and "导出Excel" buttons of the list screens.

#include "reports/ReportPreview.h"
#include "reports/Reports.h"
#include "reports/SpreadsheetEngine.h"
#include "files/StagedFile.h"
#include "ui/BusyCursor.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
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
    explicit BusyScope(const ControlList &controls) : m_controls(controls)
    {
        setEnabled(m_controls, false);
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
// list and the name offered for export, and how to fill the template.
struct ReportJob {
    QString templateName;
    QString missingTemplateMessage;
    QString emptyMessage;
    QString defaultFileName;
    bool empty = false;
    std::function<Outcome(SpreadsheetEngine &, ReportMode, const QString &templatePath, const QString &outputPath)>
        fill;
};

ReportJob ListJob(ReportKind kind, const TextTable &list, const QVector<ReportHeaderCell> &header)
{
    const ReportLayout &layout = LayoutOf(kind);
    return {
        layout.templateName,
        layout.missingTemplateMessage(),
        layout.emptyMessage,
        layout.defaultFileName,
        list.isEmpty(),
        [kind, &list, &header](SpreadsheetEngine &engine, ReportMode mode, const QString &path, const QString &output) {
            return FillExcelReport(engine, mode, kind, path, output, list, header);
        }};
}

ReportJob DrawRecordJob(const DrawRecordContent &content)
{
    const DrawRecordLayout &layout = DrawRecordTemplate();
    return {layout.templateName,
            layout.missingTemplateMessage(),
            QString(),
            layout.defaultFileName,
            false,
            [&content](SpreadsheetEngine &engine, ReportMode mode, const QString &path, const QString &output) {
                return FillDrawRecordReport(engine, mode, path, output, content);
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

Outcome Fill(const ReportContext &ctx, ReportMode mode, const ReportJob &job, const QString &outputPath)
{
    const Outcome noEngine = Outcome::failure(QStringLiteral("没有可用的电子表格程序。"));
    if (!ctx.services.makeSpreadsheet)
        return noEngine;
    std::unique_ptr<SpreadsheetEngine> engine;
    try {
        engine = ctx.services.makeSpreadsheet();
    } catch (const SpreadsheetError &e) {
        return Outcome::failure(e.message());
    } catch (const std::exception &e) {
        return Outcome::failure(QString::fromLocal8Bit(e.what()));
    }
    if (!engine)
        return noEngine;
    // The engine (and with it the office) ends before anything is shown.
    return job.fill(*engine, mode, TemplateOf(ctx, job), outputPath);
}

QString LockFileOf(const QFileInfo &file, const QString &prefix, const QString &suffix = QString())
{
    return file.absoluteDir().filePath(prefix + file.fileName() + suffix);
}

} // namespace

bool FileInUse(const QString &path)
{
    const QFileInfo file(path);
    // LibreOffice keeps ".~lock.NAME#" beside an open file, Excel "~$NAME".
    if (QFileInfo::exists(LockFileOf(file, QStringLiteral(".~lock."), QStringLiteral("#"))) ||
        QFileInfo::exists(LockFileOf(file, QStringLiteral("~$"))))
        return true;
    if (file.isDir())
        return true;
    // Replacing the file needs a writable folder.
    const QFileInfo folder(file.absolutePath());
    return file.exists() && !folder.isWritable();
}

namespace {

ReportPreview *Preview(const ReportContext &ctx, QWidget *screen, const ReportJob &job,
                       const QList<QWidget *> &controlsToDisable)
{
    if (!CanReport(ctx, job))
        return nullptr;
    const ControlList controls = guarded(controlsToDisable);
    BusyScope busy(controls);

    auto folder = std::make_unique<QTemporaryDir>();
    const QString pdf = folder->isValid() ? folder->filePath(QStringLiteral("report.pdf")) : QString();
    Outcome filled = folder->isValid()
                         ? Fill(ctx, ReportMode::Preview, job, pdf)
                         : Outcome::failure(QStringLiteral("无法创建临时文件夹：%1").arg(folder->errorString()));
    ReportPreview *preview = nullptr;
    if (filled) {
        preview = new ReportPreview(screen, pdf, std::move(folder));
        if (!preview->isLoaded()) {
            filled = Outcome::failure(QStringLiteral("无法读取打印预览文件“%1”。").arg(QDir::toNativeSeparators(pdf)));
            delete preview;
            preview = nullptr;
        }
    }
    busy.restoreCursor();
    if (!filled) {
        ctx.messages().critical(kReportFailureMessage, kAppTitle, filled.message);
        return nullptr;
    }

    // The window blocks the rest of the program like a modal dialog but
    // does not hold the caller; the controls return when it closes.
    busy.keepControlsDisabled();
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowModality(Qt::ApplicationModal);
    QObject::connect(preview, &QDialog::finished, preview, [controls] { setEnabled(controls, true); });
    preview->show();
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

    // An existing file is only replaced by a complete new one; a failed
    // export leaves it as it was.
    StagedFile staging(path, QStringLiteral(".xls"));
    if (FileInUse(path) || !staging.create()) {
        ctx.messages().critical(kFileInUseMessage);
        return QString();
    }

    const ControlList controls = guarded(controlsToDisable);
    {
        BusyScope busy(controls);
        const Outcome filled = Fill(ctx, ReportMode::Save, job, staging.path());
        if (!filled) {
            busy.restoreCursor();
            ctx.messages().critical(kReportFailureMessage, kAppTitle, filled.message);
            return QString();
        }
    }
    if (FileInUse(path) || !staging.place()) {
        ctx.messages().critical(kFileInUseMessage);
        return QString();
    }
    // Saved either way; where no program opens .xls files the user at least
    // learns where the workbook is.
    if (!ctx.services.desktop->openUrl(QUrl::fromLocalFile(path)))
        ctx.messages().information(
            QStringLiteral("文件已保存到：\n%1\n但没有找到可以打开它的电子表格程序。").arg(QDir::toNativeSeparators(path)));
    return path;
}

}   // namespace

ReportPreview *PreviewReport(const ReportContext &ctx, QWidget *screen, ReportKind kind, const TextTable &list,
                             const QVector<ReportHeaderCell> &header, const QList<QWidget *> &controlsToDisable)
{
    return Preview(ctx, screen, ListJob(kind, list, header), controlsToDisable);
}

QString ExportReport(const ReportContext &ctx, QWidget *screen, ReportKind kind, const TextTable &list,
                     const QVector<ReportHeaderCell> &header, const QList<QWidget *> &controlsToDisable)
{
    return Export(ctx, screen, ListJob(kind, list, header), controlsToDisable);
}

ReportPreview *PreviewDrawRecord(const ReportContext &ctx, QWidget *screen, const DrawRecordContent &content,
                                 const QList<QWidget *> &controlsToDisable)
{
    return Preview(ctx, screen, DrawRecordJob(content), controlsToDisable);
}

QString ExportDrawRecord(const ReportContext &ctx, QWidget *screen, const DrawRecordContent &content,
                         const QList<QWidget *> &controlsToDisable)
{
    return Export(ctx, screen, DrawRecordJob(content), controlsToDisable);
}
