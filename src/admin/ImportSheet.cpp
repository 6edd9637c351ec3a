#include "admin/ImportSheet.h"

#include "files/RunFolders.h"
#include "sheets/CsvSheet.h"
#include "sheets/XlsxSheet.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace ExpertImport {

namespace {

// The import's callers take any reading failure as a SpreadsheetError.
QList<QStringList> RowsOrThrow(Result<QList<QStringList>> rows)
{
    if (!rows)
        throw SpreadsheetError(rows.message());
    return std::move(rows).value();
}

}   // namespace

QList<QStringList> ParseCsv(const QByteArray &bytes) { return RowsOrThrow(ParseCsvSheet(bytes)); }

ImportSheet ReadWorkbook(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                         int columnCount, const Progress &progress)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        return {RowsOrThrow(ReadCsvSheet(path)), {}};
    }
    // An .xlsx workbook is read straight from its XML: the office takes
    // tens of seconds to load 50,000 rows. One the reader does not
    // understand goes to the office as the other formats do.
    if (suffix.compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0) {
        ImportSheet sheet;
        const auto number = [&sheet](int row, int column, double value, bool date) {
            sheet.numbers.append(NumberCell{row, column, value, date});
        };
        Result<QList<QStringList>> rows = ReadXlsxSheet(path, columnCount, progress, number);
        if (rows) {
            sheet.rows = std::move(rows).value();
            return sheet;
        }
    }
    if (!makeEngine)
        throw SpreadsheetError(QStringLiteral("没有可用的电子表格程序。"));
    std::unique_ptr<SpreadsheetEngine> engine = makeEngine();
    engine->open(path, true);
    ImportSheet sheet;
    // What the sheet shows of a number or a date is not always what was typed.
    sheet.numbers = engine->numberCells();

    // The whole sheet in one call where the engine can write it as CSV.
    // The sheet as plain text holds personal data: a folder that a later
    // start removes should this run be killed.
    QTemporaryDir scratch(RunFolderTemplate(QStringLiteral("import")));
    if (scratch.isValid()) {
        const QString csv = scratch.filePath(QStringLiteral("sheet.csv"));
        bool exported = true;
        try {
            engine->saveAsCsv(csv);
        } catch (const SpreadsheetError &) {
            exported = false;   // read cell by cell below
        }
        QFile f(csv);
        if (exported && f.open(QIODevice::ReadOnly)) {
            sheet.rows = ParseCsv(f.readAll());
            engine->close();
            if (progress)
                progress(int(sheet.rows.size()), int(sheet.rows.size()));
            return sheet;
        }
    }

    // Cell by cell.
    const int last = engine->lastUsedRow();
    sheet.rows.reserve(last);
    for (int r = 1; r <= last; ++r) {
        QStringList row;
        row.reserve(columnCount);
        for (int c = 1; c <= columnCount; ++c)
            row << engine->text(r, c);
        sheet.rows << row;
        if (progress && (r % 100 == 0 || r == last))
            progress(r, last);
    }
    engine->close();
    return sheet;
}

}   // namespace ExpertImport
