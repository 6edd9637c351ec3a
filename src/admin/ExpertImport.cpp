#include "admin/ExpertImport.h"

#include "data/AuditLog.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/ExpertRecord.h"
#include "data/RecordIds.h"
#include "data/Schema.h"
#include "data/TextWidth.h"
#include "data/Vocabulary.h"
#include "reports/SpreadsheetEngine.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>

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

// Where digits matter and a number cell would have changed them.
bool digitsMatter(int field)
{
    return field == Schema::E_Profession || field == Schema::E_Mobile || field == Schema::E_Zip_code;
}

QString limitNote(int width)
{
    if (width <= 0)
        return QString();
    return QStringLiteral("最多%1个字符（汉字算2个），超出时不能导入").arg(width);
}

}   // namespace

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
        c.oneLine = f.kind == ExpertInputKind::Text || f.kind == ExpertInputKind::Date;
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
        default:
            break;
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
            if (digitsMatter(c.field)) {
                const QString asText = QStringLiteral("请按文本填写，以免长数字被改写");
                note = note.isEmpty() ? asText : asText + QStringLiteral("；") + note;
            }
            break;
        case Column::Date:
            note = QStringLiteral("日期，格式：YYYY-MM-DD（如 1965-03-08）");
            break;
        case Column::Choice:
        case Column::Degree:
        case Column::Title:
            note = QStringLiteral("可选：%1；必须填写").arg(c.items.join(QLatin1Char('/')));
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
        case E_Name:
            v = kExampleMarker + QStringLiteral("张三");
            break;
        case E_Status:
        case E_Is_temp:
        case E_Sex:
            v = col.items.value(0);
            break;
        case E_star_number:
        case E_degree_type_id:
        case E_zhicheng_id:
            v = pick(col.items, 2);
            break;
        case E_birth_date:
            v = QStringLiteral("1965-03-08");
            break;
        case E_province:
            v = QStringLiteral("北京");
            break;
        case E_school_name:
            v = QStringLiteral("清华大学");
            break;
        case E_graduate_date:
            v = QStringLiteral("1988-07-01");
            break;
        case E_Profession:
            v = QStringLiteral("110101196503081234");
            break;
        case E_Company_name:
            v = QStringLiteral("北京市建筑设计研究院");
            break;
        case E_Position:
            v = QStringLiteral("总工程师");
            break;
        case E_cong_shi_zhuanye:
            v = QStringLiteral("建筑结构");
            break;
        case E_type:
            v = QStringLiteral("工程类");
            break;
        case E_resource_industry:
            v = QStringLiteral("建筑工程");
            break;
        case E_zige_name:
            v = QStringLiteral("一级注册结构工程师");
            break;
        case E_zige_gettime:
            v = QStringLiteral("2001-05-20");
            break;
        case E_pinren_time:
            v = QStringLiteral("2003-09-01");
            break;
        case E_Mobile:
            v = QStringLiteral("13800138000");
            break;
        case E_email:
            v = QStringLiteral("zhangsan@example.com");
            break;
        case E_Zip_code:
            v = QStringLiteral("100045");
            break;
        case E_Address:
            v = QStringLiteral("北京市西城区南礼士路62号");
            break;
        case E_Resume:
            v = QStringLiteral("1988年至今在北京市建筑设计研究院从事结构设计。");
            break;
        case E_Main_project:
            v = QStringLiteral("主持多项大型公共建筑的结构设计。");
            break;
        default:
            break;
        }
        example << v;
    }
    return {heading, notes, example};
}

namespace {

// The day number 0 of the spreadsheet programs' dates.
const QDate kDayZero(1899, 12, 30);
// Beyond this many digits a spreadsheet keeps a number only rounded.
constexpr double kExactDigitsLimit = 1e15;

// A number written the way a sheet shows a long number it has rounded.
bool looksRounded(const QString &text)
{
    static const QRegularExpression exponent(QStringLiteral("^[+-]?\\d+(\\.\\d+)?[Ee][+-]?\\d+$"));
    return exponent.match(text).hasMatch();
}

QString duplicateKey(const QString &name, const QString &mobile)
{
    return name.trimmed() + QLatin1Char('\n') + mobile.trimmed();
}

// A value as a message quotes it: one line, the start of a long one.
QString quoted(const QString &value)
{
    constexpr int kShown = 30;
    return value.size() > kShown ? value.left(kShown) + QStringLiteral("…") : value;
}

QString expertLabel(const QString &name, const QString &mobile)
{
    return mobile.trimmed().isEmpty() ? QStringLiteral("“%1”").arg(name.trimmed())
                                      : QStringLiteral("“%1”（%2）").arg(name.trimmed(), mobile.trimmed());
}

}   // namespace

CheckResult CheckSheet(const ImportSheet &sheet, const DataStore &store, const QDate &today)
{
    const QList<QStringList> &sheetRows = sheet.rows;
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

    // Columns the import table does not have are not imported: say which.
    qsizetype widest = 0;
    for (const QStringList &cells : sheetRows)
        widest = qMax(widest, cells.size());
    for (qsizetype c = columns.size(); c < widest; ++c) {
        bool filled = false;
        for (const QStringList &cells : sheetRows)
            filled = filled || !cells.value(c).trimmed().isEmpty();
        if (!filled)
            continue;
        const QString caption = heading.value(c).trimmed();
        result.extraColumns << (caption.isEmpty()
                                    ? QStringLiteral("第%1列").arg(ColumnLetter(int(c) + 1))
                                    : QStringLiteral("第%1列“%2”").arg(ColumnLetter(int(c) + 1), caption));
    }

    QHash<QPair<int, int>, NumberCell> numbers;
    for (const NumberCell &n : sheet.numbers)
        numbers.insert({n.row, n.column}, n);
    QHash<QString, QString> inLibrary;
    const TextTable &experts = store.ExpertTable;
    for (qsizetype r = 0; r < experts.count(); ++r)
        inLibrary.insert(
            duplicateKey(experts.cell(r, Schema::E_Name).toString(), experts.cell(r, Schema::E_Mobile).toString()),
            experts.cell(r, Schema::E_Id).toString());
    QHash<QString, int> inSheet;

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
        auto cellName = [&](int c) {
            return QStringLiteral("第%1行第%2列“%3”")
                .arg(sheetRow)
                .arg(ColumnLetter(c + 1), captionKey(columns[c].caption));
        };
        auto problem = [&](int c, const QString &what) {
            result.problems << cellName(c) + QStringLiteral("：") + what;
        };
        QStringList joined;
        const QString retype = QStringLiteral("单元格中是数字，电子表格已把它改写（长数字被舍入、开头的0被去掉）。"
                                              "请把此列设为文本格式，重新输入后再上传。");
        for (int c = 0; c < columns.size(); ++c) {
            const Column &col = columns[c];
            // A cell as long as a spreadsheet cell can be was most likely
            // cut when it was pasted or saved; the rest of it is lost.
            if (cells.value(c).size() == kSheetCellLimit) {
                problem(c, QStringLiteral("单元格中正好有%1个字符，这是电子表格一个单元格能存的最多字符数，"
                                          "内容很可能已被电子表格程序截断。请删减到%1个字符以内后重新上传。")
                               .arg(kSheetCellLimit));
                continue;
            }
            QString value = cells.value(c).trimmed();
            const auto number = numbers.constFind({sheetRow, c + 1});
            if (number != numbers.constEnd() && !value.isEmpty()) {
                if (number->date) {
                    value = kDayZero.addDays(qint64(std::floor(number->value))).toString(kStoredDateFormat);
                } else if (digitsMatter(col.field) || std::fabs(number->value) >= kExactDigitsLimit) {
                    problem(c, retype);
                    continue;
                } else if (number->value == std::floor(number->value)) {
                    value = QString::number(qint64(number->value));
                }
            } else if (looksRounded(value)) {
                problem(c, retype);
                continue;
            }
            if (col.kind == Column::Text || col.kind == Column::Date) {
                // The editor keeps these on one line: a line break becomes
                // a space, and the user is told so.
                if (col.oneLine) {
                    const QString line = OneLine(value);
                    if (line != value)
                        joined << cellName(c) + QStringLiteral("：换行已改为空格，导入为“%1”").arg(quoted(line));
                }
                values.byField[col.field] = value;
                continue;
            }
            if (col.items.isEmpty() && value.isEmpty())
                continue;
            // An empty list cell says nothing: its first item would make an
            // expert of unknown state 启用 and drawable.
            if (value.isEmpty()) {
                problem(c,
                        QStringLiteral("没有填写。请填写可选的值之一（%1）。").arg(col.items.join(QLatin1Char('/'))));
                continue;
            }
            const qsizetype pos = col.items.indexOf(value);
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
        if (!buffer) {
            problem(0, QStringLiteral("必须填写专家姓名。"));
            continue;
        }
        // A value cut to its field's width would be stored changed.
        for (int c = 0; c < columns.size(); ++c) {
            const int width = columns[c].width;
            const QString &entry = buffer->entry[columns[c].field];
            if (width > 0 && CutToWidth(entry, width) != entry)
                problem(c, QStringLiteral("内容超过了%1个字符的长度限制（汉字算2个），请删减后重新上传。").arg(width));
        }
        if (result.problems.size() != before)
            continue;
        result.records.append(buffer->storedFields());
        result.joinedLines += joined;

        const QString &expertName = buffer->entry[Schema::E_Name];
        const QString &mobile = buffer->entry[Schema::E_Mobile];
        const QString key = duplicateKey(expertName, mobile);
        if (inLibrary.contains(key))
            result.duplicates << QStringLiteral("第%1行：%2已在专家库中（编号 %3）")
                                     .arg(sheetRow)
                                     .arg(expertLabel(expertName, mobile), inLibrary.value(key));
        else if (inSheet.contains(key))
            result.duplicates << QStringLiteral("第%1行：%2与第%3行是同一位专家")
                                     .arg(sheetRow)
                                     .arg(expertLabel(expertName, mobile))
                                     .arg(inSheet.value(key));
        else
            inSheet.insert(key, sheetRow);
    }
    return result;
}

CheckResult CheckRows(const QList<QStringList> &sheetRows, const DataStore &store, const QDate &today)
{
    return CheckSheet({sheetRows, {}}, store, today);
}

QString NoticeText(const CheckResult &check)
{
    auto list = [](const QStringList &items) {
        constexpr int kShown = 10;
        QString text;
        for (int i = 0; i < qMin<int>(kShown, items.size()); ++i)
            text += QLatin1Char('\n') + items[i];
        if (items.size() > kShown)
            text += QStringLiteral("\n……共 %1 处").arg(items.size());
        return text;
    };
    QString text;
    if (!check.extraColumns.isEmpty())
        text += QStringLiteral("以下列不是导入表的项目，其中的内容不会导入：") + list(check.extraColumns) +
                QLatin1Char('\n');
    if (!check.duplicates.isEmpty())
        text += QStringLiteral("以下专家（姓名和电话号码相同）已在专家库中或在表中重复，上传后将再添加一次：") +
                list(check.duplicates) + QLatin1Char('\n');
    if (!check.joinedLines.isEmpty())
        text += QStringLiteral("以下单元格只能有一行，其中的换行（或制表符）上传后将改为空格：") +
                list(check.joinedLines) + QLatin1Char('\n');
    return text;
}

Outcome AddExperts(DataStore &store, const QList<QStringList> &records, const Progress &progress)
{
    const int total = int(records.size());
    QStringList ids;
    ids.reserve(total);
    try {
        Connection &conn = LibraryConnection(store);
        {
            // One statement and one transaction for all rows: fast, and all or nothing.
            Transaction tx(conn);
            // Numbers continue after the experts in the file as it is now.
            const qlonglong base = HighestRecordNumber(conn, Schema::ExpertMsg());
            ExpertWriter writer(conn);
            for (int k = 0; k < total; ++k) {
                ids.append(RecordIdText(base + k + 1));
                writer.insert(ids.last(), records[k]);
                if (progress && (k % 250 == 0 || k + 1 == total))
                    progress(k + 1, total);
            }
            AppendAudit(conn, store.operatorName, AuditKind::ExpertImport, QString(),
                        {{"experts", total}, {"first", ids.value(0)}, {"last", ids.value(total - 1)}});
            tx.commit();
        }
    } catch (const DbError &e) {
        return Outcome::fail(QStringLiteral("上传专家数据失败，没有导入任何专家：\n") + e.sentence(), e.detail());
    }
    // The new experts join the table; the rest of it is as the file holds it.
    if (const Outcome refreshed = RefreshExperts(store, ids); !refreshed)
        return refreshed.prefixed(
            QStringLiteral("上传专家数据成功，共导入 %1 位专家，但专家列表未能刷新：\n").arg(total));
    return Outcome::success(QStringLiteral("上传专家数据成功，共导入 %1 位专家。").arg(total));
}

QString RefusalText(const CheckResult &check, const DataStore &store)
{
    if (!check.isImportSheet)
        return QStringLiteral("所选文件不是专家数据导入表：第1行应为导入表的标题行（%1……）。\n"
                              "请先下载专家数据导入表，按表中的项目填写后再上传。")
            .arg(Columns(store).first().caption);
    if (!check.problems.isEmpty()) {
        constexpr int kShown = 10;
        QString text =
            QStringLiteral("导入表中有 %1 处错误，没有导入任何专家数据。请改正后重新上传：").arg(check.problems.size());
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
        return Outcome::fail(refusal);
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

ImportSheet ReadImportSheet(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                            const Progress &progress)
{
    // One column more than the import table has, enough to tell that a
    // sheet has columns the import does not take.
    return ReadWorkbook(makeEngine, path, int(ExpertFields().size()) + 1, progress);
}

Outcome WriteTemplateFile(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                          const DataStore &store)
{
    try {
        std::unique_ptr<SpreadsheetEngine> engine = makeEngine();
        WriteTemplate(*engine, path, store);
    } catch (const SpreadsheetError &e) {
        return Outcome::fail(e.message());
    }
    return Outcome::success();
}

Result<ImportSheet> ReadImportFile(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine,
                                   const QString &path, const Progress &progress)
{
    try {
        return ReadImportSheet(makeEngine, path, progress);
    } catch (const SpreadsheetError &e) {
        const auto *told = dynamic_cast<const ImportFileError *>(&e);
        return Result<ImportSheet>::fail(e.message(), told ? told->detail() : QString());
    }
}

QList<QStringList> ReadSheet(const std::function<std::unique_ptr<SpreadsheetEngine>()> &makeEngine, const QString &path,
                             int columnCount, const Progress &progress)
{
    QList<QStringList> rows = ReadImportSheet(makeEngine, path, progress).rows;
    for (QStringList &row : rows)
        row.resize(columnCount);
    return rows;
}

}   // namespace ExpertImport
