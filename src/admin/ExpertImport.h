#pragma once

#include "admin/DataMaintenance.h"
#include "admin/ImportSheet.h"
#include "reports/SpreadsheetEngine.h"

#include <QList>
#include <QStringList>
#include <QVector>
#include <functional>

// The expert data import workbook: one column per field of the expert
// editor, a heading row with the editor's captions, a row explaining the
// allowed values and an example row. Rows whose name cell starts with one of
// the two markers are never imported.
namespace ExpertImport {

inline const QString kNoteMarker = QStringLiteral("【填写说明】");
inline const QString kExampleMarker = QStringLiteral("【示例】");

struct Column {
    enum Kind { Text, Date, Choice, Degree, Title };
    QString caption;   // the editor's caption without its colon
    int field;         // position in expert_msg
    Kind kind;
    int width;              // width the value is clipped to; 0: unclipped
    QStringList items;      // the choices of a list (Choice, Degree, Title)
    bool oneLine = false;   // the editor keeps it on one line (Text and Date)
};

// The most characters a cell of the spreadsheet programs holds; a longer
// text is cut to it when it is pasted or saved.
constexpr int kSheetCellLimit = 32767;

// The 26 columns, in the editor's order; degree and title-level names come from
// the store's reference tables as the editor offers them.
QVector<Column> Columns(const DataStore &store);

// Spreadsheet column name of a 1-based column: 1 -> "A", 27 -> "AA".
QString ColumnLetter(int column);

// Heading, explanation and example rows of a new import workbook.
QList<QStringList> TemplateRows(const DataStore &store);

struct CheckResult {
    QList<QStringList> records;   // fields 1..28 of each new expert, ready to store
    QStringList problems;         // "第5行第C列“专家性质”：..." (all of them)
    int firstDataRow = 0;
    bool isImportSheet = true;   // false when row 1 is not the heading row
    // What the user should know before storing, not wrong in itself:
    QStringList extraColumns;   // "第AB列“备注”": filled columns the import table does not have
    QStringList duplicates;     // rows whose expert (name and mobile) is in the library or twice in the sheet
    QStringList joinedLines;   // "第5行第A列“专家姓名”：…": one-line values whose line breaks become spaces
};

// Checks the rows read from a workbook the way the editor checks its
// inputs and turns them into records. Besides, a cell that holds a number
// where digits matter (身份证号, 电话号码, 邮编, or any number of more than
// 15 digits) is refused, a date cell arrives as "YYYY-MM-DD" and a whole
// number as its digits, and a text longer than its field is refused. So is
// an empty cell of a list column (its first choice would be a guess) and a
// cell of exactly kSheetCellLimit characters (a spreadsheet program has
// most likely cut it). Line breaks in a one-line value become spaces and
// are listed in joinedLines. today is the registration date written into
// every record.
CheckResult CheckSheet(const ImportSheet &sheet, const DataStore &store, const QDate &today);
// The same for rows without cell types (row 1 first, as on the sheet).
CheckResult CheckRows(const QList<QStringList> &sheetRows, const DataStore &store, const QDate &today);

// What to tell the user before a checked workbook is stored (extra columns,
// experts already in the library or twice in the sheet, line breaks that
// become spaces); "" when nothing.
QString NoticeText(const CheckResult &check);

// Adds the records as new experts in one transaction, numbered after the
// existing ones, and reloads ExpertTable. Existing experts are not touched.
Outcome AddExperts(DataStore &store, const QList<QStringList> &records, const Progress &progress = {});

// What to tell the user when a checked workbook cannot be imported (not an
// import sheet, wrong rows, no rows); "" when it can.
QString RefusalText(const CheckResult &check, const DataStore &store);

// Checks and adds the rows of a workbook, registered today; nothing is added
// when any row is wrong, and the message then lists the first problems.
Outcome ImportRows(DataStore &store, const QDate &today, const QList<QStringList> &sheetRows,
                   const Progress &progress = {});

// Default file name offered for the import workbook.
inline const QString kTemplateFileName = QStringLiteral("专家数据导入表.xls");

// Workbook files, through the spreadsheet engine or read directly as
// ReadWorkbook does; both throw SpreadsheetError.
void WriteTemplate(SpreadsheetEngine &engine, const QString &path, const DataStore &store);
// The sheet of an import workbook: the import table's columns and one more.
ImportSheet ReadImportSheet(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                            const Progress &progress = {});
// The same at the module's edge, for the screen: the template written into
// a new workbook at path, or the sheet read, or why not.
Outcome WriteTemplateFile(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                          const DataStore &store);
Result<ImportSheet> ReadImportFile(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine,
                                   const QString &path, const Progress &progress = {});
// The rows only, cut to the first columnCount columns.
QList<QStringList> ReadSheet(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                             int columnCount, const Progress &progress = {});

}   // namespace ExpertImport
