#include "reports/Reports.h"

#include "reports/QrCode.h"
#include "reports/SpreadsheetEngine.h"
#include "data/TextWidth.h"
#include "files/RunFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Sheet columns by letter.
enum Column {
    B = 2,
    C = 3,
    D = 4,
    E = 5,
    F = 6,
    G = 7,
    H = 8,
    I = 9,
    J = 10,
    K = 11,
    L = 12,
    M = 13,
    N = 14,
    O = 15,
    P = 16,
    Q = 17,
    R = 18,
    S = 19,
    T = 20
};

constexpr int kSequenceColumn = B;
// The log's head stands this many rows under a report's signature line.
constexpr int kHeadBelowSignature = 2;

// Sizes on the sheet, in 1/100 mm, of text in the templates' 10 point font:
// a one-byte character about half a two-byte one, which is about 10 points
// wide; a line a little over its height.
constexpr int kHalfCharWidth = 240;
constexpr int kLineHeight = 480;
constexpr int kCellPadding = 250;
// An .xls row is at most 409 points high.
constexpr int kMaxRowHeight = 14400;

// The height that shows all of a wrapped text in a cell of this width: the
// office does not size a row to the text of a merged cell by itself.
int WrappedTextHeight(const QString &text, int width)
{
    const int usable = std::max(width - 2 * 100, 4 * kHalfCharWidth);
    int lines = 0;
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        int units = 0;
        for (const char32_t ch : paragraph.toUcs4())
            units += CharWidth(ch);
        lines += std::max(1, (units * kHalfCharWidth + usable - 1) / usable);
    }
    return lines * kLineHeight + kCellPadding;
}

// Makes each of the rows from firstRow tall enough for its texts (never
// lower than the template's rows); list column c + 1 spans the sheet columns
// from columns[c] up to the next list column (the last one up to lastColumn).
void FitRowHeights(SpreadsheetEngine &engine, int firstRow, const QVector<int> &columns, int lastColumn,
                   const TextTable &list, int minimum, const std::function<int(int)> &columnWidth)
{
    for (qsizetype k = 0; k < list.count(); ++k) {
        int height = minimum;
        for (int c = 0; c < columns.size(); ++c) {
            const int end = c + 1 < columns.size() ? columns.at(c + 1) - 1 : lastColumn;
            int width = 0;
            for (int col = columns.at(c); col <= end; ++col)
                width += columnWidth(col);
            height = std::max(height, WrappedTextHeight(list.cell(k, c + 1).toString(), width));
        }
        if (height > minimum)
            engine.setRowHeight(firstRow + int(k), std::min(height, kMaxRowHeight));
    }
}

// The QR code's module on paper: half a millimetre reads well from a print.
constexpr int kQrModule100thMm = 50;
constexpr int kQrPixelsPerModule = 8;
constexpr int kQrMinimumSide = 3000;

// The ten template rows at firstRow become exactly n rows: the first ones
// removed, or copies of the first one put in front of them. Returns by how
// many rows everything below moved.
int FitTemplateRows(SpreadsheetEngine &engine, int firstRow, qsizetype n)
{
    if (n < kTemplateDataRows)
        engine.deleteRows(firstRow, kTemplateDataRows - int(n));
    else if (n > kTemplateDataRows)
        engine.insertRowCopies(firstRow, int(n) - kTemplateDataRows);
    return int(n) - kTemplateDataRows;
}

// Reports the work done and stops the fill when the report was cancelled.
class Progress {
public:
    explicit Progress(const FillProgress &p) : m_p(p) {}
    void reached(int done) const
    {
        if (m_p.advanced)
            m_p.advanced(done);
        if (m_p.cancelled && m_p.cancelled())
            throw SpreadsheetError(QStringLiteral("The report was cancelled"));
    }
    const FillProgress &fill() const { return m_p; }

private:
    const FillProgress &m_p;
};

// The list from column B (the sequence number) to the last sheet column;
// list column c + 1 goes to columns[c], the columns in between stay empty.
// Written in blocks of kRowsPerWrite rows, progress moving from `from` to
// `to` steps as they go.
void WriteListRows(SpreadsheetEngine &engine, int firstRow, const QVector<int> &columns, const TextTable &list,
                   const Progress &progress, int from = 0, int to = 0)
{
    const qsizetype n = list.count();
    if (n == 0)
        return;
    const int width = columns.last() - kSequenceColumn + 1;
    for (qsizetype first = 0; first < n; first += kRowsPerWrite) {
        const qsizetype last = std::min<qsizetype>(n, first + kRowsPerWrite);
        QList<QStringList> block;
        block.reserve(last - first);
        for (qsizetype k = first; k < last; ++k) {
            QStringList line(width);
            line[0] = QString::number(k + 1);
            for (int c = 0; c < columns.size(); ++c)
                line[columns.at(c) - kSequenceColumn] = list.cell(k, c + 1).toString();
            block.append(std::move(line));
        }
        engine.setTexts(firstRow + int(first), kSequenceColumn, block);
        if (to > from)
            progress.reached(from + int((to - from) * last / n));
    }
}

// Writes the filled workbook: the printout in Preview mode (a long one's
// first pages before the rest when asked), the .xls otherwise.
void WriteOutput(SpreadsheetEngine &engine, ReportMode mode, const QString &outputPath, const Progress &progress)
{
    if (mode == ReportMode::Preview) {
        const FillProgress &p = progress.fill();
        if (!p.firstPagesPath.isEmpty()) {
            engine.exportPdfPages(p.firstPagesPath, 1, kFirstPreviewPages);
            if (p.firstPagesWritten)
                p.firstPagesWritten();
            progress.reached(70);
        }
        engine.exportPdf(outputPath);
    } else {
        if (engine.lastUsedRow() > kXlsMaxRows)
            throw SpreadsheetError(QStringLiteral("The report does not fit into an .xls worksheet"));
        engine.saveAsXls(outputPath);
    }
}

// Runs a fill under the one error trap of the reports: the workbook is
// closed either way, and a failure carries the engine's own words.
template <typename Fill> Outcome RunFill(SpreadsheetEngine &engine, const FillProgress &progress, Fill fill)
{
    Outcome failure;
    try {
        fill();
        engine.close();
        if (progress.advanced)
            progress.advanced(kFillSteps);
        return Outcome::success();
    } catch (const SpreadsheetError &e) {
        failure = Outcome::fail(e.message());
    } catch (const std::exception &e) {
        failure = Outcome::fail(QString::fromLocal8Bit(e.what()));
    }
    try {
        engine.close();
    } catch (...) {
        // Already failing; the engine's end cleans up the rest.
    }
    return failure;
}

}   // namespace

QString ReportLayout::missingTemplateMessage() const
{
    return QStringLiteral("模板文件“%1”不存在！").arg(templateName);
}

const ReportLayout &LayoutOf(ReportKind kind)
{
    static const ReportLayout selection{QStringLiteral("SelExpert_Plate.xls"),
                                        3,
                                        {C, E, F, H, L, P, T},
                                        QStringLiteral("请进行专家抽取。"),
                                        QStringLiteral("专家抽取表.xls")};
    static const ReportLayout search{QStringLiteral("ExpertSearch_Plate.xls"),
                                     10,
                                     {C, E, G, K, O, S},
                                     QStringLiteral("请进行专家高级检索。"),
                                     QStringLiteral("专家高级检索表.xls")};
    static const ReportLayout history{QStringLiteral("ExpertHistroy_Plate.xls"),
                                      9,
                                      {C, E, F, H, L, P, T},
                                      QStringLiteral("请进行历史专家抽取。"),
                                      QStringLiteral("历史专家抽取表.xls")};
    // 时间 and 链哈希 get wide columns in the template; 内容 spans J to Q.
    static const ReportLayout auditLog{QStringLiteral("AuditLog_Plate.xls"),
                                       9,
                                       {C, E, F, H, J, R},
                                       QStringLiteral("没有符合条件的操作日志。"),
                                       QStringLiteral("操作日志.xls")};
    // 说明 and 不良记录 get the widest blocks: they hold the texts people wrote.
    static const ReportLayout expertRecord{QStringLiteral("ExpertRecord_Plate.xls"),
                                           8,
                                           {C, F, J, L, N},
                                           QStringLiteral("该专家没有参与项目的记录。"),
                                           QStringLiteral("专家记录.xls")};
    static const ReportLayout suspended{QStringLiteral("SuspendedExperts_Plate.xls"),
                                        7,
                                        {C, E, G, J, L, P, R, S},
                                        QStringLiteral("目前没有暂停抽取的专家。"),
                                        QStringLiteral("暂停抽取专家名单.xls")};
    switch (kind) {
    case ReportKind::ExpertRecord:
        return expertRecord;
    case ReportKind::Suspended:
        return suspended;
    case ReportKind::Selection:
        return selection;
    case ReportKind::Search:
        return search;
    case ReportKind::AuditLog:
        return auditLog;
    case ReportKind::History:
        break;
    }
    return history;
}

QVector<ReportHeaderCell> SearchHeaderCells(const QStringList &criteria, const QStringList &comboTexts)
{
    const auto slot = [&](int i) { return criteria.value(i); };
    const auto combo = [&](int i) { return comboTexts.value(i).trimmed(); };
    return {
        {3, D, slot(0)}, {3, I, combo(0)}, {3, N, combo(1)}, {3, S, combo(2)}, {4, D, combo(3)},
        {4, I, slot(5)}, {4, N, combo(4)}, {4, S, combo(5)}, {5, D, slot(7)},  {5, I, slot(8)},
        {5, N, slot(9)}, {5, S, slot(10)}, {6, D, slot(11)}, {6, I, slot(12)},
    };
}

QVector<ReportHeaderCell> HistoryHeaderCells(const QStringList &criteria)
{
    return {{3, D, criteria.value(0)}, {3, I, criteria.value(1)}, {4, D, criteria.value(2)}, {5, D, criteria.value(3)}};
}

QVector<ReportHeaderCell> AuditLogHeaderCells(const QStringList &criteria)
{
    return {{3, D, criteria.value(0)},
            {3, I, criteria.value(1)},
            {4, D, criteria.value(2)},
            {4, I, criteria.value(3)},
            {5, D, criteria.value(4)}};
}

QVector<ReportHeaderCell> ExpertRecordHeaderCells(const QStringList &expert)
{
    return {{3, D, expert.value(0)}, {3, I, expert.value(1)}, {4, D, expert.value(2)}, {4, I, expert.value(3)}};
}

QVector<ReportHeaderCell> SuspendedHeaderCells(const QString &day) { return {{3, D, day}}; }

bool IsExcelWorkbook(const QString &path)
{
    // An Excel 97 workbook is a compound document: it starts with this signature.
    static const QByteArray signature = QByteArray::fromHex("D0CF11E0A1B11AE1");
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(signature.size()) == signature;
}

Outcome FillExcelReport(SpreadsheetEngine &engine, ReportMode mode, ReportKind kind, const QString &templatePath,
                        const QString &outputPath, const TextTable &list, const QVector<ReportHeaderCell> &header,
                        const FillProgress &progress, const QString &logHead)
{
    const ReportLayout &layout = LayoutOf(kind);
    const int h = layout.headingRows;
    const qsizetype n = list.count();
    const Progress reached(progress);
    return RunFill(engine, progress, [&] {
        if (mode == ReportMode::Save && h + n > kXlsMaxRows)
            throw SpreadsheetError(QStringLiteral("%1 rows do not fit into an .xls worksheet").arg(n));
        // The office opens almost anything, a text file as a sheet of text:
        // a damaged template would give a report without its headings.
        if (!IsExcelWorkbook(templatePath))
            throw SpreadsheetError(QStringLiteral("The template is not an Excel 97 workbook: %1").arg(templatePath));
        reached.reached(0);
        engine.open(templatePath, true);
        reached.reached(15);
        const int firstDataRow = h + 1;
        if (mode == ReportMode::Save && n > kLongReportRows)
            engine.flattenMergedCells(firstDataRow, kTemplateDataRows);
        FitTemplateRows(engine, firstDataRow, n);
        reached.reached(20);
        for (const ReportHeaderCell &cell : header)
            engine.setText(cell.row, cell.column, cell.text);
        WriteListRows(engine, firstDataRow, layout.columns, list, reached, 20, 60);
        // The signature line of the template sits one row under the list.
        if (!logHead.isEmpty())
            engine.setText(firstDataRow + int(n) + 1 + kHeadBelowSignature, kSequenceColumn, logHead);
        WriteOutput(engine, mode, outputPath, reached);
    });
}

int DrawRecordLayout::columnWidth(int column)
{
    switch (column) {
    case 1:
        return 400;
    case B:
        return 1100;
    case C:
        return 2000;
    default:
        return 1450;
    }
}

QString DrawRecordLayout::missingTemplateMessage() const
{
    return QStringLiteral("模板文件“%1”不存在！").arg(templateName);
}

const DrawRecordLayout &DrawRecordTemplate()
{
    static const DrawRecordLayout layout = [] {
        DrawRecordLayout l;
        l.templateName = QStringLiteral("DrawRecord_Plate.xls");
        l.defaultFileName = QStringLiteral("专家抽取记录表.xls");
        // Facts in two columns of label and value, the remark across the sheet.
        l.factCells = {{3, D, {}}, {3, N, {}}, {4, D, {}}, {4, N, {}}, {5, D, {}},
                       {5, N, {}}, {6, D, {}}, {6, N, {}}, {7, D, {}}};
        l.roundsRow = 11;
        // The hash fits on two lines and what was drawn (with a supervised
        // round's numbers) gets the widest block.
        l.roundColumns = {C, E, G, J, M, N, Q};
        l.expertsRow = 24;
        l.expertColumns = {C, D, E, I, L, N, P, Q};
        l.signatureRow = 35;
        l.operatorColumn = B;
        l.supervisorColumn = K;
        l.qrCaptionColumn = I;
        return l;
    }();
    return layout;
}

Outcome FillDrawRecordReport(SpreadsheetEngine &engine, ReportMode mode, const QString &templatePath,
                             const QString &outputPath, const DrawRecordContent &content, const FillProgress &progress)
{
    const DrawRecordLayout &layout = DrawRecordTemplate();
    const Progress reached(progress);
    return RunFill(engine, progress, [&] {
        if (mode == ReportMode::Save &&
            layout.signatureRow + content.rounds.count() + content.experts.count() > kXlsMaxRows)
            throw SpreadsheetError(QStringLiteral("The record does not fit into an .xls worksheet"));
        // The QR code goes in as a picture file, which the workbook keeps.
        const QByteArray verification = content.verification.toUtf8();
        const QImage qr = verification.isEmpty() ? QImage() : QrImage(verification, kQrPixelsPerModule);
        QTemporaryDir pictures(RunFolderTemplate(QStringLiteral("record")));
        const QString qrPath = pictures.filePath(QStringLiteral("record-qr.png"));
        if (!qr.isNull() && (!pictures.isValid() || !qr.save(qrPath, "PNG")))
            throw SpreadsheetError(QStringLiteral("The QR code could not be written: %1").arg(qrPath));

        engine.open(templatePath, true);
        for (int i = 0; i < layout.factCells.size(); ++i)
            engine.setText(layout.factCells[i].row, layout.factCells[i].column, content.facts.value(i));
        // The rounds first: the experts and the signatures move with them.
        const int roundShift = FitTemplateRows(engine, layout.roundsRow, content.rounds.count());
        WriteListRows(engine, layout.roundsRow, layout.roundColumns, content.rounds, reached);
        FitRowHeights(engine, layout.roundsRow, layout.roundColumns, T, content.rounds, layout.roundRowHeight,
                      DrawRecordLayout::columnWidth);
        const int expertsRow = layout.expertsRow + roundShift;
        const int expertShift = FitTemplateRows(engine, expertsRow, content.experts.count());
        WriteListRows(engine, expertsRow, layout.expertColumns, content.experts, reached);
        FitRowHeights(engine, expertsRow, layout.expertColumns, T, content.experts, layout.expertRowHeight,
                      DrawRecordLayout::columnWidth);
        const int signatureRow = layout.signatureRow + roundShift + expertShift;
        engine.setText(signatureRow, layout.operatorColumn,
                       QStringLiteral("操作员：%1    签字：").arg(content.facts.value(6)));
        engine.setText(signatureRow, layout.supervisorColumn,
                       QStringLiteral("监督人：%1    签字：").arg(content.facts.value(5)));
        if (!content.logHead.isEmpty())
            engine.setText(signatureRow + layout.headBelowSignature, kSequenceColumn, content.logHead);
        const int qrRow = signatureRow + layout.qrBelowSignature;
        if (!qr.isNull()) {
            const int side = std::max(kQrMinimumSide, qr.width() / kQrPixelsPerModule * kQrModule100thMm);
            engine.setRowHeight(qrRow, std::min(side + 200, kMaxRowHeight));
            engine.insertImage(qrRow, kSequenceColumn, qrPath, side, side);
            // Wrapped in a block to the sheet's right edge, the caption stays on the page.
            engine.merge(qrRow, layout.qrCaptionColumn, T - layout.qrCaptionColumn + 1);
            CellFormat caption;
            caption.wrap = true;
            caption.align = CellFormat::Align::Left;
            engine.setFormat(qrRow, layout.qrCaptionColumn, 1, T - layout.qrCaptionColumn + 1, caption);
            engine.setText(qrRow, layout.qrCaptionColumn, kRecordQrCaption);
        } else if (!verification.isEmpty()) {
            engine.setText(qrRow, kSequenceColumn, kRecordQrTooLong);
        }
        engine.setPageFooter(content.logHead);
        WriteOutput(engine, mode, outputPath, reached);
    });
}

bool MayReplaceCompletedName(MessageService &messages, const QString &chosen, const QString &completed)
{
    if (QFileInfo(chosen).absoluteFilePath() == QFileInfo(completed).absoluteFilePath() ||
        !QFileInfo::exists(completed))
        return true;
    return messages.question(QStringLiteral("%1 已存在。\n要替换它吗？").arg(QFileInfo(completed).fileName()));
}

QString TemplatePath(const QString &templateDir, ReportKind kind)
{
    return QDir(templateDir).filePath(LayoutOf(kind).templateName);
}
