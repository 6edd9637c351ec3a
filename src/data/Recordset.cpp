#include "data/Recordset.h"

#include "data/DbError.h"

Recordset::Recordset(Connection &conn, const TableDef &table) : m_conn(conn), m_table(table) {}

void Recordset::open() const
{
    if (m_opened)
        return;
    m_opened = true;
    m_cursor.emplace(m_conn.prepare(m_table.selectStatement()));
    m_eof = !m_cursor->step();
}

void Recordset::moveNext()
{
    open();
    if (m_eof)
        throw DbError(QStringLiteral("无当前记录。"));
    m_eof = !m_cursor->step();
}

int Recordset::checkedIndex(const QString &name) const
{
    const int i = m_table.fieldIndex(name);
    if (i < 0)
        throw DbError(QStringLiteral("数据表 %1 没有字段 %2。").arg(m_table.name, name));
    return i;
}

QString Recordset::field(int position) const
{
    open();
    if (m_eof)
        throw DbError(QStringLiteral("无当前记录。"));
    return m_cursor->text(position);
}

QString Recordset::field(const QString &name) const { return field(checkedIndex(name)); }

bool Recordset::isNull(int position) const
{
    open();
    return m_cursor->isNull(position);
}

void Recordset::findFirst(const QString &fieldName, const QString &value)
{
    // The field name is checked against the table, the value is bound: the
    // criterion never becomes SQL text.
    const int index = checkedIndex(fieldName);
    m_opened = true;
    m_cursor.reset();
    m_cursor.emplace(m_conn.prepare(
        QStringLiteral("SELECT * FROM %1 WHERE %2 = ? ORDER BY Id").arg(m_table.name, m_table.fields[index])));
    m_cursor->bind(1, value);
    m_eof = !m_cursor->step();
    m_noMatch = m_eof;
}

void Recordset::addNew()
{
    m_mode = Mode::Adding;
    m_pending = QVector<QVariant>(m_table.fields.size());
}

void Recordset::edit()
{
    open();
    if (m_eof)
        throw DbError(QStringLiteral("无当前记录。"));
    m_mode = Mode::Editing;
    m_pending.resize(m_table.fields.size());
    for (int i = 0; i < m_pending.size(); ++i)
        m_pending[i] = m_cursor->value(i);
    m_editId = m_cursor->text(0);
}

void Recordset::setField(int position, const QString &value)
{
    if (m_mode == Mode::Browse || position < 0 || position >= m_pending.size())
        throw DbError(QStringLiteral("无法写入字段 %1。").arg(position));
    m_pending[position] = value;
}

void Recordset::update()
{
    const int n = int(m_table.fields.size());
    if (m_mode == Mode::Adding) {
        QStringList marks;
        for (int i = 0; i < n; ++i)
            marks << QStringLiteral("?");
        Statement st = m_conn.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(m_table.name, marks.join(',')));
        for (int i = 0; i < n; ++i) {
            if (m_pending[i].isValid())
                st.bind(i + 1, m_pending[i].toString());
            else
                st.bindNull(i + 1);
        }
        st.step();
    } else if (m_mode == Mode::Editing) {
        QStringList sets;
        for (int i = 0; i < n; ++i)
            sets << QStringLiteral("%1 = ?").arg(m_table.fields[i]);
        Statement st =
            m_conn.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE Id = ?").arg(m_table.name, sets.join(", ")));
        for (int i = 0; i < n; ++i) {
            if (m_pending[i].isValid())
                st.bind(i + 1, m_pending[i].toString());
            else
                st.bindNull(i + 1);
        }
        st.bind(n + 1, m_editId);
        st.step();
    } else {
        throw DbError(QStringLiteral("没有待更新的记录。"));
    }
    m_mode = Mode::Browse;
    m_pending.clear();
}

void Recordset::deleteCurrent()
{
    open();
    if (m_eof)
        throw DbError(QStringLiteral("无当前记录。"));
    const QString id = m_cursor->text(0);
    Statement st = m_conn.prepare(QStringLiteral("DELETE FROM %1 WHERE Id = ?").arg(m_table.name));
    st.bind(1, id);
    st.step();
}

void Recordset::close()
{
    m_opened = true;
    m_cursor.reset();
    m_eof = true;
    m_mode = Mode::Browse;
}
