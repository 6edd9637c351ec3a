// Builds the report templates (.xls) through the program's own spreadsheet
// engine:
//
//   make_templates FOLDER
//
// writes SelExpert_Plate.xls, ExpertSearch_Plate.xls, ExpertHistroy_Plate.xls,
// AuditLog_Plate.xls, ExpertRecord_Plate.xls and SuspendedExperts_Plate.xls
// into FOLDER. Each has a title, the criteria (search,
// history and the operation log), a heading row matching the screen's list heading, ten
// formatted empty data rows right below it and a signature line under them.
// DrawRecord_Plate.xls, the record of one stored draw, has the project's
// facts, two such lists (rounds, experts) and the signature boxes.

#include "reports/Reports.h"
#include "reports/SpreadsheetEngine.h"
#include "reports/libreoffice/LibreOfficeEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr int kLastColumn = 20;          // T
constexpr int kHeadingGrey = 0xDCDCDC;   // the list headings' background on screen
constexpr int kDataRowHeight = 600;      // 1/100 mm
constexpr int kHeadingRowHeight = 700;
constexpr int kTitleRowHeight = 1100;
constexpr int kCriteriaRowHeight = 600;

struct TemplateDesign {
    ReportKind kind;
    QString title;
    QStringList headings;         // 序号 and one per list column
    QString criteriaCaption;      // above the criteria; empty for none
    QStringList criteriaLabels;   // one per header cell, in the order of the header cells
    QString listCaption;          // above the list heading; empty for none
    QVector<int> narrowColumns;   // columns drawn narrower
    QVector<int> wideColumns;     // columns drawn wider
    int dataRowHeight = kDataRowHeight;
    bool wrap = false;   // long texts wrap within their row
};

CellFormat Bold(double height = 0)
{
    CellFormat f;
    f.setBold = true;
    f.bold = true;
    f.fontHeight = height;
    return f;
}

// A list heading at headingRow and the ten formatted data rows under it:
// each list column (the sequence number in B, then columns) spans up to the
// next one.
void ListBlock(SpreadsheetEngine &sheet, int headingRow, const QVector<int> &columns, const QStringList &headings,
               int dataRowHeight = kDataRowHeight, bool wrap = false)
{
    const int h = headingRow;
    QVector<int> starts{2};
    starts += columns;
    for (int row = h; row <= h + kTemplateDataRows; ++row) {
        sheet.setRowHeight(row, row == h ? kHeadingRowHeight : dataRowHeight);
        for (int i = 0; i < starts.size(); ++i) {
            const int first = starts.at(i);
            const int last = i + 1 < starts.size() ? starts.at(i + 1) - 1 : kLastColumn;
            if (last > first)
                sheet.merge(row, first, last - first + 1);
            if (row == h)
                sheet.setText(row, first, headings.at(i));
        }
    }
    CellFormat heading = Bold();
    heading.borders = true;
    heading.align = CellFormat::Align::Center;
    heading.background = kHeadingGrey;
    sheet.setFormat(h, 2, 1, kLastColumn - 1, heading);
    CellFormat data;
    data.borders = true;
    data.align = CellFormat::Align::Left;
    data.wrap = wrap;
    sheet.setFormat(h + 1, 2, kTemplateDataRows, kLastColumn - 1, data);
    CellFormat number = data;
    number.align = CellFormat::Align::Center;
    sheet.setFormat(h + 1, 2, kTemplateDataRows, 1, number);
}

void Build(SpreadsheetEngine &sheet, const TemplateDesign &design, const QString &folder)
{
    const ReportLayout &layout = LayoutOf(design.kind);
    const int h = layout.headingRows;
    sheet.create();

    // Column widths: A is a margin, B the sequence number.
    sheet.setColumnWidth(1, 400);
    sheet.setColumnWidth(2, 1100);
    for (int c = 3; c <= kLastColumn; ++c) {
        int width = 1250;
        if (design.narrowColumns.contains(c))
            width = 1100;
        if (design.wideColumns.contains(c))
            width = 2600;
        sheet.setColumnWidth(c, width);
    }

    // Title.
    sheet.setRowHeight(1, kTitleRowHeight);
    sheet.merge(1, 2, kLastColumn - 1);
    sheet.setText(1, 2, design.title);
    CellFormat title = Bold(16);
    title.align = CellFormat::Align::Center;
    sheet.setFormat(1, 2, 1, kLastColumn - 1, title);

    // Criteria: a label block of two columns left of each header cell, the
    // value block from the header cell up to the next label.
    const QVector<ReportHeaderCell> cells =
        design.kind == ReportKind::Search         ? SearchHeaderCells(QStringList(13), QStringList(6))
        : design.kind == ReportKind::History      ? HistoryHeaderCells(QStringList(4))
        : design.kind == ReportKind::AuditLog     ? AuditLogHeaderCells(QStringList(5))
        : design.kind == ReportKind::ExpertRecord ? ExpertRecordHeaderCells(QStringList(4))
        : design.kind == ReportKind::Suspended    ? SuspendedHeaderCells(QString())
                                                  : QVector<ReportHeaderCell>{};
    if (!design.criteriaCaption.isEmpty()) {
        sheet.setText(2, 2, design.criteriaCaption);
        sheet.setFormat(2, 2, 1, 1, Bold());
    }
    for (int i = 0; i < cells.size(); ++i) {
        const ReportHeaderCell &cell = cells.at(i);
        int end = kLastColumn;
        for (const ReportHeaderCell &other : cells)
            if (other.row == cell.row && other.column > cell.column)
                end = std::min(end, other.column - 3);
        sheet.setRowHeight(cell.row, kCriteriaRowHeight);
        sheet.merge(cell.row, cell.column - 2, 2);
        sheet.setText(cell.row, cell.column - 2, design.criteriaLabels.at(i));
        CellFormat label = Bold();
        label.align = CellFormat::Align::Right;
        sheet.setFormat(cell.row, cell.column - 2, 1, 2, label);
        if (end > cell.column)
            sheet.merge(cell.row, cell.column, end - cell.column + 1);
        CellFormat value;
        value.align = CellFormat::Align::Left;
        value.borders = true;
        sheet.setFormat(cell.row, cell.column, 1, end - cell.column + 1, value);
    }
    if (!design.listCaption.isEmpty()) {
        sheet.setText(h - 2, 2, design.listCaption);
        sheet.setFormat(h - 2, 2, 1, 1, Bold());
    }

    ListBlock(sheet, h, layout.columns, design.headings, design.dataRowHeight, design.wrap);

    // Signature line, one row below the list; it moves with the list.
    const int signature = h + kTemplateDataRows + 2;
    sheet.setText(signature, 2, QStringLiteral("制表人："));
    sheet.setText(signature, 12, QStringLiteral("审核人："));

    PageSetup page;
    page.landscape = true;
    page.fitWidth = true;
    page.repeatFirstRow = h;
    page.repeatLastRow = h;
    sheet.setPageSetup(page);

    sheet.saveAsXls(QDir(folder).filePath(layout.templateName));
    sheet.close();
}

// The draw record of one project: its facts, its rounds, its experts and
// the signatures of the operator and the supervisor.
void BuildDrawRecord(SpreadsheetEngine &sheet, const QString &folder)
{
    const DrawRecordLayout &layout = DrawRecordTemplate();
    // The lists are fitted one after the other, so each needs its own rows.
    if (layout.expertsRow != layout.roundsRow + kTemplateDataRows + 3 ||
        layout.signatureRow != layout.expertsRow + kTemplateDataRows + 1)
        throw SpreadsheetError(QStringLiteral("the draw record's rows do not fit together"));
    sheet.create();
    // The filling sizes rows to their texts by these widths.
    for (int c = 1; c <= kLastColumn; ++c)
        sheet.setColumnWidth(c, DrawRecordLayout::columnWidth(c));

    sheet.setRowHeight(1, kTitleRowHeight);
    sheet.merge(1, 2, kLastColumn - 1);
    sheet.setText(1, 2, QStringLiteral("专家抽取记录表"));
    CellFormat title = Bold(16);
    title.align = CellFormat::Align::Center;
    sheet.setFormat(1, 2, 1, kLastColumn - 1, title);

    // Facts: a label right-aligned before each value; the right-hand values
    // reach the last column, the left-hand ones the right-hand labels.
    const QStringList labels{
        QStringLiteral("项目名称："), QStringLiteral("项目编号："), QStringLiteral("招标人/委托单位："),
        QStringLiteral("评审时间："), QStringLiteral("评审地点："), QStringLiteral("监督人："),
        QStringLiteral("操作员："),   QStringLiteral("抽取时间："), QStringLiteral("备注：")};
    const int rightLabel = 11;   // K
    for (int i = 0; i < layout.factCells.size(); ++i) {
        const ReportHeaderCell &cell = layout.factCells.at(i);
        const bool left = cell.column < rightLabel;
        const bool alone = i + 1 == layout.factCells.size();
        const int labelFirst = left ? 2 : rightLabel;
        const int labelWidth = cell.column - labelFirst;
        const int end = left && !alone ? rightLabel - 1 : kLastColumn;
        sheet.setRowHeight(cell.row, kCriteriaRowHeight);
        if (labelWidth > 1)
            sheet.merge(cell.row, labelFirst, labelWidth);
        sheet.setText(cell.row, labelFirst, labels.at(i));
        CellFormat label = Bold();
        label.align = CellFormat::Align::Right;
        sheet.setFormat(cell.row, labelFirst, 1, labelWidth, label);
        sheet.merge(cell.row, cell.column, end - cell.column + 1);
        CellFormat value;
        value.align = CellFormat::Align::Left;
        value.borders = true;
        value.wrap = true;
        sheet.setFormat(cell.row, cell.column, 1, end - cell.column + 1, value);
    }

    sheet.setText(layout.roundsRow - 2, 2, QStringLiteral("抽取过程："));
    sheet.setFormat(layout.roundsRow - 2, 2, 1, 1, Bold());
    ListBlock(sheet, layout.roundsRow - 1, layout.roundColumns,
              {QStringLiteral("轮次"), QStringLiteral("方式"), QStringLiteral("抽取时间"), QStringLiteral("检索条件"),
               QStringLiteral("回避条件"), QStringLiteral("候选人数"), QStringLiteral("候选名单SHA-256"),
               QStringLiteral("抽取结果")},
              layout.roundRowHeight, true);

    sheet.setText(layout.expertsRow - 2, 2, QStringLiteral("抽取专家（按抽取顺序）："));
    sheet.setFormat(layout.expertsRow - 2, 2, 1, 1, Bold());
    ListBlock(sheet, layout.expertsRow - 1, layout.expertColumns,
              {QStringLiteral("序号"), QStringLiteral("姓名"), QStringLiteral("性别"), QStringLiteral("工作单位"),
               QStringLiteral("从事专业"), QStringLiteral("电话号码"), QStringLiteral("轮次"),
               QStringLiteral("出席情况"), QStringLiteral("说明")},
              layout.expertRowHeight, true);

    // Signatures: the names are filled in, the boxes beside them are signed.
    const int sig = layout.signatureRow;
    sheet.setRowHeight(sig, 1000);
    sheet.merge(sig, layout.operatorColumn, 5);
    sheet.setText(sig, layout.operatorColumn, QStringLiteral("操作员：    签字："));
    sheet.merge(sig, layout.operatorColumn + 5, 4);
    sheet.merge(sig, layout.supervisorColumn, 4);
    sheet.setText(sig, layout.supervisorColumn, QStringLiteral("监督人：    签字："));
    sheet.merge(sig, layout.supervisorColumn + 4, kLastColumn - layout.supervisorColumn - 3);
    CellFormat caption = Bold();
    caption.align = CellFormat::Align::Right;
    sheet.setFormat(sig, layout.operatorColumn, 1, 5, caption);
    sheet.setFormat(sig, layout.supervisorColumn, 1, 4, caption);
    CellFormat box;
    box.borders = true;
    sheet.setFormat(sig, layout.operatorColumn + 5, 1, 4, box);
    sheet.setFormat(sig, layout.supervisorColumn + 4, 1, kLastColumn - layout.supervisorColumn - 3, box);
    sheet.setText(sig + 2, layout.supervisorColumn, QStringLiteral("日期：          年      月      日"));

    PageSetup page;
    page.landscape = true;
    page.fitWidth = true;
    sheet.setPageSetup(page);
    sheet.saveAsXls(QDir(folder).filePath(layout.templateName));
    sheet.close();
}

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: make_templates FOLDER\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        err << "cannot create " << folder << "\n";
        return 1;
    }

    const QStringList drawHeadings{QStringLiteral("序号"),     QStringLiteral("姓名"),     QStringLiteral("性别"),
                                   QStringLiteral("出生时间"), QStringLiteral("工作单位"), QStringLiteral("从事专业"),
                                   QStringLiteral("资格名称"), QStringLiteral("电话号码")};
    const QStringList searchHeadings{QStringLiteral("序号"),     QStringLiteral("姓名"),     QStringLiteral("出生时间"),
                                     QStringLiteral("工作单位"), QStringLiteral("从事专业"), QStringLiteral("资格名称"),
                                     QStringLiteral("电话号码")};
    const QVector<TemplateDesign> designs{
        {ReportKind::Selection,
         QStringLiteral("专家抽取表"),
         drawHeadings,
         QString(),
         {},
         QString(),
         {5},
         {kLastColumn}},
        {ReportKind::Search,
         QStringLiteral("专家高级检索表"),
         searchHeadings,
         QStringLiteral("检索条件："),
         {QStringLiteral("专家姓名："), QStringLiteral("性    别："), QStringLiteral("专家状态："),
          QStringLiteral("专家性质："), QStringLiteral("学    历："), QStringLiteral("职称类别："),
          QStringLiteral("职称级别："), QStringLiteral("专家星级："), QStringLiteral("城    市："),
          QStringLiteral("工作单位："), QStringLiteral("从事专业："), QStringLiteral("参评专业："),
          QStringLiteral("资格名称："), QStringLiteral("取资时间：")},
         QStringLiteral("检索结果："),
         {},
         {}},
        {ReportKind::History,
         QStringLiteral("历史专家抽取表"),
         drawHeadings,
         QStringLiteral("检索条件："),
         {QStringLiteral("开始日期："), QStringLiteral("结束日期："), QStringLiteral("从事专业："),
          QStringLiteral("工作单位：")},
         QStringLiteral("抽取记录："),
         {5},
         {kLastColumn}},
        {ReportKind::AuditLog,
         QStringLiteral("操作日志"),
         {QStringLiteral("序号"), QStringLiteral("时间"), QStringLiteral("操作员"), QStringLiteral("类别"),
          QStringLiteral("对象"), QStringLiteral("内容"), QStringLiteral("链哈希")},
         QStringLiteral("查询条件："),
         {QStringLiteral("开始日期："), QStringLiteral("结束日期："), QStringLiteral("操 作 员："),
          QStringLiteral("类    别："), QStringLiteral("日志链头：")},
         QStringLiteral("日志记录："),
         {},
         {3, 4, kLastColumn},   // the time fits on one line
         1000,
         true},
        {ReportKind::ExpertRecord,
         QStringLiteral("专家记录"),
         {QStringLiteral("序号"), QStringLiteral("时间"), QStringLiteral("项目名称"), QStringLiteral("项目编号"),
          QStringLiteral("事项"), QStringLiteral("说明")},
         QStringLiteral("专家："),
         {QStringLiteral("专家姓名："), QStringLiteral("专家编号："), QStringLiteral("工作单位："),
          QStringLiteral("抽取状态：")},
         QStringLiteral("参与项目、出席、评价、不良记录和暂停："),
         {},
         {},
         800,
         true},
        {ReportKind::Suspended,
         QStringLiteral("暂停抽取专家名单"),
         {QStringLiteral("序号"), QStringLiteral("专家编号"), QStringLiteral("姓名"), QStringLiteral("工作单位"),
          QStringLiteral("暂停期限"), QStringLiteral("不良记录"), QStringLiteral("暂停时间"), QStringLiteral("操作员"),
          QStringLiteral("暂停原因")},
         QStringLiteral("名单："),
         {QStringLiteral("截至日期：")},
         QStringLiteral("暂停抽取的专家："),
         {},
         {},
         800,
         true},
    };

    try {
        auto engine = MakeLibreOfficeEngine();
        for (const TemplateDesign &design : designs)
            Build(*engine, design, folder);
        BuildDrawRecord(*engine, folder);
    } catch (const SpreadsheetError &e) {
        err << "make_templates: " << e.message() << "\n";
        return 1;
    }
    return 0;
}
