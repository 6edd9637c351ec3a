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
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            Q_EMIT clicked();
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        QLabel::mouseMoveEvent(e);
        Q_EMIT hovered();
    }
};
