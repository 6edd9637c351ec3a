#include "ui/Artwork.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kNavy(0, 0, 129);
const QColor kSky(70, 130, 200);
const QColor kPale(225, 236, 250);

// A person with a folder of papers: the expert library.
void drawFigure(QPainter &p, const QRectF &box)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = box.height();
    const QPointF head(box.left() + s * 0.38, box.top() + s * 0.27);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(head, s * 0.15, s * 0.15);
    QPainterPath body;
    body.moveTo(box.left() + s * 0.08, box.bottom());
    body.cubicTo(box.left() + s * 0.08, box.top() + s * 0.45, box.left() + s * 0.68, box.top() + s * 0.45,
                 box.left() + s * 0.68, box.bottom());
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(QColor(255, 200, 60));
    p.drawRoundedRect(QRectF(box.left() + s * 0.55, box.top() + s * 0.55, s * 0.42, s * 0.32), 3, 3);
    p.setPen(QPen(QColor(170, 120, 20), 1.2));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(box.left() + s * 0.61, box.top() + s * (0.63 + 0.07 * i)),
                   QPointF(box.left() + s * 0.91, box.top() + s * (0.63 + 0.07 * i)));
    p.restore();
}

}   // namespace

namespace Artwork {

QPixmap Banner(int width, int height)
{
    QPixmap pm(qMax(1, width), qMax(1, height));
    QPainter p(&pm);
    QLinearGradient g(0, 0, width, 0);
    g.setColorAt(0, kNavy);
    g.setColorAt(0.6, kSky);
    g.setColorAt(1, kPale);
    p.fillRect(pm.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 40), 2));
    for (int i = 0; i < 6; ++i)
        p.drawEllipse(QPointF(width * 0.8, height * 1.6), height * (0.6 + 0.35 * i), height * (0.6 + 0.35 * i));
    drawFigure(p, QRectF(height * 0.25, height * 0.12, height * 0.8, height * 0.8));
    QFont title(QStringLiteral("Noto Sans CJK SC"));
    title.setPixelSize(qMax(10, int(height * 0.36)));
    title.setBold(true);
    const int textLeft = int(height * 1.25);
    const QString caption = QStringLiteral("Kestrune 人事专家库管理系统");
    // Shrink the title until it fits beside the figure.
    while (title.pixelSize() > 8 && QFontMetrics(title).horizontalAdvance(caption) > width - textLeft - 8)
        title.setPixelSize(title.pixelSize() - 1);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(textLeft, 0, width - textLeft, int(height * 0.62)), Qt::AlignLeft | Qt::AlignBottom, caption);
    QFont sub = title;
    sub.setBold(false);
    sub.setPixelSize(qMax(8, int(height * 0.16)));
    p.setFont(sub);
    p.setPen(QColor(230, 240, 255));
    p.drawText(QRect(textLeft + 2, int(height * 0.64), width - textLeft, int(height * 0.3)),
               Qt::AlignLeft | Qt::AlignTop, QStringLiteral("专家管理 · 随机抽取 · 抽取记录 · 报表输出"));
    return pm;
}

void PaintAppIcon(QPainter &p, const QRectF &box)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal size = qMin(box.width(), box.height());
    const QPointF origin = box.center() - QPointF(size / 2, size / 2);
    QLinearGradient g(origin, origin + QPointF(0, size));
    g.setColorAt(0, kSky);
    g.setColorAt(1, kNavy);
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(origin + QPointF(0.5, 0.5), QSizeF(size - 1, size - 1)), size * 0.2, size * 0.2);
    drawFigure(p, QRectF(origin + QPointF(size * 0.12, size * 0.12), QSizeF(size * 0.76, size * 0.76)));
    p.restore();
}

QPixmap AppIcon(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    PaintAppIcon(p, QRectF(0, 0, size, size));
    return pm;
}

QPixmap HeadingIcon()
{
    QPixmap pm(17, 13);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(255, 205, 80));
    p.drawRect(QRectF(0.5, 2.5, 15, 10));
    p.drawRect(QRectF(0.5, 0.5, 6, 2));
    return pm;
}

QPixmap EntryIcon()
{
    QPixmap pm(13, 17);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(200, 200, 200));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 0.5, 11, 15));
    p.setPen(kSky);
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(3, 4 + 3 * i), QPointF(9, 4 + 3 * i));
    return pm;
}

QPixmap PictureButton(const QString &caption, bool exitStyle)
{
    QPixmap pm(84, 26);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 26);
    g.setColorAt(0, exitStyle ? QColor(240, 120, 100) : QColor(120, 170, 230));
    g.setColorAt(1, exitStyle ? QColor(190, 40, 30) : kNavy);
    p.setBrush(g);
    p.setPen(QColor(60, 60, 90));
    p.drawRoundedRect(QRectF(0.5, 0.5, 83, 25), 6, 6);
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(pm.rect(), Qt::AlignCenter, caption);
    return pm;
}

QPixmap PanelEdge(int height)
{
    QPixmap pm(3, qMax(1, height));
    QPainter p(&pm);
    QLinearGradient g(0, 0, 3, 0);
    g.setColorAt(0, kSky);
    g.setColorAt(1, kNavy);
    p.fillRect(pm.rect(), g);
    return pm;
}

QPixmap PanelTop(int width)
{
    QPixmap pm(qMax(1, width), 60);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, 60);
    g.setColorAt(0, kPale);
    g.setColorAt(1, Qt::white);
    p.fillRect(pm.rect(), g);
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kNavy);
    p.drawText(pm.rect().adjusted(12, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("功能导航"));
    return pm;
}

QPixmap CornerPicture()
{
    QPixmap pm(160, 120);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        p.setBrush(QColor(70, 130, 200, 30 + 15 * i));
        p.drawEllipse(QPointF(160, 120), 150 - 28 * i, 110 - 20 * i);
    }
    return pm;
}

}   // namespace Artwork
