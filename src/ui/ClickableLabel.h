#pragma once

#include <QLabel>
#include <QMouseEvent>

// A label that reports clicks (page links, row links, navigation entries).
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

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

private:
    bool m_inDoubleClick = false;
};
