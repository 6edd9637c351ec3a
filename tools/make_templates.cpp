// Builds the three report templates (.xls) through the program's own
// spreadsheet engine:
//
//   make_templates FOLDER
//
// writes SelExpert_Plate.xls, ExpertSearch_Plate.xls and
// ExpertHistroy_Plate.xls into FOLDER. Each has a title, the criteria (search
// and history), a heading row matching the screen's list heading, ten
// formatted empty data rows right below it and a signature line under them.

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
    QStringList headings;            // 序号 and one per list column
    QString criteriaCaption;         // above the criteria; empty for none
    QStringList criteriaLabels;      // one per header cell, in the order of the header cells
    QString listCaption;             // above the list heading; empty for none
    QVector<int> narrowColumns;      // columns drawn narrower
    QVector<int> wideColumns;        // columns drawn wider
};

CellFormat Bold(double height = 0)
{
    CellFormat f;
    f.setBold = true;
    f.bold = true;
    f.fontHeight = height;
    return f;
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
    const QVector<ReportHeaderCell> cells = design.kind == ReportKind::Search
                                                ? SearchHeaderCells(QStringList(13), QStringList(6))
                                                : design.kind == ReportKind::History ? HistoryHeaderCells(QStringList(4))
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

    // Heading row and the ten data rows: each list column spans up to the
    // next one.
    QVector<int> starts{2};
    starts += layout.columns;
    for (int row = h; row <= h + kTemplateDataRows; ++row) {
        sheet.setRowHeight(row, row == h ? kHeadingRowHeight : kDataRowHeight);
        for (int i = 0; i < starts.size(); ++i) {
            const int first = starts.at(i);
            const int last = i + 1 < starts.size() ? starts.at(i + 1) - 1 : kLastColumn;
            if (last > first)
                sheet.merge(row, first, last - first + 1);
            if (row == h)
                sheet.setText(row, first, design.headings.at(i));
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
    sheet.setFormat(h + 1, 2, kTemplateDataRows, kLastColumn - 1, data);
    CellFormat number = data;
    number.align = CellFormat::Align::Center;
    sheet.setFormat(h + 1, 2, kTemplateDataRows, 1, number);

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

} // namespace

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
    const QStringList searchHeadings{QStringLiteral("序号"),     QStringLiteral("姓名"),
                                     QStringLiteral("出生时间"), QStringLiteral("工作单位"),
                                     QStringLiteral("从事专业"), QStringLiteral("资格名称"),
                                     QStringLiteral("电话号码")};
    const QVector<TemplateDesign> designs{
        {ReportKind::Selection, QStringLiteral("专家抽取表"), drawHeadings, QString(), {}, QString(), {5},
         {kLastColumn}},
        {ReportKind::Search, QStringLiteral("专家高级检索表"), searchHeadings, QStringLiteral("检索条件："),
         {QStringLiteral("专家姓名："), QStringLiteral("性    别："), QStringLiteral("专家状态："),
          QStringLiteral("专家性质："), QStringLiteral("学    历："), QStringLiteral("职称类别："),
          QStringLiteral("职称级别："), QStringLiteral("专家星级："), QStringLiteral("城    市："),
          QStringLiteral("工作单位："), QStringLiteral("从事专业："), QStringLiteral("参评专业："),
          QStringLiteral("资格名称："), QStringLiteral("取资时间：")},
         QStringLiteral("检索结果："), {}, {}},
        {ReportKind::History, QStringLiteral("历史专家抽取表"), drawHeadings, QStringLiteral("检索条件："),
         {QStringLiteral("开始日期："), QStringLiteral("结束日期："), QStringLiteral("从事专业："),
          QStringLiteral("工作单位：")},
         QStringLiteral("抽取记录："), {5}, {kLastColumn}},
    };

    try {
        auto engine = MakeLibreOfficeEngine();
        for (const TemplateDesign &design : designs)
            Build(*engine, design, folder);
    } catch (const SpreadsheetError &e) {
        err << "make_templates: " << e.message() << "\n";
        return 1;
    }
    return 0;
}
