#include "admin/ExpertImport.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/ExpertRecord.h"
#include "files/XlsxSheet.h"
#include "data/RecordIds.h"
#include "data/Schema.h"
#include "data/Vocabulary.h"
#include "reports/SpreadsheetEngine.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <iconv.h>

namespace ExpertImport {

namespace {

// Captions compare without blanks and colons, so a heading retyped by hand
// still counts.
QString captionKey(const QString &text)
{
    QString key;
    for (const QChar c : text)
        if (!c.isSpace() && c != QChar(0xFF1A) && c != QLatin1Char(':'))
            key.append(c);
    return key;
}

QString limitNote(int width)
{
    if (width <= 0 || width >= 65535)
        return QString();
    return QStringLiteral("最多%1个字符（汉字算2个），超出部分不保存").arg(width);
}

} // namespace

QVector<Column> Columns(const DataStore &store)
{
    using namespace Schema;
    QVector<Column> columns;
    for (const ExpertFieldDef &f : ExpertFields()) {
        Column c;
        c.caption = QString::fromUtf8(f.captionText);
        c.caption.chop(1);   // the full-width colon
        c.field = f.field;
        c.width = ExpertFieldWidth(f.field);
        c.kind = f.kind == ExpertInputKind::Date ? Column::Date : Column::Text;
        switch (f.field) {
        // The lists of the expert editor, first item first.
        case E_Status:
            c.kind = Column::Choice;
            c.items = StatusItems();
            break;
        case E_Is_temp:
            c.kind = Column::Choice;
            c.items = KindItems();
            break;
        case E_star_number:
            c.kind = Column::Choice;
            c.items = StarGrades();
            break;
        case E_Sex:
            c.kind = Column::Choice;
            c.items = SexItems();
            break;
        case E_degree_type_id:
            c.kind = Column::Degree;
            c.items = EditorReferenceNames(store.DegreeTable);
            break;
        case E_zhicheng_id:
            c.kind = Column::Title;
            c.items = EditorReferenceNames(store.TitleTypeTable);
            break;
        default: break;
        }
        columns.append(c);
    }
    return columns;
}

QString ColumnLetter(int column)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

QList<QStringList> TemplateRows(const DataStore &store)
{
    const QVector<Column> columns = Columns(store);
    QStringList heading, notes;
    for (const Column &c : columns) {
        heading << c.caption;
        QString note;
        switch (c.kind) {
        case Column::Text:
            note = limitNote(c.width);
            break;
        case Column::Date:
            note = QStringLiteral("日期，格式：YYYY-MM-DD（如 1965-03-08）");
            break;
        case Column::Choice:
        case Column::Degree:
        case Column::Title:
            note = QStringLiteral("可选：%1；空白为“%2”").arg(c.items.join(QLatin1Char('/')), c.items.value(0));
            break;
        }
        notes << note;
    }
    notes[0] = kNoteMarker + QStringLiteral("必填；以“%1”或“%2”开头的行不导入").arg(kNoteMarker, kExampleMarker);

    auto pick = [](const QStringList &items, int i) {
        return items.isEmpty() ? QString() : items.value(qMin<int>(i, int(items.size()) - 1));
    };
    using namespace Schema;
    QStringList example;
    for (int c = 0; c < columns.size(); ++c) {
        const Column &col = columns[c];
        QString v;
        switch (col.field) {
        case E_Name: v = kExampleMarker + QStringLiteral("张三"); break;
        case E_Status: case E_Is_temp: case E_Sex: v = col.items.value(0); break;
        case E_star_number: case E_degree_type_id: case E_zhicheng_id: v = pick(col.items, 2); break;
        case E_birth_date: v = QStringLiteral("1965-03-08"); break;
        case E_province: v = QStringLiteral("北京"); break;
        case E_school_name: v = QStringLiteral("清华大学"); break;
        case E_graduate_date: v = QStringLiteral("1988-07-01"); break;
        case E_Profession: v = QStringLiteral("110101196503081234");
            notes[c] = QStringLiteral("请按文本填写，以免长数字被改写");
            break;
        case E_Company_name: v = QStringLiteral("北京市建筑设计研究院"); break;
        case E_Position: v = QStringLiteral("总工程师"); break;
        case E_cong_shi_zhuanye: v = QStringLiteral("建筑结构"); break;
        case E_type: v = QStringLiteral("工程类"); break;
        case E_resource_industry: v = QStringLiteral("建筑工程"); break;
        case E_zige_name: v = QStringLiteral("一级注册结构工程师"); break;
        case E_zige_gettime: v = QStringLiteral("2001-05-20"); break;
        case E_pinren_time: v = QStringLiteral("2003-09-01"); break;
        case E_Mobile: v = QStringLiteral("13800138000"); break;
        case E_email: v = QStringLiteral("zhangsan@example.com"); break;
        case E_Zip_code: v = QStringLiteral("100045"); break;
        case E_Address: v = QStringLiteral("北京市西城区南礼士路62号"); break;
        case E_Resume: v = QStringLiteral("1988年至今在北京市建筑设计研究院从事结构设计。"); break;
        case E_Main_project: v = QStringLiteral("主持多项大型公共建筑的结构设计。"); break;
        default: break;
        }
        example << v;
    }
    return {heading, notes, example};
}

CheckResult CheckRows(const QList<QStringList> &sheetRows, const DataStore &store, const QDate &today)
{
    CheckResult result;
    const QVector<Column> columns = Columns(store);
    if (sheetRows.isEmpty()) {
        result.isImportSheet = false;
        return result;
    }
    const QStringList &heading = sheetRows.first();
    for (int c = 0; c < columns.size(); ++c) {
        if (captionKey(heading.value(c)) != captionKey(columns[c].caption)) {
            result.isImportSheet = false;
            return result;
        }
    }

    for (int i = 1; i < sheetRows.size(); ++i) {
        const QStringList &cells = sheetRows[i];
        const int sheetRow = i + 1;
        bool blank = true;
        for (int c = 0; c < columns.size() && blank; ++c)
            blank = cells.value(c).trimmed().isEmpty();
        if (blank)
            continue;
        const QString name = cells.value(0).trimmed();
        if (name.startsWith(kNoteMarker) || name.startsWith(kExampleMarker))
            continue;
        if (result.firstDataRow == 0)
            result.firstDataRow = sheetRow;

        ExpertFormValues values;
        const int before = int(result.problems.size());
        auto problem = [&](int c, const QString &what) {
            result.problems << QStringLiteral("第%1行第%2列“%3”：%4")
                                   .arg(sheetRow)
                                   .arg(ColumnLetter(c + 1), captionKey(columns[c].caption), what);
        };
        for (int c = 0; c < columns.size(); ++c) {
            const Column &col = columns[c];
            const QString value = cells.value(c).trimmed();
            if (col.kind == Column::Text || col.kind == Column::Date) {
                values.byField[col.field] = value;
                continue;
            }
            // An empty list value takes the list's first item, as the
            // editor's cleared form does.
            const qsizetype pos = value.isEmpty() ? 0 : col.items.indexOf(value);
            if (col.items.isEmpty() && value.isEmpty())
                continue;
            if (pos < 0 || pos >= col.items.size()) {
                problem(c, QStringLiteral("“%1”不是可选的值（%2）。").arg(value, col.items.join(QLatin1Char('/'))));
                continue;
            }
            if (col.kind == Column::Choice)
                values.byField[col.field] = col.items[pos];
            else if (col.kind == Column::Degree)
                values.byField[col.field] = DegreeCodeForPosition(int(pos));
            else
                values.byField[col.field] = TitleIdForPosition(store, int(pos));
        }
        const std::optional<ExpertRecordBuffer> buffer = GatherExpertFields(values, today);
        if (!buffer)
            problem(0, QStringLiteral("必须填写专家姓名。"));
        if (result.problems.size() == before)
            result.records.append(buffer->storedFields());
    }
    return result;
}

Outcome AddExperts(DataStore &store, const QList<QStringList> &records, const Progress &progress)
{
    const int total = int(records.size());
    QStringList ids;
    ids.reserve(total);
    try {
        Connection conn = OpenDataFile(store);
        {
            // One statement and one transaction for all rows: fast, and all or nothing.
            Transaction tx(conn);
            // Numbers continue after the experts in the file as it is now;
            // the table is read again only when the file has changed under it.
            if (!ExpertTableMatchesFile(conn, store))
                LoadExperts(store);
            ExpertWriter writer(conn);
            for (int k = 0; k < total; ++k) {
                ids.append(NextRecordId(store.ExpertTable, k + 1));
                writer.insert(ids.last(), records[k]);
                if (progress && (k % 250 == 0 || k + 1 == total))
                    progress(k + 1, total);
            }
            tx.commit();
        }
        conn.close();
    } catch (const DbError &e) {
        return {false, QStringLiteral("上传专家数据失败，没有导入任何专家：\n") + e.message()};
    }
    // The new experts join the table; the rest of it is as the file holds it.
    RefreshExperts(store, ids);
    return {true, QStringLiteral("上传专家数据成功，共导入 %1 位专家。").arg(total)};
}

QString RefusalText(const CheckResult &check, const DataStore &store)
{
    if (!check.isImportSheet)
        return QStringLiteral("所选文件不是专家数据导入表：第1行应为导入表的标题行（%1……）。\n"
                              "请先下载专家数据导入表，按表中的项目填写后再上传。")
            .arg(Columns(store).first().caption);
    if (!check.problems.isEmpty()) {
        constexpr int kShown = 10;
        QString text = QStringLiteral("导入表中有 %1 处错误，没有导入任何专家数据。请改正后重新上传：")
                           .arg(check.problems.size());
        for (int i = 0; i < qMin<int>(kShown, check.problems.size()); ++i)
            text += QLatin1Char('\n') + check.problems[i];
        if (check.problems.size() > kShown)
            text += QStringLiteral("\n……");
        return text;
    }
    if (check.records.isEmpty())
        return QStringLiteral("导入表中没有专家数据，没有导入任何专家。");
    return QString();
}

Outcome ImportRows(DataStore &store, const QDate &today, const QList<QStringList> &sheetRows, const Progress &progress)
{
    const CheckResult check = CheckRows(sheetRows, store, today);
    const QString refusal = RefusalText(check, store);
    if (!refusal.isEmpty())
        return {false, refusal};
    return AddExperts(store, check.records, progress);
}

void WriteTemplate(SpreadsheetEngine &engine, const QString &path, const DataStore &store)
{
    const QList<QStringList> rows = TemplateRows(store);
    const int columns = int(rows.first().size());
    engine.create();
    engine.setTexts(1, 1, rows);
    CellFormat heading;
    heading.setBold = true;
    heading.bold = true;
    heading.borders = true;
    heading.align = CellFormat::Align::Center;
    heading.background = 0xDCDCDC;
    engine.setFormat(1, 1, 1, columns, heading);
    CellFormat notes;
    notes.wrap = true;
    notes.borders = true;
    engine.setFormat(2, 1, 2, columns, notes);
    for (int c = 1; c <= columns; ++c)
        engine.setColumnWidth(c, c >= columns - 1 ? 8000 : 3500);
    engine.saveAsXls(path);
    engine.close();
}

namespace {

QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Not UTF-8: a CSV saved by Excel on a Chinese system is in GBK.
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == iconv_t(-1))
        return text;
    QByteArray in = bytes, out(bytes.size() * 2 + 16, '\0');
    char *inPtr = in.data(), *outPtr = out.data();
    size_t inLeft = size_t(in.size()), outLeft = size_t(out.size());
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1))
        return text;
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

} // namespace

QList<QStringList> ParseCsv(const QByteArray &bytes)
{
    const QString text = decodeText(bytes);
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    cell.append(ch);
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell.append(ch);
            }
            continue;
        }
        if (ch == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (ch == QLatin1Char(',')) {
            row << cell;
            cell.clear();
            any = true;
        } else if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
            any = false;
        } else {
            cell.append(ch);
            any = true;
        }
    }
    if (any || !cell.isEmpty()) {
        row << cell;
        rows << row;
    }
    return rows;
}

QList<QStringList> ReadSheet(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine,
                             const QString &path, int columnCount, const Progress &progress)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw SpreadsheetError(QStringLiteral("无法读取文件“%1”：%2").arg(path, f.errorString()));
        return ParseCsv(f.readAll());
    }
    // An .xlsx workbook is read straight from its XML: the office takes
    // tens of seconds to load 50,000 rows. One the reader does not
    // understand goes to the office as the other formats do.
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0) {
        QList<QStringList> rows;
        QString problem;
        if (ReadXlsxSheet(path, columnCount, &rows, &problem, progress))
            return rows;
    }
    if (!makeEngine)
        throw SpreadsheetError(QStringLiteral("没有可用的电子表格程序。"));
    std::unique_ptr<SpreadsheetEngine> engine = makeEngine();
    engine->open(path, true);

    // The whole sheet in one call where the engine can write it as CSV.
    QTemporaryDir scratch;
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
            QList<QStringList> rows = ParseCsv(f.readAll());
            for (QStringList &row : rows)
                row.resize(columnCount);
            engine->close();
            if (progress)
                progress(int(rows.size()), int(rows.size()));
            return rows;
        }
    }

    const int last = engine->lastUsedRow();
    QList<QStringList> rows;
    rows.reserve(last);
    for (int r = 1; r <= last; ++r) {
        QStringList row;
        row.reserve(columnCount);
        for (int c = 1; c <= columnCount; ++c)
            row << engine->text(r, c);
        rows << row;
        if (progress && (r % 100 == 0 || r == last))
            progress(r, last);
    }
    engine->close();
    return rows;
}

} // namespace ExpertImport
