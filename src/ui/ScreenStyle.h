#pragma once

#include <QDate>
#include <QFont>
#include <QLocale>
#include <QRgb>
#include <QString>

class QGroupBox;
class QLineEdit;
class QWidget;

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

// Colours of the list screens.
inline constexpr QRgb kLinkActive = 0xFF000000;        // (0, 0, 0)
inline constexpr QRgb kLinkInactive = 0xFF818181;      // (129, 129, 129)
inline constexpr QRgb kOperationLink = 0xFF000081;     // (0, 0, 129)
inline constexpr QRgb kHeadingBack = 0xFFDCDCDC;       // (220, 220, 220)
inline constexpr QRgb kWarningRed = 0xFFFF0000;        // (255, 0, 0)
inline constexpr QRgb kSuspendedOrange = 0xFFE07000;   // (224, 112, 0): an expert suspended from draws

// Colours the text a control draws: a label's caption, the text of a box, the
// item a list shows and the items of its drop-down. Nothing else of the
// control's palette changes.
void SetTextColor(QWidget *widget, QRgb color);
// The colour SetTextColor gave the control (its palette's text colour).
QRgb TextColor(const QWidget *widget);
