#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// Where the cells of a criteria grid stand, in twips: rows of captions and
// inputs in four columns, as on the advanced search and the draw screen.
struct CriteriaGridLayout {
    QVector<int> rowTops;   // top of each row's inputs
    int captionWidth = 0;   // 0: a caption fits its text; else it is this wide, its text against its input
    int starGap = 120;      // how far left of its caption a red "*" starts
    int starWidth = 0;      // 0: a "*" fits its text
    int cellHeight = 0;     // 0: captions, "*" and the note are as tall as their text

    static constexpr std::array<int, 4> kCaptionLefts{120, 3075, 6030, 8985};
    static constexpr std::array<int, 4> kInputLefts{1140, 4095, 7050, 10005};
    static constexpr int kInputWidth = 1695;
    static constexpr int kCaptionDrop = 60;   // captions sit a little lower than their inputs
};

// Builds the criteria grid of a screen as named controls of the screen: the
// captions labDis(i), the red "*" before the caption of each field that is
// matched partially, the text boxes txtDis(i) and the lists, and the note
// below the grid that explains the "*". Controls are made in the order of
// the calls, which is also their keyboard order.
class CriteriaGrid {
public:
    CriteriaGrid(QWidget *screen, CriteriaGridLayout layout);

    int rowTop(int row) const { return m_layout.rowTops.value(row); }
    int inputLeft(int column) const { return CriteriaGridLayout::kInputLefts.at(column); }

    // labDis(index), the caption of the cell.
    QLabel *caption(int index, const QString &text, int row, int column);
    // labDis(index), the red "*" before the cell's caption.
    QLabel *star(int index, int row, int column);
    // txtDis(index), or a box of another name, in the cell.
    QLineEdit *textBox(int index, int row, int column);
    QLineEdit *textBox(const QString &name, int row, int column);
    // A drop-down list in the cell.
    QComboBox *list(const QString &name, const QStringList &items, int row, int column);
    // labDis(noteIndex), the note on partial matching at left 120 of the
    // given top, 11325 wide, with its red "*" labDis(starIndex).
    struct Note {
        QLabel *text;
        QLabel *star;
    };
    Note note(int noteIndex, int starIndex, int top);

    static const QString kNote;

private:
    QWidget *m_screen;
    CriteriaGridLayout m_layout;
};

// A red "*", the mark of a field matched partially (see MakeLabel).
QLabel *MakeStar(QWidget *parent, const QString &name, int left, int top, int width = 0, int height = 0);
// Lays a note's red "*" over the blank after the note's opening bracket "（"
// and keeps it above the note.
void PlaceNoteStar(const QLabel *note, QLabel *star);
