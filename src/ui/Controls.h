#pragma once

#include <QString>
#include <QStringList>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls placed in twips on a screen; every control is named for tests.

// A label: with a width and a height it has that size; with a width only it
// is that wide and as tall as its text; with neither it fits its text.
QLabel *MakeLabel(QWidget *parent, const QString &name, const QString &text, int left, int top, int width = 0,
                  int height = 0);
QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &text, int left, int top, int width,
                        int height);
QLineEdit *MakeTextBox(QWidget *parent, const QString &name, int left, int top, int width, int height = 315);
// A drop-down list without typing.
QComboBox *MakeList(QWidget *parent, const QString &name, const QStringList &items, int left, int top, int width,
                    int height = 300);
QCheckBox *MakeCheckBox(QWidget *parent, const QString &name, const QString &text, int left, int top, int width = 255,
                        int height = 255);

// The 确定 and 取消 buttons (cmdOK, cmdCancel) at the foot of a small dialog,
// right-aligned in a row added to layout; 确定 is the default button when
// asked.
struct OkCancelButtons {
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
};
OkCancelButtons AddOkCancelRow(QWidget *dialog, QBoxLayout *layout, bool okIsDefault = false);
