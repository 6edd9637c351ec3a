// Writes the program's icon, the artwork the login window and the main
// window show, as an icon theme tree:
//
//   make_icons FOLDER NAME SIZE...
//
// makes FOLDER/scalable/apps/NAME.svg and FOLDER/SxS/apps/NAME.png for each
// SIZE. Needs a GUI platform for the pixmaps; the build runs it
// with QT_QPA_PLATFORM=offscreen.

#include "ui/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <QTextStream>

namespace {

// The SVG's own coordinate size; desktops scale it to whatever they need.
constexpr int kSvgSize = 256;

bool writeSvg(const QString &path, const QString &name)
{
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setTitle(name);
    svg.setSize(QSize(kSvgSize, kSvgSize));
    // 96 dots per inch: the SVG's width and height come out as kSvgSize CSS pixels.
    svg.setResolution(96);
    svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    Artwork::PaintAppIcon(painter, QRectF(0, 0, kSvgSize, kSvgSize));
    return painter.end();
}

}   // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        err << "usage: make_icons FOLDER NAME SIZE...\n";
        return 2;
    }
    QList<int> sizes;
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            err << "make_icons: not an icon size: " << args.at(i) << '\n';
            return 2;
        }
        sizes.append(size);
    }
    const QDir root(args.at(1));
    const QString name = args.at(2);

    const auto fail = [&err](const QString &what) {
        err << "make_icons: cannot write " << what << '\n';
        return 1;
    };
    const QString scalable = QStringLiteral("scalable/apps");
    if (!root.mkpath(scalable))
        return fail(root.filePath(scalable));
    const QString svgPath = root.filePath(scalable + QLatin1Char('/') + name + QStringLiteral(".svg"));
    if (!writeSvg(svgPath, name))
        return fail(svgPath);
    for (const int size : sizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString pngPath = root.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!root.mkpath(folder) || !Artwork::AppIcon(size).save(pngPath, "PNG"))
            return fail(pngPath);
    }
    return 0;
}
