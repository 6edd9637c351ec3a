#include "admin/AuditLogView.h"

#include "data/ExpertRecord.h"
#include "data/Schema.h"
#include "data/Users.h"

#include <QDate>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Long lists in a detail (the experts of a deletion, the projects an entry
// covers) are cut to this many names and a count.
constexpr int kListedNames = 5;
const QString kSeparator = QStringLiteral("；");

QDate parseDate(const QString &text)
{
    const QString t = text.trimmed();
    for (const char *format : {"yyyy-MM-dd", "yyyy-M-d", "yyyy/M/d", "yyyyMMdd", "yyyy.M.d"}) {
        const QDate d = QDate::fromString(t, QString::fromLatin1(format));
        if (d.isValid())
            return d;
    }
    return {};
}

// The captions of the expert fields by their stored names ("Company_name"
// is "工作单位"); the fields without an input get their own.
const QHash<QString, QString> &expertFieldCaptions()
{
    static const QHash<QString, QString> captions = [] {
        QHash<QString, QString> c;
        const QStringList &names = Schema::ExpertMsg().fields;
        for (const ExpertFieldDef &f : ExpertFields()) {
            QString caption = QString::fromUtf8(f.captionText);
            caption.remove(QLatin1Char(' ')).remove(QStringLiteral("："));
            c.insert(names.value(f.field), caption);
        }
        c.insert(QStringLiteral("Id"), QStringLiteral("编号"));
        c.insert(QStringLiteral("area_id"), QStringLiteral("地区"));
        c.insert(QStringLiteral("Reg_date"), QStringLiteral("登记日期"));
        return c;
    }();
    return captions;
}

QString valueText(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Double: {
        const double d = v.toDouble();
        return d == double(qint64(d)) ? QString::number(qint64(d)) : QString::number(d);
    }
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QString();
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    }
    return QString();
}

QString namesText(const QStringList &names)
{
    if (names.size() <= kListedNames)
        return names.join(QStringLiteral("、"));
    return QStringLiteral("%1 等%2个").arg(names.mid(0, kListedNames).join(QStringLiteral("、"))).arg(names.size());
}

// A blank value (the file keeps an empty field as one space) shows as "（空）".
QString fieldValue(const QJsonValue &v)
{
    const QString t = valueText(v);
    return t.trimmed().isEmpty() ? QStringLiteral("（空）") : t;
}

// {"before": {...}, "after": {...}}: a new record lists what it holds, a
// change each field from old to new.
QStringList fieldChanges(const QJsonObject &before, const QJsonObject &after)
{
    const QHash<QString, QString> &captions = expertFieldCaptions();
    QStringList keys = after.keys();
    for (const QString &k : before.keys())
        if (!after.contains(k))
            keys << k;
    // In the order of the record's fields, as the editor shows them.
    const QStringList &order = Schema::ExpertMsg().fields;
    std::stable_sort(keys.begin(), keys.end(), [&](const QString &a, const QString &b) {
        const qsizetype ia = order.indexOf(a), ib = order.indexOf(b);
        return (ia < 0 ? order.size() : ia) < (ib < 0 ? order.size() : ib);
    });
    QStringList parts;
    for (const QString &k : keys) {
        const QString name = captions.value(k, k);
        if (before.isEmpty()) {
            if (!valueText(after.value(k)).trimmed().isEmpty())
                parts << QStringLiteral("%1：%2").arg(name, valueText(after.value(k)));
        } else {
            parts << QStringLiteral("%1：%2 → %3").arg(name, fieldValue(before.value(k)), fieldValue(after.value(k)));
        }
    }
    return parts;
}

QString userChangeText(const QString &change)
{
    static const QHash<QString, QString> words{
        {QStringLiteral("add"), QStringLiteral("新增用户")},
        {QStringLiteral("change_role"), QStringLiteral("修改权限")},
        {QStringLiteral("reset_password"), QStringLiteral("重设密码")},
        {QStringLiteral("delete"), QStringLiteral("删除用户")},
        {QStringLiteral("unlock"), QStringLiteral("解除锁定")},
    };
    return words.value(change, change);
}

QString roleText(const QJsonValue &v)
{
    const int role = v.toInt(-1);
    const QStringList names = RoleNameList();
    return role >= 0 && role < names.size() ? names.at(role) : QString();
}

}   // namespace

QStringList AuditKindItems()
{
    QStringList items{kAllKinds};
    for (const QString &kind : AuditKind::All())
        items << AuditKind::Caption(kind);
    return items;
}

Result<AuditFilter> ParseAuditCriteria(const QString &from, const QString &to, const QString &operatorName,
                                       const QString &kindCaption)
{
    AuditFilter filter;
    const QString dateHelp = QStringLiteral("请输入正确的日期，如 %1。").arg(QDate(2026, 5, 1).toString(Qt::ISODate));
    if (!from.trimmed().isEmpty()) {
        filter.from = parseDate(from);
        if (!filter.from.isValid())
            return Result<AuditFilter>::fail(QStringLiteral("开始日期“%1”不是日期。").arg(from.trimmed()) + dateHelp);
    }
    if (!to.trimmed().isEmpty()) {
        filter.to = parseDate(to);
        if (!filter.to.isValid())
            return Result<AuditFilter>::fail(QStringLiteral("结束日期“%1”不是日期。").arg(to.trimmed()) + dateHelp);
    }
    if (filter.from.isValid() && filter.to.isValid() && filter.from > filter.to)
        return Result<AuditFilter>::fail(QStringLiteral("开始日期不能晚于结束日期。"));
    const QString who = operatorName.trimmed();
    if (who != kAllKinds)
        filter.operatorName = who;
    const QString caption = kindCaption.trimmed();
    if (!caption.isEmpty() && caption != kAllKinds) {
        for (const QString &kind : AuditKind::All())
            if (AuditKind::Caption(kind) == caption)
                filter.kind = kind;
        if (filter.kind.isEmpty())
            return Result<AuditFilter>::fail(QStringLiteral("没有“%1”这一类操作。").arg(caption));
    }
    return filter;
}

QString ReadableAuditDetail(const AuditEntry &entry)
{
    if (entry.detail.trimmed().isEmpty())
        return QString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(entry.detail.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return entry.detail;
    const QJsonObject d = doc.object();
    if (d.isEmpty())
        return QString();

    QStringList parts;
    if (d.contains(QLatin1String("before")) || d.contains(QLatin1String("after")))
        parts << fieldChanges(d.value(QLatin1String("before")).toObject(), d.value(QLatin1String("after")).toObject());

    for (auto it = d.begin(); it != d.end(); ++it) {
        const QString key = it.key();
        const QJsonValue v = it.value();
        if (key == QLatin1String("before") || key == QLatin1String("after"))
            continue;
        // Hashes that only the verifier reads.
        if (key == QLatin1String("trail_row") || key.endsWith(QLatin1String("_hash")))
            continue;
        if (key == QLatin1String(kCoversKey)) {
            // An entry about one project covers that project: nothing to add.
            QStringList ids = v.toObject().keys();
            ids.removeAll(entry.subject);
            if (!ids.isEmpty())
                parts << QStringLiteral("涉及项目：%1").arg(namesText(ids));
        } else if (key == QLatin1String(kCoversAllKey)) {
            parts << QStringLiteral("记下全库项目%1个").arg(v.toObject().size());
        } else if (key == QLatin1String("event")) {
            parts << QStringLiteral("事件：%1").arg(valueText(v));
        } else if (key == QLatin1String("rounds")) {
            parts << QStringLiteral("轮次：%1").arg(valueText(v));
        } else if (key == QLatin1String("experts")) {
            if (v.isArray()) {
                QStringList ids;
                for (const QJsonValue &id : v.toArray())
                    ids << valueText(id);
                parts << QStringLiteral("专家：%1").arg(namesText(ids));
            } else {
                parts << QStringLiteral("专家：%1人").arg(valueText(v));
            }
        } else if (key == QLatin1String("first")) {
            parts << QStringLiteral("首个编号：%1").arg(valueText(v));
        } else if (key == QLatin1String("last")) {
            parts << QStringLiteral("末个编号：%1").arg(valueText(v));
        } else if (key == QLatin1String("seq")) {
            parts << QStringLiteral("专家序号：%1").arg(valueText(v));
        } else if (key == QLatin1String("status")) {
            parts << QStringLiteral("出席情况：%1").arg(valueText(v));
        } else if (key == QLatin1String("change")) {
            parts << userChangeText(valueText(v));
        } else if (key == QLatin1String("name")) {
            if (!valueText(v).isEmpty())
                parts << QStringLiteral("用户名：%1").arg(valueText(v));
        } else if (key == QLatin1String("role")) {
            if (!roleText(v).isEmpty())
                parts << QStringLiteral("权限：%1").arg(roleText(v));
        } else if (key == QLatin1String("value")) {
            parts << QStringLiteral("值：%1").arg(valueText(v));
        } else if (key == QLatin1String("safety_copy")) {
            parts << QStringLiteral("安全副本：%1").arg(valueText(v));
        } else if (key == QLatin1String("replaced_head")) {
            parts << QStringLiteral("被替换的日志链头：%1").arg(valueText(v));
        } else if (key == QLatin1String("backup_head")) {
            parts << QStringLiteral("备份的日志链头：%1").arg(valueText(v));
        } else if (key == QLatin1String("head")) {
            parts << QStringLiteral("封存链头：%1").arg(valueText(v));
        } else if (key == QLatin1String("entries")) {
            parts << QStringLiteral("日志条数：%1").arg(valueText(v));
        } else if (key == QLatin1String("library")) {
            parts << QStringLiteral("数据库：%1").arg(valueText(v));
        } else {
            parts << QStringLiteral("%1：%2").arg(key, valueText(v));
        }
    }
    return parts.join(kSeparator);
}

QStringList AuditLogRow(const AuditEntry &e)
{
    // Stored as yyyy-MM-ddTHH:mm:ss; shown with a blank between date and time.
    QString at = e.at;
    if (at.size() > 10 && at.at(10) == QLatin1Char('T'))
        at[10] = QLatin1Char(' ');
    return {QString::number(e.seq),         at,        e.operatorName,
            AuditKind::Caption(e.kind),     e.subject, ReadableAuditDetail(e),
            AuditHead{e.seq, e.hash}.text()};
}

TextTable AuditLogRows(const QList<AuditEntry> &entries)
{
    TextTable rows;
    rows.reserve(entries.size());
    for (const AuditEntry &e : entries)
        rows.append(AuditLogRow(e));
    return rows;
}
