#include "ui/FieldNames.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

namespace {

bool isField(const QWidget *w)
{
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QComboBox *>(w) ||
        qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QTextEdit *>(w) ||
        qobject_cast<const QPlainTextEdit *>(w))
        return true;
    // A check box without words of its own takes them from its label.
    const auto *button = qobject_cast<const QAbstractButton *>(w);
    return button && button->isCheckable() && button->text().isEmpty() && button->icon().isNull();
}

bool isWide(QChar c) { return c.unicode() > 0xFF; }

// The nearest caption left of the field on its line, else the nearest one
// just above it.
const QLabel *captionOf(const QWidget *field)
{
    const QRect f = field->geometry();
    const QLabel *best = nullptr;
    int bestScore = 0;
    for (const QLabel *label : field->parentWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->isHidden() || label->text().trimmed().isEmpty() || label->buddy())
            continue;
        const QRect l = label->geometry();
        const int middle = l.center().y();
        int score = 0;
        if (middle >= f.top() - 4 && middle <= f.bottom() + 4 && l.left() < f.left() && l.right() <= f.left() + 8)
            score = 100000 + l.right();   // beside: the nearest wins
        else if (l.bottom() <= f.top() + 2 && l.bottom() >= f.top() - 30 && l.left() < f.right() &&
                 l.right() > f.left())
            score = l.bottom();   // above: the nearest wins
        if (score > bestScore) {
            bestScore = score;
            best = label;
        }
    }
    return best;
}

}   // namespace

QString CaptionAsName(const QString &caption)
{
    QString text = caption;
    if (Qt::mightBeRichText(text)) {
        QTextDocument doc;
        doc.setHtml(text);
        text = doc.toPlainText();
    }
    text = text.simplified();
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(' ') && i > 0 && i + 1 < text.size() && (isWide(text.at(i - 1)) || isWide(text.at(i + 1))))
            continue;
        out += c;
    }
    while (out.endsWith(QChar(0xFF1A)) || out.endsWith(QLatin1Char(':')) || out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    return out.trimmed();
}

void NameFieldsByCaptions(QWidget *root)
{
    if (!root)
        return;
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!isField(w) || !w->accessibleName().isEmpty() || !w->parentWidget())
            continue;
        // The parts inside a field (a combo box's own editor) are named with it.
        if (qobject_cast<QComboBox *>(w->parentWidget()) || qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
            continue;
        if (QLabel *caption = const_cast<QLabel *>(captionOf(w))) {
            w->setAccessibleName(CaptionAsName(caption->text()));
            // On Linux a list box's name is its current text; assistive
            // tools read what it is for from the label relation.
            caption->setBuddy(w);
        }
    }
}
