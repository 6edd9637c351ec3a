#include "ui/CriteriaGrid.h"

#include "ui/Controls.h"
#include "ui/ScreenStyle.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>

const QString CriteriaGrid::kNote =
    QStringLiteral("（ 号项目为可进行模糊查询的项目。例如：专家姓名：卫， 结果可为：卫亮，孙卫平，李华卫等。）");

CriteriaGrid::CriteriaGrid(QWidget *screen, CriteriaGridLayout layout) : m_screen(screen), m_layout(std::move(layout))
{
}

QLabel *CriteriaGrid::caption(int index, const QString &text, int row, int column)
{
    const int width = m_layout.captionWidth;
    QLabel *l = MakeLabel(m_screen, ArrayName(QStringLiteral("labDis"), index), text,
                          CriteriaGridLayout::kCaptionLefts.at(column), rowTop(row) + CriteriaGridLayout::kCaptionDrop,
                          width, width > 0 ? m_layout.cellHeight : 0);
    // A caption of fixed width stands against its input.
    if (width > 0)
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel *CriteriaGrid::star(int index, int row, int column)
{
    return MakeStar(m_screen, ArrayName(QStringLiteral("labDis"), index),
                    qMax(0, CriteriaGridLayout::kCaptionLefts.at(column) - m_layout.starGap),
                    rowTop(row) + CriteriaGridLayout::kCaptionDrop, m_layout.starWidth, m_layout.cellHeight);
}

QLineEdit *CriteriaGrid::textBox(int index, int row, int column)
{
    return textBox(ArrayName(QStringLiteral("txtDis"), index), row, column);
}

QLineEdit *CriteriaGrid::textBox(const QString &name, int row, int column)
{
    return MakeTextBox(m_screen, name, inputLeft(column), rowTop(row), CriteriaGridLayout::kInputWidth);
}

QComboBox *CriteriaGrid::list(const QString &name, const QStringList &items, int row, int column)
{
    return MakeList(m_screen, name, items, inputLeft(column), rowTop(row), CriteriaGridLayout::kInputWidth);
}

CriteriaGrid::Note CriteriaGrid::note(int noteIndex, int starIndex, int top)
{
    QLabel *note = MakeLabel(m_screen, ArrayName(QStringLiteral("labDis"), noteIndex), kNote, 120, top, 11325,
                             m_layout.cellHeight);
    QLabel *star = MakeStar(m_screen, ArrayName(QStringLiteral("labDis"), starIndex), 120, top, m_layout.starWidth,
                            m_layout.cellHeight);
    PlaceNoteStar(note, star);
    return {note, star};
}

QLabel *MakeStar(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    QLabel *star = MakeLabel(parent, name, QStringLiteral("*"), left, top, width, height);
    SetTextColor(star, kWarningRed);
    return star;
}

void PlaceNoteStar(const QLabel *note, QLabel *star)
{
    star->move(note->x() + QFontMetrics(note->font()).horizontalAdvance(QStringLiteral("（")), note->y());
    star->raise();
}
