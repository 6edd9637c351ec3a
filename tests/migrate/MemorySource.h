#pragma once

#include "data/Schema.h"
#include "migrate/TableSource.h"

#include <QList>
#include <QString>

// Tables made in memory, standing in for an Access file.
class MemorySource : public Migrate::TableSource {
public:
    struct Table {
        QString name;
        QList<Migrate::SourceColumn> columns;
        QList<Migrate::SourceRow> rows;

        qsizetype column(const QString &columnName) const
        {
            for (qsizetype i = 0; i < columns.size(); ++i)
                if (columns[i].name == columnName)
                    return i;
            return -1;
        }
        // Sets the value of a column in the row whose first value is id.
        void set(const QString &id, const QString &columnName, const QVariant &value)
        {
            for (Migrate::SourceRow &row : rows)
                if (row.value(0).toString() == id)
                    row[column(columnName)] = value;
        }
        void dropColumn(const QString &columnName)
        {
            const qsizetype c = column(columnName);
            columns.removeAt(c);
            for (Migrate::SourceRow &row : rows)
                row.removeAt(c);
        }
        void addColumn(const QString &columnName, Migrate::ColumnType type, const QVariant &value)
        {
            columns.append({columnName, type});
            for (Migrate::SourceRow &row : rows)
                row.append(value);
        }
    };

    QString file = QStringLiteral("/旧系统/ProSys.mdb");
    QList<Table> tables;

    // A table with the fields of one of the program's tables, all text.
    Table &addTable(const TableDef &def, const QList<QStringList> &rows)
    {
        Table t{def.name, {}, {}};
        for (const QString &f : def.fields)
            t.columns.append({f, Migrate::ColumnType::Text});
        for (const QStringList &r : rows) {
            Migrate::SourceRow row;
            for (const QString &v : r)
                row.append(v);
            t.rows.append(row);
        }
        tables.append(t);
        return tables.last();
    }
    Table &table(const QString &name)
    {
        for (Table &t : tables)
            if (t.name == name)
                return t;
        throw Migrate::SourceError(QStringLiteral("no table ") + name);
    }
    void removeTable(const QString &name)
    {
        for (qsizetype i = 0; i < tables.size(); ++i)
            if (tables[i].name == name)
                tables.removeAt(i--);
    }

    QString fileName() const override { return file; }
    QStringList tableNames() const override
    {
        QStringList names;
        for (const Table &t : tables)
            names << t.name;
        return names;
    }
    QList<Migrate::SourceColumn> columns(const QString &name) const override { return find(name).columns; }
    qsizetype rowCount(const QString &name) const override { return find(name).rows.size(); }
    QList<Migrate::SourceRow> rows(const QString &name) const override { return find(name).rows; }

private:
    const Table &find(const QString &name) const
    {
        for (const Table &t : tables)
            if (t.name == name)
                return t;
        throw Migrate::SourceError(QStringLiteral("没有数据表 ") + name);
    }
};
