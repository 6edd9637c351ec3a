#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <initializer_list>

// A table of text, one row per record, any number of rows; a row may hold
// fewer cells than another. Each row is kept in one buffer, its cells side by
// side behind a short list of where each ends, so that a table of 40,000
// experts is 40,000 allocations rather than a million and more. Cells are
// read through cell(), as views into that buffer: a view lasts until the
// table is next changed.
class TextTable {
public:
    qsizetype count() const { return m_rows.size(); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    // Cells in the row.
    int cellCount(qsizetype row) const { return m_rows.at(row).at(0).unicode(); }
    // The text of a cell; empty past the last cell of the row.
    QStringView cell(qsizetype row, int column) const;
    // A copy of the row's cells.
    QStringList row(qsizetype row) const;

    void clear() { m_rows.clear(); }
    void reserve(qsizetype rows) { m_rows.reserve(rows); }
    void append(const QStringList &cells) { m_rows.append(pack(cells)); }
    // A row from views (into other tables, for instance), copied in.
    void appendCells(std::initializer_list<QStringView> cells) { m_rows.append(pack(cells)); }
    void appendCells(const QList<QStringView> &cells) { m_rows.append(pack(cells)); }
    // A row decoded from the engine's UTF-8 texts, each on its own, as
    // QString::fromUtf8 reads it.
    void appendUtf8(const QList<QByteArrayView> &cells);
    // The row of another table (or of this one), as it is.
    void appendRowOf(const TextTable &other, qsizetype row) { m_rows.append(other.m_rows.at(row)); }
    // The rows of another table after these, taken over.
    void appendTable(TextTable &&other) { m_rows.append(std::move(other.m_rows)); }
    void insert(qsizetype row, const QStringList &cells) { m_rows.insert(row, pack(cells)); }
    void replace(qsizetype row, const QStringList &cells) { m_rows.replace(row, pack(cells)); }
    // Replaces one cell, adding empty cells up to it when the row is shorter.
    void setCell(qsizetype row, int column, QStringView text);
    void removeAt(qsizetype row) { m_rows.removeAt(row); }
    // Removes every row for which drop(table, row) is true.
    template <typename Drop> void removeRowsIf(Drop drop)
    {
        QList<QString> kept;
        kept.reserve(m_rows.size());
        for (qsizetype r = 0; r < m_rows.size(); ++r)
            if (!drop(*this, r))
                kept.append(m_rows.at(r));
        m_rows = std::move(kept);
    }

    // Every row as a list of texts, for comparing whole tables.
    QList<QStringList> toLists() const;
    bool operator==(const TextTable &other) const { return m_rows == other.m_rows; }

private:
    template <typename Cells> static QString pack(const Cells &cells);

    // Per row: the cell count, then the end of each cell as two 16-bit
    // halves, then the characters of all cells.
    QList<QString> m_rows;
};
