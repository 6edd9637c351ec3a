#include "ui/ScreenStyle.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

#include <array>
#include <span>

QFont ScreenFont(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("新宋体"), QStringLiteral("NSimSun"), QStringLiteral("Noto Sans Mono CJK SC")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QString ArrayName(const QString &name, int index) { return QStringLiteral("%1(%2)").arg(name).arg(index); }

QString DateSeparator(const QLocale &locale)
{
    // The separator is the first mark between the fields of the locale's
    // short date pattern ("yyyy/M/d", "dd.MM.yy"); quoted text and blanks
    // are not separators.
    const QString pattern = locale.dateFormat(QLocale::ShortFormat);
    for (const QChar c : pattern) {
        if (c.isLetter() || c.isSpace() || c == QLatin1Char('\''))
            continue;
        return QString(c);
    }
    return QStringLiteral("/");
}

QString LoginDateText(const QDate &date, const QLocale &locale)
{
    const QString sep = DateSeparator(locale);
    return QStringLiteral("登录日期: ") + date.toString(QStringLiteral("yyyy")) + sep +
           date.toString(QStringLiteral("MM")) + sep + date.toString(QStringLiteral("dd"));
}

void MakePasswordBox(QLineEdit *box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

void MakeClassicFrame(QGroupBox *frame)
{
    frame->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid rgb(160, 160, 160); margin-top: 6px; }"
                                        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; }"));
}

namespace {

// The palette roles a control draws its own text in.
std::span<const QPalette::ColorRole> TextRoles(const QWidget *widget)
{
    static constexpr std::array label{QPalette::WindowText};
    static constexpr std::array list{QPalette::WindowText, QPalette::Text, QPalette::ButtonText};
    static constexpr std::array box{QPalette::Text};
    if (qobject_cast<const QLabel *>(widget))
        return label;
    if (qobject_cast<const QComboBox *>(widget))
        return list;
    return box;
}

}   // namespace

void SetTextColor(QWidget *widget, QRgb color)
{
    if (!widget)
        return;
    QPalette pal = widget->palette();
    // The list screens recolour their cells on every page: an unchanged
    // colour costs no palette change.
    bool unchanged = widget->testAttribute(Qt::WA_SetPalette);
    for (QPalette::ColorRole role : TextRoles(widget))
        unchanged = unchanged && pal.color(role).rgba() == color;
    if (unchanged)
        return;
    for (QPalette::ColorRole role : TextRoles(widget))
        pal.setColor(role, QColor::fromRgba(color));
    widget->setPalette(pal);
}

QRgb TextColor(const QWidget *widget) { return widget ? widget->palette().color(TextRoles(widget).front()).rgba() : 0; }
