#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <stdexcept>

// The spreadsheet program behind the reports, seen through the few operations
// that filling a template needs (and that the template builder uses to make
// the templates). One engine object holds at most one open workbook and works
// on its first worksheet.
//
// Addresses are those of the sheet as a user reads it: rows count from 1 and
// columns from 1 (A = 1, B = 2, ... T = 20).
//
// Every operation throws SpreadsheetError when the spreadsheet program fails
// (not installed, crashed, file unreadable, ...). An engine is used and
// destroyed on the thread that created it (cancel() excepted); destroying it
// closes the workbook without saving and ends whatever it started.
//
// The program gets engines from Services::makeSpreadsheet, one per report.

class SpreadsheetError : public std::runtime_error {
public:
    explicit SpreadsheetError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// Look of a block of cells. Only the fields that are set are applied.
struct CellFormat {
    enum class Align { Keep, Left, Center, Right };

    bool setBold = false;
    bool bold = false;
    double fontHeight = 0;   // points; 0 keeps the height
    bool borders = false;    // thin lines around and between the cells
    Align align = Align::Keep;
    bool wrap = false;     // wrap long texts inside the cell
    int background = -1;   // 0xRRGGBB; -1 keeps the background
};

// What a cell looks like, read back from a workbook.
struct CellLook {
    bool bold = false;
    bool borderTop = false;
    bool borderBottom = false;
    bool borderLeft = false;
    bool borderRight = false;
    bool merged = false;   // the cell starts a merged block
};

// A cell that holds a number rather than text, read back from a workbook:
// what the sheet shows of it may not be what was typed (a long number
// rounded, a date with a time).
struct NumberCell {
    int row = 0;         // from 1
    int column = 0;      // from 1
    double value = 0;    // for a date, days since 1899-12-30
    bool date = false;   // formatted as a date or a time
};

// Page layout of the first worksheet.
struct PageSetup {
    bool landscape = false;
    bool fitWidth = false;       // scale the print to one page wide
    int repeatFirstRow = 0;      // rows repeated at the top of every printed page;
    int repeatLastRow = 0;       // 0 for none
    bool headerFooter = false;   // the office's default page header and footer
};

class SpreadsheetEngine {
public:
    virtual ~SpreadsheetEngine() = default;

    // Opens a workbook file. The file itself is never written or locked: the
    // workbook can only be saved under another name. Hidden keeps the
    // spreadsheet program's window out of sight (the reports always open hidden
    // and show their own preview).
    virtual void open(const QString &path, bool hidden = true) = 0;
    // A new, empty workbook.
    virtual void create() = 0;
    // Closes the workbook without saving it. Harmless when none is open.
    virtual void close() = 0;

    // Deletes count rows from firstRow on; the rows below move up.
    virtual void deleteRows(int firstRow, int count) = 0;
    // Inserts count copies of sourceRow (its contents, formats, merged blocks
    // and height) directly above it; sourceRow and the rows below move down.
    virtual void insertRowCopies(int sourceRow, int count) = 0;
    // Undoes the merged blocks that lie within each of count rows from
    // firstRow, keeping their look: a block's text stays in its first cell
    // and runs on into the empty cells beside it, its outline stays and no
    // line is drawn inside it. (An .xls writer may take time with the square
    // of the number of merged blocks; a sheet of plain cells it writes in
    // proportion to its size.)
    virtual void flattenMergedCells(int firstRow, int count) = 0;

    // Writes a block of texts in one call: rows[i][j] goes to
    // (firstRow + i, firstColumn + j). All rows must have the same length.
    // Every value is stored as text ("001" stays "001"); an empty text leaves
    // the cell empty.
    virtual void setTexts(int firstRow, int firstColumn, const QList<QStringList> &rows) = 0;
    virtual void setText(int row, int column, const QString &text) = 0;

    virtual QString text(int row, int column) = 0;
    // The number of the last row that holds a value, 0 for an empty sheet.
    virtual int lastUsedRow() = 0;
    virtual CellLook look(int row, int column) = 0;

    // Layout, used to build the templates.
    virtual void setFormat(int firstRow, int firstColumn, int rowCount, int columnCount, const CellFormat &format) = 0;
    virtual void merge(int row, int firstColumn, int columnCount) = 0;
    virtual void setColumnWidth(int column, int width100thMm) = 0;
    virtual void setRowHeight(int row, int height100thMm) = 0;
    virtual void setPageSetup(const PageSetup &setup) = 0;
    // A footer on every printed page of the first worksheet: text on the
    // left and the page number with the page count ("第 N 页，共 M 页") on
    // the right. It goes into a saved workbook too.
    virtual void setPageFooter(const QString &text) = 0;

    // Puts a picture (a PNG file) on the first worksheet, its top left corner
    // at the cell's, anchored to the cell so that it moves with its row; the
    // picture is kept in the workbook, not linked to the file.
    virtual void insertImage(int row, int column, const QString &pngPath, int width100thMm, int height100thMm) = 0;
    // The pictures on the first worksheet, as (row, column) of their anchor
    // cells, in no particular order.
    virtual QList<QPair<int, int>> imageCells() = 0;

    // Writes the workbook as an Excel 97-2003 workbook (.xls), replacing a
    // file of that name.
    virtual void saveAsXls(const QString &path) = 0;
    // Writes the printout of the first worksheet as a PDF file.
    virtual void exportPdf(const QString &path) = 0;
    // The same for the printed pages firstPage to lastPage only (from 1; a
    // range that runs past the end stops at the last page).
    virtual void exportPdfPages(const QString &path, int firstPage, int lastPage) = 0;
    // Writes the first worksheet as a CSV file (UTF-8, commas, double
    // quotes), every cell as shown, replacing a file of that name: the fast
    // way to read a whole sheet, which cell by cell costs a call per cell.
    // Engines that cannot do it throw SpreadsheetError.
    virtual void saveAsCsv(const QString &path)
    {
        Q_UNUSED(path);
        throw SpreadsheetError(QStringLiteral("CSV export is not supported"));
    }
    // The cells of the first worksheet that hold numbers or dates, found in
    // one query rather than cell by cell. Engines that cannot tell them from
    // text return none.
    virtual QList<NumberCell> numberCells() { return {}; }

    // Abandons the work at once, from any thread: ends the spreadsheet
    // program, so that the operation under way and every later one throw
    // SpreadsheetError. The engine is still destroyed on its own thread.
    virtual void cancel() = 0;
};
