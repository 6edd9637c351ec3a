#pragma once

#include <QPixmap>
#include <QRectF>

class QPainter;

// The program's pictures, drawn in code so that the project ships no binary
// artwork of unknown origin.
namespace Artwork {
// The banner: the program title beside a figure.
QPixmap Banner(int width, int height);
// The small icon of the login window and the window icon.
QPixmap AppIcon(int size);
// The same icon painted into the square centred in box, on any paint device
// (the installed icon files are written from it as SVG and PNG).
void PaintAppIcon(QPainter &painter, const QRectF &box);
// Navigation panel icons: a folder-like heading icon and an entry arrow.
QPixmap HeadingIcon();
QPixmap EntryIcon();
// The picture buttons of the navigation panel.
QPixmap PictureButton(const QString &caption, bool exitStyle);
// Decorations: the panel's right edge, the panel top and the pane's corner.
QPixmap PanelEdge(int height);
QPixmap PanelTop(int width);
QPixmap CornerPicture();
}   // namespace Artwork
