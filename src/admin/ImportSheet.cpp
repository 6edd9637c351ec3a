#include "admin/ImportSheet.h"

#include "files/RunFolders.h"
#include "sheets/CsvSheet.h"
#include "sheets/XlsxSheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace ExpertImport {

namespace {

// The import's callers take any reading failure as a SpreadsheetError.
QList<QStringList> RowsOrThrow(Result<QList<QStringList>> rows)
{
    if (!rows)
        throw ImportFileError(rows.message(), rows.detail());
    return std::move(rows).value();
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

const QString kChooseAnother =
    QStringLiteral("请选择填好的专家数据导入表（.xls、.xlsx、.ods 或 .csv 文件）后重新上传。");

// What a file plainly is by its first bytes when it is no spreadsheet at
// all; "" when it may be one. The spreadsheet program would load an image
// or a PDF into a drawing and answer in its own words.
QString OtherKindOfFile(const QByteArray &head)
{
    struct Signature {
        QByteArray start;
        const char *kind;
    };
    static const Signature signatures[] = {
        {QByteArray("\x89PNG\r\n\x1A\n", 8), "PNG 图片"},
        {QByteArray("\xFF\xD8\xFF", 3), "JPEG 图片"},
        {QByteArray("GIF87a"), "GIF 图片"},
        {QByteArray("GIF89a"), "GIF 图片"},
        {QByteArray("BM"), "BMP 图片"},
        {QByteArray("II*\0", 4), "TIFF 图片"},
        {QByteArray("MM\0*", 4), "TIFF 图片"},
        {QByteArray("%PDF-"), "PDF 文档"},
    };
    for (const Signature &s : signatures)
        if (head.startsWith(s.start))
            return QString::fromUtf8(s.kind);
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return QStringLiteral("WebP 图片");
    return QString();
}

// The file is there, readable and not plainly something else.
void CheckWorkbookFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ImportFileError(
            QStringLiteral("无法读取文件“%1”：请检查文件是否存在、是否有权限读取。").arg(native(path)),
            f.errorString());
    if (f.size() == 0)
        throw ImportFileError(QStringLiteral("文件“%1”是空的，其中没有任何数据。").arg(native(path)) + kChooseAnother,
                              QString());
    const QString kind = OtherKindOfFile(f.read(16));
    if (!kind.isEmpty())
        throw ImportFileError(QStringLiteral("文件“%1”是一个%2，不是电子表格，无法导入。").arg(native(path), kind) +
                                  kChooseAnother,
                              QString());
}

// The office's own messages are English, led by English words; ours (a
// workbook with an open password, for one) are already for the user. A
// file name in either may be anything.
bool IsForTheUser(const QString &message) { return !message.isEmpty() && message.front().unicode() >= 0x3000; }

ImportFileError OfficeFailure(const QString &path, const SpreadsheetError &e)
{
    if (e.message().startsWith(QLatin1String("Not a spreadsheet")))
        return ImportFileError(
            QStringLiteral("文件“%1”不是电子表格（可能是图片、文字文档等文件改了扩展名），无法导入。")
                    .arg(native(path)) +
                kChooseAnother,
            e.message());
    return ImportFileError(QStringLiteral("电子表格程序无法读取文件“%1”，它可能已损坏，或不是电子表格。"
                                          "请在电子表格程序中打开它，另存为新文件后重新上传。")
                               .arg(native(path)),
                           e.message());
}

ImportSheet ReadThroughOffice(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine,
                              const QString &path, int columnCount, const Progress &progress);
ImportSheet ReadWithEngine(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                           int columnCount, const Progress &progress);

}   // namespace

QList<QStringList> ParseCsv(const QByteArray &bytes) { return RowsOrThrow(ParseCsvSheet(bytes)); }

ImportSheet ReadWorkbook(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                         int columnCount, const Progress &progress)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        return {RowsOrThrow(ReadCsvSheet(path)), {}};
    }
    CheckWorkbookFile(path);
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
        // Should the office not read it either, what the direct reader
        // found is the better account.
        if (!makeEngine)
            throw ImportFileError(rows.message(), rows.detail());
        try {
            return ReadThroughOffice(makeEngine, path, columnCount, progress);
        } catch (const SpreadsheetError &e) {
            const auto *told = dynamic_cast<const ImportFileError *>(&e);
            const QString office = told && !told->detail().isEmpty() ? told->detail() : e.message();
            throw ImportFileError(rows.message(),
                                  rows.detail().isEmpty() ? office : rows.detail() + QLatin1Char('\n') + office);
        }
    }
    if (!makeEngine)
        throw SpreadsheetError(QStringLiteral("没有可用的电子表格程序。"));
    return ReadThroughOffice(makeEngine, path, columnCount, progress);
}

namespace {

// Through the spreadsheet program: every failure of the program is told
// in the user's words, the program's own kept as detail.
ImportSheet ReadThroughOffice(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine,
                              const QString &path, int columnCount, const Progress &progress)
{
    try {
        return ReadWithEngine(makeEngine, path, columnCount, progress);
    } catch (const ImportFileError &) {
        throw;
    } catch (const SpreadsheetError &e) {
        if (IsForTheUser(e.message()))
            throw;
        throw OfficeFailure(path, e);
    }
}

ImportSheet ReadWithEngine(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                           int columnCount, const Progress &progress)
{
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

}   // namespace

}   // namespace ExpertImport
