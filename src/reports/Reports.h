#pragma once

// Printing and exporting the result, search and history lists through the
// spreadsheet templates of the application folder.
//
// Screens call PreviewReport ("打印预览") and ExportReport ("导出Excel") from
// their button handlers:
//
//   // frmSearchExpert, cmdPreview Click
//   PreviewReport(ReportContextOf(state), this, ReportKind::Search, state.SearchResultRows,
//                 SearchHeaderCells(searchCriteria,
//                                   {com_Sex->currentText(), com_Sta->currentText(),
//                                    com_Lin->currentText(), com_Degree->currentText(),
//                                    com_Zhicheng->currentText(), com_Star->currentText()}),
//                 {cmdSearch, cmd_Clear, cmdPreview, cmdExcel});
//
//   // frmExpertHistory: HistoryHeaderCells(historyCriteria), its eight controls
//   // frmNewPro:        an empty header ({}), its five controls
//
// Both show the messages themselves (empty list, missing template, failures)
// through the context's message service (a failed fill keeps the general
// text and puts the engine's words in the box's details), take a spreadsheet engine from
// its makeSpreadsheet, show the busy mouse pointer and disable the
// given controls while the spreadsheet is filled. Column 0 of the list (the
// record key) is never printed. Every report carries the head of the
// operation log under its content, and every preview and export shown or
// written is logged (a failure to log is told, the file stays).

#include "data/Outcome.h"
#include "data/Tables.h"
#include "ui/Services.h"

#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QWidget;
class SpreadsheetEngine;
class ReportPreview;
struct AppState;
struct AuditHead;

// What a report needs of the program: its services, the folder that holds
// the templates, the line with the operation log's head that it prints, and
// how it writes its entry in that log.
struct ReportContext {
    const Services &services;
    QString templateDir;
    // Printed under the content ("日志链头：…"); empty prints nothing.
    QString logHead;
    // Appends an entry (AuditKind::Print or AuditKind::Export) to the
    // operation log; empty logs nothing.
    std::function<Outcome(const QString &kind, const QString &subject, const QJsonObject &detail)> log;
    MessageService &messages() const { return *services.messages; }
};

// The context of a report started now from the program's state: the log's
// head as it stands, entries written as the logged-in user.
ReportContext ReportContextOf(const AppState &state);
// The printed line of a head ("日志链头：SEQ:HASH"; a library without entries
// says so).
QString LogHeadLine(const AuditHead &head);

enum class ReportKind {
    Selection,      // frmNewPro: DrawList, "SelExpert_Plate.xls", 3 heading rows
    Search,         // frmSearchExpert: SearchResultRows, "ExpertSearch_Plate.xls", 10 heading rows
    History,        // frmExpertHistory: HistoryList, "ExpertHistroy_Plate.xls", 9 heading rows
    AuditLog,       // frmAuditLog: the operation log, "AuditLog_Plate.xls", 9 heading rows
    ExpertRecord,   // frmExpertProjects: one expert's record, "ExpertRecord_Plate.xls", 8 heading rows
    Suspended,      // frmExpertProjects: the experts suspended now, "SuspendedExperts_Plate.xls", 7 heading rows
};

enum class ReportMode { Preview = 1, Save = 2 };

// A cell above the list filled from the screen's criteria (row and column
// count from 1: D3 is row 3, column 4).
struct ReportHeaderCell {
    int row = 0;
    int column = 0;
    QString text;
    bool operator==(const ReportHeaderCell &) const = default;
};

// Everything fixed about a kind of report.
struct ReportLayout {
    QString templateName;      // file name in the application folder
    int headingRows = 0;       // h: the first data row is h + 1
    QVector<int> columns;      // sheet column of list columns 1, 2, ...
    QString emptyMessage;      // the list is empty
    QString defaultFileName;   // offered by the export dialog
    QString missingTemplateMessage() const;
};

const ReportLayout &LayoutOf(ReportKind kind);

// Rows the template provides for data (rows h + 1 to h + 10).
inline constexpr int kTemplateDataRows = 10;
// An .xls worksheet holds at most this many rows.
inline constexpr int kXlsMaxRows = 65536;
// A list longer than this is a long report: a modal progress dialog with a
// cancel button follows it, its workbook has plain cells where the template
// merges them, and its preview shows the first pages while the rest is
// still being written.
inline constexpr int kLongReportRows = 1000;
// Rows written per call, so that a long list shows its progress and a
// cancel is seen between two calls.
inline constexpr int kRowsPerWrite = 2000;
// Pages a long preview shows before its whole printout is written.
inline constexpr int kFirstPreviewPages = 10;
// The steps of FillProgress::advanced: 0 to this.
inline constexpr int kFillSteps = 100;

// What a report tells while it runs and how it is stopped. Every member may
// be left empty; all are called on the thread that fills.
struct FillProgress {
    // The work done so far, 0 to kFillSteps.
    std::function<void(int done)> advanced;
    // Asked between two steps: true abandons the report.
    std::function<bool()> cancelled;
    // Preview: the first kFirstPreviewPages pages are written to this file
    // and firstPagesWritten is called before the whole printout is written.
    QString firstPagesPath;
    std::function<void()> firstPagesWritten;
};

// The search report's header: criteria are the 13 slots of the last search;
// comboTexts are the texts shown now by com_Sex, com_Sta, com_Lin,
// com_Degree, com_Zhicheng and com_Star, in that order (trimmed here).
QVector<ReportHeaderCell> SearchHeaderCells(const QStringList &criteria, const QStringList &comboTexts);
// The history report's header: the 4 slots of the last "检 索" (start date,
// end date, profession, work unit).
QVector<ReportHeaderCell> HistoryHeaderCells(const QStringList &criteria);
// The operation log report's header: start date, end date, operator, kind
// (as the screen names them) and the head of the log when it was read.
QVector<ReportHeaderCell> AuditLogHeaderCells(const QStringList &criteria);
// One expert's record: name, Id, work unit and the state of drawing
// (正常, or the suspension in force).
QVector<ReportHeaderCell> ExpertRecordHeaderCells(const QStringList &expert);
// The list of suspended experts: the day it holds.
QVector<ReportHeaderCell> SuspendedHeaderCells(const QString &day);

// Fills the template of the kind with the list and writes the result: the
// printout as PDF in Preview mode, an .xls workbook in Save mode, at
// outputPath, with logHead (when given) two rows under the signature line.
// The template file is never changed. The ten template data rows
// are fitted to the list with one delete or one insert, and the data is
// written in one block (in blocks of kRowsPerWrite rows for a longer list).
// When the spreadsheet engine fails, the failure carries the engine's own
// words; a cancelled report fails too. Shows nothing.
Outcome FillExcelReport(SpreadsheetEngine &engine, ReportMode mode, ReportKind kind, const QString &templatePath,
                        const QString &outputPath, const TextTable &list, const QVector<ReportHeaderCell> &header,
                        const FillProgress &progress = {}, const QString &logHead = QString());

// The printed record of one stored draw ("打印抽取记录"): the project's facts
// above, then its rounds and its experts, each list fitted into its own ten
// template rows, and the signature lines of the operator and the supervisor
// under the experts; under them the log's head and a QR code of the record's
// verification data; page numbers and the head in every page's footer.
struct DrawRecordContent {
    QString projectId;
    // 项目名称, 项目编号, 招标人/委托单位, 评审时间, 评审地点, 监督人, 操作员,
    // 抽取时间, 备注: in that order.
    QStringList facts;
    // Column 0 a key (not printed); then type, time and operator, criteria,
    // avoidance, candidate count, candidate hash, what was drawn.
    TextTable rounds;
    // Column 0 a key (not printed); then name, sex, company, profession,
    // mobile, round, attendance, note.
    TextTable experts;
    // What the QR code holds (kestrune-verify --record); empty for none.
    QString verification;
    // Set from the report's context when it is printed.
    QString logHead;
};

// The caption beside the QR code, and what stands in its place when the
// data does not fit into one.
inline const QString kRecordQrCaption =
    QStringLiteral("左侧二维码为本记录的验证数据，可用“kestrune-verify --record 验证数据 数据库文件”与数据库核对。");
inline const QString kRecordQrTooLong = QStringLiteral(
    "验证数据过长，无法生成二维码；请在“抽取项目详细信息”中查看验证数据，用 kestrune-verify --record 核对。");

struct DrawRecordLayout {
    QString templateName;
    QString defaultFileName;
    QVector<ReportHeaderCell> factCells;   // where each fact goes (text empty)
    int roundsRow = 0;                     // first of the ten template rows of the rounds
    QVector<int> roundColumns;             // sheet column of round columns 1, 2, ...
    int expertsRow = 0;                    // first of the ten template rows of the experts
    QVector<int> expertColumns;
    int signatureRow = 0;   // as in the template, before the lists are fitted
    int operatorColumn = 0, supervisorColumn = 0;
    // Rows under the signatures (wherever they moved to): the log's head,
    // and the row of the QR code with its caption beside it.
    int headBelowSignature = 2;
    int qrBelowSignature = 3;
    int qrCaptionColumn = 0;
    // The template's row heights (1/100 mm); a row whose texts need more
    // is made taller when filled.
    int roundRowHeight = 1800;
    int expertRowHeight = 900;
    // Width of a sheet column of the template (1/100 mm).
    static int columnWidth(int column);
    QString missingTemplateMessage() const;
};
const DrawRecordLayout &DrawRecordTemplate();

// Fills DrawRecord_Plate.xls as FillExcelReport fills the list templates.
Outcome FillDrawRecordReport(SpreadsheetEngine &engine, ReportMode mode, const QString &templatePath,
                             const QString &outputPath, const DrawRecordContent &content,
                             const FillProgress &progress = {});

// "打印抽取记录" and its export, with the messages, busy pointer and disabled
// controls of PreviewReport and ExportReport.
ReportPreview *PreviewDrawRecord(const ReportContext &ctx, QWidget *screen, const DrawRecordContent &content,
                                 const QList<QWidget *> &controlsToDisable);
QString ExportDrawRecord(const ReportContext &ctx, QWidget *screen, const DrawRecordContent &content,
                         const QList<QWidget *> &controlsToDisable);

// The path of a kind's template in the template folder.
QString TemplatePath(const QString &templateDir, ReportKind kind);

// "打印预览": fills the template into a PDF and shows it in the preview window
// (non-blocking, application-modal; the controls come back when it closes).
// Returns the window, or nullptr when nothing is shown (message given).
ReportPreview *PreviewReport(const ReportContext &ctx, QWidget *screen, ReportKind kind, const TextTable &list,
                             const QVector<ReportHeaderCell> &header, const QList<QWidget *> &controlsToDisable);

// "导出Excel": asks for a file name ("另存为", desktop folder, the kind's
// default name), writes the filled workbook there and opens it with the
// desktop's program for .xls files. Returns the path written, or an empty
// text when nothing was written.
QString ExportReport(const ReportContext &ctx, QWidget *screen, ReportKind kind, const TextTable &list,
                     const QVector<ReportHeaderCell> &header, const QList<QWidget *> &controlsToDisable);

// The save dialog asks before replacing the file it was given; a name the
// program completed afterwards (typed without its extension) was never asked
// about. True when chosen was not completed or nothing is in the way, else
// after the user agreed to replace the existing completed file.
bool MayReplaceCompletedName(MessageService &messages, const QString &chosen, const QString &completed);

// True when the file is open in a spreadsheet program (its lock file lies
// beside it).
bool FileInUse(const QString &path);
// Why a workbook cannot be saved at path ("" when nothing is in the way
// that the program can see beforehand): a missing folder, a folder in the
// file's place.
QString SaveLocationProblem(const QString &path);
// True when the file starts like an Excel 97 workbook (.xls); the templates
// must.
bool IsExcelWorkbook(const QString &path);

inline const QString kReportFailureMessage =
    QStringLiteral("系统错误。\n请确认打印机是否正确安装，MS Office中的Excel是否正确安装。");
inline const QString kFileInUseMessage = QStringLiteral("请先关闭打开的Excel文件！");
