#include "data/Vocabulary.h"

#include "data/Tables.h"

const QStringList &StatusItems()
{
    static const QStringList items{kStatusEnabled, kStatusDisabled};
    return items;
}

const QStringList &KindItems()
{
    static const QStringList items{kKindRegular, kKindTemporary};
    return items;
}

const QStringList &SexItems()
{
    static const QStringList items{kSexMale, kSexFemale};
    return items;
}

const QStringList &StarGrades()
{
    static const QStringList grades{QStringLiteral("★☆☆☆☆"), QStringLiteral("★★☆☆☆"), QStringLiteral("★★★☆☆"),
                                    QStringLiteral("★★★★☆"), QStringLiteral("★★★★★")};
    return grades;
}

QString StarGrade(int grade) { return StarGrades().value(grade - 1); }

QStringList WithAllItem(const QStringList &items) { return QStringList{kAllItem} + items; }

QString ReferenceCode(qsizetype row) { return QStringLiteral("%1").arg(row, 2, 10, QLatin1Char('0')); }

qsizetype ReferenceRowForCode(const TextTable &table, const QString &code)
{
    bool ok = false;
    const qlonglong n = code.trimmed().toLongLong(&ok);
    if (!ok || n < 0 || n >= table.count())
        return -1;
    return qsizetype(n);
}

QString TitleNameForCode(const DataStore &store, const QString &code)
{
    const qsizetype row = ReferenceRowForCode(store.TitleTypeTable, code);
    return row < 0 ? QString() : store.TitleTypeTable.cell(row, 1).toString();
}

QString DegreeNameForCode(const DataStore &store, const QString &code)
{
    const qsizetype row = ReferenceRowForCode(store.DegreeTable, code);
    return row < 0 ? QString() : store.DegreeTable.cell(row, 1).toString();
}

QStringList EditorReferenceNames(const TextTable &table)
{
    QStringList names;
    for (qsizetype r = 1; r < table.count(); ++r)
        names << table.cell(r, 1).toString();
    return names;
}

QString DegreeCodeForPosition(int position) { return ReferenceCode(qsizetype(position) + 1); }

QString TitleIdForPosition(const DataStore &store, int position)
{
    const qsizetype row = qsizetype(position) + 1;
    if (position < 0 || row >= store.TitleTypeTable.count())
        return QString();
    return store.TitleTypeTable.cell(row, 0).toString();
}
