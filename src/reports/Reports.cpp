#include "reports/Reports.h"

#include "reports/SpreadsheetEngine.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Sheet columns by letter.
enum Column { B = 2, C = 3, D = 4, E = 5, F = 6, G = 7, H = 8, I = 9, K = 11, L = 12, N = 14, O = 15, P = 16,
              S = 19, T = 20 };

constexpr int kSequenceColumn = B;

} // namespace

QString ReportLayout::missingTemplateMessage() const
{
    return QStringLiteral("模板文件“%1”不存在！").arg(templateName);
}

const ReportLayout &LayoutOf(ReportKind kind)
{
    static const ReportLayout selection{QStringLiteral("SelExpert_Plate.xls"), 3, {C, E, F, H, L, P, T},
                                        QStringLiteral("请进行专家抽取。"), QStringLiteral("专家抽取表.xls")};
    static const ReportLayout search{QStringLiteral("ExpertSearch_Plate.xls"), 10, {C, E, G, K, O, S},
                                     QStringLiteral("请进行专家高级检索。"), QStringLiteral("专家高级检索表.xls")};
    static const ReportLayout history{QStringLiteral("ExpertHistroy_Plate.xls"), 9, {C, E, F, H, L, P, T},
                                      QStringLiteral("请进行历史专家抽取。"), QStringLiteral("历史专家抽取表.xls")};
    switch (kind) {
    case ReportKind::Selection: return selection;
    case ReportKind::Search: return search;
    case ReportKind::History: break;
    }
    return history;
}

QVector<ReportHeaderCell> SearchHeaderCells(const QStringList &criteria, const QStringList &comboTexts)
{
    const auto slot = [&](int i) { return criteria.value(i); };
    const auto combo = [&](int i) { return comboTexts.value(i).trimmed(); };
    return {
        {3, D, slot(0)},  {3, I, combo(0)}, {3, N, combo(1)}, {3, S, combo(2)},
        {4, D, combo(3)}, {4, I, slot(5)},  {4, N, combo(4)}, {4, S, combo(5)},
        {5, D, slot(7)},  {5, I, slot(8)},  {5, N, slot(9)},  {5, S, slot(10)},
        {6, D, slot(11)}, {6, I, slot(12)},
    };
}

QVector<ReportHeaderCell> HistoryHeaderCells(const QStringList &criteria)
{
    return {{3, D, criteria.value(0)}, {3, I, criteria.value(1)}, {4, D, criteria.value(2)}, {5, D, criteria.value(3)}};
}

Outcome FillExcelReport(SpreadsheetEngine &engine, ReportMode mode, ReportKind kind, const QString &templatePath,
                        const QString &outputPath, const TextTable &list, const QVector<ReportHeaderCell> &header,
                        const FillProgress &progress)
{
    const ReportLayout &layout = LayoutOf(kind);
    const int h = layout.headingRows;
    const qsizetype n = list.count();
    // Reports the work done and stops here when the report was cancelled.
    const auto reached = [&](int done) {
        if (progress.advanced)
            progress.advanced(done);
        if (progress.cancelled && progress.cancelled())
            throw SpreadsheetError(QStringLiteral("The report was cancelled"));
    };
    Outcome failure;
    try {
        if (mode == ReportMode::Save && h + n > kXlsMaxRows)
            throw SpreadsheetError(QStringLiteral("%1 rows do not fit into an .xls worksheet").arg(n));
        reached(0);
        engine.open(templatePath, true);
        reached(15);

        // The ten template rows become exactly n rows: the first ones removed,
        // or copies of the first one put in front of them.
        const int firstDataRow = h + 1;
        if (mode == ReportMode::Save && n > kLongReportRows)
            engine.flattenMergedCells(firstDataRow, kTemplateDataRows);
        if (n < kTemplateDataRows)
            engine.deleteRows(firstDataRow, kTemplateDataRows - int(n));
        else if (n > kTemplateDataRows)
            engine.insertRowCopies(firstDataRow, int(n) - kTemplateDataRows);
        reached(20);

        for (const ReportHeaderCell &cell : header)
            engine.setText(cell.row, cell.column, cell.text);

        // Blocks from column B to the last data column; the columns in
        // between stay empty.
        const int width = layout.columns.last() - kSequenceColumn + 1;
        for (qsizetype from = 0; from < n; from += kRowsPerWrite) {
            const qsizetype to = std::min<qsizetype>(n, from + kRowsPerWrite);
            QList<QStringList> block;
            block.reserve(to - from);
            for (qsizetype k = from; k < to; ++k) {
                QStringList line(width);
                line[0] = QString::number(k + 1);
                for (int c = 0; c < layout.columns.size(); ++c)
                    line[layout.columns.at(c) - kSequenceColumn] = list.cell(k, c + 1).toString();
                block.append(std::move(line));
            }
            engine.setTexts(firstDataRow + int(from), kSequenceColumn, block);
            reached(20 + int(40 * to / n));
        }

        if (mode == ReportMode::Preview) {
            if (!progress.firstPagesPath.isEmpty()) {
                engine.exportPdfPages(progress.firstPagesPath, 1, kFirstPreviewPages);
                if (progress.firstPagesWritten)
                    progress.firstPagesWritten();
                reached(70);
            }
            engine.exportPdf(outputPath);
        } else {
            if (engine.lastUsedRow() > kXlsMaxRows)
                throw SpreadsheetError(QStringLiteral("The report does not fit into an .xls worksheet"));
            engine.saveAsXls(outputPath);
        }
        engine.close();
        if (progress.advanced)
            progress.advanced(kFillSteps);
        return Outcome::success();
    } catch (const SpreadsheetError &e) {
        failure = Outcome::failure(e.message());
    } catch (const std::exception &e) {
        failure = Outcome::failure(QString::fromLocal8Bit(e.what()));
    }
    try {
        engine.close();
    } catch (...) {
        // Already failing; the engine's end cleans up the rest.
    }
    return failure;
}

bool MayReplaceCompletedName(MessageService &messages, const QString &chosen, const QString &completed)
{
    if (QFileInfo(chosen).absoluteFilePath() == QFileInfo(completed).absoluteFilePath() ||
        !QFileInfo::exists(completed))
        return true;
    return messages.question(
        QStringLiteral("%1 已存在。\n要替换它吗？").arg(QFileInfo(completed).fileName()));
}

QString TemplatePath(const QString &templateDir, ReportKind kind)
{
    return QDir(templateDir).filePath(LayoutOf(kind).templateName);
}
