#include "admin/ExpertImport.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/RecordIds.h"
#include "data/Schema.h"
#include "data/TextWidth.h"
#include "reports/SpreadsheetEngine.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <iconv.h>

namespace ExpertImport {

namespace {

// The lists of the expert editor, first item first.
const QStringList kStatusItems{QStringLiteral("启用"), QStringLiteral("停用")};
const QStringList kKindItems{QStringLiteral("正式"), QStringLiteral("临时")};
const QStringList kSexItems{QStringLiteral("男"), QStringLiteral("女")};
const QStringList kStarItems{QStringLiteral("★☆☆☆☆"), QStringLiteral("★★☆☆☆"), QStringLiteral("★★★☆☆"),
                             QStringLiteral("★★★★☆"), QStringLiteral("★★★★★")};

// Names of rows 1..count-1 of a reference table, as the editor offers them.
QStringList offeredNames(const TextTable &table)
{
    QStringList names;
    for (qsizetype r = 1; r < table.count(); ++r)
        names << table.cell(r, 1);
    return names;
}

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
    return {
        {QStringLiteral("专家姓名"), E_Name, Column::Text, 0, {}},
        {QStringLiteral("专家状态"), E_Status, Column::Choice, 0, kStatusItems},
        {QStringLiteral("专家性质"), E_Is_temp, Column::Choice, 0, kKindItems},
        {QStringLiteral("专家星级"), E_star_number, Column::Choice, 0, kStarItems},
        {QStringLiteral("性    别"), E_Sex, Column::Choice, 0, kSexItems},
        {QStringLiteral("出生时间"), E_birth_date, Column::Date, 0, {}},
        {QStringLiteral("城    市"), E_province, Column::Text, 0, {}},
        {QStringLiteral("学    历"), E_degree_type_id, Column::Degree, 0, offeredNames(store.DegreeTable)},
        {QStringLiteral("毕业院校"), E_school_name, Column::Text, 0, {}},
        {QStringLiteral("毕业时间"), E_graduate_date, Column::Date, 0, {}},
        {QStringLiteral("身份证号"), E_Profession, Column::Text, 0, {}},
        {QStringLiteral("工作单位"), E_Company_name, Column::Text, 0, {}},
        {QStringLiteral("职    务"), E_Position, Column::Text, 0, {}},
        {QStringLiteral("职称级别"), E_zhicheng_id, Column::Title, 0, offeredNames(store.TitleTypeTable)},
        {QStringLiteral("从事专业"), E_cong_shi_zhuanye, Column::Text, 0, {}},
        {QStringLiteral("职称类别"), E_type, Column::Text, 255, {}},
        {QStringLiteral("参评专业"), E_resource_industry, Column::Text, 255, {}},
        {QStringLiteral("资格名称"), E_zige_name, Column::Text, 255, {}},
        {QStringLiteral("取资时间"), E_zige_gettime, Column::Date, 20, {}},
        {QStringLiteral("聘任时间"), E_pinren_time, Column::Date, 20, {}},
        {QStringLiteral("电话号码"), E_Mobile, Column::Text, 20, {}},
        {QStringLiteral("电子邮件"), E_email, Column::Text, 50, {}},
        {QStringLiteral("地    址"), E_Address, Column::Text, 255, {}},
        {QStringLiteral("邮    编"), E_Zip_code, Column::Text, 10, {}},
        {QStringLiteral("工作简历"), E_Resume, Column::Text, 65535, {}},
        {QStringLiteral("工程业绩"), E_Main_project, Column::Text, 65535, {}},
    };
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
    notes[10] = QStringLiteral("请按文本填写，以免长数字被改写");

    auto pick = [](const QStringList &items, int i) { return items.isEmpty() ? QString() : items.value(qMin<int>(i, items.size() - 1)); };
    const QStringList example{
        kExampleMarker + QStringLiteral("张三"), kStatusItems[0], kKindItems[0], kStarItems[2], kSexItems[0],
        QStringLiteral("1965-03-08"), QStringLiteral("北京"), pick(columns[7].items, 2), QStringLiteral("清华大学"),
        QStringLiteral("1988-07-01"), QStringLiteral("110101196503081234"), QStringLiteral("北京市建筑设计研究院"),
        QStringLiteral("总工程师"), pick(columns[13].items, 2), QStringLiteral("建筑结构"), QStringLiteral("工程类"),
        QStringLiteral("建筑工程"), QStringLiteral("一级注册结构工程师"), QStringLiteral("2001-05-20"),
        QStringLiteral("2003-09-01"), QStringLiteral("13800138000"), QStringLiteral("zhangsan@example.com"),
        QStringLiteral("北京市西城区南礼士路62号"), QStringLiteral("100045"),
        QStringLiteral("1988年至今在北京市建筑设计研究院从事结构设计。"),
        QStringLiteral("主持多项大型公共建筑的结构设计。")};
    return {heading, notes, example};
}

QString CompleteDate(const QString &text)
{
    QString s = text.trimmed();
    if (!s.isEmpty() && s.size() < 10 && s.size() >= 5 && s.at(4) == QLatin1Char('-')) {
        if (s.size() >= 7 && s.at(6) == QLatin1Char('-'))
            s = s.left(5) + QLatin1Char('0') + s.mid(5);
        if (s.size() == 9 && s.at(7) == QLatin1Char('-'))
            s = s.left(8) + QLatin1Char('0') + s.right(1);
    }
    return s;
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

    const QString regDate = CutToWidth(today.toString(QStringLiteral("yyyy-MM-dd")), 50);
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

        QStringList record(Schema::ExpertFieldCount - 1, QStringLiteral(" "));   // fields 1..28
        const int before = int(result.problems.size());
        auto problem = [&](int c, const QString &what) {
            result.problems << QStringLiteral("第%1行第%2列“%3”：%4")
                                   .arg(sheetRow)
                                   .arg(ColumnLetter(c + 1), captionKey(columns[c].caption), what);
        };
        for (int c = 0; c < columns.size(); ++c) {
            const Column &col = columns[c];
            const QString value = cells.value(c).trimmed();
            QString stored;
            switch (col.kind) {
            case Column::Text:
                stored = value;
                if (col.field == Schema::E_Name && value.isEmpty())
                    problem(c, QStringLiteral("必须填写专家姓名。"));
                break;
            case Column::Date:
                stored = CompleteDate(value);
                break;
            case Column::Choice:
            case Column::Degree:
            case Column::Title: {
                qsizetype pos = value.isEmpty() ? 0 : col.items.indexOf(value);
                if (col.items.isEmpty() && value.isEmpty())
                    break;
                if (pos < 0 || pos >= col.items.size()) {
                    problem(c, QStringLiteral("“%1”不是可选的值（%2）。").arg(value, col.items.join(QLatin1Char('/'))));
                    break;
                }
                if (col.kind == Column::Choice)
                    stored = col.items[pos];
                else if (col.kind == Column::Degree)
                    stored = QStringLiteral("%1").arg(pos + 1, 2, 10, QLatin1Char('0'));
                else
                    stored = store.TitleTypeTable.cell(pos + 1, 0);
                break;
            }
            }
            if (stored.isEmpty())
                continue;
            record[col.field - 1] = col.width > 0 ? CutToWidth(stored, col.width) : stored;
        }
        record[Schema::E_Reg_date - 1] = regDate;
        if (result.problems.size() == before)
            result.records.append(record);
    }
    return result;
}

MaintenanceOutcome AddExperts(AppState &state, const QList<QStringList> &records, const Progress &progress)
{
    const int total = int(records.size());
    try {
        // Numbers continue after the experts in the file as it is now.
        LoadExperts(state);
        Connection conn = OpenDataFile(state);
        Transaction tx(conn);
        const TableDef &def = Schema::ExpertMsg();
        QStringList marks;
        for (int i = 0; i < def.fields.size(); ++i)
            marks << QStringLiteral("?");
        Statement insert = conn.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(def.name, def.fields.join(','), marks.join(',')));
        for (int k = 0; k < total; ++k) {
            insert.bind(1, NextRecordId(state.ExpertTable, k + 1));
            const QStringList &record = records[k];
            for (int f = 1; f < def.fields.size(); ++f)
                insert.bind(f + 1, record.value(f - 1, QStringLiteral(" ")));
            insert.step();
            insert.reset();
            if (progress && (k % 250 == 0 || k + 1 == total))
                progress(k + 1, total);
        }
        tx.commit();
        conn.close();
    } catch (const DbError &e) {
        return {false, QStringLiteral("上传专家数据失败，没有导入任何专家：\n") + e.message()};
    }
    LoadExperts(state);
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

MaintenanceOutcome ImportRows(AppState &state, const QList<QStringList> &sheetRows, const Progress &progress)
{
    const CheckResult check = CheckRows(sheetRows, state, state.today());
    const QString refusal = RefusalText(check, state);
    if (!refusal.isEmpty())
        return {false, refusal};
    return AddExperts(state, check.records, progress);
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
    if (!makeEngine)
        throw SpreadsheetError(QStringLiteral("没有可用的电子表格程序。"));
    std::unique_ptr<SpreadsheetEngine> engine = makeEngine();
    engine->open(path, true);
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
