#pragma once

#include "data/Database.h"
#include "data/Schema.h"

#include <QVariant>
#include <QVector>
#include <optional>

// A cursor over one table in Id order, with the operations the program's
// writers need: find a record by "field = value", add, edit, delete.
// Values always travel as bound parameters.
class Recordset {
public:
    Recordset(Connection &conn, const TableDef &table);

    bool eof() const
    {
        open();
        return m_eof;
    }
    void moveNext();

    // Current record's field as text; a null reads as "".
    QString field(int position) const;
    QString field(const QString &name) const;
    bool isNull(int position) const;

    // Moves to the first record (in Id order) whose field equals value.
    // Afterwards the cursor runs over the matching records only.
    void findFirst(const QString &fieldName, const QString &value);
    bool noMatch() const { return m_noMatch; }

    void addNew();
    void edit();
    void setField(int position, const QString &value);
    void update();
    void deleteCurrent();
    void close();

    const TableDef &table() const { return m_table; }

private:
    enum class Mode { Browse, Adding, Editing };
    // The whole table is read only when the cursor is first used: a writer
    // that finds its record or only adds never reads the rest.
    void open() const;
    int checkedIndex(const QString &name) const;

    Connection &m_conn;
    const TableDef &m_table;
    mutable std::optional<Statement> m_cursor;
    mutable bool m_opened = false;
    mutable bool m_eof = true;
    bool m_noMatch = false;
    Mode m_mode = Mode::Browse;
    QVector<QVariant> m_pending;
    QString m_editId;
};
