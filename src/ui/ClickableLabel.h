#pragma once

#include <QLabel>
#include <QMouseEvent>

// A label that reports clicks (page links, row links, navigation entries).
// It is a link for the keyboard too: Tab reaches it, Enter or Space
// activates it, a dotted frame shows the focus, and assistive tools see a
// link named by its caption that they can press.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickableLabel(QWidget *parent = nullptr, Qt::WindowFlags f = {});
    explicit ClickableLabel(const QString &text, QWidget *parent = nullptr, Qt::WindowFlags f = {});

    // What a click does, for the keyboard and assistive tools.
    void activate() { Q_EMIT clicked(); }

Q_SIGNALS:
    void clicked();
    void hovered();

protected:
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        QLabel::mouseReleaseEvent(e);
        if (e->button() != Qt::LeftButton)
            return;
        // The second press of a double click belongs to the first click: a
        // double click on "下一页" moves one page, not two.
        if (m_inDoubleClick) {
            m_inDoubleClick = false;
            return;
        }
        if (rect().contains(e->position().toPoint()))
            Q_EMIT clicked();
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override
    {
        QLabel::mouseDoubleClickEvent(e);
        if (e->button() == Qt::LeftButton)
            m_inDoubleClick = true;
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        QLabel::mouseMoveEvent(e);
        Q_EMIT hovered();
    }
    void keyPressEvent(QKeyEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    bool m_inDoubleClick = false;
};
