#pragma once

#include "reports/SpreadsheetEngine.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

// Reading the workbook a user hands to the expert import, whatever its
// format.
namespace ExpertImport {

using Progress = std::function<void(int done, int total)>;

// A sheet read from a workbook: every row and column as shown (row 1
// first), and the cells that hold numbers or dates rather than text.
struct ImportSheet {
    QList<QStringList> rows;
    QList<NumberCell> numbers;
};

// A workbook that cannot be read: the sentence for the user, and what the
// spreadsheet program or the archive said, for the details.
class ImportFileError : public SpreadsheetError {
public:
    ImportFileError(const QString &message, const QString &detail) : SpreadsheetError(message), m_detail(detail) {}
    QString detail() const { return m_detail; }

private:
    QString m_detail;
};

// Reading .xls and .ods goes through the spreadsheet engine; a .csv file
// (UTF-8, or GBK as Excel writes it on Chinese systems) and an .xlsx
// workbook are read directly (see ReadXlsxSheet for how its cells read,
// and ParseCsvSheet for what a CSV file may hold), an .xlsx the direct
// reader cannot take going to the engine. Of a workbook, the first
// columnCount columns are read. Throws SpreadsheetError, also for a CSV
// file with a quote out of place or with bytes of neither encoding, naming
// the row; a file that is plainly no spreadsheet (an image, a PDF, an empty
// file) and whatever the spreadsheet program cannot open throw an
// ImportFileError in the user's words, the program's own as detail.
ImportSheet ReadWorkbook(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                         int columnCount, const Progress &progress = {});

// The rows of a CSV text; throws SpreadsheetError as ReadWorkbook does.
QList<QStringList> ParseCsv(const QByteArray &bytes);

}   // namespace ExpertImport
