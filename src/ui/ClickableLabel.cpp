#include "ui/ClickableLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QTextDocument>

namespace {

// How assistive tools see a clickable label: a link with its caption (or
// the accessible name given to a picture) that can be pressed.
class ClickableLabelAccessible : public QAccessibleWidget {
public:
    explicit ClickableLabelAccessible(ClickableLabel *label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty()) {
            const auto *label = static_cast<const QLabel *>(widget());
            if (Qt::mightBeRichText(label->text())) {
                QTextDocument doc;
                doc.setHtml(label->text());
                value = doc.toPlainText();
            } else {
                value = label->text();
            }
        }
        return value;
    }

    QStringList actionNames() const override { return QStringList{pressAction()} << QAccessibleWidget::actionNames(); }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction() && widget()->isEnabled())
            static_cast<ClickableLabel *>(widget())->activate();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

QAccessibleInterface *clickableLabelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ClickableLabel") && object && object->isWidgetType())
        return new ClickableLabelAccessible(static_cast<ClickableLabel *>(object));
    return nullptr;
}

void setUp(ClickableLabel *label)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(clickableLabelFactory);
        return true;
    }();
    (void)factoryInstalled;
    // Links carry names users typed: never shown as markup.
    label->setTextFormat(Qt::PlainText);
    // Tab reaches it; a mouse click does not take the focus from a text box.
    label->setFocusPolicy(Qt::TabFocus);
}

}   // namespace

ClickableLabel::ClickableLabel(QWidget *parent, Qt::WindowFlags f) : QLabel(parent, f) { setUp(this); }

ClickableLabel::ClickableLabel(const QString &text, QWidget *parent, Qt::WindowFlags f) : QLabel(text, parent, f)
{
    setUp(this);
}

void ClickableLabel::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!e->isAutoRepeat())
            Q_EMIT clicked();
        e->accept();
        return;
    default:
        QLabel::keyPressEvent(e);
    }
}

void ClickableLabel::paintEvent(QPaintEvent *e)
{
    QLabel::paintEvent(e);
    if (!hasFocus())
        return;
    // The classic dotted focus frame, in the label's own text colour so that
    // it shows on a highlighted entry as well.
    QPainter p(this);
    QPen pen(palette().color(foregroundRole()));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(1);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ClickableLabel::focusInEvent(QFocusEvent *e)
{
    QLabel::focusInEvent(e);
    update();
}

void ClickableLabel::focusOutEvent(QFocusEvent *e)
{
    QLabel::focusOutEvent(e);
    update();
}
