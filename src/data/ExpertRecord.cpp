#include "data/ExpertRecord.h"

#include "data/AuditLog.h"
#include "data/DbError.h"

#include <QJsonArray>

#include "data/ProjectLinks.h"
#include "data/RecordIds.h"
#include "data/Recordset.h"
#include "data/TextWidth.h"

#include <QSet>

using namespace Schema;

namespace {
using K = ExpertInputKind;
const QString kBlank = QStringLiteral(" ");
}   // namespace

const std::array<ExpertFieldDef, 26> &ExpertFields()
{
    // Captions of two characters carry four blanks between them.
    static const std::array<ExpertFieldDef, 26> fields{{
        {0, "专家姓名：", E_Name, K::Text, 0, nullptr, 1, 0, 0},
        {4, "性    别：", E_Sex, K::List, -1, "com_Sex", 1, 1, 0},
        {1, "专家状态：", E_Status, K::List, -1, "com_Sta", 1, 2, 0},
        {2, "专家性质：", E_Is_temp, K::List, -1, "com_Lin", 1, 3, 0},

        {5, "出生时间：", E_birth_date, K::Date, 5, nullptr, 2, 0, 0},
        {7, "城    市：", E_province, K::Text, 1, nullptr, 2, 1, 0},
        {8, "学    历：", E_degree_type_id, K::List, -1, "com_Degree", 2, 2, 0},
        {11, "身份证号：", E_Profession, K::Text, 11, nullptr, 2, 3, 0},

        {9, "毕业院校：", E_school_name, K::Text, 9, nullptr, 3, 0, 0},
        {10, "毕业时间：", E_graduate_date, K::Date, 10, nullptr, 3, 1, 0},
        {12, "工作单位：", E_Company_name, K::Text, 12, nullptr, 3, 2, 0},
        {13, "职    务：", E_Position, K::Text, 13, nullptr, 3, 3, 0},

        {15, "从事专业：", E_cong_shi_zhuanye, K::Text, 15, nullptr, 4, 0, 0},
        {16, "职称类别：", E_type, K::Text, 3, nullptr, 4, 1, 0},
        {14, "职称级别：", E_zhicheng_id, K::List, -1, "com_Zhicheng", 4, 2, 0},
        {3, "专家星级：", E_star_number, K::List, -1, "com_Star", 4, 3, 0},

        {18, "参评专业：", E_resource_industry, K::Text, 2, nullptr, 5, 0, 0},
        {17, "资格名称：", E_zige_name, K::Text, 4, nullptr, 5, 1, 0},
        {20, "取资时间：", E_zige_gettime, K::Date, 20, nullptr, 5, 2, 0},
        {23, "聘任时间：", E_pinren_time, K::Date, 23, nullptr, 5, 3, 0},

        {21, "电话号码：", E_Mobile, K::Text, 21, nullptr, 6, 0, 0},
        {24, "电子邮件：", E_email, K::Text, 24, nullptr, 6, 1, 4575},
        {22, "邮    编：", E_Zip_code, K::Text, 22, nullptr, 6, 3, 0},

        {25, "地    址：", E_Address, K::Text, 25, nullptr, 7, 0, 10355},

        {26, "工作简历：", E_Resume, K::MultiLine, 26, nullptr, 8, 0, 10335},
        {27, "工程业绩：", E_Main_project, K::MultiLine, 27, nullptr, 9, 0, 10335},
    }};
    return fields;
}

const ExpertFieldDef *ExpertFieldForPosition(int field)
{
    for (const ExpertFieldDef &f : ExpertFields())
        if (f.field == field)
            return &f;
    return nullptr;
}

int ExpertFieldWidth(int field)
{
    switch (field) {
    case E_type:
    case E_resource_industry:
    case E_zige_name:
    case E_Address:
        return 255;
    case E_zige_gettime:
    case E_pinren_time:
    case E_Mobile:
        return 20;
    case E_email:
    case E_Reg_date:
        return 50;
    case E_Zip_code:
        return 10;
    case E_Resume:
    case E_Main_project:
        return 65535;
    default:
        return 0;
    }
}

QString NormalizeDateText(const QString &text)
{
    // Work on whole characters, so that a character outside the BMP counts once.
    QList<uint> s = text.trimmed().toUcs4();
    const uint dash = '-';
    if (!s.isEmpty() && s.size() >= 5 && s[4] == dash && s.size() < 10) {
        if (s.size() >= 7 && s[6] == dash)   // one-digit month: 1965-3-8
            s.insert(5, uint('0'));
        if (s.size() == 9 && s[7] == dash)   // one-digit day: 1965-03-8
            s.insert(8, uint('0'));
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(s.constData()), s.size());
}

QString OneLine(const QString &text)
{
    QString line;
    line.reserve(text.size());
    bool inBreak = false;
    for (const QChar c : text) {
        // Line and paragraph breaks, tabs and other control characters.
        const bool breaks =
            c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        if (breaks) {
            if (!inBreak)
                line.append(QLatin1Char(' '));
            inBreak = true;
            continue;
        }
        inBreak = false;
        line.append(c);
    }
    return line.trimmed();
}

std::optional<ExpertRecordBuffer> GatherExpertFields(const ExpertFormValues &values, const QDate &today)
{
    const QString name = OneLine(values.byField[E_Name]);
    if (name.isEmpty())
        return std::nullopt;

    ExpertRecordBuffer b;
    b.entry.fill(kBlank);
    for (const ExpertFieldDef &f : ExpertFields()) {
        const QString &raw = values.byField[f.field];
        QString value;
        switch (f.kind) {
        case K::List:
            value = raw;   // list texts and codes are taken as they are
            break;
        case K::Date:
            value = NormalizeDateText(OneLine(raw));
            break;
        case K::Text:
            // A one-line box keeps one line, whatever was pasted into it.
            value = OneLine(raw);
            break;
        case K::MultiLine:
            value = raw.trimmed();
            break;
        }
        if (!value.isEmpty())
            b.entry[f.field] = value;
    }
    b.entry[E_Name] = name;
    b.entry[E_area_id] = kBlank;
    b.entry[E_Reg_date] = today.toString(kStoredDateFormat);
    return b;
}

QStringList ExpertRecordBuffer::storedFields() const
{
    QStringList out;
    for (int i = 1; i < ExpertFieldCount; ++i) {
        const int width = ExpertFieldWidth(i);
        out << (width > 0 ? CutToWidth(entry[i], width) : entry[i]);
    }
    return out;
}

QStringList ExpertRecordBuffer::drawListRow(const QString &id) const
{
    return {id,
            entry[E_Name],
            entry[E_Sex],
            entry[E_birth_date],
            entry[E_Company_name],
            entry[E_cong_shi_zhuanye],
            entry[E_zige_name],
            entry[E_Mobile]};
}

static void writeFields(Recordset &rs, const ExpertRecordBuffer &record)
{
    const QStringList stored = record.storedFields();
    for (int i = 1; i < ExpertFieldCount; ++i)
        rs.setField(i, stored[i - 1]);
}

ExpertWriter::ExpertWriter(Connection &conn)
    : m_insert([&conn] {
          const TableDef &def = Schema::ExpertMsg();
          const QStringList marks(def.fields.size(), QStringLiteral("?"));
          return conn.prepare(
              QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(def.name, def.fields.join(','), marks.join(',')));
      }())
{
}

void ExpertWriter::insert(const QString &id, const QStringList &fields)
{
    m_insert.bind(1, id);
    for (int f = 1; f < ExpertFieldCount; ++f)
        m_insert.bind(f + 1, fields.value(f - 1, kBlank));
    m_insert.step();
    m_insert.reset();
}

// The record's former units, when it carries them, in the caller's
// transaction; a change goes into the log entry's detail.
static void writeFormerUnits(Connection &conn, const QString &id, const ExpertRecordBuffer &record, QJsonObject &detail)
{
    if (!record.formerUnits)
        return;
    const QList<FormerUnit> before = ReadFormerUnits(conn, id);
    QList<FormerUnit> after;
    for (const FormerUnit &u : *record.formerUnits)
        if (!u.unit.trimmed().isEmpty())
            after.append({u.unit.trimmed(), u.from.trimmed(), u.to.trimmed()});
    if (before == after)
        return;
    WriteFormerUnits(conn, id, after);
    const auto json = [](const QList<FormerUnit> &units) {
        QJsonArray a;
        for (const FormerUnit &u : units)
            a.append(QJsonArray{u.unit, u.from, u.to});
        return a;
    };
    detail.insert(QStringLiteral("former_units"), QJsonObject{{"before", json(before)}, {"after", json(after)}});
}

static QString addExpertRecord(const DataStore &store, const ExpertRecordBuffer &record)
{
    Connection &conn = LibraryConnection(store);
    // The number and the record are taken in one write: another program
    // cannot take the same number in between.
    Transaction tx(conn);
    const QString id = RecordIdText(HighestRecordNumber(conn, Schema::ExpertMsg()) + 1);
    {
        ExpertWriter writer(conn);
        writer.insert(id, record.storedFields());
    }
    QJsonObject detail = FieldChanges(Schema::ExpertMsg().fields, {}, QStringList{id} + record.storedFields());
    writeFormerUnits(conn, id, record, detail);
    AppendAudit(conn, store.operatorName, AuditKind::ExpertAdd, id, detail);
    tx.commit();
    return id;
}

Result<QString> AddExpertRecord(const DataStore &store, const ExpertRecordBuffer &record)
{
    return CatchDbError([&] { return addExpertRecord(store, record); });
}

bool UpdateExpertRecord(const DataStore &store, const QString &id, const ExpertRecordBuffer &record)
{
    const qsizetype row = FindExpertRow(store, id);
    const QStringList asRead = row >= 0 ? store.ExpertTable.row(row) : QStringList();
    return UpdateExpertAsRead(store, id, record, asRead) == ExpertUpdate::Updated;
}

ExpertUpdate UpdateExpertAsRead(const DataStore &store, const QString &id, const ExpertRecordBuffer &record,
                                const QStringList &asRead)
{
    Connection &conn = LibraryConnection(store);
    // Another program may have changed the record since it was read.
    const bool shared = conn.engine().sharedWithOthers();
    // One transaction on either engine: the change and its log entry.
    std::optional<Transaction> tx;
    tx.emplace(conn);
    Recordset rs(conn, Schema::ExpertMsg());
    rs.findFirst(QStringLiteral("Id"), id);
    if (rs.noMatch())
        return shared ? ExpertUpdate::Conflict : ExpertUpdate::Missing;
    if (shared) {
        if (asRead.size() != ExpertFieldCount)
            return ExpertUpdate::Conflict;
        for (int f = 0; f < ExpertFieldCount; ++f)
            if (rs.field(f) != asRead.at(f))
                return ExpertUpdate::Conflict;
    }
    QStringList before;
    for (int f = 0; f < ExpertFieldCount; ++f)
        before << rs.field(f);
    rs.edit();
    writeFields(rs, record);
    rs.update();   // one UPDATE of the whole record
    rs.close();
    QJsonObject detail = FieldChanges(Schema::ExpertMsg().fields, before, QStringList{id} + record.storedFields());
    writeFormerUnits(conn, id, record, detail);
    AppendAudit(conn, store.operatorName, AuditKind::ExpertChange, id, detail);
    if (tx)
        tx->commit();
    return ExpertUpdate::Updated;
}

qsizetype FindExpertRow(const DataStore &store, const QString &id)
{
    const TextTable &t = store.ExpertTable;
    for (qsizetype r = 0; r < t.count(); ++r)
        if (t.cell(r, E_Id) == id)
            return r;
    return -1;
}

QStringList SelectionIdsOfExperts(const DataStore &store, const QStringList &expertIds)
{
    const QSet<QString> experts(expertIds.begin(), expertIds.end());
    const TextTable &selections = store.SelectionTable;
    QStringList ids;
    for (qsizetype r = 0; r < selections.count(); ++r)
        if (experts.contains(selections.cell(r, 2).toString()))
            ids.append(selections.cell(r, 0).toString());
    return ids;
}

static ExpertDeletion deleteExpertsWithSelections(const DataStore &store, const QStringList &ids, const QDate &day)
{
    ExpertDeletion result;
    Connection &conn = LibraryConnection(store);
    {
        // Either every listed expert and all their extraction records go, or
        // nothing does: a missing expert must not leave half a deletion behind.
        Transaction tx(conn);
        Recordset experts(conn, Schema::ExpertMsg());
        for (qsizetype i = 0; i < ids.size(); ++i) {
            experts.findFirst(QStringLiteral("Id"), ids[i]);
            if (experts.noMatch()) {
                result.missingIndex = i;
                experts.close();
                return result;
            }
            experts.deleteCurrent();
        }
        experts.close();

        Statement selections = conn.prepare(QStringLiteral("DELETE FROM sel_expert WHERE Expert_Id = ?"));
        for (const QString &id : ids) {
            selections.bind(1, id);
            selections.step();
            selections.reset();
        }
        MarkProjectLinksRemoved(conn, ids, day);
        DeleteFormerUnits(conn, ids);
        AppendAudit(conn, store.operatorName, AuditKind::ExpertDelete, ids.join(QLatin1Char(',')),
                    {{"experts", QJsonArray::fromStringList(ids)}});
        tx.commit();
    }
    result.deleted = true;
    return result;
}

Result<ExpertDeletion> DeleteExpertsWithSelections(const DataStore &store, const QStringList &ids, const QDate &day)
{
    return CatchDbError([&] { return deleteExpertsWithSelections(store, ids, day); });
}
