#pragma once

#include <QDate>
#include <QFont>
#include <QLocale>
#include <QString>

class QGroupBox;
class QLineEdit;

// The screens' font: 新宋体 9 points, which is fixed-pitch (a Chinese
// character as wide as two Latin ones) so that list headings written with
// runs of blanks line up with their columns; where it is missing the
// fixed-pitch Noto CJK face stands in.
QFont ScreenFont(qreal pointSize = 9, bool bold = false);

// The system's date separator, taken from the locale's short date pattern;
// "/" when the pattern has none.
QString DateSeparator(const QLocale &locale);
// The status-bar line of every screen: "登录日期: " and the date as four-digit
// year, two-digit month and day, joined by the system's date separator.
QString LoginDateText(const QDate &date, const QLocale &locale);

// Name of the control at index i of a control array: "lab1(3)".
QString ArrayName(const QString &name, int index);

// Makes a text box a password box that shows one "*" per character,
// whatever mask the style would use.
void MakePasswordBox(QLineEdit *box);

// A frame whose caption sits on its top border line, as on a classic frame,
// not above it.
void MakeClassicFrame(QGroupBox *frame);
